#include "probes/browser/chrome_edge.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

#include "tests/support/test_support.h"

namespace {
std::wstring Wide(const std::string& ansi) {
  wchar_t buffer[1024] = {};
  MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, buffer, 1024);
  return buffer;
}

// A "Local State" with a kept and a deleted profile in the user's real local
// application data, removed afterwards.
struct UserData {
  std::string root;
  explicit UserData(const std::string& product) {
    char folder[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, folder, CSIDL_LOCAL_APPDATA, FALSE);
    root = std::string(folder) + "\\Google";
    RemoveTree(root);
    const std::string userData = root + "\\" + product + "\\User Data\\";
    for (const std::string& dir : {root, root + "\\" + product, userData, userData + "Default"}) {
      CreateDirectoryA(dir.c_str(), nullptr);
    }
    HANDLE file = CreateFileA((userData + "Local State").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const char text[] = "{\"profile\":{\"profiles_order\":[\"Default\",\"Gone\"]}}";
    DWORD written = 0;
    WriteFile(file, text, sizeof text - 1, &written, nullptr);
    CloseHandle(file);
  }
  ~UserData() { RemoveTree(root); }
};

TEST(ChromeEdge, VersionBitnessProfilesAndVerdict) {
  ScratchKey chrome(HKEY_CLASSES_ROOT, "ChromeHTML");
  chrome.SetWideString("shell\\open\\command", nullptr, Wide("\"" + Fixture64("chrome.exe") + "\" --single-argument %1"));
  UserData data("Chrome");
  LogCapture log;
  EXPECT_TRUE(CheckChromeOn(true));
  EXPECT_EQ("●Chrome確認 120.0.6099.130 64bit版 \n", log.User());
  EXPECT_EQ("chrome.exe, Google LLC, Google Chrome, \"120.0.6099.130\" \nChrom version 120.0.6099.130 \n"
            "64bit版 \n●Chrome確認 120.0.6099.130 64bit版 \n", log.Support());
  const std::string detail = log.Detail();
  EXPECT_EQ(0u, detail.find("Chrome path " + Fixture64("chrome.exe") + " \n"));
  // The profile walk stands between the bitness line and the verdict.
  const std::size_t profile = detail.find("\nProfile \"Default\" settings \n");
  EXPECT_LT(detail.find("64bit版 \n"), profile);
  EXPECT_LT(profile, detail.find("●Chrome確認"));
  EXPECT_EQ(std::string::npos, detail.find("Gone"));

  // Edge's key: an unquoted command with an upper-case extension, a 32-bit
  // image, then the same on a Windows without WOW64 (no bitness line).
  ScratchKey edge(HKEY_CLASSES_ROOT, "MSEdgeHTM");
  std::string exe32 = Fixture32("msedge.exe");
  exe32.replace(exe32.size() - 4, 4, ".EXE");
  const std::string strings = "msedge.exe, Microsoft Corporation, Microsoft Edge, \"119.0.2151.97\" \n";
  // Edge's own profile folder is looked at, and this user has never run Edge.
  char local[MAX_PATH] = {};
  SHGetSpecialFolderPathA(nullptr, local, CSIDL_LOCAL_APPDATA, FALSE);
  const std::string noState =
      "★\"Local State\" CreateFile 失敗 path=" + std::string(local) + "\\Microsoft\\Edge\\User Data\\Local State\n";
  for (bool wow64 : {true, false}) {
    edge.SetWideString("shell\\open\\command", nullptr, Wide(exe32 + " --flag %1"));
    LogCapture e;
    EXPECT_TRUE(CheckEdgeOn(wow64));
    EXPECT_EQ(strings + "Edge version 119.0.2151.97 \n" + (wow64 ? "32bit版 \n" : "") + noState +
                  "●Edge確認 119.0.2151.97 32bit版 \n", e.Support());
    EXPECT_EQ(0u, e.Detail().find("Edge path " + exe32 + " \n"));
  }
}

TEST(ChromeEdge, LongJapaneseTextsAreCutBetweenCharacters) {
  // The executable under a long Japanese folder, its company name 300 bytes of
  // Japanese: the path line keeps whole characters of 199 bytes, the version
  // strings line prints the company name whole.
  ScratchKey chrome(HKEY_CLASSES_ROOT, "ChromeHTML");
  ScratchDir dir("cj");
  // The Japanese starts at an even offset, so the 199th byte is the first of a
  // character; the command stays within the 161 characters of the key's buffer.
  std::string folder = dir.path().size() % 2 ? "x" : "";
  const std::size_t start = dir.path().size() + folder.size();
  ASSERT_LT(start, 150u) << dir.path();
  // Just past 199 bytes: a longer name would not fit the 255 bytes that Linux
  // allows a file name (表 takes three there).
  for (std::size_t i = 0; i < (200 - start) / 2 + 1; ++i) folder += "表";
  const std::string exe = dir.MakeDir(folder) + "chrome.exe";
  ASSERT_TRUE(CopyFileA(Fixture64("chrome_ja.exe").c_str(), exe.c_str(), FALSE)) << exe;
  ASSERT_GT(exe.size(), 200u);
  chrome.SetWideString("shell\\open\\command", nullptr, Wide("\"" + exe + "\" %1"));
  LogCapture log;
  EXPECT_TRUE(CheckChromeOn(true));
  std::string company;
  for (int i = 0; i < 150; ++i) company += "表";
  EXPECT_EQ(0u, log.Support().find("chrome.exe, " + company + ", Google Chrome, \"120.0.6099.130\" \n"))
      << log.Support();
  EXPECT_EQ(0u, log.Detail().find("Chrome path " + exe.substr(0, 198) + " \n")) << log.Detail();
}

TEST(ChromeEdge, MissingBadOverlongAndVersionlessCommands) {
  ScratchKey chrome(HKEY_CLASSES_ROOT, "ChromeHTML"), edge(HKEY_CLASSES_ROOT, "MSEdgeHTM");
  ScratchDir dir("browser_chrome");
  const std::string plain = dir.Write("Chrome 100%d\\chrome.exe", "not an image");
  // 161 characters fit the 324-byte buffer with the terminator; 162 do not.
  const std::string fits = "\"" + plain + "\"" + std::string(161 - plain.size() - 2, ' ');
  const struct {
    std::string command;
    DWORD type;
    std::string user, support;
  } cases[] = {
      {"", REG_NONE, "★Chrome無し \n", ""},
      {"\"C:\\Program Files\\Google\\chrome.exe --x %1", REG_SZ, "★Chromeパス不正 \"C:\\Program Files\\Google\\chrome.exe --x %1 \n", ""},
      {fits + "x", REG_SZ, "★Chrome無し \n", ""},
      {fits, REG_EXPAND_SZ, "★Chrome無し \n", ""},
      {fits, REG_SZ, "★Chromeのバージョンが取得できません \n", ", , , \"\" \n"},
  };
  // Edge's key is read the same way; its lines name Edge.
  for (bool isEdge : {false, true}) {
    ScratchKey& key = isEdge ? edge : chrome;
    for (const auto& c : cases) {
      if (c.type != REG_NONE) key.SetWideString("shell\\open\\command", nullptr, Wide(c.command));
      if (c.type == REG_EXPAND_SZ) key.SetString("shell\\open\\command", nullptr, c.command, REG_EXPAND_SZ);
      std::string user = c.user;
      if (isEdge) user.replace(0, std::string("★Chrome").size(), "★Edge");
      LogCapture log;
      EXPECT_FALSE(isEdge ? CheckEdgeOn(true) : CheckChromeOn(true)) << c.command;
      EXPECT_EQ(user, log.User()) << c.command;
      EXPECT_EQ(c.support + user, log.Support()) << c.command;
    }
  }
}
}  // namespace

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

// The registered open command of a browser class under HKCR.
struct Command {
  ScratchKey key;
  explicit Command(const char* className) : key(HKEY_CLASSES_ROOT, className) {}
  void Set(const std::string& command) { key.SetWideString("shell\\open\\command", nullptr, Wide(command)); }
};

std::string LocalAppData() {
  char folder[MAX_PATH] = {};
  SHGetSpecialFolderPathA(nullptr, folder, CSIDL_LOCAL_APPDATA, FALSE);
  return folder;
}

// A "Local State" for the browser in the user's real local application data.
struct BrowserUserData {
  std::string root, userData;
  BrowserUserData(const char* vendor, const char* product) {
    root = LocalAppData() + "\\" + vendor;
    RemoveTree(root);
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA((root + "\\" + product).c_str(), nullptr);
    userData = root + "\\" + product + "\\User Data\\";
    CreateDirectoryA(userData.c_str(), nullptr);
    CreateDirectoryA((userData + "Default").c_str(), nullptr);
    CreateDirectoryA((userData + "Default\\Extensions").c_str(), nullptr);
    HANDLE file = CreateFileA((userData + "Local State").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const char text[] = "{\"profile\":{\"profiles_order\":[\"Default\",\"Gone\"]}}";
    DWORD written = 0;
    WriteFile(file, text, sizeof text - 1, &written, nullptr);
    CloseHandle(file);
  }
  ~BrowserUserData() { RemoveTree(root); }
};

TEST(ChromeEdge, QuotedChromeCommandOn64BitWindows) {
  Command command("ChromeHTML");
  const std::string exe = Fixture64("chrome.exe");
  command.Set("\"" + exe + "\" --single-argument %1");
  BrowserUserData data("Google", "Chrome");
  LogCapture log;
  EXPECT_TRUE(CheckChromeOn(true));
  EXPECT_EQ("●Chrome確認 120.0.6099.130 64bit版 \n", log.User());
  EXPECT_EQ(
      "chrome.exe, Google LLC, Google Chrome, \"120.0.6099.130\" \n"
      "Chrom version 120.0.6099.130 \n"
      "64bit版 \n"
      "●Chrome確認 120.0.6099.130 64bit版 \n",
      log.Support());
  const std::string detail = log.Detail();
  EXPECT_EQ(0u, detail.find("Chrome path " + exe + " \n"));
  // The profile walk stands between the bitness line and the verdict.
  const std::size_t profile = detail.find("\nProfile \"Default\" settings \n");
  ASSERT_NE(std::string::npos, profile);
  EXPECT_LT(detail.find("64bit版 \n"), profile);
  EXPECT_LT(profile, detail.find("●Chrome確認"));
  EXPECT_EQ(std::string::npos, detail.find("Gone"));
}

TEST(ChromeEdge, UnquotedUpperCaseEdgeCommandAnd32BitImage) {
  Command command("MSEdgeHTM");
  // Fixture32 lives under a path with no blanks in it in the build tree, so
  // write the command as Edge's unquoted form with an upper-case extension.
  std::string exe = Fixture32("msedge.exe");
  exe.replace(exe.size() - 4, 4, ".EXE");
  command.Set(exe + " --flag %1");
  BrowserUserData data("Microsoft", "Edge");
  {
    LogCapture log;
    EXPECT_TRUE(CheckEdgeOn(true));
    EXPECT_EQ("msedge.exe, Microsoft Corporation, Microsoft Edge, \"119.0.2151.97\" \n"
              "Edge version 119.0.2151.97 \n32bit版 \n●Edge確認 119.0.2151.97 32bit版 \n",
              log.Support());
    EXPECT_EQ(0u, log.Detail().find("Edge path " + exe + " \n"));
  }
  {
    // Without WOW64 there is no bitness line, and the verdict says 32-bit.
    command.Set("\"" + Fixture64("msedge.exe") + "\"");
    LogCapture log;
    EXPECT_TRUE(CheckEdgeOn(false));
    EXPECT_EQ("msedge.exe, Microsoft Corporation, Microsoft Edge, \"119.0.2151.97\" \n"
              "Edge version 119.0.2151.97 \n●Edge確認 119.0.2151.97 32bit版 \n",
              log.Support());
  }
}

TEST(ChromeEdge, MissingBadAndOverlongCommands) {
  Command command("ChromeHTML");
  {
    LogCapture log;
    EXPECT_FALSE(CheckChromeOn(true));
    EXPECT_EQ("★Chrome無し \n", log.User());
    EXPECT_EQ(log.User(), log.Detail());
  }
  {
    command.Set("\"C:\\Program Files\\Google\\Chrome\\chrome.exe --x %1");
    LogCapture log;
    EXPECT_FALSE(CheckChromeOn(true));
    EXPECT_EQ("★Chromeパス不正 \"C:\\Program Files\\Google\\Chrome\\chrome.exe --x %1 \n", log.User());
  }
  {
    // 161 characters fit the 324-byte buffer with the terminator; 162 do not.
    std::string fits = "C:\\" + std::string(150, 'a') + "\\x.exe";
    fits.resize(161, 'b');
    command.Set(fits);
    LogCapture ok;
    CheckChromeOn(true);
    EXPECT_EQ(std::string::npos, ok.User().find("★Chrome無し"));
    command.Set(fits + "c");
    LogCapture log;
    EXPECT_FALSE(CheckChromeOn(true));
    EXPECT_EQ("★Chrome無し \n", log.User());
  }
  {
    // A REG_EXPAND_SZ command is not taken.
    command.key.SetString("shell\\open\\command", nullptr, Fixture64("chrome.exe"), REG_EXPAND_SZ);
    LogCapture log;
    EXPECT_FALSE(CheckChromeOn(true));
    EXPECT_EQ("★Chrome無し \n", log.User());
  }
}

TEST(ChromeEdge, ExecutableWithoutVersionOrMissing) {
  Command command("ChromeHTML");
  ScratchDir dir("browser_chrome");
  const std::string plain = dir.Write("Chrome 100%d\\chrome.exe", "not an image");
  command.Set("\"" + plain + "\" %1");
  LogCapture log;
  EXPECT_FALSE(CheckChromeOn(true));
  EXPECT_EQ("★Chromeのバージョンが取得できません \n", log.User());
  EXPECT_EQ(", , , \"\" \n★Chromeのバージョンが取得できません \n", log.Support());
  EXPECT_EQ(0u, log.Detail().find("Chrome path " + plain + " \n"));
}
}  // namespace

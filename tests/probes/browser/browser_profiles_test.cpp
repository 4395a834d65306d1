#include "probes/browser/browser_profiles.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

#include "tests/support/test_support.h"

namespace {
const char kId[] = "abcdefghijklmnopabcdefghijklmnop";

std::string Count(const std::string& text, const std::string& part, int* n) {
  *n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++*n;
  return text;
}

// A user-data folder with a "Local State" naming a kept and a deleted profile.
struct UserData {
  ScratchDir dir{"browser_profiles"};
  std::string folder() const { return dir.path(); }
  void LocalState(const std::string& text) { dir.Write("Local State", text); }
  std::string Version(const std::string& profile, const std::string& id, const std::string& ver) {
    return dir.MakeDir(profile + "\\Extensions\\" + id + "\\" + ver);
  }
};

const char kTwoProfiles[] =
    "{\"browser\":{\"x\":1},\"profile\":{\"info_cache\":{\"Default\":{}},"
    "\"profiles_order\":[\"Default\",\"Profile 9\"]}}";

TEST(BrowserProfiles, MissingUnreadableAndProfilelessLocalState) {
  UserData data;
  {
    LogCapture log;
    CheckBrowserProfilesIn(data.folder());
    EXPECT_EQ("★\"Local State\" CreateFile 失敗 path=" + data.folder() + "Local State\n", log.User());
  }
  {
    data.LocalState("{\"profile\":{\"info_cache\":{}},\"profiles_order\":[\"Default\"]}");
    LogCapture log;
    CheckBrowserProfilesIn(data.folder());
    EXPECT_EQ("★プロファイル情報が見つからない (Not found \"profiles_order\").\n", log.User());
    EXPECT_EQ(log.User(), log.Detail());
  }
  {
    // Another program holding the file with no sharing at all.
    data.LocalState(kTwoProfiles);
    HANDLE held = CreateFileA((data.folder() + "Local State").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    LogCapture log;
    CheckBrowserProfilesIn(data.folder());
    CloseHandle(held);
    EXPECT_EQ("★\"Local State\" CreateFile 失敗 path=" + data.folder() + "Local State\n", log.User());
  }
  {
    LogCapture log;
    CheckBrowserProfiles(3);
    EXPECT_EQ("★調査対象のブラウザーが不正 \n", log.User());
  }
}

TEST(BrowserProfiles, ExtensionsWithMessagesJapaneseNamesAndCaptureUse) {
  UserData data;
  data.LocalState(kTwoProfiles);
  data.dir.MakeDir("Default\\Extensions");
  // Message reference resolved through the lower-case retry; UTF-8 Japanese
  // description; permissions over several lines; a script whose keyword
  // straddles the first 4096-byte boundary.
  const std::string v1 = data.Version("Default", kId, "1.2.0_0");
  data.dir.Write(std::string("Default\\Extensions\\") + kId + "\\1.2.0_0\\manifest.json",
                 "{\r\n  \"name\": \"__MSG_appName__\",\r\n  \"description\": \"\xE8\xA1\xA8\xE7\xA4\xBA\xE3\x81"
                 "\xAE\xE7\xA2\xBA\xE8\xAA\x8D 100%s\",\r\n  \"permissions\": [\r\n    \"tabs\",\r\n    "
                 "\"nativeMessaging\"\r\n  ]\r\n}\r\n");
  data.dir.Write(std::string("Default\\Extensions\\") + kId + "\\1.2.0_0\\_locales\\en\\messages.json",
                 "{\"appname\":{\"message\":\"Lantern Guard\",\"description\":\"d\"}}");
  std::string script(4096 - 10, ' ');
  script += "chrome.tabs.captureVisibleTab(null);";
  data.dir.Write(std::string("Default\\Extensions\\") + kId + "\\1.2.0_0\\js\\lib\\capture.JS", script);
  // An extension with nothing but a locale folder holding the locale keyword.
  data.Version("Default", "bbbb", "2.0");
  data.dir.Write("Default\\Extensions\\bbbb\\2.0\\_locales\\en\\messages.json", "{\"t\":{\"message\":\"Acrobat\"}}");
  // An empty version folder, and a file where an extension folder would be.
  data.Version("Default", "cccc", "3.0");
  data.dir.Write("Default\\Extensions\\stray.txt", "x");
  // "Profile 9" was deleted: it must leave no line.

  LogCapture log;
  CheckBrowserProfilesIn(data.folder());
  const std::string detail = log.Detail();
  EXPECT_EQ("", log.User());
  EXPECT_EQ("", log.Support());
  EXPECT_NE(std::string::npos,
            detail.find("\nProfile \"Default\" settings \n-----------\nExtensions\n-----------\n"));
  EXPECT_EQ(std::string::npos, detail.find("Profile 9"));
  EXPECT_NE(std::string::npos,
            detail.find(std::string("Extension id=") + kId +
                        " ver=1.2.0_0 name=\"Lantern Guard\" desk=\"表示の確認 100%s\" "
                        "finded=chrome.tabs.captureVisibleTab, permission=[     \"tabs\",     \"nativeMessaging\"   ] \n"))
      << detail;
  EXPECT_NE(std::string::npos,
            detail.find("Extension id=bbbb ver=2.0 name=\"\" desk=\"\" finded=Acrobat, permission=[] \n"))
      << detail;
  // No locale folder and no script: nothing found, no error line.
  EXPECT_NE(std::string::npos, detail.find("Extension id=cccc ver=3.0 name=\"\" desk=\"\" finded= permission=[] \n"))
      << detail;
  EXPECT_EQ(std::string::npos, detail.find("stray"));
  EXPECT_EQ("-----------\n\n", detail.substr(detail.size() - 13));
}

TEST(BrowserProfiles, UnreadableFilesMissingLocalesAndDeepTrees) {
  UserData data;
  data.LocalState(kTwoProfiles);
  const std::string version = data.Version("Default", "dddd", "1.0");
  data.dir.MakeDir("Default\\Extensions\\dddd\\1.0\\_locales\\ja");
  const std::string held = data.dir.Write("Default\\Extensions\\dddd\\1.0\\held.js", "chrome.tabs.captureVisibleTab");
  // A folder chain deeper than the search goes, with the keyword at its bottom.
  std::string deep = "Default\\Extensions\\dddd\\1.0\\d";
  for (int i = 0; i < kCaptureSearchMaxDepth + 3; ++i) deep += "\\d";
  data.dir.Write(deep + "\\deep.js", "chrome.tabs.captureVisibleTab");

  HANDLE lock = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, lock);
  LogCapture log;
  CheckBrowserProfilesIn(data.folder());
  CloseHandle(lock);
  const std::string detail = log.Detail();
  EXPECT_NE(std::string::npos, detail.find("ファイルが開けない 32 " + held + " \n")) << detail;
  EXPECT_NE(std::string::npos, detail.find("ファイルが開けない 3 " + version + "_locales\\en\\messages.json \n"))
      << detail;
  EXPECT_NE(std::string::npos, detail.find("※フォルダーが深すぎるため検索を打ち切りました ")) << detail;
  EXPECT_NE(std::string::npos, detail.find("Extension id=dddd ver=1.0 name=\"\" desk=\"\" finded= permission=[] \n"))
      << detail;
}

TEST(BrowserProfiles, JapaneseFolderNamesWithBackslashTrailBytes) {
  // 表 is 0x95 0x5C in cp932: paths built around it must stay whole.
  UserData data;
  data.LocalState("{\"profile\":{\"profiles_order\":[\"\x95\x5C\x8E\xA6\"]}}");
  data.Version("\x95\x5C\x8E\xA6", "eeee", "\x95\x5C");
  data.dir.Write("\x95\x5C\x8E\xA6\\Extensions\\eeee\\\x95\x5C\\manifest.json", "{\"name\":\"Named\"}");
  LogCapture log;
  CheckBrowserProfilesIn(data.folder());
  EXPECT_NE(std::string::npos, log.Detail().find("Profile \"表示\" settings"));
  EXPECT_NE(std::string::npos, log.Detail().find("Extension id=eeee ver=表 name=\"Named\" ")) << log.Detail();
}

TEST(BrowserProfiles, JsonParameterErrorsAndBuffers) {
  LogCapture log;
  int type = 0;
  ByteBuffer value;
  EXPECT_FALSE(getJsonStringParameter(nullptr, "\"a\":", &value, &type, 0));
  EXPECT_EQ("getJsonStringParameter() input parameter error.\n", log.Detail());
  EXPECT_FALSE(getJsonStringParameter("", "\"a\":", &value, &type, 0));
  EXPECT_EQ(255, type);
  ASSERT_TRUE(getJsonStringParameter("{\"a\":\"v\"}", "\"a\":", &value, &type, 1));
  EXPECT_EQ(2, type);
  EXPECT_STREQ("\"v\"", value.text());
  EXPECT_EQ(4u, value.size());
}

// Copies a folder tree; false when the source is missing.
bool CopyTree(const std::string& from, const std::string& to, int* files) {
  CreateDirectoryA(to.c_str(), nullptr);
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA((from + "\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return false;
  do {
    const std::string name = entry.cFileName;
    if (name == "." || name == "..") continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      CopyTree(from + "\\" + name, to + "\\" + name, files);
    } else if (CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE)) {
      ++*files;
    }
  } while (FindNextFileA(find, &entry));
  FindClose(find);
  return true;
}

TEST(BrowserProfiles, RealExtensionFromDebianResolvesThroughItsLocales) {
  // uBlock Origin as Debian packages it (scripts/install-deps.sh installs it).
  const std::string source = "Z:\\usr\\share\\chromium\\extensions\\ublock-origin";
  char localAppData[MAX_PATH] = {};
  ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, localAppData, CSIDL_LOCAL_APPDATA, FALSE));
  const std::string userData = std::string(localAppData) + "\\Google\\Chrome\\User Data\\";
  RemoveTree(std::string(localAppData) + "\\Google");
  const std::string version = userData + "Default\\Extensions\\cjpalhdlnbpafiamejdnhcphjbkeiagm\\1.67.0_0";
  CreateDirectoryA((std::string(localAppData) + "\\Google").c_str(), nullptr);
  CreateDirectoryA((std::string(localAppData) + "\\Google\\Chrome").c_str(), nullptr);
  CreateDirectoryA(userData.c_str(), nullptr);
  CreateDirectoryA((userData + "Default").c_str(), nullptr);
  CreateDirectoryA((userData + "Default\\Extensions").c_str(), nullptr);
  CreateDirectoryA((userData + "Default\\Extensions\\cjpalhdlnbpafiamejdnhcphjbkeiagm").c_str(), nullptr);
  int files = 0;
  ASSERT_TRUE(CopyTree(source, version, &files)) << "webext-ublock-origin-chromium is not installed";
  EXPECT_GT(files, 100);
  HANDLE state = CreateFileA((userData + "Local State").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, state);
  const char text[] = "{\"profile\":{\"profiles_order\":[\"Default\"]}}";
  DWORD written = 0;
  WriteFile(state, text, sizeof text - 1, &written, nullptr);
  CloseHandle(state);

  LogCapture log;
  CheckBrowserProfiles(kBrowserChrome);
  RemoveTree(std::string(localAppData) + "\\Google");
  const std::string detail = log.Detail();
  // The name is literal in its manifest; the first "description" is a message
  // reference that only the English locale file resolves.
  EXPECT_NE(std::string::npos,
            detail.find("Extension id=cjpalhdlnbpafiamejdnhcphjbkeiagm ver=1.67.0_0 name=\"uBlock Origin\" "
                        "desk=\"Enter element picker mode\" finded= permission=[     \"alarms\",     "
                        "\"contextMenus\","))
      << detail;
  int lines = 0;
  Count(detail, "Extension id=", &lines);
  EXPECT_EQ(1, lines);
}
}  // namespace

#include "probes/browser/browser_profiles.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <utility>

#include "tests/support/test_support.h"
#include "tests/support/user_folders.h"

namespace {
const char kTwoProfiles[] = "{\"profile\":{\"info_cache\":{\"Default\":{}},\"profiles_order\":[\"Default\",\"../x\",\"Gone\",\"\x95\x5C\x8E\xA6\"]}}";

TEST(BrowserProfiles, LocalStateFailuresAndBadInput) {
  ScratchDir dir("browser_profiles");
  const std::string createFailed = "★\"Local State\" CreateFile 失敗 path=" + dir.path() + "Local State\n";
  const struct {
    const char* content;
    std::string user;
  } cases[] = {
      {nullptr, createFailed},
      {"{\"profile\":{},\"profiles_order\":[\"Default\"]}", "★プロファイル情報が見つからない (Not found \"profiles_order\").\n"},
      {kTwoProfiles, createFailed},  // held by another program with no sharing
  };
  for (const auto& c : cases) {
    HANDLE held = INVALID_HANDLE_VALUE;
    if (c.content) held = CreateFileA(dir.Write("Local State", c.content).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (c.content == kTwoProfiles) ASSERT_NE(INVALID_HANDLE_VALUE, held);
    else if (held != INVALID_HANDLE_VALUE) CloseHandle(held), held = INVALID_HANDLE_VALUE;
    LogCapture log;
    CheckBrowserProfilesIn(dir.path());
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    EXPECT_EQ(c.user, log.User());
    EXPECT_EQ(c.user, log.Detail());
  }
  {
    // Too large to read is a remark, not a read failure.
    HANDLE big = CreateFileA(dir.Write("Local State", "{").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = kLocalStateMaxBytes + 1;
    ASSERT_TRUE(SetFilePointerEx(big, end, nullptr, FILE_BEGIN) && SetEndOfFile(big));
    CloseHandle(big);
    LogCapture log;
    CheckBrowserProfilesIn(dir.path());
    EXPECT_EQ("※\"Local State\"ファイルが大きすぎるため読み込まない " + std::to_string(kLocalStateMaxBytes + 1) +
                  " バイト path=" + dir.path() + "Local State \n",
              log.User());
  }
  // A user-data folder that leads to a pipe: opened, found to be no file on
  // disk, never read (a read could wait for ever).
  const std::string pipeFolder = "\\\\.\\pipe\\report_tests_profiles\\";
  HANDLE pipe = CreateNamedPipeA((pipeFolder + "Local State").c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 0, 0, 0,
                                 nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, pipe);
  {
    LogCapture onPipe;
    CheckBrowserProfilesIn(pipeFolder);
    EXPECT_EQ("★\"Local State\" CreateFile 失敗 path=" + pipeFolder + "Local State\n", onPipe.User());
  }
  CloseHandle(pipe);
  // More profile names than the walk takes: it says so after the ones it took.
  std::string many = "{\"profile\":{\"profiles_order\":[\"Default\"";
  for (int i = 1; i <= 1000; ++i) many += ",\"P" + std::to_string(i) + "\"";
  dir.Write("Local State", many + "]}}");
  dir.MakeDir("Default");
  {
    LogCapture cut;
    CheckBrowserProfilesIn(dir.path());
    EXPECT_EQ("", cut.User());
    EXPECT_NE(std::string::npos, cut.Detail().find("\nProfile \"Default\" settings \n")) << cut.Detail();
    EXPECT_NE(std::string::npos, cut.Detail().find("※プロファイルが多すぎるため一覧を打ち切りました " + dir.path() +
                                                   "Local State \n\n"))
        << cut.Detail();
  }
  LogCapture log;
  CheckBrowserProfiles(3);
  int type = 0;
  ByteBuffer value;
  EXPECT_FALSE(getJsonStringParameter(nullptr, "\"a\":", &value, &type, 0));
  EXPECT_EQ("★調査対象のブラウザーが不正 \n", log.User());
  EXPECT_EQ(log.User() + "getJsonStringParameter() input parameter error.\n", log.Detail());
}

TEST(BrowserProfiles, ExtensionLinesFromManifestsLocalesAndScripts) {
  ScratchDir dir("browser_profiles");
  dir.Write("Local State", kTwoProfiles);
  const std::string ext = "Default\\Extensions\\";
  // A message reference found by the lower-case retry, a UTF-8 Japanese
  // description holding '%', permissions over several lines, and a script
  // whose keyword straddles the first 4096-byte boundary.
  dir.Write(ext + "lantern\\1.2.0_0\\manifest.json",
            "{\r\n  \"name\": \"__MSG_appName__\",\r\n  \"description\": \"\xE8\xA1\xA8\xE7\xA4\xBA\xE3\x81\xAE\xE7\xA2\xBA"
            "\xE8\xAA\x8D 100%s\",\r\n  \"permissions\": [\r\n    \"tabs\",\r\n    \"nativeMessaging\"\r\n  ]\r\n}\r\n");
  dir.Write(ext + "lantern\\1.2.0_0\\_locales\\en\\messages.json", "{\"appname\":{\"message\":\"Lantern Guard\"}}");
  dir.Write(ext + "lantern\\1.2.0_0\\js\\lib\\capture.JS", std::string(4086, ' ') + "chrome.tabs.captureVisibleTab(0);");
  dir.Write(ext + "scrap\\2.0\\_locales\\en\\messages.json", "{\"t\":{\"message\":\"Acrobat\"}}");
  dir.Write(ext + "stray.txt", "not an extension");
  // A message holding UTF-8 is used as found; a keyword past 64 MB is found.
  dir.Write(ext + "msg\\1.0\\manifest.json", "{\"name\": \"__MSG_n__\", \"description\": \"\xE8\xA1\xA8\"}");
  dir.Write(ext + "msg\\1.0\\_locales\\en\\messages.json", "{\"n\": {\"message\": \"\xE8\xA1\xA8\"}}");
  dir.Write(ext + "msg\\1.0\\huge.js", std::string(65 << 20, ';') + "chrome.tabs.captureVisibleTab");
  // A locked script, a locale folder without English, and a keyword below
  // the depth the search goes to.
  const std::string locked = dir.Write(ext + "odd\\1.0\\held.js", "chrome.tabs.captureVisibleTab");
  dir.MakeDir(ext + "odd\\1.0\\_locales\\ja");
  const std::string odd = dir.path() + ext + "odd\\1.0\\";
  std::string deep = ext + "odd\\1.0\\d";
  for (int i = 0; i < kCaptureSearchMaxDepth + 2; ++i) deep += "\\d";
  dir.Write(deep + "\\deep.js", "chrome.tabs.captureVisibleTab");
  // A manifest beyond what is read: its start is used, and a line says so.
  const std::string big =
      dir.Write(ext + "big\\1.0\\manifest.json", "{\"name\": \"Big\", \"x\": \"" + std::string(70000, 'x') + "\"}");
  // A script read in large blocks: the keyword straddles the first block's end.
  dir.Write(ext + "big\\1.0\\bundle.js", std::string(256 * 1024 - 10, ';') + "chrome.tabs.captureVisibleTab");
  // A profile and a version named with cp932 characters whose second byte is
  // '\'; a description of 300 bytes of Japanese in cp932, cut to 98 at "%.99s".
  std::string longDescription, shownDescription;
  for (int i = 0; i < 150; ++i) longDescription += "\xE8\xA1\xA8";  // 表 in UTF-8
  for (int i = 0; i < 49; ++i) shownDescription += "表";
  dir.Write("\x95\x5C\x8E\xA6\\Extensions\\jp\\\x95\x5C\\manifest.json",
            "{\"name\":\"Named\",\"description\":\"" + longDescription + "\"}");

  HANDLE lock = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, lock);
  LogCapture log;
  CheckBrowserProfilesIn(dir.path());
  CloseHandle(lock);
  EXPECT_EQ("", log.Support());
  const std::string detail = log.Detail();
  for (const std::string& line : {
           std::string("\nProfile \"Default\" settings \n-----------\nExtensions\n-----------\n"),
           std::string("Extension id=lantern ver=1.2.0_0 name=\"Lantern Guard\" desk=\"表示の確認 100%s\" "
                       "finded=chrome.tabs.captureVisibleTab, permission=[      \"tabs\",      \"nativeMessaging\"    ] \n"),
           std::string("Extension id=scrap ver=2.0 name=\"\" desk=\"\" finded=Acrobat, permission=[] \n"),
           std::string("Extension id=msg ver=1.0 name=\"\xE8\xA1\xA8\" desk=\"表\" "
                       "finded=chrome.tabs.captureVisibleTab, permission=[] \n"),
           "ファイルが開けない 32 " + locked + " \n",
           "ファイルが開けない 3 " + odd + "_locales\\en\\messages.json \n",
           std::string("※フォルダーが深すぎるため検索を打ち切りました "),
           std::string("Extension id=odd ver=1.0 name=\"\" desk=\"\" finded= permission=[] \n"),
           std::string("\nProfile \"表示\" settings \n"),
           "※ファイルが大きすぎるため先頭 65536 バイトのみ読みました " + big + " \n",
           std::string("Extension id=big ver=1.0 name=\"Big\" desk=\"\" finded=chrome.tabs.captureVisibleTab, "
                       "permission=[] \n"),
           "Extension id=jp ver=表 name=\"Named\" desk=\"" + shownDescription + "\" finded= permission=[] \n",
           std::string("※プロファイル名が不正なため省略 \"../x\" \n"),
       }) {
    EXPECT_NE(std::string::npos, detail.find(line)) << line << "\nin\n" << detail;
  }
  EXPECT_EQ(std::string::npos, detail.find("Gone"));
  EXPECT_EQ(std::string::npos, detail.find("stray"));
  EXPECT_EQ("-----------\n\n", detail.substr(detail.size() - 13));
  // The whole walk's budget ends it once, wherever it runs out.
  for (const auto& budget : {std::make_pair(9ul, 1ull << 30), std::make_pair(1000ul, 65600ull)}) {
    SetProfileWalkBudget(budget.first, budget.second);
    LogCapture cut;
    CheckBrowserProfilesIn(dir.path());
    const std::string d = cut.Detail();
    const std::size_t stop = d.find("※調査量が多すぎるためプロファイルの調査を打ち切りました ");
    EXPECT_NE(std::string::npos, stop) << d;
    EXPECT_EQ(stop, d.rfind("※調査量")) << d;
    EXPECT_EQ(std::string::npos, d.find("Profile \"表示\"")) << d;
  }
  SetProfileWalkBudget(2000000, 1ull << 30);
}

// Copies a folder tree, counting the files.
int CopyTree(const std::string& from, const std::string& to) {
  CreateDirectoryA(to.c_str(), nullptr);
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA((from + "\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return 0;
  int files = 0;
  do {
    const std::string name = entry.cFileName;
    if (name == "." || name == "..") continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) files += CopyTree(from + "\\" + name, to + "\\" + name);
    else files += CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE) ? 1 : 0;
  } while (FindNextFileA(find, &entry));
  FindClose(find);
  return files;
}

TEST(BrowserProfiles, RealExtensionFromDebianResolvesThroughItsLocales) {
  // uBlock Origin as Debian packages it (scripts/install-deps.sh installs it),
  // copied into a Chrome profile of the user's real local application data.
  char local[MAX_PATH] = {};
  ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, local, CSIDL_LOCAL_APPDATA, FALSE));
  const std::string google = std::string(local) + "\\Google", userData = google + "\\Chrome\\User Data\\";
  RemoveTree(google);
  for (const std::string& d : {google, google + "\\Chrome", userData, userData + "Default", userData + "Default\\Extensions"}) {
    CreateDirectoryA(d.c_str(), nullptr);
  }
  const std::string id = userData + "Default\\Extensions\\cjpalhdlnbpafiamejdnhcphjbkeiagm";
  CreateDirectoryA(id.c_str(), nullptr);
  EXPECT_GT(CopyTree("Z:\\usr\\share\\chromium\\extensions\\ublock-origin", id + "\\1.67.0_0"), 100)
      << "webext-ublock-origin-chromium is not installed";
  HANDLE state = CreateFileA((userData + "Local State").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  const char text[] = "{\"profile\":{\"profiles_order\":[\"Default\"]}}";
  DWORD written = 0;
  WriteFile(state, text, sizeof text - 1, &written, nullptr);
  CloseHandle(state);

  LogCapture log;
  CheckBrowserProfiles(kBrowserChrome);
  RemoveTree(google);
  // Its name is literal; its first "description" is a message reference that
  // only the English locale file resolves.
  EXPECT_NE(std::string::npos,
            log.Detail().find("Extension id=cjpalhdlnbpafiamejdnhcphjbkeiagm ver=1.67.0_0 name=\"uBlock Origin\" "
                              "desk=\"Enter element picker mode\" finded= permission=[     \"alarms\",     \"contextMenus\","))
      << log.Detail();
}
}  // namespace

// Without a local application-data folder there is no "Local State" to read:
// the walk stops with one line instead of reading one at the drive's root,
// and the folder is not created.
TEST(MissingUserFolder, ProfilesNeedTheLocalApplicationDataFolder) {
  if (!MayMoveUserFolders()) GTEST_SKIP() << kUserFoldersSkipReason;
  MovedAwayFolder local(CSIDL_LOCAL_APPDATA);
  ASSERT_TRUE(local.moved()) << local.path();
  for (int browser : {kBrowserChrome, kBrowserEdge}) {
    LogCapture log;
    CheckBrowserProfiles(browser);
    EXPECT_EQ(log.Detail(),
              "★ローカルアプリケーションデータのフォルダーが見つからないため\"Local State\"を確認できない \n")
        << browser;
  }
  EXPECT_FALSE(local.Exists()) << local.path() << " was created";
}

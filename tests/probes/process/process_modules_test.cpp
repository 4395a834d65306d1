// Module listing and the link to Modlist6, with real helper processes, the
// real companion extracted from Report64.exe, and real pipes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "probes/process/process_modules.h"
#include "query/module_line_rules.h"
#include "tests/support/process_helpers.h"
#include "tests/support/test_support.h"

namespace {
std::string WindowHost(const std::string& tokens) {
  return "\"" + Bin64() + "window_host.exe\" " + tokens + " many:1";
}

// Report64.exe carries the companion as its resource; the test program does not.
class CompanionResource {
 public:
  CompanionResource() {
    module_ = LoadLibraryExA((Bin64() + "Report64.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    SetCompanionResourceModule(module_);
  }
  ~CompanionResource() {
    StopCompanion();
    SetCompanionResourceModule(nullptr);
    if (module_ != nullptr) FreeLibrary(module_);
  }
  HMODULE get() const { return module_; }

 private:
  HMODULE module_ = nullptr;
};

// Waits until the helper has loaded its libraries and made its windows
// ("many:1" gives every helper a window to wait for).
void WaitReady(ChildProcess& child) {
  ASSERT_TRUE(child.started());
  ASSERT_TRUE(WaitForWindowOf(child.id(), "HostReady", 10000));
}

bool FileExistsW(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
}  // namespace

TEST(ProcessModules, OwnListingRecordsOnlyOtherMakersModules) {
  ChildProcess host(WindowHost("load:" + Fixture64("lantern_plugin.dll") + " load:" + Fixture64("ms_upper.dll")));
  WaitReady(host);
  LogCapture log;
  ListProcessModules(host.id());

  EXPECT_EQ(CountOf(log.Support(), kModuleHeaderLine), 1u);
  const std::string lantern = LineHolding(log.Support(), "lantern_plugin.dll, ");
  ASSERT_FALSE(lantern.empty()) << log.Detail();
  EXPECT_NE(lantern.find(", 3.1.4.15, lantern_plugin.dll, Lantern Soft Co., Ltd., Lantern Guard Plugin, \"3.1\" "),
            std::string::npos)
      << lantern;
  // The handle is printed in lower-case hexadecimal without leading zeros and recorded.
  unsigned long long handle = 0;
  ASSERT_EQ(std::sscanf(lantern.c_str(), "%llx,", &handle), 1);
  char printed[32];
  std::snprintf(printed, sizeof printed, "%llx,", handle);
  EXPECT_EQ(lantern.rfind(printed, 0), 0u);
  EXPECT_TRUE(NonMicrosoftModules.Contains(static_cast<std::uintptr_t>(handle)));

  // "MICROSOFT CORPORATION" in capitals is still Microsoft: Analysis only, not recorded.
  EXPECT_EQ(log.Support().find("ms_upper.dll"), std::string::npos);
  const std::string upper = LineHolding(log.Detail(), "ms_upper.dll, ");
  ASSERT_FALSE(upper.empty());
  ASSERT_EQ(std::sscanf(upper.c_str(), "%llx,", &handle), 1);
  EXPECT_FALSE(NonMicrosoftModules.Contains(static_cast<std::uintptr_t>(handle)));

  // A module without version resource (the helper itself) has empty texts.
  EXPECT_NE(log.Support().find("window_host.exe, , , , , \"\" \n"), std::string::npos);

  // The next listing starts from an empty table.
  ListProcessModules(GetCurrentProcessId());
  EXPECT_FALSE(NonMicrosoftModules.Contains(static_cast<std::uintptr_t>(handle)));
}

TEST(ProcessModules, ProcessThatIsGoneGetsTheFailureLineOnly) {
  const DWORD gone = EndedProcessId(WindowHost("exit"));
  ASSERT_NE(gone, 0u);
  NonMicrosoftModules.Add(0x1234);
  const unsigned starts = CompanionLink.startCount;
  LogCapture log;
  ListProcessModules(gone);
  EXPECT_EQ(log.Detail(), "プロセス内のモジュール一覧取得できず \n");
  EXPECT_EQ(log.Support(), "");
  EXPECT_EQ(NonMicrosoftModules.count, 0u);
  // A 64-bit Report never needs the companion.
  EXPECT_EQ(CompanionLink.startCount, starts);
  EXPECT_TRUE(CompanionLink.exePathW.empty());
}

TEST(ProcessModules, ProcessBitness) {
  // Under 64-bit Windows every x64 helper is a 64-bit process.
  ChildProcess host(WindowHost(""));
  WaitReady(host);
  EXPECT_TRUE(IsProcess64Bit(host.id()));
  LogCapture log;
  EXPECT_FALSE(IsProcess64Bit(0xFFFFFFF0u));
  EXPECT_EQ(log.Detail().rfind("プロセスを開けなかった 4294967280 error=", 0), 0u) << log.Detail();
}

TEST(CompanionExtraction, WritesTheEmbeddedProgramUnchanged) {
  CompanionResource resource;
  ASSERT_NE(resource.get(), nullptr);
  ScratchDir dir("process_extract");
  const std::string target = dir.path() + "copy.exe";
  const std::wstring wide(target.begin(), target.end());
  // Resource names match without regard to case.
  ASSERT_TRUE(ExtractResourceToFile(resource.get(), L"modlist6.exe", wide.c_str()));
  const std::string extracted = ReadWholeFile(target);
  EXPECT_FALSE(extracted.empty());
  EXPECT_EQ(extracted, ReadWholeFile(Bin64() + "Modlist6.exe"));

  const std::string missing = dir.path() + "missing.exe";
  const std::wstring missingW(missing.begin(), missing.end());
  EXPECT_FALSE(ExtractResourceToFile(resource.get(), L"NO_SUCH_RESOURCE", missingW.c_str()));
  EXPECT_FALSE(ExtractResourceToFile(GetModuleHandleW(nullptr), L"Modlist6.exe", missingW.c_str()));
  EXPECT_EQ(GetFileAttributesA(missing.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(CompanionLinkTest, TwoProcessesShareOneCompanionWhoseFileIsDeletedAfterwards) {
  CompanionResource resource;
  ChildProcess first(WindowHost("load:" + Fixture64("lantern_plugin.dll")));
  ChildProcess second(WindowHost("load:" + Fixture64("ms_upper.dll") + " load:" + Fixture64("long_names.dll")));
  WaitReady(first);
  WaitReady(second);
  const unsigned startsBefore = CompanionLink.startCount;
  LogCapture log;
  ListModulesViaCompanion(first.id());
  ListModulesViaCompanion(second.id());
  EXPECT_EQ(CompanionLink.startCount, startsBefore + 1);
  const std::wstring path = CompanionLink.exePathW;
  EXPECT_TRUE(FileExistsW(path));

  // Level 1 lines reach Support and Analysis, level 2 lines Analysis only.
  EXPECT_EQ(CountOf(log.Support(), kModuleHeaderLine), 2u);
  const std::string lantern = LineHolding(log.Support(), "lantern_plugin.dll, ");
  ASSERT_FALSE(lantern.empty()) << log.Detail();
  EXPECT_NE(lantern.find("Lantern Soft Co., Ltd., Lantern Guard Plugin, \"3.1\" "), std::string::npos);
  // The companion prints handles as sixteen upper-case hexadecimal digits.
  ASSERT_GE(lantern.size(), 17u);
  EXPECT_EQ(lantern[16], ',');
  EXPECT_EQ(log.Support().find("ms_upper.dll"), std::string::npos);
  EXPECT_NE(log.Detail().find("ms_upper.dll, "), std::string::npos);
  EXPECT_EQ(log.User(), "");
  // An answer line longer than the read buffer comes back as one line.
  const std::string longLine = LineHolding(log.Support(), "long_names.dll, ");
  EXPECT_GT(longLine.size(), 600u);
  EXPECT_NE(longLine.find("Lantern Long Product 0123456789"), std::string::npos);
  EXPECT_NE(longLine.find("\"3.1\" "), std::string::npos) << longLine;
  // Nothing of the pipe protocol itself leaks into the report.
  EXPECT_EQ(log.Detail().find("\r"), std::string::npos);

  const DWORD companion = CompanionLink.processId;
  StopCompanion();
  EXPECT_FALSE(FileExistsW(path));
  EXPECT_TRUE(CompanionLink.exePathW.empty());
  EXPECT_EQ(CompanionLink.pipe, nullptr);
  HANDLE ended = OpenProcess(SYNCHRONIZE, FALSE, companion);
  if (ended != nullptr) {
    EXPECT_EQ(WaitForSingleObject(ended, 0), WAIT_OBJECT_0);
    CloseHandle(ended);
  }

  // A later listing starts a new link.
  ListModulesViaCompanion(first.id());
  EXPECT_EQ(CompanionLink.startCount, startsBefore + 2);
}

TEST(CompanionLinkTest, EndedProcessGetsTheCompanionsFailureLine) {
  CompanionResource resource;
  const DWORD gone = EndedProcessId(WindowHost("exit"));
  LogCapture log;
  ListModulesViaCompanion(gone);
  EXPECT_EQ(log.Detail(), "プロセス内のモジュール一覧取得できず \n");
}

TEST(CompanionLinkTest, MissingResourceIsReportedAndTriedAgain) {
  SetCompanionResourceModule(GetModuleHandleW(nullptr));
  LogCapture log;
  EXPECT_FALSE(StartCompanion());
  EXPECT_EQ(log.Detail(), "リソースに Modlist6.exeが含まれない \n");
  EXPECT_TRUE(CompanionLink.exePathW.empty());
  // Not a lasting failure: with the resource there the next start works.
  CompanionResource resource;
  EXPECT_TRUE(StartCompanion());
  StopCompanion();
}

TEST(CompanionLinkTest, TemporaryFolderWithBlankAndJapaneseName) {
  ScratchDir dir("process_temp");
  // "表示 テスト" holds a blank and 0x5C as a trail byte in cp932.
  const std::wstring folder = std::wstring(dir.path().begin(), dir.path().end()) + L"\u8868\u793a \u30c6\u30b9\u30c8-n\\";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  wchar_t oldTmp[MAX_PATH] = {}, oldTemp[MAX_PATH] = {};
  GetEnvironmentVariableW(L"TMP", oldTmp, MAX_PATH);
  GetEnvironmentVariableW(L"TEMP", oldTemp, MAX_PATH);
  SetEnvironmentVariableW(L"TMP", folder.c_str());
  SetEnvironmentVariableW(L"TEMP", folder.c_str());
  {
    CompanionResource resource;
    ChildProcess host(WindowHost("load:" + Fixture64("lantern_plugin.dll")));
    WaitReady(host);
    LogCapture log;
    ListModulesViaCompanion(host.id());
    EXPECT_EQ(CompanionLink.exePathW, folder + L"Modlist6.exe");
    EXPECT_NE(log.Support().find("lantern_plugin.dll, "), std::string::npos) << log.Detail();
    StopCompanion();
    EXPECT_FALSE(FileExistsW(folder + L"Modlist6.exe"));
  }
  SetEnvironmentVariableW(L"TMP", oldTmp);
  SetEnvironmentVariableW(L"TEMP", oldTemp);
  RemoveDirectoryW(folder.c_str());
}

TEST(CompanionLinkTest, ForeignClientOnThePipeIsRefused) {
  // The squatter guesses the pipe names from the tick count and connects
  // before the companion can; its fake answer must never reach the report.
  ChildProcess squatter("\"" + Bin64() + "pipe_squatter.exe\" 15000");
  ASSERT_TRUE(squatter.started());
  Sleep(300);
  CompanionResource resource;
  ChildProcess host(WindowHost("load:" + Fixture64("lantern_plugin.dll")));
  WaitReady(host);
  LogCapture log;
  ListModulesViaCompanion(host.id());
  EXPECT_EQ(log.Detail().find("INJECTED"), std::string::npos);
  EXPECT_NE(log.Detail().find("Modlist6以外の接続を拒否 "), std::string::npos)
      << "the squatter did not win the race; log:\n"
      << log.Detail();
  // After refusing it the link still serves the real companion's answer.
  EXPECT_NE(log.Support().find("lantern_plugin.dll, "), std::string::npos) << log.Detail();
  StopCompanion();
}

TEST(CompanionLinkTest, EmergencyCleanupEndsTheCompanionAndDeletesItsFile) {
  CompanionResource resource;
  ASSERT_TRUE(StartCompanion());
  const std::wstring path = CompanionLink.exePathW;
  HANDLE process = nullptr;
  DuplicateHandle(GetCurrentProcess(), CompanionLink.process, GetCurrentProcess(), &process, SYNCHRONIZE, FALSE, 0);
  CompanionEmergencyCleanup();
  EXPECT_FALSE(FileExistsW(path));
  ASSERT_NE(process, nullptr);
  EXPECT_EQ(WaitForSingleObject(process, 0), WAIT_OBJECT_0);
  CloseHandle(process);
  StopCompanion();  // the normal end after it stays quiet
}

// Module listing and the link to Modlist6, with real helper processes, the
// real companion extracted from Report64.exe, and real pipes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "probes/process/process_modules.h"
#include "query/module_line_rules.h"
#include "tests/support/process_helpers.h"
#include "tests/support/test_support.h"

namespace {
std::string WindowHost(const std::string& tokens) { return "\"" + Bin64() + "window_host.exe\" " + tokens; }
std::string Loads(const char* dll) { return "load:" + Fixture64(dll) + " "; }

// Report64.exe carries the companion as its resource; the test program does not.
struct CompanionResource {
  CompanionResource() : module(LoadLibraryExA((Bin64() + "Report64.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
    SetCompanionResourceModule(module);
  }
  ~CompanionResource() {
    StopCompanion();
    SetCompanionResourceModule(nullptr);
    FreeLibrary(module);
  }
  HMODULE module;
};

void WaitReady(ChildProcess& child) {
  ASSERT_TRUE(child.started());
  ASSERT_TRUE(WaitForWindowOf(child.id(), "HostReady", 10000));
}

unsigned long long HandleOf(const std::string& line) {
  unsigned long long handle = 0;
  return std::sscanf(line.c_str(), "%llx,", &handle) == 1 ? handle : 0;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
}  // namespace

// The 64-bit build lists the 64-bit host itself; built as 32-bit, as Report
// ships, the same call goes through the companion under WOW64.
TEST(ProcessModules, OwnListingRecordsOnlyOtherMakersModules) {
  const bool own = sizeof(void*) == 8;
  CompanionResource resource;
  ChildProcess host(WindowHost(Loads("lantern_plugin.dll") + Loads("ms_upper.dll")));
  WaitReady(host);
  EXPECT_TRUE(IsProcess64Bit(host.id()));
  const unsigned startsBefore = CompanionLink.startCount;
  LogCapture log;
  ListProcessModules(host.id());
  EXPECT_EQ(CompanionLink.startCount, startsBefore + (own ? 0u : 1u));
  EXPECT_EQ(CountOf(log.Support(), kModuleHeaderLine), 1u);
  const std::string lantern = LineHolding(log.Support(), "lantern_plugin.dll, ");
  EXPECT_NE(lantern.find(", 3.1.4.15, lantern_plugin.dll, Lantern Soft Co., Ltd., Lantern Guard Plugin, \"3.1\" \n"),
            std::string::npos)
      << log.Detail();
  // Listed by Report: lower-case hexadecimal without leading zeros, and
  // recorded. By the companion: sixteen upper-case digits, not recorded.
  char printed[32];
  std::snprintf(printed, sizeof printed, own ? "%llx, " : "%016llX, ", HandleOf(lantern));
  EXPECT_EQ(lantern.rfind(printed, 0), 0u) << lantern;
  EXPECT_EQ(NonMicrosoftModules.Contains(HandleOf(lantern)), own);
  // "MICROSOFT CORPORATION" in capitals is Microsoft: Analysis only, not recorded.
  EXPECT_EQ(log.Support().find("ms_upper.dll"), std::string::npos);
  const std::string upper = LineHolding(log.Detail(), "ms_upper.dll, ");
  EXPECT_FALSE(NonMicrosoftModules.Contains(HandleOf(upper)));
  // A module without version resource has empty texts.
  EXPECT_NE(log.Support().find("window_host.exe, , , , , \"\" \n"), std::string::npos);

  // A process that is gone: one line, an emptied table, and no companion for
  // a 64-bit Report.
  const unsigned starts = CompanionLink.startCount;
  const DWORD gone = EndedProcessId(WindowHost("exit"));
  ASSERT_NE(gone, 0u) << GetLastError();
  LogCapture goneLog;
  ListProcessModules(gone);
  // Under WOW64 the question whether it is 64-bit comes first, and fails too.
  const std::string goneLine = "プロセス内のモジュール一覧取得できず \n";
  if (own) EXPECT_EQ(goneLog.Detail(), goneLine);
  EXPECT_EQ(goneLog.Detail().substr(goneLog.Detail().size() - std::min(goneLog.Detail().size(), goneLine.size())),
            goneLine);
  EXPECT_EQ(NonMicrosoftModules.count, 0u);
  EXPECT_EQ(CompanionLink.startCount, starts);
  LogCapture refused;
  EXPECT_FALSE(IsProcess64Bit(0xFFFFFFF0u));
  EXPECT_EQ(refused.Detail().rfind("プロセスを開けなかった 4294967280 error=", 0), 0u);
}

TEST(ProcessModules, ExtractionWritesTheEmbeddedProgramUnchanged) {
  CompanionResource resource;
  ScratchDir dir("process_extract");
  const std::string target = dir.path() + "copy.exe";
  const std::wstring wide(target.begin(), target.end());
  ASSERT_TRUE(ExtractResourceToFile(resource.module, L"modlist6.exe", wide.c_str()));  // any case
  EXPECT_EQ(ReadWholeFile(target), ReadWholeFile(Bin64() + "Modlist6.exe"));
  DeleteFileW(wide.c_str());
  EXPECT_FALSE(ExtractResourceToFile(resource.module, L"NO_SUCH_RESOURCE", wide.c_str()));
  EXPECT_FALSE(ExtractResourceToFile(GetModuleHandleW(nullptr), L"Modlist6.exe", wide.c_str()));
  EXPECT_FALSE(Exists(wide));
}

TEST(CompanionLinkTest, ProcessesShareOneCompanionWhoseFileIsDeletedAfterwards) {
  CompanionResource resource;
  ChildProcess first(WindowHost(Loads("lantern_plugin.dll")));
  ChildProcess second(WindowHost(Loads("ms_upper.dll") + Loads("long_names.dll")));
  WaitReady(first);
  WaitReady(second);
  const unsigned startsBefore = CompanionLink.startCount;
  LogCapture log;
  ListModulesViaCompanion(first.id());
  ListModulesViaCompanion(second.id());
  const DWORD gone = EndedProcessId(WindowHost("exit"));
  ASSERT_NE(gone, 0u) << GetLastError();
  LogCapture goneLog;
  ListModulesViaCompanion(gone);
  EXPECT_EQ(CompanionLink.startCount, startsBefore + 1);
  EXPECT_EQ(goneLog.Detail(), "プロセス内のモジュール一覧取得できず \n");
  const std::wstring path = CompanionLink.exePathW;
  EXPECT_TRUE(Exists(path));

  // Level 1 lines reach Support and Analysis, level 2 lines Analysis only.
  EXPECT_EQ(CountOf(log.Support(), kModuleHeaderLine), 2u);
  const std::string lantern = LineHolding(log.Support(), "lantern_plugin.dll, ");
  EXPECT_NE(lantern.find("Lantern Soft Co., Ltd., Lantern Guard Plugin, \"3.1\" \n"), std::string::npos)
      << log.Detail();
  EXPECT_EQ(lantern.find(", "), 16u);  // sixteen hexadecimal digits from the companion
  EXPECT_EQ(log.Support().find("ms_upper.dll"), std::string::npos);
  EXPECT_NE(log.Detail().find("ms_upper.dll, "), std::string::npos);
  EXPECT_EQ(log.User(), "");
  // An answer line longer than the 512-byte reads comes back as one line.
  const std::string longLine = LineHolding(log.Support(), "long_names.dll, ");
  EXPECT_GT(longLine.size(), 600u);
  EXPECT_NE(longLine.find("0123456789, \"3.1\" \n"), std::string::npos) << longLine;

  const DWORD companion = CompanionLink.processId;
  StopCompanion();
  EXPECT_FALSE(Exists(path));
  EXPECT_EQ(CompanionLink.pipe, nullptr);
  if (HANDLE ended = OpenProcess(SYNCHRONIZE, FALSE, companion)) {
    EXPECT_EQ(WaitForSingleObject(ended, 0), WAIT_OBJECT_0);
    CloseHandle(ended);
  }
  ListModulesViaCompanion(first.id());  // a later listing starts a new link
  EXPECT_EQ(CompanionLink.startCount, startsBefore + 2);
}

TEST(CompanionLinkTest, MissingResourceIsReportedAndTriedAgain) {
  SetCompanionResourceModule(GetModuleHandleW(nullptr));
  LogCapture log;
  EXPECT_FALSE(StartCompanion());
  EXPECT_EQ(log.Detail(), "リソースに Modlist6.exeが含まれない \n");
  CompanionResource resource;
  EXPECT_TRUE(StartCompanion());
}

TEST(CompanionLinkTest, TemporaryFolderWithBlankDashPercentAndJapaneseName) {
  ScratchDir dir("process_temp");
  // A blank, a "-n" and 表 (0x5C as trail byte in cp932) in the temporary
  // folder; "%s" and 表 in the folder of the listed plug-in.
  const std::wstring base(dir.path().begin(), dir.path().end());
  const std::wstring folder = base + L"\u8868\u793a \u30c6-n\\";
  const std::wstring pluginFolder = base + L"\u8868%s%n\\";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(pluginFolder.c_str(), nullptr));
  const std::wstring plugin = pluginFolder + L"lantern_plugin.dll";
  const std::string fixture = Fixture64("lantern_plugin.dll");
  ASSERT_TRUE(CopyFileW(std::wstring(fixture.begin(), fixture.end()).c_str(), plugin.c_str(), FALSE));
  char pluginAnsi[MAX_PATH] = {};
  WideCharToMultiByte(CP_ACP, 0, plugin.c_str(), -1, pluginAnsi, MAX_PATH, nullptr, nullptr);
  wchar_t oldTmp[MAX_PATH] = {}, oldTemp[MAX_PATH] = {};
  GetEnvironmentVariableW(L"TMP", oldTmp, MAX_PATH);
  GetEnvironmentVariableW(L"TEMP", oldTemp, MAX_PATH);
  SetEnvironmentVariableW(L"TMP", folder.c_str());
  SetEnvironmentVariableW(L"TEMP", folder.c_str());
  {
    CompanionResource resource;
    ChildProcess host(WindowHost(std::string("load:") + pluginAnsi));
    WaitReady(host);
    LogCapture log;
    ListModulesViaCompanion(host.id());
    EXPECT_EQ(CompanionLink.exePathW, folder + L"Modlist6.exe");
    EXPECT_NE(log.Support().find(std::string(", lantern_plugin.dll, ") + pluginAnsi + ", 3.1.4.15, "), std::string::npos)
        << log.Detail();
    StopCompanion();
    EXPECT_FALSE(Exists(folder + L"Modlist6.exe"));
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
  ChildProcess host(WindowHost(Loads("lantern_plugin.dll")));
  WaitReady(host);
  LogCapture log;
  ListModulesViaCompanion(host.id());
  EXPECT_EQ(log.Detail().find("INJECTED"), std::string::npos);
  EXPECT_NE(log.Detail().find("Modlist6以外の接続を拒否 "), std::string::npos) << "the squatter lost the race";
  EXPECT_NE(log.Support().find("lantern_plugin.dll, "), std::string::npos) << log.Detail();
}

TEST(CompanionLinkTest, EmergencyCleanupEndsTheCompanionAndDeletesItsFile) {
  CompanionResource resource;
  ASSERT_TRUE(StartCompanion());
  const std::wstring path = CompanionLink.exePathW;
  HANDLE process = nullptr;
  DuplicateHandle(GetCurrentProcess(), CompanionLink.process, GetCurrentProcess(), &process, SYNCHRONIZE, FALSE, 0);
  CompanionEmergencyCleanup();
  EXPECT_FALSE(Exists(path));
  EXPECT_EQ(WaitForSingleObject(process, 0), WAIT_OBJECT_0);
  CloseHandle(process);
}

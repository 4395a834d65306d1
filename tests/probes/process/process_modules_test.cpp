// Module listing and the link to Modlist6, with real helper processes, the
// real companion extracted from Report64.exe, and real pipes.
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "base/owner.h"
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

// The access list of an object holds one entry, which grants the current
// user; a file's may also grant the system account, which Wine shows on
// every file.
bool OnlyCurrentUser(HANDLE object, SE_OBJECT_TYPE type = SE_KERNEL_OBJECT) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ACL* acl = nullptr;
  if (GetSecurityInfo(object, type, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl, nullptr, &descriptor) !=
      ERROR_SUCCESS)
    return false;
  unsigned char system[SECURITY_MAX_SID_SIZE] = {};
  DWORD systemSize = sizeof system;
  CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &systemSize);
  if (type == SE_FILE_OBJECT && acl != nullptr && acl->AceCount == 2) {
    ACCESS_ALLOWED_ACE* first = nullptr;
    if (GetAce(acl, 0, reinterpret_cast<void**>(&first)) && EqualSid(&first->SidStart, system)) DeleteAce(acl, 0);
  }
  UniqueHandle token;
  unsigned char user[512] = {};
  DWORD size = 0;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put());
  GetTokenInformation(token.get(), TokenUser, user, sizeof user, &size);
  ACCESS_ALLOWED_ACE* ace = nullptr;
  const bool only = acl != nullptr && acl->AceCount == 1 && GetAce(acl, 0, reinterpret_cast<void**>(&ace)) &&
                    ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
                    EqualSid(&ace->SidStart, reinterpret_cast<TOKEN_USER*>(user)->User.Sid);
  LocalFree(descriptor);
  return only;
}

// TEMP and TMP name another folder for one scope.
struct TempFolderScope {
  explicit TempFolderScope(const std::wstring& folder) {
    GetEnvironmentVariableW(L"TMP", tmp, MAX_PATH);
    GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH);
    SetEnvironmentVariableW(L"TMP", folder.c_str());
    SetEnvironmentVariableW(L"TEMP", folder.c_str());
  }
  ~TempFolderScope() {
    SetEnvironmentVariableW(L"TMP", tmp);
    SetEnvironmentVariableW(L"TEMP", temp);
  }
  wchar_t tmp[MAX_PATH] = {}, temp[MAX_PATH] = {};
};

// A 64-bit process that has loaded the given fixture library.
struct ModuleHost {
  explicit ModuleHost(const char* dll)
      : process(Bin64() + "module_host.exe " + ready.name() + " \"" + Fixture64(dll) + "\"") {}
  ReadyEvent ready;
  ChildProcess process;
};

// The module names a snapshot of the process shows, sorted.
std::vector<std::string> ModuleNamesOf(DWORD processId) {
  std::vector<std::string> names;
  SnapshotHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId));
  MODULEENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Module32First(snapshot.get(), &entry); more; more = Module32Next(snapshot.get(), &entry))
    names.push_back(entry.szModule);
  std::sort(names.begin(), names.end());
  return names;
}

// The module names of the module lines in a listing (the second field of
// each line after the header), sorted.
std::vector<std::string> ModuleNamesIn(const std::string& listing) {
  std::vector<std::string> names;
  std::size_t start = 0;
  for (std::size_t end; (end = listing.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = listing.substr(start, end + 1 - start);
    if (line == kModuleHeaderLine) continue;
    const std::size_t first = line.find(", ");
    const std::size_t second = first == std::string::npos ? first : line.find(", ", first + 2);
    names.push_back(second == std::string::npos ? "<not a module line: " + line + ">"
                                                : line.substr(first + 2, second - first - 2));
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The stand-in companion (tests/tools/companion_standin.cpp) in place of
// Modlist6, started through the ordinary extraction, playing one failure.
struct StandInCompanion {
  StandInCompanion(const char* mode, const CompanionAnswerLimits& limits)
      : module(LoadLibraryExA((Bin64() + "standin_companion.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
    SetEnvironmentVariableA("REPORT_STANDIN_MODE", mode);
    SetCompanionResourceModule(module);
    SetCompanionAnswerLimits(limits);
  }
  ~StandInCompanion() {
    StopCompanion();
    ForgetCompanionFailure();
    SetCompanionAnswerLimits(DefaultCompanionAnswerLimits());
    SetCompanionResourceModule(nullptr);
    SetEnvironmentVariableA("REPORT_STANDIN_MODE", nullptr);
    FreeLibrary(module);
  }
  // Starts the link and keeps what is needed to check that it was ended.
  bool Start() {
    if (module == nullptr || !StartCompanion()) return false;
    path = CompanionLink.exePathW;
    return DuplicateHandle(GetCurrentProcess(), CompanionLink.process, GetCurrentProcess(), process.put(),
                           SYNCHRONIZE, FALSE, 0) != 0;
  }
  // The companion process has ended and its file is gone.
  void ExpectEnded() {
    EXPECT_EQ(WaitForSingleObject(process.get(), 0), WAIT_OBJECT_0) << "the companion still runs";
    EXPECT_FALSE(Exists(path)) << "the companion's file is still there";
    EXPECT_EQ(CompanionLink.pipe, nullptr);
    EXPECT_TRUE(CompanionLink.exePathW.empty());
  }
  HMODULE module;
  UniqueHandle process;
  std::wstring path;
};
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
  if (own) {
    EXPECT_EQ(goneLog.Detail(), goneLine);
  }
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
  EXPECT_TRUE(OnlyCurrentUser(CompanionLink.pipe));

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
  const std::wstring folder = CompanionLink.folderW;
  StopCompanion();
  EXPECT_FALSE(Exists(path));
  EXPECT_FALSE(Exists(folder));
  EXPECT_EQ(CompanionLink.pipe, nullptr);
  if (HANDLE ended = OpenProcess(SYNCHRONIZE, FALSE, companion)) {
    EXPECT_EQ(WaitForSingleObject(ended, 0), WAIT_OBJECT_0);
    CloseHandle(ended);
  }
  ListModulesViaCompanion(first.id());  // a later listing starts a new link
  EXPECT_EQ(CompanionLink.startCount, startsBefore + 2);
}

TEST(CompanionLinkTest, LineBreaksInVersionStringsStayInsideTheirLineAndProcess) {
  CompanionResource resource;
  ModuleHost odd("line_breaks.dll");
  ModuleHost plain("lantern_plugin.dll");
  ASSERT_TRUE(odd.ready.Wait(odd.process, 20000));
  ASSERT_TRUE(plain.ready.Wait(plain.process, 20000));
  // The odd process is asked for before and after the other one: a broken
  // frame would shift the rest of its answer into the next one.
  LogCapture before;
  ListModulesViaCompanion(odd.process.id());
  const std::string oddBefore = before.Detail();
  LogCapture between;
  ListModulesViaCompanion(plain.process.id());
  const std::string plainAnswer = between.Detail();
  LogCapture after;
  ListModulesViaCompanion(odd.process.id());
  const std::string oddAfter = after.Detail();

  // Each answer names its own host's modules. A 32-bit test program cannot
  // snapshot the 64-bit hosts itself; there each answer holds its own host's
  // library and not the other's, and both answers for the odd host agree.
  const bool own = sizeof(void*) == 8;
  const std::vector<std::string> oddNames = own ? ModuleNamesOf(odd.process.id()) : ModuleNamesIn(oddBefore);
  auto names = [](const std::string& answer, const char* dll) {
    const std::vector<std::string> in = ModuleNamesIn(answer);
    return std::count(in.begin(), in.end(), dll);
  };
  EXPECT_EQ(names(oddBefore, "line_breaks.dll"), 1) << oddBefore;
  EXPECT_EQ(names(oddBefore, "lantern_plugin.dll") + names(oddAfter, "lantern_plugin.dll"), 0);
  EXPECT_EQ(names(plainAnswer, "lantern_plugin.dll") - names(plainAnswer, "line_breaks.dll"), 1) << plainAnswer;
  EXPECT_EQ(ModuleNamesIn(oddBefore), oddNames) << oddBefore;
  if (own) {
    EXPECT_EQ(ModuleNamesIn(plainAnswer), ModuleNamesOf(plain.process.id())) << plainAnswer;
  }
  EXPECT_EQ(ModuleNamesIn(oddAfter), oddNames) << oddAfter;
  // The breaks became blanks; the line is whole and the last of its kind.
  const std::string tail =
      "\\line_breaks.dll, 2.7.1.8, line_breaks.dll, Broken  Lines Co., Empty  Line Product, \"2.7 \" \n";
  for (const std::string* answer : {&oddBefore, &oddAfter}) {
    const std::string line = LineHolding(*answer, ", line_breaks.dll, ");
    ASSERT_GT(line.size(), tail.size()) << *answer;
    EXPECT_EQ(line.substr(line.size() - tail.size()), tail) << line;
  }

  // Report's own listing follows the same rule.
  LogCapture listed;
  ListProcessModules(odd.process.id());
  const std::string ownLine = LineHolding(listed.Support(), ", line_breaks.dll, ");
  ASSERT_GT(ownLine.size(), tail.size()) << listed.Support();
  EXPECT_EQ(ownLine.substr(ownLine.size() - tail.size()), tail) << ownLine;
  EXPECT_EQ(ModuleNamesIn(listed.Detail()), oddNames);
}

TEST(CompanionLinkTest, SilentCompanionIsEndedAfterTheRealTimeOut) {
  StandInCompanion standIn("silent", DefaultCompanionAnswerLimits());
  ASSERT_TRUE(standIn.Start());
  const unsigned starts = CompanionLink.startCount;
  LogCapture log;
  const DWORD begin = GetTickCount();
  ListModulesViaCompanion(GetCurrentProcessId());
  const DWORD took = GetTickCount() - begin;
  const unsigned long limit = DefaultCompanionAnswerLimits().stallMs;
  std::printf("[ figures  ] silent companion: the listing went on after %lu ms (time-out %lu ms)\n",
              static_cast<unsigned long>(took), limit);
  EXPECT_GE(took + 50, limit);
  EXPECT_LT(took, 3 * limit);
  EXPECT_EQ(log.Support(), "Modlist6 応答タイムアウト 10 秒 \n");
  standIn.ExpectEnded();

  // Later processes are not listed and no companion is started again, not
  // even after the section ended the link.
  for (int round = 0; round < 2; ++round) {
    LogCapture later;
    const DWORD laterBegin = GetTickCount();
    ListModulesViaCompanion(GetCurrentProcessId());
    EXPECT_LT(GetTickCount() - laterBegin, 1000u);
    EXPECT_EQ(later.Detail(), "プロセス内のモジュール一覧取得できず \n");
    StopCompanion();
  }
  EXPECT_EQ(CompanionLink.startCount, starts);
}

// A companion that starts but never opens the pipe (held by a scanner, hung
// in its start-up) costs the connect wait, not the run.
TEST(CompanionLinkTest, CompanionThatNeverConnectsIsEndedAfterTheConnectWait) {
  StandInCompanion standIn("absent", DefaultCompanionAnswerLimits());
  LogCapture log;
  const DWORD begin = GetTickCount();
  EXPECT_FALSE(standIn.Start());
  const DWORD took = GetTickCount() - begin;
  std::printf("[ figures  ] absent companion: the start gave up after %lu ms\n", static_cast<unsigned long>(took));
  EXPECT_LT(took, 15000u);
  EXPECT_EQ(log.Detail(), "ConnectNamedPipe 失敗 258 \n");
  const std::wstring folder = CompanionLink.folderW;
  StopCompanion();
  EXPECT_FALSE(Exists(folder));
}

TEST(CompanionLinkTest, BrokenOffOrEndlessAnswersAreCutAndTheCompanionEnded) {
  struct Case {
    const char* mode;
    CompanionAnswerLimits limits;
    const char* lastLine;  // Support line written when the answer was given up
  };
  const Case cases[] = {
      {"half", {500, 60000, 20000, 1 << 20}, "Modlist6 応答が途中で終わった \n"},
      {"silent", {400, 60000, 20000, 1 << 20}, "Modlist6 応答タイムアウト 1 秒 \n"},
      {"slow", {2000, 60000, 12, 1 << 20}, "Modlist6 応答が上限を超えたため打ち切り 12 行 \n"},
      {"slow", {2000, 60000, 20000, 200}, "Modlist6 応答が上限を超えたため打ち切り "},
      {"slow", {2000, 1200, 20000, 1 << 20}, "Modlist6 応答が上限を超えたため打ち切り "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.mode) + " " + c.lastLine);
    StandInCompanion standIn(c.mode, c.limits);
    ASSERT_TRUE(standIn.Start());
    LogCapture log;
    const DWORD begin = GetTickCount();
    ListModulesViaCompanion(GetCurrentProcessId());
    const DWORD took = GetTickCount() - begin;
    std::printf("[ figures  ] %s companion: given up after %lu ms\n", c.mode, static_cast<unsigned long>(took));
    EXPECT_LT(took, 3 * (c.limits.stallMs < c.limits.answerMs ? c.limits.answerMs : c.limits.stallMs));
    const std::string support = log.Support();
    const std::size_t last = support.rfind(c.lastLine);
    ASSERT_NE(last, std::string::npos) << support;
    EXPECT_EQ(support.find('\n', last), support.size() - 1) << "not the last line: " << support;
    standIn.ExpectEnded();
    if (std::string(c.mode) == "half") {
      // What arrived is kept, the cut line as it came.
      EXPECT_EQ(support, "ModuleHandle, ModuleName, path \n00007FF700000000, half.dll, C:\\half\n" +
                             std::string(c.lastLine));
    } else if (std::string(c.mode) == "slow") {
      EXPECT_NE(log.Detail().find("slow line 1\n"), std::string::npos);
      const std::size_t lines = CountOf(log.Detail(), "slow line ");
      EXPECT_LE(lines, 80u);
      if (c.limits.maxLines == 12) {
        EXPECT_EQ(lines, 12u);
      }
    }
  }
}

TEST(CompanionLinkTest, MissingResourceIsReportedAndTriedAgain) {
  SetCompanionResourceModule(GetModuleHandleW(nullptr));
  LogCapture log;
  EXPECT_FALSE(StartCompanion());
  EXPECT_EQ(log.Detail(), "リソースに Modlist6.exeが含まれない \n");
  CompanionResource resource;
  EXPECT_TRUE(StartCompanion());
}

TEST(CompanionLinkTest, FailedExtractionSaysWhatFailedWithItsCode) {
  // No such temporary folder: the companion's folder cannot be made there.
  ScratchDir dir("process_no_temp");
  TempFolderScope temp(std::wstring(dir.path().begin(), dir.path().end()) + L"gone\\");
  CompanionResource resource;
  LogCapture log;
  EXPECT_FALSE(StartCompanion());
  EXPECT_EQ(log.Detail(), "Modlist6.exe のフォルダを作れない 3 \n");
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
  {
    TempFolderScope temp(folder);
    // A Modlist6.exe that another program holds in the temporary folder is
    // not in the way: the companion goes into a new folder of its own.
    UniqueHandle held(CreateFileW((folder + L"Modlist6.exe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    CompanionResource resource;
    ChildProcess host(WindowHost(std::string("load:") + pluginAnsi));
    WaitReady(host);
    LogCapture log;
    ListModulesViaCompanion(host.id());
    const std::wstring own = CompanionLink.folderW;
    EXPECT_EQ(own.compare(0, folder.size() + 9, folder + L"Modlist6-"), 0);
    EXPECT_EQ(CompanionLink.exePathW, own + L"Modlist6.exe");
    // Named by this process and 64 random bits, nobody else's to read or
    // write, and held so that it cannot be renamed away while in use.
    wchar_t expected[32];
    std::swprintf(expected, 32, L"%lx-", static_cast<unsigned long>(GetCurrentProcessId()));
    const std::wstring random = own.substr(folder.size() + 9 + std::wcslen(expected));
    EXPECT_EQ(own.substr(folder.size() + 9, std::wcslen(expected)), expected);
    EXPECT_TRUE(random.size() == 17 && random.find_first_not_of(L"0123456789abcdef") == 16) << random;
    UniqueHandle shown(CreateFileW(own.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    EXPECT_TRUE(OnlyCurrentUser(shown.get(), SE_FILE_OBJECT));
    shown.reset();
    const std::wstring moved = folder + L"moved";
    EXPECT_FALSE(MoveFileW(own.substr(0, own.size() - 1).c_str(), moved.c_str()));
    RemoveDirectoryW(moved.c_str());
    EXPECT_NE(log.Support().find(std::string(", lantern_plugin.dll, ") + pluginAnsi + ", 3.1.4.15, "), std::string::npos)
        << log.Detail();
    StopCompanion();
    EXPECT_FALSE(Exists(own + L"Modlist6.exe"));
    EXPECT_FALSE(Exists(own));
    held.reset();
    DeleteFileW((folder + L"Modlist6.exe").c_str());
  }
  RemoveDirectoryW(folder.c_str());
}

TEST(CompanionLinkTest, ForeignClientOnThePipeIsRefused) {
  // The squatter guesses the pipe names from the tick count and connects
  // before the companion can; its fake answer must never reach the report.
  // It wins the race most times, not always: a few rounds make sure it won
  // at least once.
  ChildProcess host(WindowHost(Loads("lantern_plugin.dll")));
  WaitReady(host);
  bool refused = false;
  for (int round = 0; round < 5 && !refused; ++round) {
    ChildProcess squatter("\"" + Bin64() + "pipe_squatter.exe\" 15000");
    ASSERT_TRUE(squatter.started());
    Sleep(300);
    CompanionResource resource;
    LogCapture log;
    ListModulesViaCompanion(host.id());
    EXPECT_EQ(log.Detail().find("INJECTED"), std::string::npos);
    EXPECT_NE(log.Support().find("lantern_plugin.dll, "), std::string::npos) << log.Detail();
    refused = log.Detail().find("Modlist6以外の接続を拒否 ") != std::string::npos;
  }
  EXPECT_TRUE(refused) << "the squatter lost the race every time";
}

TEST(CompanionLinkTest, EmergencyCleanupEndsTheCompanionAndDeletesItsFile) {
  CompanionResource resource;
  ASSERT_TRUE(StartCompanion());
  const std::wstring path = CompanionLink.exePathW;
  const std::wstring folder = CompanionLink.folderW;
  HANDLE process = nullptr;
  DuplicateHandle(GetCurrentProcess(), CompanionLink.process, GetCurrentProcess(), &process, SYNCHRONIZE, FALSE, 0);
  CompanionEmergencyCleanup();
  EXPECT_FALSE(Exists(path));
  EXPECT_FALSE(Exists(folder));
  EXPECT_EQ(WaitForSingleObject(process, 0), WAIT_OBJECT_0);
  CloseHandle(process);
}

// The process list with real processes, windows, service entries and files
// of the test prefix.
#include <gtest/gtest.h>

#include <string>

#include "base/cp932_rules.h"
#include "probes/apps/security_candidates_rules.h"
#include "probes/process/process_list.h"
#include "tests/support/process_helpers.h"
#include "tests/support/test_support.h"

namespace {
const char kServices[] = "SYSTEM\\CurrentControlSet\\services\\";


// The start of a row up to its process identifier.
std::string Row(const std::string& name, const std::string& texts, DWORD pid) {
  char ids[64];
  std::snprintf(ids, sizeof ids, "%d,%d,", GetProcessSessionId(pid), static_cast<int>(pid));
  return "\"" + name + "\"," + texts + "," + ids;  // parent and the rest follow
}


// A service entry under HKLM of the prefix.
struct ServiceEntry {
  ServiceEntry(const std::string& name, const std::string& imagePath, DWORD imageType, DWORD type = 0x10,
               DWORD start = 3)
      : key(HKEY_LOCAL_MACHINE, kServices + name) {
    key.SetDword("", "Type", type);
    key.SetDword("", "Start", start);
    key.SetString("", "ImagePath", imagePath, imageType);
  }
  ScratchKey key;
};

HANDLE WINAPI RefusedSnapshot(DWORD, DWORD) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return INVALID_HANDLE_VALUE;
}
}  // namespace

TEST(ProcessList, RowsStoreAppRowCandidatesAndWindowList) {
  ScratchDir dir("process_list");
  const std::string wwahost = dir.path() + "WWAHost.exe";
  ASSERT_TRUE(CopyFileA((Bin64() + "window_host.exe").c_str(), wwahost.c_str(), FALSE));
  ChildProcess guard("\"" + Fixture64("TrendGuard.exe") + "\"");
  ChildProcess store("\"" + wwahost + "\" corewindow");
  ASSERT_TRUE(guard.started());
  ASSERT_TRUE(WaitForWindowOf(store.id(), "HostReady", 10000));
  SecurityCandidates.clear();

  LogCapture log;
  CheckProcessList();
  const std::string support = log.Support();

  EXPECT_EQ(support.rfind("\"プロセス名\",\"FileVersion\",\"正式名\",\"会社名\",\"プロダクト名\",\"ProductVersion\","
                          "\"SessionID\",\"ProcessID\",\"ParentPID\",\"Level\",\"Type\"\n",
                          0),
            0u);
  const std::string level = GetProcessLevelName(guard.id());
  EXPECT_NE(level, "unknown");
  const std::string guardRow = LineHolding(support, "\"TrendGuard.exe\",");
  EXPECT_EQ(guardRow.rfind(Row("TrendGuard.exe",
                               "\"3.1.4.15\",\"TrendGuard.exe\",\"Trend Micro Inc.\",\"Virus Buster Security\",\"3.1\"",
                               guard.id()),
                           0),
            0u)
      << guardRow;
  EXPECT_NE(guardRow.find(",\"" + level + "\",\"normal\"\n"), std::string::npos) << guardRow;
  // The security section reads what the walk collected.
  ASSERT_EQ(SecurityCandidates.count("Trend Micro Inc."), 1u);
  EXPECT_EQ(SecurityCandidates["Trend Micro Inc."], "Virus Buster Security");

  // WWAHost gets its own row and a store-app row named by its window's title
  // (表示テスト天気 in cp932, 表 ending in 0x5C), without version texts.
  const std::string title = "表示テスト天気";
  const std::string own = LineHolding(support, "\"WWAHost.exe\",");
  ASSERT_FALSE(own.empty());
  EXPECT_NE(own.find(",\"normal\"\n"), std::string::npos);
  const std::string app = LineHolding(support, "\"" + title + "\",");

  EXPECT_EQ(app.rfind(Row(title, "\"\",\"\",\"\",\"\",\"\"", store.id()), 0), 0u) << app;
  EXPECT_NE(app.find(",\"storeapp\"\n"), std::string::npos);
  EXPECT_EQ(support.find(own) + own.size(), support.find(app));

  // The window list follows, with the store app's window among its lines.
  EXPECT_NE(log.Detail().find("isUseVirtualDesktop "), std::string::npos);
  EXPECT_NE(support.find("hWnd\thParentWnd\tProcessID\tThreadID\tstyle\texstyle\thInstance\t(x,y)-(cx,cy)\tnowvd\t"
                         "vdn\tcloaked\tClass\tTitle\t\n"),
            std::string::npos);
  const std::string windowLine = LineHolding(support, "\tWindows.UI.Core.CoreWindow\t" + title + "\t\n");
  char pid[16];
  std::snprintf(pid, sizeof pid, "\t%lu\t", static_cast<unsigned long>(store.id()));
  EXPECT_NE(windowLine.find(pid), std::string::npos) << support;
  EXPECT_EQ(log.User(), "●プロセス一覧確認 \n");
  SecurityCandidates.clear();
}

TEST(ProcessList, LevelPathAndSystemFolderOfProcesses) {
  ChildProcess host("\"" + Bin64() + "window_host.exe\" many:1");
  ASSERT_TRUE(WaitForWindowOf(host.id(), "HostReady", 10000));
  const std::string level = GetProcessLevelName(host.id());
  EXPECT_TRUE(level == "Medium" || level == "High" || level == "System") << level;
  // An identifier that names no process cannot be opened.
  const DWORD gone = 0xFFFFFFF0u;
  EXPECT_EQ(GetProcessLevelName(gone), "unknown");
  std::string path = "stale";
  GetProcessImagePath(gone, path);
  EXPECT_EQ(path, "");
  GetProcessImagePath(host.id(), path);
  EXPECT_TRUE(EqualsNoCaseCp932(path.c_str(), (Bin64() + "window_host.exe").c_str())) << path;
  EXPECT_TRUE(IsSystemProcess("notepad.exe", path));
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  EXPECT_TRUE(EqualsNoCaseCp932(path.c_str(), (std::string(system) + "\\notepad.exe").c_str())) << path;
  EXPECT_FALSE(IsSystemProcess("no_such_program_rt.exe", path));
  EXPECT_EQ(path, "");
  // A snapshot the system refuses ends the section with its one line.
  LogCapture log;
  CheckProcessList(RefusedSnapshot);
  EXPECT_EQ(log.Detail(), "★プロセス一覧取得失敗 \n");
}

TEST(ProcessList, ServiceEntriesNameTheImageFile) {
  ScratchDir dir("process_services");
  const std::string quoted = dir.Write("Quoted Dir\\rtqsvc.exe", "x");
  const std::string plain = dir.Write("plain\\rtpsvc.exe", "x");
  const std::string redirected = dir.Write("syswow64\\rtwsvc.exe", "x");
  const std::string unmarked = dir.Write("prog\\rtxsvc.exe", "x");
  const std::string twin1 = dir.Write("one\\rtdsvc.exe", "x");
  const std::string twin2 = dir.Write("two\\rtdsvc.exe", "x");
  const std::string shared = dir.Write("shared\\rtssvc.exe", "x");

  ServiceEntry q("ReportTestQ", "\"" + quoted + "\" -k group", REG_EXPAND_SZ);
  ServiceEntry p("ReportTestP", plain + " /service", REG_SZ);
  ServiceEntry w("ReportTestW", dir.path() + "system32\\rtwsvc.exe", REG_SZ);
  w.key.SetDword("", "WOW64", 1);
  ServiceEntry x("ReportTestX", dir.path() + "prog (x86)\\rtxsvc.exe", REG_EXPAND_SZ);
  ServiceEntry d1("ReportTestD1", twin1, REG_SZ);
  ServiceEntry d2("ReportTestD2", twin2, REG_SZ);
  ServiceEntry s1("ReportTestS1", shared + " -k a", REG_SZ);
  ServiceEntry s2("ReportTestS2", "\"" + shared + "\" -k b", REG_EXPAND_SZ);
  ServiceEntry disabled("ReportTestOff", dir.Write("off\\rtosvc.exe", "x"), REG_SZ, 0x10, 4);
  ServiceEntry driver("ReportTestDrv", dir.Write("drv\\rtvsvc.exe", "x"), REG_SZ, 0x01, 3);

  std::string path;
  EXPECT_TRUE(IsServiceProcess("RTQSVC.EXE", path));
  EXPECT_TRUE(EqualsNoCaseCp932(path.c_str(), quoted.c_str())) << path;
  EXPECT_TRUE(IsServiceProcess("rtpsvc.exe", path));
  EXPECT_TRUE(EqualsNoCaseCp932(path.c_str(), plain.c_str())) << path;
  // A WOW64 entry naming system32 finds the file in syswow64.
  EXPECT_TRUE(IsServiceProcess("rtwsvc.exe", path));
  EXPECT_TRUE(EqualsNoCaseCp932(path.c_str(), redirected.c_str())) << path;
  // An expandable entry naming "Program Files (x86)" finds it without " (x86)".
  EXPECT_TRUE(IsServiceProcess("rtxsvc.exe", path));
  EXPECT_TRUE(EqualsNoCaseCp932(path.c_str(), unmarked.c_str())) << path;
  // Two entries naming different files: not one service.
  EXPECT_FALSE(IsServiceProcess("rtdsvc.exe", path));
  // Two entries naming the same file (a service host): one service.
  EXPECT_TRUE(IsServiceProcess("rtssvc.exe", path));
  EXPECT_FALSE(IsServiceProcess("rtosvc.exe", path));
  EXPECT_FALSE(IsServiceProcess("rtvsvc.exe", path));
  EXPECT_FALSE(IsServiceProcess("", path));
  EXPECT_FALSE(IsServiceProcess(std::string(70, 'a').c_str(), path));
}

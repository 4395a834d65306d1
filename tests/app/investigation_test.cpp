// Starting the investigation run as the dialog does.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

#include "app/investigation.h"
#include "app/report_path.h"
#include "base/owner.h"
#include "log/report_log.h"
#include "tests/support/test_support.h"
#include "tests/support/user_folders.h"

namespace {
HANDLE g_release = nullptr;
LONG g_runningAtWorkerStart = -1;

// Stands for the driver: notes the flag it finds, then waits for the test.
DWORD WINAPI HeldWorker(LPVOID) {
  g_runningAtWorkerStart = InvestigationRunning;
  WaitForSingleObject(g_release, 10000);
  return 0;
}
}  // namespace

// A save pressed before the idle-priority worker has had its first turn must
// still find the run running (and ask), so the flag is set before the thread
// runs at all.
TEST(InvestigationStart, RunningBeforeTheWorkerHasRun) {
  UniqueHandle release(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(release);
  g_release = release.get();
  g_runningAtWorkerStart = -1;
  InterlockedExchange(&InvestigationRunning, 0);

  UniqueHandle worker(StartInvestigation(&HeldWorker));
  ASSERT_TRUE(worker);
  EXPECT_EQ(InvestigationRunning, 1);
  EXPECT_EQ(GetThreadPriority(worker.get()), THREAD_PRIORITY_IDLE);

  SetEvent(release.get());
  ASSERT_EQ(WaitForSingleObject(worker.get(), 10000), WAIT_OBJECT_0);
  EXPECT_EQ(g_runningAtWorkerStart, 1);
  InterlockedExchange(&InvestigationRunning, 0);
}

// ---- The first section ------------------------------------------------------

TEST(PrintScreenSectionTest, HeaderSectionAndSeparatorAtTheirLevels) {
  HWND window = CreateWindowExA(0, "STATIC", "ps", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  LogCapture log;
  RunPrintScreenSection(window);
  DestroyWindow(window);
  const std::string support = log.Support(), detail = log.Detail();
  EXPECT_EQ(support.find("\nPrintScreenキー登録確認 \n"), 0u) << support;
  const std::string user = log.User();
  EXPECT_TRUE(user == "●PrintScreenキー登録確認 \n" || user == "★PrintScreenキー登録失敗 \n" ||
              user == "●PrintScreenキー登録済み \n" || user == "★PrintScreenキー登録失敗 全て \n")
      << user;
  EXPECT_EQ(detail.substr(detail.size() - 21), "------------------- \n");
  EXPECT_EQ(support.find("-------------------"), std::string::npos);
  EXPECT_EQ(detail.find("\nPrintScreenキー登録確認 \n"), 0u);
}

// ---- The name "save... 保存" suggests ---------------------------------------

TEST(SuggestedReportPathTest, DocumentsFolderAndTheEndDate) {
  const SYSTEMTIME saved = InvestigationEndTime;
  char documents[MAX_PATH] = {};
  ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, documents, CSIDL_PERSONAL, FALSE));
  InvestigationEndTime = SYSTEMTIME{};
  EXPECT_EQ(SuggestedReportPath(), std::string(documents) + "\\00000000.txt");
  InvestigationEndTime.wYear = 2026;
  InvestigationEndTime.wMonth = 3;
  InvestigationEndTime.wDay = 9;
  EXPECT_EQ(SuggestedReportPath(), std::string(documents) + "\\20260309.txt");
  InvestigationEndTime = saved;
}

// Report only reads: a missing documents folder is not created for the save
// dialog; the bare name is suggested instead.
TEST(MissingUserFolder, SaveAsSuggestsTheBareNameAndCreatesNothing) {
  if (!MayMoveUserFolders()) GTEST_SKIP() << kUserFoldersSkipReason;
  const SYSTEMTIME saved = InvestigationEndTime;
  InvestigationEndTime = SYSTEMTIME{};
  MovedAwayFolder documents(CSIDL_PERSONAL);
  ASSERT_TRUE(documents.moved()) << documents.path();
  EXPECT_EQ(SuggestedReportPath(), "00000000.txt");
  EXPECT_FALSE(documents.Exists()) << documents.path() << " was created";
  InvestigationEndTime = saved;
}

// Starting the investigation run as the dialog does.
#include <gtest/gtest.h>

#include "app/investigation.h"
#include "query/owner.h"

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

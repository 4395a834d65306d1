// Benchmark, not a test: run by scripts/bench-processes.sh with
// --gtest_also_run_disabled_tests. Prints figures; asserts nothing on time.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "log/report_log.h"
#include "probes/browser/browser_windows.h"
#include "probes/process/process_list.h"
#include "probes/process/process_modules.h"
#include "tests/support/process_helpers.h"
#include "tests/support/test_support.h"

namespace {
std::size_t Lines(const std::string& text) { return CountOf(text, "\n"); }

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}
}  // namespace

TEST(ProcessBenchmark, DISABLED_SectionsOnABusyDesktop) {
  // 40 extra processes: 20 browsers with another maker's module (the ones a
  // 32-bit Report lists through the companion) and 20 holding 10 windows each.
  std::vector<std::unique_ptr<ChildProcess>> helpers;
  const std::string host = "\"" + Bin64() + "window_host.exe\" ";
  for (int i = 0; i < 20; ++i)
    helpers.emplace_back(new ChildProcess(host + "load:" + Fixture64("lantern_plugin.dll") + " ieframe"));
  for (int i = 0; i < 20; ++i) helpers.emplace_back(new ChildProcess(host + "many:10"));
  for (auto& h : helpers) ASSERT_TRUE(WaitForWindowOf(h->id(), "HostReady", 20000));
  unsigned windows = 0;
  for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, nullptr, nullptr)) != nullptr;) ++windows;

  HMODULE report = LoadLibraryExA((Bin64() + "Report64.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  SetCompanionResourceModule(report);
  const unsigned startsBefore = CompanionLink.startCount;

  LARGE_INTEGER t0, t1, t2, t3, t4;
  LogCapture processLog;
  QueryPerformanceCounter(&t0);
  CheckProcessList();
  QueryPerformanceCounter(&t1);
  const std::size_t processLines = Lines(processLog.Detail());
  LogCapture browserLog;
  QueryPerformanceCounter(&t2);
  CheckAllIEWindow();
  QueryPerformanceCounter(&t3);
  const std::size_t browserLines = Lines(browserLog.Detail());
  const unsigned ownStarts = CompanionLink.startCount - startsBefore;

  // The path a 32-bit Report takes for the 20 browser processes.
  LogCapture companionLog;
  const unsigned companionBefore = CompanionLink.startCount;
  LARGE_INTEGER c0;
  QueryPerformanceCounter(&c0);
  for (int i = 0; i < 20; ++i) ListModulesViaCompanion(helpers[i]->id());
  StopCompanion();
  QueryPerformanceCounter(&t4);
  SetCompanionResourceModule(nullptr);
  FreeLibrary(report);

  std::printf("top-level windows on the desktop:       %u\n", windows);
  std::printf("process-list section:                   %.3f s, %zu report lines\n", Seconds(t0, t1), processLines);
  std::printf("browser-windows section (own listing):  %.3f s, %zu report lines, %u companion starts\n",
              Seconds(t2, t3), browserLines, ownStarts);
  std::printf("20 processes through the companion:     %.3f s, %zu report lines, %u companion starts\n",
              Seconds(c0, t4), Lines(companionLog.Detail()), CompanionLink.startCount - companionBefore);
}

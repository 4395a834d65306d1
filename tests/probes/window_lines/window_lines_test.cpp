// The window list line of top-level windows, with the lines of dialogs'
// controls and the desktop's magnification and DPI lines.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "probes/window_lines/window_lines.h"
#include "tests/support/process_helpers.h"
#include "tests/support/test_support.h"

namespace {
std::string Host(const std::string& tokens) { return "\"" + Bin64() + "window_host.exe\" " + tokens; }
}  // namespace

TEST(WindowLines, DialogsAreFollowedByTheirControl) {
  ChildProcess host(Host("dialog"));
  ASSERT_TRUE(WaitForWindowOf(host.id(), "HostReady", 10000));
  HWND product = TopWindowTitled(host.id(), "#32770", "product dialog");
  HWND other = TopWindowTitled(host.id(), "#32770", "other dialog");
  ASSERT_TRUE(product && other);

  LogCapture log;
  WriteTopWindowLine(0, product, 1, 0);
  const std::string support = log.Support();
  EXPECT_EQ(support.rfind(" " + Hex(product) + "\t", 0), 0u) << support;
  EXPECT_NE(support.find("\t1\t0\t0\t#32770\tproduct dialog\t\n"), std::string::npos) << support;
  // The product's control 1001, one level deeper.
  HWND control = GetDlgItem(product, 1001);
  ASSERT_NE(control, nullptr);
  const std::string controlLine = LineHolding(support, "   " + Hex(control) + "\t" + Hex(product) + "\t");
  EXPECT_NE(controlLine.find("\tproduct control\t\n"), std::string::npos) << support;

  LogCapture other_log;
  WriteTopWindowLine(0, other, 1, 2);
  HWND text = GetDlgItem(other, 0xFFFF);
  ASSERT_NE(text, nullptr);
  EXPECT_NE(other_log.Support().find("   " + Hex(text) + "\t" + Hex(other) + "\t"), std::string::npos)
      << other_log.Support();
  EXPECT_NE(other_log.Support().find("\t1\t2\t0\tStatic\tother text\t\n"), std::string::npos);
}

TEST(WindowLines, EveryDesktopWindowSaysWhetherReportIsDpiAware) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "Progman";
  RegisterClassA(&wc);
  HWND desktop = CreateWindowExA(0, "Progman", "Program Manager", WS_POPUP, 0, 0, 100, 80, nullptr, nullptr,
                                 wc.hInstance, nullptr);
  ASSERT_NE(desktop, nullptr);
  const std::string aware = std::string("DPIAware ") + (IsProcessDPIAware() ? "1" : "0") + "\n";
  // With and then without the per-monitor conversion (Windows 7 and 8.0).
  for (bool perMonitor : {true, false}) {
    if (!perMonitor) ForgetPerMonitorPointConversion();
    LogCapture log;
    WriteTopWindowLine(0, desktop, 1, 0);
    const std::string support = log.Support();
    EXPECT_EQ(support.size() - aware.size(), support.find(aware)) << support;
    if (!perMonitor) {
      EXPECT_EQ(std::string::npos, support.find("拡大表示3")) << support;
    }
  }
  DestroyWindow(desktop);
}

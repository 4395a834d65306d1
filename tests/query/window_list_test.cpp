// The window lists taken before windows are examined.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "query/window_list.h"
#include "tests/support/process_helpers.h"
#include "tests/support/test_support.h"

namespace {
std::string Host(const std::string& tokens) { return "\"" + Bin64() + "window_host.exe\" " + tokens; }

HWND TopWindowOf(DWORD processId, const char* className) {
  for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, className, nullptr)) != nullptr;) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == processId) return w;
  }
  return nullptr;
}

std::vector<HWND> StepOver(HWND parent) {
  std::vector<HWND> windows;
  for (HWND w = nullptr; (w = FindWindowExA(parent, w, nullptr, nullptr)) != nullptr;) windows.push_back(w);
  return windows;
}

// Other test programs may open windows meanwhile: compare the host's only.
std::vector<HWND> OwnedBy(DWORD processId, std::vector<HWND> windows) {
  windows.erase(std::remove_if(windows.begin(), windows.end(),
                               [&](HWND w) {
                                 DWORD owner = 0;
                                 GetWindowThreadProcessId(w, &owner);
                                 return owner != processId;
                               }),
                windows.end());
  return windows;
}
}  // namespace

// Without churn the lists hold what stepping with FindWindowExA gives, in the
// same order; children are direct children only.
TEST(WindowList, SameWindowsAndOrderAsStepping) {
  ChildProcess host(Host("ieframe deep:3"));
  ASSERT_TRUE(WaitForWindowOf(host.id(), "HostReady", 10000));
  const std::vector<HWND> listed = OwnedBy(host.id(), ListTopWindows());
  EXPECT_GE(listed.size(), 3u);  // IEFrame, DeepRoot, HostReady
  EXPECT_EQ(listed, OwnedBy(host.id(), StepOver(nullptr)));

  HWND frame = TopWindowOf(host.id(), "IEFrame");
  ASSERT_NE(frame, nullptr);
  const std::vector<HWND> tabs = ListChildWindows(frame);
  ASSERT_EQ(tabs.size(), 2u);  // two "Frame Tab"s; the "TabWindowClass" inside the first is not listed
  EXPECT_EQ(tabs, StepOver(frame));
  EXPECT_TRUE(WindowHasClass(tabs[0], "Frame Tab"));
  EXPECT_TRUE(WindowHasClass(tabs[0], "frame tab"));
  EXPECT_FALSE(WindowHasClass(tabs[0], "TabWindowClass"));
  EXPECT_TRUE(ListChildWindows(nullptr).empty());

  HWND deep = TopWindowOf(host.id(), "DeepRoot");
  ASSERT_NE(deep, nullptr);
  EXPECT_EQ(ListChildWindows(deep).size(), 1u);
}

// The bound cuts the list and says so once.
TEST(WindowList, BoundCutsWithOneLine) {
  ChildProcess host(Host("many:5"));
  ASSERT_TRUE(WaitForWindowOf(host.id(), "HostReady", 10000));
  LogCapture log;
  EXPECT_EQ(ListTopWindows(3).size(), 3u);  // the desktop holds more than three
  EXPECT_EQ(log.Detail(), "※ウィンドウが 3 件を超えるため以降を省略 \n");
  LogCapture quiet;
  ListTopWindows();
  EXPECT_EQ(quiet.Detail(), "");
}

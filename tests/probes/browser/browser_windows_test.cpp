// The browser windows section with real windows made by a helper process.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "probes/browser/browser_windows.h"
#include "probes/process/process_modules.h"
#include "tests/support/process_helpers.h"
#include "tests/support/test_support.h"

namespace {
std::string Dec(unsigned long n) { return std::to_string(n); }
std::string HexId(unsigned long n) { return Hex(reinterpret_cast<void*>(static_cast<std::uintptr_t>(n))); }

std::string Host(const std::string& tokens) { return "\"" + Bin64() + "window_host.exe\" " + tokens; }
}  // namespace

TEST(BrowserWindows, BlocksOfEveryBrowserWindowAndTheProcessWalk) {
  ScratchDir dir("browser_windows");
  const std::string excel = dir.path() + "EXCEL.EXE";
  const std::string acrobat = dir.path() + "AcroRd32.exe";
  ASSERT_TRUE(CopyFileA((Bin64() + "window_host.exe").c_str(), excel.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA((Bin64() + "window_host.exe").c_str(), acrobat.c_str(), FALSE));
  ChildProcess host(Host("load:" + Fixture64("lantern_plugin.dll") + " load:" + Fixture64("ms_upper.dll") +
                         " ieframe chrome1 chrome2 chrome2ie"));
  ChildProcess office("\"" + excel + "\" many:1");
  ChildProcess reader("\"" + acrobat + "\" many:1");
  ASSERT_TRUE(WaitForWindowOf(host.id(), "HostReady", 10000));
  ASSERT_TRUE(WaitForWindowOf(office.id(), "HostReady", 10000));
  ASSERT_TRUE(WaitForWindowOf(reader.id(), "HostReady", 10000));
  const std::string pid = Dec(host.id());

  HWND frame = TopWindowTitled(host.id(), "IEFrame");
  HWND chrome = TopWindowTitled(host.id(), "Chrome_WidgetWin_1");
  HWND alone = TopWindowTitled(host.id(), "Chrome_WidgetWin_2", "alone");
  HWND hiddenHost = TopWindowTitled(host.id(), "Chrome_WidgetWin_2", "hidden host");
  ASSERT_TRUE(frame && chrome && alone && hiddenHost);
  HWND visibleTab = FindWindowExA(FindWindowExA(chrome, nullptr, "Chrome_WidgetWin_2", nullptr), nullptr, "IEFrame",
                                  nullptr);
  HWND hiddenTab = FindWindowExA(hiddenHost, nullptr, "IEFrame", nullptr);
  HWND pane0 = FindWindowExA(frame, nullptr, "PluginPane0", nullptr);
  HWND pane1 = FindWindowExA(frame, nullptr, "PluginPane1", nullptr);
  ASSERT_TRUE(visibleTab && hiddenTab && pane0 && pane1);

  LogCapture log;
  CheckAllIEWindow();
  const std::string detail = log.Detail();
  const std::string support = log.Support();

  // The IE frame: found line, module block, one tab block (the second tab has
  // no content window), then its tree.
  const std::size_t found = detail.find("IEのFrameウィンドウ発見 " + Hex(frame) + " \nモジュール一覧 " + pid + " \n");
  ASSERT_NE(found, std::string::npos) << detail.substr(0, 2000);
  EXPECT_EQ(CountOf(detail, "Tabモジュール一覧 " + pid + " \n"), 2u);  // IE frame and the hidden tab
  EXPECT_NE(support.find("hWnd\thParentWnd\tProcessID\tThreadID\tstyle\texstyle\thInstance\t(x,y)-(cx,cy)\tClass\t"
                         "Title\t\n"),
            std::string::npos);
  // A window of another maker's module: Support, process id in hexadecimal.
  // A 32-bit Report lists this 64-bit host through the companion, which
  // records no modules, so there the window stands in Analysis like any other.
  if (sizeof(void*) == 8) {
    const std::string pane0Line = LineHolding(support, " " + Hex(pane0) + "\t");
    EXPECT_EQ(pane0Line.rfind("   " + Hex(pane0) + "\t" + Hex(frame) + "\t" + HexId(host.id()) + "\t", 0), 0u)
        << pane0Line;
    EXPECT_NE(pane0Line.find("\tPluginPane0\tpane0\t\n"), std::string::npos);
  } else {
    EXPECT_EQ(support.find(" " + Hex(pane0) + "\t"), std::string::npos);
    const std::string pane0Line = LineHolding(detail, " " + Hex(pane0) + "\t");
    EXPECT_EQ(pane0Line.rfind("   " + Hex(pane0) + "\t" + Hex(frame) + "\t" + pid + "\t", 0), 0u) << pane0Line;
  }
  // One of a Microsoft module: Analysis only, decimal process id.
  EXPECT_EQ(support.find(" " + Hex(pane1) + "\t"), std::string::npos);
  const std::string pane1Line = LineHolding(detail, " " + Hex(pane1) + "\t");
  EXPECT_EQ(pane1Line.rfind("   " + Hex(pane1) + "\t" + Hex(frame) + "\t" + pid + "\t", 0), 0u) << pane1Line;

  // Chrome: its block and the IE-mode tab inside it.
  EXPECT_NE(detail.find("Edge/Chromeのウィンドウ発見 " + Hex(chrome) + " \nモジュール一覧 " + pid + " \n"),
            std::string::npos);
  EXPECT_NE(detail.find("Edge IEMode の表示タブ ウィンドウ発見 " + Hex(visibleTab) + " \nモジュール一覧 " + pid),
            std::string::npos);
  // Only the host with an IE frame inside counts as a hidden tab.
  EXPECT_NE(detail.find("Edge IEMode の非表示タブ ウィンドウ発見 " + Hex(hiddenTab) + " \n"), std::string::npos);
  EXPECT_EQ(detail.find(Hex(alone) + "\t"), std::string::npos);

  // The process walk lists the Office and Acrobat programs by name.
  EXPECT_NE(detail.find("xls用モジュール一覧 " + Dec(office.id()) + " \n"), std::string::npos);
  EXPECT_NE(detail.find("PDF用モジュール一覧 " + Dec(reader.id()) + " \n"), std::string::npos);
  EXPECT_EQ(detail.find("doc用モジュール一覧 " + Dec(office.id())), std::string::npos);

  EXPECT_TRUE(CompanionLink.exePathW.empty());
  EXPECT_EQ(log.User(), "●ブラウザモジュール/ウィンドウ構成確認 \n");
}

// A title holding CR LF and a verdict mark stays inside its tree line, and
// the section's module listings stop at their bound with one line while
// every window and tab keeps its block.
TEST(BrowserWindows, ForgedTitleAndTheBoundOfAllModuleLines) {
  ChildProcess host(Host("title:Clip^\x81\x9C\x8B\x55 ieframe chrome1"));
  ASSERT_TRUE(WaitForWindowOf(host.id(), "HostReady", 10000));
  SetSectionModuleLineLimit(1);
  LogCapture log;
  CheckAllIEWindow();
  SetSectionModuleLineLimit(50000);
  const std::string detail = log.Detail(), pid = Dec(host.id());
  EXPECT_NE(detail.find("\tClip  \x81\x9C\x8B\x55\t\n"), std::string::npos);
  EXPECT_EQ(detail.find("\n\x81\x9C\x8B"), std::string::npos);
  EXPECT_EQ(CountOf(detail, "※モジュールの行が多すぎるため以降のモジュール一覧を省略しました "), 1u) << detail;
  for (const char* block : {"IEのFrameウィンドウ発見 ", "Tabモジュール一覧 ", "Edge IEMode の表示タブ ウィンドウ発見 "})
    EXPECT_NE(detail.find(block), std::string::npos) << block;
  // After the bound, blocks hold no module lines: each header is followed by
  // the blank line that ends its block.
  EXPECT_NE(detail.find("Tabモジュール一覧 " + pid + " \n\n"), std::string::npos);
}

TEST(BrowserWindows, HiddenHostWithoutFrameIsNoBrowserWindow) {
  ChildProcess host(Host("chrome2"));
  ASSERT_TRUE(WaitForWindowOf(host.id(), "HostReady", 10000));
  LogCapture log;
  CheckAllIEWindow();
  EXPECT_EQ(log.Detail().find("Edge IEMode"), std::string::npos);
  EXPECT_EQ(log.User(), "★ブラウザのウィンドウが見つからない \n");
}

TEST(BrowserWindows, DeepTreeKeepsItsIndentBounded) {
  ChildProcess host(Host("deep:140"));
  ASSERT_TRUE(WaitForWindowOf(host.id(), "HostReady", 10000));
  HWND root = TopWindowTitled(host.id(), "DeepRoot");
  int depth = 0;
  for (HWND w = FindWindowExA(root, nullptr, nullptr, nullptr); w != nullptr;
       w = FindWindowExA(w, nullptr, nullptr, nullptr))
    ++depth;
  LogCapture log;
  DumpWindowTree(0, root);
  const std::string detail = log.Detail();
  std::size_t widest = 0;
  int lines = 0;
  for (std::size_t begin = 0; begin < detail.size();) {
    std::size_t end = detail.find('\n', begin);
    const std::string line = detail.substr(begin, end - begin);
    if (line.find("\tDeep") != std::string::npos) {
      ++lines;
      widest = std::max(widest, line.find_first_not_of(' '));
    }
    begin = end + 1;
  }
  EXPECT_LE(widest, 255u);
  ASSERT_EQ(depth, 140);
  // Depths 0 to 100 are written; below that one remark stands for the rest.
  EXPECT_EQ(lines, 101);
  EXPECT_EQ(CountOf(detail, "※ウィンドウの階層が深すぎるため"), 1u);
  EXPECT_EQ(CountOf(detail, "※ウィンドウが多すぎるため以下を省略"), 0u);
  // A tree larger than its budget ends with one line at the budget.
  SetWindowTreeBudget(30);
  LogCapture cut;
  DumpWindowTree(0, root);
  SetWindowTreeBudget(0);
  EXPECT_EQ(CountOf(cut.Detail(), "\tDeep"), 30u);
  EXPECT_EQ(CountOf(cut.Detail(), "※ウィンドウが多すぎるため以下を省略 \n"), 1u);
}

// A browser replaces windows all the time. A window that vanishes while the
// one before it is examined must not hide the windows after it: the stable
// window keeps its block, its tree and its IE-mode tab in every run.
TEST(BrowserWindows, ChurningWindowsDoNotHideAStableOne) {
  ChildProcess host(Host("chrome1"));
  ASSERT_TRUE(WaitForWindowOf(host.id(), "HostReady", 10000));
  ChildProcess churner(Host("churn"));
  ASSERT_TRUE(WaitForWindowOf(churner.id(), "HostReady", 10000));
  HWND chrome = TopWindowTitled(host.id(), "Chrome_WidgetWin_1");
  ASSERT_NE(chrome, nullptr);
  HWND tab = FindWindowExA(FindWindowExA(chrome, nullptr, "Chrome_WidgetWin_2", nullptr), nullptr, "IEFrame", nullptr);
  ASSERT_NE(tab, nullptr);
  const std::string pid = Dec(host.id());

  int churnSeen = 0;
  for (int run = 0; run < 20; ++run) {
    LogCapture log;
    CheckAllIEWindow();
    const std::string detail = log.Detail();
    EXPECT_NE(detail.find("Edge/Chromeのウィンドウ発見 " + Hex(chrome) + " \nモジュール一覧 " + pid + " \n"),
              std::string::npos)
        << "run " << run << "\n" << detail.substr(0, 3000);
    // Its tree, from its own line at depth 0.
    const std::string tree = LineHolding(detail, " " + Hex(chrome) + "\t0\t");
    EXPECT_EQ(tree.rfind(" " + Hex(chrome) + "\t0\t", 0), 0u) << "run " << run << ": " << tree;
    EXPECT_NE(tree.find("\tChrome_WidgetWin_1\tChrome\t\n"), std::string::npos) << "run " << run << ": " << tree;
    EXPECT_NE(detail.find("Edge IEMode の表示タブ ウィンドウ発見 " + Hex(tab) + " \nモジュール一覧 " + pid + " \n"),
              std::string::npos)
        << "run " << run;
    EXPECT_EQ(log.User(), "●ブラウザモジュール/ウィンドウ構成確認 \n");
    // The run overlapped the churn: a window of the churner stood before the stable one.
    const std::size_t stable = detail.find("Edge/Chromeのウィンドウ発見 " + Hex(chrome));
    const std::size_t first = detail.find("Edge/Chromeのウィンドウ発見 ");
    if (first < stable) ++churnSeen;
  }
  EXPECT_GT(churnSeen, 0) << "the churning windows never stood before the stable one";
}

// A window destroyed after it was listed gets one line, not a line of zeros,
// and its tree stops there.
TEST(BrowserWindows, WindowGoneBeforeItsLineGetsOneLine) {
  HWND window = CreateWindowExA(0, "STATIC", "gone", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  if (window == nullptr) GTEST_SKIP() << "no display for top-level windows";
  DestroyWindow(window);
  LogCapture log;
  EXPECT_FALSE(WriteWindowTreeLine(0, window));
  DumpWindowTree(0, window);
  EXPECT_EQ(log.Detail(), "※ウィンドウ " + Hex(window) + " は閉じられたため省略 \n" +
                              "※ウィンドウ " + Hex(window) + " は閉じられたため省略 \n");
  EXPECT_EQ(log.Support(), "");
}

#include "probes/browser/browser_windows.h"

#include <tlhelp32.h>

#include <cstring>
#include <new>
#include <string>

#include "base/cp932_rules.h"
#include "base/owner.h"
#include "log/report_log.h"
#include "probes/process/process_modules.h"
#include "probes/window_lines/window_line_rules.h"
#include "probes/window_lines/window_lines.h"
#include "query/platform.h"
#include "query/window_list.h"

namespace {
const char kTreeColumns[] =
    "hWnd\thParentWnd\tProcessID\tThreadID\tstyle\texstyle\thInstance\t(x,y)-(cx,cy)\tClass\tTitle\t\n";
const char* const kIeModeClassesOf1[] = {"Chrome_WidgetWin_0", "Chrome_WidgetWin_2", "Chrome_WidgetWin_3"};
const char* const kIeModeClassesOf0[] = {"Chrome_WidgetWin_0", "Chrome_WidgetWin_1", "Chrome_WidgetWin_2",
                                         "Chrome_WidgetWin_3"};
// Limit of the walk over the processes of the machine.
const unsigned kMaxProcesses = 65536;
// Any process can make windows of the classes looked for, with thousands of
// tabs, and each lists its process's modules: the section's listings end
// after this many lines in total, far more than a busy desktop gives.
const std::size_t kMaxSectionModuleLines = 50000;

// Lines the section's module listings may write, and may still write.
std::size_t g_moduleLineLimit = kMaxSectionModuleLines;
std::size_t g_moduleLinesLeft = kMaxSectionModuleLines;
unsigned g_windowTreeBudget = kMaxWindowTreeWindows;

// A window destroyed meanwhile has no process: listing "process 0" would list
// Report's own modules, so the block says the window is gone instead.
bool WindowGone(DWORD processId) {
  if (processId != 0) return false;
  WriteDetailLine("※ウィンドウが閉じられたためモジュール一覧を省略 \n");
  return true;
}

// ListProcessModules within the section's bound; past it one line says so
// (once) and the tree lines after it consult no older listing.
void ListModulesInSection(DWORD processId) {
  if (g_moduleLinesLeft == 0) {
    NonMicrosoftModules.Clear();
    return;
  }
  const std::size_t before = DetailLineCount();
  ListProcessModules(processId);
  const std::size_t written = DetailLineCount() - before;
  g_moduleLinesLeft -= written < g_moduleLinesLeft ? written : g_moduleLinesLeft;
  if (g_moduleLinesLeft == 0)
    WriteDetailLine("※モジュールの行が多すぎるため以降のモジュール一覧を省略しました %lu \n",
                    static_cast<unsigned long>(processId));
}

void ModuleBlock(DWORD processId) {
  if (WindowGone(processId)) return;
  WriteDetailLine("モジュール一覧 %lu \n", static_cast<unsigned long>(processId));
  ListModulesInSection(processId);
  WriteDetailLine("\n");
}

void TabBlocks(HWND frame) {
  for (HWND tab : ListChildWindows(frame)) {
    if (!WindowHasClass(tab, "Frame Tab")) continue;
    HWND inner = FindWindowExA(tab, nullptr, "TabWindowClass", nullptr);
    if (inner == nullptr) continue;
    const DWORD processId = WindowProcessId(inner);
    if (WindowGone(processId)) continue;
    WriteDetailLine("Tabモジュール一覧 %lu \n", static_cast<unsigned long>(processId));
    ListModulesInSection(processId);
    WriteDetailLine("\n");
  }
}

void TreeBlock(HWND window) {
  WriteSupportLine("%s", kTreeColumns);
  DumpWindowTree(0, window);
  WriteDetailLine("\n");
}

template <std::size_t N>
void IeModeScan(HWND window, const char* const (&classes)[N]) {
  for (HWND child : ListChildWindows(window)) {
    char className[256] = {};
    if (GetClassNameA(child, className, sizeof className) <= 0) continue;
    bool listed = false;
    for (const char* c : classes) listed = listed || std::strcmp(className, c) == 0;
    if (!listed) continue;
    HWND frame = FindWindowExA(child, nullptr, "IEFrame", nullptr);
    if (frame == nullptr) continue;
    WriteDetailLine("Edge IEMode の表示タブ ウィンドウ発見 %llx \n", HandleValue(frame));
    ModuleBlock(WindowProcessId(frame));
    TabBlocks(frame);
  }
}

// Calls handle for every top-level window of the class, in Z order; a window
// destroyed before its turn is passed over.
template <class Handler>
void ForEachTopWindow(const char* className, Handler handle) {
  for (HWND window : ListTopWindows())
    if (WindowHasClass(window, className)) handle(window);
}

void ProcessWalk() {
  SnapshotHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  unsigned n = 0;
  for (BOOL more = Process32First(snapshot.get(), &entry); more && n < kMaxProcesses;
       more = Process32Next(snapshot.get(), &entry), ++n) {
    entry.szExeFile[sizeof entry.szExeFile - 1] = '\0';
    const unsigned tests = ProcessWalkTests(entry.szExeFile);
    const unsigned long id = entry.th32ProcessID;
    if (tests & kWalkChromeHost) {
      WriteDetailLine("Chrome用モジュール一覧 %lu \n", id);
      ListModulesInSection(entry.th32ProcessID);
    }
    if (tests & kWalkExcel) {
      WriteDetailLine("xls用モジュール一覧 %lu \n", id);
      ListModulesInSection(entry.th32ProcessID);
    }
    if (tests & kWalkWord) {
      WriteDetailLine("doc用モジュール一覧 %lu \n", id);
      ListModulesInSection(entry.th32ProcessID);
    }
    if (tests & kWalkPowerPoint) {
      WriteDetailLine("PPT用モジュール一覧 %lu \n", id);
      ListModulesInSection(entry.th32ProcessID);
    }
    if (tests & kWalkAcrobat) {
      WriteDetailLine("PDF用モジュール一覧 %lu \n", id);
      ListModulesInSection(entry.th32ProcessID);
    }
    if (tests & kWalkExplorer) {
      WriteDetailLine("Explorerモジュール一覧 %lu \n", id);
      ListModulesInSection(entry.th32ProcessID);
    }
    entry = PROCESSENTRY32{};
    entry.dwSize = sizeof entry;
  }
}

// Depth first, each window before its children; the walk keeps to fixed
// limits so a deep or huge tree cannot run away.
void DumpTree(int depth, HWND window, unsigned& budget, bool& cut) {
  if (budget == 0) {
    if (!cut) WriteDetailLine("※ウィンドウが多すぎるため以下を省略 \n");
    cut = true;
    return;
  }
  --budget;
  if (!WriteWindowTreeLine(depth, window)) return;  // gone: so are its children
  if (depth + 1 > kMaxWindowTreeDepth) {
    if (FindWindowExA(window, nullptr, nullptr, nullptr) != nullptr)
      WriteDetailLine("※ウィンドウの階層が深すぎるため %llx の子を省略 \n", HandleValue(window));
    return;
  }
  // The tree's own budget bounds it, not the usual bound of a child list.
  for (HWND child : ListChildWindows(window, kMaxWindowTreeWindows)) {
    if (cut) break;
    if (IsWindow(child)) DumpTree(depth + 1, child, budget, cut);
  }
}

}  // namespace

bool WriteWindowTreeLine(int depth, HWND window) {
  WindowFields f;
  if (!ReadLiveWindowFields(window, f)) return false;
  const std::string indent = WindowIndent(depth);
  const RECT& r = f.rect;
  if (NonMicrosoftModules.Contains(f.instance)) {
    WriteSupportLine("%s %llx\t%llx\t%lx\t%lx\t%lx\t%lx\t%llx\t(%d,%d)-(%d,%d)\t%s\t%s\t\n", indent.c_str(),
                     HandleValue(window), HandleValue(f.parent), static_cast<unsigned long>(f.processId),
                     static_cast<unsigned long>(f.threadId), static_cast<unsigned long>(f.style),
                     static_cast<unsigned long>(f.exStyle), static_cast<unsigned long long>(f.instance),
                     static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.right - r.left),
                     static_cast<int>(r.bottom - r.top), f.className, f.title);
  } else {
    WriteDetailLine("%s %llx\t%llx\t%lu\t%lx\t%lx\t%lx\t%llx\t(%d,%d)-(%d,%d)\t%s\t%s\t\n", indent.c_str(),
                    HandleValue(window), HandleValue(f.parent), static_cast<unsigned long>(f.processId),
                    static_cast<unsigned long>(f.threadId), static_cast<unsigned long>(f.style),
                    static_cast<unsigned long>(f.exStyle), static_cast<unsigned long long>(f.instance),
                    static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.right - r.left),
                    static_cast<int>(r.bottom - r.top), f.className, f.title);
  }
  return true;
}

void DumpWindowTree(int depth, HWND window) {
  unsigned budget = g_windowTreeBudget;
  bool cut = false;
  DumpTree(depth, window, budget, cut);
}

namespace {
void WalkBrowserWindows() {
  WriteDetailLine("CheckAllIEWindow \n");
  g_moduleLinesLeft = g_moduleLineLimit;
  bool found = false;

  ForEachTopWindow("ORBWELL MiniIE", [&](HWND w) {
    WriteDetailLine("Miniブラウザのウィンドウ発見 %llx \n", HandleValue(w));
    ModuleBlock(WindowProcessId(w));
    TreeBlock(w);
    found = true;
  });
  ForEachTopWindow("IEFrame", [&](HWND w) {
    WriteDetailLine("IEのFrameウィンドウ発見 %llx \n", HandleValue(w));
    ModuleBlock(WindowProcessId(w));
    TabBlocks(w);
    TreeBlock(w);
    found = true;
  });
  ForEachTopWindow("AVL_AVFloating", [&](HWND w) {
    WriteDetailLine("PDFフローティング %llx \n", HandleValue(w));
    DumpWindowTree(0, w);
    WriteDetailLine("\n");
  });
  ForEachTopWindow("BaseBar", [&](HWND w) {
    WriteDetailLine("ツールバーの>>toolbarウィンドウ %llx %llx \n", HandleValue(w), HandleValue(GetParent(w)));
    DumpWindowTree(0, w);
    WriteDetailLine("\n");
  });
  ForEachTopWindow("#32768", [&](HWND w) {
    WriteDetailLine("ツールバーの>>メニューウィンドウ %llx %llx \n", HandleValue(w), HandleValue(GetParent(w)));
    DumpWindowTree(0, w);
    WriteDetailLine("\n");
  });
  ForEachTopWindow("Chrome_WidgetWin_1", [&](HWND w) {
    WriteDetailLine("Edge/Chromeのウィンドウ発見 %llx \n", HandleValue(w));
    ModuleBlock(WindowProcessId(w));
    TreeBlock(w);
    IeModeScan(w, kIeModeClassesOf1);
    found = true;
  });
  ForEachTopWindow("Chrome_WidgetWin_0", [&](HWND w) {
    WriteDetailLine("Edge/Chromeのウィンドウ発見 Chrome_WidgetWin_0 %llx \n", HandleValue(w));
    ModuleBlock(WindowProcessId(w));
    TreeBlock(w);
    IeModeScan(w, kIeModeClassesOf0);
    found = true;
  });
  ForEachTopWindow("Chrome_WidgetWin_2", [&](HWND w) {
    HWND frame = FindWindowExA(w, nullptr, "IEFrame", nullptr);
    if (frame == nullptr) return;
    WriteDetailLine("Edge IEMode の非表示タブ ウィンドウ発見 %llx \n", HandleValue(frame));
    ModuleBlock(WindowProcessId(frame));
    TabBlocks(frame);
    TreeBlock(w);
  });
  ForEachTopWindow("QmvFrameWnd", [&](HWND w) {
    WriteDetailLine("独立ウィンドウ表示のウィンドウ発見 %llx \n", HandleValue(w));
    ModuleBlock(WindowProcessId(w));
    TreeBlock(w);
    found = true;
  });

  ProcessWalk();
  StopCompanion();
  if (found)
    WriteUserLine("●ブラウザモジュール/ウィンドウ構成確認 \n");
  else
    WriteUserLine("★ブラウザのウィンドウが見つからない \n");
}
}  // namespace

void CheckAllIEWindow() {
  try {
    WalkBrowserWindows();
  } catch (const std::bad_alloc&) {
    // The section ends early; the companion and its folder must not stay.
    StopCompanion();
    throw;
  }
}

void SetSectionModuleLineLimit(std::size_t lines) { g_moduleLineLimit = lines; }
void SetWindowTreeBudget(unsigned windows) { g_windowTreeBudget = windows != 0 ? windows : kMaxWindowTreeWindows; }

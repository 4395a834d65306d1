#include "probes/browser/browser_windows.h"

#include <objbase.h>
#include <tlhelp32.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "base/cp932_rules.h"
#include "base/owner.h"
#include "log/report_log.h"
#include "probes/browser/window_line_rules.h"
#include "probes/process/process_modules.h"
#include "query/module_line_rules.h"
#include "query/platform.h"
#include "query/system_library.h"
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

const GUID kClsidVirtualDesktopManager = {
    0xAA509086, 0x5CA9, 0x4C25, {0x8F, 0x95, 0x58, 0x9D, 0x3C, 0x07, 0xB4, 0x8A}};
const GUID kIidVirtualDesktopManager = {
    0xA5CD92FF, 0x29BE, 0x454C, {0x8D, 0x04, 0xD8, 0x28, 0x79, 0xFB, 0x3F, 0x1B}};

// The shell's interface, declared here since the Windows 7 headers lack it.
struct IVirtualDesktopManagerApi : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE IsWindowOnCurrentVirtualDesktop(HWND window, BOOL* onCurrent) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetWindowDesktopId(HWND window, GUID* desktopId) = 0;
  virtual HRESULT STDMETHODCALLTYPE MoveWindowToDesktop(HWND window, REFGUID desktopId) = 0;
};

using DwmGetWindowAttributeFn = HRESULT(WINAPI*)(HWND, DWORD, PVOID, DWORD);
using PointConversionFn = BOOL(WINAPI*)(HWND, LPPOINT);
using IsProcessDpiAwareFn = BOOL(WINAPI*)();
using RegOpenKeyExAFn = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
using RegCloseKeyFn = LONG(WINAPI*)(HKEY);
using RegQueryValueExAFn = LONG(WINAPI*)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
using CoInitializeFn = HRESULT(WINAPI*)(LPVOID);
using CoCreateInstanceFn = HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);

// Process-wide, settled on first use and kept for the run.
enum class Answer { NotAsked, Yes, No };
Answer g_windows10 = Answer::NotAsked;
IVirtualDesktopManagerApi* g_desktopManager = nullptr;
HMODULE g_dwmapi = nullptr;
DwmGetWindowAttributeFn g_dwmGetWindowAttribute = nullptr;
bool g_pointFunctionsResolved = false;
PointConversionFn g_logicalToPhysical = nullptr;
PointConversionFn g_logicalToPhysicalPerMonitor = nullptr;
// Lines the section's module listings may write, and may still write.
std::size_t g_moduleLineLimit = kMaxSectionModuleLines;
std::size_t g_moduleLinesLeft = kMaxSectionModuleLines;
unsigned g_windowTreeBudget = kMaxWindowTreeWindows;

struct WindowFields {
  HWND parent = nullptr;
  char className[256] = {};
  char title[1024] = {};
  DWORD style = 0;
  DWORD exStyle = 0;
  DWORD threadId = 0;
  DWORD processId = 0;
  RECT rect = {};
  std::uintptr_t instance = 0;
};

// A window destroyed meanwhile leaves empty or zero fields.
void ReadWindowFields(HWND window, WindowFields& f) {
  f.parent = GetParent(window);
  if (GetClassNameA(window, f.className, sizeof f.className) <= 0) f.className[0] = '\0';
  if (GetWindowTextA(window, f.title, sizeof f.title) <= 0) f.title[0] = '\0';
  f.className[sizeof f.className - 1] = '\0';
  f.title[sizeof f.title - 1] = '\0';
  // Any program names its windows: a line break in a title would start a
  // report line of its own.
  BlankControls(f.className);
  BlankControls(f.title);
  f.style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
  f.exStyle = static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE));
  f.threadId = GetWindowThreadProcessId(window, &f.processId);
  if (!GetWindowRect(window, &f.rect)) f.rect = RECT{};
  f.instance = static_cast<std::uintptr_t>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
}

unsigned long long HandleValue(const void* handle) {
  return static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(handle));
}

// Reads the fields, or writes one line and gives false when the window was
// destroyed before or while they were read (its fields would be zeros).
bool ReadLiveWindowFields(HWND window, WindowFields& f) {
  ReadWindowFields(window, f);
  if (f.threadId != 0 && IsWindow(window)) return true;
  WriteDetailLine("※ウィンドウ %llx は閉じられたため省略 \n", HandleValue(window));
  return false;
}

DWORD WindowProcessId(HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  return processId;
}

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

BOOL CALLBACK StopAtFirstWindow(HWND, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return FALSE;
}

// The first top-level window of this process, unless the calling thread owns
// a window itself (then none).
HWND OwnProgramWindow() {
  bool threadHasWindow = false;
  EnumThreadWindows(GetCurrentThreadId(), StopAtFirstWindow, reinterpret_cast<LPARAM>(&threadHasWindow));
  if (threadHasWindow) return nullptr;
  const DWORD self = GetCurrentProcessId();
  for (HWND window : ListTopWindows())
    if (WindowProcessId(window) == self) return window;
  return nullptr;
}

struct Conversion {
  POINT a;
  POINT b;
};
Conversion Convert(PointConversionFn convert, HWND window, const RECT& r) {
  Conversion c = {{r.left, r.top}, {r.right, r.bottom}};
  convert(window, &c.a);
  convert(window, &c.b);
  return c;
}

void WriteMagnification(const char* label, const RECT& r, const Conversion& c) {
  WriteSupportLine("拡大表示%s (%d,%d)-(%d,%d) ToPhysical(%d,%d)-(%d,%d) \n", label, static_cast<int>(r.left),
                   static_cast<int>(r.top), static_cast<int>(r.right), static_cast<int>(r.bottom),
                   static_cast<int>(c.a.x), static_cast<int>(c.a.y), static_cast<int>(c.b.x),
                   static_cast<int>(c.b.y));
}

bool Differs(const RECT& r, const Conversion& c) {
  return PointsDiffer(r.left, r.top, r.right, r.bottom, c.a.x, c.a.y, c.b.x, c.b.y);
}

void WriteTopWindowLineAt(int depth, HWND window, int onCurrentDesktop, int desktopNumber) {
  if (g_dwmGetWindowAttribute == nullptr) {
    if (g_dwmapi == nullptr) g_dwmapi = LoadSystemLibrary("dwmapi.dll");
    if (g_dwmapi != nullptr)
      g_dwmGetWindowAttribute = reinterpret_cast<DwmGetWindowAttributeFn>(
          reinterpret_cast<void*>(GetProcAddress(g_dwmapi, "DwmGetWindowAttribute")));
  }
  DWORD cloaked = 0;
  if (g_dwmGetWindowAttribute != nullptr &&
      FAILED(g_dwmGetWindowAttribute(window, 14 /* DWMWA_CLOAKED */, &cloaked, sizeof cloaked)))
    cloaked = 0;

  WindowFields f;
  if (!ReadLiveWindowFields(window, f)) return;
  const std::string indent = WindowIndent(depth);
  if (!g_pointFunctionsResolved) {
    g_pointFunctionsResolved = true;
    g_logicalToPhysical = GetLoadedProc<PointConversionFn>("user32.dll", "LogicalToPhysicalPoint");
    g_logicalToPhysicalPerMonitor =
        GetLoadedProc<PointConversionFn>("user32.dll", "LogicalToPhysicalPointForPerMonitorDPI");
  }
  const RECT& r = f.rect;
  WriteSupportLine("%s %llx\t%llx\t%lu\t%lx\t%lx\t%lx\t%llx\t(%d,%d)-(%d,%d)\t%d\t%d\t%d\t%s\t%s\t\n", indent.c_str(),
                   HandleValue(window), HandleValue(f.parent), static_cast<unsigned long>(f.processId),
                   static_cast<unsigned long>(f.threadId), static_cast<unsigned long>(f.style),
                   static_cast<unsigned long>(f.exStyle), static_cast<unsigned long long>(f.instance),
                   static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.right - r.left),
                   static_cast<int>(r.bottom - r.top), onCurrentDesktop, desktopNumber, static_cast<int>(cloaked),
                   f.className, f.title);

  if (g_logicalToPhysical != nullptr) {
    const Conversion c = Convert(g_logicalToPhysical, window, r);
    if (Differs(r, c)) WriteMagnification("", r, c);
  }
  if (g_logicalToPhysicalPerMonitor != nullptr) {
    const Conversion c1 = Convert(g_logicalToPhysicalPerMonitor, nullptr, r);
    if (Differs(r, c1)) WriteMagnification("1", r, c1);
    const Conversion c2 = Convert(g_logicalToPhysicalPerMonitor, window, r);
    if (Differs(r, c2)) WriteMagnification("2", r, c2);
    if (std::strcmp(f.className, "Progman") == 0) {
      WriteMagnification("3", r, Convert(g_logicalToPhysicalPerMonitor, nullptr, r));
      if (HWND own = OwnProgramWindow()) WriteMagnification("4", r, Convert(g_logicalToPhysicalPerMonitor, own, r));
    }
  }
  // Every desktop window says whether Report runs DPI-aware, also on systems
  // before 8.1 that lack the per-monitor conversion.
  if (std::strcmp(f.className, "Progman") == 0) {
    if (const auto aware = GetLoadedProc<IsProcessDpiAwareFn>("user32.dll", "IsProcessDPIAware"))
      WriteSupportLine("DPIAware %d", aware() ? 1 : 0);
  }

  if (depth >= kMaxWindowTreeDepth) return;  // dialogs inside dialogs end somewhere
  if (std::strcmp(f.className, "#32770") == 0) {
    char parentTitle[1024] = {};
    if (f.parent != nullptr && GetWindowTextA(f.parent, parentTitle, sizeof parentTitle) <= 0) parentTitle[0] = '\0';
    parentTitle[sizeof parentTitle - 1] = '\0';
    if (HWND control = GetDlgItem(window, DialogControlId(f.parent != nullptr, parentTitle)))
      WriteTopWindowLineAt(depth + 1, control, onCurrentDesktop, desktopNumber);
  }
  if (std::strcmp(f.className, "ApplicationFrameWindow") == 0) {
    if (HWND core = FindWindowExA(window, nullptr, "Windows.UI.Core.CoreWindow", nullptr))
      WriteTopWindowLineAt(depth + 1, core, onCurrentDesktop, desktopNumber);
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

void WriteTopWindowLine(int depth, HWND window, int onCurrentDesktop, int desktopNumber) {
  WriteTopWindowLineAt(depth, window, onCurrentDesktop, desktopNumber);
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

void ForgetPerMonitorPointConversion() {
  g_pointFunctionsResolved = true;
  g_logicalToPhysicalPerMonitor = nullptr;
}

bool IsWindows10OrLater() {
  if (g_windows10 == Answer::NotAsked)
    g_windows10 = GetLoadedProc<FARPROC>("kernel32.dll", "WaitForDebugEventEx") != nullptr ? Answer::Yes : Answer::No;
  return g_windows10 == Answer::Yes;
}

bool IsTabletMode() {
  if (!IsWindows10OrLater()) return false;
  static const RegOpenKeyExAFn open = GetLoadedProc<RegOpenKeyExAFn>("kernel32.dll", "RegOpenKeyExA");
  static const RegCloseKeyFn close = GetLoadedProc<RegCloseKeyFn>("kernel32.dll", "RegCloseKey");
  static const RegQueryValueExAFn query = GetLoadedProc<RegQueryValueExAFn>("kernel32.dll", "RegQueryValueExA");
  if (open == nullptr) return false;
  HKEY key = nullptr;
  const LONG status =
      open(HKEY_CURRENT_USER, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ImmersiveShell", 0, KEY_READ, &key);
  if (status != ERROR_SUCCESS) {
    WriteDetailLine("タブレットモード取得用open 失敗 %lx \n", static_cast<unsigned long>(status));
    return false;
  }
  DWORD value = 0;
  DWORD type = 0;
  DWORD size = sizeof value;
  bool tablet = false;
  if (query != nullptr && query(key, "TabletMode", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
                              ERROR_SUCCESS &&
      type == REG_DWORD && size == sizeof value)
    tablet = value != 0;
  if (close != nullptr) close(key);
  return tablet;
}

void* getVirtualDesktopManager() {
  WriteDetailLine("getVirtualDesktopManager 開始 \n");
  HMODULE ole32 = GetModuleHandleA("ole32.dll");
  if (ole32 == nullptr) return nullptr;
  const auto coInitialize =
      reinterpret_cast<CoInitializeFn>(reinterpret_cast<void*>(GetProcAddress(ole32, "CoInitialize")));
  const auto coCreateInstance =
      reinterpret_cast<CoCreateInstanceFn>(reinterpret_cast<void*>(GetProcAddress(ole32, "CoCreateInstance")));
  if (coInitialize == nullptr || coCreateInstance == nullptr) return nullptr;
  coInitialize(nullptr);
  void* manager = nullptr;
  const HRESULT hr = coCreateInstance(kClsidVirtualDesktopManager, nullptr, CLSCTX_INPROC_SERVER,
                                      kIidVirtualDesktopManager, &manager);
  if (FAILED(hr) || manager == nullptr) {
    WriteDetailLine("getVirtualDesktopManager CLSID_VirtualDesktopManager 取得失敗 %lx \n",
                    static_cast<unsigned long>(hr));
    return nullptr;
  }
  WriteDetailLine("getVirtualDesktopManager CLSID_VirtualDesktopManager %p \n", manager);
  return manager;
}

bool isUseVirtualDesktop() {
  if (!IsWindows10OrLater()) return false;
  if (g_desktopManager == nullptr) {
    g_desktopManager = static_cast<IVirtualDesktopManagerApi*>(getVirtualDesktopManager());
    if (g_desktopManager == nullptr) return false;
  }
  if (IsTabletMode()) {
    WriteDetailLine("タブレットモード \n");
    return false;
  }
  return true;
}

int IsWindowOnCurrentVirtualDesktop(HWND window) {
  if (g_desktopManager == nullptr) return 1;
  BOOL onCurrent = FALSE;
  if (FAILED(g_desktopManager->IsWindowOnCurrentVirtualDesktop(window, &onCurrent))) return 1;
  return onCurrent ? 1 : 0;
}

bool GetWindowDesktopId(HWND window, unsigned char (&id)[16]) {
  std::memset(id, 0, sizeof id);
  if (g_desktopManager == nullptr) return true;
  GUID desktop = {};
  const HRESULT hr = g_desktopManager->GetWindowDesktopId(window, &desktop);
  if (FAILED(hr)) return false;
  std::memcpy(id, &desktop, sizeof id);
  return true;
}

#include "probes/window_lines/window_lines.h"

#include <cstring>
#include <string>

#include "log/report_log.h"
#include "probes/window_lines/window_line_rules.h"
#include "query/module_line_rules.h"
#include "query/platform.h"
#include "query/system_library.h"
#include "query/window_list.h"

namespace {
using DwmGetWindowAttributeFn = HRESULT(WINAPI*)(HWND, DWORD, PVOID, DWORD);
using PointConversionFn = BOOL(WINAPI*)(HWND, LPPOINT);
using IsProcessDpiAwareFn = BOOL(WINAPI*)();

// Process-wide, settled on first use and kept for the run.
HMODULE g_dwmapi = nullptr;
DwmGetWindowAttributeFn g_dwmGetWindowAttribute = nullptr;
bool g_pointFunctionsResolved = false;
PointConversionFn g_logicalToPhysical = nullptr;
PointConversionFn g_logicalToPhysicalPerMonitor = nullptr;

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

unsigned long long HandleValue(const void* handle) {
  return static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(handle));
}

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

void WriteTopWindowLine(int depth, HWND window, int onCurrentDesktop, int desktopNumber) {
  WriteTopWindowLineAt(depth, window, onCurrentDesktop, desktopNumber);
}

void ForgetPerMonitorPointConversion() {
  g_pointFunctionsResolved = true;
  g_logicalToPhysicalPerMonitor = nullptr;
}

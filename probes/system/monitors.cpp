#include "probes/system/monitors.h"

#include <string>
#include <vector>

#include "log/report_log.h"
#include "probes/system/monitor_rules.h"
#include "probes/system/os_version.h"

namespace {
typedef HANDLE(WINAPI* SetThreadDpiAwarenessContextFn)(HANDLE);
typedef BOOL(WINAPI* SetProcessDPIAwareFn)();

// Process-wide caches: the DPI is never refreshed, so both runs report the
// values of the first; the entry points are looked up once.
int g_dpiX = 0;
int g_dpiY = 0;
HMODULE g_user32 = nullptr;
SetThreadDpiAwarenessContextFn g_setThreadContext = nullptr;
SetProcessDPIAwareFn g_setProcessAware = nullptr;
bool g_dpiFunctionCalled = false;

struct EnumTable {
  std::vector<RECT> rects;
  std::size_t capacity;
};

BOOL CALLBACK CollectMonitor(HMONITOR, HDC, LPRECT rect, LPARAM data) {
  EnumTable* table = reinterpret_cast<EnumTable*>(data);
  // The table has room for the counted monitors only; any further one is dropped.
  if (table->rects.size() < table->capacity && rect != nullptr) table->rects.push_back(*rect);
  return TRUE;
}
}  // namespace

void SetHighDpiAwareness() {
  const std::uint32_t code = GetOSVersionCode();
  if (g_user32 == nullptr) g_user32 = GetModuleHandleA("User32.dll");
  if (g_user32 != nullptr && g_user32 != INVALID_HANDLE_VALUE) {
    if (g_setThreadContext == nullptr) {
      g_setThreadContext = reinterpret_cast<SetThreadDpiAwarenessContextFn>(
          reinterpret_cast<void*>(GetProcAddress(g_user32, "SetThreadDpiAwarenessContext")));
    }
    if (g_setThreadContext != nullptr) {
      const DpiChoice choice = ChooseDpiContext(code);
      g_setThreadContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(choice.context)));
      WriteSupportLine("%s", choice.line);
      g_dpiFunctionCalled = true;
      return;
    }
    if (g_setProcessAware == nullptr) {
      g_setProcessAware = reinterpret_cast<SetProcessDPIAwareFn>(
          reinterpret_cast<void*>(GetProcAddress(g_user32, "SetProcessDPIAware")));
    }
    if (g_setProcessAware != nullptr) {
      g_setProcessAware();
      WriteSupportLine("高 DPI Type:SetProcessDPIAware() (Vista 以降)\n");
      g_dpiFunctionCalled = true;
    }
  }
  if (!g_dpiFunctionCalled) WriteSupportLine("高 DPI Type:Unknown (Unknown) No Called DPIFunction.\n");
}

void GetSystemDpi(int* x, int* y) {
  if (g_dpiX == 0) {
    HDC screen = GetDC(nullptr);
    if (screen != nullptr) {
      g_dpiX = GetDeviceCaps(screen, LOGPIXELSX);
      g_dpiY = GetDeviceCaps(screen, LOGPIXELSY);
      ReleaseDC(nullptr, screen);
    }
    WriteDetailLine("dpi %d,%d 拡大率 %d,%d", g_dpiX, g_dpiY, DpiMagnification(g_dpiX), DpiMagnification(g_dpiY));
  }
  *x = g_dpiX;
  *y = g_dpiY;
}

void CheckMonitors(bool dpiAware) {
  const int monitorLevel = dpiAware ? 1 : 2;
  const int verdictLevel = dpiAware ? 0 : 2;
  if (dpiAware) SetHighDpiAwareness();

  const int count = GetSystemMetrics(SM_CMONITORS);
  WriteDetailLine("GetSystemMetrics MonitorNum:%d \n", count);
  int dpiX = 0, dpiY = 0;
  GetSystemDpi(&dpiX, &dpiY);
  MonitorScaleSummary summary(dpiX, dpiY);

  EnumTable table;
  table.capacity = count > 0 ? static_cast<std::size_t>(count) : 0;
  table.rects.reserve(table.capacity);
  EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&table));

  for (std::size_t i = 0; i < table.rects.size(); ++i) {
    const RECT& rect = table.rects[i];
    MONITORINFOEXA info = {};
    info.cbSize = sizeof info;
    POINT corner = {rect.left + 1, rect.top + 1};
    GetMonitorInfoA(MonitorFromPoint(corner, MONITOR_DEFAULTTONEAREST), &info);
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    EnumDisplaySettingsExA(info.szDevice, ENUM_CURRENT_SETTINGS, &mode, 0);

    MonitorRow row;
    row.left = rect.left;
    row.top = rect.top;
    row.right = rect.right;
    row.bottom = rect.bottom;
    row.displayX = mode.dmPosition.x;
    row.displayY = mode.dmPosition.y;
    row.pixelWidth = static_cast<int>(mode.dmPelsWidth);
    row.pixelHeight = static_cast<int>(mode.dmPelsHeight);
    row.main = (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
    row.device.assign(info.szDevice, strnlen(info.szDevice, sizeof info.szDevice));
    const std::string line = summary.Add(static_cast<int>(i), row);
    WriteLineAtLevel(monitorLevel, line.c_str());
  }
  summary.Finish(count);
  WriteLineAtLevel(monitorLevel, summary.SummaryText(dpiAware, count).c_str());
  WriteLineAtLevel(verdictLevel, summary.VerdictText(dpiAware, count).c_str());
}

// The window list line that the process list and the browser section write
// for top-level windows, its magnification lines, and the fields of a window
// that every window line prints.
#pragma once
#include <windows.h>

#include <cstdint>

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

// Reads the fields, or writes one line and gives false when the window was
// destroyed before or while they were read (its fields would be zeros).
bool ReadLiveWindowFields(HWND window, WindowFields& f);
unsigned long long HandleValue(const void* handle);
DWORD WindowProcessId(HWND window);

// The window list line with its magnification lines; dialogs and application
// frames are followed by the line of their inner window.
void WriteTopWindowLine(int depth, HWND window, int onCurrentDesktop, int desktopNumber);
// Test hook: from now on behave as Windows 7 and 8.0, which lack
// LogicalToPhysicalPointForPerMonitorDPI.
void ForgetPerMonitorPointConversion();

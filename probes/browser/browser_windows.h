// The browsers' windows and modules, the window lines shared with the process
// list, and the virtual-desktop queries.
#pragma once
#include <windows.h>

#include <cstddef>

void CheckAllIEWindow();
// Test hook: the lines all module listings of one CheckAllIEWindow may write
// (50,000 otherwise).
void SetSectionModuleLineLimit(std::size_t lines);
// Test hook: from now on behave as Windows 7 and 8.0, which lack
// LogicalToPhysicalPointForPerMonitorDPI.
void ForgetPerMonitorPointConversion();
// Test hook: the windows one tree may show (0: the usual bound).
void SetWindowTreeBudget(unsigned windows);

// The tree line of window, then the trees of its children one level deeper.
void DumpWindowTree(int depth, HWND window);
// One tree line; false, after one line saying so, for a window already gone.
bool WriteWindowTreeLine(int depth, HWND window);
// The window list line with its magnification lines; dialogs and application
// frames are followed by the line of their inner window.
void WriteTopWindowLine(int depth, HWND window, int onCurrentDesktop, int desktopNumber);

bool IsWindows10OrLater();
bool IsTabletMode();
// The shell's virtual-desktop manager (an IVirtualDesktopManager), or null.
void* getVirtualDesktopManager();
bool isUseVirtualDesktop();
// 1 when no manager is there or the question fails.
int IsWindowOnCurrentVirtualDesktop(HWND window);
// All zero and true without a manager.
bool GetWindowDesktopId(HWND window, unsigned char (&id)[16]);

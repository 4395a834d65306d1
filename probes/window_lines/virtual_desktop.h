// The virtual-desktop queries of the window list lines.
#pragma once
#include <windows.h>

bool IsWindows10OrLater();
bool IsTabletMode();
// The shell's virtual-desktop manager (an IVirtualDesktopManager), or null.
void* getVirtualDesktopManager();
bool isUseVirtualDesktop();
// 1 when no manager is there or the question fails.
int IsWindowOnCurrentVirtualDesktop(HWND window);
// All zero and true without a manager.
bool GetWindowDesktopId(HWND window, unsigned char (&id)[16]);

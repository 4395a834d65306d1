// Lists of windows taken before any of them is examined. Browsers create and
// destroy windows all the time: a search that examines a window and then steps
// on from it ends early when that window has been destroyed meanwhile, and
// every window after it goes unseen. A list taken first keeps them all; a
// window gone by the time it is examined is skipped by its caller.
#pragma once
#include <windows.h>

#include <vector>

// Bounds of the lists; more windows than this are cut with one Analysis line.
const unsigned kMaxTopWindows = 65536;
const unsigned kMaxChildWindows = 4096;

// The top-level windows in Z order: the windows FindWindowExA(NULL, ...) steps
// over, immersive (store-app) windows included, which EnumWindows leaves out
// on Windows 8 and later.
std::vector<HWND> ListTopWindows(unsigned limit = kMaxTopWindows);

// The direct children of parent in Z order.
std::vector<HWND> ListChildWindows(HWND parent, unsigned limit = kMaxChildWindows);

// True when the window still exists and its class is className (compared
// without regard to case, as FindWindowExA compares).
bool WindowHasClass(HWND window, const char* className);

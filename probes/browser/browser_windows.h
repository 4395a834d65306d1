// The browsers' windows and modules, with the tree lines of their windows.
#pragma once
#include <windows.h>

#include <cstddef>

void CheckAllIEWindow();
// Test hook: the lines all module listings of one CheckAllIEWindow may write
// (50,000 otherwise).
void SetSectionModuleLineLimit(std::size_t lines);
// Test hook: the windows one tree may show (0: the usual bound).
void SetWindowTreeBudget(unsigned windows);

// The tree line of window, then the trees of its children one level deeper.
void DumpWindowTree(int depth, HWND window);
// One tree line; false, after one line saying so, for a window already gone.
bool WriteWindowTreeLine(int depth, HWND window);

// The display configuration: monitors, their rectangles and display scales.
#pragma once
#include <windows.h>

// Writes the monitor lines; with dpiAware the investigation thread is first
// switched to DPI awareness and the lines go to Support and User levels.
void CheckMonitors(bool dpiAware);
void SetHighDpiAwareness();
// The screen DPI, read once per process.
void GetSystemDpi(int* x, int* y);

// Helpers for tests that start processes and look for their windows.
#pragma once
#include <windows.h>

#include <string>

// Waits until a top-level window of the class (any class when null) belongs
// to the process; false when none appears within ms.
bool WaitForWindowOf(DWORD processId, const char* className, DWORD ms);

// Starts a program that ends at once, waits for it and closes every handle,
// so the id names no process any more.
DWORD EndedProcessId(const std::string& commandLine);

// How often part occurs in text.
std::size_t CountOf(const std::string& text, const std::string& part);
// The whole line of text (with its "\n") that holds part; empty when none.
std::string LineHolding(const std::string& text, const std::string& part);

// A handle as the window lines print it ("%llx").
std::string Hex(const void* handle);
// The first top-level window of the class (and title, when given) that
// belongs to the process; null when none.
HWND TopWindowTitled(DWORD processId, const char* className, const char* title = nullptr);

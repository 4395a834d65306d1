// The process-list section: one row per running process, the store-app rows,
// the security-software candidates, and the list of top-level windows.
#pragma once
#include <windows.h>
#include <tlhelp32.h>

#include <string>

// The section walks a snapshot of the system's processes; a test passes a
// snapshot call that fails as it does when the system is out of memory.
void CheckProcessList(decltype(&CreateToolhelp32Snapshot) createSnapshot = CreateToolhelp32Snapshot);

// Full path of the process's executable; left empty when it cannot be found.
void GetProcessImagePath(DWORD processId, std::string& path);
// -1 when unknown.
int GetProcessSessionId(DWORD processId);
std::string GetProcessLevelName(DWORD processId);
// The mandatory-label value of the process's token (15 for an app container),
// 0 when it cannot be read.
unsigned long GetIntegrityLevel(HANDLE process);
// True when exactly one service entry names an existing image file whose path
// holds the name; that file goes to path.
bool IsServiceProcess(const char* exeName, std::string& path);
// True when the file lies in the system folder (or its 64-bit twin); path is
// emptied otherwise.
bool IsSystemProcess(const char* exeName, std::string& path);

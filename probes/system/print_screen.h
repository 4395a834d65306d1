// Whether PrintScreen can be taken as a system-wide hot key with every modifier.
#pragma once
#include <windows.h>

#include "query/version_rules.h"

void CheckPrintScreenKey(HWND window);
bool IsSnapshotMutexPresent();
DWORD GetMutexOpenAccess();
// The larger of the file and product version of a loaded module's file.
VersionQuad GetModuleVersionMax(HMODULE module);

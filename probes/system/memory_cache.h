// The size of the Internet cache and the memory figures.
#pragma once
#include <windows.h>

void CheckInternetCache();
void CheckMemory();
// The memory lines for a status already read (ok false: the query failed with error).
void ReportMemoryStatus(const MEMORYSTATUSEX& status, bool ok, DWORD error);

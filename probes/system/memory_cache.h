// The size of the Internet cache and the memory figures.
#pragma once
#include <windows.h>
#include <wininet.h>

// The section reads the system's cache; a test passes a first-entry search
// that fails as a broken cache index does.
void CheckInternetCache(decltype(&FindFirstUrlCacheEntryA) findFirst = FindFirstUrlCacheEntryA);
void CheckMemory();
// The memory lines for a status already read (ok false: the query failed with error).
void ReportMemoryStatus(const MEMORYSTATUSEX& status, bool ok, DWORD error);

// Libraries come from the system folder only. Report and Modlist6 are started
// from folders that hold whatever else was downloaded (Downloads, a mail
// client's temporary folder, the temporary folder), and Windows looks for a
// library that is not a KnownDLL in the program's own folder first.
#pragma once
#include <windows.h>

// Limits the default library search to the system folder. Both programs call
// it first thing, from their entry point, before the C runtime starts. Where
// the system cannot (Windows 7 without its loader update), the current folder
// is taken out of the search and LoadSystemLibrary names full paths.
void RestrictLibrarySearch();

// A library (a bare name such as "psapi.dll") from the system folder only, or
// null. Delay-loaded imports go through it as well.
HMODULE LoadSystemLibrary(const char* name);

// Loads the delay-loaded libraries (version.dll, wininet.dll, winspool.drv)
// from the system folder. Report calls it right after RestrictLibrarySearch,
// so that no later call loads one while file-system redirection is off or
// from another thread; a library that cannot be loaded is remembered, and
// the functions of it then fail with ERROR_MOD_NOT_FOUND instead of raising.
void LoadDelayLoadedLibraries();
// The index-th delay-loaded library that could not be loaded (and why), or
// nullptr when there are no more.
const char* MissingDelayLoadedLibrary(unsigned index, DWORD* error);
// False where the library search could not be limited to the system folder
// (Windows 7 without its loader update).
bool LibrarySearchLimited();

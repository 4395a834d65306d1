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

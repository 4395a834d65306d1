// Opening files whose paths come from outside: registry values, files, other
// programs' settings.
#pragma once
#include <windows.h>

// Opens path with the given access, sharing and flags, as a file on disk only.
// A pipe or a device named there (directly, or through a junction or a mapped
// drive) is closed again and refused with ERROR_INVALID_FUNCTION: a read from
// it may never return. A pipe server reached this way sees only an
// identification token, never one it could act as the user with.
// Returns the handle, or INVALID_HANDLE_VALUE with the error set.
HANDLE OpenOutsideFile(const char* path, DWORD access, DWORD share, DWORD flags);

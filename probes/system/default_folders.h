// Whether the shell resolves every standard folder.
#pragma once
#include <windows.h>

void CheckDefaultFolders();

typedef HRESULT(WINAPI* SHGetFolderPathAFn)(HWND, int, HANDLE, DWORD, LPSTR);
// The section with a given folder query (the shell's, or a test's).
void CheckDefaultFoldersWith(SHGetFolderPathAFn query);

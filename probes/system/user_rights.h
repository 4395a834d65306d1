// With which rights Report runs: the shell's administrator answer and the
// built-in groups of the process token.
#pragma once
#include <windows.h>

#include <string>

void CheckUserRights();
// shell32's answer by ordinal 680; 1 when it cannot be reached.
int IsUserAnAdminByOrdinal();
// Rights level (4 admins .. 0 none) of the process token; list gets the found
// group names when given.
unsigned GetUserRights(HANDLE process, std::string* list);

// Registry search against a match table, and the dump of a registry branch.
#pragma once
#include <windows.h>

// Writes root\subkey with its values and subkeys to Analysis details, each
// level indented further by the indent text.
void DumpRegKey(HKEY root, const char* subkey, const char* indent);

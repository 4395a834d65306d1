// Version resources of files and modules.
#pragma once
#include <windows.h>

#include <string>

#include "query/module_line_rules.h"
#include "query/version_rules.h"

// Fixed file version (dwFileVersionMS:LS), 0 when there is none.
VersionQuad GetFileVersionQuad(const char* path);
// "ProductVersion" of the first translation that gives four numbers, else 0.
VersionQuad GetProductVersionQuad(const char* path);
// GetFileVersionQuad of the module's file; 0 for a null handle.
VersionQuad GetModuleVersionQuad(HMODULE module);

// "CompanyName", "OriginalFilename", "ProductName", "ProductVersion" of the
// first translation, control characters blanked; an entry that is missing
// leaves its text as it was.
// Returns that translation (language low, code page high), 0 when unusable.
DWORD ReadFileVersionInfo(const char* path, std::string& companyName, std::string& originalFilename,
                          std::string& productName, std::string& productVersion);

// GetFileVersionQuad and ReadFileVersionInfo of one file from one read of its
// version resource: the same results, for half the reading. fileVersion is 0
// without a fixed version.
DWORD ReadFileVersionQuadAndInfo(const char* path, VersionQuad& fileVersion, std::string& companyName,
                                 std::string& originalFilename, std::string& productName,
                                 std::string& productVersion);

// The version texts of a module line, read from the file at texts.path: the
// fixed file version and the four strings; all stay empty without a path.
void ReadModuleVersionTexts(ModuleTexts& texts);

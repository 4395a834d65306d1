// The module structure section: the files the protection product installs in
// the 32-bit system folder and in the user's application-data folders.
#pragma once
#include <string>

int CheckProductModules();
// One module file line for every entry of folder (with its final backslash)
// that matches pattern.
void ScanModuleFiles(const std::string& folder, const char* pattern);
void ReportModuleFile(const std::string& path);

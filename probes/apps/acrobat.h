// The Acrobat / Adobe Reader section: a chain of checks on the PDF program that
// Internet Explorer would use, ended by the first failing step.
#pragma once
#include <windows.h>

#include <string>

void NavigattingPDF(const char* upper, const char* lower);
// onWow64: whether Report runs as a 32-bit program on 64-bit Windows.
void NavigattingPDF(const char* upper, const char* lower, bool onWow64);

bool GetExePathForIE(std::string& path);
bool IsOutOfBrower(bool isReader, unsigned major);
int GetActiveXVersion(unsigned* major, unsigned* minor);
bool CheckAcrobatBrowserOption();
bool CheckInstallAcrobat7();
LONG GetAcroIEHelperVersion(unsigned* major, unsigned* minor);
bool CheckAcrobatInstallState(unsigned exeMajor);
bool IsPdfAddonEnabled();
bool FindRunningAcrobatExe(std::string& path);
bool GetProcessExePath(DWORD processId, std::string& path);
bool GetFileMajorMinor(const char* path, unsigned* major, unsigned* minor);
// A REG_SZ value (default value for a null name) of a key opened with KEY_READ.
bool GetRegString(HKEY root, const char* subkey, const char* valueName, std::string& text);

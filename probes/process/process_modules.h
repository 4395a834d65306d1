// The module listing of a process, and the link to the 64-bit companion
// Modlist6 for the processes a 32-bit Report cannot list itself.
#pragma once
#include <windows.h>

#include <cstdio>
#include <string>

#include "probes/process/module_list_rules.h"

// Filled by every ListProcessModules that Report makes itself; emptied at the
// start of each listing.
extern ModuleHandleTable NonMicrosoftModules;

struct CompanionLinkRecord {
  std::string exePath;    // ANSI path of the extracted file; empty when none
  std::wstring exePathW;  // the same path as created
  HANDLE pipe = nullptr;  // server end, created as the first and only instance
  int writeFd = -1;       // each descriptor owns a duplicate of the pipe handle
  int readFd = -1;
  FILE* writeStream = nullptr;
  FILE* readStream = nullptr;
  HANDLE process = nullptr;  // the companion started by this link
  DWORD processId = 0;
  unsigned startCount = 0;  // companions started in this program run
};
extern CompanionLinkRecord CompanionLink;

void ListProcessModules(DWORD processId);
// True when the system is 64-bit and the process is not a 32-bit one.
bool IsProcess64Bit(DWORD processId);
// Writes an RCDATA resource of module to path; false when the resource is
// missing, empty or the file cannot be written completely.
bool ExtractResourceToFile(HMODULE module, const wchar_t* name, const wchar_t* path);
// Extracts the companion from resourceModule (Report's own image by default),
// creates the pipe, starts Modlist6 and waits a bounded time for it to
// connect. True when the link is ready.
bool StartCompanion();
void ListModulesViaCompanion(DWORD processId);
// Ends the link, waits for the companion to end and deletes its file.
void StopCompanion();
// For a program about to end its worker thread: ends a running companion at
// once and deletes its file without touching the log or the C runtime.
void CompanionEmergencyCleanup();

// Where StartCompanion takes the companion image from; null means the running
// program. Tests point it at a module loaded as a data file.
void SetCompanionResourceModule(HMODULE module);

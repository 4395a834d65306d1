// The module listing of a process, and the link to the 64-bit companion
// Modlist6 for the processes a 32-bit Report cannot list itself.
#pragma once
#include <windows.h>

#include <string>

#include "probes/process/module_list_rules.h"

// Filled by every ListProcessModules that Report makes itself; emptied at the
// start of each listing.
extern ModuleHandleTable NonMicrosoftModules;

struct CompanionLinkRecord {
  std::string exePath;    // ANSI path of the extracted file; empty when none
  std::wstring exePathW;  // the same path as created
  std::wstring folderW;   // the folder made for it by this link, with its final backslash
  // Server end, the first and only instance, opened for overlapped I/O so
  // that no read or write waits longer than its bound.
  HANDLE pipe = nullptr;
  bool connected = false;  // the companion opened the pipe; requests may go
  HANDLE process = nullptr;  // the companion started by this link
  DWORD processId = 0;
  unsigned startCount = 0;  // companions started in this program run
};
extern CompanionLinkRecord CompanionLink;

void ListProcessModules(DWORD processId);
// True when the system is 64-bit and the process is not a 32-bit one.
bool IsProcess64Bit(DWORD processId);
// Writes an RCDATA resource of module to path; false when the resource is
// missing, empty or the file cannot be written completely. writeError, when
// given, gets 0 for a missing or empty resource and the error code otherwise.
bool ExtractResourceToFile(HMODULE module, const wchar_t* name, const wchar_t* path, DWORD* writeError = nullptr);
// Extracts the companion from resourceModule (Report's own image by default)
// into a new folder of its own in the temporary folder, creates the pipe
// (open to the current user only), starts Modlist6 and waits a bounded time
// for it to connect. True when the link is ready.
bool StartCompanion();
// Sends one request and copies the answer into the report. An answer that
// stalls, breaks off or exceeds its bounds ends the companion for the rest of
// the run; later processes are then reported as not listed.
void ListModulesViaCompanion(DWORD processId);
// Ends the link, waits for the companion to end and deletes its file and folder.
void StopCompanion();
// For a program about to end its worker thread: ends a running companion at
// once and deletes its file and folder without touching the log or the C
// runtime.
void CompanionEmergencyCleanup();

// Test hooks; the shipped program never calls them.
// Bounds on the companion's answers (DefaultCompanionAnswerLimits otherwise).
void SetCompanionAnswerLimits(const CompanionAnswerLimits& limits);
// Forgets that a companion failed mid-answer, so a later test can start one.
void ForgetCompanionFailure();
// Where StartCompanion takes the companion image from; null means the running
// program. Tests point it at a module loaded as a data file.
void SetCompanionResourceModule(HMODULE module);

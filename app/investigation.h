// The investigation run: the fixed table of sections and the worker that runs them.
#pragma once
#include <windows.h>

// 1 while the driver runs its sections, 0 before and after.
extern volatile LONG InvestigationRunning;

// "------------------- \n" after every section, in Analysis details only.
void SectionSeparator();

// The first section, on the dialog's thread: header, PrintScreen check, separator.
void RunPrintScreenSection(HWND dialog);

// The worker thread's body: sections 2 to 25, end time, finished message.
DWORD WINAPI InvestigationDriver(LPVOID);

// Starts the worker thread on body at idle priority and returns its handle
// (nullptr when it cannot be started). The run counts as running from before
// the thread exists: an idle-priority thread may wait long for its first turn,
// and a save in that gap must ask rather than write a report of one section.
// When the thread cannot be started the flag is cleared again.
HANDLE StartInvestigation(LPTHREAD_START_ROUTINE body = &InvestigationDriver);

// Analysis lines on the library loader: a search that could not be limited,
// and each delay-loaded library that could not be loaded. None when all is well.
void WriteLoaderLines();

// Runs sections 2 to 25 only (no flag, end time or message), for tests and benchmarks.
void RunInvestigationSections();

// The limit text of string-table entry id (an empty text when missing).
const char* LoadLimitText(UINT id, char (&buffer)[64]);

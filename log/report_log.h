// The Report log: three level texts in memory, shown live in the dialog's views
// and written to the report file on save. Lines from the machine are always
// arguments, never formats.
#pragma once
#include <windows.h>

#include <cstddef>
#include <string>

enum class ReportLevel { User = 0, Support = 1, Detail = 2 };

#define REPORT_PRINTF(f, a) __attribute__((format(gnu_printf, f, a)))

// User results, and so Support summary and Analysis details.
void WriteUserLine(const char* format, ...) REPORT_PRINTF(1, 2);
// Support summary and Analysis details.
void WriteSupportLine(const char* format, ...) REPORT_PRINTF(1, 2);
// Analysis details only.
void WriteDetailLine(const char* format, ...) REPORT_PRINTF(1, 2);
// A wide format (use %ls for wide strings), converted to the ANSI code page;
// a character the code page lacks ends the line there. At most 1023 characters.
void WriteDetailLineW(const wchar_t* format, ...);
// One finished line at a level given as a number (0 User, 1 Support, 2 Detail),
// for lines that arrive with their level (the companion's answers).
void WriteLineAtLevel(int level, const char* text);

void AttachReportViews(HWND userView, HWND supportView, HWND detailView);
void AppendLevelText(ReportLevel level, const char* text);
// Shows the lines still waiting for the views. wait=false returns at once
// when another thread is flushing (the dialog's timer uses that).
void FlushReportViews(bool wait);
// The view attached for a level, or nullptr.
HWND AttachedView(ReportLevel level);

// Writes header, banners and the three texts with CR LF line ends, then tells
// the user the outcome in a message box owned by owner. The file at path is
// replaced only by a whole new report; on failure it is left as it was.
void SaveReportFile(const char* path, HWND owner);
// The same file content without any message box; false with the error code on
// failure. Used by SaveReportFile and by the benchmark.
bool WriteReportFile(const char* path, DWORD* error);

// Lines lost because memory ran out. When any were lost, every saved report
// ends each level with a line that says how many.
std::size_t LostLineCount();

// The version the header line names, handed in once at start by the
// program, before any save (0.0.0.0 until then).
void SetReportVersion(unsigned a, unsigned b, unsigned c, unsigned d);

// The crash rescue. WriteEmergencyReport writes the report
// file's content to file, with tail (one finished line) closing each level;
// it allocates nothing and waits at most lockWaitMs for the log's lock.
bool WriteEmergencyReport(HANDLE file, const char* tail, DWORD lockWaitMs, DWORD* error);

// A copy of one level's text, for tests and the save.
std::string LevelTextCopy(ReportLevel level);
std::size_t LevelTextSize(ReportLevel level);
// Lines written so far (each stands in Analysis details), so a section can
// bound what a callee writes.
std::size_t DetailLineCount();

// Local time of the end of the investigation; all zero until then.
extern SYSTEMTIME InvestigationEndTime;

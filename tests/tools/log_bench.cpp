// Benchmark of the Report log with its views attached: 50,000 lines of about
// 80 bytes written from a worker thread while this thread shows them, as in
// the real dialog. Prints lines per second over the first and the last 10,000
// lines, the time of one report save, and the peak working set. Last, the
// views' whole cost (writing the lines until the views have caught up)
// against the platform's floor, one WM_SETTEXT of the same text into the
// same kind of edit control:
//   floor views: report <ms> platform <ms> ratio <x.xx>
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

#include "log/report_log.h"

namespace {
const int kLines = 50000;
const int kWindow = 10000;
double g_firstRate = 0, g_lastRate = 0, g_catchUpMs = 0, g_totalMs = 0;
HWND g_main = nullptr;

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

DWORD WINAPI Writer(LPVOID) {
  LARGE_INTEGER begin, start, mark;
  QueryPerformanceCounter(&begin);
  start = begin;
  for (int i = 0; i < kLines; ++i) {
    if (i == kLines - kWindow) QueryPerformanceCounter(&start);
    // About 80 bytes with cp932 text in it, as the probes write.
    WriteDetailLine("%06d モジュール C:\\Program Files\\ソフト\\表示\\module%04d.dll, 1.2.3.4, Maker \n", i, i % 9999);
    if (i == kWindow - 1) {
      QueryPerformanceCounter(&mark);
      g_firstRate = kWindow / Seconds(start, mark);
    }
  }
  QueryPerformanceCounter(&mark);
  g_lastRate = kWindow / Seconds(start, mark);
  LARGE_INTEGER flushed;
  FlushReportViews(true);
  QueryPerformanceCounter(&flushed);
  g_catchUpMs = Seconds(mark, flushed) * 1000.0;
  g_totalMs = Seconds(begin, flushed) * 1000.0;
  PostMessageA(g_main, WM_CLOSE, 0, 0);
  return 0;
}
}  // namespace

int main() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  g_main = CreateWindowExA(0, "#32770", "Report bench", WS_POPUP | WS_VISIBLE | WS_CAPTION, 0, 0, 400, 500,
                           nullptr, nullptr, instance, nullptr);
  const DWORD editStyle = 0x50B10884;
  HWND detail = CreateWindowExA(0, "Edit", "", editStyle, 10, 250, 370, 150, g_main, (HMENU)1000, instance, nullptr);
  HWND user = CreateWindowExA(0, "Edit", "", editStyle, 10, 30, 370, 200, g_main, (HMENU)1001, instance, nullptr);
  HWND support = CreateWindowExA(0, "Edit", "", 0x48B10884, 10, 420, 40, 20, g_main, (HMENU)1002, instance, nullptr);
  AttachReportViews(user, support, detail);

  HANDLE worker = CreateThread(nullptr, 0, &Writer, nullptr, 0, nullptr);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (message.hwnd == g_main && message.message == WM_CLOSE) break;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  WaitForSingleObject(worker, INFINITE);
  CloseHandle(worker);

  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string path = std::string(temp) + "report_bench.txt";
  LARGE_INTEGER before, after;
  QueryPerformanceCounter(&before);
  DWORD error = 0;
  const bool saved = WriteReportFile(path.c_str(), &error);
  QueryPerformanceCounter(&after);
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
  DeleteFileA(path.c_str());

  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  std::printf("log lines written:            %d (Analysis details %zu bytes)\n", kLines,
              LevelTextSize(ReportLevel::Detail));
  std::printf("lines/s, first %d lines:   %.0f\n", kWindow, g_firstRate);
  std::printf("lines/s, last %d lines:    %.0f\n", kWindow, g_lastRate);
  std::printf("views caught up after:         %.1f ms\n", g_catchUpMs);
  std::printf("save of the report:           %.1f ms (%lu bytes, %s)\n", Seconds(before, after) * 1000.0,
              static_cast<unsigned long>(data.nFileSizeLow), saved ? "ok" : "failed");
  std::printf("peak working set of the bench: %.1f MiB\n", counters.PeakWorkingSetSize / 1048576.0);

  // The floor: the text the detail view ended with, set in one message into
  // a new edit control of the same style and limit.
  std::string shown(static_cast<std::size_t>(GetWindowTextLengthA(detail)) + 1, '\0');
  shown.resize(static_cast<std::size_t>(GetWindowTextA(detail, &shown[0], static_cast<int>(shown.size()))));
  HWND floor = CreateWindowExA(0, "Edit", "", editStyle, 10, 250, 370, 150, g_main, nullptr, instance, nullptr);
  SendMessageA(floor, EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
  QueryPerformanceCounter(&before);
  SendMessageA(floor, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(shown.c_str()));
  QueryPerformanceCounter(&after);
  const double platformMs = Seconds(before, after) * 1000.0;
  std::printf("floor views: report %.0f platform %.0f ratio %.2f\n", g_totalMs, platformMs,
              platformMs > 0 ? g_totalMs / platformMs : 0.0);
  DestroyWindow(g_main);
  return saved ? 0 : 1;
}

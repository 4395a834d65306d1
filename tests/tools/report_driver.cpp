// Drives Report's dialog as a user would, for the end-to-end tests, `make run`
// and the benchmark. Usage:
//   report_driver <Report.exe> <scenario> <result file> [save-as path]
// Scenarios: full, save-no, save-yes, close-during, save-as, fault-<n> (the
// investigation thread is made to execute address 0x10 while section header n
// of the list below is the last one shown; the rescue's box is answered), and timed (full,
// with "section-ms: <n> <ms>" lines: how long each section header stood last
// in the Analysis details view before the next one, or the finished message,
// appeared).
// REPORT_DRIVER_TEMP, when set, names the temporary folder (TEMP and TMP)
// Report is started with.
// The result file gets "key: value" lines in UTF-8; the exit code is 0 when the
// scenario could be driven to its end.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
FILE* g_out = nullptr;
DWORD g_pid = 0;
HANDLE g_process = nullptr;

std::string Utf8(const std::wstring& w) {
  if (w.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
  return s;
}

void Result(const char* key, const std::string& value) {
  std::string flat;
  for (char c : value) flat += (c == '\n') ? std::string("\\n") : (c == '\r' ? std::string() : std::string(1, c));
  std::fprintf(g_out, "%s: %s\n", key, flat.c_str());
  std::fflush(g_out);
}

[[noreturn]] void Fail(const std::string& why) {
  Result("error", why);
  if (g_process != nullptr) TerminateProcess(g_process, 99);
  std::fclose(g_out);
  ExitProcess(2);
}

std::wstring WindowText(HWND window) {
  const LRESULT n = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(n + 1), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(wcslen(text.c_str()));
  return text;
}

struct Search {
  HWND exclude;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectDialogs(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  wchar_t cls[64] = {};
  GetClassNameW(window, cls, 64);
  if (pid == g_pid && window != search->exclude && wcscmp(cls, L"#32770") == 0 && IsWindowVisible(window))
    search->found.push_back(window);
  return TRUE;
}

// A visible dialog of Report other than `exclude`, or null.
HWND FindReportDialog(HWND exclude) {
  Search search = {exclude, {}};
  EnumWindows(&CollectDialogs, reinterpret_cast<LPARAM>(&search));
  return search.found.empty() ? nullptr : search.found.front();
}

// The section title lines of the Analysis details view, in run order.
const wchar_t* const kSectionHeaders[] = {
    L"PrintScreenキー登録確認 ", L"OSの確認 ", L"モニターの確認(高DPI対策:無) ",
    L"モニターの確認(高DPI対策:有) WindowRect 比較はこちらの仮想RECTで実施", L"InternetExplorerのバージョン確認 ",
    L"NativeMessagingの確認 ", L"Google Chromeのバージョン確認 ", L"Microsoft Edgeのバージョン確認 ",
    L"Acrobat/AdobeReaderのバージョン確認 ", L"Windows Media Playerのバージョン確認 ",
    L"Microsoft Officeのバージョン確認 ", L"DocuWorksのバージョン確認 ", L"キャッシュの保存容量", L"メモリの利用状況",
    L"ブラウザの設定", L"IEアドオンの一覧", L"プロセス一覧", L"セキュリティソフトの種別", L"プリンタの一覧",
    L"ユーザ権限の確認", L"ブラウザのモジュール/ウィンドウ構成確認 ", L"モジュール構成確認 ", L"仮想Deviceの確認",
    L" checkType 端末種類の確認", L" 既定フォルダーの確認 "};
const int kSectionCount = sizeof kSectionHeaders / sizeof kSectionHeaders[0];

// Watches the Analysis details view for the section headers, in order, as
// whole lines. The text is fetched only when its length has changed, and at
// most every 100 ms or four times as long as the last fetch took, so that
// watching costs the run little however long the text grows.
struct SectionWatch {
  HWND view = nullptr;
  LRESULT lastLength = -1;
  std::size_t searchFrom = 0;
  int found = 0;
  DWORD seenAt[kSectionCount] = {};
  DWORD lastLook = 0;
  DWORD gap = 100;

  void Look(DWORD now, bool force = false) {
    if (!force && lastLook != 0 && now - lastLook < gap) return;
    lastLook = now;
    const LRESULT length = SendMessageW(view, WM_GETTEXTLENGTH, 0, 0);
    if (length == lastLength) return;
    lastLength = length;
    const std::wstring text = WindowText(view);
    const DWORD took = GetTickCount() - now;
    gap = took * 4 > 100 ? took * 4 : 100;
    while (found < kSectionCount) {
      const std::wstring header = kSectionHeaders[found];
      std::size_t at = text.find(header, searchFrom);
      while (at != std::wstring::npos && !IsWholeLine(text, at, header.size())) at = text.find(header, at + 1);
      if (at == std::wstring::npos) break;
      seenAt[found++] = now;
      searchFrom = at + header.size();
    }
  }

  static bool IsWholeLine(const std::wstring& text, std::size_t at, std::size_t size) {
    const std::size_t end = at + size;
    return (at == 0 || text[at - 1] == L'\n') && (end == text.size() || text[end] == L'\r' || text[end] == L'\n');
  }
};
SectionWatch* g_watch = nullptr;

HWND WaitForDialog(HWND exclude, DWORD ms, const char* what) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (g_watch != nullptr) g_watch->Look(GetTickCount());
    if (HWND found = FindReportDialog(exclude)) return found;
    if (WaitForSingleObject(g_process, 0) == WAIT_OBJECT_0) {
      DWORD code = 0;
      GetExitCodeProcess(g_process, &code);
      Result("exit-code", std::to_string(code));
      if (g_watch != nullptr) Result("sections-seen", std::to_string(g_watch->found));
      Fail(std::string("Report ended while waiting for ") + what);
    }
    if (GetTickCount() - start > ms) Fail(std::string("timed out waiting for ") + what);
    Sleep(20);
  }
}

std::wstring MessageText(HWND box) {
  HWND text = GetDlgItem(box, 0xFFFF);
  return text ? WindowText(text) : std::wstring();
}

void Press(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Presses a button of a box and waits until the box has gone, so that the next
// search cannot find it again.
void PressAndWaitGone(HWND box, int id) {
  Press(box, id);
  const DWORD start = GetTickCount();
  while (IsWindow(box) && IsWindowVisible(box) && GetTickCount() - start < 10000) Sleep(10);
}

BOOL CALLBACK ListChild(HWND window, LPARAM) {
  wchar_t cls[64] = {};
  GetClassNameW(window, cls, 64);
  Result("child", std::to_string(GetDlgCtrlID(window)) + " " + Utf8(cls) + " " + Utf8(WindowText(window)));
  return TRUE;
}

BOOL CALLBACK FindNameEdit(HWND window, LPARAM param) {
  wchar_t cls[16] = {};
  GetClassNameW(window, cls, 16);
  // The file name box: edt1 (0x480), or the edit inside the cmb13 (0x47C) combo.
  const int id = GetDlgCtrlID(window);
  if (wcscmp(cls, L"Edit") == 0 && (id == 0x480 || id == 0x47C)) {
    *reinterpret_cast<HWND*>(param) = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindFileNameEdit(HWND fileDialog) {
  HWND found = nullptr;
  EnumChildWindows(fileDialog, &FindNameEdit, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Waits for a message box, records its text under key, answers it with id.
std::wstring AnswerBox(HWND mainDialog, const char* key, int id, DWORD ms) {
  HWND box = WaitForDialog(mainDialog, ms, key);
  Sleep(50);
  const std::wstring text = MessageText(box);
  Result(key, Utf8(text));
  Result((std::string(key) + "-caption").c_str(), Utf8(WindowText(box)));
  PressAndWaitGone(box, id);
  return text;
}

std::vector<HANDLE> g_suspended;

void ResumeWorkers() {
  for (HANDLE thread : g_suspended) {
    ResumeThread(thread);
    CloseHandle(thread);
  }
  g_suspended.clear();
}

void SuspendWorkers(DWORD uiThread) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != g_pid || entry.th32ThreadID == uiThread) continue;
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
    if (thread == nullptr) continue;
    if (SuspendThread(thread) == static_cast<DWORD>(-1)) {
      CloseHandle(thread);
    } else {
      g_suspended.push_back(thread);
    }
  }
  CloseHandle(snapshot);
}

// Holds the run between two of its sections' lines: the investigation thread
// is suspended once the worker has begun writing and before it has finished.
bool FreezeMidRun(HWND dialog) {
  const DWORD uiThread = GetWindowThreadProcessId(dialog, nullptr);
  HWND detail = GetDlgItem(dialog, 1000);
  for (int attempt = 0; attempt < 2000; ++attempt) {
    SuspendWorkers(uiThread);
    const std::wstring text = WindowText(detail);
    const bool started = text.find(L"OSの確認") != std::wstring::npos;
    const bool done = text.find(L"既定フォルダーの確認") != std::wstring::npos;
    if (started && !done) return true;
    ResumeWorkers();
    if (done) return false;
    Sleep(attempt < 200 ? 0 : 1);
  }
  return false;
}

// The box that "save" shows while the run is held. A worker held while it
// owns a lock the window thread needs (a heap lock, say) keeps the box from
// coming: after a while the workers go on, and the run is still unfinished
// when the box asks.
HWND WaitForConfirmation(HWND dialog) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 3000) {
    if (HWND box = FindReportDialog(dialog)) return box;
    if (WaitForSingleObject(g_process, 0) == WAIT_OBJECT_0) Fail("Report ended while waiting for the confirmation");
    Sleep(20);
  }
  ResumeWorkers();
  return WaitForDialog(dialog, 30000, "the confirmation");
}

// Makes the investigation thread (the one of idle priority) execute address
// 0x10 once section `section` is running, as a faulting driver or injected
// module does. The threads stay held while the view is read.
bool FaultInSection(HWND dialog, int section) {
  const DWORD uiThread = GetWindowThreadProcessId(dialog, nullptr);
  HWND detail = GetDlgItem(dialog, 1000);
  for (int attempt = 0; attempt < 20000; ++attempt) {
    SuspendWorkers(uiThread);
    const std::wstring text = WindowText(detail);
    const bool started = text.find(kSectionHeaders[section]) != std::wstring::npos;
    const bool passed = section + 1 < kSectionCount && text.find(kSectionHeaders[section + 1]) != std::wstring::npos;
    if (started && !passed) {
      bool redirected = false;
      HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
      THREADENTRY32 entry = {};
      entry.dwSize = sizeof entry;
      for (BOOL more = Thread32First(snapshot, &entry); more && !redirected; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != g_pid) continue;
        HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION | THREAD_GET_CONTEXT | THREAD_SET_CONTEXT, FALSE,
                                   entry.th32ThreadID);
        if (thread == nullptr) continue;
        if (GetThreadPriority(thread) == THREAD_PRIORITY_IDLE) {
          BOOL wow64 = FALSE;
          IsWow64Process(g_process, &wow64);
          if (wow64) {
            WOW64_CONTEXT context = {};
            context.ContextFlags = WOW64_CONTEXT_CONTROL;
            if (Wow64GetThreadContext(thread, &context)) {
              context.Eip = 0x10;
              redirected = Wow64SetThreadContext(thread, &context) != FALSE;
            }
          } else {
            CONTEXT context = {};
            context.ContextFlags = CONTEXT_CONTROL;
            if (GetThreadContext(thread, &context)) {
              context.Rip = 0x10;
              redirected = SetThreadContext(thread, &context) != FALSE;
            }
          }
        }
        CloseHandle(thread);
      }
      CloseHandle(snapshot);
      ResumeWorkers();
      return redirected;
    }
    ResumeWorkers();
    if (passed) return false;
    Sleep(attempt < 200 ? 0 : 1);
  }
  return false;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void RecordPeakWorkingSet() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  if (GetProcessMemoryInfo(g_process, &counters, sizeof counters)) {
    Result("peak-working-set-bytes", std::to_string(counters.PeakWorkingSetSize));
  }
}

// Saves the screen as a 24-bit BMP file (the run script turns it into PNG).
void SaveScreenshot(const char* path) {
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
  GdiFlush();
  const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) & ~3u);
  const DWORD imageSize = stride * static_cast<DWORD>(height);
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + imageSize;
  if (FILE* out = std::fopen(path, "wb")) {
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out);
    std::fwrite(bits, imageSize, 1, out);
    std::fclose(out);
    Result("screenshot", path);
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

void CloseAndWait(HWND dialog) {
  const DWORD start = GetTickCount();
  Press(dialog, IDOK);
  if (WaitForSingleObject(g_process, 20000) != WAIT_OBJECT_0) Fail("Report did not end after close");
  DWORD code = 0;
  GetExitCodeProcess(g_process, &code);
  Result("exit-code", std::to_string(code));
  Result("exit-ms", std::to_string(GetTickCount() - start));
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: report_driver <Report.exe> <scenario> <result file> [save-as path]\n");
    return 1;
  }
  const std::string exe = argv[1], scenario = argv[2];
  g_out = std::fopen(argv[3], "wb");
  if (g_out == nullptr) return 1;
  const std::string report = FolderOf(exe) + "report_o.txt";

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  std::string commandLine = "\"" + exe + "\"";
  wchar_t temp[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"REPORT_DRIVER_TEMP", temp, MAX_PATH) - 1u < MAX_PATH - 1u) {
    SetEnvironmentVariableW(L"TEMP", temp);
    SetEnvironmentVariableW(L"TMP", temp);
  }
  const DWORD launched = GetTickCount();
  if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, FolderOf(exe).c_str(),
                      &startup, &info)) {
    Fail("cannot start Report: error " + std::to_string(GetLastError()));
  }
  g_pid = info.dwProcessId;
  g_process = info.hProcess;
  CloseHandle(info.hThread);

  HWND dialog = WaitForDialog(nullptr, 60000, "the main dialog");
  Result("dialog", "found");

  if (scenario == "full" || scenario == "save-as" || scenario == "timed") {
    SectionWatch watch;
    watch.view = GetDlgItem(dialog, 1000);
    if (scenario == "timed") g_watch = &watch;
    AnswerBox(dialog, "finished-text", IDOK, 600000);
    const DWORD finished = GetTickCount();
    g_watch = nullptr;
    Result("run-ms", std::to_string(finished - launched));
    if (scenario == "timed") {
      watch.Look(finished, true);  // headers written just before the message
      for (int i = 0; i < watch.found; ++i) {
        const DWORD end = i + 1 < watch.found ? watch.seenAt[i + 1] : finished;
        Result("section-ms", std::to_string(i + 1) + " " + std::to_string(end - watch.seenAt[i]));
      }
      Result("sections-seen", std::to_string(watch.found));
    }
    RecordPeakWorkingSet();
    if (const char* shot = std::getenv("REPORT_DRIVER_SCREENSHOT")) {
      Sleep(300);
      SaveScreenshot(shot);
    }
    if (scenario != "save-as") {
      Press(dialog, 5);
      AnswerBox(dialog, "saved-text", IDOK, 30000);
    } else {
      Press(dialog, 4);
      HWND fileDialog = WaitForDialog(dialog, 30000, "the save dialog");
      Sleep(500);
      HWND nameBox = FindFileNameEdit(fileDialog);
      if (nameBox == nullptr) {
        EnumChildWindows(fileDialog, &ListChild, 0);
        Fail("no file name box in the save dialog");
      }
      Result("suggested-name", Utf8(WindowText(nameBox)));
      const std::string target = argc > 4 ? argv[4] : report;
      std::wstring wide(target.begin(), target.end());
      SendMessageW(nameBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
      PressAndWaitGone(fileDialog, IDOK);
      AnswerBox(dialog, "saved-text", IDOK, 30000);
    }
    CloseAndWait(dialog);
  } else if (scenario == "save-no" || scenario == "save-yes") {
    if (!FreezeMidRun(dialog)) Fail("the run ended before it could be held");
    Press(dialog, 5);
    HWND box = WaitForConfirmation(dialog);
    Sleep(50);
    Result("confirm-text", Utf8(MessageText(box)));
    if (scenario == "save-no") {
      PressAndWaitGone(box, IDNO);
      Sleep(500);
      Result("file-after-no", FileExists(report) ? "exists" : "absent");
      ResumeWorkers();
      AnswerBox(dialog, "finished-text", IDOK, 600000);
    } else {
      ResumeWorkers();
      PressAndWaitGone(box, IDYES);
      AnswerBox(dialog, "saved-text", IDOK, 30000);
    }
    CloseAndWait(dialog);
  } else if (scenario.compare(0, 6, "fault-") == 0) {
    const int section = std::atoi(scenario.c_str() + 6);
    if (section <= 0 || section >= kSectionCount) Fail("no such section " + scenario);
    if (!FaultInSection(dialog, section)) Fail("the fault could not be put into the section");
    Result("fault", "put");
    // The rescue's box has no owner; the main dialog may stay on screen.
    AnswerBox(dialog, "rescue-text", IDOK, 60000);
    if (WaitForSingleObject(g_process, 20000) != WAIT_OBJECT_0) Fail("Report did not end after the rescue");
    DWORD code = 0;
    GetExitCodeProcess(g_process, &code);
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08lX", static_cast<unsigned long>(code));
    Result("exit-code", hex);
  } else if (scenario == "close-during") {
    if (!FreezeMidRun(dialog)) Fail("the run ended before it could be held");
    // The worker stays held: closing must not wait for it.
    CloseAndWait(dialog);
    Result("file-after-close", FileExists(report) ? "exists" : "absent");
  } else {
    Fail("unknown scenario " + scenario);
  }
  ResumeWorkers();
  std::fclose(g_out);
  return 0;
}

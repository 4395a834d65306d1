#include "log/report_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "base/cp932_rules.h"
#include "base/line_rules.h"
#include "base/owner.h"

SYSTEMTIME InvestigationEndTime = {};

namespace {
// One lock over the three texts: a save copies them between two whole lines.
// Views are updated outside that lock, since that waits for the dialog's
// thread, which may itself be waiting for the lock in a save.
std::mutex g_lock;
std::string g_texts[3];
std::size_t g_detailLines = 0;  // lines written, all of which reach Analysis details
HWND g_views[3] = {nullptr, nullptr, nullptr};
// Lines that memory did not allow to be kept; the saved report says how many.
volatile LONG g_lostLines = 0;

void CountLostLine() { InterlockedIncrement(&g_lostLines); }

// An edit control's cost for one insertion grows with the text it holds, so
// lines reach the views in chunks, and the gap between two chunks grows with
// the time the last one took: showing lines then costs a bounded share of the
// run however long the text gets. The dialog's timer shows lines of quiet
// periods. The views get the same bytes, in the same order, as the texts.
const DWORD kFlushMs = 250;
const DWORD kMaxFlushGapMs = 4000;
std::string g_pending[3];      // guarded by g_lock
// What each view may still take, in bytes (never fewer than its characters),
// so that a view refuses whole lines instead of cutting one.
std::size_t g_viewRoom[3] = {0, 0, 0};  // guarded by g_lock
DWORD g_lastFlush = 0;         // guarded by g_lock
DWORD g_flushGap = kFlushMs;   // guarded by g_lock
std::mutex g_viewLock;     // one flusher at a time keeps the chunks in order

void AppendToView(HWND view, const char* text) {
  if (view == nullptr) return;
  const LRESULT length = SendMessageA(view, WM_GETTEXTLENGTH, 0, 0);
  SendMessageA(view, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
  SendMessageA(view, EM_SCROLLCARET, 0, 0);
  SendMessageA(view, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
}

// Queues text for a level's view while the view has room for it.
void QueueForView(int level, const std::string& text) {
  if (g_views[level] == nullptr || text.size() > g_viewRoom[level]) {
    g_viewRoom[level] = 0;  // full: later, shorter lines must not follow a gap
    return;
  }
  g_pending[level] += text;
  g_viewRoom[level] -= text.size();
}

// Appends to the levels from `first` down to Analysis details, and queues the
// line for their views.
void WriteLine(ReportLevel first, std::string& line) {
  const int from = static_cast<int>(first);
  bool flush = false;
  try {
    ApplyNewlineRule(line);
    std::lock_guard<std::mutex> hold(g_lock);
    for (int level = from; level <= 2; ++level) {
      g_texts[level] += line;
      QueueForView(level, line);
    }
    ++g_detailLines;
    flush = GetTickCount() - g_lastFlush >= g_flushGap;
  } catch (const std::bad_alloc&) {
    CountLostLine();  // the investigation goes on; the save says so
    return;
  }
  if (flush) FlushReportViews(true);
}

void WriteFormatted(ReportLevel level, const char* format, std::va_list args) {
  std::string line;
  bool outOfMemory = false;
  if (!FormatLineV(line, format, args, &outOfMemory)) {
    if (outOfMemory) CountLostLine();
    return;
  }
  WriteLine(level, line);
}

std::string ApplicationName() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path - 1);
  std::string name = FileNamePart(path);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot != 0) name.resize(dot);
  return name.empty() ? std::string("Report") : name;
}

void ShowError(HWND owner, DWORD error) {
  char message[256] = {};
  if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, message,
                     sizeof message, nullptr) == 0) {
    std::snprintf(message, sizeof message, "error %lu", static_cast<unsigned long>(error));
  }
  MessageBoxA(owner, message, ApplicationName().c_str(), MB_OK);
}

// Text mode: every "\n" becomes CR LF. dst holds at least 2 * n bytes.
std::size_t ToCrLf(const char* src, std::size_t n, char* dst) {
  std::size_t out = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (src[i] == '\n') dst[out++] = '\r';
    dst[out++] = src[i];
  }
  return out;
}

bool WriteAll(HANDLE file, const char* p, std::size_t left, DWORD* error) {
  while (left > 0) {
    const DWORD chunk = left > (1u << 20) ? (1u << 20) : static_cast<DWORD>(left);
    DWORD written = 0;
    if (!WriteFile(file, p, chunk, &written, nullptr) || written == 0) {
      *error = GetLastError() != 0 ? GetLastError() : ERROR_WRITE_FAULT;
      return false;
    }
    p += written;
    left -= written;
  }
  return true;
}

// Appends the decimal digits of value at `at`, zero-padded to width; returns
// the end. No formatter: the crash rescue may not allocate.
char* PutDecimal(char* at, unsigned long long value, int width) {
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0 && n < 24);
  while (n < width && n < 24) digits[n++] = '0';
  while (n > 0) *at++ = digits[--n];
  return at;
}

char* PutText(char* at, const char* text) {
  while (*text != '\0') *at++ = *text++;
  return at;
}

// Bytes of a level text converted at a time: the save needs this much memory
// (twice, for CR LF) whatever the size of the report.
const std::size_t kSaveChunk = 512 * 1024;

const char* const kBanners[3] = {
    "\n======================================\nユーザ用結果\n======================================\n",
    "\n======================================\nサポート用概要\n======================================\n",
    "\n======================================\n分析用詳細\n======================================\n"};
const char kLostLinesStart[] = "※メモリが不足したため記録できなかった行があります: ";
const char kLostLinesEnd[] = " 行 \n";

// "[Report.exe a.b.c.d]調査結果 ", made once at start from the version the
// program hands in, so the crash rescue has it ready.
char g_headerStart[96] = "[Report.exe 0.0.0.0]調査結果 ";
// The rescue's conversion buffer: it is the only user, and allocates nothing.
char g_rescueBuffer[64 * 1024];

// The header line: its start, then the end time of the investigation.
std::size_t FormatHeader(const char* start, char (&out)[160]) {
  const SYSTEMTIME& t = InvestigationEndTime;
  char* at = out;
  for (const char* p = start; *p != '\0' && at < out + 96; ++p) *at++ = *p;
  at = PutDecimal(at, t.wYear, 4);
  *at++ = '/';
  at = PutDecimal(at, t.wMonth, 2);
  *at++ = '/';
  at = PutDecimal(at, t.wDay, 2);
  *at++ = ' ';
  at = PutDecimal(at, t.wHour, 2);
  *at++ = ':';
  at = PutDecimal(at, t.wMinute, 2);
  *at++ = ':';
  at = PutDecimal(at, t.wSecond, 2);
  *at++ = '.';
  at = PutDecimal(at, t.wMilliseconds, 3);
  *at++ = '\n';
  return static_cast<std::size_t>(at - out);
}

// Writes the report file's content through buffer (capacity bytes): header,
// then each level's banner, its first sizes[i] bytes and the closing lines
// (tail, then the count of lines lost to low memory). With lockEachChunk the
// texts are read a chunk at a time under the log's lock; otherwise the
// caller holds the lock or cannot get it, and the texts no longer change.
bool WriteContent(HANDLE file, const char* headerStart, const std::size_t (&sizes)[3], const char* tail,
                  bool lockEachChunk, char* buffer, std::size_t capacity, DWORD* error) {
  char header[160];
  const std::size_t headerSize = FormatHeader(headerStart, header);
  char lost[160] = {};
  if (g_lostLines > 0) {
    char* at = PutText(lost, kLostLinesStart);
    at = PutDecimal(at, static_cast<unsigned long>(g_lostLines), 1);
    PutText(at, kLostLinesEnd);
  }
  const auto put = [&](const char* text, std::size_t n) {
    while (n > 0) {
      const std::size_t m = n < capacity / 2 ? n : capacity / 2;
      if (!WriteAll(file, buffer, ToCrLf(text, m, buffer), error)) return false;
      text += m;
      n -= m;
    }
    return true;
  };
  if (!put(header, headerSize)) return false;
  for (int i = 0; i < 3; ++i) {
    if (!put(kBanners[i], std::strlen(kBanners[i]))) return false;
    for (std::size_t done = 0; done < sizes[i];) {
      const std::size_t n = sizes[i] - done < capacity / 2 ? sizes[i] - done : capacity / 2;
      std::size_t converted = 0;
      if (lockEachChunk) {
        std::lock_guard<std::mutex> hold(g_lock);
        converted = ToCrLf(g_texts[i].data() + done, n, buffer);
      } else {
        converted = ToCrLf(g_texts[i].data() + done, n, buffer);
      }
      if (!WriteAll(file, buffer, converted, error)) return false;
      done += n;
    }
    if (tail != nullptr && !put(tail, std::strlen(tail))) return false;
    if (lost[0] != '\0' && !put(lost, std::strlen(lost))) return false;
  }
  return true;
}

// A name for the new file beside target: target.<process id>-<n>.tmp. It is
// created exclusively, so a file of that name that exists is passed over.
UniqueHandle CreateBeside(const std::wstring& target, std::wstring& temp, DWORD* error) {
  *error = ERROR_FILE_EXISTS;
  for (unsigned n = 0; n < 16; ++n) {
    wchar_t suffix[40];
    std::swprintf(suffix, 40, L".%lx-%x.tmp", static_cast<unsigned long>(GetCurrentProcessId()),
                  (GetTickCount() + n * 7919u) & 0xFFFFu);
    temp = target + suffix;
    UniqueHandle file(CreateFileW(temp.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) return file;
    *error = GetLastError();
    if (*error != ERROR_FILE_EXISTS && *error != ERROR_ALREADY_EXISTS) break;
  }
  temp.clear();
  return UniqueHandle();
}

// The ANSI path as the wide path the file calls take; a path that a suffix
// would carry beyond MAX_PATH gets the long-path prefix.
bool WidePath(const char* path, std::wstring& out) {
  const int n = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
  if (n <= 1) return false;
  out.assign(static_cast<std::size_t>(n), L'\0');
  if (MultiByteToWideChar(CP_ACP, 0, path, -1, &out[0], n) != n) return false;
  out.resize(static_cast<std::size_t>(n - 1));
  if (out.size() + 24 >= MAX_PATH) {
    if (out.size() > 2 && out[1] == L':' && out[2] == L'\\') {
      out.insert(0, L"\\\\?\\");
    } else if (out.compare(0, 2, L"\\\\") == 0 && out.compare(0, 4, L"\\\\?\\") != 0) {
      out.replace(0, 2, L"\\\\?\\UNC\\");
    }
  }
  return true;
}
}  // namespace

void WriteUserLine(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  WriteFormatted(ReportLevel::User, format, args);
  va_end(args);
}

void WriteSupportLine(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  WriteFormatted(ReportLevel::Support, format, args);
  va_end(args);
}

void WriteDetailLine(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  WriteFormatted(ReportLevel::Detail, format, args);
  va_end(args);
}

void WriteDetailLineW(const wchar_t* format, ...) {
  wchar_t wide[1024];
  std::va_list args;
  va_start(args, format);
  // Microsoft's own formatter: %s and %ls take wide strings there. A line
  // longer than the buffer is cut at its end.
  const int n = _vsnwprintf(wide, 1023, format, args);
  va_end(args);
  wide[1023] = L'\0';
  if (n < 0 && wcslen(wide) == 0) wide[0] = L'\0';
  char narrow[1024] = {};
  // The NUL replacement ends the line at the first character outside the code
  // page. A UTF-8 code page has every character and refuses a replacement.
  const char* replacement = GetACP() == CP_UTF8 ? nullptr : "\0";
  const int converted = WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow - 1, replacement, nullptr);
  if (converted == 0) {
    // Too long for the byte buffer: keep the longest start that fits.
    int low = 0, high = static_cast<int>(wcslen(wide));
    while (low < high) {
      const int middle = low + (high - low + 1) / 2;
      if (WideCharToMultiByte(CP_ACP, 0, wide, middle, nullptr, 0, replacement, nullptr) <=
          static_cast<int>(sizeof narrow - 1)) {
        low = middle;
      } else {
        high = middle - 1;
      }
    }
    const int bytes =
        low > 0 ? WideCharToMultiByte(CP_ACP, 0, wide, low, narrow, sizeof narrow - 1, replacement, nullptr) : 0;
    narrow[bytes > 0 ? bytes : 0] = '\0';
  }
  narrow[sizeof narrow - 1] = '\0';
  try {
    std::string line(narrow);
    WriteLine(ReportLevel::Detail, line);
  } catch (const std::bad_alloc&) {
    CountLostLine();
  }
}

void WriteLineAtLevel(int level, const char* text) {
  if (level < 0 || level > 2 || text == nullptr) return;
  try {
    std::string line(text);
    WriteLine(static_cast<ReportLevel>(level), line);
  } catch (const std::bad_alloc&) {
    CountLostLine();
  }
}

void AttachReportViews(HWND userView, HWND supportView, HWND detailView) {
  // Called on the views' own thread, so the messages below wait for no one.
  std::lock_guard<std::mutex> hold(g_lock);
  g_views[0] = userView;
  g_views[1] = supportView;
  g_views[2] = detailView;
  for (int i = 0; i < 3; ++i) {
    HWND view = g_views[i];
    g_pending[i].clear();
    g_viewRoom[i] = 0;
    if (view == nullptr) continue;
    // Lift the edit control's default limit so the boxes the user sees can
    // show the whole run. The hidden box keeps its limit: nobody sees it, and
    // laying out megabytes of lines there would only slow the run.
    if ((GetWindowLongA(view, GWL_STYLE) & WS_VISIBLE) != 0) SendMessageA(view, EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
    const std::size_t limit = static_cast<std::size_t>(SendMessageA(view, EM_GETLIMITTEXT, 0, 0));
    const std::size_t held = static_cast<std::size_t>(SendMessageA(view, WM_GETTEXTLENGTH, 0, 0));
    g_viewRoom[i] = limit > held ? limit - held : 0;
  }
}

void AppendLevelText(ReportLevel level, const char* text) {
  const int index = static_cast<int>(level);
  try {
    std::lock_guard<std::mutex> hold(g_lock);
    g_texts[index] += text;
    QueueForView(index, text);
  } catch (const std::bad_alloc&) {
    CountLostLine();
    return;
  }
  FlushReportViews(true);
}

void FlushReportViews(bool wait) {
  std::unique_lock<std::mutex> flusher(g_viewLock, std::defer_lock);
  if (wait) {
    flusher.lock();
  } else if (!flusher.try_lock()) {
    return;  // the worker is flushing; the dialog's thread must not wait for it
  }
  std::string chunks[3];
  {
    std::lock_guard<std::mutex> hold(g_lock);
    // The timer keeps to the same gap as the worker: every update costs the
    // views time that grows with the text they already hold.
    if (!wait && GetTickCount() - g_lastFlush < g_flushGap) return;
    for (int i = 0; i < 3; ++i) chunks[i].swap(g_pending[i]);
  }
  const DWORD start = GetTickCount();
  for (int i = 0; i < 3; ++i) {
    if (!chunks[i].empty()) AppendToView(g_views[i], chunks[i].c_str());
  }
  const DWORD now = GetTickCount();
  std::lock_guard<std::mutex> hold(g_lock);
  g_lastFlush = now;
  const DWORD took = now - start;
  // A ceiling keeps a single slow update (the worker waiting out a save)
  // from freezing the views for minutes.
  g_flushGap = took * 8 > kFlushMs ? (took * 8 < kMaxFlushGapMs ? took * 8 : kMaxFlushGapMs) : kFlushMs;
}

HWND AttachedView(ReportLevel level) { return g_views[static_cast<int>(level)]; }

std::string LevelTextCopy(ReportLevel level) {
  std::lock_guard<std::mutex> hold(g_lock);
  return g_texts[static_cast<int>(level)];
}

std::size_t DetailLineCount() {
  std::lock_guard<std::mutex> hold(g_lock);
  return g_detailLines;
}

std::size_t LevelTextSize(ReportLevel level) {
  std::lock_guard<std::mutex> hold(g_lock);
  return g_texts[static_cast<int>(level)].size();
}

std::size_t LostLineCount() { return static_cast<std::size_t>(g_lostLines); }

// The earlier report stays until the new one is whole: the new content goes
// to a file of its own beside the target, every write and the flush are
// checked, and only then does it take the target's place in one step.
bool WriteReportFile(const char* path, DWORD* error) {
  std::wstring target, temp;
  try {
    if (path == nullptr || !WidePath(path, target)) {
      *error = ERROR_INVALID_NAME;
      return false;
    }
    UniqueHandle file = CreateBeside(target, temp, error);
    if (!file) return false;
    const char* startText = g_headerStart;
    // The sizes taken first fix what is saved; the texts only grow, so every
    // level ends with a whole line. A chunk at a time is converted under the
    // lock: no copy of the texts, so a report gathered up to the end of
    // memory still saves.
    std::size_t sizes[3];
    {
      std::lock_guard<std::mutex> hold(g_lock);
      for (int i = 0; i < 3; ++i) sizes[i] = g_texts[i].size();
    }
    const std::size_t capacity = 2 * kSaveChunk;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[capacity]);
    bool ok = buffer != nullptr;
    if (!ok) *error = ERROR_NOT_ENOUGH_MEMORY;
    ok = ok && WriteContent(file.get(), startText, sizes, nullptr, true, buffer.get(), capacity, error);
    if (ok && !FlushFileBuffers(file.get())) {
      *error = GetLastError();
      ok = false;
    }
    if (ok && !CloseHandle(file.release())) {
      *error = GetLastError();
      ok = false;
    }
    if (ok && !MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      *error = GetLastError();
      ok = false;
    }
    if (!ok) {
      file.reset();
      DeleteFileW(temp.c_str());
    }
    return ok;
  } catch (const std::bad_alloc&) {
    if (!temp.empty()) DeleteFileW(temp.c_str());
    *error = ERROR_NOT_ENOUGH_MEMORY;
    return false;
  }
}

void SetReportVersion(unsigned a, unsigned b, unsigned c, unsigned d) {
  std::snprintf(g_headerStart, sizeof g_headerStart, "[Report.exe %u.%u.%u.%u]調査結果 ", a, b, c, d);
}

bool WriteEmergencyReport(HANDLE file, const char* tail, DWORD lockWaitMs, DWORD* error) {
  bool locked = false;
  for (DWORD waited = 0;; waited += 10) {
    if (g_lock.try_lock()) {
      locked = true;
      break;
    }
    if (waited >= lockWaitMs) break;
    Sleep(10);
  }
  // Without the lock its holder is the thread that stopped, or one that no
  // longer moves: the texts stay as they are, and each is read up to its
  // last whole line.
  std::size_t sizes[3];
  for (int i = 0; i < 3; ++i) {
    std::size_t n = g_texts[i].size();
    if (!locked) {
      const char* data = g_texts[i].data();
      while (n > 0 && data[n - 1] != '\n') --n;
    }
    sizes[i] = n;
  }
  const bool ok =
      WriteContent(file, g_headerStart, sizes, tail, false, g_rescueBuffer, sizeof g_rescueBuffer, error);
  if (locked) g_lock.unlock();
  return ok;
}

void SaveReportFile(const char* path, HWND owner) {
  DWORD error = 0;
  if (!WriteReportFile(path, &error)) {
    ShowError(owner, error);
    return;
  }
  // Fixed buffers: a save near the end of memory must still say its outcome.
  char message[1100];
  std::snprintf(message, sizeof message, "saved %s", path);
  MessageBoxA(owner, message, "Report", MB_OK);
}

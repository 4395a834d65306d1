// The crash net. The thread that faults may hold the log's lock, the heap's
// lock or the loader's lock, or have no stack left, so it only records what
// happened and wakes a rescue thread made at start. The rescue writes the
// report through the native file calls, which take no heap lock, from names
// and buffers prepared at start; only then do the companion's clean-up and
// the message box run, on a second thread made at start, and only once the
// heap and the loader are seen free.
#include "app/crash_net.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <exception>
#include <string>

#include "log/report_log.h"
#include "probes/process/process_modules.h"
#include "query/platform.h"

namespace {
// The native file calls, declared here under names of their own.
struct NtUnicodeString {
  USHORT Length;
  USHORT MaximumLength;
  PWSTR Buffer;
};
struct NtObjectAttributes {
  ULONG Length;
  HANDLE RootDirectory;
  NtUnicodeString* ObjectName;
  ULONG Attributes;
  PVOID SecurityDescriptor;
  PVOID SecurityQualityOfService;
};
struct NtIoStatus {
  union {
    LONG Status;
    PVOID Pointer;
  };
  ULONG_PTR Information;
};
struct NtRenameInfo {
  BOOLEAN ReplaceIfExists;
  HANDLE RootDirectory;
  ULONG FileNameLength;
  WCHAR FileName[1];
};
struct NtDispositionInfo {
  BOOLEAN DeleteFile;
};
typedef LONG(NTAPI* NtCreateFileFn)(PHANDLE, ACCESS_MASK, NtObjectAttributes*, NtIoStatus*, PLARGE_INTEGER, ULONG,
                                    ULONG, ULONG, ULONG, PVOID, ULONG);
typedef LONG(NTAPI* NtSetInformationFileFn)(HANDLE, NtIoStatus*, PVOID, ULONG, int);
typedef LONG(NTAPI* NtFlushBuffersFileFn)(HANDLE, NtIoStatus*);
typedef LONG(NTAPI* NtCloseFn)(HANDLE);
typedef LONG(NTAPI* LdrLockLoaderLockFn)(ULONG, ULONG*, ULONG_PTR*);
typedef LONG(NTAPI* LdrUnlockLoaderLockFn)(ULONG, ULONG_PTR);

const ULONG kFileCreate = 2;
const ULONG kSynchronousIo = 0x20;
const ULONG kNonDirectoryFile = 0x40;
const ULONG kCaseInsensitive = 0x40;
const int kFileRenameInformation = 10;
const int kFileDispositionInformation = 13;
const LONG kNameCollision = static_cast<LONG>(0xC0000035);
const ULONG kLoaderTryOnly = 2;
const ULONG kLoaderAcquired = 1;

// Thrown by nothing and caught by nothing: the code an uncaught C++ exception
// is known by on Windows, so that support reads it as one.
const DWORD kCppExceptionCode = 0xE06D7363;

NtCreateFileFn g_ntCreateFile = nullptr;
NtSetInformationFileFn g_ntSetInformationFile = nullptr;
NtFlushBuffersFileFn g_ntFlushBuffersFile = nullptr;
NtCloseFn g_ntClose = nullptr;
LdrLockLoaderLockFn g_lockLoader = nullptr;
LdrUnlockLoaderLockFn g_unlockLoader = nullptr;

// Paths in the native form (\??\C:\...) and as the user reads them, made at start.
const std::size_t kPathChars = 1100;
struct RescueTarget {
  wchar_t native[kPathChars];  // the report file, or the folder (with its backslash) for a dated name
  char shown[kPathChars];
  bool dated;  // the file name is the date of the rescue, as "save as" suggests it
};
RescueTarget g_targets[2] = {};
int g_targetCount = 0;

// Filled by the rescue thread only.
wchar_t g_nativePath[kPathChars + 16];
wchar_t g_tempPath[kPathChars + 40];
char g_shownPath[kPathChars + 16];
union {
  NtRenameInfo info;
  unsigned char bytes[sizeof(NtRenameInfo) + (kPathChars + 16) * sizeof(wchar_t)];
} g_rename;
char g_line[512];
char g_boxText[kPathChars + 512];

HANDLE g_signal = nullptr;      // the faulting thread wakes the rescue
HANDLE g_boxSignal = nullptr;   // the rescue wakes the box thread
HANDLE g_boxReady = nullptr;    // the box thread found heap and loader free
HANDLE g_rescueThread = nullptr;
HANDLE g_boxThread = nullptr;
DWORD g_rescueThreadId = 0;
DWORD g_boxThreadId = 0;
volatile LONG g_claimed = 0;
DWORD g_code = 0;
const void* g_address = nullptr;
const char* volatile g_section = nullptr;
bool g_saved = false;

char* Put(char* at, const char* end, const char* text) {
  while (*text != '\0' && at < end) *at++ = *text++;
  return at;
}

char* PutHex(char* at, const char* end, unsigned long long value, int digits) {
  static const char kHex[] = "0123456789ABCDEF";
  for (int i = digits - 1; i >= 0 && at < end; --i) *at++ = kHex[(value >> (4 * i)) & 0xF];
  return at;
}

char* PutDecimal(char* at, const char* end, unsigned value, int digits) {
  for (int i = digits - 1; i >= 0 && at < end; --i) {
    unsigned scale = 1;
    for (int k = 0; k < i; ++k) scale *= 10;
    *at++ = static_cast<char>('0' + (value / scale) % 10);
  }
  return at;
}

// The header text without its line breaks and the spaces around them. cp932
// trail bytes are never a space or a line break, so the ends are safe to trim.
char* PutSection(char* at, const char* end, const char* header) {
  if (header == nullptr) return Put(at, end, "なし");
  const char* from = header;
  while (*from == '\n' || *from == ' ') ++from;
  const char* to = from + std::strlen(from);
  while (to > from && (to[-1] == '\n' || to[-1] == ' ')) --to;
  while (from < to && at < end) *at++ = *from++;
  return at;
}

void ComposeLine() {
  char* at = g_line;
  const char* end = g_line + sizeof g_line - 3;
  at = Put(at, end, "※調査中に例外が発生したため調査を中断しました 実行中の調査: ");
  at = PutSection(at, end, g_section);
  at = Put(at, end, " 例外コード: ");
  at = PutHex(at, end, g_code, 8);
  at = Put(at, end, " アドレス: ");
  at = PutHex(at, end, reinterpret_cast<ULONG_PTR>(g_address), static_cast<int>(2 * sizeof(void*)));
  at = Put(at, end, " \n");
  *at = '\0';
}

// "YYYYMMDD.txt", the name "save as" suggests, of the rescue's time.
char* PutDatedName(char* at, const char* end) {
  const SYSTEMTIME& t = InvestigationEndTime;
  at = PutDecimal(at, end, t.wYear, 4);
  at = PutDecimal(at, end, t.wMonth, 2);
  at = PutDecimal(at, end, t.wDay, 2);
  return Put(at, end, ".txt");
}

std::size_t WideLength(const wchar_t* text) {
  std::size_t n = 0;
  while (text[n] != L'\0') ++n;
  return n;
}

// Builds the target's paths into the rescue's buffers.
void ComposePaths(const RescueTarget& target) {
  std::size_t n = WideLength(target.native);
  std::memcpy(g_nativePath, target.native, (n + 1) * sizeof(wchar_t));
  char* shown = Put(g_shownPath, g_shownPath + sizeof g_shownPath - 1, target.shown);
  if (target.dated) {
    char name[16];
    char* end = PutDatedName(name, name + sizeof name - 1);
    *end = '\0';
    for (const char* p = name; *p != '\0'; ++p) g_nativePath[n++] = static_cast<wchar_t>(*p);
    g_nativePath[n] = L'\0';
    shown = Put(shown, g_shownPath + sizeof g_shownPath - 1, name);
  }
  *shown = '\0';
}

HANDLE CreateNative(const wchar_t* path, ACCESS_MASK access, LONG* status) {
  NtUnicodeString name = {static_cast<USHORT>(WideLength(path) * sizeof(wchar_t)), 0, const_cast<PWSTR>(path)};
  name.MaximumLength = name.Length;
  NtObjectAttributes attributes = {sizeof attributes, nullptr, &name, kCaseInsensitive, nullptr, nullptr};
  NtIoStatus io = {};
  HANDLE file = nullptr;
  *status = g_ntCreateFile(&file, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, 0,
                           kFileCreate, kSynchronousIo | kNonDirectoryFile, nullptr, 0);
  return *status >= 0 ? file : nullptr;
}

// A new file beside the target, written whole and flushed, then put in the
// target's place in one step; the earlier file stays on any failure.
bool SaveTo(const RescueTarget& target) {
  ComposePaths(target);
  const std::size_t n = WideLength(g_nativePath);
  HANDLE file = nullptr;
  LONG status = 0;
  for (unsigned attempt = 0; attempt < 8 && file == nullptr; ++attempt) {
    std::memcpy(g_tempPath, g_nativePath, n * sizeof(wchar_t));
    wchar_t* at = g_tempPath + n;
    const unsigned long long tag = (static_cast<unsigned long long>(GetCurrentProcessId()) << 8) | attempt;
    *at++ = L'.';
    for (int i = 11; i >= 0; --i) *at++ = L"0123456789abcdef"[(tag >> (4 * i)) & 0xF];
    for (const wchar_t* p = L".tmp"; *p != L'\0'; ++p) *at++ = *p;
    *at = L'\0';
    file = CreateNative(g_tempPath, GENERIC_WRITE | DELETE, &status);
    if (file == nullptr && status != kNameCollision) return false;
  }
  if (file == nullptr) return false;
  DWORD error = 0;
  NtIoStatus io = {};
  bool ok = WriteEmergencyReport(file, g_line, 2000, &error) && g_ntFlushBuffersFile(file, &io) >= 0;
  if (ok) {
    g_rename.info.ReplaceIfExists = TRUE;
    g_rename.info.RootDirectory = nullptr;
    g_rename.info.FileNameLength = static_cast<ULONG>(n * sizeof(wchar_t));
    std::memcpy(g_rename.info.FileName, g_nativePath, n * sizeof(wchar_t));
    ok = g_ntSetInformationFile(file, &io, &g_rename, sizeof g_rename, kFileRenameInformation) >= 0;
  }
  if (!ok) {
    NtDispositionInfo gone = {TRUE};
    g_ntSetInformationFile(file, &io, &gone, sizeof gone, kFileDispositionInformation);
  }
  g_ntClose(file);
  return ok;
}

void ComposeBoxText() {
  char* at = g_boxText;
  const char* end = g_boxText + sizeof g_boxText - 1;
  at = Put(at, end, "調査中に問題が発生したため、調査を中断しました。\n\n");
  if (g_saved) {
    at = Put(at, end, "ここまでの調査結果を次のファイルに保存しました。\n");
    at = Put(at, end, g_shownPath);
  } else {
    at = Put(at, end, "ここまでの調査結果を保存できませんでした。");
  }
  *at = '\0';
}

DWORD WINAPI BoxThread(LPVOID) {
  WaitForSingleObject(g_boxSignal, INFINITE);
  // Both may allocate; the file is already written.
  CompanionEmergencyCleanup();
  HeapLock(GetProcessHeap());
  HeapUnlock(GetProcessHeap());
  // A box may load libraries: the loader must be free too.
  if (g_lockLoader != nullptr && g_unlockLoader != nullptr) {
    bool free = false;
    for (int attempt = 0; attempt < 100 && !free; ++attempt) {
      ULONG disposition = 0;
      ULONG_PTR cookie = 0;
      if (g_lockLoader(kLoaderTryOnly, &disposition, &cookie) >= 0 && disposition == kLoaderAcquired) {
        g_unlockLoader(0, cookie);
        free = true;
      } else {
        Sleep(20);
      }
    }
    if (!free) return 0;
  }
  SetEvent(g_boxReady);
  MessageBoxA(nullptr, g_boxText, "Report", MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
  return 0;
}

DWORD WINAPI RescueThread(LPVOID) {
  WaitForSingleObject(g_signal, INFINITE);
  if (InvestigationEndTime.wYear == 0) GetLocalTime(&InvestigationEndTime);
  ComposeLine();
  for (int i = 0; i < g_targetCount && !g_saved; ++i) g_saved = SaveTo(g_targets[i]);
  ComposeBoxText();
  SetEvent(g_boxSignal);
  // The companion's clean-up waits at most about 2 s; a heap or loader that
  // stays held leaves the box out, and the program ends without it.
  HANDLE waits[2] = {g_boxReady, g_boxThread};
  if (WaitForMultipleObjects(2, waits, FALSE, 6000) == WAIT_OBJECT_0) WaitForSingleObject(g_boxThread, INFINITE);
  TerminateProcess(GetCurrentProcess(), g_code != 0 ? g_code : 1);
  return 0;
}

// Runs on the faulting thread: record, wake the rescue, wait for the end.
[[noreturn]] void Rescue(DWORD code, const void* address) {
  const DWORD self = GetCurrentThreadId();
  if (self == g_rescueThreadId || self == g_boxThreadId) TerminateProcess(GetCurrentProcess(), code);
  if (InterlockedCompareExchange(&g_claimed, 1, 0) == 0) {
    g_code = code;
    g_address = address;
    SetEvent(g_signal);
  }
  for (;;) {
    WaitForSingleObject(g_rescueThread, INFINITE);
    TerminateProcess(GetCurrentProcess(), code);
  }
}

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* record = info != nullptr ? info->ExceptionRecord : nullptr;
  Rescue(record != nullptr ? record->ExceptionCode : 0, record != nullptr ? record->ExceptionAddress : nullptr);
}

[[noreturn]] void CrashOnTerminate() { Rescue(kCppExceptionCode, __builtin_return_address(0)); }

// "\??\" before a path of the Win32 form, "\??\UNC\" before a share.
bool ToNative(const std::wstring& path, wchar_t (&out)[kPathChars]) {
  std::wstring native;
  if (path.compare(0, 4, L"\\\\?\\") == 0) {
    native = L"\\??\\" + path.substr(4);
  } else if (path.compare(0, 2, L"\\\\") == 0) {
    native = L"\\??\\UNC\\" + path.substr(2);
  } else if (path.size() > 2 && path[1] == L':' && path[2] == L'\\') {
    native = L"\\??\\" + path;
  } else {
    return false;
  }
  if (native.size() + 16 >= kPathChars) return false;
  std::memcpy(out, native.c_str(), (native.size() + 1) * sizeof(wchar_t));
  return true;
}

void AddTarget(const std::string& shown, bool dated) {
  if (shown.empty() || shown.size() + 16 >= kPathChars) return;
  const int n = MultiByteToWideChar(CP_ACP, 0, shown.c_str(), -1, nullptr, 0);
  if (n <= 1) return;
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, shown.c_str(), -1, &wide[0], n);
  wide.resize(static_cast<std::size_t>(n - 1));
  RescueTarget& target = g_targets[g_targetCount];
  if (!ToNative(wide, target.native)) return;
  std::memcpy(target.shown, shown.c_str(), shown.size() + 1);
  target.dated = dated;
  ++g_targetCount;
}

template <class Fn>
Fn NtdllProc(HMODULE ntdll, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(ntdll, name)));
}
}  // namespace

void SetRunningSection(const char* header) { g_section = header; }

void ReserveRescueStack() {
  ULONG bytes = 32 * 1024;
  SetThreadStackGuarantee(&bytes);
}

void InstallCrashNet() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return;
  g_ntCreateFile = NtdllProc<NtCreateFileFn>(ntdll, "NtCreateFile");
  g_ntSetInformationFile = NtdllProc<NtSetInformationFileFn>(ntdll, "NtSetInformationFile");
  g_ntFlushBuffersFile = NtdllProc<NtFlushBuffersFileFn>(ntdll, "NtFlushBuffersFile");
  g_ntClose = NtdllProc<NtCloseFn>(ntdll, "NtClose");
  g_lockLoader = NtdllProc<LdrLockLoaderLockFn>(ntdll, "LdrLockLoaderLock");
  g_unlockLoader = NtdllProc<LdrUnlockLoaderLockFn>(ntdll, "LdrUnlockLoaderLock");
  if (g_ntCreateFile == nullptr || g_ntSetInformationFile == nullptr || g_ntFlushBuffersFile == nullptr ||
      g_ntClose == nullptr)
    return;
  // The file "save" writes, then the documents folder under the name "save
  // as" suggests.
  AddTarget(ProgramFolder() + "report_o.txt", false);
  const std::string documents = ExistingSpecialFolder(CSIDL_PERSONAL);
  if (!documents.empty()) AddTarget(documents.back() == '\\' ? documents : documents + "\\", true);

  g_signal = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  g_boxSignal = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  g_boxReady = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (g_signal == nullptr || g_boxSignal == nullptr || g_boxReady == nullptr) return;
  g_boxThread = CreateThread(nullptr, 256 * 1024, &BoxThread, nullptr, 0, &g_boxThreadId);
  if (g_boxThread == nullptr) return;
  g_rescueThread = CreateThread(nullptr, 64 * 1024, &RescueThread, nullptr, 0, &g_rescueThreadId);
  if (g_rescueThread == nullptr) return;
  ReserveRescueStack();
  // 32-bit programs on 64-bit Windows 7 lose a fault inside a window
  // procedure called back from the kernel unless told not to.
  typedef BOOL(WINAPI * PolicyGetFn)(LPDWORD);
  typedef BOOL(WINAPI * PolicySetFn)(DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  const auto getPolicy = reinterpret_cast<PolicyGetFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "GetProcessUserModeExceptionPolicy")));
  const auto setPolicy = reinterpret_cast<PolicySetFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetProcessUserModeExceptionPolicy")));
  DWORD policy = 0;
  if (getPolicy != nullptr && setPolicy != nullptr && getPolicy(&policy)) setPolicy(policy & ~1u);
  SetUnhandledExceptionFilter(&CrashFilter);
  std::set_terminate(&CrashOnTerminate);
}

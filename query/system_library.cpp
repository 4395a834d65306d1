#include "query/system_library.h"

#include <delayimp.h>

#include <wininet.h>
#include <winspool.h>

#include <cstring>

namespace {
typedef BOOL(WINAPI* SetDefaultDllDirectoriesFn)(DWORD);

// Plain data only: RestrictLibrarySearch and LoadDelayLoadedLibraries run
// before the C runtime has started, and the delay-load hook may run on any thread.
// -1 not known yet, 1 LoadLibraryExW takes LOAD_LIBRARY_SEARCH_* flags, 0 not.
volatile LONG g_searchFlags = -1;
bool g_searchLimited = false;

SetDefaultDllDirectoriesFn FindSetDefaultDllDirectories() {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  return kernel ? reinterpret_cast<SetDefaultDllDirectoriesFn>(
                      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")))
                : nullptr;
}

// The search flags came with SetDefaultDllDirectories (Windows 8, and
// Windows 7 with its loader update).
bool SearchFlagsSupported() {
  if (g_searchFlags < 0) g_searchFlags = FindSetDefaultDllDirectories() != nullptr ? 1 : 0;
  return g_searchFlags == 1;
}

// The delay-loaded libraries, loaded once at start.
struct DelayLoaded {
  const char* name;
  HMODULE module;
  DWORD error;  // why it could not be loaded; 0 when loaded or not tried
};
DelayLoaded g_delayLoaded[] = {
    {"version.dll", nullptr, 0}, {"wininet.dll", nullptr, 0}, {"winspool.drv", nullptr, 0}};
bool g_delayLoadedTried = false;

bool SameName(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    const char x = *a >= 'A' && *a <= 'Z' ? static_cast<char>(*a + 32) : *a;
    const char y = *b >= 'A' && *b <= 'Z' ? static_cast<char>(*b + 32) : *b;
    if (x != y) return false;
  }
  return *a == *b;
}

// Stand-ins for the functions of a library that could not be loaded. Each
// fails as the real one fails when it has nothing to give, with
// ERROR_MOD_NOT_FOUND, so the section that calls it writes its own failure
// line. Their types are checked against the system's declarations: a wrong
// argument size would unbalance the 32-bit stack.
template <class R>
R Missing(R value) {
  SetLastError(ERROR_MOD_NOT_FOUND);
  return value;
}
DWORD WINAPI NoGetFileVersionInfoSizeA(LPCSTR, LPDWORD) { return Missing<DWORD>(0); }
BOOL WINAPI NoGetFileVersionInfoA(LPCSTR, DWORD, DWORD, LPVOID) { return Missing<BOOL>(FALSE); }
BOOL WINAPI NoVerQueryValueA(LPCVOID, LPCSTR, LPVOID*, PUINT) { return Missing<BOOL>(FALSE); }
BOOL WINAPI NoCommitUrlCacheEntryA(LPCSTR, LPCSTR, FILETIME, FILETIME, DWORD, LPBYTE, DWORD, LPCSTR, LPCSTR) {
  return Missing<BOOL>(FALSE);
}
BOOL WINAPI NoCreateUrlCacheEntryA(LPCSTR, DWORD, LPCSTR, LPSTR, DWORD) { return Missing<BOOL>(FALSE); }
BOOL WINAPI NoFindCloseUrlCache(HANDLE) { return Missing<BOOL>(FALSE); }
HANDLE WINAPI NoFindFirstUrlCacheEntryA(LPCSTR, LPINTERNET_CACHE_ENTRY_INFOA, LPDWORD) {
  return Missing<HANDLE>(nullptr);
}
BOOL WINAPI NoFindNextUrlCacheEntryA(HANDLE, LPINTERNET_CACHE_ENTRY_INFOA, LPDWORD) { return Missing<BOOL>(FALSE); }
BOOL WINAPI NoClosePrinter(HANDLE) { return Missing<BOOL>(FALSE); }
BOOL WINAPI NoEnumPrintersA(DWORD, LPSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD) { return Missing<BOOL>(FALSE); }
BOOL WINAPI NoGetPrinterA(HANDLE, DWORD, LPBYTE, DWORD, LPDWORD) { return Missing<BOOL>(FALSE); }
BOOL WINAPI NoGetPrinterDriverA(HANDLE, LPSTR, DWORD, LPBYTE, DWORD, LPDWORD) { return Missing<BOOL>(FALSE); }
BOOL WINAPI NoOpenPrinterA(LPSTR, LPHANDLE, LPPRINTER_DEFAULTSA) { return Missing<BOOL>(FALSE); }

// Takes only a function of exactly the declared type F.
template <class F>
FARPROC AsProc(F function) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(function));
}
#define STAND_IN(name) {#name, AsProc<decltype(&::name)>(&No##name)}
struct StandIn {
  const char* name;
  FARPROC function;
};
// Every function of cmake/delayload/*.def.
const StandIn kStandIns[] = {
    STAND_IN(GetFileVersionInfoSizeA), STAND_IN(GetFileVersionInfoA),  STAND_IN(VerQueryValueA),
    STAND_IN(CommitUrlCacheEntryA),    STAND_IN(CreateUrlCacheEntryA), STAND_IN(FindCloseUrlCache),
    STAND_IN(FindFirstUrlCacheEntryA), STAND_IN(FindNextUrlCacheEntryA), STAND_IN(ClosePrinter),
    STAND_IN(EnumPrintersA),           STAND_IN(GetPrinterA),          STAND_IN(GetPrinterDriverA),
    STAND_IN(OpenPrinterA)};
#undef STAND_IN

// Stands for a library that could not be loaded: the helper needs a module
// to go on with, and asks the hook again for each function.
HMODULE MissingLibrary() { return GetModuleHandleW(nullptr); }

FARPROC StandInFor(PDelayLoadInfo info) {
  if (!info->dlp.fImportByName || info->dlp.szProcName == nullptr) return nullptr;
  for (const StandIn& standIn : kStandIns) {
    if (std::strcmp(standIn.name, info->dlp.szProcName) == 0) return standIn.function;
  }
  return nullptr;
}

// The C runtime's delay-load helper asks this hook before it loads a library
// and before it looks a function up, and again when either fails. The
// library comes from the load at start (or from the system folder, for one
// not in the table); one that could not be loaded is never looked for
// elsewhere, and its functions are the stand-ins above. Nothing here raises:
// the helper's own exception would end the program, since nothing catches it.
FARPROC WINAPI DelayLoadNotify(unsigned notify, PDelayLoadInfo info) {
  if (info == nullptr) return nullptr;
  switch (notify) {
    case dliNotePreLoadLibrary:
    case dliFailLoadLib: {
      if (info->szDll == nullptr) return reinterpret_cast<FARPROC>(MissingLibrary());
      for (const DelayLoaded& library : g_delayLoaded) {
        if (g_delayLoadedTried && SameName(library.name, info->szDll)) {
          return reinterpret_cast<FARPROC>(library.module != nullptr ? library.module : MissingLibrary());
        }
      }
      HMODULE module = LoadSystemLibrary(info->szDll);
      return reinterpret_cast<FARPROC>(module != nullptr ? module : MissingLibrary());
    }
    case dliNotePreGetProcAddress:
      return info->hmodCur == MissingLibrary() ? StandInFor(info) : nullptr;
    case dliFailGetProc:
      return StandInFor(info);
    default:
      return nullptr;
  }
}
}  // namespace

// The delay-load helper of the C runtime asks these hooks.
PfnDliHook __pfnDliNotifyHook2 = DelayLoadNotify;
PfnDliHook __pfnDliFailureHook2 = DelayLoadNotify;

void LoadDelayLoadedLibraries() {
  for (DelayLoaded& library : g_delayLoaded) {
    SetLastError(0);
    library.module = LoadSystemLibrary(library.name);
    library.error = library.module != nullptr ? 0 : (GetLastError() != 0 ? GetLastError() : ERROR_MOD_NOT_FOUND);
  }
  g_delayLoadedTried = true;
}

const char* MissingDelayLoadedLibrary(unsigned index, DWORD* error) {
  unsigned seen = 0;
  for (const DelayLoaded& library : g_delayLoaded) {
    if (library.error == 0) continue;
    if (seen++ == index) {
      if (error != nullptr) *error = library.error;
      return library.name;
    }
  }
  return nullptr;
}

bool LibrarySearchLimited() { return g_searchLimited; }

void RestrictLibrarySearch() {
  SetDefaultDllDirectoriesFn setDefault = FindSetDefaultDllDirectories();
  g_searchFlags = setDefault != nullptr ? 1 : 0;
  g_searchLimited = setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (g_searchLimited) return;
  // Older loaders: at least the current folder leaves the search.
  SetDllDirectoryW(L"");
}

HMODULE LoadSystemLibrary(const char* name) {
  if (name == nullptr) return nullptr;
  wchar_t wide[64];
  int n = 0;
  for (; name[n] != '\0'; ++n) {
    // Bare ASCII names only: a path would bypass the rule.
    const unsigned char c = static_cast<unsigned char>(name[n]);
    if (n + 1 >= 64 || c >= 0x80 || c == '\\' || c == '/' || c == ':') return nullptr;
    wide[n] = static_cast<wchar_t>(c);
  }
  wide[n] = L'\0';
  if (n == 0) return nullptr;
  if (SearchFlagsSupported()) return LoadLibraryExW(wide, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  // The full path; its own imports are then looked for beside it first.
  // Under WOW64 this is the 32-bit system folder, as it should be.
  wchar_t path[MAX_PATH + 64];
  const UINT length = GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  UINT at = length;
  if (path[at - 1] != L'\\') path[at++] = L'\\';
  for (int i = 0; i <= n; ++i) path[at + i] = wide[i];
  return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

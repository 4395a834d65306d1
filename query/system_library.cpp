#include "query/system_library.h"

#include <delayimp.h>

namespace {
typedef BOOL(WINAPI* SetDefaultDllDirectoriesFn)(DWORD);

// Plain data only: RestrictLibrarySearch runs before the C runtime has
// started, and the delay-load hook may run on any thread.
// -1 not known yet, 1 LoadLibraryExW takes LOAD_LIBRARY_SEARCH_* flags, 0 not.
volatile LONG g_searchFlags = -1;

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

// Delay-loaded imports load their library through the same rule instead of
// a plain LoadLibraryA. On Windows 7 without the loader update that is what
// keeps them out of the program's folder. When the system folder has no such
// library, returning nothing would make the helper search the program's
// folder after all: the load fails as a missing module instead.
FARPROC WINAPI DelayLoadNotify(unsigned notify, PDelayLoadInfo info) {
  if (notify != dliNotePreLoadLibrary || info == nullptr || info->szDll == nullptr) return nullptr;
  HMODULE module = LoadSystemLibrary(info->szDll);
  if (module == nullptr) {
    ULONG_PTR argument = reinterpret_cast<ULONG_PTR>(info);
    RaiseException(VcppException(ERROR_SEVERITY_ERROR, ERROR_MOD_NOT_FOUND), 0, 1, &argument);
  }
  return reinterpret_cast<FARPROC>(module);
}
}  // namespace

// The delay-load helper of the C runtime asks this hook before it loads.
PfnDliHook __pfnDliNotifyHook2 = DelayLoadNotify;

void RestrictLibrarySearch() {
  SetDefaultDllDirectoriesFn setDefault = FindSetDefaultDllDirectories();
  g_searchFlags = setDefault != nullptr ? 1 : 0;
  if (setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
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

// Test helper: Report's own entry point (app/main.cpp, linked in front of this
// main) and then questions about where bare library names are found. The test
// plants marker copies of dwmapi.dll and wininet.dll beside this program.
//   search_probe restricted  exit 0 when a bare LoadLibraryA("dwmapi.dll")
//                            does not take the copy beside the program;
//   search_probe hook        widens the search to the program's folder again
//                            (the copy must now load, else exit 11), unloads
//                            the wininet of the start (exit 12 if it stays),
//                            loads the delay-loaded libraries again, as on a
//                            loader whose search could not be limited, and
//                            calls a delay-loaded wininet function: exit 0
//                            when wininet came from elsewhere.
// Exit 10 when a copy beside the program was loaded.
#include <windows.h>
#include <wininet.h>

#include <cstring>

#include "query/system_library.h"

namespace {
typedef BOOL(WINAPI* SetDefaultDllDirectoriesFn)(DWORD);

bool BesideProgram(HMODULE module) {
  char self[MAX_PATH] = {}, path[MAX_PATH] = {};
  if (module == nullptr || GetModuleFileNameA(nullptr, self, MAX_PATH) == 0 ||
      GetModuleFileNameA(module, path, MAX_PATH) == 0)
    return false;
  const char* selfEnd = std::strrchr(self, '\\');
  const char* pathEnd = std::strrchr(path, '\\');
  return selfEnd != nullptr && pathEnd != nullptr && selfEnd - self == pathEnd - path &&
         _strnicmp(self, path, static_cast<size_t>(selfEnd - self)) == 0;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "hook") != 0) return BesideProgram(LoadLibraryA("dwmapi.dll")) ? 10 : 0;
  const auto widen = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
  if (widen == nullptr || !widen(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS) || !BesideProgram(LoadLibraryA("dwmapi.dll")))
    return 11;
  // The start loaded wininet under the limited search; only a load made now
  // shows where the start-up load and the hook look.
  if (HMODULE early = GetModuleHandleA("wininet.dll")) {
    FreeLibrary(early);
    if (GetModuleHandleA("wininet.dll") != nullptr) return 12;
  }
  LoadDelayLoadedLibraries();
  // Any delay-loaded wininet function does; its answer does not matter.
  FindCloseUrlCache(nullptr);
  return BesideProgram(GetModuleHandleA("wininet.dll")) ? 10 : 0;
}

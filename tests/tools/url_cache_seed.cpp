// Test-only: gives the fixture machine an Internet cache, as any Windows that
// has used its browser has: commits one entry of the given number of MByte.
// url_cache_seed.exe <url> <megabytes>
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
typedef BOOL(WINAPI* CreateEntryFn)(LPCSTR, DWORD, LPCSTR, LPSTR, DWORD);
typedef BOOL(WINAPI* CommitEntryFn)(LPCSTR, LPCSTR, FILETIME, FILETIME, DWORD, LPBYTE, DWORD, LPCSTR, LPCSTR);
typedef HANDLE(WINAPI* FindFirstFn)(LPCSTR, LPINTERNET_CACHE_ENTRY_INFOA, LPDWORD);
typedef BOOL(WINAPI* FindCloseFn)(HANDLE);
}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: url_cache_seed <url> <megabytes>\n");
    return 2;
  }
  HMODULE wininet = LoadLibraryA("wininet.dll");
  auto create = wininet ? reinterpret_cast<CreateEntryFn>(
                              reinterpret_cast<void*>(GetProcAddress(wininet, "CreateUrlCacheEntryA")))
                        : nullptr;
  auto commit = wininet ? reinterpret_cast<CommitEntryFn>(
                              reinterpret_cast<void*>(GetProcAddress(wininet, "CommitUrlCacheEntryA")))
                        : nullptr;
  if (create == nullptr || commit == nullptr) return 3;
  const DWORD mbytes = static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10));
  char file[MAX_PATH] = {};
  if (!create(argv[1], mbytes << 20, "bin", file, 0)) return 4;
  HANDLE h = CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 5;
  const std::string block(1 << 20, 'r');
  for (DWORD i = 0; i < mbytes; ++i) {
    DWORD written = 0;
    WriteFile(h, block.data(), static_cast<DWORD>(block.size()), &written, nullptr);
  }
  CloseHandle(h);
  FILETIME zero = {};
  if (!commit(argv[1], file, zero, zero, NORMAL_CACHE_ENTRY, nullptr, 0, nullptr, nullptr)) return 6;
  // Listing the whole cache once sets up every container (history, cookies)
  // the way a used system has them.
  auto findFirst = reinterpret_cast<FindFirstFn>(
      reinterpret_cast<void*>(GetProcAddress(wininet, "FindFirstUrlCacheEntryA")));
  auto findClose = reinterpret_cast<FindCloseFn>(reinterpret_cast<void*>(GetProcAddress(wininet, "FindCloseUrlCache")));
  if (findFirst != nullptr && findClose != nullptr) {
    DWORD entry[1024];
    DWORD size = sizeof entry;
    HANDLE find = findFirst(nullptr, reinterpret_cast<LPINTERNET_CACHE_ENTRY_INFOA>(entry), &size);
    if (find != nullptr) findClose(find);
  }
  std::printf("%s\n", file);
  return 0;
}

#include "probes/system/memory_cache.h"

#include <wininet.h>

#include "base/owner.h"
#include "log/report_log.h"

namespace {
const DWORD kCacheEntryBuffer = 4096;
// At most this much free physical memory is too little.
const DWORDLONG kLowPhysicalMemory = 0x1400000;  // 20 MByte

unsigned long long MByte(DWORDLONG bytes) { return static_cast<unsigned long long>(bytes >> 20); }

struct CacheFindTraits {
  using value_type = HANDLE;
  static HANDLE invalid() { return nullptr; }
  static bool valid(HANDLE h) { return h != nullptr; }
  static void close(HANDLE h) { FindCloseUrlCache(h); }
};
}  // namespace

void CheckInternetCache(decltype(&FindFirstUrlCacheEntryA) findFirst) {
  // DWORD-aligned so the entry record can be read in place.
  DWORD buffer[kCacheEntryBuffer / sizeof(DWORD)];
  auto* entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer);
  DWORD size = kCacheEntryBuffer;
  unsigned long long total = 0;
  Owned<CacheFindTraits> find(findFirst(nullptr, entry, &size));
  if (!find) {
    const DWORD error = GetLastError();
    if (error != ERROR_NO_MORE_ITEMS) {
      WriteDetailLine("インターネットキャッシュ取得失敗 %x\n", static_cast<unsigned>(error));
      WriteUserLine("★インターネットキャッシュ不明\n");
      return;
    }
  } else {
    for (;;) {
      total += (static_cast<unsigned long long>(entry->dwSizeHigh) << 32) | entry->dwSizeLow;
      size = kCacheEntryBuffer;
      if (FindNextUrlCacheEntryA(find.get(), entry, &size)) continue;
      const DWORD error = GetLastError();
      if (error != ERROR_NO_MORE_ITEMS) {
        WriteDetailLine("インターネットキャッシュ取得中断 %x\n", static_cast<unsigned>(error));
      }
      break;
    }
  }
  WriteUserLine("●インターネットキャッシュ %dMByte使用 \n", static_cast<int>(total >> 20));
}

void ReportMemoryStatus(const MEMORYSTATUSEX& s, bool ok, DWORD error) {
  if (!ok) {
    WriteSupportLine("Error GlobalMemoryStatusEx() return=0x%X, ecode=0x%X \n", 0u, static_cast<unsigned>(error));
  }
  WriteSupportLine("メモリ使用率%d％ \n", static_cast<int>(s.dwMemoryLoad));
  WriteSupportLine("物理空きメモリ=%lluMByte, 物理総メモリ=%lluMByte \n", MByte(s.ullAvailPhys), MByte(s.ullTotalPhys));
  WriteSupportLine("ページ空きメモリ=%lluMByte, ページ総メモリ=%lluMByte \n", MByte(s.ullAvailPageFile),
                   MByte(s.ullTotalPageFile));
  WriteSupportLine("仮想空きメモリ=%lluMByte, 仮想総メモリ=%lluMByte \n", MByte(s.ullAvailVirtual),
                   MByte(s.ullTotalVirtual));
  WriteUserLine("%s空きメモリ確認 物理=%lluMByte 仮想%lluMByte \n", s.ullAvailPhys <= kLowPhysicalMemory ? "★" : "●",
                MByte(s.ullAvailPhys), MByte(s.ullAvailVirtual));
}

void CheckMemory() {
  MEMORYSTATUSEX status = {};
  status.dwLength = sizeof status;
  const bool ok = GlobalMemoryStatusEx(&status) != 0;
  const DWORD error = ok ? 0 : GetLastError();
  if (!ok) {
    status = MEMORYSTATUSEX{};
    status.dwLength = sizeof status;
  }
  ReportMemoryStatus(status, ok, error);
}

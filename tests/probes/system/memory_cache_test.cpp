#include "probes/system/memory_cache.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

TEST(ReportMemoryStatus, FiguresAndThreshold) {
  MEMORYSTATUSEX s = {};
  s.dwLength = sizeof s;
  s.dwMemoryLoad = 42;
  s.ullTotalPhys = 16ull << 30;
  s.ullAvailPhys = 20ull << 20;  // exactly 20 MByte: too little
  s.ullTotalPageFile = 1ull << 40;
  s.ullAvailPageFile = (1ull << 20) - 1;
  s.ullTotalVirtual = 128ull << 40;
  s.ullAvailVirtual = 3ull << 30;
  {
    LogCapture log;
    ReportMemoryStatus(s, true, 0);
    EXPECT_EQ(
        "メモリ使用率42％ \n"
        "物理空きメモリ=20MByte, 物理総メモリ=16384MByte \n"
        "ページ空きメモリ=0MByte, ページ総メモリ=1048576MByte \n"
        "仮想空きメモリ=3072MByte, 仮想総メモリ=134217728MByte \n"
        "★空きメモリ確認 物理=20MByte 仮想3072MByte \n",
        log.Support());
    EXPECT_EQ("★空きメモリ確認 物理=20MByte 仮想3072MByte \n", log.User());
  }
  s.ullAvailPhys += 1;
  {
    LogCapture log;
    ReportMemoryStatus(s, true, 0);
    EXPECT_EQ("●空きメモリ確認 物理=20MByte 仮想3072MByte \n", log.User());
  }
  MEMORYSTATUSEX zero = {};
  LogCapture log;
  ReportMemoryStatus(zero, false, 0x57);
  EXPECT_EQ(0u, log.Support().find("Error GlobalMemoryStatusEx() return=0x0, ecode=0x57 \n"));
  EXPECT_EQ("★空きメモリ確認 物理=0MByte 仮想0MByte \n", log.User());
}

// A cache whose first entry cannot be read: empty (0 MByte, no trace), or an
// index the system cannot open, which leaves the size unknown.
static HANDLE WINAPI EmptyCache(LPCSTR, LPINTERNET_CACHE_ENTRY_INFOA, LPDWORD) {
  SetLastError(ERROR_NO_MORE_ITEMS);
  return nullptr;
}
static HANDLE WINAPI MissingCacheIndex(LPCSTR, LPINTERNET_CACHE_ENTRY_INFOA, LPDWORD) {
  SetLastError(ERROR_FILE_NOT_FOUND);
  return nullptr;
}

TEST(CheckInternetCache, EmptyOrUnreadableCache) {
  const struct {
    decltype(&FindFirstUrlCacheEntryA) findFirst;
    const char* user;
    const char* detail;
  } cases[] = {
      {EmptyCache, "●インターネットキャッシュ 0MByte使用 \n", "●インターネットキャッシュ 0MByte使用 \n"},
      {MissingCacheIndex, "★インターネットキャッシュ不明\n", "インターネットキャッシュ取得失敗 2\n★インターネットキャッシュ不明\n"},
  };
  for (const auto& c : cases) {
    LogCapture log;
    CheckInternetCache(c.findFirst);
    EXPECT_EQ(c.user, log.User());
    EXPECT_EQ(c.detail, log.Detail());
  }
}

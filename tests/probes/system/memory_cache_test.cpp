#include "probes/system/memory_cache.h"

#include <gtest/gtest.h>
#include <wininet.h>

#include <cstdlib>

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

namespace {
// The MByte figure of the cache line, or -1.
long CacheMBytes(const std::string& user) {
  const std::string head = "●インターネットキャッシュ ";
  if (user.find(head) != 0) return -1;
  return std::strtol(user.c_str() + head.size(), nullptr, 10);
}
}  // namespace

// A real cache entry of exactly 3 MByte raises the reported figure by exactly 3.
TEST(CheckInternetCache, CountsARealEntry) {
  long before;
  {
    LogCapture log;
    CheckInternetCache();
    before = CacheMBytes(log.User());
    ASSERT_GE(before, 0) << log.User();
    EXPECT_EQ(log.User(), log.Support());  // the verdict is the only line
  }
  const char url[] = "http://report-tests.invalid/system/cache-entry.bin";
  char file[MAX_PATH] = {};
  ASSERT_TRUE(CreateUrlCacheEntryA(url, 3 << 20, "bin", file, 0));
  {
    HANDLE h = CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    std::string block(1 << 20, 'x');
    for (int i = 0; i < 3; ++i) {
      DWORD written = 0;
      WriteFile(h, block.data(), static_cast<DWORD>(block.size()), &written, nullptr);
    }
    CloseHandle(h);
  }
  FILETIME zero = {};
  ASSERT_TRUE(CommitUrlCacheEntryA(url, file, zero, zero, NORMAL_CACHE_ENTRY, nullptr, 0, nullptr, nullptr));
  long after;
  {
    LogCapture log;
    CheckInternetCache();
    after = CacheMBytes(log.User());
  }
  DeleteUrlCacheEntryA(url);
  EXPECT_EQ(before + 3, after);
}

#include "probes/system/os_name_rules.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {
std::string Name9x(unsigned major, unsigned minor, const char* csd) {
  return OsNameText(major, minor, 1, 0, csd, 128);
}
std::string NameNt(unsigned major, unsigned minor, unsigned type, const char* csd = "") {
  return OsNameText(major, minor, 2, type, csd, 128);
}
}  // namespace

TEST(OsNameText, Windows9xNamesAndSuffixes) {
  EXPECT_EQ("Windows95", Name9x(4, 0, ""));
  EXPECT_EQ("Windows95 OSR2", Name9x(4, 0, " B"));
  EXPECT_EQ("Windows95 OSR2.5", Name9x(4, 0, " C"));
  EXPECT_EQ("Windows95 SP1", Name9x(4, 0, " a"));
  EXPECT_EQ("Windows95", Name9x(4, 0, " A"));  // only B, C and a name a release
  EXPECT_EQ("Windows98 se", Name9x(4, 10, " A"));
  EXPECT_EQ("Windows98", Name9x(4, 10, " B"));
  EXPECT_EQ("WindowsMe", Name9x(4, 90, " A"));
  EXPECT_EQ("不明なWindows9x", Name9x(3, 0, " C"));
  EXPECT_EQ("不明なWindows9x", Name9x(4, 20, ""));
}

TEST(OsNameText, NtNamesByProductTypeAndServicePack) {
  EXPECT_EQ("Windows 7 Service Pack 1", NameNt(6, 1, 1, "Service Pack 1"));
  EXPECT_EQ("Windows Server 2008 R2", NameNt(6, 1, 3));
  EXPECT_EQ("Windows 2000 Server", NameNt(5, 0, 2));
  EXPECT_EQ("Windows XP", NameNt(5, 1, 3));
  EXPECT_EQ("Windows Server 2003", NameNt(5, 2, 2));
  EXPECT_EQ("Windows NT 3.51", NameNt(3, 51, 1));
  EXPECT_EQ("Windows 8.1", NameNt(6, 3, 1));
  EXPECT_EQ("Windows Server 2012 R2", NameNt(6, 3, 2));
  EXPECT_EQ("Windows 10", NameNt(10, 0, 1));
  EXPECT_EQ("Windows Server 2016", NameNt(10, 0, 3));
  EXPECT_EQ("未知のOS", NameNt(6, 4, 1));
  EXPECT_EQ("未知のOS", NameNt(11, 0, 1));
  EXPECT_EQ("未知のOS", NameNt(10, 1, 1));
  // Majors 3 to 5 with an unnamed minor give an empty name: only the suffix remains.
  EXPECT_EQ(" Service Pack 3", NameNt(5, 7, 1, "Service Pack 3"));
  EXPECT_EQ("", NameNt(4, 1, 1));
}

TEST(OsNameText, UnterminatedServicePackTextIsBounded) {
  char csd[8];
  std::memset(csd, 'x', sizeof csd);
  EXPECT_EQ("Windows 7 xxxxxxxx", OsNameText(6, 1, 2, 1, csd, sizeof csd));
  EXPECT_EQ("Windows 7", OsNameText(6, 1, 2, 1, nullptr, 0));
}

TEST(MachineNameText, KnownAndUnknownCodes) {
  EXPECT_STREQ("x86", MachineNameText(0x014C));
  EXPECT_STREQ("ARM", MachineNameText(0x01C0));
  EXPECT_STREQ("x64", MachineNameText(0x8664));
  EXPECT_STREQ("unknown", MachineNameText(0xAA64));
  EXPECT_STREQ("unknown", MachineNameText(0));
}

TEST(MakeOsVersionCode, FoldsOlderSystemsInto63) {
  EXPECT_EQ(0x0A004563u, MakeOsVersionCode(10, 17763));
  EXPECT_EQ(0x0A002345u, MakeOsVersionCode(10, 0x12345));  // the build keeps its low 16 bits
  EXPECT_EQ(0x0B000001u, MakeOsVersionCode(11, 1));
  EXPECT_EQ(0x06030000u, MakeOsVersionCode(6, 9600));
  EXPECT_EQ(0x06030000u, MakeOsVersionCode(5, 2600));
}

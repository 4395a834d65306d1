#include "probes/system/os_name_rules.h"

#include <gtest/gtest.h>

TEST(OsNameText, BothTablesAndSuffixes) {
  EXPECT_EQ("Windows95 OSR2.5", OsNameText(4, 0, 1, 0, " C", 128));
  EXPECT_EQ("Windows95 SP1", OsNameText(4, 0, 1, 0, " a", 128));
  EXPECT_EQ("Windows98 se", OsNameText(4, 10, 1, 0, " A", 128));
  EXPECT_EQ("WindowsMe", OsNameText(4, 90, 1, 0, " A", 128));
  EXPECT_EQ("不明なWindows9x", OsNameText(3, 0, 1, 0, " C", 128));
  EXPECT_EQ("Windows 7 Service Pack 1", OsNameText(6, 1, 2, 1, "Service Pack 1", 128));
  EXPECT_EQ("Windows Server 2008 R2", OsNameText(6, 1, 2, 3, "", 128));
  EXPECT_EQ("Windows 2000 Server", OsNameText(5, 0, 2, 2, "", 128));
  EXPECT_EQ("Windows XP", OsNameText(5, 1, 2, 3, "", 128));
  EXPECT_EQ("Windows Server 2016", OsNameText(10, 0, 2, 3, "", 128));
  EXPECT_EQ("未知のOS", OsNameText(6, 4, 2, 1, "", 128));
  EXPECT_EQ("未知のOS", OsNameText(11, 0, 2, 1, "", 128));
  // Majors 3 to 5 with an unnamed minor give an empty name: only the suffix remains.
  EXPECT_EQ(" Service Pack 3", OsNameText(5, 7, 2, 1, "Service Pack 3", 128));
  // A service-pack text without a terminator is read up to its size only.
  EXPECT_EQ("Windows 7 xxxx", OsNameText(6, 1, 2, 1, "xxxxyyyy", 4));
}

TEST(OsNameText, MachinesAndVersionCode) {
  EXPECT_STREQ("x86", MachineNameText(0x014C));
  EXPECT_STREQ("ARM", MachineNameText(0x01C0));
  EXPECT_STREQ("x64", MachineNameText(0x8664));
  EXPECT_STREQ("unknown", MachineNameText(0xAA64));
  EXPECT_EQ(0x0A004563u, MakeOsVersionCode(10, 17763));
  EXPECT_EQ(0x0A002345u, MakeOsVersionCode(10, 0x12345));  // the build keeps its low 16 bits
  EXPECT_EQ(0x0B000001u, MakeOsVersionCode(11, 1));
  EXPECT_EQ(0x06030000u, MakeOsVersionCode(6, 9600));
}

#include "query/com_server_rules.h"

#include <gtest/gtest.h>

TEST(ServerPathRules, QuotedPathsLoseQuotesAndArguments) {
  EXPECT_EQ(ServerPathFromRegistered("\"C:\\Program Files\\Office\\EXCEL.EXE\" /automation"),
            "C:\\Program Files\\Office\\EXCEL.EXE");
  EXPECT_EQ(ServerPathFromRegistered("C:\\Office\\EXCEL.EXE /automation"), "C:\\Office\\EXCEL.EXE /automation");
  EXPECT_EQ(ServerPathFromRegistered("\"C:\\unclosed\\EXCEL.EXE"), "C:\\unclosed\\EXCEL.EXE");
  EXPECT_EQ(ServerPathFromRegistered(""), "");
  // 表 is 0x95 0x5C: its trail byte must not end the folder name.
  EXPECT_EQ(ServerPathFromRegistered("\"C:\\表\\x.exe\" -a"), "C:\\表\\x.exe");
}

TEST(ServerPathRules, UnquotedCommandLinePrefixesLongestFirst) {
  using V = std::vector<std::string>;
  EXPECT_EQ(UnquotedCommandPrefixes("C:\\PROGRA~1\\MICROS~1\\Office16\\EXCEL.EXE /automation"),
            V({"C:\\PROGRA~1\\MICROS~1\\Office16\\EXCEL.EXE"}));
  EXPECT_EQ(UnquotedCommandPrefixes("C:\\Program Files\\Office\\EXCEL.EXE  /automation -x"),
            V({"C:\\Program Files\\Office\\EXCEL.EXE  /automation", "C:\\Program Files\\Office\\EXCEL.EXE",
               "C:\\Program"}));
  EXPECT_EQ(UnquotedCommandPrefixes("\"C:\\Program Files\\x.exe\" /a"), V());
  EXPECT_EQ(UnquotedCommandPrefixes("C:\\x.exe"), V());
  EXPECT_EQ(UnquotedCommandPrefixes(" lead"), V());
}

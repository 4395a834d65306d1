// The companion's command line and pipe path.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "modlist6/pipe_name_rules.h"

namespace {
std::string Name(const char* tail) {
  std::string name = "stale";
  return FindPipeName(tail, name) ? name : "<none:" + name + ">";
}

TEST(PipeNameTest, TheLastDashDecides) {
  EXPECT_EQ(Name("-nReport4711"), "Report4711");
  EXPECT_EQ(Name("x-y -nabc"), "abc");
  EXPECT_EQ(Name("-nabc x-y"), "<none:>");
  EXPECT_EQ(Name("-nRep-nort"), "ort");
  EXPECT_EQ(Name("-nReport-1"), "<none:>");
  EXPECT_EQ(Name("-n"), "");
  EXPECT_EQ(Name("-n with blanks "), " with blanks ");
  EXPECT_EQ(Name("-N upper"), "<none:>");
  EXPECT_EQ(Name(""), "<none:>");
  EXPECT_EQ(Name("plain"), "<none:>");
  EXPECT_EQ(Name(nullptr), "<none:>");
  EXPECT_EQ(Name("-"), "<none:>");
}

TEST(PipeNameTest, CommandLineTailAfterTheProgramName) {
  EXPECT_STREQ(CommandLineTail("C:\\Temp\\Modlist6.exe -nReport4711"), "-nReport4711");
  EXPECT_STREQ(CommandLineTail("\"C:\\Program Files\\ソフト\\Modlist6.exe\"   -nR1"), "-nR1");
  EXPECT_STREQ(CommandLineTail("\"C:\\a-nx\\Modlist6.exe\""), "");
  EXPECT_STREQ(CommandLineTail("Modlist6.exe\t\t-n x"), "-n x");
  EXPECT_STREQ(CommandLineTail("\"unterminated -nx"), "");
  EXPECT_STREQ(CommandLineTail(""), "");
  EXPECT_STREQ(CommandLineTail(nullptr), "");
  // The program's own path never supplies the name.
  std::string name;
  EXPECT_FALSE(FindPipeName(CommandLineTail("\"C:\\x-nFolder\\Modlist6.exe\""), name));
}

TEST(PipePathTest, FitsThirtyTwoBytesOrIsRefused) {
  char buffer[32];
  ASSERT_TRUE(BuildPipePath("Report4711", buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "\\\\.\\pipe\\Report4711");
  const std::string longest(22, 'n');
  ASSERT_TRUE(BuildPipePath(longest, buffer, sizeof buffer));
  EXPECT_EQ(std::strlen(buffer), 31u);
  EXPECT_EQ(std::string(buffer + 9), longest);
}

TEST(PipePathTest, TooLongNameWritesNothingPastTheBuffer) {
  // A guard region after the 32 bytes must stay untouched.
  char region[64];
  std::memset(region, 'G', sizeof region);
  EXPECT_FALSE(BuildPipePath(std::string(23, 'n'), region, 32));
  EXPECT_EQ(region[0], '\0');
  for (int i = 32; i < 64; ++i) ASSERT_EQ(region[i], 'G') << i;
  EXPECT_FALSE(BuildPipePath(std::string(5000, 'n'), region, 32));
  EXPECT_FALSE(BuildPipePath("abc", region, 0));
  EXPECT_EQ(region[0], '\0');
  EXPECT_FALSE(BuildPipePath("abc", nullptr, 32));
  EXPECT_FALSE(BuildPipePath(std::string("a\0b", 3), region, 32));
}
}  // namespace

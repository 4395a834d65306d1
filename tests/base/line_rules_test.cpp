// How report lines are formatted and finished.
#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

#include "base/line_rules.h"

namespace {
std::string Format(const char* format, ...) {
  std::string out = "left over";
  std::va_list args;
  va_start(args, format);
  const bool ok = FormatLineV(out, format, args);
  va_end(args);
  return ok ? out : "<failed>";
}

std::string Finished(std::string line) {
  ApplyNewlineRule(line);
  return line;
}

TEST(NewlineRuleTest, OnlyALineWithoutFinalLineFeedGetsOne) {
  EXPECT_EQ(Finished(""), "\n");
  EXPECT_EQ(Finished("\nキャッシュの保存容量"), "\nキャッシュの保存容量\n");
  EXPECT_EQ(Finished("\nOSの確認 \n"), "\nOSの確認 \n");
  EXPECT_EQ(Finished("a\nb"), "a\nb\n");
  EXPECT_EQ(Finished("\n"), "\n");
  EXPECT_EQ(Finished("\n\n"), "\n\n");
  // A carriage return is not a line end of its own.
  EXPECT_EQ(Finished("x\r"), "x\r\n");
  // Text ending in a double-byte character whose trail byte is 0x5C.
  EXPECT_EQ(Finished("表"), "表\n");
}

TEST(FormatLineTest, PrintfRulesWithoutLengthLimit) {
  EXPECT_EQ(Format("%s %d %lu %.3s", "ab", -5, 7ul, "abcdef"), "ab -5 7 abc");
  EXPECT_EQ(Format("%%s"), "%s");
  EXPECT_EQ(Format(""), "");
  const std::string big(100000, 'x');
  EXPECT_EQ(Format("[%s]", big.c_str()), "[" + big + "]");
  // Text from the machine goes in as an argument and is not interpreted.
  EXPECT_EQ(Format("%s", "100% %n %s"), "100% %n %s");
  EXPECT_EQ(Format("%.199s", std::string(300, 'p').c_str()), std::string(199, 'p'));
}

TEST(FormatLineTest, MissingFormatFailsWithAnEmptyLine) {
  std::string out = "old";
  std::va_list none{};
  EXPECT_FALSE(FormatLineV(out, nullptr, none));
  EXPECT_EQ(out, "");
}
}  // namespace

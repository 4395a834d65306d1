// The module line shared by Report and the companion.
#include <gtest/gtest.h>

#include "query/module_line_rules.h"

namespace {
TEST(ModuleLineTest, FieldsInOrderWithQuotedProductVersion) {
  ModuleTexts t;
  t.handle = "00007FF812340000";
  t.name = "a%sb.dll";
  t.path = "C:\\表示\\a%sb.dll";
  t.fileVersion = "1.2.3.4";
  t.originalFilename = "orig.dll";
  t.companyName = "Contoso";
  t.productName = "製品";
  t.productVersion = "1, 2";
  EXPECT_EQ(ModuleLine(t),
            "00007FF812340000, a%sb.dll, C:\\表示\\a%sb.dll, 1.2.3.4, orig.dll, Contoso, 製品, \"1, 2\" \n");
  EXPECT_EQ(ModuleLine(ModuleTexts{}), ", , , , , , , \"\" \n");
}

TEST(ModuleLineTest, ControlCharactersInsideTextsBecomeBlanks) {
  ModuleTexts t;
  t.handle = "7ff0";
  t.name = "odd.dll";
  t.path = "C:\\表\\odd.dll";  // 表 ends in 0x5C and stays whole
  t.originalFilename = std::string("a\0b", 3);
  t.companyName = "Line one\r\nLine two";
  t.productName = "\n\nTab\there\x1a\x7f";
  t.productVersion = "1.0\r";
  const std::string line = ModuleLine(t);
  EXPECT_EQ(line, std::string("7ff0, odd.dll, C:\\表\\odd.dll, , a b, Line one  Line two,   Tab here  , \"1.0 \" \n"));
  // Only the final line end is left, so the line stays one line on the pipe.
  EXPECT_EQ(line.find_first_of("\r\n"), line.size() - 1);
}

// The rule every outside text goes through before it enters a report line.
TEST(ModuleLineTest, OutsideTextKeepsToOneLine) {
  const std::string forged = "Clip\r\n\xE2\x97\x8F Forged\x7f\x0b\x1f end";  // UTF-8 bytes pass as they are
  EXPECT_EQ(WithoutControls(forged), "Clip  \xE2\x97\x8F Forged    end");
  EXPECT_EQ(WithoutControls(std::string("a\0b", 3)), "a b");
  // cp932: 表 (0x95 0x5C) and ソ (0x83 0x5C) keep their trail bytes; 0x80-0xFF are not controls.
  EXPECT_EQ(WithoutControls("\x95\x5C\r\x83\x5C\xFF\x80"), "\x95\x5C \x83\x5C\xFF\x80");
  char title[] = "x\r\n\x81\x9C verdict\t";
  BlankControls(title);
  EXPECT_STREQ(title, "x  \x81\x9C verdict ");
  BlankControls(nullptr);
}

TEST(ModuleLineTest, MicrosoftCompanyWithoutRegardToCase) {
  EXPECT_TRUE(IsMicrosoftCompany("Microsoft Corporation"));
  EXPECT_TRUE(IsMicrosoftCompany("MICROSOFT CORPORATION"));
  EXPECT_FALSE(IsMicrosoftCompany("Microsoft Corporation "));
  EXPECT_FALSE(IsMicrosoftCompany("Microsoft"));
  EXPECT_FALSE(IsMicrosoftCompany(""));
}
}  // namespace

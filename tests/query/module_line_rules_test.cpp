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

TEST(ModuleLineTest, MicrosoftCompanyWithoutRegardToCase) {
  EXPECT_TRUE(IsMicrosoftCompany("Microsoft Corporation"));
  EXPECT_TRUE(IsMicrosoftCompany("MICROSOFT CORPORATION"));
  EXPECT_FALSE(IsMicrosoftCompany("Microsoft Corporation "));
  EXPECT_FALSE(IsMicrosoftCompany("Microsoft"));
  EXPECT_FALSE(IsMicrosoftCompany(""));
}
}  // namespace

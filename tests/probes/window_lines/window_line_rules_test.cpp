// Portable rules of the window lines and the browser section's process walk.
#include <gtest/gtest.h>

#include "probes/window_lines/window_line_rules.h"

TEST(WindowLineRules, IndentWalkTestsAndDialogControl) {
  EXPECT_EQ(WindowIndent(1), "  ");
  EXPECT_EQ(WindowIndent(127).size(), 254u);
  EXPECT_EQ(WindowIndent(1 << 30).size(), 254u);  // never past the 255-character buffer
  EXPECT_EQ(ProcessWalkTests("QMNHOST64.exe"), unsigned(kWalkChromeHost));
  EXPECT_EQ(ProcessWalkTests("excel.exe.bak"), 0u);
  EXPECT_EQ(ProcessWalkTests("AcroRd32.exe"), unsigned(kWalkAcrobat));
  EXPECT_EQ(ProcessWalkTests("C:\\Windows\\Explorer.EXE"), unsigned(kWalkExplorer));
  EXPECT_EQ(ProcessWalkTests("C:\\Acro\\notepad.exe"), 0u);  // the folder does not count
  EXPECT_EQ(DialogControlId(true, "Lantern Guard for Web Manager"), 1001);
  EXPECT_EQ(DialogControlId(true, "lantern guard for web manager"), 0xFFFF);  // exact title only
  EXPECT_EQ(DialogControlId(false, "Lantern Guard for Web Manager"), 0xFFFF);
}

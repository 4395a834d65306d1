// Portable rules of the window lines and the browser section's process walk.
#include <gtest/gtest.h>

#include "probes/browser/window_line_rules.h"

TEST(WindowLineRules, IndentGrowsByTwoAndStopsAtTheBuffer) {
  EXPECT_EQ(WindowIndent(0), "");
  EXPECT_EQ(WindowIndent(-3), "");
  EXPECT_EQ(WindowIndent(1), "  ");
  EXPECT_EQ(WindowIndent(127), std::string(254, ' '));
  EXPECT_EQ(WindowIndent(128).size(), 254u);
  EXPECT_EQ(WindowIndent(1 << 30).size(), 254u);
}

TEST(WindowLineRules, ProcessWalkTestsByName) {
  EXPECT_EQ(ProcessWalkTests("QMNHOST64.exe"), unsigned(kWalkChromeHost));
  EXPECT_EQ(ProcessWalkTests("qmnhos.exe"), 0u);
  EXPECT_EQ(ProcessWalkTests("EXCEL.EXE"), unsigned(kWalkExcel));
  EXPECT_EQ(ProcessWalkTests("excel.exe.bak"), 0u);
  EXPECT_EQ(ProcessWalkTests("WinWord.exe"), unsigned(kWalkWord));
  EXPECT_EQ(ProcessWalkTests("POWERPNT.EXE"), unsigned(kWalkPowerPoint));
  EXPECT_EQ(ProcessWalkTests("AcroRd32.exe"), unsigned(kWalkAcrobat));
  EXPECT_EQ(ProcessWalkTests("acrobat.exe"), unsigned(kWalkAcrobat));
  EXPECT_EQ(ProcessWalkTests("C:\\Windows\\Explorer.EXE"), unsigned(kWalkExplorer));
  EXPECT_EQ(ProcessWalkTests("C:\\Acro\\notepad.exe"), 0u);  // the folder does not count
  EXPECT_EQ(ProcessWalkTests(""), 0u);
  EXPECT_EQ(ProcessWalkTests(nullptr), 0u);
}

TEST(WindowLineRules, DialogControl) {
  EXPECT_EQ(DialogControlId(true, "Lantern Guard for Web Manager"), 1001);
  EXPECT_EQ(DialogControlId(true, "lantern guard for web manager"), 0xFFFF);  // exact title only
  EXPECT_EQ(DialogControlId(true, "Lantern Guard for Web Manager "), 0xFFFF);
  EXPECT_EQ(DialogControlId(false, "Lantern Guard for Web Manager"), 0xFFFF);
  EXPECT_TRUE(PointsDiffer(0, 0, 10, 10, 0, 0, 10, 11));
  EXPECT_FALSE(PointsDiffer(0, 0, 10, 10, 0, 0, 10, 10));
}

#include "probes/system/monitor_rules.h"

#include <gtest/gtest.h>

namespace {
MonitorRow Row(int left, int width, int pixelWidth, bool main) {
  MonitorRow r;
  r.left = r.displayX = left;
  r.top = r.displayY = 0;
  r.right = left + width;
  r.bottom = width * 9 / 16;
  r.pixelWidth = pixelWidth;
  r.pixelHeight = pixelWidth * 9 / 16;
  r.main = main;
  r.device = "\\\\.\\DISPLAY1";
  return r;
}
}  // namespace

TEST(MonitorArithmetic, DpiScalesAndContexts) {
  EXPECT_EQ(125, DpiMagnification(120));
  EXPECT_EQ(125, ScaleFromDpi(120));
  EXPECT_EQ(150, ScaleFromDpi(144));
  EXPECT_EQ(104, DpiMagnification(100));  // truncated
  EXPECT_EQ(0, ScalePercent(1920, 0));    // no width: no division
  EXPECT_EQ(-3, ChooseDpiContext(0x06030000).context);
  EXPECT_EQ(-4, ChooseDpiContext(0x0A003AD7).context);
  EXPECT_EQ(-4, ChooseDpiContext(0x0A004562).context);
  EXPECT_EQ(-5, ChooseDpiContext(0x0A004563).context);
}

TEST(MonitorSummary, TwoMonitorsAtDifferentScales) {
  MonitorScaleSummary s(96, 96);
  EXPECT_EQ(
      "モニター 0:[\\\\.\\DISPLAY1] メインモニター:1 仮想RECT:    0,    0, 1920, 1080[ 1920x 1080] "
      "ディスプレイ設定RECT:    0,    0, 1920, 1080[ 1920x 1080] 表示倍率:100%,100%\n",
      s.Add(0, Row(0, 1920, 1920, true)));
  EXPECT_NE(std::string::npos, s.Add(1, Row(1920, 1280, 1920, false)).find("表示倍率:150%,150%\n"));
  s.Finish(2);
  EXPECT_EQ("●モニター情報(高DPI対策:有) モニター数:[2] (x/y){100%/100%*, 150%/150%} *Main ※表示倍率不一致\n",
            s.VerdictText(true, 2));
  EXPECT_EQ(
      "モニター情報(高DPI対策:有) モニター数:[2] dpi(x/y):[96dpi/96dpi] メイン表示倍率(x/y):[100%/100%] "
      "最小表示倍率(x/y):[100%/100%] 最大表示倍率(x/y):[150%/150%]",
      s.SummaryText(true, 2));
}

TEST(MonitorSummary, NoPrimaryZeroWidthAndEmpty) {
  // No monitor is the primary one: the main scale is the system DPI's.
  MonitorScaleSummary none(120, 120);
  none.Add(0, Row(0, 1280, 1920, false));
  none.Add(1, Row(1280, 1280, 1920, false));
  none.Finish(2);
  EXPECT_EQ(125, none.mainX());
  EXPECT_EQ("●モニター情報(高DPI対策:無) モニター数:[2] (x/y){150%/150%, 150%/150%} *Main\n", none.VerdictText(false, 2));

  // A zero-sized monitor reports 0, which means unknown and takes no part in
  // the minimum and maximum.
  MonitorScaleSummary zero(96, 96);
  EXPECT_NE(std::string::npos, zero.Add(0, Row(0, 0, 1920, true)).find("[    0x    0]"));
  zero.Add(1, Row(0, 1920, 1920, false));
  zero.Finish(2);
  EXPECT_EQ("●モニター情報(高DPI対策:無) モニター数:[2] (x/y){0%/0%*, 100%/100%} *Main\n", zero.VerdictText(false, 2));

  MonitorScaleSummary empty(120, 120);
  empty.Finish(0);
  EXPECT_EQ("●モニター情報(高DPI対策:無) モニター数:[0] (x/y){} *Main\n", empty.VerdictText(false, 0));
  EXPECT_NE(std::string::npos, empty.SummaryText(false, 0).find("最小表示倍率(x/y):[125%/125%] 最大表示倍率(x/y):[125%/125%]"));
}

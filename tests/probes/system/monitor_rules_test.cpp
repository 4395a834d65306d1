#include "probes/system/monitor_rules.h"

#include <gtest/gtest.h>

namespace {
MonitorRow Row(int left, int width, int height, int pixelWidth, int pixelHeight, bool main,
               const char* device = "\\\\.\\DISPLAY1") {
  MonitorRow r;
  r.left = left;
  r.top = 0;
  r.right = left + width;
  r.bottom = height;
  r.displayX = left;
  r.displayY = 0;
  r.pixelWidth = pixelWidth;
  r.pixelHeight = pixelHeight;
  r.main = main;
  r.device = device;
  return r;
}
}  // namespace

TEST(MonitorArithmetic, DpiAndScales) {
  EXPECT_EQ(125, DpiMagnification(120));
  EXPECT_EQ(125, ScaleFromDpi(120));
  EXPECT_EQ(150, DpiMagnification(144));
  EXPECT_EQ(150, ScaleFromDpi(144));
  EXPECT_EQ(104, DpiMagnification(100));  // truncated
  EXPECT_EQ(104, ScaleFromDpi(100));      // 104.17 rounds down
  EXPECT_EQ(109, ScaleFromDpi(105));      // 109.375 rounds down; 0.5 added first
  EXPECT_EQ(150, ScalePercent(1920, 1280));
  EXPECT_EQ(125, ScalePercent(2400, 1920));
  EXPECT_EQ(0, ScalePercent(1920, 0));  // no width: no division
  EXPECT_EQ(0, ScalePercent(1920, -5));
}

TEST(MonitorSummary, TwoMonitorsAtDifferentScales) {
  MonitorScaleSummary s(96, 96);
  const std::string first = s.Add(0, Row(0, 1920, 1080, 1920, 1080, true));
  EXPECT_EQ(
      "モニター 0:[\\\\.\\DISPLAY1] メインモニター:1 仮想RECT:    0,    0, 1920, 1080[ 1920x 1080] "
      "ディスプレイ設定RECT:    0,    0, 1920, 1080[ 1920x 1080] 表示倍率:100%,100%\n",
      first);
  const std::string second = s.Add(1, Row(1920, 1280, 720, 1920, 1080, false, "\\\\.\\DISPLAY2"));
  EXPECT_NE(std::string::npos, second.find("モニター 1:[\\\\.\\DISPLAY2] メインモニター:0 "));
  EXPECT_NE(std::string::npos, second.find("表示倍率:150%,150%\n"));
  s.Finish(2);
  EXPECT_FALSE(s.allEqual());
  EXPECT_EQ("●モニター情報(高DPI対策:有) モニター数:[2] (x/y){100%/100%*, 150%/150%} *Main ※表示倍率不一致\n",
            s.VerdictText(true, 2));
  EXPECT_EQ(
      "モニター情報(高DPI対策:有) モニター数:[2] dpi(x/y):[96dpi/96dpi] メイン表示倍率(x/y):[100%/100%] "
      "最小表示倍率(x/y):[100%/100%] 最大表示倍率(x/y):[150%/150%]",
      s.SummaryText(true, 2));
}

TEST(MonitorSummary, SameScalesOneMonitorAndNoPrimary) {
  MonitorScaleSummary same(96, 96);
  same.Add(0, Row(0, 1920, 1080, 1920, 1080, false));
  same.Add(1, Row(1920, 1920, 1080, 1920, 1080, true));
  same.Finish(2);
  EXPECT_EQ("●モニター情報(高DPI対策:無) モニター数:[2] (x/y){100%/100%, 100%/100%*} *Main\n",
            same.VerdictText(false, 2));

  // No monitor is the primary one: the main scale is the one of the system DPI.
  MonitorScaleSummary none(144, 144);
  none.Add(0, Row(0, 1280, 720, 1920, 1080, false));
  none.Finish(1);
  EXPECT_EQ(150, none.mainX());
  EXPECT_NE(std::string::npos, none.SummaryText(true, 1).find("最小表示倍率(x/y):[150%/150%] 最大表示倍率(x/y):[150%/150%]"));

  // One counted monitor: minimum and maximum are the main scale even if the
  // enumeration reported a different one.
  MonitorScaleSummary one(120, 120);
  one.Add(0, Row(0, 1000, 1000, 1000, 1000, false));
  one.Finish(1);
  EXPECT_TRUE(one.allEqual());
  EXPECT_NE(std::string::npos, one.SummaryText(false, 1).find("メイン表示倍率(x/y):[125%/125%] 最小表示倍率(x/y):[125%/125%] 最大表示倍率(x/y):[125%/125%]"));
}

TEST(MonitorSummary, ZeroSizedMonitorAndEmptyEnumeration) {
  MonitorScaleSummary s(96, 96);
  const std::string line = s.Add(0, Row(0, 0, 0, 1920, 1080, true));
  EXPECT_NE(std::string::npos, line.find("[    0x    0]"));
  EXPECT_NE(std::string::npos, line.find("表示倍率:0%,0%\n"));
  s.Add(1, Row(0, 1920, 1080, 1920, 1080, false));
  s.Finish(2);
  // A scale of 0 means "unknown" and takes no part in the minimum and maximum.
  EXPECT_EQ("●モニター情報(高DPI対策:無) モニター数:[2] (x/y){0%/0%*, 100%/100%} *Main\n",
            s.VerdictText(false, 2));

  MonitorScaleSummary empty(96, 96);
  empty.Finish(0);
  EXPECT_EQ("●モニター情報(高DPI対策:無) モニター数:[0] (x/y){} *Main\n", empty.VerdictText(false, 0));
}

TEST(ChooseDpiContext, ByOsVersionCode) {
  EXPECT_EQ(-3, ChooseDpiContext(0x06030000).context);
  EXPECT_EQ(-3, ChooseDpiContext(0x0A003AD6).context);
  EXPECT_EQ(-4, ChooseDpiContext(0x0A003AD7).context);
  EXPECT_EQ(-4, ChooseDpiContext(0x0A004562).context);
  EXPECT_EQ(-5, ChooseDpiContext(0x0A004563).context);
  EXPECT_EQ(-5, ChooseDpiContext(0x0B000000).context);
  EXPECT_STREQ(
      "高 DPI Type:SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_UNAWARE_GDISCALED) (Win10 1809～)\n",
      ChooseDpiContext(0x0A004563).line);
}

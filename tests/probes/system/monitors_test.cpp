#include "probes/system/monitors.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace {
int Count(const std::string& text, const std::string& needle) {
  int n = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
  return n;
}
std::string Between(const std::string& text, const std::string& from, const std::string& to) {
  const std::size_t a = text.find(from);
  if (a == std::string::npos) return "";
  const std::size_t b = text.find(to, a + from.size());
  return text.substr(a + from.size(), b == std::string::npos ? std::string::npos : b - a - from.size());
}
}  // namespace

// Both runs in one test: the second switches the thread's awareness for good.
TEST(CheckMonitors, BothRunsLevelsAndSharedDpi) {
  const int counted = GetSystemMetrics(SM_CMONITORS);
  std::string firstDetail;
  {
    LogCapture log;
    CheckMonitors(false);
    firstDetail = log.Detail();
    EXPECT_EQ("", log.User());
    EXPECT_EQ("", log.Support());
    EXPECT_EQ(0u, firstDetail.find("GetSystemMetrics MonitorNum:" + std::to_string(counted) + " \n"));
    EXPECT_NE(std::string::npos, firstDetail.find("dpi "));
    EXPECT_LE(Count(firstDetail, "モニター "), counted);  // never more lines than counted monitors
    EXPECT_EQ(1, Count(firstDetail, "●モニター情報(高DPI対策:無) モニター数:[" + std::to_string(counted) + "] (x/y){"));
  }
  LogCapture log;
  CheckMonitors(true);
  const std::string support = log.Support();
  EXPECT_EQ(0u, support.find("高 DPI Type:"));
  EXPECT_EQ(Count(firstDetail, "モニター "), Count(support, "モニター "));
  EXPECT_EQ(std::string::npos, support.find("GetSystemMetrics MonitorNum"));
  EXPECT_NE(std::string::npos, log.Detail().find("GetSystemMetrics MonitorNum:"));
  // The DPI is read once per process: the second run writes no dpi line and
  // reports the same figures.
  EXPECT_EQ(std::string::npos, log.Detail().find("dpi "));
  EXPECT_EQ(Between(firstDetail, "dpi(x/y):[", "]"), Between(support, "dpi(x/y):[", "]"));
  const std::string user = log.User();
  EXPECT_EQ(0u, user.find("●モニター情報(高DPI対策:有) モニター数:[" + std::to_string(counted) + "] (x/y){"));
  EXPECT_EQ(1, Count(user, "\n"));
  EXPECT_NE(std::string::npos, user.find("} *Main"));
}

#include "probes/browser/ie_version_rules.h"

#include <gtest/gtest.h>

namespace {
IeVerdict Judge(const char* version, const char* upper = "11", const char* lower = "11") {
  return JudgeIeVersion(ParseVersionQuad(version, 0, "0"), upper, lower);
}
}  // namespace

TEST(JudgeIeVersion, PreReleaseThresholdsAndRange) {
  EXPECT_EQ(IeVerdict::PreRelease, Judge("7.0.5729.65535"));
  EXPECT_EQ(IeVerdict::OutOfRange, Judge("7.0.5730.0"));
  EXPECT_EQ(IeVerdict::OutOfRange, Judge("8.0.6001.18702"));
  EXPECT_EQ(IeVerdict::PreRelease, Judge("10.0.9200.16383"));
  EXPECT_EQ(IeVerdict::InRange, Judge("10.0.9200.16384", "11", "10"));
  EXPECT_EQ(IeVerdict::NotSupported4, Judge("4.72.3110.8", "11", "4"));
  EXPECT_EQ(IeVerdict::InRange, Judge("11.0.0.0"));
  EXPECT_EQ(IeVerdict::InRange, Judge("11.65535.65535.65535"));
  EXPECT_EQ(IeVerdict::OutOfRange, Judge("12.0.0.0"));
  EXPECT_EQ(IeVerdict::OutOfRange, Judge("11.0.0.0", "", nullptr));  // absent limits read as "0"
}

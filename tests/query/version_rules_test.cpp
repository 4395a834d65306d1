// Version texts and the range test.
#include <gtest/gtest.h>

#include <climits>

#include "query/version_rules.h"

namespace {
VersionQuad V(unsigned a, unsigned b, unsigned c, unsigned d) { return MakeVersionQuad(a, b, c, d); }

TEST(VersionQuadTest, PartsAreCutToSixteenBitsAndOrderAsNumbers) {
  EXPECT_EQ(V(1, 2, 3, 4), 0x0001000200030004ull);
  EXPECT_EQ(V(0x12345, 0x10000, 0xFFFF, 0x1FFFF), 0x23450000FFFFFFFFull);
  EXPECT_LT(V(9, 65535, 65535, 65535), V(10, 0, 0, 0));
  EXPECT_LT(V(10, 0, 0, 1), V(10, 0, 1, 0));
  EXPECT_EQ(VersionQuadText(V(65535, 0, 22631, 1)), "65535.0.22631.1");
  EXPECT_EQ(VersionMajorMinor(V(6, 2, 9200, 0)), (6u << 16) | 2u);
}

TEST(ParseVersionQuadTest, FillsPartsTheTextDoesNotReach) {
  EXPECT_EQ(ParseVersionQuad("10.0", 65535, "0"), V(10, 0, 65535, 65535));
  EXPECT_EQ(ParseVersionQuad("6.1", 0, "0"), V(6, 1, 0, 0));
  EXPECT_EQ(ParseVersionQuad("11", 65535, "0"), V(11, 65535, 65535, 65535));
  EXPECT_EQ(ParseVersionQuad("1.2.3.4.5", 0, "0"), V(1, 2, 3, 4));
  EXPECT_EQ(ParseVersionQuad("1.2.x.4", 7, "0"), V(1, 2, 7, 7));
}

TEST(ParseVersionQuadTest, CommaFormOnlyWithoutAnyDot) {
  EXPECT_EQ(ParseVersionQuad("1,7,27", 0, "0"), V(1, 7, 27, 0));
  EXPECT_EQ(ParseVersionQuad("1, 7, 0, 0", 0, "0"), V(1, 7, 0, 0));
  // A dot anywhere selects the dotted form; the commas then stop the reading.
  EXPECT_EQ(ParseVersionQuad("1,7,0,0 (build 3.1)", 9, "0"), V(1, 9, 9, 9));
  // Blanks before a separator are not skipped, only before a number.
  EXPECT_EQ(ParseVersionQuad("1 ,7", 0, "0"), V(1, 0, 0, 0));
}

TEST(ParseVersionQuadTest, EmptyOrMissingTextUsesTheFallback) {
  EXPECT_EQ(ParseVersionQuad(nullptr, 65535, "0"), V(0, 65535, 65535, 65535));
  EXPECT_EQ(ParseVersionQuad("", 0, "6.1"), V(6, 1, 0, 0));
  EXPECT_EQ(ParseVersionQuad("", 0, nullptr), 0u);
  // One blank is not empty: nothing converts and the fill stays.
  EXPECT_EQ(ParseVersionQuad(" ", 0, "9"), 0u);
  EXPECT_EQ(ParseVersionQuad(" ", 3, "9"), V(3, 3, 3, 3));
}

TEST(ParseVersionQuadTest, LargeAndSignedNumbersKeepTheirLowSixteenBits) {
  EXPECT_EQ(ParseVersionQuad("70000.1", 0, "0"), V(4464, 1, 0, 0));
  EXPECT_EQ(ParseVersionQuad("-1.2", 0, "0"), V(65535, 2, 0, 0));
  EXPECT_EQ(ParseVersionQuad("+3.-0", 0, "0"), V(3, 0, 0, 0));
  // Far beyond an int: still the low 16 bits of the number, never undefined.
  // 100000000000000000000 mod 65536 = 0; 18446744073709551617 mod 65536 = 1.
  EXPECT_EQ(ParseVersionQuad("100000000000000000000.18446744073709551617", 0, "0"), V(0, 1, 0, 0));
  EXPECT_EQ(ParseVersionQuad("99999999999999999999999999999999999999999.2", 0, "0"), V(65535, 2, 0, 0));
}

TEST(ParseVersionQuadTest, GarbageGivesTheFill) {
  for (const char* text : {"abc", ".", "..", "-", "+", "- 5", "v10.0", "\xff\xfe", "１０．０"}) {
    EXPECT_EQ(ParseVersionQuad(text, 0, "0"), 0u) << text;
    EXPECT_EQ(ParseVersionQuad(text, 65535, "0"), ~0ull) << text;
  }
  EXPECT_EQ(ParseVersionQuad("\t\n 12.\t3", 0, "0"), V(12, 3, 0, 0));
}

TEST(ScanVersionPartsTest, CountsConvertedNumbers) {
  unsigned parts[4] = {9, 9, 9, 9};
  EXPECT_EQ(ScanVersionParts("1.7.0.0", '.', parts), 4);
  EXPECT_EQ(ScanVersionParts("1, 7, 0, 0", '.', parts), 1);
  EXPECT_EQ(parts[0], 1u);
  EXPECT_EQ(ScanVersionParts("", '.', parts), 0);
  EXPECT_EQ(ScanVersionParts(nullptr, '.', parts), 0);
  unsigned fresh[4] = {5, 5, 5, 5};
  EXPECT_EQ(ScanVersionParts("8.", '.', fresh), 1);
  EXPECT_EQ(fresh[1], 5u);
}

TEST(IsVersionInRangeTest, LowerBoundInFullUpperBoundOnMajorMinor) {
  EXPECT_TRUE(IsVersionInRange("10.0", "6.1", V(10, 0, 22631, 1)));
  EXPECT_TRUE(IsVersionInRange("10.0", "6.1", V(6, 1, 0, 0)));
  EXPECT_TRUE(IsVersionInRange("10.0", "6.1", V(10, 0, 65535, 65535)));
  EXPECT_FALSE(IsVersionInRange("10.0", "6.1", V(6, 0, 6002, 0)));
  EXPECT_FALSE(IsVersionInRange("10.0", "6.1", V(10, 1, 0, 0)));
  EXPECT_TRUE(IsVersionInRange("23", "15", V(23, 8, 0, 0)));
  EXPECT_TRUE(IsVersionInRange("23", "15", V(15, 0, 0, 0)));
  EXPECT_FALSE(IsVersionInRange("16", "14", V(17, 0, 0, 0)));
  EXPECT_FALSE(IsVersionInRange("16", "14", V(13, 65535, 65535, 65535)));
  // The build of the upper bound is not compared; the lower bound's is.
  EXPECT_TRUE(IsVersionInRange("10.0.100", "6.1", V(10, 0, 200, 0)));
  EXPECT_FALSE(IsVersionInRange("10.0", "6.1.7601", V(6, 1, 7600, 0)));
}

TEST(IsVersionInRangeTest, MissingLimitsReadAsZero) {
  EXPECT_TRUE(IsVersionInRange(nullptr, nullptr, V(0, 65535, 1, 1)));
  EXPECT_FALSE(IsVersionInRange("", "", V(1, 0, 0, 0)));
  EXPECT_TRUE(IsVersionInRange(" ", "", V(0, 0, 0, 0)));
  EXPECT_TRUE(IsVersionInRange("12", "", V(12, 65535, 65535, 65535)));
}
}  // namespace

#include "query/registry_match_rules.h"

#include <gtest/gtest.h>

namespace {
const RegMatchEntry kTable[] = {
    {L"A", "MS", 0x30002},      // exact, kind 2 only
    {L"B", "Parallels", 0x20001},  // kind 1 only
    {L"C", "Virtual HD", 0},
    {L"D", "表", 0},           // cp932 0x95 0x5C
    {nullptr, nullptr, 0},
};
}  // namespace

TEST(MatchRegText, KindFilterExactAndOrder) {
  RegMatchHow how;
  EXPECT_EQ(nullptr, MatchRegText("MS", 3, kTable, &how));
  EXPECT_EQ(RegMatchHow::None, how);
  EXPECT_EQ(&kTable[0], MatchRegText("MS", 2, kTable, &how));
  EXPECT_EQ(RegMatchHow::Exact, how);
  EXPECT_EQ(nullptr, MatchRegText("ms", 2, kTable, nullptr));
  EXPECT_EQ(nullptr, MatchRegText("MS Disk", 2, kTable, nullptr));
  // Only the low byte of the kind is compared.
  EXPECT_EQ(&kTable[1], MatchRegText("parallels video", 0x101, kTable, &how));
  EXPECT_EQ(RegMatchHow::Prefix, how);
  EXPECT_EQ(nullptr, MatchRegText("Parallels video", 3, kTable, nullptr));
}

TEST(MatchRegText, PrefixIgnoresCaseSubstringDoesNot) {
  RegMatchHow how;
  EXPECT_EQ(&kTable[2], MatchRegText("VIRTUAL hd 1", 3, kTable, &how));
  EXPECT_EQ(RegMatchHow::Prefix, how);
  EXPECT_EQ(&kTable[2], MatchRegText("My Virtual HD", 3, kTable, &how));
  EXPECT_EQ(RegMatchHow::Part, how);
  EXPECT_EQ(nullptr, MatchRegText("My virtual hd", 3, kTable, &how));
  // A trail byte 0x5C of another character is not a match for a lead byte pair,
  // and a double-byte character matches only on a character boundary.
  EXPECT_EQ(&kTable[3], MatchRegText("x表示", 3, kTable, &how));
  EXPECT_EQ(nullptr, MatchRegText("\x81\x95\x5C", 3, kTable, nullptr));
  EXPECT_EQ(nullptr, MatchRegText("", 3, kTable, nullptr));
  EXPECT_EQ(nullptr, MatchRegText(nullptr, 3, kTable, nullptr));
}

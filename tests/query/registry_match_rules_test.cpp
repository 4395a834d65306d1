#include "query/registry_match_rules.h"

#include <gtest/gtest.h>

// Kinds and flags are covered through the virtual-machine table and the
// registry search; this covers machine text in cp932.
TEST(MatchRegText, Cp932TextMatchesOnCharacterBoundaries) {
  const RegMatchEntry table[] = {{L"D", "表", 0}, {nullptr, nullptr, 0}};  // 0x95 0x5C
  RegMatchHow how;
  EXPECT_EQ(&table[0], MatchRegText("x表示", 3, table, &how));
  EXPECT_EQ(RegMatchHow::Part, how);
  // 0x95 0x5C here is the trail byte of one character and a backslash.
  EXPECT_EQ(nullptr, MatchRegText("\x81\x95\x5C", 3, table, &how));
  EXPECT_EQ(RegMatchHow::None, how);
  EXPECT_EQ(nullptr, MatchRegText(nullptr, 3, table, nullptr));
}

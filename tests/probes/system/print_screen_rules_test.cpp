// The PrintScreen verdict over which of the 16 combinations could be registered.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "probes/system/print_screen_rules.h"

namespace {
struct Flags {
  bool r[16];
};
Flags AllFreeExcept(std::initializer_list<int> taken) {
  Flags f;
  for (bool& b : f.r) b = true;
  for (int i : taken) f.r[i] = false;
  return f;
}
Flags NoneFree() {
  Flags f;
  for (bool& b : f.r) b = false;
  return f;
}
const VersionQuad k61 = MakeVersionQuad(6, 1, 7601, 0);
const VersionQuad k62 = MakeVersionQuad(6, 2, 0, 0);
const VersionQuad k63 = MakeVersionQuad(6, 3, 9600, 0);
const VersionQuad k100 = MakeVersionQuad(10, 0, 0, 0);
const char kConfirmed[] = "●PrintScreenキー登録確認 \n";
const char kFailed[] = "★PrintScreenキー登録失敗 \n";

TEST(HotKeyTableTest, EveryModifierCombinationOnceWithMatchingPrefix) {
  bool seen[16] = {};
  for (const HotKeyRow& row : kHotKeyModifierTable) {
    ASSERT_LT(row.modifiers, 16u);
    EXPECT_FALSE(seen[row.modifiers]) << row.prefix;
    seen[row.modifiers] = true;
    std::string expected;
    if (row.modifiers & 1) expected += "Alt+";
    if (row.modifiers & 2) expected += "Ctrl+";
    if (row.modifiers & 4) expected += "Shift+";
    if (row.modifiers & 8) expected += "Win+";
    EXPECT_EQ(expected, row.prefix);
  }
  EXPECT_EQ(kHotKeyModifierTable[4].modifiers, 8u);
  EXPECT_EQ(kHotKeyModifierTable[7].modifiers, 9u);
}

TEST(PrintScreenVerdictTest, AllFreeIsConfirmedWithoutFurtherFacts) {
  const Flags f = AllFreeExcept({});
  EXPECT_EQ(PrintScreenFactNeeded(f.r), PrintScreenFact::None);
  EXPECT_STREQ(PrintScreenVerdict(f.r, false, 0), kConfirmed);
}

TEST(PrintScreenVerdictTest, NothingFreeAsksForTheSnapshotMutex) {
  const Flags f = NoneFree();
  EXPECT_EQ(PrintScreenFactNeeded(f.r), PrintScreenFact::SnapshotMutex);
  EXPECT_STREQ(PrintScreenVerdict(f.r, true, 0), "●PrintScreenキー登録済み \n");
  EXPECT_STREQ(PrintScreenVerdict(f.r, false, k100), "★PrintScreenキー登録失敗 全て \n");
}

TEST(PrintScreenVerdictTest, OnlyWinTakenIsAcceptedFromKernel32SixPointTwo) {
  const Flags f = AllFreeExcept({4});
  EXPECT_EQ(PrintScreenFactNeeded(f.r), PrintScreenFact::Kernel32Version);
  EXPECT_STREQ(PrintScreenVerdict(f.r, false, k62), kConfirmed);
  EXPECT_STREQ(PrintScreenVerdict(f.r, false, k100), kConfirmed);
  EXPECT_STREQ(PrintScreenVerdict(f.r, false, k61), kFailed);
  EXPECT_STREQ(PrintScreenVerdict(f.r, false, MakeVersionQuad(6, 1, 65535, 65535)), kFailed);
  EXPECT_STREQ(PrintScreenVerdict(f.r, false, 0), kFailed);
}

TEST(PrintScreenVerdictTest, WinAndAltWinTakenIsAcceptedFromTenPointZero) {
  const Flags f = AllFreeExcept({4, 7});
  EXPECT_EQ(PrintScreenFactNeeded(f.r), PrintScreenFact::Kernel32VersionMax);
  EXPECT_STREQ(PrintScreenVerdict(f.r, false, k100), kConfirmed);
  EXPECT_STREQ(PrintScreenVerdict(f.r, false, k63), kFailed);
}

TEST(PrintScreenVerdictTest, AnyOtherPatternFails) {
  for (const Flags& f : {AllFreeExcept({0}), AllFreeExcept({7}), AllFreeExcept({4, 2}), AllFreeExcept({7, 9}),
                         AllFreeExcept({4, 7, 9}), AllFreeExcept({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14})}) {
    EXPECT_EQ(PrintScreenFactNeeded(f.r), PrintScreenFact::None);
    EXPECT_STREQ(PrintScreenVerdict(f.r, true, k100), kFailed);
  }
}
}  // namespace

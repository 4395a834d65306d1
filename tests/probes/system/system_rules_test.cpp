// Rights, terminal verdict, virtual-machine names and the folder table.
#include <gtest/gtest.h>

#include <cstring>

#include "probes/system/default_folder_rules.h"
#include "probes/system/terminal_type_rules.h"
#include "probes/system/user_rights_rules.h"
#include "probes/system/vm_name_rules.h"

namespace {
std::string Display(const RegMatchEntry* e) {
  if (e == nullptr) return "(none)";
  std::string s;
  for (const wchar_t* p = e->displayName; *p; ++p) s += static_cast<char>(*p);
  return s;
}
}  // namespace

TEST(UserRightsRules, LevelListAndWord) {
  bool none[kRightsGroupCount] = {};
  EXPECT_EQ(0u, RightsLevel(none));
  EXPECT_EQ("", RightsListText(none));
  EXPECT_STREQ("Unknown", RightsLevelWord(RightsLevel(none)));

  bool usersPower[kRightsGroupCount] = {false, true, false, true, false, false, false};
  EXPECT_EQ(3u, RightsLevel(usersPower));
  EXPECT_EQ("USERS, POWER_USERS, ", RightsListText(usersPower));
  EXPECT_STREQ("PowserUsers", RightsLevelWord(3));

  bool all[kRightsGroupCount] = {true, true, true, true, true, true, true};
  EXPECT_EQ(4u, RightsLevel(all));
  EXPECT_EQ("ADMINS, USERS, GUESTS, POWER_USERS, GROUP_ADMINS, GROUP_USERS, GROUP_GUESTS, ", RightsListText(all));

  // The domain groups are listed but never decide the level.
  bool domain[kRightsGroupCount] = {false, false, false, false, true, true, false};
  EXPECT_EQ(0u, RightsLevel(domain));
  bool guests[kRightsGroupCount] = {false, false, true, false, false, false, true};
  EXPECT_EQ(1u, RightsLevel(guests));
  bool users[kRightsGroupCount] = {false, true, true, false, false, false, false};
  EXPECT_EQ(2u, RightsLevel(users));
  EXPECT_STREQ("Admins", RightsLevelWord(4));
  EXPECT_STREQ("Users", RightsLevelWord(2));
  EXPECT_STREQ("Guests", RightsLevelWord(1));
  EXPECT_EQ(544u, kRightsGroups[0].rid);
  EXPECT_EQ(514u, kRightsGroups[6].rid);
}

TEST(TerminalTypeRules, VerdictTableAndPowerEstimate) {
  EXPECT_STREQ("●checkType: It is Note. ノート/タブレット \n", TerminalVerdictLine(true, true));
  EXPECT_STREQ("●checkType: It is Note or Desktop. ノート/タブレットと推測 \n", TerminalVerdictLine(true, false));
  EXPECT_STREQ("●checkType: It is Desktop or Note. デスクトップと推測 \n", TerminalVerdictLine(false, true));
  EXPECT_STREQ("●checkType: It is Desktop. デスクトップ \n", TerminalVerdictLine(false, false));

  const unsigned long unknown = 0xFFFFFFFFul;
  // A desktop on mains power with "no system battery" (128) and unknown figures.
  EXPECT_FALSE(PowerStatusSuggestsBattery(1, 128, 255, unknown, unknown));
  EXPECT_TRUE(PowerStatusSuggestsBattery(0, 128, 255, unknown, unknown));
  EXPECT_TRUE(PowerStatusSuggestsBattery(1, 8, 255, unknown, unknown));
  EXPECT_FALSE(PowerStatusSuggestsBattery(1, 9, 255, unknown, unknown));
  EXPECT_TRUE(PowerStatusSuggestsBattery(1, 128, 100, unknown, unknown));
  EXPECT_FALSE(PowerStatusSuggestsBattery(1, 128, 101, unknown, unknown));
  EXPECT_TRUE(PowerStatusSuggestsBattery(1, 128, 255, 3600, unknown));
  EXPECT_TRUE(PowerStatusSuggestsBattery(1, 128, 255, unknown, 0));
}

TEST(MatchVMName, DiskNamesKindsAndExactEntries) {
  EXPECT_EQ("VMWare", Display(MatchVMName("VMware Virtual disk SCSI Disk Device", 3)));
  EXPECT_EQ("VMWare", Display(MatchVMName("vmware virtual disk", 3)));
  EXPECT_EQ("HyperV", Display(MatchVMName("Msft Virtual Disk", 3)));
  EXPECT_EQ("VirtualBox", Display(MatchVMName("VBOX HARDDISK", 3)));
  EXPECT_EQ("VirtualPC", Display(MatchVMName("Virtual HD ATA Device", 3)));
  // "MS" only in a kind-2 search and only as the whole text.
  EXPECT_EQ("(none)", Display(MatchVMName("MS", 3)));
  EXPECT_EQ("VirtualPC", Display(MatchVMName("MS", 2)));
  EXPECT_EQ("(none)", Display(MatchVMName("MS Storage", 2)));
  // "Parallels" only in display drivers (kind 1); "PRL Virtual" everywhere.
  EXPECT_EQ("Parallels Desktop", Display(MatchVMName("Parallels Display Adapter", 1)));
  EXPECT_EQ("(none)", Display(MatchVMName("Parallels Display Adapter", 3)));
  // Table order decides: "Virtual HD" (VirtualPC) stands before "PRL Virtual",
  // and "PRL Virtual" before "Virtual Disk" (HyperV).
  EXPECT_EQ("VirtualPC", Display(MatchVMName("PRL Virtual HD", 3)));
  EXPECT_EQ("Parallels Desktop", Display(MatchVMName("PRL Virtual Disk", 3)));
  EXPECT_EQ("Parallels Desktop", Display(MatchVMName("Disk Virtual  HDD", 3)));
  // Substrings are case-sensitive: a lower-case name in the middle is no match.
  EXPECT_EQ("(none)", Display(MatchVMName("Samsung vbox", 3)));
  EXPECT_EQ("(none)", Display(MatchVMName("Samsung SSD 860 EVO", 3)));
}

TEST(DefaultFolderRules, TableShapeAndPadding) {
  int rows = 0, excluded = 0;
  for (const FolderRow* r = kFolderTable; r->name != nullptr; ++r) {
    ++rows;
    if (r->excluded) ++excluded;
    EXPECT_LE(std::strlen(r->name), 23u) << r->name;
    if (r > kFolderTable) {
      EXPECT_LT(r[-1].csidl, r->csidl) << r->name;
    }
  }
  EXPECT_EQ(56, rows);
  EXPECT_EQ(10, excluded);
  EXPECT_EQ("DESKTOP                ", PaddedFolderName("DESKTOP"));
  EXPECT_EQ("COMMON_DESKTOPDIRECTORY", PaddedFolderName("COMMON_DESKTOPDIRECTORY"));
}

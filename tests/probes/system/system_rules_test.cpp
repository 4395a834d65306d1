// Rights, terminal verdict, virtual-machine names and the folder table.
#include <gtest/gtest.h>

#include <cstring>

#include "probes/system/default_folder_rules.h"
#include "probes/system/terminal_type_rules.h"
#include "probes/system/user_rights_rules.h"
#include "probes/system/vm_name_rules.h"

namespace {
std::string Display(const char* text, unsigned kind) {
  const RegMatchEntry* e = MatchVMName(text, kind);
  if (e == nullptr) return "(none)";
  std::string s;
  for (const wchar_t* p = e->displayName; *p; ++p) s += static_cast<char>(*p);
  return s;
}
}  // namespace

TEST(UserRightsRules, LevelAndList) {
  bool usersPower[kRightsGroupCount] = {false, true, false, true, false, false, false};
  EXPECT_EQ(3u, RightsLevel(usersPower));
  EXPECT_EQ("USERS, POWER_USERS, ", RightsListText(usersPower));
  EXPECT_STREQ("PowserUsers", RightsLevelWord(3));
  // The domain groups are listed but never decide the level.
  bool domain[kRightsGroupCount] = {false, false, false, false, true, true, false};
  EXPECT_EQ(0u, RightsLevel(domain));
  EXPECT_EQ("GROUP_ADMINS, GROUP_USERS, ", RightsListText(domain));
  bool guestsUsers[kRightsGroupCount] = {false, true, true, false, false, false, false};
  EXPECT_EQ(2u, RightsLevel(guestsUsers));
}

TEST(TerminalTypeRules, VerdictAndPowerEstimate) {
  EXPECT_STREQ("●checkType: It is Note. ノート/タブレット \n", TerminalVerdictLine(true, true));
  EXPECT_STREQ("●checkType: It is Note or Desktop. ノート/タブレットと推測 \n", TerminalVerdictLine(true, false));
  EXPECT_STREQ("●checkType: It is Desktop or Note. デスクトップと推測 \n", TerminalVerdictLine(false, true));
  EXPECT_STREQ("●checkType: It is Desktop. デスクトップ \n", TerminalVerdictLine(false, false));
  const unsigned long unknown = 0xFFFFFFFFul;
  EXPECT_FALSE(PowerStatusSuggestsBattery(1, 128, 255, unknown, unknown));  // a desktop on mains
  EXPECT_TRUE(PowerStatusSuggestsBattery(1, 8, 255, unknown, unknown));
  EXPECT_TRUE(PowerStatusSuggestsBattery(1, 128, 100, unknown, unknown));
  EXPECT_TRUE(PowerStatusSuggestsBattery(1, 128, 255, unknown, 0));
}

TEST(MatchVMName, DiskNamesKindsAndExactEntries) {
  EXPECT_EQ("VMWare", Display("VMware Virtual disk SCSI Disk Device", 3));
  EXPECT_EQ("HyperV", Display("Msft Virtual Disk", 3));
  // "MS" only in a kind-2 search and only as the whole text.
  EXPECT_EQ("(none)", Display("MS", 3));
  EXPECT_EQ("VirtualPC", Display("MS", 2));
  EXPECT_EQ("(none)", Display("MS Storage", 2));
  // "Parallels" only in display drivers (kind 1).
  EXPECT_EQ("Parallels Desktop", Display("parallels Display Adapter", 1));
  EXPECT_EQ("(none)", Display("Parallels Display Adapter", 3));
  // Table order decides: "Virtual HD" stands before "PRL Virtual", which
  // stands before "Virtual Disk".
  EXPECT_EQ("VirtualPC", Display("PRL Virtual HD", 3));
  EXPECT_EQ("Parallels Desktop", Display("PRL Virtual Disk", 3));
  // Substrings are case-sensitive.
  EXPECT_EQ("(none)", Display("Samsung vbox", 3));
}

TEST(DefaultFolderRules, TableShapeAndPadding) {
  int rows = 0, excluded = 0;
  for (const FolderRow* r = kFolderTable; r->name != nullptr; ++r) {
    ++rows;
    excluded += r->excluded ? 1 : 0;
  }
  EXPECT_EQ(56, rows);
  EXPECT_EQ(10, excluded);
  EXPECT_EQ("DESKTOP                ", PaddedFolderName("DESKTOP"));
  EXPECT_EQ("COMMON_DESKTOPDIRECTORY", PaddedFolderName("COMMON_DESKTOPDIRECTORY"));
}

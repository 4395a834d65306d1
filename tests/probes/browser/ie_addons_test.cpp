#include "probes/browser/ie_addons.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_support.h"

namespace {
const char kStats[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Stats";
const char kSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings";

struct Addons {
  ScratchKey stats{HKEY_CURRENT_USER, kStats};
  ScratchKey settings{HKEY_CURRENT_USER, kSettings};
  ScratchKey classes{HKEY_CLASSES_ROOT, "CLSID\\{B0000000-0000-0000-0000-00000000000A}"};
  ScratchKey classes2{HKEY_CLASSES_ROOT, "CLSID\\{B0000000-0000-0000-0000-00000000000B}"};
  ScratchKey classes3{HKEY_CLASSES_ROOT, "CLSID\\{B0000000-0000-0000-0000-00000000000C}"};
  void Add(const std::string& id, DWORD type) { stats.SetDword(id + "\\iexplore", "Type", type); }
};

TEST(IEAddons, EveryLineFormAndState) {
  Addons a;
  const std::string toolbar = "{B0000000-0000-0000-0000-00000000000A}";
  const std::string helper = "{B0000000-0000-0000-0000-00000000000B}";
  const std::string untyped = "{B0000000-0000-0000-0000-00000000000C}";
  const std::string unnamed = "{B0000000-0000-0000-0000-00000000000D}";
  a.Add(toolbar, 2);
  a.settings.SetDword(toolbar, "Flags", 1);
  a.classes.SetString("", nullptr, "Lantern 100% Toolbar");
  a.Add(helper, 3);
  a.settings.SetDword(helper, "Flags", 2);
  a.classes2.SetString("", nullptr, "Helper");
  a.stats.CreateSubkey(untyped + "\\iexplore");
  a.classes3.SetString("", nullptr, "Untyped");
  a.Add(unnamed, 1);
  // Recorded for another browser only: no line.
  a.stats.SetDword("{B0000000-0000-0000-0000-00000000000E}\\edge", "Type", 1);
  // A name no identifier can have does not end the listing.
  a.stats.SetDword(std::string(300, 'z') + "\\iexplore", "Type", 1);

  LogCapture log;
  ListIEAddons();
  EXPECT_EQ("●IEのアドオン一覧確認 \n", log.User());
  const std::string support = log.Support();
  EXPECT_NE(std::string::npos, support.find("無効, ツールバー, \"Lantern 100% Toolbar\" \n"));
  EXPECT_NE(std::string::npos, support.find("有効, ヘルパー, \"Helper\" \n"));
  EXPECT_EQ(std::string::npos, support.find("Untyped"));
  const std::string detail = log.Detail();
  EXPECT_NE(std::string::npos, detail.find("無効, ツールバー, \"Lantern 100% Toolbar\", " + toolbar + " \n"));
  EXPECT_NE(std::string::npos, detail.find("有効, ヘルパー, \"Helper\", " + helper + " \n"));
  EXPECT_NE(std::string::npos, detail.find("有効, アドオンffffffff, \"Untyped\", " + untyped + "\n"));
  EXPECT_NE(std::string::npos, detail.find("有効, アドオン1, \"\", " + unnamed + "\n"));
  EXPECT_EQ(std::string::npos, detail.find("0000000E"));
  EXPECT_EQ(std::string::npos, detail.find("zzz"));
}

TEST(IEAddons, NoStatsKey) {
  { ScratchKey gone(HKEY_CURRENT_USER, kStats); }
  LogCapture log;
  ListIEAddons();
  EXPECT_EQ("★IEのアドオンの一覧が取得できませんでした \n", log.User());
  EXPECT_EQ(log.User(), log.Detail());
}
}  // namespace

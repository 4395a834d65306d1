#include "probes/browser/ie_security.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {
const char kZone[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3";
const char* const kNames[] = {"CurrentLevel", "1200", "1001", "1405", "1400"};
const HKEY M = HKEY_LOCAL_MACHINE, U = HKEY_CURRENT_USER;

HKEY ZoneKey(HKEY root) {
  HKEY key = nullptr;
  RegCreateKeyExA(root, kZone, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  return key;
}

// The prefix has its own Internet zone: the values the section reads are
// cleared for each case and put back afterwards.
struct ZoneValues {
  struct Saved {
    HKEY root;
    const char* name;
    LONG result;
    DWORD type, data;
  };
  std::vector<Saved> saved;
  ZoneValues() {
    for (HKEY root : {M, U}) {
      HKEY key = ZoneKey(root);
      for (const char* name : kNames) {
        Saved s{root, name, 0, 0, 0};
        DWORD size = sizeof s.data;
        s.result = RegQueryValueExA(key, name, nullptr, &s.type, reinterpret_cast<BYTE*>(&s.data), &size);
        saved.push_back(s);
      }
      RegCloseKey(key);
    }
  }
  ~ZoneValues() {
    Clear();
    for (const Saved& s : saved) {
      if (s.result == ERROR_SUCCESS) Set(s.root, s.name, s.data, s.type);
    }
  }
  static void Clear() {
    for (HKEY root : {M, U}) {
      HKEY key = ZoneKey(root);
      for (const char* name : kNames) RegDeleteValueA(key, name);
      RegCloseKey(key);
    }
  }
  static void Set(HKEY root, const char* name, DWORD value, DWORD type = REG_DWORD) {
    HKEY key = ZoneKey(root);
    RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
  }
};

struct Seed {
  HKEY root;
  const char* name;
  DWORD value;
};
struct Case {
  std::vector<Seed> seeds;
  std::string user, support;
};

TEST(IESecurity, LevelsActionsAndTheUserKey) {
  ZoneValues zone;
  ScratchKey filtering(U, "Software\\Microsoft\\Internet Explorer\\Safety\\ActiveXFiltering");
  const std::string ok = "○ActiveXコントロールとプラグインの実行 有効\n";
  const std::string rest = "○スクリプトを実行しても安全だと・・・ 有効\n○アクティブスクリプト 有効\n";
  const std::string verdict = "●IEのセキュリティ確認 \n", caution = "★IEのセキュリティ注意 \n";
  const std::string high = "★インターネットゾーンのレベル 高\n★ActiveXコントロールとプラグインの実行 無効\n";
  const std::string odd = "★ActiveXコントロールとプラグインの実行 無効な値\n";
  const Case cases[] = {
      {{{M, "CurrentLevel", 0x11500}, {M, "1200", 0}, {M, "1001", 0}, {M, "1405", 0}, {M, "1400", 0}}, verdict,
       "○インターネットゾーンのレベル 中高\n" + ok + "○署名されたActiveXのダウンロード 有効\n" + rest + verdict},
      {{{M, "CurrentLevel", 0x12000}, {M, "1200", 3}, {M, "1001", 0x10000}, {M, "1405", 0}, {M, "1400", 0}}, high,
       high + "○署名されたActiveXのダウンロード 管理者のみ許可する\n" + rest},
      // The user's value wins unless it reads as missing (0xFFFFFFFF).
      {{{M, "CurrentLevel", 0x10000}, {M, "1200", 0}, {U, "1200", 0xFFFFFFFF}, {M, "1001", 1}, {M, "1405", 0},
        {U, "1405", 2}, {M, "1400", 0}, {U, "1400", 1}},
       caution,
       "○インターネットゾーンのレベル 中\n" + ok +
           "○署名されたActiveXのダウンロード ダイアログを表示する\n★スクリプトを実行しても安全だと・・・ 無効な値\n"
           "★アクティブスクリプト ダイアログを表示する\n" + caution},
      {{}, "★IEのセキュリティの設定がありません \n", "★IEのセキュリティの設定がありません \n"},
      // No template level, and actions missing from both keys.
      {{{M, "CurrentLevel", 0x10100}}, odd,
       "○インターネットゾーンのレベル 無効\n" + odd +
           "○署名されたActiveXのダウンロード 無効な値\n★スクリプトを実行しても安全だと・・・ 無効な値\n"
           "★アクティブスクリプト 無効な値\n"},
  };
  for (const Case& c : cases) {
    ZoneValues::Clear();
    for (const Seed& s : c.seeds) ZoneValues::Set(s.root, s.name, s.value);
    LogCapture log;
    CheckIESecurity();
    EXPECT_EQ(c.user, log.User());
    EXPECT_EQ("○ActiveXフィルター無効 \n" + c.support, log.Support());
  }
  // A machine without the Internet zone key: this process sees HKLM through an empty key.
  ScratchKey empty(U, "Software\\ReportTests\\no_machine");
  HKEY emptyKey = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(U, empty.path().c_str(), 0, KEY_READ, &emptyKey));
  ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(M, emptyKey));
  LogCapture log;
  CheckIESecurity();
  RegOverridePredefKey(M, nullptr);
  RegCloseKey(emptyKey);
  EXPECT_EQ("★IEのセキュリティの設定が取得できませんでした \n", log.User());
}

TEST(IESecurity, ActiveXFilterWithExceptionsAndOddValueTypes) {
  ZoneValues zone;
  ZoneValues::Clear();
  for (const char* name : kNames) ZoneValues::Set(M, name, 0);
  ZoneValues::Set(M, "CurrentLevel", 0x11500);
  // A string where a number belongs does not pass for one: the machine value stands.
  HKEY user = ZoneKey(U);
  RegSetValueExA(user, "CurrentLevel", 0, REG_SZ, reinterpret_cast<const BYTE*>("70912"), 6);
  RegCloseKey(user);
  ScratchKey filtering(U, "Software\\Microsoft\\Internet Explorer\\Safety\\ActiveXFiltering");
  ScratchKey exceptions(U, "Software\\Microsoft\\Internet Explorer\\Safety\\ActiveXFilterExceptions");
  {
    LogCapture log;
    CheckIESecurity();
    EXPECT_EQ(0u, log.Support().find("○ActiveXフィルター無効 \n○インターネットゾーンのレベル 中高\n"));
  }
  filtering.SetDword("", "IsEnabled", 1);
  exceptions.SetString("example.test", "{C0000000-0000-0000-0000-000000000001}", "100%s");
  LogCapture log;
  CheckIESecurity();
  EXPECT_EQ("●IEのセキュリティ確認 \n", log.User());
  EXPECT_EQ(0u, log.Support().find("×ActiveXフィルター有効 \n○インターネットゾーン"));
  const std::string detail = log.Detail();
  const std::size_t dump = detail.find(" <Software\\Microsoft\\Internet Explorer\\Safety\\ActiveXFilterExceptions> \n");
  ASSERT_NE(std::string::npos, dump) << detail;
  EXPECT_LT(dump, detail.find("100%s"));
  EXPECT_LT(detail.find("100%s"), detail.find("○インターネットゾーン"));
  // A 4-byte REG_BINARY, as some tools write the level, is a number: the user's level stands.
  ZoneValues::Set(U, "CurrentLevel", 0x12000, REG_BINARY);
  LogCapture binary;
  CheckIESecurity();
  EXPECT_NE(std::string::npos, binary.Support().find("\n★インターネットゾーンのレベル 高\n")) << binary.Support();
}
}  // namespace

#include "probes/browser/ie_security.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {
const char kZone[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3";
const char* const kNames[] = {"CurrentLevel", "1200", "1001", "1405", "1400"};

// The prefix has its own Internet zone: the five values the section reads are
// kept and put back, in the machine and the user key alike.
class ZoneValues {
 public:
  ZoneValues() {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
      HKEY key = nullptr;
      const bool existed = RegOpenKeyExA(root, kZone, 0, KEY_READ, &key) == ERROR_SUCCESS;
      if (existed) RegCloseKey(key);
      keys_.push_back({root, existed, {}});
      for (const char* name : kNames) {
        Saved s{name, false, 0, 0};
        DWORD size = sizeof s.data;
        HKEY k = nullptr;
        if (existed && RegOpenKeyExA(root, kZone, 0, KEY_READ, &k) == ERROR_SUCCESS) {
          s.present = RegQueryValueExA(k, name, nullptr, &s.type, reinterpret_cast<BYTE*>(&s.data), &size) ==
                      ERROR_SUCCESS;
          RegCloseKey(k);
        }
        keys_.back().values.push_back(s);
      }
    }
    Clear(HKEY_LOCAL_MACHINE);
    Clear(HKEY_CURRENT_USER);
  }
  ~ZoneValues() {
    for (const KeyState& state : keys_) {
      Clear(state.root);
      HKEY key = Create(state.root);
      for (const Saved& s : state.values) {
        if (s.present) RegSetValueExA(key, s.name, 0, s.type, reinterpret_cast<const BYTE*>(&s.data), sizeof s.data);
      }
      RegCloseKey(key);
      if (!state.existed) RegDeleteKeyA(state.root, kZone);
    }
  }
  void Set(HKEY root, const char* name, DWORD value) {
    HKEY key = Create(root);
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
  }
  // The machine's four actions at 0 and the given level, the user key gone.
  void Machine(DWORD level) {
    Set(HKEY_LOCAL_MACHINE, "CurrentLevel", level);
    for (int i = 1; i < 5; ++i) Set(HKEY_LOCAL_MACHINE, kNames[i], 0);
  }
  static void Clear(HKEY root) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, kZone, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    for (const char* name : kNames) RegDeleteValueA(key, name);
    RegCloseKey(key);
  }

 private:
  struct Saved {
    const char* name;
    bool present;
    DWORD type;
    DWORD data;
  };
  struct KeyState {
    HKEY root;
    bool existed;
    std::vector<Saved> values;
  };
  static HKEY Create(HKEY root) {
    HKEY key = nullptr;
    RegCreateKeyExA(root, kZone, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    return key;
  }
  std::vector<KeyState> keys_;
};

struct Outcome {
  std::string user, support, detail;
};
Outcome Check() {
  LogCapture log;
  CheckIESecurity();
  return {log.User(), log.Support(), log.Detail()};
}

TEST(IESecurity, DefaultInternetZoneIsConfirmed) {
  ZoneValues zone;
  zone.Machine(0x11500);
  Outcome o = Check();
  EXPECT_EQ("●IEのセキュリティ確認 \n", o.user);
  EXPECT_EQ(
      "○インターネットゾーンのレベル 中高\n"
      "○ActiveXコントロールとプラグインの実行 有効\n"
      "○署名されたActiveXのダウンロード 有効\n"
      "○スクリプトを実行しても安全だと・・・ 有効\n"
      "○アクティブスクリプト 有効\n"
      "●IEのセキュリティ確認 \n",
      o.support);
}

TEST(IESecurity, HighLevelAndDisabledControlsAreProblems) {
  ZoneValues zone;
  zone.Machine(0x12000);
  zone.Set(HKEY_LOCAL_MACHINE, "1200", 3);
  zone.Set(HKEY_LOCAL_MACHINE, "1001", 0x10000);
  Outcome o = Check();
  EXPECT_EQ("★インターネットゾーンのレベル 高\n★ActiveXコントロールとプラグインの実行 無効\n", o.user);
  EXPECT_NE(std::string::npos, o.support.find("○署名されたActiveXのダウンロード 管理者のみ許可する\n"));
  EXPECT_EQ(std::string::npos, o.support.find("●"));
}

TEST(IESecurity, UserValuesWinUnlessTheyReadAsMissing) {
  ZoneValues zone;
  zone.Machine(0x10000);
  zone.Set(HKEY_CURRENT_USER, "1400", 1);
  // 0xFFFFFFFF in the user key stands for "missing": the machine's 0 is used.
  zone.Set(HKEY_CURRENT_USER, "1200", 0xFFFFFFFF);
  zone.Set(HKEY_CURRENT_USER, "1405", 2);
  Outcome o = Check();
  EXPECT_EQ("★IEのセキュリティ注意 \n", o.user);
  EXPECT_EQ(
      "○インターネットゾーンのレベル 中\n"
      "○ActiveXコントロールとプラグインの実行 有効\n"
      "○署名されたActiveXのダウンロード 有効\n"
      "★スクリプトを実行しても安全だと・・・ 無効な値\n"
      "★アクティブスクリプト ダイアログを表示する\n"
      "★IEのセキュリティ注意 \n",
      o.support);
}

TEST(IESecurity, MissingValuesAndOddLevels) {
  ZoneValues zone;
  {
    Outcome o = Check();  // no CurrentLevel anywhere
    EXPECT_EQ("★IEのセキュリティの設定がありません \n", o.user);
  }
  {
    // A level that is not a template, below the threshold, and actions missing
    // from both keys.
    zone.Set(HKEY_LOCAL_MACHINE, "CurrentLevel", 0x10100);
    Outcome o = Check();
    EXPECT_EQ("★ActiveXコントロールとプラグインの実行 無効な値\n", o.user);
    EXPECT_NE(std::string::npos, o.support.find("○インターネットゾーンのレベル 無効\n"));
    EXPECT_NE(std::string::npos, o.support.find("○署名されたActiveXのダウンロード 無効な値\n"));
  }
  {
    // A value of another type does not pass for a number.
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, kZone, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExA(key, "CurrentLevel", 0, REG_SZ, reinterpret_cast<const BYTE*>("70912"), 6);
    RegCloseKey(key);
    zone.Machine(0x11500);
    Outcome o = Check();
    EXPECT_EQ("●IEのセキュリティ確認 \n", o.user);
  }
}

TEST(IESecurity, ActiveXFilterWithExceptions) {
  ZoneValues zone;
  zone.Machine(0x11500);
  ScratchKey filtering(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Safety\\ActiveXFiltering");
  ScratchKey exceptions(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Safety\\ActiveXFilterExceptions");
  {
    Outcome o = Check();  // key present, no IsEnabled
    EXPECT_EQ(0u, o.support.find("○ActiveXフィルター無効 \n○インターネットゾーン"));
    EXPECT_EQ(std::string::npos, o.detail.find("ActiveXFilterExceptions"));
  }
  filtering.SetDword("", "IsEnabled", 1);
  exceptions.SetString("example.test", "{C0000000-0000-0000-0000-000000000001}", "100%s");
  Outcome o = Check();
  EXPECT_EQ("●IEのセキュリティ確認 \n", o.user);
  EXPECT_EQ(0u, o.support.find("×ActiveXフィルター有効 \n○インターネットゾーン"));
  // The exception list stands in the details between the filter line and the zone.
  const std::size_t dump = o.detail.find(" <Software\\Microsoft\\Internet Explorer\\Safety\\ActiveXFilterExceptions> \n");
  ASSERT_NE(std::string::npos, dump) << o.detail;
  EXPECT_LT(o.detail.find("×ActiveXフィルター有効"), dump);
  EXPECT_NE(std::string::npos, o.detail.find("100%s"));
  EXPECT_LT(o.detail.find("</Software\\Microsoft\\Internet Explorer\\Safety\\ActiveXFilterExceptions> \n"),
            o.detail.find("○インターネットゾーン"));
}
}  // namespace

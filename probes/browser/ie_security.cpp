#include "probes/browser/ie_security.h"

#include "log/report_log.h"
#include "query/platform.h"
#include "query/registry_search.h"

namespace {
const char kFilteringKey[] = "Software\\Microsoft\\Internet Explorer\\Safety\\ActiveXFiltering";
const char kFilterExceptionsKey[] = "Software\\Microsoft\\Internet Explorer\\Safety\\ActiveXFilterExceptions";
const char kInternetZoneKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3";
const DWORD kMissing = 0xFFFFFFFF;

struct NamedValue {
  DWORD value;
  const char* name;
};
const NamedValue kUrlActionNames[] = {
    {0, "有効"}, {1, "ダイアログを表示する"}, {3, "無効"}, {0x10000, "管理者のみ許可する"}};
const NamedValue kZoneLevelNames[] = {
    {0x10000, "中"}, {0x10500, "中低"}, {0x11000, "中"}, {0x11500, "中高"}, {0x12000, "高"}};

HKEY OpenKey(HKEY root, const char* path) {
  HKEY key = nullptr;
  return RegOpenKeyExA(root, path, 0, KEY_READ, &key) == ERROR_SUCCESS ? key : nullptr;
}
}  // namespace

const char* GetUrlActionName(DWORD value) {
  for (const NamedValue& row : kUrlActionNames) {
    if (row.value == value) return row.name;
  }
  return "無効な値";
}

const char* GetZoneLevelName(DWORD level) {
  for (const NamedValue& row : kZoneLevelNames) {
    if (row.value == level) return row.name;
  }
  return "無効";
}

void CheckIESecurity() {
  UniqueRegKey filtering(OpenKey(HKEY_CURRENT_USER, kFilteringKey));
  if (filtering) {
    const bool enabled = RegQueryDword(filtering.get(), "IsEnabled", 0) != 0;
    WriteSupportLine("%s", enabled ? "×ActiveXフィルター有効 \n" : "○ActiveXフィルター無効 \n");
    filtering.reset();
    if (enabled) DumpRegKey(HKEY_CURRENT_USER, kFilterExceptionsKey, "");
  }

  UniqueRegKey machine(OpenKey(HKEY_LOCAL_MACHINE, kInternetZoneKey));
  if (!machine) {
    WriteUserLine("★IEのセキュリティの設定が取得できませんでした \n");
    return;
  }
  UniqueRegKey user(OpenKey(HKEY_CURRENT_USER, kInternetZoneKey));
  const DWORD level = RegQueryDwordFromKeys(user.get(), machine.get(), "CurrentLevel", 0);
  const DWORD runControls = RegQueryDwordFromKeys(user.get(), machine.get(), "1200", kMissing);
  const DWORD downloadSigned = RegQueryDwordFromKeys(user.get(), machine.get(), "1001", kMissing);
  const DWORD scriptSafe = RegQueryDwordFromKeys(user.get(), machine.get(), "1405", kMissing);
  const DWORD activeScripting = RegQueryDwordFromKeys(user.get(), machine.get(), "1400", kMissing);
  user.reset();
  machine.reset();

  if (level == 0) {
    WriteUserLine("★IEのセキュリティの設定がありません \n");
    return;
  }
  bool problem = false, caution = false;
  if (level > 0x11500) {
    WriteUserLine("★インターネットゾーンのレベル %s\n", GetZoneLevelName(level));
    problem = true;
  } else {
    WriteSupportLine("○インターネットゾーンのレベル %s\n", GetZoneLevelName(level));
  }
  if (runControls != 0) {
    WriteUserLine("★ActiveXコントロールとプラグインの実行 %s\n", GetUrlActionName(runControls));
    problem = true;
  } else {
    WriteSupportLine("○ActiveXコントロールとプラグインの実行 %s\n", GetUrlActionName(0));
  }
  WriteSupportLine("○署名されたActiveXのダウンロード %s\n", GetUrlActionName(downloadSigned));
  if (scriptSafe != 0) {
    WriteSupportLine("★スクリプトを実行しても安全だと・・・ %s\n", GetUrlActionName(scriptSafe));
    caution = true;
  } else {
    WriteSupportLine("○スクリプトを実行しても安全だと・・・ %s\n", GetUrlActionName(0));
  }
  if (activeScripting != 0) {
    WriteSupportLine("★アクティブスクリプト %s\n", GetUrlActionName(activeScripting));
    caution = true;
  } else {
    WriteSupportLine("○アクティブスクリプト %s\n", GetUrlActionName(0));
  }
  if (problem) return;
  WriteUserLine("%s", caution ? "★IEのセキュリティ注意 \n" : "●IEのセキュリティ確認 \n");
}

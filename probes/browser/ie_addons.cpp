#include "probes/browser/ie_addons.h"

#include <string>

#include "base/owner.h"
#include "log/report_log.h"
#include "query/module_line_rules.h"
#include "query/platform.h"

namespace {
const char kStatsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Stats";
const char kSettingsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\";
const char* const kAddonTypeNames[] = {"ActiveX", "ツールバー", "ヘルパー", "ブラウザ拡張"};

HKEY OpenKey(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  return RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS ? key : nullptr;
}

void ReportAddon(HKEY stats, const char* id) {
  UniqueRegKey browser(OpenKey(stats, std::string(id) + "\\iexplore"));
  if (!browser) return;
  const DWORD type = RegQueryDword(browser.get(), "Type", 0xFFFFFFFF);
  browser.reset();

  bool disabled = false;
  UniqueRegKey settings(OpenKey(HKEY_CURRENT_USER, std::string(kSettingsKey) + id));
  if (settings) disabled = RegQueryDword(settings.get(), "Flags", 0) == 1;
  settings.reset();

  std::string name;
  UniqueRegKey server(OpenKey(HKEY_CLASSES_ROOT, std::string("CLSID\\") + id));
  if (server) RegQueryString(server.get(), nullptr, name);
  server.reset();
  // Key names and the name are the user's to write; a line break in them
  // would start a line of its own.
  name = WithoutControls(name);
  const std::string shownId = WithoutControls(id);

  const char* state = disabled ? "無効" : "有効";
  const char* typeName = GetAddonTypeName(type);
  if (name.empty()) {
    WriteDetailLine("%s, アドオン%x, \"\", %s\n", state, static_cast<unsigned>(type), shownId.c_str());
  } else if (typeName != nullptr) {
    WriteSupportLine("%s, %s, \"%s\" \n", state, typeName, name.c_str());
    WriteDetailLine("%s, %s, \"%s\", %s \n", state, typeName, name.c_str(), shownId.c_str());
  } else {
    WriteDetailLine("%s, アドオン%x, \"%s\", %s\n", state, static_cast<unsigned>(type), name.c_str(), shownId.c_str());
  }
}
}  // namespace

const char* GetAddonTypeName(DWORD type) { return type >= 1 && type <= 4 ? kAddonTypeNames[type - 1] : nullptr; }

void ListIEAddons() {
  UniqueRegKey stats(OpenKey(HKEY_CURRENT_USER, kStatsKey));
  if (!stats) {
    WriteUserLine("★IEのアドオンの一覧が取得できませんでした \n");
    return;
  }
  DWORD index = 0;
  for (;; ++index) {
    char id[256] = {};
    DWORD size = sizeof id;
    const LONG result = RegEnumKeyExA(stats.get(), index, id, &size, nullptr, nullptr, nullptr, nullptr);
    // A name too long for the buffer is no add-on identifier: skip it and go on.
    if (result == ERROR_MORE_DATA) continue;
    if (result != ERROR_SUCCESS) break;
    if (index == kMaxIEAddons) {
      WriteDetailLine("※アドオンが多すぎるため一覧を打ち切りました \n");
      break;
    }
    ReportAddon(stats.get(), id);
  }
  stats.reset();
  WriteUserLine("●IEのアドオン一覧確認 \n");
}

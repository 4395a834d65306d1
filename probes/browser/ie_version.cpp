#include "probes/browser/ie_version.h"

#include <windows.h>

#include "base/owner.h"
#include "log/report_log.h"
#include "probes/browser/ie_version_rules.h"
#include "query/module_line_rules.h"
#include "query/system_library.h"
#include "query/version_info.h"

namespace {
const char* const kEngineLibraries[] = {"mshtml.dll", "IEFrame.dll", "ShDocVw.dll"};
const char kIeKey[] = "SOFTWARE\\Microsoft\\Internet Explorer";

std::string ReadRegSz(HKEY key, const char* name) {
  char data[261] = {};
  DWORD type = 0;
  DWORD size = 260;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return "";
  }
  data[size < 260 ? size : 260] = '\0';
  return data;
}

VersionQuad EngineFileVersion() {
  for (const char* name : kEngineLibraries) {
    UniqueModule module(LoadSystemLibrary(name));
    if (module) return GetModuleVersionQuad(module.get());
  }
  return 0;
}
}  // namespace

bool GetIEVersionFromRegistry(std::string& version, std::string& build) {
  version.clear();
  build.clear();
  UniqueRegKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kIeKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return false;
  version = WithoutControls(ReadRegSz(key.get(), "Version"));
  build = WithoutControls(ReadRegSz(key.get(), "Build"));
  return true;
}

bool CheckInternetExplorerWith(VersionQuad fileVersion, const char* upper, const char* lower) {
  WriteSupportLine("InternetExplorer version %d.%d.%d.%d \n", VersionPart(fileVersion, 0),
                   VersionPart(fileVersion, 1), VersionPart(fileVersion, 2), VersionPart(fileVersion, 3));
  std::string regVersion, regBuild;
  GetIEVersionFromRegistry(regVersion, regBuild);
  WriteSupportLine("InternetExplorer reg version %s , build %s \n", regVersion.c_str(), regBuild.c_str());

  std::string text;
  VersionQuad version = fileVersion;
  if (fileVersion != 0) {
    text = VersionQuadText(fileVersion);
  } else if (regVersion.empty()) {
    WriteSupportLine("InternetExplorerのバージョンがレジストリに格納されていない \n");
    WriteUserLine("★InternetExplorer動作対象外 \n");
    return false;
  } else {
    text = regVersion;
    version = ParseVersionQuad(regVersion.c_str(), 0, "0");
  }

  switch (JudgeIeVersion(version, upper, lower)) {
    case IeVerdict::InRange:
      WriteUserLine("●InternetExplorer確認 %s \n", text.c_str());
      return true;
    case IeVerdict::PreRelease:
      WriteSupportLine("β版のInternetExplorerなので動作対象外 \n");
      WriteUserLine("★InternetExplorer動作対象外(β版) %s \n", text.c_str());
      return false;
    default:
      WriteUserLine("★InternetExplorer動作対象外 %s \n", text.c_str());
      return false;
  }
}

bool CheckInternetExplorer(const char* upper, const char* lower) {
  return CheckInternetExplorerWith(EngineFileVersion(), upper, lower);
}

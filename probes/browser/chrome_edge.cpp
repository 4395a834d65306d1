#include "probes/browser/chrome_edge.h"

#include <string>

#include "base/cp932_rules.h"
#include "log/report_log.h"
#include "probes/browser/browser_command_rules.h"
#include "probes/browser/browser_profiles.h"
#include "query/module_line_rules.h"
#include "query/platform.h"
#include "query/version_info.h"

namespace {
struct BrowserTexts {
  const wchar_t* commandKey;
  const char* name;         // in the lines: "Chrome" or "Edge"
  const char* versionName;  // readers know the version line as "Chrom version"
  int browserCode;
};
const BrowserTexts kChrome = {L"ChromeHTML\\shell\\open\\command", "Chrome", "Chrom", kBrowserChrome};
const BrowserTexts kEdge = {L"MSEdgeHTM\\shell\\open\\command", "Edge", "Edge", kBrowserEdge};
const DWORD kCommandBytes = 324;

std::string WideToAnsi(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int length = static_cast<int>(wide.size());
  const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string ansi(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), length, &ansi[0], size, nullptr, nullptr);
  return ansi;
}

int Part(VersionQuad v, int shift) { return static_cast<int>((v >> shift) & 0xFFFF); }

bool CheckBrowser(const BrowserTexts& t, bool wow64) {
  wchar_t command[kCommandBytes / sizeof(wchar_t)] = {};
  if (RegQueryStringW(HKEY_CLASSES_ROOT, t.commandKey, nullptr, command, kCommandBytes, 0) == nullptr) {
    WriteUserLine("★%s無し \n", t.name);
    return false;
  }
  std::wstring widePath;
  if (!ExtractExecutablePath(command, widePath)) {
    // The command is the user's to write (HKCU\Software\Classes).
    const std::string shown = WithoutControls(WideToAnsi(command));
    WriteUserLine("★%sパス不正 %.*s \n", t.name, WholeCharsLength(shown, 199), shown.c_str());
    return false;
  }
  const std::string path = WideToAnsi(widePath);
  const std::string shownPath = WithoutControls(path);
  WriteDetailLine("%s path %.*s \n", t.name, WholeCharsLength(shownPath, 199), shownPath.c_str());

  std::string company, original, product, productVersion;
  ReadFileVersionInfo(path.c_str(), company, original, product, productVersion);
  WriteSupportLine("%s, %s, %s, \"%s\" \n", original.c_str(), company.c_str(), product.c_str(),
                   productVersion.c_str());

  const VersionQuad version = GetFileVersionQuad(path.c_str());
  if (version == 0) {
    WriteUserLine("★%sのバージョンが取得できません \n", t.name);
    return false;
  }
  WriteSupportLine("%s version %d.%d.%d.%d \n", t.versionName, Part(version, 48), Part(version, 32), Part(version, 16), Part(version, 0));

  bool is64 = false;
  if (wow64) {
    is64 = IsFile64Bit(path.c_str());
    WriteSupportLine("%s", is64 ? "64bit版 \n" : "32bit版 \n");
  }
  CheckBrowserProfiles(t.browserCode);
  WriteUserLine("●%s確認 %d.%d.%d.%d %s \n", t.name, Part(version, 48), Part(version, 32), Part(version, 16), Part(version, 0),
                is64 ? "64bit版" : "32bit版");
  return true;
}

// The 64-bit build of Report only runs on 64-bit Windows.
bool RunsOn64BitWindows() { return IsWow64() || sizeof(void*) == 8; }
}  // namespace

bool CheckChromeOn(bool wow64) { return CheckBrowser(kChrome, wow64); }
bool CheckEdgeOn(bool wow64) { return CheckBrowser(kEdge, wow64); }
bool CheckChrome() { return CheckChromeOn(RunsOn64BitWindows()); }
bool CheckEdge() { return CheckEdgeOn(RunsOn64BitWindows()); }

#include "probes/apps/docuworks.h"

#include <windows.h>

#include <string>

#include "log/report_log.h"
#include "query/com_server.h"
#include "base/cp932_rules.h"
#include "query/platform.h"
#include "query/module_line_rules.h"

namespace {
const char kDocuWorksExtension[] = ".xdw";
const char kViewerProgId[] = "qmviewx.qmviewxctrl.1";
const DWORD kServerBytes = 520;  // 260 characters
}  // namespace

void CheckDocuWorks(const char* upper, const char* lower) { CheckDocuWorks(upper, lower, IsWow64()); }

void CheckDocuWorks(const char* upper, const char* lower, bool onWow64) {
  bool notFound = false, is64 = false, outOfRange = false;
  std::string versionText;

  wchar_t registered[kServerBytes / sizeof(wchar_t)] = {};
  if (GetOleServerPath(kDocuWorksExtension, registered, kServerBytes) == nullptr) {
    WriteSupportLine("★DocuWorks %s のOLEプログラムが見つかりません \n", kDocuWorksExtension);
    notFound = true;
  } else {
    const std::string path = ServerExecutablePath(registered);
    // The server path is user-writable; shown without control characters.
    const std::string programShown = WithoutControls(FileNamePart(path.c_str()));
    const char* program = programShown.c_str();
    if (onWow64) {
      WriteDetailLineW(L"64bitOS ");
      is64 = IsFile64Bit(path.c_str());
      WriteDetailLineW(is64 ? L"64bit版" : L"32bit版");
      if (is64) WriteSupportLine("★DocuWorks %s %s のOLEプログラムが64bit \n", kDocuWorksExtension, program);
    }
    const VersionQuad version = GetFileVersionQuad(path.c_str());
    if (version != 0) versionText = VersionQuadText(version);
    std::string company, original, product, productVersion;
    ReadFileVersionInfo(path.c_str(), company, original, product, productVersion);
    WriteSupportLine("DocuWorks %s %s バージョン %s %s", kDocuWorksExtension, program, versionText.c_str(),
                     productVersion.c_str());
    if (!IsVersionInRange(upper, lower, version)) {
      WriteSupportLine("★DocuWorks %s %s が動作対象外 %s \n", kDocuWorksExtension, program, versionText.c_str());
      outOfRange = true;
    }
  }

  RegKey viewer;
  if (viewer.Open(HKEY_CLASSES_ROOT, kViewerProgId, KEY_READ) != ERROR_SUCCESS)
    WriteSupportLine("★IE内でのDocuWorks保護用ActiveXはインストールされていません \n");
  viewer.Close();

  if (notFound) {
    WriteUserLine("★DocuWorksが見つからない \n");
  } else if (is64) {
    WriteUserLine("★DocuWorksが64bitで動作対象外 %s \n", versionText.c_str());
  } else if (outOfRange) {
    WriteUserLine("★DocuWorksが動作対象外 %s \n", versionText.c_str());
  } else {
    WriteUserLine("●DocuWorks %s 確認 %s \n", "", versionText.c_str());
  }
}

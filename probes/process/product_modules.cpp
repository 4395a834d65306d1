#include "probes/process/product_modules.h"

#include <windows.h>
#include <shlobj.h>

#include "base/cp932_rules.h"
#include "base/owner.h"
#include "log/report_log.h"
#include "query/module_line_rules.h"
#include "query/platform.h"

namespace {
const char* const kSystemPatterns[] = {"lg*.*", "qm*.*"};
const char kRoamingSubfolder[] = "meridan\\lg4lpvc\\";
const char kLocalSubfolder[] = "ORBWELL\\lg4lpv\\";
const char kMicrosoftCompany[] = "Microsoft Corporation";
// A folder the user controls could hold anything; the product keeps a few dozen files.
const int kMaxEntriesPerScan = 10000;

void AppendBackslash(std::string& folder) {
  const char* last = FindLastBackslash(folder.c_str());
  if (last == nullptr || last + 1 != folder.c_str() + folder.size()) folder += '\\';
}

std::string SystemFolderFor32BitPrograms() {
  typedef UINT(WINAPI * GetWow64DirFn)(LPSTR, UINT);
  char folder[MAX_PATH] = {};
  UINT length = 0;
  if (auto getWow64Dir = GetLoadedProc<GetWow64DirFn>("Kernel32.dll", "GetSystemWow64DirectoryA"))
    length = getWow64Dir(folder, sizeof folder);
  if (length == 0 || length >= sizeof folder) length = GetSystemDirectoryA(folder, sizeof folder);
  if (length == 0 || length >= sizeof folder) return std::string();
  std::string result = folder;
  AppendBackslash(result);
  return result;
}

// The special folder with the product's subfolder. A special folder that is
// missing is never created (Report only reads); its place is skipped with a line.
std::string SpecialFolderWith(int csidl, const char* csidlName, const char* subfolder) {
  std::string result = ExistingSpecialFolder(csidl);
  if (result.empty()) {
    WriteDetailLine("※%s のフォルダーが見つからないため %s を省略 \n", csidlName, subfolder);
    return std::string();
  }
  AppendBackslash(result);
  return result + subfolder;
}
}  // namespace

void ReportModuleFile(const std::string& path) {
  std::string versionText, company, original, product, productVersion;
  if (!path.empty()) {
    VersionQuad version = 0;
    ReadFileVersionQuadAndInfo(path.c_str(), version, company, original, product, productVersion);
    if (version != 0) versionText = VersionQuadText(version);
  }
  // A line break inside a version text would split the report line, as in
  // the module lines.
  for (std::string* text : {&company, &original, &product, &productVersion}) {
    std::string clean;
    AppendWithoutControls(clean, *text);
    *text = clean;
  }
  const char* name = FileNamePart(path.c_str());
  if (EqualsNoCaseCp932(company.c_str(), kMicrosoftCompany)) {
    WriteDetailLine("%s, %s, %s, %s, %s, %s, \"%s\" \n", name, path.c_str(), versionText.c_str(), original.c_str(),
                    company.c_str(), product.c_str(), productVersion.c_str());
  } else {
    WriteSupportLine("%s, %s, %s, %s, %s, %s, \"%s\" \n", name, path.c_str(), versionText.c_str(), original.c_str(),
                     company.c_str(), product.c_str(), productVersion.c_str());
  }
}

void ScanModuleFiles(const std::string& folder, const char* pattern) {
  WIN32_FIND_DATAA entry = {};
  FindHandle find(FindFirstFileA((folder + pattern).c_str(), &entry));
  if (!find) return;
  int count = 0;
  do {
    if (count == kMaxEntriesPerScan) {
      WriteDetailLine("※ %.*s%.99s は %d 件を超えるため以降を省略 \n", WholeCharsLength(folder, 199), folder.c_str(),
                      pattern, kMaxEntriesPerScan);
      return;
    }
    ++count;
    if (entry.cFileName[0] != '.') ReportModuleFile(folder + entry.cFileName);
  } while (FindNextFileA(find.get(), &entry));
}

int CheckProductModules() {
  const std::string systemFolder = SystemFolderFor32BitPrograms();
  if (!systemFolder.empty()) {
    for (const char* pattern : kSystemPatterns) ScanModuleFiles(systemFolder, pattern);
  }
  const std::string roaming = SpecialFolderWith(CSIDL_APPDATA, "CSIDL_APPDATA", kRoamingSubfolder);
  if (!roaming.empty()) ScanModuleFiles(roaming, "*.*");
  const std::string local = SpecialFolderWith(CSIDL_LOCAL_APPDATA, "CSIDL_LOCAL_APPDATA", kLocalSubfolder);
  if (!local.empty()) ScanModuleFiles(local, "*.*");
  WriteUserLine("●モジュール構成確認 \n");
  return 0;
}

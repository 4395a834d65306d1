#include "probes/apps/security_software.h"

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "log/report_log.h"
#include "base/owner.h"
#include "base/cp932_rules.h"
#include "query/module_line_rules.h"
#include "query/outside_file.h"
#include "query/platform.h"

namespace {
const char kConfirmed[] = "●Security確認 %s %s \n";
// Definition files are small; anything beyond this is not read.
const DWORD kMaxTextFile = 1024 * 1024;

// True when HKLM\Software\<vendor> opens.
bool VendorKeyExists(const char* vendor) {
  RegKey key;
  return key.Open(HKEY_LOCAL_MACHINE, (std::string("Software\\") + vendor).c_str(), KEY_READ) == ERROR_SUCCESS;
}

bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The rest of the first line of a text file that starts with prefix (without
// regard to case); empty when no line does or the file cannot be read.
std::string ValueOfFirstLine(const std::string& path, const char* prefix) {
  // The path comes from a key: a pipe named there would hang the read.
  UniqueHandle file(
      OpenOutsideFile(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0));
  if (!file) return std::string();
  std::string content(kMaxTextFile, '\0');
  DWORD read = 0;
  if (!ReadFile(file.get(), &content[0], kMaxTextFile, &read, nullptr)) return std::string();
  content.resize(read);
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string rest;
    // A lone CR or another control character in the file stays out of the line.
    if (TextAfterPrefixNoCase(line, prefix, rest)) return WithoutControls(rest.substr(0, rest.find('\0')));
    start = end + 1;
  }
  return std::string();
}

// Company and product printed whole: a long name is what the machine holds.
// Both come from registries and version resources that others write, so a
// line break inside one must not start a line of its own.
void WriteConfirmed(const std::string& company, const std::string& product) {
  WriteUserLine(kConfirmed, WithoutControls(company).c_str(), WithoutControls(product).c_str());
}

std::string CommonAppDataFolder() {
  char folder[MAX_PATH] = {};
  // Never created here: Report only reads.
  if (!SHGetSpecialFolderPathA(nullptr, folder, CSIDL_COMMON_APPDATA, FALSE)) return std::string();
  return folder;
}
}  // namespace

void CheckSecuritySoftware() {
  bool found = false;

  if (VendorKeyExists("Symantec")) {
    std::string product;
    RegReadString(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\Norton\\SecurityStatusSDK", "SDKProduct", product);
    RegReadString(HKEY_LOCAL_MACHINE, "Software\\Norton\\SecurityStatusSDK", "SDKProduct", product);
    if (!product.empty()) {
      WriteConfirmed("Symantec", product);
      found = true;
      RemoveSecurityCandidate("symantec");
    }
  }
  if (VendorKeyExists("TrendMicro")) {
    std::string product;
    RegReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\TrendMicro\\PC-cillin", "ProductName", product);
    if (!product.empty()) {
      WriteConfirmed("TrendMicro", product);
      found = true;
      RemoveSecurityCandidate("trend");
    }
    std::string application;
    RegReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\TrendMicro\\PC-cillinNTCorp\\CurrentVersion", "Application Path",
                  application);
    if (!application.empty()) {
      WriteConfirmed("TrendMicro", "ウイルスバスター Corp");
      found = true;
      RemoveSecurityCandidate("trend");
    }
  }
  if (VendorKeyExists("Kingsoft")) {
    std::string product;
    RegReadString(HKEY_LOCAL_MACHINE, "Software\\Kingsoft\\AntiVirus\\SetupOem", "kav32", product);
    if (!product.empty()) {
      WriteConfirmed("Kingsoft", product);
      found = true;
      RemoveSecurityCandidate("kingsoft");
    }
  }

  if (!SecurityCandidates.empty()) found = true;
  for (const auto& candidate : SecurityCandidates) WriteConfirmed(candidate.first, candidate.second);

  std::string application;
  RegReadString(HKEY_LOCAL_MACHINE, "Software\\TrendMicro\\PC-cillinNTCorp\\CurrentVersion", "Application Path",
                application);
  if (!application.empty() && PathExists(application + "updinfo.ini")) {
    const std::string version = ValueOfFirstLine(application + "updinfo.ini", "Ptnfile_Version = ");
    std::string date;
    GetFilesTimeString(TrendPatternFiles(application, version).c_str(), date);
    if (!version.empty()) {
      WriteUserLine("●Trend Micro VirusBuster確認 ver=%s 日付=%s \n", version.c_str(), date.c_str());
      found = true;
    }
  }

  const std::string common = CommonAppDataFolder();
  if (!common.empty()) {
    const std::string defs = common + "\\Symantec Shared\\VirusDefs\\";
    if (PathExists(defs + "definfo.dat")) {
      const std::string name = ValueOfFirstLine(defs + "definfo.dat", "CurDefs=");
      std::string date;
      GetFilesTimeString((defs + name + "\\*.*").c_str(), date);
      if (!name.empty()) {
        WriteUserLine("●Symantec Norton AntiVirus確認 ver=%s 日付=%s \n", name.c_str(), date.c_str());
        found = true;
      }
    }
    if (PathExists(common + "\\network associates\\virus scan engine")) {
      WriteUserLine("●McAfee AntiVirus確認 \n");
      found = true;
    }
    if (PathExists(common + "\\McAfee\\Engine")) {
      WriteUserLine("●McAfee AntiVirus確認 \n");
      found = true;
    }
  }

  if (!found) WriteUserLine("★Anti-Virus不明 \n");
}

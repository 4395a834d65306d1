// The security-software section with vendor keys under HKLM of the test
// prefix and definition files with dates.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>

#include "probes/apps/security_software.h"
#include "tests/support/test_support.h"

namespace {
std::string CommonAppData() {
  char folder[MAX_PATH] = {};
  SHGetSpecialFolderPathA(nullptr, folder, CSIDL_COMMON_APPDATA, FALSE);
  return folder;
}

// Sets a file's last-write time to a local date at noon.
void SetDate(const std::string& path, WORD year, WORD month, WORD day) {
  SYSTEMTIME local = {};
  local.wYear = year;
  local.wMonth = month;
  local.wDay = day;
  local.wHour = 12;
  FILETIME localTime, utc;
  SystemTimeToFileTime(&local, &localTime);
  LocalFileTimeToFileTime(&localTime, &utc);
  HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  SetFileTime(file, nullptr, nullptr, &utc);
  CloseHandle(file);
}

// Vendor folders under the common application-data folder, removed afterwards.
class VendorFolders {
 public:
  ~VendorFolders() {
    for (const char* top : {"\\Symantec Shared", "\\McAfee", "\\network associates"}) RemoveTree(CommonAppData() + top);
  }
  // Creates each level of a folder below the common application-data folder.
  std::string Make(const std::string& relative) {
    for (std::size_t end = relative.find('\\', 1);; end = relative.find('\\', end + 1)) {
      CreateDirectoryA((CommonAppData() + relative.substr(0, end)).c_str(), nullptr);
      if (end == std::string::npos) return CommonAppData() + relative + "\\";
    }
  }
  void Write(const std::string& path, const std::string& content) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
  }
};

class SecuritySoftware : public ::testing::Test {
 protected:
  void SetUp() override { SecurityCandidates.clear(); }
  void TearDown() override { SecurityCandidates.clear(); }
};
}  // namespace

TEST_F(SecuritySoftware, NothingFoundGivesTheSingleUnknownLine) {
  LogCapture log;
  CheckSecuritySoftware();
  EXPECT_EQ(log.User(), "★Anti-Virus不明 \n");
}

TEST_F(SecuritySoftware, TrendMicroKeysPatternFileAndCandidates) {
  ScratchDir dir("apps_security_trend");
  ScratchKey trend(HKEY_LOCAL_MACHINE, "SOFTWARE\\TrendMicro");
  trend.SetString("PC-cillin", "ProductName", "ウイルスバスター クラウド");
  trend.SetString("PC-cillinNTCorp\\CurrentVersion", "Application Path", dir.path());
  // A pattern version of 207 bytes and a product name of 248 are printed whole.
  const std::string longVersion = "1612300" + std::string(200, '9');
  dir.Write("updinfo.ini", "[Info]\r\nptnfile_version = " + longVersion + "\r\nOther=1\r\n");
  const std::string pattern = dir.Write("lpt$vpn.612", "pattern");
  SetDate(pattern, 2024, 5, 6);
  // Collected from running processes: the Trend Micro process is confirmed by
  // its registry key and so not listed again; the other stays.
  AddSecurityCandidate("Trend Micro Inc.", "Virus Buster Security");
  AddSecurityCandidate("Example Labs", "Example VIRUS\tShield");  // the tab is blanked
  std::string longName = "Security";
  for (int i = 0; i < 120; ++i) longName += "表";
  AddSecurityCandidate("Example Japan", longName);

  LogCapture log;
  CheckSecuritySoftware();
  EXPECT_EQ(log.User(),
            "●Security確認 TrendMicro ウイルスバスター クラウド \n"
            "●Security確認 TrendMicro ウイルスバスター Corp \n"
            "●Security確認 Example Japan " + longName + " \n"
            "●Security確認 Example Labs Example VIRUS Shield \n"
            "●Trend Micro VirusBuster確認 ver=" + longVersion + " 日付=2024/05/06 \n");
  EXPECT_EQ(SecurityCandidates.count("Trend Micro Inc."), 0u);
}

TEST_F(SecuritySoftware, SymantecKingsoftAndMcAfee) {
  ScratchKey symantec(HKEY_LOCAL_MACHINE, "Software\\Symantec");
  ScratchKey norton32(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\Norton");
  ScratchKey norton(HKEY_LOCAL_MACHINE, "Software\\Norton");
  norton32.SetString("SecurityStatusSDK", "SDKProduct", "Norton 32");
  norton.SetString("SecurityStatusSDK", "SDKProduct", "Norton 360");  // the second read wins
  ScratchKey kingsoft(HKEY_LOCAL_MACHINE, "Software\\Kingsoft");
  kingsoft.SetString("AntiVirus\\SetupOem", "kav32", "KINGSOFT Internet Security");
  kingsoft.SetDword("AntiVirus\\SetupOem", "ignored", 1);

  VendorFolders folders;
  const std::string defs = folders.Make("\\Symantec Shared\\VirusDefs");
  folders.Write(defs + "definfo.dat", "[DefDates]\r\ncurdefs=20240506.003\r\nLastDefs=20240501.001\r\n");
  const std::string current = folders.Make("\\Symantec Shared\\VirusDefs\\20240506.003");
  folders.Write(current + "virscan.dat", "defs");
  SetDate(current + "virscan.dat", 2024, 5, 7);
  folders.Make("\\network associates\\virus scan engine");
  folders.Make("\\McAfee\\Engine");

  AddSecurityCandidate("Symantec Corporation", "Norton Security");
  AddSecurityCandidate("", "Kingsoft Internet Security");  // no company: keyed by the empty text
  LogCapture log;
  CheckSecuritySoftware();
  // Removal looks at company names only, so the entry without one stays.
  EXPECT_EQ(log.User(),
            "●Security確認 Symantec Norton 360 \n"
            "●Security確認 Kingsoft KINGSOFT Internet Security \n"
            "●Security確認  Kingsoft Internet Security \n"
            "●Symantec Norton AntiVirus確認 ver=20240506.003 日付=2024/05/07 \n"
            "●McAfee AntiVirus確認 \n"
            "●McAfee AntiVirus確認 \n");
}

TEST_F(SecuritySoftware, WrongValueTypesEmptyValuesAndNoVersionLine) {
  ScratchDir dir("apps_security_noversion");
  ScratchKey symantec(HKEY_LOCAL_MACHINE, "Software\\Symantec");
  ScratchKey norton(HKEY_LOCAL_MACHINE, "Software\\Norton");
  norton.SetDword("SecurityStatusSDK", "SDKProduct", 360);
  ScratchKey trend(HKEY_LOCAL_MACHINE, "SOFTWARE\\TrendMicro");
  trend.SetString("PC-cillin", "ProductName", "");
  trend.SetString("PC-cillinNTCorp\\CurrentVersion", "Application Path", dir.path());
  dir.Write("updinfo.ini", "[Info]\r\nPtnfile_Version=1612300\r\n");  // no blanks: not the line
  LogCapture log;
  CheckSecuritySoftware();
  EXPECT_EQ(log.User(), "●Security確認 TrendMicro ウイルスバスター Corp \n");
}

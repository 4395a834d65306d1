#include "probes/apps/acrobat.h"

#include <tlhelp32.h>

#include <cstdio>

#include "base/cp932_rules.h"
#include "base/owner.h"
#include "log/report_log.h"
#include "probes/apps/app_rules.h"
#include "query/module_line_rules.h"
#include "query/platform.h"
#include "query/window_list.h"

namespace {
const char kExeKey[] = "Software\\Adobe\\Acrobat\\Exe";
const char kPdfMimeKey[] = "MIME\\Database\\Content Type\\application/pdf";
const char kPdfMimeMachineKey[] = "SOFTWARE\\Classes\\MIME\\Database\\Content Type\\application/pdf";
const char kAcrobat7CommandKey[] = "AcroExch.Document.7\\shell\\Read\\command";
const char kHelperProgId[] = "AcroIEHelper.AcroIEHlprObj";
const char kAddonSettingsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\";
const char* const kActiveXFiles[] = {"pdf.ocx", "AcroPDF.dll"};
const char* const kAcrobatWindowClasses[] = {"AdobeAcrobat", "AcrobatSDIWindow", "AcrobatMDIWindow"};

const DWORD kRegTextBytes = 1024;
const ULONG kCommandBytes = 260;
const unsigned kNeverOutOfBrowserFrom = 15;
const int kSnapshotAttempts = 100;

const char kNotInBrowserUser[] = "★Acrobat/AdobeReaderで「PDFをブラウザに表示する」にチェックがありません \n";

// A string value of REG_SZ or REG_EXPAND_SZ that ends with its terminator.
LONG ReadTerminatedString(HKEY root, const char* subkey, const char* valueName, ULONG bytes, std::string& text) {
  RegKey key;
  LONG rc = key.Open(root, subkey, KEY_READ);
  if (rc != ERROR_SUCCESS) return rc;
  std::string buffer(bytes + 1, '\0');
  ULONG count = bytes;
  rc = key.QueryStringValue(valueName, &buffer[0], &count);
  if (rc == ERROR_SUCCESS) text = buffer.c_str();
  return rc;
}

std::string BoundsText(const char* text) { return text ? text : ""; }
}  // namespace

bool GetRegString(HKEY root, const char* subkey, const char* valueName, std::string& text) {
  HKEY raw = nullptr;
  if (RegOpenKeyExA(root, subkey, 0, KEY_READ, &raw) != ERROR_SUCCESS) return false;
  UniqueRegKey key(raw);
  char buffer[kRegTextBytes + 1] = {};  // one spare byte keeps an unterminated value terminated
  DWORD type = 0, size = kRegTextBytes;
  if (RegQueryValueExA(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return false;
  text = buffer;
  return true;
}

bool GetExePathForIE(std::string& path) {
  std::string stored;
  if (!GetRegString(HKEY_CLASSES_ROOT, kExeKey, nullptr, stored)) return false;
  path.clear();
  for (char c : stored)
    if (c != '"') path += c;
  // A value of quotes alone names no program either.
  return !path.empty();
}

bool GetFileMajorMinor(const char* path, unsigned* major, unsigned* minor) {
  const VersionQuad version = GetFileVersionQuad(path);
  *major = VersionMajor(version);
  *minor = VersionMinor(version);
  return version != 0;
}

bool IsOutOfBrower(bool isReader, unsigned major) {
  if (major >= kNeverOutOfBrowserFrom) return false;
  char key[128];
  std::snprintf(key, sizeof key, "Software\\Adobe\\%s\\%u.0\\Originals", isReader ? "Acrobat Reader" : "Adobe Acrobat",
                major);
  WriteDetailLine("IsOutOfBrower path=%s \n", key);
  HKEY raw = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &raw) != ERROR_SUCCESS) {
    WriteDetailLine("IsOutOfBrower path non \n");
    return false;
  }
  UniqueRegKey open(raw);
  DWORD value = 1, type = 0, size = sizeof value;
  const LONG rc = RegQueryValueExA(open.get(), "bBrowserIntegration", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  WriteDetailLine("IsOutOfBrower %d %d %d \n", static_cast<int>(rc), static_cast<int>(type), static_cast<int>(value));
  return rc == ERROR_SUCCESS && type == REG_DWORD && value == 0;
}

int GetActiveXVersion(unsigned* major, unsigned* minor) {
  *major = 0;
  *minor = 0;
  std::string clsid;
  if (!GetRegString(HKEY_CLASSES_ROOT, kPdfMimeKey, "CLSID", clsid)) {
    WriteDetailLine("PDF mime CLSID empty \n");
    return -1;
  }
  std::string server;
  const std::string serverKey = "CLSID\\" + clsid + "\\InprocServer32";
  if (!GetRegString(HKEY_CLASSES_ROOT, serverKey.c_str(), nullptr, server)) {
    const std::string shown = WithoutControls(clsid);
    WriteDetailLine("PDF CLSID value empty %.*s \n", WholeCharsLength(shown, 199), shown.c_str());
    return -1;
  }
  const std::string shownClsid = WithoutControls(clsid), shownServer = WithoutControls(server);
  WriteDetailLine("PDF CLSID %.*s \n", WholeCharsLength(shownClsid, 199), shownClsid.c_str());
  const char* slash = FindLastBackslash(server.c_str());
  if (slash != nullptr) {
    for (const char* name : kActiveXFiles) {
      if (!EqualsNoCaseCp932(slash + 1, name)) continue;
      if (!GetFileMajorMinor(server.c_str(), major, minor)) {
        WriteDetailLine("PDF ActiveX is empty %.*s \n", WholeCharsLength(shownServer, 199), shownServer.c_str());
        return -1;
      }
      return 0;
    }
  }
  WriteDetailLine("PDF ActiveX is not Acrobat %.*s \n", WholeCharsLength(shownServer, 199), shownServer.c_str());
  return -2;
}

bool CheckAcrobatBrowserOption() {
  std::string clsid;
  return ReadTerminatedString(HKEY_LOCAL_MACHINE, kPdfMimeMachineKey, "CLSID", kRegTextBytes, clsid) == ERROR_SUCCESS;
}

bool CheckInstallAcrobat7() {
  std::string command;
  if (ReadTerminatedString(HKEY_CLASSES_ROOT, kAcrobat7CommandKey, nullptr, kCommandBytes, command) != ERROR_SUCCESS ||
      command.empty())
    return false;
  const std::string path = AcroReadCommandPath(command);
  return VersionMajor(GetFileVersionQuad(path.c_str())) >= 7;
}

LONG GetAcroIEHelperVersion(unsigned* major, unsigned* minor) {
  std::string clsid, server;
  const std::string clsidKey = std::string(kHelperProgId) + "\\CLSID";
  LONG rc = ReadTerminatedString(HKEY_CLASSES_ROOT, clsidKey.c_str(), nullptr, kRegTextBytes, clsid);
  if (rc != ERROR_SUCCESS) return rc;
  const std::string serverKey = "CLSID\\" + clsid + "\\InprocServer32";
  rc = ReadTerminatedString(HKEY_CLASSES_ROOT, serverKey.c_str(), nullptr, kRegTextBytes, server);
  if (rc != ERROR_SUCCESS) return rc;
  GetFileMajorMinor(server.c_str(), major, minor);
  return ERROR_SUCCESS;
}

bool CheckAcrobatInstallState(unsigned exeMajor) {
  unsigned axMajor = 0, axMinor = 0;
  if (GetActiveXVersion(&axMajor, &axMinor) != 0) {
    WriteDetailLine("error !GetActiveXVersion \n");
    return false;
  }
  WriteDetailLine("PDF dwMajorActiveX %u.%u \n", axMajor, axMinor);
  if (axMajor < exeMajor && axMajor < 17) {
    WriteDetailLine("error !ActiveX < exe  %u %u \n", axMajor, exeMajor);
    return false;
  }
  if (!CheckAcrobatBrowserOption()) {
    WriteDetailLine("error !CheckAcrobatBrowserOption \n");
    return false;
  }
  if (axMajor == 5 && exeMajor == 5 && CheckInstallAcrobat7()) {
    WriteDetailLine("error !CheckInstallAcrobat7  %d %d \n", 5, 1);
    return false;
  }
  if (axMajor == 8 && exeMajor == 8) {
    unsigned helperMajor = 0, helperMinor = 0;
    const LONG rc = GetAcroIEHelperVersion(&helperMajor, &helperMinor);
    if (rc != ERROR_SUCCESS) {
      WriteDetailLine("error !GetAcroIEHelperVersion %d %ld \n", 8, static_cast<long>(rc));
      return false;
    }
    WriteDetailLine("PDF dwMajorBHO %u.%u \n", helperMajor, helperMinor);
    if (helperMajor < 8) {
      WriteDetailLine("error dwMajorBHO < dwMajorActiveX  %u %d %u \n", helperMajor, 8, helperMinor);
      return false;
    }
  }
  return true;
}

bool IsPdfAddonEnabled() {
  std::string clsid;
  if (!GetRegString(HKEY_CLASSES_ROOT, kPdfMimeKey, "CLSID", clsid)) return false;
  const std::string key = kAddonSettingsKey + clsid;
  WriteDetailLine("IsOutOfBrower path=%s \n", WithoutControls(key).c_str());
  HKEY raw = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return true;
  UniqueRegKey open(raw);
  DWORD flags = 1, type = 0, size = sizeof flags;
  const LONG rc = RegQueryValueExA(open.get(), "Flags", nullptr, &type, reinterpret_cast<BYTE*>(&flags), &size);
  return !(rc == ERROR_SUCCESS && type == REG_DWORD && flags != 0);
}

bool GetProcessExePath(DWORD processId, std::string& path) {
  if (OsInfo.isWin9x) {
    SnapshotHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Process32First(snapshot.get(), &entry); ok; ok = Process32Next(snapshot.get(), &entry)) {
      if (entry.th32ProcessID == processId) {
        path = entry.szExeFile;
        return true;
      }
    }
    return false;
  }
  SnapshotHandle snapshot;
  for (int attempt = 0; attempt < kSnapshotAttempts; ++attempt) {
    snapshot.reset(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId));
    if (snapshot || GetLastError() != ERROR_BAD_LENGTH) break;
  }
  if (snapshot) {
    MODULEENTRY32 module = {};
    module.dwSize = sizeof module;
    if (!Module32First(snapshot.get(), &module)) return false;
    path = module.szExePath;
    return true;
  }
  // Any failed snapshot falls back to the image name: besides a refused one,
  // a 32-bit Report cannot snapshot a 64-bit process (ERROR_PARTIAL_COPY on
  // Windows), and 64-bit Acrobat is common.
  typedef BOOL(WINAPI * QueryImageNameFn)(HANDLE, DWORD, LPSTR, PDWORD);
  auto queryImageName = GetLoadedProc<QueryImageNameFn>("kernel32.dll", "QueryFullProcessImageNameA");
  if (queryImageName == nullptr) return false;
  // Needs PROCESS_QUERY_LIMITED_INFORMATION only; when that is refused too the
  // running program stays unknown and the section goes on with the registered one.
  UniqueHandle process(OpenProcess(0x1000 /* PROCESS_QUERY_LIMITED_INFORMATION */, FALSE, processId));
  if (!process) return false;
  char image[1024] = {};
  DWORD size = sizeof image;
  if (!queryImageName(process.get(), 0, image, &size)) return false;
  path = image;
  return true;
}

bool FindRunningAcrobatExe(std::string& path) {
  const DWORD self = GetCurrentProcessId();
  const std::vector<HWND> windows = ListTopWindows();
  for (const char* windowClass : kAcrobatWindowClasses) {
    for (HWND window : windows) {
      if (!WindowHasClass(window, windowClass)) continue;
      DWORD processId = 0;
      if (GetWindowThreadProcessId(window, &processId) == 0 || processId == self) continue;
      std::string exe;
      if (GetProcessExePath(processId, exe) && IsReaderExePath(exe.c_str()) >= 0) {
        path = exe;
        return true;
      }
    }
  }
  return false;
}

void NavigattingPDF(const char* upper, const char* lower) { NavigattingPDF(upper, lower, IsWow64()); }

void NavigattingPDF(const char* upper, const char* lower, bool onWow64) {
  const VersionQuad lowerBound = ParseVersionQuad(lower, 0, "0");
  const VersionQuad upperBound = ParseVersionQuad(upper, 65535, "0");
  const std::string upperText = BoundsText(upper), lowerText = BoundsText(lower);
  WriteDetailLine("NavigattingPDF \n");

  std::string exePath;
  if (!GetExePathForIE(exePath)) {
    WriteSupportLine("GetExePathForIEでAcrobatのパス取得できない \n");
    WriteUserLine("★Acrobat/AdobeReaderがインストールされていません \n");
    return;
  }
  WriteDetailLine("GetExePathForIE %s \n", WithoutControls(exePath).c_str());
  std::string company, original, product, productVersion;
  ReadFileVersionInfo(exePath.c_str(), company, original, product, productVersion);
  WriteSupportLine("%s, %s, %s, \"%s\" \n", original.c_str(), company.c_str(), product.c_str(), productVersion.c_str());

  const int kind = IsReaderExePath(exePath.c_str());
  if (kind != 1 && kind != 0) {
    WriteSupportLine("IsReaderExePath でAcrobat/AdobeReader以外と判定\n");
    WriteUserLine("★Acrobat/AdobeReader以外がPDFに割り当てられています \n");
    return;
  }
  const bool isReader = kind == 1;
  const char* displayName = isReader ? "Reader" : "Acrobat";

  WriteDetailLine("AcrobatのEXEバージョンを取得");
  VersionQuad version = GetFileVersionQuad(exePath.c_str());
  if (version == 0) {
    WriteSupportLine("Acrobatのexeファイルバージョン取得失敗 \n");
    WriteUserLine("★Acrobat/AdobeReaderのバージョンが取得できません \n");
    return;
  }
  std::string versionText = VersionQuadText(version);
  unsigned major = VersionMajor(version);
  WriteSupportLine("Acrobatのexeファイルバージョン %s %s \n", displayName, versionText.c_str());

  WriteDetailLine("Acrobatのバージョンが、仕様制限内かどうかを判定");
  if (version < lowerBound || version > upperBound) {
    WriteSupportLine("バージョンが規定外 %s %s～%s \n", versionText.c_str(), upperText.c_str(), lowerText.c_str());
    WriteUserLine("★Acrobat/AdobeReader動作対象外 %s \n", versionText.c_str());
    return;
  }

  WriteDetailLine("IEの中に表示する設定になっているかどうかを確認");
  if (IsOutOfBrower(isReader, major)) {
    WriteSupportLine("「PDFをブラウザに表示する」のレジストリが無効になっている \n");
    WriteUserLine("%s", kNotInBrowserUser);
    return;
  }

  WriteDetailLine("IE内にPDFを開くときに使われるActiveXのバージョンを取得");
  unsigned axMajor = 0, axMinor = 0;
  if (GetActiveXVersion(&axMajor, &axMinor) != 0) {
    WriteSupportLine("Acrobat/AdobeReaderのActiveXのバージョン取得失敗 \n");
    WriteUserLine("%s", kNotInBrowserUser);
    return;
  }
  WriteSupportLine("AcrobatのActiveXのファイルバージョン %s %u.%u \n", displayName, axMajor, axMinor);
  WriteDetailLine("ActiveXのバージョン %u \n", axMajor);
  WriteDetailLine("ActiveXのバージョンのAcrobat/AdobeReaderでIEの中に表示する設定になっているかどうかを確認");
  if (IsOutOfBrower(true, axMajor)) {
    WriteSupportLine("ActiveXの方でPDFをブラウザに表示するチェックがない Reader %u \n", axMajor);
    WriteUserLine("%s", kNotInBrowserUser);
    return;
  }
  if (IsOutOfBrower(false, axMajor)) {
    WriteSupportLine("ActiveXの方でPDFをブラウザに表示するチェックがない Acrobat %u \n", axMajor);
    WriteUserLine("%s", kNotInBrowserUser);
    return;
  }

  WriteDetailLine("IEの中に表示できるインストール状態かどうかを確認");
  if (!CheckAcrobatInstallState(major)) {
    WriteSupportLine("IEの中に表示できるインストール状態でない \n");
    WriteUserLine("★Acrobat/AdobeReaderが混在し、ブラウザ内に表示されると判断できません \n");
    return;
  }

  WriteDetailLine("Reader11で、アドオンの管理確認");
  if (!IsPdfAddonEnabled()) {
    WriteSupportLine("Adobe PDF Readerアドオンが無効 \n");
    WriteUserLine("★アドオンの管理で、Adobe PDF Readerアドオンが無効になっています \n");
    return;
  }

  WriteDetailLine("Acrobatのバージョン判定 %u \n", major);
  std::string running;
  if (major < 9 && FindRunningAcrobatExe(running) && !EqualsNoCaseCp932(running.c_str(), exePath.c_str())) {
    WriteDetailLine("異なるexeが実行中 %s \n", running.c_str());
    const VersionQuad runningVersion = GetFileVersionQuad(running.c_str());
    if (runningVersion == 0) {
      WriteSupportLine("実行中のバージョン取得失敗 \n");
      WriteUserLine("★Acrobat/AdobeReaderが実行されていますが、情報が取得できません。 \n");
      return;
    }
    version = runningVersion;
    major = VersionMajor(version);
    versionText = VersionQuadText(version);
    if (version < lowerBound || version > upperBound) {
      WriteSupportLine("実行中のバージョンが規定外 %s %s～%s \n", versionText.c_str(), upperText.c_str(),
                       lowerText.c_str());
      WriteUserLine("★Acrobat/AdobeReader動作対象外 %s \n", versionText.c_str());
      return;
    }
    WriteDetailLine("実行中のexeにバージョン判定を変更 %u \n", major);
  }

  const char* bitness = "";
  if (onWow64) {
    const bool is64 = IsFile64Bit(exePath.c_str());
    bitness = is64 ? "64bit版" : "32bit版";
    WriteDetailLineW(is64 ? L"64bitアプリ" : L"32bitアプリ");
    if (is64) {
      WriteUserLine("★Acrobat/AdobeReader 64bit版は動作対象外 %s \n", versionText.c_str());
      return;
    }
  }
  WriteUserLine("●Acrobat/AdobeReader確認 %s %s %s", displayName, AcrobatGenerationName(major).c_str(), bitness);
}

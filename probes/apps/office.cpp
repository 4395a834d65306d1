#include "probes/apps/office.h"

#include <windows.h>
#include <shlwapi.h>

#include <cwchar>
#include <string>

#include "base/cp932_rules.h"
#include "base/owner.h"
#include "log/report_log.h"
#include "query/com_server.h"
#include "query/module_line_rules.h"
#include "query/platform.h"
#include "query/window_list.h"

namespace {
const char* const kOfficeExtensions[] = {".xls", ".xlsx", ".xlsm", ".doc", ".docx",
                                         ".docm", ".ppt", ".pptx", ".pptm"};
const char kPersonalExtension[] = ".xlsm";
const wchar_t kClickToRunKey[] = L"SOFTWARE\\Microsoft\\Office\\ClickToRun\\Configuration";
const char kMacroEditorClass[] = "wndclass_desked_gsk";
const char kViewerProgId[] = "qmviewx.qmviewxctrl.1";

const DWORD kServerBytes = 520;     // 260 characters
const DWORD kShortTextBytes = 128;  // content type, ProgID, CLSID, Click-to-Run texts

// Registry texts of these keys are the user's to write (HKCU\Software\Classes):
// they are shown without control characters, which would break the line.
struct ServerFile {
  std::string path;       // ANSI, without quotes and arguments
  std::string shownPath;  // the same for report lines
  std::string program;    // the part after the last backslash, for report lines
};

ServerFile ServerFileFromRegistered(const wchar_t* registered) {
  ServerFile file;
  file.path = ServerExecutablePath(registered);
  file.shownPath = WithoutControls(file.path);
  file.program = FileNamePart(file.shownPath.c_str());
  return file;
}

std::string Shown(const wchar_t* text) { return WithoutControls(WideToAnsi(text)); }

// A Click-to-Run text of the 64-bit view, ANSI, or "" when missing.
bool ReadClickToRun(const wchar_t* valueName, std::string& text) {
  wchar_t buffer[kShortTextBytes / 2] = {};
  if (RegQueryStringW(HKEY_LOCAL_MACHINE, kClickToRunKey, valueName, buffer, sizeof buffer, 1) == nullptr) {
    text.clear();
    return false;
  }
  text = WithoutControls(WideToAnsi(buffer));
  return true;
}

bool IsMacroEditorVisible() {
  for (HWND window : ListTopWindows())
    if (WindowHasClass(window, kMacroEditorClass) && IsWindowVisible(window)) return true;
  return false;
}

bool IsViewerControlRegistered() {
  HKEY raw = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kViewerProgId, 0, KEY_READ, &raw) != ERROR_SUCCESS) return false;
  UniqueRegKey key(raw);
  return true;
}

// A REG_SZ value of an open key into a zeroed buffer that always stays terminated.
// Returns the query's result; type receives the value type.
LONG QueryWide(HKEY key, const wchar_t* valueName, wchar_t* text, DWORD sizeBytes, DWORD* type) {
  for (DWORD i = 0; i < sizeBytes / sizeof(wchar_t); ++i) text[i] = L'\0';
  DWORD bytes = sizeBytes - sizeof(wchar_t);
  *type = 0;
  const LONG rc = RegQueryValueExW(key, valueName, nullptr, type, reinterpret_cast<BYTE*>(text), &bytes);
  if (rc != ERROR_SUCCESS) text[0] = L'\0';
  return rc;
}

// One server key of the detail walk; true when a server was found there.
bool DumpServerKey(const char* extension, const wchar_t* key, REGSAM access, const char* upper, const char* lower,
                   bool onWow64) {
  HKEY raw = nullptr;
  wchar_t server[kServerBytes / sizeof(wchar_t) + 1];
  DWORD type = 0;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key, 0, access, &raw) != ERROR_SUCCESS) {
    WriteDetailLine("       -> !Not Found COM Registory");
    return false;
  }
  UniqueRegKey open(raw);
  if (QueryWide(open.get(), nullptr, server, sizeof server, &type) != ERROR_SUCCESS || type != REG_SZ) {
    WriteDetailLine("       -> !Not Found COM Registory");
    return false;
  }
  open.reset();
  const ServerFile file = ServerFileFromRegistered(server);
  if (onWow64) {
    WriteDetailLineW(L"         => 64bitOS ");
    const bool is64 = IsFile64Bit(file.path.c_str());
    WriteDetailLineW(is64 ? L"         => 64bitアプリ" : L"         => 32bitアプリ");
    if (is64)
      WriteDetailLine("         => ★Office %s %s のOLEプログラムが64bit \n", extension, file.program.c_str());
  }
  // One read of the version resource gives both the fixed version and the texts.
  VersionQuad version = 0;
  std::string company, original, product, productVersion;
  ReadFileVersionQuadAndInfo(file.path.c_str(), version, company, original, product, productVersion);
  std::string versionText;
  if (version == 0) {
    if (PathFileExistsA(file.path.c_str())) {
      WriteDetailLine("       -> Found COM Registory, Fail Read Version Office %s path=%s", extension,
                      file.shownPath.c_str());
    } else {
      WriteDetailLine("       -> Found COM Registory, Not Found Exec File Office %s path=%s", extension,
                      file.shownPath.c_str());
    }
  } else {
    versionText = VersionQuadText(version);
  }
  WriteDetailLine("       -> Found COM Registory Office %s %s バージョン %s %s %s", extension, file.program.c_str(),
                  versionText.c_str(), productVersion.c_str(), file.shownPath.c_str());
  if (!IsVersionInRange(upper, lower, version))
    WriteDetailLine("         =>★Office %s %s が動作対象外 %s \n", extension, file.program.c_str(),
                    versionText.c_str());
  return true;
}

void DumpExtension(const char* extension, const char* upper, const char* lower, bool onWow64) {
  WriteDetailLine(" ->拡張:[%s]", extension);
  HKEY raw = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, extension, 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) {
    WriteDetailLine("   !Not Found Key. HKEY_CLASSES_ROOT\\%s ", extension);
    WriteDetailLine(" <-拡張:[%s] 拡張子キーなし", extension);
    return;
  }
  UniqueRegKey key(raw);
  wchar_t text[kShortTextBytes / sizeof(wchar_t) + 1];
  wchar_t clsid[kShortTextBytes / sizeof(wchar_t) + 1] = {};
  wchar_t subkey[260];
  DWORD type = 0;

  if (QueryWide(key.get(), L"Content Type", text, kShortTextBytes + sizeof(wchar_t), &type) == ERROR_SUCCESS) {
    subkey[0] = L'\0';
    if (type == REG_SZ) {
      std::swprintf(subkey, 260, L"MIME\\Database\\Content Type\\%ls", text);
      RegQueryStringW(HKEY_CLASSES_ROOT, subkey, L"CLSID", clsid, kShortTextBytes, 0);
    }
    const std::string mimeKey = Shown(subkey);
    WriteDetailLine("   Found Value. HKEY_CLASSES_ROOT\\%s\\Content Type", extension);
    if (clsid[0] != L'\0') {
      WriteDetailLine("     -> Found Value. HKEY_CLASSES_ROOT\\%s\\CLSID=%s", mimeKey.c_str(), Shown(clsid).c_str());
    } else {
      WriteDetailLine("     -> !Not Found Value. HKEY_CLASSES_ROOT\\%s\\CLSID", mimeKey.c_str());
    }
  } else {
    WriteDetailLine("   !Not Found Value. HKEY_CLASSES_ROOT\\%s\\Content Type", extension);
  }

  if (clsid[0] == L'\0') {
    if (QueryWide(key.get(), nullptr, text, kShortTextBytes + sizeof(wchar_t), &type) == ERROR_SUCCESS) {
      std::string progId;
      subkey[0] = L'\0';
      if (type == REG_SZ) {
        progId = Shown(text);
        WriteDetailLine("   ProgramID %s \n", progId.c_str());
        std::swprintf(subkey, 260, L"%ls\\CLSID", text);
        RegQueryStringW(HKEY_CLASSES_ROOT, subkey, nullptr, clsid, kShortTextBytes, 0);
      }
      const std::string clsidKey = Shown(subkey);
      WriteDetailLine("   Found Value. HKEY_CLASSES_ROOT\\%s\\(既定)=%s", extension, progId.c_str());
      if (clsid[0] != L'\0') {
        WriteDetailLine("     -> Found Value. HKEY_CLASSES_ROOT\\%s=%s", clsidKey.c_str(), Shown(clsid).c_str());
      } else {
        WriteDetailLine("     -> !Not Found Value. HKEY_CLASSES_ROOT\\%s", clsidKey.c_str());
      }
    } else {
      WriteDetailLine("   !Not Found Value. HKEY_CLASSES_ROOT\\%s\\(既定)", extension);
    }
  }
  key.reset();
  if (clsid[0] == L'\0') {
    WriteDetailLine("   !Not Found CLSID. end");
    WriteDetailLine(" <-拡張:[%s] CLSIDなし", extension);
    return;
  }

  struct Pass {
    const char* view;
    REGSAM access;
  };
  const Pass wow64Passes[] = {{"OS:64bit Resistory:64bit", KEY_QUERY_VALUE | KEY_WOW64_64KEY},
                              {"OS:64bit Resistory:32bit", KEY_QUERY_VALUE}};
  const Pass nativePass[] = {{"OS:32bit Resistory:32bit", KEY_QUERY_VALUE}};
  const Pass* passes = onWow64 ? wow64Passes : nativePass;
  const int passCount = onWow64 ? 2 : 1;
  int found = 0;
  for (int p = 0; p < passCount; ++p) {
    WriteDetailLine("   --> %s", passes[p].view);
    for (int i = 0; i < 4; ++i) {
      wchar_t serverKey[260];
      std::swprintf(serverKey, 260, kClsidServerKeyPatterns[i], clsid);
      WriteDetailLine("    [%d]COM Registory Path:%s", i, Shown(serverKey).c_str());
      if (DumpServerKey(extension, serverKey, passes[p].access, upper, lower, onWow64)) ++found;
    }
    WriteDetailLine("   <-- %s", passes[p].view);
  }
  WriteDetailLine(found == 0 ? " <-拡張:[%s] OleServerのパスなし" : " <-拡張:[%s] OleServerのパスあり", extension);
}
}  // namespace

void CheckOffice(const char* upper, const char* lower) { CheckOffice(upper, lower, IsWow64()); }

void CheckOffice(const char* upper, const char* lower, bool onWow64) {
  bool notFound = false, personal = false, any64 = false, outOfRange = false;
  std::string versionText;

  for (const char* extension : kOfficeExtensions) {
    wchar_t registered[kServerBytes / sizeof(wchar_t)] = {};
    if (GetOleServerPath(extension, registered, kServerBytes) == nullptr) {
      WriteSupportLine("★Office %s のOLEプログラムが見つかりません \n", extension);
      if (EqualsNoCaseCp932(extension, kPersonalExtension)) {
        personal = true;
      } else {
        notFound = true;
      }
      continue;
    }
    const ServerFile file = ServerFileFromRegistered(registered);
    if (onWow64) {
      WriteDetailLineW(L"64bitOS ");
      const bool is64 = IsFile64Bit(file.path.c_str());
      WriteDetailLineW(is64 ? L"64bitアプリ" : L"32bitアプリ");
      if (is64) {
        WriteSupportLine("★Office %s %s のOLEプログラムが64bit \n", extension, file.program.c_str());
        any64 = true;
      }
    }
    VersionQuad version = 0;
    std::string company, original, product, productVersion;
    ReadFileVersionQuadAndInfo(file.path.c_str(), version, company, original, product, productVersion);
    versionText.clear();
    if (version == 0) {
      WriteSupportLine("Office %s path=%s", extension, file.shownPath.c_str());
    } else {
      versionText = VersionQuadText(version);
    }
    WriteSupportLine("Office %s %s バージョン %s %s", extension, file.program.c_str(), versionText.c_str(),
                     productVersion.c_str());
    if (!IsVersionInRange(upper, lower, version)) {
      WriteSupportLine("★Office %s %s が動作対象外 %s \n", extension, file.program.c_str(), versionText.c_str());
      outOfRange = true;
    }
  }

  std::string releaseIds, versionToReport;
  if (ReadClickToRun(L"ProductReleaseIds", releaseIds)) {
    WriteSupportLine("Office ProductReleaseIds %.*s \n", WholeCharsLength(releaseIds, 199), releaseIds.c_str());
  } else {
    WriteDetailLine("Office ProductReleaseIds empty \n");
  }
  if (ReadClickToRun(L"VersionToReport", versionToReport)) {
    WriteSupportLine("Office VersionToReport %.*s \n", WholeCharsLength(versionToReport, 199), versionToReport.c_str());
  } else {
    WriteDetailLine("Office VersionToReport empty \n");
  }

  if (IsMacroEditorVisible())
    WriteSupportLine("★マクロの編集が開いているため、Office保護文書を閲覧できない可能性があります。 \n");
  if (!IsViewerControlRegistered())
    WriteSupportLine("★IE内でのOffice保護用ActiveXはインストールされていません \n");

  if (notFound) {
    WriteUserLine("★Microsoft Officeが見つからない \n");
  } else if (outOfRange) {
    WriteUserLine("★Microsoft Officeが動作対象外 %s \n", versionText.c_str());
  } else {
    WriteUserLine("●Microsoft Office %s 確認 %s %s %s \n", personal ? "personal" : "", versionText.c_str(),
                  any64 ? "64bit版" : "32bit版", releaseIds.c_str());
  }
  DumpOfficeDetails(upper, lower, onWow64);
}

void DumpOfficeDetails(const char* upper, const char* lower) { DumpOfficeDetails(upper, lower, IsWow64()); }

void DumpOfficeDetails(const char* upper, const char* lower, bool onWow64) {
  WriteDetailLine("★Office 詳細情報 ----- start -----");
  for (const char* extension : kOfficeExtensions) DumpExtension(extension, upper, lower, onWow64);
  WriteDetailLine("☆Office 詳細情報 ----- end -----");
}

#include "probes/process/process_list.h"

#include <tlhelp32.h>

#include <cstring>
#include <set>
#include <vector>

#include "base/cp932_rules.h"
#include "base/owner.h"
#include "log/report_log.h"
#include "probes/apps/security_candidates_rules.h"
#include "probes/process/process_list_rules.h"
#include "probes/window_lines/virtual_desktop.h"
#include "probes/window_lines/window_lines.h"
#include "query/module_line_rules.h"
#include "query/platform.h"
#include "query/system_library.h"
#include "query/version_info.h"
#include "query/window_list.h"

namespace {
const char kProcessColumns[] =
    "\"プロセス名\",\"FileVersion\",\"正式名\",\"会社名\",\"プロダクト名\",\"ProductVersion\",\"SessionID\","
    "\"ProcessID\",\"ParentPID\",\"Level\",\"Type\"\n";
const char kWindowColumns[] =
    "hWnd\thParentWnd\tProcessID\tThreadID\tstyle\texstyle\thInstance\t(x,y)-(cx,cy)\tnowvd\tvdn\tcloaked\tClass\t"
    "Title\t\n";
const char kServicesKey[] = "SYSTEM\\CurrentControlSet\\services";
// Fixed limits of the walks over what the machine holds.
const unsigned kMaxProcesses = 65536;
const unsigned kMaxServices = 20000;

using QueryFullProcessImageNameAFn = BOOL(WINAPI*)(HANDLE, DWORD, LPSTR, PDWORD);
using GetProcessImageFileNameAFn = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD);
using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, LPDWORD);
using GetModuleFileNameExAFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);
using ProcessIdToSessionIdFn = BOOL(WINAPI*)(DWORD, DWORD*);
using ConvertSidToStringSidAFn = BOOL(WINAPI*)(PSID, LPSTR*);

struct TokenTraits {
  using value_type = HANDLE;
  static HANDLE invalid() { return nullptr; }
  static bool valid(HANDLE h) { return h != nullptr; }
  static void close(HANDLE h) { CloseHandle(h); }
};
using UniqueToken = Owned<TokenTraits>;

struct ProcessRecord {
  std::string name;
  std::string imagePath;
  std::string fileVersion;
  std::string originalFilename;
  std::string companyName;
  std::string productName;
  std::string productVersion;
  int sessionId = -1;
  DWORD processId = 0;
  DWORD parentId = 0;
  std::string level = "-";
  const char* type = "normal";
};

void WriteRow(const ProcessRecord& r) {
  // The name may be a window's title (store apps): any program sets it.
  const std::string name = WithoutControls(r.name);
  WriteSupportLine("\"%s\",\"%s\",\"%s\",\"%s\",\"%s\",\"%s\",%d,%d,%d,\"%s\",\"%s\"\n", name.c_str(),
                   r.fileVersion.c_str(), r.originalFilename.c_str(), r.companyName.c_str(), r.productName.c_str(),
                   r.productVersion.c_str(), r.sessionId, static_cast<int>(r.processId),
                   static_cast<int>(r.parentId), r.level.c_str(), r.type);
}

bool FileExists(const std::string& path) {
  return !path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The title of the first store-app window of the process, in the ANSI code page.
std::string StoreAppTitle(DWORD processId) {
  for (HWND window : ListTopWindows()) {
    if (!WindowHasClass(window, "Windows.UI.Core.CoreWindow")) continue;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != processId) continue;
    wchar_t title[256] = {};
    if (GetWindowTextW(window, title, 256) <= 0) return std::string();
    title[255] = L'\0';
    char narrow[1024] = {};
    WideCharToMultiByte(CP_ACP, 0, title, -1, narrow, sizeof narrow - 1, nullptr, nullptr);
    narrow[sizeof narrow - 1] = '\0';
    return narrow;
  }
  return std::string();
}

// One service entry: the file its ImagePath names, if it holds the name and exists.
bool ServiceImageFile(HKEY services, const char* subkeyName, const std::string& lowerName, std::string& file) {
  UniqueRegKey entry;
  if (RegOpenKeyExA(services, subkeyName, 0, KEY_READ, entry.put()) != ERROR_SUCCESS) return false;
  DWORD type = 0, value = 0, size = sizeof value;
  if (RegQueryValueExA(entry.get(), "Type", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || (value & 0x30) == 0)
    return false;
  size = sizeof value;
  if (RegQueryValueExA(entry.get(), "Start", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || value == 4)
    return false;
  char image[MAX_PATH + 1] = {};
  size = MAX_PATH;
  if (RegQueryValueExA(entry.get(), "ImagePath", nullptr, &type, reinterpret_cast<BYTE*>(image), &size) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return false;
  const DWORD imageType = type;
  image[MAX_PATH] = '\0';
  const std::string lowered = ToLowerCp932(image);
  if (FindCp932(lowered.c_str(), lowerName.c_str()) == nullptr) return false;
  std::string path = lowered;
  if (imageType == REG_EXPAND_SZ) {
    char expanded[MAX_PATH] = {};
    const DWORD n = ExpandEnvironmentStringsA(lowered.c_str(), expanded, sizeof expanded);
    if (n > 0 && n <= sizeof expanded) path = expanded;
  }
  path = StripLeadingQuotes(path);
  DWORD wow64 = 0;
  size = sizeof wow64;
  const bool wow64Entry = RegQueryValueExA(entry.get(), "WOW64", nullptr, &type, reinterpret_cast<BYTE*>(&wow64),
                                           &size) == ERROR_SUCCESS &&
                          type == REG_DWORD && wow64 == 1;
  for (const std::string& candidate : ServicePathCandidates(path, wow64Entry, imageType == REG_EXPAND_SZ)) {
    if (FileExists(candidate)) {
      file = candidate;
      return true;
    }
  }
  return false;
}
}  // namespace

void GetProcessImagePath(DWORD processId, std::string& path) {
  static bool resolved = false;
  static QueryFullProcessImageNameAFn queryFullName = nullptr;
  if (!resolved) {
    resolved = true;
    queryFullName = GetLoadedProc<QueryFullProcessImageNameAFn>("Kernel32.dll", "QueryFullProcessImageNameA");
  }
  path.clear();
  if (queryFullName != nullptr) {
    // Needs PROCESS_QUERY_LIMITED_INFORMATION; refused for a few protected
    // processes, whose path then stays empty.
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return;
    char buffer[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH;
    if (queryFullName(process.get(), 0, buffer, &size)) path.assign(buffer, size < MAX_PATH ? size : MAX_PATH);
    return;
  }
  // Systems before Vista: the psapi functions.
  static HMODULE psapi = nullptr;
  static GetProcessImageFileNameAFn imageFileName = nullptr;
  static EnumProcessModulesFn enumModules = nullptr;
  static GetModuleFileNameExAFn moduleFileName = nullptr;
  if (psapi == nullptr) {
    // Called with file-system redirection off, where the system folder's path
    // names the 64-bit copy: the one the process list loaded beforehand is used.
    psapi = GetModuleHandleW(L"psapi.dll");
    if (psapi == nullptr) psapi = LoadSystemLibrary("psapi.dll");
    if (psapi == nullptr) return;
    imageFileName = reinterpret_cast<GetProcessImageFileNameAFn>(
        reinterpret_cast<void*>(GetProcAddress(psapi, "GetProcessImageFileNameA")));
    enumModules =
        reinterpret_cast<EnumProcessModulesFn>(reinterpret_cast<void*>(GetProcAddress(psapi, "EnumProcessModules")));
    moduleFileName = reinterpret_cast<GetModuleFileNameExAFn>(
        reinterpret_cast<void*>(GetProcAddress(psapi, "GetModuleFileNameExA")));
  }
  if (imageFileName != nullptr) {
    // Needs PROCESS_QUERY_INFORMATION; a refused open leaves the path empty.
    UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
    if (!process) return;
    char device[521] = {};
    if (imageFileName(process.get(), device, 520) == 0) return;
    const DWORD drives = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
      if (!(drives & (1u << i))) continue;
      const char drive[3] = {static_cast<char>('A' + i), ':', '\0'};
      char target[129] = {};
      if (QueryDosDeviceA(drive, target, 128) == 0) continue;
      if (DevicePathToDrivePath(device, target, drive[0], path)) return;
    }
    return;
  }
  if (enumModules != nullptr && moduleFileName != nullptr) {
    // Needs PROCESS_QUERY_INFORMATION | PROCESS_VM_READ; refused means no path.
    UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    if (!process) return;
    HMODULE first = nullptr;
    DWORD needed = 0;
    if (!enumModules(process.get(), &first, sizeof first, &needed)) return;
    char buffer[MAX_PATH + 1] = {};
    if (moduleFileName(process.get(), first, buffer, MAX_PATH) > 0) path = buffer;
  }
}

int GetProcessSessionId(DWORD processId) {
  DWORD session = static_cast<DWORD>(-1);
  const auto toSession = GetLoadedProc<ProcessIdToSessionIdFn>("kernel32.dll", "ProcessIdToSessionId");
  if (toSession != nullptr && !toSession(processId, &session)) session = static_cast<DWORD>(-1);
  return static_cast<int>(session);
}

unsigned long GetIntegrityLevel(HANDLE process) {
  static bool resolved = false;
  static ConvertSidToStringSidAFn sidToString = nullptr;
  if (!resolved) {
    resolved = true;
    sidToString = GetLoadedProc<ConvertSidToStringSidAFn>("advapi32.dll", "ConvertSidToStringSidA");
  }
  if (sidToString == nullptr) return 0;
  UniqueToken token;
  if (!OpenProcessToken(process, TOKEN_QUERY | TOKEN_QUERY_SOURCE, token.put())) return 0;
  DWORD size = 0;
  if (GetTokenInformation(token.get(), static_cast<TOKEN_INFORMATION_CLASS>(25), nullptr, 0, &size) ||
      GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0 || size > 4096)
    return 0;
  std::vector<unsigned char> buffer(size);
  if (!GetTokenInformation(token.get(), static_cast<TOKEN_INFORMATION_CLASS>(25), buffer.data(), size, &size))
    return 0;
  const auto* label = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data());
  char* text = nullptr;
  if (!sidToString(label->Label.Sid, &text) || text == nullptr) return 0;
  UniqueLocal textOwner(text);
  unsigned long value = 0;
  if (!ParseIntegritySid(text, &value)) return 0;
  if (value == 0x1000) {
    DWORD appContainer = 0;
    DWORD got = 0;
    if (GetTokenInformation(token.get(), static_cast<TOKEN_INFORMATION_CLASS>(29), &appContainer,
                            sizeof appContainer, &got) &&
        appContainer != 0)
      value = 15;
  }
  return value;
}

std::string GetProcessLevelName(DWORD processId) {
  // Needs PROCESS_QUERY_INFORMATION; a refused open gives "unknown".
  UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
  if (!process) return "unknown";
  return GetIntegrityLevelName(GetIntegrityLevel(process.get()));
}

bool IsServiceProcess(const char* exeName, std::string& path) {
  if (exeName == nullptr || *exeName == '\0' || std::strlen(exeName) >= 64) return false;
  const std::string lowerName = ToLowerCp932(exeName);
  UniqueRegKey services;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServicesKey, 0, KEY_READ, services.put()) != ERROR_SUCCESS) return false;
  // Entries that name the same file (svchost groups) count as one.
  std::set<std::string> files;
  std::string first;
  for (DWORD index = 0; index < kMaxServices; ++index) {
    char name[256] = {};
    DWORD nameSize = sizeof name;
    const LONG status = RegEnumKeyExA(services.get(), index, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS || name[0] == '\0') continue;
    std::string file;
    if (!ServiceImageFile(services.get(), name, lowerName, file)) continue;
    if (files.insert(ToLowerCp932(file)).second && first.empty()) first = file;
  }
  if (files.size() != 1) return false;
  path = first;
  return true;
}

bool IsSystemProcess(const char* exeName, std::string& path) {
  char system[MAX_PATH + 1] = {};
  const UINT n = GetSystemDirectoryA(system, MAX_PATH);
  if (exeName != nullptr && n > 0 && n < MAX_PATH) {
    path = std::string(system) + "\\" + exeName;
    if (FileExists(path)) return true;
    if (SysNativePath(system, exeName, path) && FileExists(path)) return true;
  }
  path.clear();
  return false;
}

void CheckProcessList(decltype(&CreateToolhelp32Snapshot) createSnapshot) {
  static DynamicLibrary psapi;
  static DynamicLibrary advapi32;
  if (psapi.get() == nullptr) psapi.Load("psapi.dll");
  if (advapi32.get() == nullptr) advapi32.Load("advapi32.dll");
  {
    // The walk sees the real system folder; redirection comes back when this
    // scope ends, on every path.
    ScopedFsRedirectionOff redirection;
    SnapshotHandle snapshot(createSnapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
      WriteUserLine("★プロセス一覧取得失敗 \n");
      return;
    }
    WriteSupportLine("%s", kProcessColumns);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    unsigned n = 0;
    for (BOOL more = Process32First(snapshot.get(), &entry); more && n < kMaxProcesses;
         more = Process32Next(snapshot.get(), &entry), ++n) {
      entry.szExeFile[sizeof entry.szExeFile - 1] = '\0';
      ProcessRecord r;
      r.processId = entry.th32ProcessID;
      r.parentId = entry.th32ParentProcessID;
      r.sessionId = GetProcessSessionId(r.processId);
      bool hadFolder = false;
      r.name = ProcessNameFromExeField(entry.szExeFile, &hadFolder);
      r.imagePath = entry.szExeFile;
      if (!hadFolder) {
        GetProcessImagePath(r.processId, r.imagePath);
        if (r.imagePath.empty() && (r.sessionId == 0 || r.sessionId == -1)) {
          if (IsServiceProcess(r.name.c_str(), r.imagePath))
            r.type = "service";
          else if (IsSystemProcess(r.name.c_str(), r.imagePath))
            r.type = "system";
          else
            r.type = "unknown";
        }
        r.level = GetProcessLevelName(r.processId);
      }
      if (!r.imagePath.empty()) {
        VersionQuad version = 0;
        ReadFileVersionQuadAndInfo(r.imagePath.c_str(), version, r.companyName, r.originalFilename, r.productName,
                                   r.productVersion);
        if (version != 0) r.fileVersion = VersionQuadText(version);
      }
      WriteRow(r);
      AddSecurityCandidate(r.companyName, r.productName);
      if (EqualsNoCaseCp932(r.name.c_str(), "WWAHost.exe")) {
        ProcessRecord app = r;
        app.fileVersion.clear();
        app.originalFilename.clear();
        app.companyName.clear();
        app.productName.clear();
        app.productVersion.clear();
        app.name = StoreAppTitle(r.processId);
        app.type = "storeapp";
        WriteRow(app);
      }
      entry = PROCESSENTRY32{};
      entry.dwSize = sizeof entry;
    }
  }

  DesktopTable desktops;
  WriteDetailLine("isUseVirtualDesktop %d \n", isUseVirtualDesktop() ? 1 : 0);
  WriteSupportLine("%s", kWindowColumns);
  for (HWND window : ListTopWindows()) {
    // A window destroyed since the list was taken has nothing left to show.
    if (!IsWindow(window)) continue;
    const int onCurrent = IsWindowOnCurrentVirtualDesktop(window);
    int number = -1;
    unsigned char id[16];
    if (GetWindowDesktopId(window, id)) number = desktops.NumberOf(id);
    WriteTopWindowLine(0, window, onCurrent, number);
  }
  WriteUserLine("●プロセス一覧確認 \n");
}

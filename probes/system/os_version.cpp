#include "probes/system/os_version.h"

#include <cstdio>

#include "log/report_log.h"
#include "probes/system/os_name_rules.h"
#include "query/platform.h"
#include "query/system_library.h"

namespace {
const char kNotSupported[] = "★OS動作対象外 \n";
typedef BOOL(WINAPI* IsWow64Process2Fn)(HANDLE, USHORT*, USHORT*);
typedef LONG(WINAPI* RtlGetVersionFn)(OSVERSIONINFOEXW*);

std::uint32_t g_osVersionCode = 0;

USHORT QueryNativeMachine(std::string* trace) {
  auto isWow64Process2 = GetLoadedProc<IsWow64Process2Fn>("kernel32.dll", "IsWow64Process2");
  if (isWow64Process2 == nullptr) {
    *trace = "IsWow64Process2 nothing";
    return 0;
  }
  USHORT process = 0, native = 0;
  char text[96];
  if (!isWow64Process2(GetCurrentProcess(), &process, &native)) {
    std::snprintf(text, sizeof text, "IsWow64Process2 error=%d", static_cast<int>(GetLastError()));
    *trace = text;
    return 0;
  }
  std::snprintf(text, sizeof text, "IsWow64Process2 %x %x", static_cast<unsigned>(process),
                static_cast<unsigned>(native));
  *trace = text;
  return native;
}

const char* OrDefault(const char* text, const char* fallback) {
  return (text == nullptr || *text == '\0') ? fallback : text;
}
}  // namespace

std::string GetOSName(DWORD major, DWORD minor, const OSVERSIONINFOEXA& record) {
  return OsNameText(major, minor, record.dwPlatformId, record.wProductType, record.szCSDVersion,
                    sizeof record.szCSDVersion);
}

const char* GetMachineName(USHORT machine) { return MachineNameText(machine); }

USHORT GetNativeMachine() {
  std::string trace;
  const USHORT machine = QueryNativeMachine(&trace);
  WriteDetailLine("%s", trace.c_str());
  return machine;
}

std::uint32_t GetOSVersionCode() {
  if (g_osVersionCode != 0) return g_osVersionCode;
  HMODULE ntdll = LoadSystemLibrary("ntdll.dll");
  if (ntdll == nullptr || ntdll == INVALID_HANDLE_VALUE) return g_osVersionCode;
  UniqueModule owner(ntdll);
  auto rtlGetVersion =
      reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
  if (rtlGetVersion == nullptr) {
    g_osVersionCode = kOsVersionCodeBefore10;
  } else {
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    rtlGetVersion(&info);
    g_osVersionCode = MakeOsVersionCode(info.dwMajorVersion, info.dwBuildNumber);
  }
  return g_osVersionCode;
}

OsFacts GatherOsFacts() {
  OsFacts facts;
  facts.record.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
  facts.haveRecord = GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&facts.record)) != 0;
  if (!facts.haveRecord) {
    facts.record = OSVERSIONINFOEXA{};
    facts.record.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    facts.haveRecord = GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&facts.record)) != 0;
  }
  char path[MAX_PATH] = {};
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel != nullptr) GetModuleFileNameA(kernel, path, sizeof path - 1);
  facts.kernelFile = GetFileVersionQuad(path);
  facts.kernelProduct = GetProductVersionQuad(path);
  // The x64 build of the same program always runs on a 64-bit system.
  facts.system64 = IsWow64() || sizeof(void*) == 8;
  facts.nativeMachine = QueryNativeMachine(&facts.machineTrace);
  return facts;
}

bool JudgeOSVersion(const OsFacts& facts, const char* maximum, const char* minimum) {
  if (!facts.haveRecord) {
    WriteSupportLine("OSのバージョン取得失敗 \n");
    WriteUserLine("%s", kNotSupported);
    return false;
  }
  const OSVERSIONINFOEXA& record = facts.record;
  if (record.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && record.dwMajorVersion != 4) {
    WriteSupportLine("未知のOS \n");
    WriteUserLine("%s", kNotSupported);
    return false;
  }
  if (record.dwPlatformId != VER_PLATFORM_WIN32_WINDOWS && record.dwPlatformId != VER_PLATFORM_WIN32_NT) {
    WriteSupportLine("未知のOSプラットフォーム \n");
    WriteUserLine("%s", kNotSupported);
    return false;
  }
  maximum = OrDefault(maximum, "6.0");
  minimum = OrDefault(minimum, "4.10.2");

  WriteSupportLine("OSバージョン %d.%d.%d \n", static_cast<int>(record.dwMajorVersion),
                   static_cast<int>(record.dwMinorVersion), static_cast<int>(record.dwBuildNumber));
  VersionQuad kernel = facts.kernelFile;
  WriteSupportLine("Kernelバージョン %d.%d.%d.%d \n", VersionPart(kernel, 0), VersionPart(kernel, 1),
                   VersionPart(kernel, 2), VersionPart(kernel, 3));
  if (facts.kernelProduct != 0) {
    const VersionQuad p = facts.kernelProduct;
    WriteSupportLine("Kernel Productバージョン %d.%d.%d.%d \n", VersionPart(p, 0), VersionPart(p, 1),
                     VersionPart(p, 2), VersionPart(p, 3));
    if (p > kernel) kernel = p;
  }
  if (facts.system64) WriteSupportLine("64bit版 \n");
  const char* bitness = facts.system64 ? "64bit版" : "32bit版";

  if (!facts.machineTrace.empty()) WriteDetailLine("%s", facts.machineTrace.c_str());
  const USHORT machine = facts.nativeMachine;
  if (machine != 0) {
    WriteSupportLine("MachineCode=%d %.199s \n", static_cast<int>(machine), GetMachineName(machine));
    if (machine != IMAGE_FILE_MACHINE_I386 && machine != IMAGE_FILE_MACHINE_AMD64) {
      WriteUserLine("★OS動作対象外 %d %.199s \n", static_cast<int>(machine), GetMachineName(machine));
      return false;
    }
  }

  const bool inRange = IsVersionInRange(maximum, minimum, kernel);
  const std::string name = GetOSName(VersionMajor(kernel), VersionMinor(kernel), record);
  if (inRange) {
    WriteUserLine("●OS確認 %s %s \n", name.c_str(), bitness);
    return true;
  }
  WriteUserLine("★OS動作対象外 %s %s \n", name.c_str(), bitness);
  return false;
}

bool CheckOSVersion(const char* maximum, const char* minimum) {
  return JudgeOSVersion(GatherOsFacts(), maximum, minimum);
}

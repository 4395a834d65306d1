#include "probes/system/terminal_type.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <windows.h>
#include <setupapi.h>

#include <vector>

#include "log/report_log.h"
#include "query/setupapi.h"
#include "probes/system/terminal_type_rules.h"
#include "base/cp932_rules.h"
#include "base/owner.h"
#include "query/platform.h"

namespace {
typedef int(WSAAPI* WSAStartupFn)(WORD, LPWSADATA);
typedef int(WSAAPI* WSACleanupFn)();
typedef hostent*(WSAAPI* GetHostByNameFn)(const char*);
typedef char*(WSAAPI* InetNtoaFn)(in_addr);
typedef PCSTR(WSAAPI* InetNtopFn)(INT, const VOID*, PSTR, size_t);
typedef INT(WSAAPI* GetAddrInfoFn)(PCSTR, PCSTR, const ADDRINFOA*, PADDRINFOA*);
typedef VOID(WSAAPI* FreeAddrInfoFn)(PADDRINFOA);
typedef ULONG(WINAPI* GetAdaptersAddressesFn)(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES, PULONG);


const char kWs2[] = "Ws2_32.dll";
const ULONG kAdapterFlags = 0x3E;  // no anycast, multicast or DNS servers; prefixes; no friendly names
const ULONG kAdapterFirstBytes = 16384;
const int kAdapterWalkLimit = 1024;
const int kAddressWalkLimit = 1024;
const DWORD kMaxInterfaceDetail = 64 * 1024;

const GUID kBatteryInterface = {0x72631E54, 0x78A4, 0x11D0, {0xBC, 0xF7, 0x00, 0xAA, 0x00, 0xB7, 0xB3, 0x2A}};
const DWORD kIoctlBatteryQueryTag = 0x294040;
const DWORD kIoctlBatteryQueryInformation = 0x294044;
const ULONG kBatterySystemBattery = 0x80000000;
const ULONG kBatteryIsShortTerm = 0x20000000;

struct BatteryQueryInformation {
  ULONG tag;
  int level;  // BatteryInformation = 0
  LONG rate;
};
struct BatteryInformation {
  ULONG capabilities;
  UCHAR technology;
  UCHAR reserved[3];
  UCHAR chemistry[4];
  ULONG designedCapacity;
  ULONG fullChargedCapacity;
  ULONG defaultAlert1;
  ULONG defaultAlert2;
  ULONG criticalBias;
  ULONG cycleCount;
};

// Formats an IPv4 or IPv6 socket address; empty for other families.
std::string AddressText(InetNtopFn inetNtop, const SOCKADDR* address) {
  char text[64] = {};
  if (address == nullptr) return "";
  if (address->sa_family == AF_INET) {
    const void* raw = &reinterpret_cast<const sockaddr_in*>(address)->sin_addr;
    if (inetNtop(AF_INET, raw, text, 16) == nullptr) return "";
  } else if (address->sa_family == AF_INET6) {
    const void* raw = &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
    if (inetNtop(AF_INET6, raw, text, 40) == nullptr) return "";
  } else {
    return "";
  }
  return text;
}
}  // namespace

bool getComputerName(std::string& name) {
  char buffer[16] = {};
  DWORD size = sizeof buffer;
  if (!GetComputerNameA(buffer, &size)) {
    name.clear();
    return false;
  }
  name.assign(buffer, strnlen(buffer, sizeof buffer));
  return true;
}

std::string getLocalIP(const std::string& computerName) {
  auto wsaStartup = GetLoadedProc<WSAStartupFn>(kWs2, "WSAStartup");
  auto wsaCleanup = GetLoadedProc<WSACleanupFn>(kWs2, "WSACleanup");
  auto getHostByName = GetLoadedProc<GetHostByNameFn>(kWs2, "gethostbyname");
  auto inetNtoa = GetLoadedProc<InetNtoaFn>(kWs2, "inet_ntoa");
  auto inetNtop = GetLoadedProc<InetNtopFn>(kWs2, "inet_ntop");
  auto getAddrInfo = GetLoadedProc<GetAddrInfoFn>(kWs2, "getaddrinfo");
  auto freeAddrInfo = GetLoadedProc<FreeAddrInfoFn>(kWs2, "freeaddrinfo");
  // Without a name there is nothing to resolve.
  if (wsaStartup == nullptr || computerName.empty()) return "";
  WSADATA data = {};
  if (wsaStartup(0x0002, &data) != 0) return "";
  std::string text;
  if (LOBYTE(data.wVersion) >= 2) {
    if (getAddrInfo != nullptr && inetNtop != nullptr && freeAddrInfo != nullptr) {
      ADDRINFOA hints = {};
      hints.ai_family = AF_INET;
      hints.ai_socktype = SOCK_STREAM;
      ADDRINFOA* result = nullptr;
      if (getAddrInfo(computerName.c_str(), nullptr, &hints, &result) == 0 && result != nullptr) {
        text = AddressText(inetNtop, result->ai_addr);
        freeAddrInfo(result);
      }
    } else if (getHostByName != nullptr && inetNtoa != nullptr) {
      hostent* host = getHostByName(computerName.c_str());
      if (host != nullptr && host->h_addr_list != nullptr && host->h_addr_list[0] != nullptr) {
        in_addr address;
        memcpy(&address, host->h_addr_list[0], sizeof address);
        const char* dotted = inetNtoa(address);
        if (dotted != nullptr) text.assign(dotted, strnlen(dotted, 16));
      }
    }
  }
  if (wsaCleanup != nullptr) wsaCleanup();
  return text;
}

void isWireless(int* localIpWireless, int* anyWireless, const std::string& localIp) {
  *localIpWireless = 0;
  *anyWireless = 0;
  DynamicLibrary iphlpapi;
  iphlpapi.Load("Iphlpapi.dll");
  auto getAdapters = iphlpapi.Proc<GetAdaptersAddressesFn>("GetAdaptersAddresses");
  // Without inet_ntop no address is formatted, so none matches the local IP.
  auto inetNtop = GetLoadedProc<InetNtopFn>(kWs2, "inet_ntop");
  if (getAdapters == nullptr) return;

  std::vector<unsigned char> buffer;
  ULONG size = kAdapterFirstBytes;
  ULONG result = ERROR_BUFFER_OVERFLOW;
  for (int attempt = 0; attempt < kAdapterListAttempts && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
    if (size == 0 || size > kAdapterListMaxBytes) break;
    buffer.assign(size, 0);
    result = getAdapters(AF_UNSPEC, kAdapterFlags, nullptr,
                         reinterpret_cast<PIP_ADAPTER_ADDRESSES>(buffer.data()), &size);
  }
  if (result == ERROR_BUFFER_OVERFLOW) {
    // The list kept growing or asked for too much: give up rather than loop.
    WriteDetailLine("isWireless GetAdaptersAddresses 打ち切り size=%lu \n", static_cast<unsigned long>(size));
    return;
  }
  if (result != ERROR_SUCCESS) return;

  int adapters = 0;
  for (auto* a = reinterpret_cast<PIP_ADAPTER_ADDRESSES>(buffer.data()); a != nullptr && adapters < kAdapterWalkLimit;
       a = a->Next, ++adapters) {
    if (a->IfType != IF_TYPE_ETHERNET_CSMACD && a->IfType != IF_TYPE_IEEE80211) continue;
    if (a->IfType == IF_TYPE_IEEE80211) *anyWireless = 1;
    if (inetNtop == nullptr || localIp.empty()) continue;
    int addresses = 0;
    for (auto* u = a->FirstUnicastAddress; u != nullptr && addresses < kAddressWalkLimit; u = u->Next, ++addresses) {
      const std::string text = AddressText(inetNtop, u->Address.lpSockaddr);
      if (text.empty() || !EqualsNoCaseCp932(text.c_str(), localIp.c_str())) continue;
      if (a->IfType == IF_TYPE_IEEE80211) *localIpWireless = 1;
      if (a->PhysicalAddressLength != 6) {
        WriteDetailLine("MACアドレスが6バイト以外 %d ", static_cast<int>(a->PhysicalAddressLength));
      }
      break;
    }
  }
}

int CheckPowerStatus() {
  SYSTEM_POWER_STATUS status = {};
  if (!GetSystemPowerStatus(&status)) {
    WriteDetailLine("!GetSystemPowerStatus %d \n", static_cast<int>(GetLastError()));
    return 0;
  }
  WriteDetailLine("PowerStatus.ACLineStatus %d \n", static_cast<int>(status.ACLineStatus));
  WriteDetailLine("PowerStatus.BatteryFlag %d \n", static_cast<int>(status.BatteryFlag));
  WriteDetailLine("PowerStatus.BatteryLifePercent %d \n", static_cast<int>(status.BatteryLifePercent));
  WriteDetailLine("PowerStatus.BatteryLifeTime %d \n", static_cast<int>(status.BatteryLifeTime));
  WriteDetailLine("PowerStatus.BatteryFullLifeTime %d \n", static_cast<int>(status.BatteryFullLifeTime));
  return PowerStatusSuggestsBattery(status.ACLineStatus, status.BatteryFlag, status.BatteryLifePercent,
                                    status.BatteryLifeTime, status.BatteryFullLifeTime)
             ? 1
             : 0;
}

int GetBatteryState() {
  SetupApi api;
  if (!api.Load()) {
    WriteDetailLine("GetBatteryState !SetupDiGetClassDevs %d \n", static_cast<int>(GetLastError()));
    return CheckPowerStatus();
  }
  DeviceInfoSet devices(api, &kBatteryInterface);
  const HDEVINFO set = devices.get();
  if (!devices.valid()) {
    WriteDetailLine("GetBatteryState !SetupDiGetClassDevs %d \n", static_cast<int>(GetLastError()));
    return CheckPowerStatus();
  }
  int battery = 0;
  for (int i = 0; i < kBatteryInterfaceLimit; ++i) {
    SP_DEVICE_INTERFACE_DATA face = {};
    face.cbSize = sizeof face;
    if (!api.enumInterfaces(set, nullptr, &kBatteryInterface, static_cast<DWORD>(i), &face)) {
      const DWORD error = GetLastError();
      if (error == ERROR_NO_MORE_ITEMS) break;
      WriteDetailLine("GetBatteryState !SetupDiEnumDeviceInterfaces %d %d \n", i, static_cast<int>(error));
      continue;
    }
    DWORD needed = 0;
    if (!api.getDetail(set, &face, nullptr, 0, &needed, nullptr)) {
      const DWORD error = GetLastError();
      if (error != ERROR_INSUFFICIENT_BUFFER) {
        WriteDetailLine("GetBatteryState !SetupDiGetDeviceInterfaceDetail %d %d \n", i, static_cast<int>(error));
        continue;
      }
    }
    if (needed < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) || needed > kMaxInterfaceDetail) {
      WriteDetailLine("GetBatteryState !alloc %d %d \n", i, static_cast<int>(GetLastError()));
      continue;
    }
    std::vector<DWORD> storage(needed / sizeof(DWORD) + 1);
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!api.getDetail(set, &face, detail, needed, &needed, nullptr)) {
      WriteDetailLine("GetBatteryState !SetupDiGetDeviceInterfaceDetail %d %d \n", i,
                      static_cast<int>(GetLastError()));
      continue;
    }
    UniqueHandle device(CreateFileA(detail->DevicePath, GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!device) {
      WriteDetailLine("GetBatteryState !CreateFile %d %d \n", i, static_cast<int>(GetLastError()));
      continue;
    }
    ULONG wait = 0, tag = 0;
    DWORD returned = 0;
    if (!DeviceIoControl(device.get(), kIoctlBatteryQueryTag, &wait, sizeof wait, &tag, sizeof tag, &returned,
                         nullptr)) {
      WriteDetailLine("GetBatteryState !IOCTL_BATTERY_QUERY_TAG %d %d \n", i, static_cast<int>(GetLastError()));
      battery = 1;  // a battery device without a tag is still a battery
      continue;
    }
    if (tag == 0) {
      WriteDetailLine("GetBatteryState BatteryTag==0 %d %d \n", i, static_cast<int>(GetLastError()));
      continue;
    }
    BatteryQueryInformation query = {tag, 0, 0};
    BatteryInformation info = {};
    if (!DeviceIoControl(device.get(), kIoctlBatteryQueryInformation, &query, sizeof query, &info, sizeof info,
                         &returned, nullptr)) {
      WriteDetailLine("GetBatteryState !IOCTL_BATTERY_QUERY_INFORMATION %d %d \n", i,
                      static_cast<int>(GetLastError()));
      continue;
    }
    if (!(info.capabilities & kBatterySystemBattery)) {
      WriteDetailLine("GetBatteryState !BATTERY_SYSTEM_BATTERY %d \n", i);
    } else if (!(info.capabilities & kBatteryIsShortTerm)) {
      WriteDetailLine("GetBatteryState !BATTERY_IS_SHORT_TERM %d \n", i);
      battery = 1;
    } else {
      WriteDetailLine("GetBatteryState BATTERY_IS_SHORT_TERM %d \n", i);  // a UPS: not counted
    }
  }
  return battery;
}

void checkType() {
  int localWireless = 0, anyWireless = 0;
  {
    DynamicLibrary ws2;
    ws2.Load(kWs2);
    std::string name;
    getComputerName(name);
    WriteDetailLine("getComputerName %s \n", name.c_str());
    const std::string ip = getLocalIP(name);
    WriteDetailLine("getLocalIP %s \n", ip.c_str());
    isWireless(&localWireless, &anyWireless, ip);
    WriteDetailLine("isWireless %d %d \n", localWireless, anyWireless);
  }
  WriteDetailLine("existBattery=%d \n", CheckPowerStatus());
  const int battery = GetBatteryState();
  WriteUserLine("%s", TerminalVerdictLine(battery != 0, anyWireless != 0));
}

#include "probes/system/virtual_devices.h"

#include <setupapi.h>
#include <winioctl.h>

#include <cstring>
#include <string>
#include <vector>

#include "log/report_log.h"
#include "query/setupapi.h"
#include "base/owner.h"
#include "query/platform.h"
#include "base/cp932_rules.h"
#include "query/module_line_rules.h"
#include "query/registry_search.h"

namespace {
// Device names come from drivers and keys any installer writes: a line break
// inside one would start a report line of its own.
void WriteShownLine(const char* format, const char* name) {
  const std::string shown = WithoutControls(name);
  WriteDetailLine(format, WholeCharsLength(shown, 199), shown.c_str());
}

struct VMRegistryRow {
  const char* keyPath;
  const char* valueName;
  const char* requiredSubkey;
  unsigned kind;
};
const VMRegistryRow kVMRegistryTable[] = {
    {"System\\CurrentControlSet\\Services\\Class\\Display", "DriverDesc", nullptr, 1},
    {"ENUM\\SCSI", "DeviceDesc", nullptr, 2},
    {"HARDWARE\\DEVICEMAP\\Scsi", "Identifier", nullptr, 3},
    {"SYSTEM\\CurrentControlSet\\Enum\\IDE", "FriendlyName", "Control", 3},
    {"SYSTEM\\CurrentControlSet\\Enum\\SCSI", "FriendlyName", "Control", 3},
    {nullptr, nullptr, nullptr, 0},
};

const char* const kDumpedKeys[] = {
    "HARDWARE\\DEVICEMAP",
    "SYSTEM\\CurrentControlSet\\Enum\\IDE",
    "SYSTEM\\CurrentControlSet\\Enum\\SCSI",
    "SYSTEM\\CurrentControlSet\\Enum\\SWD",
    "SYSTEM\\CurrentControlSet\\Enum\\PCI",
    "SYSTEM\\CurrentControlSet\\Control\\Video",
    "SYSTEM\\CurrentControlSet\\Control\\UnitedVideo\\CONTROL\\VIDEO",
    "SYSTEM\\CurrentControlSet\\Hardware Profiles\\UnitedVideo\\CONTROL\\VIDEO",
};

const char kMiracast[] = "Miracast";
const char kMiracastSuffix[] = "#Miracast";
const char* const kSoftwareDeviceKeys[] = {
    "SYSTEM\\CurrentControlSet\\Enum\\SWD\\WiFiDirect",
    "SYSTEM\\CurrentControlSet\\Enum\\SWD\\AspInfra",
};
const char* const kUnitedVideoKeys[] = {
    "SYSTEM\\CurrentControlSet\\Hardware Profiles\\UnitedVideo\\CONTROL\\VIDEO",
    "SYSTEM\\CurrentControlSet\\Control\\UnitedVideo\\CONTROL\\VIDEO",
};
const char kClassKey[] = "SYSTEM\\CurrentControlSet\\Control\\Class";
const char kPciKey[] = "SYSTEM\\CurrentControlSet\\Enum\\PCI";
const char kVideoKey[] = "SYSTEM\\CurrentControlSet\\Control\\Video";
const char kEnumPrefix[] = "SYSTEM\\CurrentControlSet\\Enum\\";

const GUID kDiskInterface = {0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
// Fixed limits for walks over what the machine holds.
const DWORD kSubkeyLimit = 10000;
const DWORD kDiskInterfaceLimit = 1024;
const DWORD kMaxInterfaceDetail = 64 * 1024;
const int kFriendlyNameDepth = 16;


UniqueRegKey OpenRead(HKEY root, const char* path) {
  UniqueRegKey key;
  if (root == nullptr || path == nullptr || RegOpenKeyExA(root, path, 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
    key.reset();
  }
  return key;
}

// A REG_SZ of at most size - 1 bytes, terminated; false otherwise.
bool ReadSz(HKEY key, const char* name, char* buffer, DWORD size) {
  if (size == 0) return false;
  DWORD type = 0;
  DWORD got = size - 1;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &got) != ERROR_SUCCESS ||
      type != REG_SZ) {
    buffer[0] = '\0';
    return false;
  }
  buffer[got < size ? got : size - 1] = '\0';
  return true;
}

bool ReadDword(HKEY key, const char* name, DWORD* value) {
  DWORD type = 0, size = sizeof(DWORD), data = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof(DWORD)) {
    return false;
  }
  *value = data;
  return true;
}

// Subkey names, in index order; a name that does not fit is passed over.
template <class F>
void ForEachSubkey(HKEY key, F&& visit) {
  for (DWORD index = 0; index < kSubkeyLimit; ++index) {
    char name[256];
    DWORD size = sizeof name;
    const LONG result = RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_MORE_DATA) continue;
    if (result != ERROR_SUCCESS) break;
    if (!visit(name)) break;
  }
}

std::string Narrow(const wchar_t* text) {
  if (text == nullptr) return "";
  char buffer[256] = {};
  WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof buffer - 1, nullptr, nullptr);
  return buffer;
}

const char* FindFriendlyName(HKEY key, const char* path, const char* driver, char* buffer, DWORD size, int depth) {
  UniqueRegKey open = OpenRead(key, path);
  if (!open) return nullptr;
  if (ReadSz(open.get(), "Driver", buffer, size) && EqualsNoCaseCp932(buffer, driver)) {
    // A matching key without a friendly name gives none, not its driver text.
    if (ReadSz(open.get(), "FriendlyName", buffer, size)) return buffer;
  }
  buffer[0] = '\0';
  if (depth >= kFriendlyNameDepth) return nullptr;
  const char* found = nullptr;
  ForEachSubkey(open.get(), [&](const char* name) {
    found = FindFriendlyName(open.get(), name, driver, buffer, size, depth + 1);
    return found == nullptr;
  });
  return found;
}
}  // namespace

const char* FindFriendlyNameByDriver(HKEY key, const char* path, const char* driver, char* buffer, DWORD size) {
  if (buffer == nullptr || size == 0 || driver == nullptr) return nullptr;
  return FindFriendlyName(key, path, driver, buffer, size, 0);
}

int GetDriveDiskNumber(char letter) {
  char device[8] = {'\\', '\\', '.', '\\', letter, ':', '\0'};
  UniqueHandle volume(
      CreateFileA(device, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!volume) return -1;
  STORAGE_DEVICE_NUMBER number = {};
  DWORD returned = 0;
  if (!DeviceIoControl(volume.get(), IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number, sizeof number, &returned,
                       nullptr)) {
    return -1;
  }
  return static_cast<int>(number.DeviceNumber);
}

const char* GetDiskFriendlyName(int diskNumber, char* buffer, DWORD size) {
  if (buffer == nullptr || size == 0) return nullptr;
  buffer[0] = '\0';
  SetupApi api;
  // A missing entry point is never called: the lookup then gives no name.
  if (!api.Load() || !api.HasProperties()) return nullptr;
  DeviceInfoSet devices(api, &kDiskInterface);
  if (!devices.valid()) return nullptr;
  const HDEVINFO set = devices.get();

  SP_DEVINFO_DATA device = {};
  bool found = false;
  for (DWORD index = 0; index < kDiskInterfaceLimit && !found; ++index) {
    SP_DEVICE_INTERFACE_DATA face = {};
    face.cbSize = sizeof face;
    if (!api.enumInterfaces(set, nullptr, &kDiskInterface, index, &face)) break;
    DWORD needed = 0;
    api.getDetail(set, &face, nullptr, 0, &needed, nullptr);
    if (needed < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) || needed > kMaxInterfaceDetail) continue;
    std::vector<DWORD> storage(needed / sizeof(DWORD) + 1);
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    SP_DEVINFO_DATA info = {};
    info.cbSize = sizeof info;
    if (!api.getDetail(set, &face, detail, needed, nullptr, &info)) continue;
    UniqueHandle disk(CreateFileA(detail->DevicePath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  0, nullptr));
    if (!disk) continue;
    STORAGE_DEVICE_NUMBER number = {};
    DWORD returned = 0;
    if (!DeviceIoControl(disk.get(), IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number, sizeof number, &returned,
                         nullptr)) {
      continue;
    }
    if (static_cast<int>(number.DeviceNumber) == diskNumber) {
      device = info;
      found = true;
    }
  }

  const char* result = nullptr;
  if (found) {
    char enumerator[64], driver[128];
    if (api.Property(set, &device, SPDRP_ENUMERATOR_NAME, enumerator, sizeof enumerator)) {
      WriteShownLine("Enumrator %.*s \n", enumerator);
      if (api.Property(set, &device, SPDRP_DRIVER, driver, sizeof driver)) {
        WriteShownLine("Driver %.*s \n", driver);
        const std::string path = std::string(kEnumPrefix) + enumerator;
        if (FindFriendlyNameByDriver(HKEY_LOCAL_MACHINE, path.c_str(), driver, buffer, size) != nullptr) {
          WriteShownLine("FriendlyName %.*s \n", buffer);
          char property[256];
          if (api.Property(set, &device, SPDRP_FRIENDLYNAME, property, sizeof property)) {
            WriteShownLine("FRIENDLYNAME %.*s \n", property);
          }
          result = buffer;
        }
      }
    }
    if (result == nullptr && api.Property(set, &device, SPDRP_FRIENDLYNAME, buffer, size)) {
      WriteShownLine("FRIENDLYNAME %.*s \n", buffer);
      result = buffer;
    }
  }
  return result;
}

bool GetSystemDiskName(char (&name)[256]) {
  name[0] = '\0';
  char path[MAX_PATH + 1] = {};
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr || GetModuleFileNameA(kernel, path, MAX_PATH) < 3) return false;
  path[3] = '\0';
  if (GetDriveTypeA(path) != DRIVE_FIXED) return false;
  const int number = GetDriveDiskNumber(path[0]);
  if (number < 0) return false;
  WriteDetailLine("System Drive No= %x \n", static_cast<unsigned>(number));
  char buffer[256];
  if (GetDiskFriendlyName(number, buffer, sizeof buffer) == nullptr) return false;
  buffer[sizeof buffer - 1] = '\0';
  memcpy(name, buffer, sizeof name);
  return true;
}

const wchar_t* FindVMDeviceWith(bool win9x, const char* systemDiskName) {
  // An empty friendly name is still the system disk's name, so it decides.
  if (!win9x && systemDiskName != nullptr) {
    WriteShownLine("System Device= %.*s \n", systemDiskName);
    const RegMatchEntry* match = MatchVMName(systemDiskName, 3);
    if (match != nullptr) return match->displayName;
    // Only informs: with a known system disk name, that name alone decides.
    for (const VMRegistryRow* row = kVMRegistryTable; row->keyPath != nullptr; ++row) {
      const RegMatchEntry* hit =
          SearchReg(HKEY_LOCAL_MACHINE, row->keyPath, row->valueName, row->requiredSubkey, row->kind, kVMNameTable);
      if (hit != nullptr) {
        WriteDetailLineW(L"Finded VM Device %.199ls \n", hit->displayName);
        break;
      }
    }
    return nullptr;
  }
  for (const VMRegistryRow* row = kVMRegistryTable; row->keyPath != nullptr; ++row) {
    const RegMatchEntry* hit =
        SearchReg(HKEY_LOCAL_MACHINE, row->keyPath, row->valueName, row->requiredSubkey, row->kind, kVMNameTable);
    if (hit != nullptr) return hit->displayName;
  }
  return nullptr;
}

const wchar_t* FindVMDevice() {
  char name[256] = {};
  const bool known = !OsInfo.isWin9x && GetSystemDiskName(name);
  return FindVMDeviceWith(OsInfo.isWin9x, known ? name : nullptr);
}

DWORD GetAttachToDesktop(const char* videoId) {
  // An empty identifier would name the VIDEO key itself.
  if (videoId == nullptr || *videoId == '\0') return 0;
  UniqueRegKey video;
  for (const char* path : kUnitedVideoKeys) {
    video = OpenRead(HKEY_LOCAL_MACHINE, path);
    if (video) break;
  }
  if (!video) return 0;
  UniqueRegKey device = OpenRead(video.get(), videoId);
  if (!device) return 0;
  DWORD result = 0;
  ForEachSubkey(device.get(), [&](const char* name) {
    UniqueRegKey sub = OpenRead(device.get(), name);
    DWORD attach = 0;
    if (sub && ReadDword(sub.get(), "Attach.ToDesktop", &attach) && attach > 0) result = attach;
    return true;
  });
  return result;
}

const char* FindMiracastSoftwareDevice() {
  for (const char* path : kSoftwareDeviceKeys) {
    UniqueRegKey root = OpenRead(HKEY_LOCAL_MACHINE, path);
    if (!root) continue;
    const char* result = nullptr;
    ForEachSubkey(root.get(), [&](const char* name) {
      const size_t length = strlen(name);
      const size_t suffix = sizeof kMiracastSuffix - 1;
      if (length < suffix || strcmp(name + length - suffix, kMiracastSuffix) != 0) return true;
      UniqueRegKey device = OpenRead(root.get(), name);
      UniqueRegKey parameters = OpenRead(device.get(), "Device Parameters");
      char videoId[64];
      if (parameters && ReadSz(parameters.get(), "VideoID", videoId, sizeof videoId) &&
          GetAttachToDesktop(videoId) > 0) {
        result = kMiracast;
      }
      return true;
    });
    if (result != nullptr) return result;
  }
  return nullptr;
}

DWORD GetMiracastDisplayMode(const char* classGuid) {
  if (classGuid == nullptr || *classGuid == '\0') return 0;
  UniqueRegKey classes = OpenRead(HKEY_LOCAL_MACHINE, kClassKey);
  UniqueRegKey cls = OpenRead(classes.get(), classGuid);
  if (!cls) return 0;
  DWORD result = 0;
  ForEachSubkey(cls.get(), [&](const char* name) {
    UniqueRegKey sub = OpenRead(cls.get(), name);
    char driverName[64];
    DWORD mode = 0;
    if (sub && ReadSz(sub.get(), "MiracastDriverName", driverName, sizeof driverName) &&
        ReadDword(sub.get(), "DisplayDeviceMode", &mode) && mode > 0) {
      result = mode;
    }
    return true;
  });
  return result;
}

const char* FindMiracastPciDisplay() {
  UniqueRegKey pci = OpenRead(HKEY_LOCAL_MACHINE, kPciKey);
  if (!pci) return nullptr;
  const char* result = nullptr;
  ForEachSubkey(pci.get(), [&](const char* deviceName) {
    UniqueRegKey device = OpenRead(pci.get(), deviceName);
    if (!device) return true;
    ForEachSubkey(device.get(), [&](const char* instanceName) {
      UniqueRegKey instance = OpenRead(device.get(), instanceName);
      UniqueRegKey parameters = OpenRead(instance.get(), "Device Parameters");
      char videoId[64], classGuid[64];
      if (parameters && ReadSz(parameters.get(), "VideoID", videoId, sizeof videoId) &&
          ReadSz(parameters.get(), "ClassGUID", classGuid, sizeof classGuid) && GetMiracastDisplayMode(classGuid) > 0) {
        result = kMiracast;
      }
      return true;
    });
    return true;
  });
  return result;
}

const char* FindMiracastVideoDriver() {
  UniqueRegKey video = OpenRead(HKEY_LOCAL_MACHINE, kVideoKey);
  if (!video) return nullptr;
  const char* result = nullptr;
  ForEachSubkey(video.get(), [&](const char* adapterName) {
    UniqueRegKey adapter = OpenRead(video.get(), adapterName);
    if (adapter) {
      ForEachSubkey(adapter.get(), [&](const char* name) {
        UniqueRegKey sub = OpenRead(adapter.get(), name);
        char driverName[64];
        DWORD mode = 0;
        if (sub && ReadSz(sub.get(), "MiracastDriverName", driverName, sizeof driverName) &&
            ReadDword(sub.get(), "DisplayDeviceMode", &mode) && mode > 0) {
          result = kMiracast;
        }
        return result == nullptr;
      });
    }
    return result == nullptr;
  });
  return result;
}

const char* FindMiracast() {
  const char* result = FindMiracastSoftwareDevice();
  if (result != nullptr) return result;
  // These two only inform the analysis.
  const char* old = FindMiracastVideoDriver();
  if (old != nullptr) WriteDetailLine("Miracast for8.1 old finded %.*s \n", WholeCharsLength(old, 199), old);
  const char* pci = FindMiracastPciDisplay();
  if (pci != nullptr) WriteDetailLine("Miracast for8.1 finded %.*s \n", WholeCharsLength(pci, 199), pci);
  return nullptr;
}

void checkVM() {
  for (const char* key : kDumpedKeys) DumpRegKey(HKEY_LOCAL_MACHINE, key, "");
  const wchar_t* vm = FindVMDevice();
  if (vm != nullptr) WriteUserLine("★checkVM: It is VM. 仮想マシンとして実行 %s \n", Narrow(vm).c_str());
  const char* miracast = FindMiracast();
  if (miracast != nullptr) WriteUserLine("★checkVM: connected Miracast. Miracastで接続しています %s \n", miracast);
  if (vm == nullptr && miracast == nullptr) WriteUserLine("●checkVM: 仮想Deviceは見つかりません \n");
}

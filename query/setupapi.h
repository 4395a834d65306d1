// setupapi.dll, looked up at run time; a missing entry point is never called.
#pragma once
#include <windows.h>
#include <setupapi.h>

#include "query/platform.h"

struct SetupApi {
  typedef HDEVINFO(WINAPI* GetClassDevsFn)(const GUID*, PCSTR, HWND, DWORD);
  typedef BOOL(WINAPI* EnumInterfacesFn)(HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD, PSP_DEVICE_INTERFACE_DATA);
  typedef BOOL(WINAPI* GetInterfaceDetailFn)(HDEVINFO, PSP_DEVICE_INTERFACE_DATA, PSP_DEVICE_INTERFACE_DETAIL_DATA_A,
                                             DWORD, PDWORD, PSP_DEVINFO_DATA);
  typedef BOOL(WINAPI* GetRegistryPropertyFn)(HDEVINFO, PSP_DEVINFO_DATA, DWORD, PDWORD, PBYTE, DWORD, PDWORD);
  typedef BOOL(WINAPI* DestroyListFn)(HDEVINFO);

  DynamicLibrary library;
  GetClassDevsFn getClassDevs = nullptr;
  EnumInterfacesFn enumInterfaces = nullptr;
  GetInterfaceDetailFn getDetail = nullptr;
  GetRegistryPropertyFn getProperty = nullptr;  // may stay null: see HasProperties
  DestroyListFn destroy = nullptr;

  // True when the entry points of an interface walk are all there.
  bool Load() {
    if (library.Load("setupapi.dll") == nullptr) return false;
    getClassDevs = library.Proc<GetClassDevsFn>("SetupDiGetClassDevsA");
    enumInterfaces = library.Proc<EnumInterfacesFn>("SetupDiEnumDeviceInterfaces");
    getDetail = library.Proc<GetInterfaceDetailFn>("SetupDiGetDeviceInterfaceDetailA");
    getProperty = library.Proc<GetRegistryPropertyFn>("SetupDiGetDeviceRegistryPropertyA");
    destroy = library.Proc<DestroyListFn>("SetupDiDestroyDeviceInfoList");
    return getClassDevs && enumInterfaces && getDetail && destroy;
  }
  bool HasProperties() const { return getProperty != nullptr; }

  // A zero-terminated text property of a device; false (and an empty text) when
  // it cannot be read.
  bool Property(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property, char* buffer, DWORD size) const {
    if (size == 0 || getProperty == nullptr) return false;
    ZeroMemory(buffer, size);
    if (!getProperty(set, device, property, nullptr, reinterpret_cast<BYTE*>(buffer), size - 1, nullptr)) {
      buffer[0] = '\0';
      return false;
    }
    buffer[size - 1] = '\0';
    return true;
  }
};

// The present devices of one interface class; destroyed with its holder, which
// must not outlive the SetupApi it came from.
class DeviceInfoSet {
 public:
  DeviceInfoSet(const SetupApi& api, const GUID* interfaceClass)
      : destroy_(api.destroy),
        set_(api.getClassDevs(interfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)) {}
  ~DeviceInfoSet() {
    if (valid()) destroy_(set_);
  }
  DeviceInfoSet(const DeviceInfoSet&) = delete;
  DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;
  bool valid() const { return set_ != nullptr && set_ != INVALID_HANDLE_VALUE; }
  HDEVINFO get() const { return set_; }

 private:
  SetupApi::DestroyListFn destroy_;
  HDEVINFO set_;
};

#include "probes/window_lines/virtual_desktop.h"

#include <objbase.h>

#include <cstring>

#include "log/report_log.h"
#include "query/platform.h"

namespace {
const GUID kClsidVirtualDesktopManager = {
    0xAA509086, 0x5CA9, 0x4C25, {0x8F, 0x95, 0x58, 0x9D, 0x3C, 0x07, 0xB4, 0x8A}};
const GUID kIidVirtualDesktopManager = {
    0xA5CD92FF, 0x29BE, 0x454C, {0x8D, 0x04, 0xD8, 0x28, 0x79, 0xFB, 0x3F, 0x1B}};

// The shell's interface, declared here since the Windows 7 headers lack it.
struct IVirtualDesktopManagerApi : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE IsWindowOnCurrentVirtualDesktop(HWND window, BOOL* onCurrent) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetWindowDesktopId(HWND window, GUID* desktopId) = 0;
  virtual HRESULT STDMETHODCALLTYPE MoveWindowToDesktop(HWND window, REFGUID desktopId) = 0;
};

using RegOpenKeyExAFn = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
using RegCloseKeyFn = LONG(WINAPI*)(HKEY);
using RegQueryValueExAFn = LONG(WINAPI*)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
using CoInitializeFn = HRESULT(WINAPI*)(LPVOID);
using CoCreateInstanceFn = HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);

enum class Answer { NotAsked, Yes, No };
Answer g_windows10 = Answer::NotAsked;
IVirtualDesktopManagerApi* g_desktopManager = nullptr;
}  // namespace

bool IsWindows10OrLater() {
  if (g_windows10 == Answer::NotAsked)
    g_windows10 = GetLoadedProc<FARPROC>("kernel32.dll", "WaitForDebugEventEx") != nullptr ? Answer::Yes : Answer::No;
  return g_windows10 == Answer::Yes;
}

bool IsTabletMode() {
  if (!IsWindows10OrLater()) return false;
  static const RegOpenKeyExAFn open = GetLoadedProc<RegOpenKeyExAFn>("kernel32.dll", "RegOpenKeyExA");
  static const RegCloseKeyFn close = GetLoadedProc<RegCloseKeyFn>("kernel32.dll", "RegCloseKey");
  static const RegQueryValueExAFn query = GetLoadedProc<RegQueryValueExAFn>("kernel32.dll", "RegQueryValueExA");
  if (open == nullptr) return false;
  HKEY key = nullptr;
  const LONG status =
      open(HKEY_CURRENT_USER, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ImmersiveShell", 0, KEY_READ, &key);
  if (status != ERROR_SUCCESS) {
    WriteDetailLine("タブレットモード取得用open 失敗 %lx \n", static_cast<unsigned long>(status));
    return false;
  }
  DWORD value = 0;
  DWORD type = 0;
  DWORD size = sizeof value;
  bool tablet = false;
  if (query != nullptr && query(key, "TabletMode", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
                              ERROR_SUCCESS &&
      type == REG_DWORD && size == sizeof value)
    tablet = value != 0;
  if (close != nullptr) close(key);
  return tablet;
}

void* getVirtualDesktopManager() {
  WriteDetailLine("getVirtualDesktopManager 開始 \n");
  HMODULE ole32 = GetModuleHandleA("ole32.dll");
  if (ole32 == nullptr) return nullptr;
  const auto coInitialize =
      reinterpret_cast<CoInitializeFn>(reinterpret_cast<void*>(GetProcAddress(ole32, "CoInitialize")));
  const auto coCreateInstance =
      reinterpret_cast<CoCreateInstanceFn>(reinterpret_cast<void*>(GetProcAddress(ole32, "CoCreateInstance")));
  if (coInitialize == nullptr || coCreateInstance == nullptr) return nullptr;
  coInitialize(nullptr);
  void* manager = nullptr;
  const HRESULT hr = coCreateInstance(kClsidVirtualDesktopManager, nullptr, CLSCTX_INPROC_SERVER,
                                      kIidVirtualDesktopManager, &manager);
  if (FAILED(hr) || manager == nullptr) {
    WriteDetailLine("getVirtualDesktopManager CLSID_VirtualDesktopManager 取得失敗 %lx \n",
                    static_cast<unsigned long>(hr));
    return nullptr;
  }
  WriteDetailLine("getVirtualDesktopManager CLSID_VirtualDesktopManager %p \n", manager);
  return manager;
}

bool isUseVirtualDesktop() {
  if (!IsWindows10OrLater()) return false;
  if (g_desktopManager == nullptr) {
    g_desktopManager = static_cast<IVirtualDesktopManagerApi*>(getVirtualDesktopManager());
    if (g_desktopManager == nullptr) return false;
  }
  if (IsTabletMode()) {
    WriteDetailLine("タブレットモード \n");
    return false;
  }
  return true;
}

int IsWindowOnCurrentVirtualDesktop(HWND window) {
  if (g_desktopManager == nullptr) return 1;
  BOOL onCurrent = FALSE;
  if (FAILED(g_desktopManager->IsWindowOnCurrentVirtualDesktop(window, &onCurrent))) return 1;
  return onCurrent ? 1 : 0;
}

bool GetWindowDesktopId(HWND window, unsigned char (&id)[16]) {
  std::memset(id, 0, sizeof id);
  if (g_desktopManager == nullptr) return true;
  GUID desktop = {};
  const HRESULT hr = g_desktopManager->GetWindowDesktopId(window, &desktop);
  if (FAILED(hr)) return false;
  std::memcpy(id, &desktop, sizeof id);
  return true;
}

#include "probes/system/print_screen.h"

#include <cstdio>

#include "base/owner.h"
#include "log/report_log.h"
#include "probes/system/print_screen_rules.h"
#include "query/version_info.h"

namespace {
const char kSnapshotMutex[] = "_MUTEX_ORB_SNAPSHOT";

DWORD g_mutexAccess = 0;

HMODULE Kernel32() { return GetModuleHandleA("kernel32.dll"); }
}  // namespace

DWORD GetMutexOpenAccess() {
  if (g_mutexAccess != 0) return g_mutexAccess;
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  if (GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 6) {
    g_mutexAccess = 0x120001;  // SYNCHRONIZE | READ_CONTROL | MUTANT_QUERY_STATE
  } else {
    g_mutexAccess = 0x1F0001;  // MUTEX_ALL_ACCESS
  }
  return g_mutexAccess;
}

bool IsSnapshotMutexPresent() {
  UniqueHandle mutex(OpenMutexA(GetMutexOpenAccess(), FALSE, kSnapshotMutex));
  return mutex.valid();
}

VersionQuad GetModuleVersionMax(HMODULE module) {
  if (module == nullptr) return 0;
  char path[MAX_PATH] = {};
  if (GetModuleFileNameA(module, path, sizeof path - 1) == 0) return 0;
  const VersionQuad file = GetFileVersionQuad(path);
  const VersionQuad product = GetProductVersionQuad(path);
  if (product == 0) return file;
  return product > file ? product : file;
}

void CheckPrintScreenKey(HWND window) {
  bool registered[16] = {};
  int count = 0;
  for (int i = 0; i < 16; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "HOTKEY%d", i + 1);
    const ATOM id = GlobalAddAtomA(name);
    if (RegisterHotKey(window, id, kHotKeyModifierTable[i].modifiers, VK_SNAPSHOT)) {
      UnregisterHotKey(window, id);
      registered[i] = true;
      ++count;
    } else {
      WriteDetailLine("PrintScreenキー登録失敗 %d %d \n", i, static_cast<int>(GetLastError()));
    }
    // The atom was only the hot key's name for this moment.
    if (id != 0) GlobalDeleteAtom(id);
  }

  if (count > 0 && count < 16) {
    for (int i = 0; i < 16; ++i) {
      if (!registered[i]) WriteSupportLine("PrintScreenキー登録失敗 %s%s \n", kHotKeyModifierTable[i].prefix, "PrintScreen");
    }
  }
  bool mutexPresent = false;
  VersionQuad kernel32Version = 0;
  switch (PrintScreenFactNeeded(registered)) {
    case PrintScreenFact::SnapshotMutex:
      mutexPresent = IsSnapshotMutexPresent();
      break;
    case PrintScreenFact::Kernel32Version:
      kernel32Version = GetModuleVersionQuad(Kernel32());
      break;
    case PrintScreenFact::Kernel32VersionMax:
      kernel32Version = GetModuleVersionMax(Kernel32());
      break;
    case PrintScreenFact::None:
      break;
  }
  WriteUserLine("%s", PrintScreenVerdict(registered, mutexPresent, kernel32Version));
}

#include "probes/system/print_screen.h"

#include <cstdio>

#include "app/report_log.h"
#include "query/owner.h"
#include "query/version_info.h"

namespace {
struct HotKeyRow {
  UINT modifiers;
  const char* prefix;
};
const HotKeyRow kHotKeyModifierTable[16] = {
    {0, ""},           {1, "Alt+"},           {2, "Ctrl+"},           {4, "Shift+"},
    {8, "Win+"},       {3, "Alt+Ctrl+"},      {5, "Alt+Shift+"},      {9, "Alt+Win+"},
    {6, "Ctrl+Shift+"}, {10, "Ctrl+Win+"},    {12, "Shift+Win+"},     {7, "Alt+Ctrl+Shift+"},
    {11, "Alt+Ctrl+Win+"}, {13, "Alt+Shift+Win+"}, {14, "Ctrl+Shift+Win+"}, {15, "Alt+Ctrl+Shift+Win+"},
};
const int kWinRow = 4;
const int kAltWinRow = 7;
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

  if (count == 16) {
    WriteUserLine("●PrintScreenキー登録確認 \n");
    return;
  }
  if (count == 0) {
    if (IsSnapshotMutexPresent()) {
      WriteUserLine("●PrintScreenキー登録済み \n");
    } else {
      WriteUserLine("★PrintScreenキー登録失敗 全て \n");
    }
    return;
  }
  for (int i = 0; i < 16; ++i) {
    if (!registered[i]) WriteSupportLine("PrintScreenキー登録失敗 %s%s \n", kHotKeyModifierTable[i].prefix, "PrintScreen");
  }
  bool accepted = false;
  if (count == 15 && !registered[kWinRow]) {
    accepted = (GetModuleVersionQuad(Kernel32()) >> 32) >= ((6ull << 16) | 2);
  } else if (count == 14 && !registered[kWinRow] && !registered[kAltWinRow]) {
    accepted = (GetModuleVersionMax(Kernel32()) >> 32) >= (10ull << 16);
  }
  if (accepted) {
    WriteUserLine("●PrintScreenキー登録確認 \n");
  } else {
    WriteUserLine("★PrintScreenキー登録失敗 \n");
  }
}

// Test helper: registry links, as any program of the user can make them in
// the user's hive (and an administrator's elsewhere).
//   reg_link make <subkey> <target>   <subkey> becomes a link to <target>
//   reg_link remove <subkey>          deletes the link itself, never what it points at
// Keys are under HKEY_CURRENT_USER, or HKEY_LOCAL_MACHINE when they start with
// "HKLM\"; a target is in the same hive. Exit code 0, else the error.
#include <windows.h>

#include <sddl.h>

#include <cstring>
#include <string>

namespace {
HKEY RootOf(const char*& subkey) {
  if (std::strncmp(subkey, "HKLM\\", 5) != 0) return HKEY_CURRENT_USER;
  subkey += 5;
  return HKEY_LOCAL_MACHINE;
}

// The NT path of the hive: "\Registry\Machine" or "\Registry\User\<SID>".
std::string HivePath(HKEY root) {
  if (root == HKEY_LOCAL_MACHINE) return "\\Registry\\Machine";
  HANDLE token = nullptr;
  unsigned char user[512] = {};
  DWORD size = 0;
  char* sid = nullptr;
  std::string path;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) &&
      GetTokenInformation(token, TokenUser, user, sizeof user, &size) &&
      ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &sid)) {
    path = std::string("\\Registry\\User\\") + sid;
    LocalFree(sid);
  }
  if (token != nullptr) CloseHandle(token);
  return path;
}
}  // namespace

int main(int argc, char** argv) {
  const bool make = argc == 4 && std::strcmp(argv[1], "make") == 0;
  if (!make && !(argc == 3 && std::strcmp(argv[1], "remove") == 0)) return ERROR_INVALID_PARAMETER;
  const char* subkey = argv[2];
  const HKEY root = RootOf(subkey);
  HKEY key = nullptr;
  LONG rc;
  if (make) {
    const char* target = argv[3];
    RootOf(target);
    // The value holds the target's NT path, UTF-16 without a terminator.
    const std::string link = HivePath(root) + "\\" + target;
    wchar_t wide[1024] = {};
    const int chars = MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, 1024) - 1;
    rc = RegCreateKeyExA(root, subkey, 0, nullptr, REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                         KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &key, nullptr);
    if (rc == ERROR_SUCCESS)
      rc = RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(wide),
                          static_cast<DWORD>(chars > 0 ? chars : 0) * sizeof(wchar_t));
  } else {
    using NtDeleteKeyFn = LONG(WINAPI*)(HANDLE);
    const auto deleteKey = reinterpret_cast<NtDeleteKeyFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
    rc = RegOpenKeyExA(root, subkey, REG_OPTION_OPEN_LINK, DELETE | KEY_READ, &key);
    if (rc == ERROR_SUCCESS) rc = deleteKey != nullptr ? deleteKey(key) : ERROR_PROC_NOT_FOUND;
  }
  if (key != nullptr) RegCloseKey(key);
  return static_cast<int>(rc);
}

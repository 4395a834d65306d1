#include "probes/process/companion_leftovers.h"

#include <windows.h>
#include <aclapi.h>

#include <new>
#include <string>
#include <vector>

#include "base/owner.h"
#include "probes/process/companion_folder_rules.h"

namespace {
const wchar_t kCompanionFile[] = L"Modlist6.exe";
// Folders looked at in one start, far beyond what runs that died leave.
const int kMaxFolders = 256;

struct LocalMemoryTraits {
  using value_type = HLOCAL;
  static HLOCAL invalid() { return nullptr; }
  static bool valid(HLOCAL h) { return h != nullptr; }
  static void close(HLOCAL h) { LocalFree(h); }
};

// The run that made the folder still exists. A process that cannot be opened
// for lack of rights belongs to someone else: it counts as running.
// Needs SYNCHRONIZE only.
bool ProcessRuns(unsigned long pid) {
  UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
  if (!process) return GetLastError() != ERROR_INVALID_PARAMETER;
  return WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

std::vector<unsigned char> TokenSid(HANDLE token, TOKEN_INFORMATION_CLASS kind) {
  DWORD size = 0;
  GetTokenInformation(token, kind, nullptr, 0, &size);
  if (size == 0 || size > 4096) return {};
  std::vector<unsigned char> data(size);
  if (!GetTokenInformation(token, kind, data.data(), size, &size)) return {};
  return data;
}

// Owned by this user (or by the default owner this user's objects get) and
// open to this user alone, as Report makes the folder. An entry for the
// system account is allowed: it has every right anyway, and some systems add it.
bool OwnerOnly(const std::wstring& folder) {
  UniqueHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return false;
  const std::vector<unsigned char> user = TokenSid(token.get(), TokenUser);
  const std::vector<unsigned char> owner = TokenSid(token.get(), TokenOwner);
  if (user.empty() || owner.empty()) return false;
  PSID userSid = reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
  PSID ownerSid = reinterpret_cast<const TOKEN_OWNER*>(owner.data())->Owner;
  PSID folderOwner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                            &folderOwner, nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  Owned<LocalMemoryTraits> hold(descriptor);
  if (folderOwner == nullptr || dacl == nullptr || dacl->AceCount == 0) return false;
  if (!EqualSid(folderOwner, userSid) && !EqualSid(folderOwner, ownerSid)) return false;
  for (WORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) return false;
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
    if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) return false;
    PSID sid = const_cast<DWORD*>(&allowed->SidStart);
    if (!EqualSid(sid, userSid) && !IsWellKnownSid(sid, WinLocalSystemSid)) return false;
  }
  return true;
}

// Nothing in the folder but the companion file (which may be gone already).
bool HoldsOnlyCompanion(const std::wstring& folder, bool* hasFile) {
  WIN32_FIND_DATAW entry;
  FindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &entry));
  if (!find) return false;
  *hasFile = false;
  int seen = 0;
  do {
    if (++seen > 4) return false;
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    if (lstrcmpiW(name.c_str(), kCompanionFile) != 0) return false;
    if ((entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) return false;
    *hasFile = true;
  } while (FindNextFileW(find.get(), &entry));
  return true;
}

std::string AsciiName(const wchar_t* name) {
  std::string out;
  for (; *name != L'\0'; ++name) {
    if (*name >= 0x80) return std::string();
    out += static_cast<char>(*name);
  }
  return out;
}
}  // namespace

void RemoveDeadCompanionFolders() {
  try {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH, temp);
    if (n == 0 || n >= MAX_PATH) return;
    std::wstring root = temp;
    if (root.back() != L'\\') root += L'\\';
    WIN32_FIND_DATAW entry;
    FindHandle find(FindFirstFileW((root + L"Modlist6-*").c_str(), &entry));
    if (!find) return;
    int seen = 0;
    do {
      unsigned long pid = 0;
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
          (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
          !ParseCompanionFolderName(AsciiName(entry.cFileName).c_str(), &pid) || pid == GetCurrentProcessId() ||
          ProcessRuns(pid)) {
        continue;
      }
      const std::wstring folder = root + entry.cFileName;
      bool hasFile = false;
      if (!OwnerOnly(folder) || !HoldsOnlyCompanion(folder, &hasFile)) continue;
      // A companion that still runs holds its file, and the folder stays.
      if (hasFile && !DeleteFileW((folder + L"\\" + kCompanionFile).c_str())) continue;
      RemoveDirectoryW(folder.c_str());
    } while (++seen < kMaxFolders && FindNextFileW(find.get(), &entry));
  } catch (const std::bad_alloc&) {
    // Left for the next start.
  }
}

#include "query/platform.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "base/cp932_rules.h"
#include "log/report_log.h"
#include "query/outside_file.h"
#include "query/system_library.h"

namespace {
typedef BOOL(WINAPI* IsWow64ProcessFn)(HANDLE, PBOOL);
typedef BOOL(WINAPI* GetBinaryTypeFn)(LPCSTR, LPDWORD);

// kernel32 and two of its functions, looked up on first use; the module is
// released at program exit.
struct Kernel32FunctionsRecord {
  UniqueModule module;
  IsWow64ProcessFn isWow64Process = nullptr;
  GetBinaryTypeFn getBinaryType = nullptr;

  bool Load() {
    if (module) return true;
    module.reset(LoadSystemLibrary("kernel32.dll"));
    if (!module) return false;
    isWow64Process = reinterpret_cast<IsWow64ProcessFn>(
        reinterpret_cast<void*>(GetProcAddress(module.get(), "IsWow64Process")));
    getBinaryType = reinterpret_cast<GetBinaryTypeFn>(
        reinterpret_cast<void*>(GetProcAddress(module.get(), "GetBinaryTypeA")));
    return isWow64Process != nullptr && getBinaryType != nullptr;
  }
};
Kernel32FunctionsRecord Kernel32Functions;

OsInfoRecord FillOsInfo() {
  OsInfoRecord info;
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  info.isWin9x = !GetVersionExA(&version) || version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
  info.isWow64 = IsWow64();
  return info;
}
}  // namespace

OsInfoRecord OsInfo = FillOsInfo();

bool IsWow64() {
  if (Kernel32Functions.isWow64Process == nullptr && !Kernel32Functions.Load()) return false;
  if (Kernel32Functions.isWow64Process == nullptr) return false;
  BOOL flag = FALSE;
  return Kernel32Functions.isWow64Process(GetCurrentProcess(), &flag) && flag;
}

bool IsPE64File(HANDLE file) {
  DWORD read = 0;
  unsigned char dos[64] = {};
  if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return false;
  if (!ReadFile(file, dos, sizeof dos, &read, nullptr) || dos[0] != 'M' || dos[1] != 'Z') return false;
  LONG offset = 0;
  std::memcpy(&offset, dos + 60, sizeof offset);
  if (offset == 0) return false;
  if (SetFilePointer(file, offset, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return false;
  unsigned char nt[248] = {};
  if (!ReadFile(file, nt, sizeof nt, &read, nullptr)) return false;
  if (!(nt[0] == 'P' && nt[1] == 'E' && nt[2] == 0 && nt[3] == 0)) return false;
  const unsigned machine = nt[4] | (nt[5] << 8);
  return machine == 0x8664;
}

bool IsFile64Bit(const char* path) {
  // Server paths come from keys the user can write.
  UniqueHandle file(OpenOutsideFile(path, GENERIC_READ, FILE_SHARE_READ, FILE_FLAG_SEQUENTIAL_SCAN));
  if (!file) {
    WriteDetailLine("パスを開けない %.*s \n", WholeCharsLength(path, 199), path ? path : "");
    return false;
  }
  return IsPE64File(file.get());
}

const wchar_t* RegQueryStringW(HKEY root, const wchar_t* subkey, const wchar_t* valueName, wchar_t* buffer,
                               DWORD sizeBytes, int view64) {
  HKEY raw = nullptr;
  const REGSAM access = view64 ? (KEY_QUERY_VALUE | KEY_WOW64_64KEY) : KEY_QUERY_VALUE;
  if (RegOpenKeyExW(root, subkey, 0, access, &raw) != ERROR_SUCCESS) return nullptr;
  UniqueRegKey key(raw);
  DWORD type = 0, bytes = sizeBytes;
  RegQueryValueExW(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
  key.reset();
  if (type == REG_SZ && bytes <= sizeBytes && sizeBytes >= sizeof(wchar_t)) {
    // A stored value need not carry its terminator: end it within the buffer.
    const DWORD chars = sizeBytes / sizeof(wchar_t);
    DWORD end = bytes / sizeof(wchar_t);
    if (end >= chars) end = chars - 1;
    buffer[end] = L'\0';
    return buffer;
  }
  if (sizeBytes >= sizeof(wchar_t)) buffer[0] = L'\0';
  return nullptr;
}

DWORD RegQueryDword(HKEY key, const char* valueName, DWORD defaultValue) {
  DWORD value = defaultValue, size = sizeof value, type = 0;
  if (RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
      ERROR_SUCCESS) {
    // A failed query may still have touched the buffer; a missing or long value
    // answers the default.
    return defaultValue;
  }
  // A REG_DWORD, or a 4-byte REG_BINARY as installers and administration
  // tools also write numbers. Another size is not a number (a 2-byte value
  // would read as 0xFFFF0001), nor a text of 4 bytes ("abc" would read as
  // 0x636261), nor a REG_DWORD_BIG_ENDIAN, whose bytes run the other way.
  return size == sizeof value && (type == REG_DWORD || type == REG_BINARY) ? value : defaultValue;
}

DWORD RegQueryDwordFromKeys(HKEY first, HKEY second, const char* valueName, DWORD defaultValue) {
  DWORD result = defaultValue;
  if (first != nullptr) {
    result = RegQueryDword(first, valueName, defaultValue);
    if (result != defaultValue) return result;
  }
  if (second != nullptr) return RegQueryDword(second, valueName, defaultValue);
  return result;
}

std::string& RegQueryString(HKEY key, const char* valueName, std::string& text) {
  char buffer[260] = {};
  DWORD type = 0, size = sizeof buffer;
  if (RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) ==
          ERROR_SUCCESS &&
      type == REG_SZ) {
    text.assign(buffer, strnlen(buffer, size < sizeof buffer ? size : sizeof buffer));
  }
  return text;
}

std::string& RegReadString(HKEY root, const char* subkey, const char* valueName, std::string& text) {
  RegKey key;
  if (key.Open(root, subkey, KEY_READ) == ERROR_SUCCESS) RegQueryString(key, valueName, text);
  return text;
}

bool RegKeyExists(HKEY root, const char* subkey) {
  if (subkey == nullptr) return true;
  HKEY raw = nullptr;
  if (RegOpenKeyExA(root, subkey, 0, KEY_READ, &raw) != ERROR_SUCCESS) return false;
  RegCloseKey(raw);
  return true;
}

LONG RegKey::Open(HKEY root, const char* subkey, REGSAM access) {
  HKEY raw = nullptr;
  const LONG result = RegOpenKeyExA(root, subkey, 0, access, &raw);
  if (result != ERROR_SUCCESS) return result;
  const LONG closed = Close();
  key_ = raw;
  return closed;
}

LONG RegKey::Close() {
  if (key_ == nullptr) return ERROR_SUCCESS;
  const LONG result = RegCloseKey(key_);
  key_ = nullptr;
  return result;
}

LONG RegKey::QueryStringValue(const char* valueName, char* buffer, ULONG* count) {
  const ULONG given = *count;
  *count = 0;
  DWORD type = 0, bytes = given;
  const LONG result = RegQueryValueExA(key_, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
  if (result != ERROR_SUCCESS) return result;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
  if (buffer != nullptr) {
    if (bytes == 0) {
      if (given == 0) return ERROR_MORE_DATA;
      buffer[0] = '\0';
    } else if (buffer[bytes - 1] != '\0') {
      return ERROR_INVALID_DATA;
    }
  }
  *count = bytes;
  return ERROR_SUCCESS;
}

// A bare name comes from the system folder only; a full path (tests load
// fixture files) is taken as given, which involves no search. Anything else
// (a relative path) is refused by LoadSystemLibrary.
HMODULE DynamicLibrary::Load(const char* name) {
  if (module_ != nullptr || name == nullptr) return module_;
  const bool drive = ((name[0] | 0x20) >= 'a' && (name[0] | 0x20) <= 'z') && name[1] == ':' &&
                     (name[2] == '\\' || name[2] == '/');
  const bool unc = name[0] == '\\' && name[1] == '\\';
  module_ = drive || unc ? LoadLibraryExA(name, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH) : LoadSystemLibrary(name);
  return module_;
}

void DynamicLibrary::Release() {
  if (module_ != nullptr) FreeLibrary(module_);
  module_ = nullptr;
}

unsigned char* ByteBuffer::Allocate(DWORD n) {
  if (data_ != nullptr && size_ >= n) {
    std::memset(data_, 0, size_);
    return data_;
  }
  Free();
  data_ = static_cast<unsigned char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, n ? n : 1));
  size_ = data_ ? n : 0;
  return data_;
}

unsigned char* ByteBuffer::Grow(DWORD n) {
  if (data_ == nullptr) return Allocate(n);
  if (size_ >= n) return data_;
  auto* bigger = static_cast<unsigned char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, n));
  if (bigger == nullptr) return nullptr;  // the old block stays held
  std::memcpy(bigger, data_, size_);
  HeapFree(GetProcessHeap(), 0, data_);
  data_ = bigger;
  size_ = n;
  return data_;
}

unsigned char* ByteBuffer::Assign(const void* bytes, DWORD n) {
  if (Allocate(n) == nullptr) return nullptr;
  if (n != 0 && bytes != nullptr) std::memcpy(data_, bytes, n);
  return data_;
}

unsigned char* ByteBuffer::AssignText(const char* text) {
  Free();
  if (text == nullptr) return nullptr;
  return Assign(text, static_cast<DWORD>(std::strlen(text) + 1));
}

unsigned char* ByteBuffer::AssignBytes(const void* bytes, DWORD n) {
  Free();
  if (bytes == nullptr || n == 0xFFFFFFFFu) return nullptr;
  if (Allocate(n + 1) == nullptr) return nullptr;
  if (n != 0) std::memcpy(data_, bytes, n);
  return data_;
}

void ByteBuffer::Free() {
  if (data_ != nullptr) HeapFree(GetProcessHeap(), 0, data_);
  data_ = nullptr;
  size_ = 0;
}

DWORD ByteBuffer::Length() const {
  if (data_ == nullptr) return 0;
  return static_cast<DWORD>(strnlen(reinterpret_cast<const char*>(data_), size_));
}

char ByteBuffer::CharAt(DWORD i) const { return i < Length() ? static_cast<char>(data_[i]) : '\0'; }

std::string& GetFilesTimeString(const char* pattern, std::string& text) {
  WriteDetailLine("GetFilesTimeString %s ", pattern ? pattern : "");
  WIN32_FIND_DATAA entry = {};
  FindHandle find(FindFirstFileA(pattern, &entry));
  if (!find) return text;
  WriteDetailLine("GetFilesTimeString start");
  do {
    WriteDetailLine("%s", entry.cFileName);
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    WriteDetailLine("ディレクトリではない");
    FILETIME local = {};
    SYSTEMTIME date = {};
    if (FileTimeToLocalFileTime(&entry.ftLastWriteTime, &local) && FileTimeToSystemTime(&local, &date)) {
      char formatted[32];
      std::snprintf(formatted, sizeof formatted, "%04d/%02d/%02d", date.wYear, date.wMonth, date.wDay);
      text = formatted;
    }
    break;
  } while (FindNextFileA(find.get(), &entry));
  find.reset();
  WriteDetailLine("GetFilesTimeString end");
  return text;
}

ScopedFsRedirectionOff::ScopedFsRedirectionOff() {
  typedef BOOL(WINAPI * DisableFn)(PVOID*);
  auto disable = GetLoadedProc<DisableFn>("kernel32.dll", "Wow64DisableWow64FsRedirection");
  if (disable != nullptr && disable(&old_)) active_ = true;
}

ScopedFsRedirectionOff::~ScopedFsRedirectionOff() {
  typedef BOOL(WINAPI * RevertFn)(PVOID);
  if (!active_) return;
  auto revert = GetLoadedProc<RevertFn>("kernel32.dll", "Wow64RevertWow64FsRedirection");
  if (revert != nullptr) revert(old_);
}

std::string ProgramFolder() {
  char path[1024] = {};
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path - 1);
  if (n == 0) return std::string();
  return FolderPart(path);
}

std::string ExistingSpecialFolder(int csidl) {
  char folder[MAX_PATH] = {};
  // The ANSI lookup may name a folder that does not exist, so it is checked too.
  if (!SHGetSpecialFolderPathA(nullptr, folder, csidl, FALSE)) return std::string();
  folder[sizeof folder - 1] = '\0';
  const DWORD attributes = GetFileAttributesA(folder);
  if (folder[0] == '\0' || attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    return std::string();
  std::string path = folder;
  const char* last = FindLastBackslash(path.c_str());
  if (last != nullptr && last + 1 == path.c_str() + path.size() && path.size() > 3) path.pop_back();
  return path;
}

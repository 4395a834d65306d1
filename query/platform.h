// The shared platform utilities every probe uses.
#pragma once
#include <windows.h>

#include <string>

#include "base/owner.h"
#include "query/version_info.h"
#include "query/version_rules.h"

struct OsInfoRecord {
  bool isWin9x = false;  // also true when GetVersionExA fails
  bool isWow64 = false;  // a 32-bit Report on 64-bit Windows
};
// Filled by a static initialiser before the dialog starts.
extern OsInfoRecord OsInfo;

bool IsWow64();
// Image bitness from the PE header; logs "パスを開けない" when it cannot open.
bool IsFile64Bit(const char* path);
bool IsPE64File(HANDLE file);

// Wide REG_SZ read; 64-bit view when view64 is non-zero. Returns buffer or nullptr.
const wchar_t* RegQueryStringW(HKEY root, const wchar_t* subkey, const wchar_t* valueName, wchar_t* buffer,
                               DWORD sizeBytes, int view64);
// A REG_DWORD or 4-byte REG_BINARY value, or the default when the value is missing, of another type or size.
DWORD RegQueryDword(HKEY key, const char* valueName, DWORD defaultValue);
DWORD RegQueryDwordFromKeys(HKEY first, HKEY second, const char* valueName, DWORD defaultValue);
// REG_SZ up to 260 bytes replaces text; anything else leaves it.
std::string& RegQueryString(HKEY key, const char* valueName, std::string& text);
std::string& RegReadString(HKEY root, const char* subkey, const char* valueName, std::string& text);
bool RegKeyExists(HKEY root, const char* subkey);

class RegKey {
 public:
  RegKey() = default;
  ~RegKey() { Close(); }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  LONG Open(HKEY root, const char* subkey, REGSAM access);
  LONG Close();
  // REG_SZ or REG_EXPAND_SZ, zero-terminated; count in/out in bytes.
  LONG QueryStringValue(const char* valueName, char* buffer, ULONG* count);
  HKEY get() const { return key_; }
  operator HKEY() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary() { Release(); }
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // A bare name ("psapi.dll") is loaded from the system folder only.
  HMODULE Load(const char* name);
  void Release();
  HMODULE get() const { return module_; }
  template <class F>
  F Proc(const char* name) const {
    return module_ ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_, name))) : nullptr;
  }

 private:
  HMODULE module_ = nullptr;
};

// A function of a module that is already loaded (kernel32, user32, ...), or nullptr.
template <class F>
F GetLoadedProc(const char* module, const char* name) {
  HMODULE m = GetModuleHandleA(module);
  return m ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name))) : nullptr;
}

// A zero-filled block from the process heap.
class ByteBuffer {
 public:
  ByteBuffer() = default;
  ~ByteBuffer() { Free(); }
  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;

  unsigned char* Allocate(DWORD n);
  unsigned char* Grow(DWORD n);
  unsigned char* Assign(const void* bytes, DWORD n);
  unsigned char* AssignText(const char* text);
  unsigned char* AssignBytes(const void* bytes, DWORD n);
  void Free();
  DWORD Length() const;
  char CharAt(DWORD i) const;

  unsigned char* data() const { return data_; }
  const char* text() const { return reinterpret_cast<const char*>(data_); }
  DWORD size() const { return size_; }

 private:
  unsigned char* data_ = nullptr;
  DWORD size_ = 0;
};

// The date "%04d/%02d/%02d" of the first plain file matching pattern.
std::string& GetFilesTimeString(const char* pattern, std::string& text);

// Turns off file-system redirection of a 32-bit process for one scope.
class ScopedFsRedirectionOff {
 public:
  ScopedFsRedirectionOff();
  ~ScopedFsRedirectionOff();
  ScopedFsRedirectionOff(const ScopedFsRedirectionOff&) = delete;
  ScopedFsRedirectionOff& operator=(const ScopedFsRedirectionOff&) = delete;
  bool active() const { return active_; }

 private:
  void* old_ = nullptr;
  bool active_ = false;
};

// The directory of the running program, with its final backslash.
std::string ProgramFolder();

// A special folder (CSIDL_...) looked up without ever creating it: its path
// without a final backslash, or "" when it cannot be determined or does not
// exist. Report only reads, so a missing folder stays missing.
std::string ExistingSpecialFolder(int csidl);

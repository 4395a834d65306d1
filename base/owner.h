// One move-only owner for every platform resource: the value, how it closes and
// which values mean "none". Owners close on every path, so no probe closes by hand.
#pragma once
#include <windows.h>
#include <tlhelp32.h>

#include <utility>

template <class Traits>
class Owned {
 public:
  using value_type = typename Traits::value_type;

  Owned() noexcept : value_(Traits::invalid()) {}
  explicit Owned(value_type value) noexcept : value_(value) {}
  ~Owned() { reset(); }
  Owned(Owned&& other) noexcept : value_(other.release()) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;

  value_type get() const noexcept { return value_; }
  bool valid() const noexcept { return Traits::valid(value_); }
  explicit operator bool() const noexcept { return valid(); }
  value_type release() noexcept { return std::exchange(value_, Traits::invalid()); }
  void reset(value_type value = Traits::invalid()) noexcept {
    value_type old = std::exchange(value_, value);
    if (Traits::valid(old)) Traits::close(old);
  }
  // Address for an out-parameter; whatever was held is closed first.
  value_type* put() noexcept {
    reset();
    return &value_;
  }

 private:
  value_type value_;
};

// Kernel handles: both null and INVALID_HANDLE_VALUE mean none.
struct KernelHandleTraits {
  using value_type = HANDLE;
  static HANDLE invalid() { return nullptr; }
  static bool valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void close(HANDLE h) { CloseHandle(h); }
};
using UniqueHandle = Owned<KernelHandleTraits>;
using SnapshotHandle = Owned<KernelHandleTraits>;  // CreateToolhelp32Snapshot

struct FindHandleTraits {
  using value_type = HANDLE;
  static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
  static bool valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void close(HANDLE h) { FindClose(h); }
};
using FindHandle = Owned<FindHandleTraits>;

struct RegKeyTraits {
  using value_type = HKEY;
  static HKEY invalid() { return nullptr; }
  static bool valid(HKEY k) { return k != nullptr; }
  static void close(HKEY k) { RegCloseKey(k); }
};
using UniqueRegKey = Owned<RegKeyTraits>;

struct ModuleTraits {
  using value_type = HMODULE;
  static HMODULE invalid() { return nullptr; }
  static bool valid(HMODULE m) { return m != nullptr; }
  static void close(HMODULE m) { FreeLibrary(m); }
};
using UniqueModule = Owned<ModuleTraits>;

struct SidTraits {
  using value_type = PSID;
  static PSID invalid() { return nullptr; }
  static bool valid(PSID s) { return s != nullptr; }
  static void close(PSID s) { FreeSid(s); }
};
using UniqueSid = Owned<SidTraits>;  // AllocateAndInitializeSid

struct LocalMemTraits {
  using value_type = HLOCAL;
  static HLOCAL invalid() { return nullptr; }
  static bool valid(HLOCAL m) { return m != nullptr; }
  static void close(HLOCAL m) { LocalFree(m); }
};
using UniqueLocal = Owned<LocalMemTraits>;  // ConvertSidToStringSid, FormatMessage

// Wow64DisableWow64FsRedirection for one scope; restored on every path.
// (Declared in platform.h, which looks the functions up at run time.)

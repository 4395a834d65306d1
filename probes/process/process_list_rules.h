// Rules of the process list that need no platform call. Portable.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// The level text of a mandatory-label value (15 stands for an app container).
const char* GetIntegrityLevelName(unsigned long value);
// The label value read from a SID text "S-1-16-<n>"; false when it is not one.
bool ParseIntegritySid(const char* sidText, unsigned long* value);

// The process-name column: the text after the last backslash, else after the
// last '/'. hadFolder tells whether the snapshot gave a path.
std::string ProcessNameFromExeField(const char* exeField, bool* hadFolder);

// The files a service entry may name, in the order they are tried: the
// (expanded, unquoted) path; it cut after its first ".exe"; with "system32"
// turned into "syswow64" for a WOW64 entry; without " (x86)" for an
// expandable entry. path is already lower-case.
std::vector<std::string> ServicePathCandidates(const std::string& path, bool wow64Entry, bool expandable);
// "\"a\" b" gives "a" when a second quote follows the first; else unchanged.
std::string StripLeadingQuotes(const std::string& path);

// "<system folder with its last component replaced by SysNative>\<name>";
// false when the folder has no backslash.
bool SysNativePath(const std::string& systemFolder, const std::string& name, std::string& path);

// The Win32 path of a device path ("\Device\HarddiskVolume2\x.exe") when the
// drive's device name is a whole-component prefix of it, compared without
// regard to case; false otherwise. "\Device\HarddiskVolume1" is no prefix of
// "\Device\HarddiskVolume10\x".
bool DevicePathToDrivePath(const char* devicePath, const char* deviceName, char driveLetter, std::string& path);

// The virtual desktops met by the window list, numbered in order of first
// appearance; entry 0 is the all-zero identifier.
class DesktopTable {
 public:
  static constexpr unsigned kCapacity = 100;
  DesktopTable() { Reset(); }
  void Reset();
  // The number of the identifier, adding it when new; -1 when the table is
  // full and the identifier is not in it.
  int NumberOf(const unsigned char (&id)[16]);
  unsigned count() const { return count_; }

 private:
  unsigned char ids_[kCapacity][16];
  unsigned count_ = 0;
};

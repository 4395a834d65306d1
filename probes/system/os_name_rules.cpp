#include "probes/system/os_name_rules.h"

#include <cstring>

namespace {
struct NtName {
  unsigned major, minor;
  const char* workstation;
  const char* other;
};
// Majors 3, 4 and 5 name only these minors; any other minor of them is empty.
const NtName kNtNames[] = {
    {3, 0, "Windows NT 3", "Windows NT 3"},
    {3, 1, "Windows NT 3.1", "Windows NT 3.1"},
    {3, 5, "Windows NT 3.5", "Windows NT 3.5"},
    {3, 51, "Windows NT 3.51", "Windows NT 3.51"},
    {4, 0, "Windows NT 4", "Windows NT 4"},
    {5, 0, "Windows 2000", "Windows 2000 Server"},
    {5, 1, "Windows XP", "Windows XP"},
    {5, 2, "Windows XP", "Windows Server 2003"},
    {6, 0, "Windows Vista", "Windows Server 2008"},
    {6, 1, "Windows 7", "Windows Server 2008 R2"},
    {6, 2, "Windows 8", "Windows Server 2012"},
    {6, 3, "Windows 8.1", "Windows Server 2012 R2"},
    {10, 0, "Windows 10", "Windows Server 2016"},
};
const char kUnknownOs[] = "未知のOS";
const char kUnknown9x[] = "不明なWindows9x";

std::string NtBaseName(unsigned major, unsigned minor, bool workstation) {
  for (const NtName& row : kNtNames) {
    if (row.major == major && row.minor == minor) return workstation ? row.workstation : row.other;
  }
  if (major >= 3 && major <= 5) return "";
  return kUnknownOs;
}
}  // namespace

std::string OsNameText(unsigned major, unsigned minor, unsigned platform, unsigned productType, const char* csd,
                       std::size_t csdSize) {
  std::string service;
  if (csd != nullptr) {
    std::size_t n = 0;
    while (n < csdSize && csd[n] != '\0') ++n;
    service.assign(csd, n);
  }
  const char second = service.size() >= 2 ? service[1] : '\0';
  std::string name;
  std::string suffix;
  if (platform == 1) {
    if (major < 4) {
      name = kUnknown9x;
    } else if (minor == 0) {
      name = "Windows95";
      if (second == 'B') suffix = "OSR2";
      if (second == 'C') suffix = "OSR2.5";
      if (second == 'a') suffix = "SP1";
    } else if (minor == 10) {
      name = "Windows98";
      if (second == 'A') suffix = "se";
    } else if (minor == 90) {
      name = "WindowsMe";
    } else {
      name = kUnknown9x;
    }
  } else {
    name = NtBaseName(major, minor, productType == 1);
    suffix = service;
  }
  if (!suffix.empty()) name += " " + suffix;
  return name;
}

const char* MachineNameText(unsigned short machine) {
  switch (machine) {
    case 0x014C: return "x86";
    case 0x01C0: return "ARM";
    case 0x8664: return "x64";
    default: return "unknown";
  }
}

std::uint32_t MakeOsVersionCode(unsigned major, unsigned build) {
  if (major == 10) return 0x0A000000u | (build & 0xFFFFu);
  if (major > 10) return 0x0B000000u | (build & 0xFFFFu);
  return kOsVersionCodeBefore10;
}

#include "probes/process/process_list_rules.h"

#include <cstdio>
#include <cstring>

#include "base/cp932_rules.h"

const char* GetIntegrityLevelName(unsigned long value) {
  switch (value) {
    case 0: return "Unknown";
    case 0x1000: return "Low";
    case 0x2000: return "Medium";
    case 0x3000: return "High";
    case 0x4000: return "System";
    case 0x5000: return "SecureProcess";
    default: return "AppContainer";
  }
}

bool ParseIntegritySid(const char* sidText, unsigned long* value) {
  if (sidText == nullptr) return false;
  static const char kPrefix[] = "S-1-16-";
  if (std::strncmp(sidText, kPrefix, sizeof kPrefix - 1) != 0) return false;
  const char* digits = sidText + sizeof kPrefix - 1;
  if (*digits < '0' || *digits > '9') return false;
  unsigned long n = 0;
  for (; *digits >= '0' && *digits <= '9'; ++digits) {
    n = n * 10 + static_cast<unsigned long>(*digits - '0');
    if (n > 0xFFFFFFFFul) return false;
  }
  *value = n;
  return true;
}

std::string ProcessNameFromExeField(const char* exeField, bool* hadFolder) {
  *hadFolder = false;
  if (exeField == nullptr) return std::string();
  if (FindLastBackslash(exeField) != nullptr) {
    *hadFolder = true;
    return FileNamePart(exeField);
  }
  const char* slash = std::strrchr(exeField, '/');  // '/' is never a trail byte
  if (slash != nullptr) {
    *hadFolder = true;
    return slash + 1;
  }
  return exeField;
}

std::string StripLeadingQuotes(const std::string& path) {
  if (path.empty() || path[0] != '"') return path;
  const std::size_t close = path.find('"', 1);
  if (close == std::string::npos) return path;
  return path.substr(1, close - 1);
}

std::vector<std::string> ServicePathCandidates(const std::string& path, bool wow64Entry, bool expandable) {
  // Each step works on the text the previous one left, as one buffer would.
  std::vector<std::string> candidates;
  std::string working = path;
  candidates.push_back(working);
  if (const char* exe = FindCp932(working.c_str(), ".exe")) {
    const std::size_t end = static_cast<std::size_t>(exe - working.c_str()) + 4;
    if (end < working.size()) {
      working.resize(end);
      candidates.push_back(working);
    }
  }
  if (wow64Entry) {
    if (const char* system32 = FindCp932(working.c_str(), "system32")) {
      working.replace(static_cast<std::size_t>(system32 - working.c_str()) + 3, 5, "wow64");
      candidates.push_back(working);
    }
  }
  if (expandable) {
    if (const char* x86 = FindCp932(working.c_str(), " (x86)")) {
      working.erase(static_cast<std::size_t>(x86 - working.c_str()), 6);
      candidates.push_back(working);
    }
  }
  return candidates;
}

bool SysNativePath(const std::string& systemFolder, const std::string& name, std::string& path) {
  std::string folder = systemFolder;
  // Trailing backslashes that are characters of their own; the byte before one
  // cannot tell, since a trail byte can look like a lead byte.
  while (!folder.empty() && FindLastBackslash(folder.c_str()) == &folder.back()) folder.pop_back();
  const char* last = FindLastBackslash(folder.c_str());
  if (last == nullptr) return false;
  path = folder.substr(0, static_cast<std::size_t>(last - folder.c_str()) + 1) + "SysNative\\" + name;
  return true;
}

bool DevicePathToDrivePath(const char* devicePath, const char* deviceName, char driveLetter, std::string& path) {
  if (devicePath == nullptr || deviceName == nullptr || *deviceName == '\0') return false;
  const std::size_t n = std::strlen(deviceName);
  if (std::strlen(devicePath) < n) return false;
  const std::string head(devicePath, n);
  if (!EqualsNoCaseCp932(head.c_str(), deviceName)) return false;
  const char next = devicePath[n];
  if (next != '\0' && next != '\\') return false;
  path.assign(1, driveLetter);
  path += ':';
  path += devicePath + n;
  return true;
}

void DesktopTable::Reset() {
  std::memset(ids_, 0, sizeof ids_);
  count_ = 1;
}

int DesktopTable::NumberOf(const unsigned char (&id)[16]) {
  for (unsigned i = 0; i < count_; ++i)
    if (std::memcmp(ids_[i], id, 16) == 0) return static_cast<int>(i);
  if (count_ >= kCapacity) return -1;
  std::memcpy(ids_[count_], id, 16);
  return static_cast<int>(count_++);
}

#include "probes/process/companion_folder_rules.h"

#include <cstring>

namespace {
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

bool ParseCompanionFolderName(const char* name, unsigned long* pid) {
  static const char kPrefix[] = "modlist6-";
  if (name == nullptr || pid == nullptr) return false;
  for (std::size_t i = 0; kPrefix[i] != '\0'; ++i) {
    const char c = name[i] >= 'A' && name[i] <= 'Z' ? static_cast<char>(name[i] + 32) : name[i];
    if (c != kPrefix[i]) return false;
  }
  const char* at = name + std::strlen(kPrefix);
  // A process id has at most 8 hex digits; the second part is the run's own
  // tag, of any length a name can take.
  unsigned long value = 0;
  int digits = 0;
  for (; *at != '-'; ++at, ++digits) {
    const int v = HexValue(*at);
    if (v < 0 || digits == 8) return false;
    value = value * 16 + static_cast<unsigned long>(v);
  }
  if (digits == 0) return false;
  ++at;
  if (*at == '\0') return false;
  for (; *at != '\0'; ++at) {
    if (HexValue(*at) < 0) return false;
  }
  *pid = value;
  return true;
}

#include "query/version_rules.h"

#include <cstdio>
#include <cstring>

VersionQuad MakeVersionQuad(unsigned a, unsigned b, unsigned c, unsigned d) {
  return (static_cast<VersionQuad>(a & 0xFFFF) << 48) | (static_cast<VersionQuad>(b & 0xFFFF) << 32) |
         (static_cast<VersionQuad>(c & 0xFFFF) << 16) | static_cast<VersionQuad>(d & 0xFFFF);
}

VersionQuad ParseVersionQuad(const char* text, unsigned fill, const char* fallback) {
  if (text == nullptr || *text == '\0') text = fallback ? fallback : "0";
  int parts[4] = {static_cast<int>(fill), static_cast<int>(fill), static_cast<int>(fill),
                  static_cast<int>(fill)};
  // sscanf leaves unreached parts alone; the count it converted is not used.
  const char* format = std::strchr(text, '.') ? "%d.%d.%d.%d" : "%d,%d,%d,%d";
  std::sscanf(text, format, &parts[0], &parts[1], &parts[2], &parts[3]);
  return MakeVersionQuad(static_cast<unsigned>(parts[0]), static_cast<unsigned>(parts[1]),
                         static_cast<unsigned>(parts[2]), static_cast<unsigned>(parts[3]));
}

bool IsVersionInRange(const char* upper, const char* lower, VersionQuad version) {
  const VersionQuad high = ParseVersionQuad(upper, 0xFFFF, "0");
  const VersionQuad low = ParseVersionQuad(lower, 0, "0");
  return version >= low && (version >> 32) <= (high >> 32);
}

std::string VersionQuadText(VersionQuad v) {
  char text[32];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", VersionPart(v, 0), VersionPart(v, 1),
                VersionPart(v, 2), VersionPart(v, 3));
  return text;
}

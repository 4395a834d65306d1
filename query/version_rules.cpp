#include "query/version_rules.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "base/cp932_rules.h"

VersionQuad MakeVersionQuad(unsigned a, unsigned b, unsigned c, unsigned d) {
  return (static_cast<VersionQuad>(a & 0xFFFF) << 48) | (static_cast<VersionQuad>(b & 0xFFFF) << 32) |
         (static_cast<VersionQuad>(c & 0xFFFF) << 16) | static_cast<VersionQuad>(d & 0xFFFF);
}

namespace {
bool IsScanBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

int ScanVersionParts(const char* text, char separator, unsigned (&parts)[4]) {
  if (text == nullptr) return 0;
  const char* p = text;
  int count = 0;
  for (; count < 4; ++count) {
    if (count > 0) {
      if (*p != separator) break;
      ++p;
    }
    while (IsScanBlank(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = (*p++ == '-');
    if (!IsDigit(*p)) break;
    // Modulo 2^16 throughout: the same low bits as the full number.
    unsigned value = 0;
    for (; IsDigit(*p); ++p) value = (value * 10 + static_cast<unsigned>(*p - '0')) & 0xFFFF;
    parts[count] = negative ? ((0x10000 - value) & 0xFFFF) : value;
  }
  return count;
}

VersionQuad ParseVersionQuad(const char* text, unsigned fill, const char* fallback) {
  if (text == nullptr || *text == '\0') text = fallback ? fallback : "0";
  unsigned parts[4] = {fill, fill, fill, fill};
  // Parts the text does not reach keep the fill; the count read is not used.
  ScanVersionParts(text, std::strchr(text, '.') ? '.' : ',', parts);
  return MakeVersionQuad(parts[0], parts[1], parts[2], parts[3]);
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

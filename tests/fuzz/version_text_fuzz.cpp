// Version texts come from registry values and version resources of any file.
// Checks the reader against the C library's sscanf wherever sscanf is defined
// (numbers that fit an int) and the range test's invariants everywhere.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "query/version_rules.h"

namespace {
// True when every digit run is short enough for sscanf's %d to be defined.
bool NumbersFitAnInt(const std::string& text) {
  std::size_t run = 0;
  for (char c : text) {
    run = (c >= '0' && c <= '9') ? run + 1 : 0;
    if (run > 9) return false;
  }
  return true;
}

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "failed: %s\n", what);
    std::abort();
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const unsigned fill = data[0] | (data[1] << 8);
  const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
  const char* c = text.c_str();  // stops at an embedded NUL, like the callers' texts

  const VersionQuad parsed = ParseVersionQuad(c, fill, "0");
  if (*c != '\0' && NumbersFitAnInt(c)) {
    int p[4] = {static_cast<int>(fill), static_cast<int>(fill), static_cast<int>(fill), static_cast<int>(fill)};
    std::sscanf(c, std::strchr(c, '.') ? "%d.%d.%d.%d" : "%d,%d,%d,%d", &p[0], &p[1], &p[2], &p[3]);
    const VersionQuad expected = MakeVersionQuad(static_cast<unsigned>(p[0]), static_cast<unsigned>(p[1]),
                                                 static_cast<unsigned>(p[2]), static_cast<unsigned>(p[3]));
    Check(parsed == expected, "ParseVersionQuad agrees with sscanf");

    unsigned parts[4] = {0, 0, 0, 0};
    int q[4] = {0, 0, 0, 0};
    const int scanned = ScanVersionParts(c, '.', parts);
    int converted = std::sscanf(c, "%d.%d.%d.%d", &q[0], &q[1], &q[2], &q[3]);
    if (converted < 0) converted = 0;
    Check(scanned == converted, "ScanVersionParts counts like sscanf");
  }

  // The same text as upper and lower bound: a version within it is in range.
  const VersionQuad low = ParseVersionQuad(c, 0, "0");
  const VersionQuad high = ParseVersionQuad(c, 0xFFFF, "0");
  Check(low <= high, "unreached parts filled low and high");
  Check(IsVersionInRange(c, c, low), "lower bound is in range");
  Check(IsVersionInRange(c, c, high | 0xFFFFFFFFull), "upper bound ignores build and revision");
  if (low > 0) Check(!IsVersionInRange(c, c, low - 1), "below the lower bound");
  return 0;
}

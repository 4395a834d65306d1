// Cuts of machine text at a byte limit, under any lead-byte table: the kept
// start is made of whole characters, fits the limit, and is the longest such,
// and nothing beyond the limit is read: the buffers are not terminated.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "base/cp932_rules.h"

namespace {
// Character boundaries walked independently of the code under test. With a
// lead-byte table: a lead byte with a second byte before the end is two
// bytes, at the end it is no character. In UTF-8: a first byte with all its
// continuation bytes is one character, cut short by the end it is none,
// followed by anything else it is a byte of its own.
struct Rule {
  unsigned char lead[256];
  bool utf8;
};

std::size_t NextBoundary(const Rule& rule, const std::string& text, std::size_t at, std::size_t end) {
  const unsigned char c = static_cast<unsigned char>(text[at]);
  std::size_t n = 1;
  if (rule.utf8) {
    n = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 1;
  } else if (rule.lead[c]) {
    n = 2;
  }
  for (std::size_t k = 1; k < n; ++k) {
    if (at + k >= end) return std::string::npos;
    if (rule.utf8 && (static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80) return at + 1;
  }
  return at + n;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  // First byte: which table; second: the limit; the rest is the text.
  Rule rule = {};
  const unsigned kind = data[0] % 5;
  unsigned char ranges[12] = {};
  if (kind == 1) {
    const unsigned char cp932[] = {0x81, 0x9F, 0xE0, 0xFC};
    std::memcpy(ranges, cp932, sizeof cp932);
  } else if (kind == 2) {
    ranges[0] = 0x81;
    ranges[1] = 0xFE;
  } else if (kind == 3 && size >= 8) {
    // Ranges from the input itself, as a system could report them.
    std::memcpy(ranges, data + 3, 4);
  }
  if (kind == 4) {
    UseUtf8Text();
    rule.utf8 = true;
  } else {
    SetLeadByteRanges(ranges, sizeof ranges);
    for (int i = 0; i + 1 < 12; i += 2) {
      if (ranges[i] == 0 && ranges[i + 1] == 0) break;
      for (unsigned c = ranges[i] == 0 ? 1 : ranges[i]; c <= ranges[i + 1]; ++c) rule.lead[c] = 1;
    }
  }
  const int limit = static_cast<int>(data[1]) * 2 - 8;  // some negative, up to 502
  const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
  const std::size_t end = std::strlen(text.c_str());  // the text ends at its NUL
  // Characters are judged by the bytes within the limit alone: the window.
  const std::size_t window = limit > 0 ? std::min(end, static_cast<std::size_t>(limit)) : 0;
  // Heap copies of exactly the bytes a call may read, unterminated where the
  // limit or span ends first: a read beyond them stops the sanitizer.
  const auto exact = [&text](std::size_t n) {
    std::unique_ptr<char[]> copy(new char[n]);
    std::memcpy(copy.get(), text.c_str(), n);
    return copy;
  };

  const std::size_t readable = limit > 0 ? std::min(text.size() + 1, static_cast<std::size_t>(limit)) : 0;
  const int cut = WholeCharsLength(exact(readable).get(), limit);
  if (cut < 0 || (limit <= 0 && cut != 0) || (limit > 0 && cut > limit)) __builtin_trap();
  // A whole-character start: walking from 0 reaches cut exactly.
  std::size_t at = 0;
  while (at < static_cast<std::size_t>(cut)) {
    at = NextBoundary(rule, text, at, window);
    if (at == std::string::npos || at > static_cast<std::size_t>(cut)) __builtin_trap();
  }
  // The longest: the next character is missing, incomplete or too long.
  if (static_cast<std::size_t>(cut) < window) {
    const std::size_t next = NextBoundary(rule, text, static_cast<std::size_t>(cut), window);
    if (next != std::string::npos && next <= window) __builtin_trap();
  }
  // The string and bounded forms agree with the NUL-ended form.
  if (WholeCharsLength(text, limit) != cut) __builtin_trap();
  if (WholeCharsLength(exact(end).get(), end, limit) != cut) __builtin_trap();
  // A bounded span that ends early cuts there too.
  const std::size_t span = size % (text.size() + 1);
  const int spanCut = WholeCharsLength(exact(span).get(), span, limit);
  if (spanCut < 0 || static_cast<std::size_t>(spanCut) > span || spanCut > cut) __builtin_trap();
  // The path rules stay inside the text under any table.
  const char* slash = FindLastBackslash(text.c_str());
  if (slash != nullptr && (slash < text.c_str() || slash >= text.c_str() + end || *slash != '\\')) __builtin_trap();
  UseCp932LeadBytes();
  return 0;
}

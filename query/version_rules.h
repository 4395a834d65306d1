// Version numbers as one 64-bit value and the version-text rule. Portable.
#pragma once
#include <cstdint>
#include <string>

// a.b.c.d, a in the top 16 bits; ordered as a plain unsigned number. 0 = none.
typedef std::uint64_t VersionQuad;

VersionQuad MakeVersionQuad(unsigned a, unsigned b, unsigned c, unsigned d);

// Reads up to four numbers joined by `separator` the way sscanf "%d.%d.%d.%d"
// does (blanks before each number, an optional sign, then digits), stopping at
// the first mismatch. Each number is kept as its low 16 bits, so a number too
// large for an int cannot misbehave. Returns how many numbers were read; the
// parts not reached are left as they were.
int ScanVersionParts(const char* text, char separator, unsigned (&parts)[4]);

// Reads "a.b.c.d" (or "a,b,c,d" when the text holds no "."); parts the text
// does not reach keep `fill`. A missing or empty text is read as `fallback`.
VersionQuad ParseVersionQuad(const char* text, unsigned fill, const char* fallback);

// The lower bound is compared in full, the upper bound on major.minor only.
bool IsVersionInRange(const char* upper, const char* lower, VersionQuad version);

inline unsigned VersionPart(VersionQuad v, int index) {  // 0 = major .. 3 = revision
  return static_cast<unsigned>((v >> (48 - 16 * index)) & 0xFFFF);
}
inline unsigned VersionMajor(VersionQuad v) { return VersionPart(v, 0); }
inline unsigned VersionMinor(VersionQuad v) { return VersionPart(v, 1); }
inline std::uint32_t VersionMajorMinor(VersionQuad v) { return static_cast<std::uint32_t>(v >> 32); }

// "%d.%d.%d.%d" of the four parts.
std::string VersionQuadText(VersionQuad v);

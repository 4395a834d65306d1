#include "query/cp932_rules.h"

#include <cstring>

bool IsCp932LeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

std::size_t Cp932CharLength(const char* s) {
  if (IsCp932LeadByte(static_cast<unsigned char>(s[0])) && s[1] != '\0') return 2;
  return 1;
}

const char* FindLastBackslash(const char* path) {
  if (path == nullptr) return nullptr;
  const char* last = nullptr;
  for (const char* p = path; *p != '\0'; p += Cp932CharLength(p)) {
    if (*p == '\\') last = p;
  }
  return last;
}

const char* FileNamePart(const char* path) {
  if (path == nullptr) return "";
  const char* slash = FindLastBackslash(path);
  return slash ? slash + 1 : path;
}

std::string FolderPart(const char* path) {
  const char* slash = FindLastBackslash(path);
  return slash ? std::string(path, slash + 1) : std::string();
}

namespace {
char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

template <char (*Fold)(char)>
std::string FoldCp932(const std::string& text) {
  std::string out(text);
  for (std::size_t i = 0; i < out.size();) {
    if (IsCp932LeadByte(static_cast<unsigned char>(out[i])) && i + 1 < out.size()) {
      i += 2;
    } else {
      out[i] = Fold(out[i]);
      ++i;
    }
  }
  return out;
}

// Compares needle with text at p, ignoring ASCII case of single-byte characters.
bool MatchesAt(const char* p, const char* needle, bool ignoreCase) {
  while (*needle != '\0') {
    if (*p == '\0') return false;
    const std::size_t n = Cp932CharLength(needle);
    if (n == 2) {
      if (p[0] != needle[0] || p[1] != needle[1]) return false;
    } else if (ignoreCase ? LowerAscii(*p) != LowerAscii(*needle) : *p != *needle) {
      return false;
    } else if (Cp932CharLength(p) != 1) {
      return false;
    }
    p += n;
    needle += n;
  }
  return true;
}

const char* Find(const char* text, const char* needle, bool ignoreCase) {
  if (text == nullptr || needle == nullptr) return nullptr;
  for (const char* p = text;; p += Cp932CharLength(p)) {
    if (MatchesAt(p, needle, ignoreCase)) return p;
    if (*p == '\0') return nullptr;
  }
}
}  // namespace

std::string ToLowerCp932(const std::string& text) { return FoldCp932<LowerAscii>(text); }
std::string ToUpperCp932(const std::string& text) { return FoldCp932<UpperAscii>(text); }

void LowerCp932InPlace(char* text) {
  for (char* p = text; p && *p != '\0';) {
    const std::size_t n = Cp932CharLength(p);
    if (n == 1) *p = LowerAscii(*p);
    p += n;
  }
}

bool EqualsNoCaseCp932(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return a == b;
  return MatchesAt(a, b, true) && a[std::strlen(b)] == '\0';
}

bool StartsWithNoCaseCp932(const char* text, const char* prefix) {
  return text != nullptr && prefix != nullptr && MatchesAt(text, prefix, true);
}

bool EndsWithNoCaseCp932(const char* text, const char* suffix) {
  if (text == nullptr || suffix == nullptr) return false;
  const std::size_t tl = std::strlen(text), sl = std::strlen(suffix);
  if (sl > tl) return false;
  // The suffix must start on a character boundary of the text.
  for (const char* p = text; *p != '\0' || sl == 0; p += Cp932CharLength(p)) {
    const std::size_t at = static_cast<std::size_t>(p - text);
    if (at == tl - sl) return MatchesAt(p, suffix, true);
    if (at > tl - sl || *p == '\0') return false;
  }
  return false;
}

const char* FindNoCaseCp932(const char* text, const char* needle) { return Find(text, needle, true); }
const char* FindCp932(const char* text, const char* needle) { return Find(text, needle, false); }

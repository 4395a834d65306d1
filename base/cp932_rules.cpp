#include "base/cp932_rules.h"

#include <cstring>

namespace {
// The length of the character each first byte starts; utf8 also asks that
// the following bytes be continuation bytes.
struct LeadTable {
  unsigned char length[256];
  bool utf8;
};

constexpr LeadTable Cp932Table() {
  LeadTable t{};
  for (int c = 0; c < 256; ++c) t.length[c] = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC) ? 2 : 1;
  return t;
}

// Constant-initialised, so text read by static initialisers already has a rule.
LeadTable g_table = Cp932Table();

// Bytes of the character at s, of which at most `left` are there (the text
// also ends at a NUL); 0 when the character is cut short.
std::size_t CharLengthAt(const char* s, std::size_t left) {
  const std::size_t n = g_table.length[static_cast<unsigned char>(s[0])];
  for (std::size_t k = 1; k < n; ++k) {
    if (k >= left || s[k] == '\0') return 0;
    // In UTF-8 a first byte without its continuation is a byte of its own.
    if (g_table.utf8 && (static_cast<unsigned char>(s[k]) & 0xC0) != 0x80) return 1;
  }
  return n;
}
}  // namespace

void SetLeadByteRanges(const unsigned char* ranges, std::size_t size) {
  LeadTable t{};
  for (int c = 0; c < 256; ++c) t.length[c] = 1;
  for (std::size_t i = 0; ranges != nullptr && i + 1 < size; i += 2) {
    const unsigned first = ranges[i], last = ranges[i + 1];
    if (first == 0 && last == 0) break;
    // Byte 0 never leads: it ends every text.
    for (unsigned c = first == 0 ? 1 : first; c <= last; ++c) t.length[c] = 2;
  }
  g_table = t;
}

void UseUtf8Text() {
  LeadTable t{};
  for (int c = 0; c < 256; ++c) {
    t.length[c] = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 1;
  }
  t.utf8 = true;
  g_table = t;
}

void UseCp932LeadBytes() { g_table = Cp932Table(); }

bool IsLeadByte(unsigned char c) { return g_table.length[c] > 1; }

std::size_t AnsiCharLength(const char* s) {
  const std::size_t n = CharLengthAt(s, static_cast<std::size_t>(-1));
  return n == 0 ? 1 : n;
}

int WholeCharsLength(const char* text, std::size_t size, int limit) {
  if (text == nullptr || limit <= 0) return 0;
  const std::size_t bound = size < static_cast<std::size_t>(limit) ? size : static_cast<std::size_t>(limit);
  std::size_t at = 0;
  while (at < bound && text[at] != '\0') {
    // The whole character must be there, within the text and within the
    // limit; no byte beyond the bound is read, so a buffer of `limit` bytes
    // needs no terminator.
    const std::size_t n = CharLengthAt(text + at, bound - at);
    if (n == 0) break;
    at += n;
  }
  return static_cast<int>(at);
}

int WholeCharsLength(const char* text, int limit) {
  return WholeCharsLength(text, static_cast<std::size_t>(-1), limit);
}

int WholeCharsLength(const std::string& text, int limit) { return WholeCharsLength(text.c_str(), text.size(), limit); }

const char* FindLastBackslash(const char* path) {
  if (path == nullptr) return nullptr;
  const char* last = nullptr;
  for (const char* p = path; *p != '\0'; p += AnsiCharLength(p)) {
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
    const std::size_t n = out[i] == '\0' ? 1 : CharLengthAt(&out[i], out.size() - i);
    if (n > 1) {
      i += n;
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
    const std::size_t n = AnsiCharLength(needle);
    if (n > 1) {
      // Byte by byte: a shorter text ends at its NUL, never read past.
      for (std::size_t k = 0; k < n; ++k) {
        if (p[k] != needle[k]) return false;
      }
    } else if (ignoreCase ? LowerAscii(*p) != LowerAscii(*needle) : *p != *needle) {
      return false;
    } else if (AnsiCharLength(p) != 1) {
      return false;
    }
    p += n;
    needle += n;
  }
  return true;
}

const char* Find(const char* text, const char* needle, bool ignoreCase) {
  if (text == nullptr || needle == nullptr) return nullptr;
  for (const char* p = text;; p += AnsiCharLength(p)) {
    if (MatchesAt(p, needle, ignoreCase)) return p;
    if (*p == '\0') return nullptr;
  }
}
}  // namespace

std::string ToLowerCp932(const std::string& text) { return FoldCp932<LowerAscii>(text); }
std::string ToUpperCp932(const std::string& text) { return FoldCp932<UpperAscii>(text); }

void LowerCp932InPlace(char* text) {
  for (char* p = text; p && *p != '\0';) {
    const std::size_t n = AnsiCharLength(p);
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
  for (const char* p = text; *p != '\0' || sl == 0; p += AnsiCharLength(p)) {
    const std::size_t at = static_cast<std::size_t>(p - text);
    if (at == tl - sl) return MatchesAt(p, suffix, true);
    if (at > tl - sl || *p == '\0') return false;
  }
  return false;
}

const char* FindNoCaseCp932(const char* text, const char* needle) { return Find(text, needle, true); }
const char* FindCp932(const char* text, const char* needle) { return Find(text, needle, false); }

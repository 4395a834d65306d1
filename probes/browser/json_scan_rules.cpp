#include "probes/browser/json_scan_rules.h"

#include <cstring>

#include "base/cp932_rules.h"

bool ScanJsonValue(const char* text, std::size_t length, const char* key, std::size_t keyLength, int depth,
                   std::size_t* valueStart, std::size_t* valueLength, int* type) {
  *type = kJsonUnknown;
  *valueStart = 0;
  *valueLength = 0;
  if (text == nullptr || length == 0 || key == nullptr || keyLength == 0) return false;

  long level = 0, braces = 0, brackets = 0;
  bool inString = false;
  std::size_t pos = 0;
  bool found = false;
  for (; pos < length; ++pos) {
    if (level == depth && length - pos >= keyLength && std::memcmp(text + pos, key, keyLength) == 0) {
      found = true;
      break;
    }
    const char c = text[pos];
    if (c == '"') {
      inString = !inString;
    } else if (!inString) {
      if (c == '{') {
        ++level;
        ++braces;
      } else if (c == '}') {
        --level;
        --braces;
      } else if (c == '[') {
        ++level;
        ++brackets;
      } else if (c == ']') {
        --level;
        --brackets;
      }
    }
  }
  if (!found) return false;

  std::size_t start = pos + keyLength;
  std::size_t end = length;  // the end of the text ends every value
  const char first = start < length ? text[start] : '\0';
  if (first == '{' || first == '[') {
    const char open = first, close = first == '{' ? '}' : ']';
    long& counter = first == '{' ? braces : brackets;
    const long before = counter;
    ++counter;
    *type = first == '{' ? kJsonObject : kJsonArray;
    ++start;
    for (std::size_t i = start; i < length; ++i) {
      const char c = text[i];
      if (c == '"') {
        inString = !inString;
      } else if (!inString && c == open) {
        ++counter;
      } else if (!inString && c == close) {
        --counter;
        if (counter == before) {
          end = i;
          break;
        }
      }
    }
  } else if (first == '"') {
    *type = kJsonString;
    for (std::size_t i = start; i < length; ++i) {
      const char c = text[i];
      if (c == '"') {
        inString = !inString;
      } else if (!inString && (c == ',' || c == '}')) {
        end = i;
        break;
      }
    }
  } else {
    *type = kJsonOther;
    for (std::size_t i = start; i < length; ++i) {
      if (text[i] == ',' || text[i] == '}') {
        end = i;
        break;
      }
    }
  }
  if (start > end) start = end;
  *valueStart = start;
  *valueLength = end - start;
  return true;
}

std::vector<std::string> QuotedTexts(const char* value, std::size_t maxCount) {
  std::vector<std::string> names;
  if (value == nullptr) return names;
  const char* p = value;
  while (names.size() < maxCount) {
    const char* open = std::strchr(p, '"');
    if (open == nullptr) break;
    const char* close = std::strchr(open + 1, '"');
    if (close == nullptr) break;
    if (close > open + 1) names.emplace_back(open + 1, close);
    p = close + 1;
  }
  return names;
}

bool IsProfileFolderName(const std::string& name) {
  // '/', ':' and '.' are never cp932 trail bytes; '\\' can be, so it is looked
  // for by characters.
  return !name.empty() && FindLastBackslash(name.c_str()) == nullptr &&
         name.find_first_of("/:") == std::string::npos && name.find("..") == std::string::npos;
}

const char* FindQuotedKey(const char* from, const char* key) {
  const std::size_t keyLength = std::strlen(key);
  if (keyLength == 0) return nullptr;
  for (const char* p = std::strstr(from, key); p != nullptr; p = std::strstr(p + 1, key)) {
    if (p[-1] == '"' && p[keyLength] == '"') return p;
  }
  return nullptr;
}

ManifestValueKind FindManifestValue(const char* manifest, const char* key, char opening, char closing,
                                    std::string& text) {
  text.clear();
  if (manifest == nullptr || manifest[0] == '\0' || key == nullptr) return ManifestValueKind::None;
  const char* found = FindQuotedKey(manifest + 1, key);
  if (found == nullptr) return ManifestValueKind::None;
  const char* open = std::strchr(found + std::strlen(key) + 1, opening);
  if (open == nullptr) return ManifestValueKind::None;
  const char* close = std::strchr(open + 1, closing);
  if (close == nullptr) return ManifestValueKind::None;

  static const char kMessagePrefix[] = "__MSG_";
  const std::size_t prefixLength = sizeof kMessagePrefix - 1;
  if (std::strncmp(open + 1, kMessagePrefix, prefixLength) == 0) {
    // "__MSG_name__": the closing "__" is not part of the name. A reference
    // too short to hold a name gives an empty one, which finds nothing.
    const char* nameStart = open + 1 + prefixLength;
    const char* nameEnd = close - 2;
    if (nameEnd > nameStart) text.assign(nameStart, nameEnd);
    return ManifestValueKind::Message;
  }
  text.assign(open + 1, close);
  return ManifestValueKind::Literal;
}

bool FindLocaleMessage(const char* messages, const char* name, std::string& message) {
  message.clear();
  if (messages == nullptr || messages[0] == '\0' || name == nullptr || name[0] == '\0') return false;
  const char* found = FindQuotedKey(messages + 1, name);
  if (found == nullptr) return false;
  static const char kMessageKey[] = "\"message\"";
  const char* key = std::strstr(found, kMessageKey);
  if (key == nullptr) return false;
  const char* open = std::strchr(key + sizeof kMessageKey - 1, '"');
  if (open == nullptr) return false;
  const char* close = std::strchr(open + 1, '"');
  if (close == nullptr) return false;
  message.assign(open + 1, close);
  return true;
}

bool HasHighBitByte(const std::string& text) {
  for (unsigned char c : text) {
    if (c & 0x80) return true;
  }
  return false;
}

bool IsScriptFileName(const char* name) {
  const char* dot = std::strrchr(name, '.');
  return dot != nullptr && EqualsNoCaseCp932(dot + 1, "js");
}

int SearchChunksForKeywords(ChunkSource& source, const char* const* keywords, unsigned long long maxBytes) {
  const std::size_t kWindow = 8192, kHalf = 4096;
  char window[kWindow + 1] = {};
  std::size_t got = source.Read(window, kWindow);
  if (got > kWindow) got = kWindow;
  window[got] = '\0';
  unsigned long long total = got;
  std::size_t requested = kWindow;
  for (;;) {
    for (int i = 0; keywords[i] != nullptr && keywords[i][0] != '\0'; ++i) {
      if (std::strstr(window, keywords[i]) != nullptr) return i;
    }
    if (got < requested || total >= maxBytes) return -1;
    std::memmove(window, window + kHalf, kHalf);
    requested = kHalf;
    got = source.Read(window + kHalf, kHalf);
    if (got > kHalf) got = kHalf;
    window[kHalf + got] = '\0';
    total += got;
  }
}

#include "probes/browser/browser_command_rules.h"

#include <cstring>

namespace {
const char kPathKey[] = "\"path\"";
const char kHost32[] = " \"qmnhost.exe\"";
const char kHost64[] = "\"qmnhost6.exe\"";

wchar_t LowerAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool EndsWithExeAt(const std::wstring& text, std::size_t cut) {
  if (cut < 4 || cut > text.size()) return false;
  static const wchar_t kExe[] = L".exe";
  for (std::size_t i = 0; i < 4; ++i) {
    if (LowerAscii(text[cut - 4 + i]) != kExe[i]) return false;
  }
  return true;
}
}  // namespace

bool ExtractExecutablePath(const std::wstring& command, std::wstring& path) {
  path.clear();
  if (!command.empty() && command[0] == L'"') {
    const std::size_t close = command.find(L'"', 1);
    if (close == std::wstring::npos) return false;
    path = command.substr(1, close - 1);
    return true;
  }
  std::size_t candidate = 4;
  while (candidate <= command.size()) {
    if (EndsWithExeAt(command, candidate)) {
      path = command.substr(0, candidate);
      return true;
    }
    candidate = command.find(L' ', candidate + 1);
    if (candidate == std::wstring::npos) break;
  }
  path = command;
  return true;
}

ByteSpan FindManifestPathValue(const char* data, std::size_t size) {
  ByteSpan span;
  const std::size_t keyLength = sizeof kPathKey - 1;
  std::size_t i = 0;
  bool found = false;
  for (; i + keyLength <= size; ++i) {
    if (std::memcmp(data + i, kPathKey, keyLength) == 0) {
      found = true;
      break;
    }
  }
  if (!found) return span;
  // The key, and one byte more (the colon in a normal manifest).
  span.start = i + keyLength + 1;
  if (span.start > size) span.start = size;
  const void* comma = std::memchr(data + span.start, ',', size - span.start);
  const std::size_t end = comma ? static_cast<std::size_t>(static_cast<const char*>(comma) - data) : size;
  span.length = end - span.start;
  return span;
}

bool IsAcceptedHostValue(const char* data, std::size_t size, std::size_t start) {
  if (start > size) return false;
  const std::size_t left = size - start;
  for (const char* literal : {kHost32, kHost64}) {
    const std::size_t n = std::strlen(literal);
    if (left >= n && std::memcmp(data + start, literal, n) == 0) return true;
  }
  return false;
}

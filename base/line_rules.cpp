#include "base/line_rules.h"

#include <cstdio>
#include <new>

void ApplyNewlineRule(std::string& line) {
  if (line.empty() || line.back() != '\n') line.push_back('\n');
}

bool FormatLineV(std::string& out, const char* format, std::va_list args, bool* outOfMemory) {
  out.clear();
  if (format == nullptr) return false;
  std::va_list measure;
  va_copy(measure, args);
  const int needed = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (needed < 0) return false;
  try {
    out.resize(static_cast<std::size_t>(needed) + 1);
  } catch (const std::bad_alloc&) {
    out.clear();
    if (outOfMemory != nullptr) *outOfMemory = true;
    return false;
  }
  std::vsnprintf(&out[0], out.size(), format, args);
  out.resize(static_cast<std::size_t>(needed));
  return true;
}

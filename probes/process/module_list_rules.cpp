#include "probes/process/module_list_rules.h"

#include <cstdio>
#include <cstring>

#include "query/cp932_rules.h"

bool ModuleHandleTable::Add(std::uintptr_t handle) {
  if (count >= kCapacity) return false;
  handles[count++] = handle;
  return true;
}

bool ModuleHandleTable::Contains(std::uintptr_t handle) const {
  for (unsigned i = 0; i < count && i < kCapacity; ++i)
    if (handles[i] == handle) return true;
  return false;
}

std::string ModuleHandleHex(std::uintptr_t handle) {
  char text[24];
  std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(handle));
  return text;
}

bool NeedsCompanion(bool snapshotFailed, bool reportIsWow64, bool targetIs64Bit) {
  return snapshotFailed && reportIsWow64 && targetIs64Bit;
}

int CompanionPipeNumber(unsigned long tick) {
  const unsigned long t = tick & 0xFFFFFFFFul;
  return static_cast<int>((t | (t >> 16)) & 0xFFFFul);
}

std::string CompanionPipeName(int number) {
  char text[24];
  std::snprintf(text, sizeof text, "Report%d", number);
  return text;
}

bool CompanionPipePath(const std::string& name, char* buffer, std::size_t bufferSize) {
  static const char kPrefix[] = "\\\\.\\pipe\\";
  const std::size_t need = (sizeof kPrefix - 1) + name.size() + 1;
  if (buffer == nullptr || bufferSize == 0) return false;
  buffer[0] = '\0';
  if (name.empty() || need > bufferSize) return false;
  std::memcpy(buffer, kPrefix, sizeof kPrefix - 1);
  std::memcpy(buffer + sizeof kPrefix - 1, name.data(), name.size());
  buffer[need - 1] = '\0';
  return true;
}

bool AnswerLineJoiner::Add(const char* piece) {
  if (piece == nullptr) return false;
  const std::size_t n = std::strlen(piece);
  const bool ends = n > 0 && piece[n - 1] == '\n';
  const std::size_t room = !cut_ && line_.size() < kMaxLine ? kMaxLine - line_.size() : 0;
  const std::size_t body = ends ? n - 1 : n;
  line_.append(piece, body < room ? body : room);
  if (body > room && !cut_) {
    // The pieces split characters anywhere: the cut is made on the joined line,
    // and nothing more of this line is kept.
    line_.resize(static_cast<std::size_t>(WholeCharsLength(line_, static_cast<int>(kMaxLine))));
    cut_ = true;
  }
  if (ends) line_ += '\n';
  return ends;
}

bool ParseAnswerLine(const std::string& line, int* level, std::string* text) {
  if (line.size() < 2) return false;
  *level = line[0] == '0' ? 0 : line[0] == '1' ? 1 : 2;
  *text = line.substr(2);
  return true;
}

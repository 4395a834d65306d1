#include "probes/process/module_list_rules.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "base/cp932_rules.h"

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

void AnswerSplitter::Append(char c) {
  if (current_.size() < kMaxLine) current_ += c;
}

void AnswerSplitter::Feed(const char* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    const char c = data[i];
    if (pendingCr_) {
      pendingCr_ = false;
      if (c != '\n') Append('\r');
    }
    if (c == '\r') {
      pendingCr_ = true;
    } else if (c == '\n') {
      // A line cut at kMaxLine bytes keeps whole characters only.
      if (current_.size() >= kMaxLine) current_.resize(WholeCharsLength(current_, static_cast<int>(kMaxLine)));
      current_ += '\n';
      complete_.push_back(std::move(current_));
      current_.clear();
    } else {
      Append(c);
    }
  }
}

bool AnswerSplitter::Next(std::string* line) {
  if (complete_.empty()) return false;
  *line = std::move(complete_.front());
  complete_.pop_front();
  return true;
}

std::string AnswerSplitter::Rest() const {
  std::string rest = current_;
  if (rest.size() >= kMaxLine) rest.resize(WholeCharsLength(rest, static_cast<int>(kMaxLine)));
  if (pendingCr_) rest += '\r';
  return rest;
}

CompanionAnswerLimits DefaultCompanionAnswerLimits() {
  return {kCompanionStallMs, kCompanionAnswerMs, kCompanionAnswerLines, kCompanionAnswerBytes};
}

bool ParseAnswerLine(const std::string& line, int* level, std::string* text) {
  if (line.size() < 2) return false;
  *level = line[0] == '0' ? 0 : line[0] == '1' ? 1 : 2;
  *text = line.substr(2);
  return true;
}

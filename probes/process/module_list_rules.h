// Rules of the module listing and of the link to Modlist6 that need no
// platform call. Portable.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Handles of the modules of the last listing whose maker is not Microsoft.
// Full at kCapacity: later handles are not recorded.
struct ModuleHandleTable {
  static constexpr unsigned kCapacity = 1024;
  std::uintptr_t handles[kCapacity];
  unsigned count = 0;

  void Clear() { count = 0; }
  bool Add(std::uintptr_t handle);  // false when the table is full
  bool Contains(std::uintptr_t handle) const;
};

// A module handle as Report prints it: lower-case hexadecimal, no leading zeros.
std::string ModuleHandleHex(std::uintptr_t handle);

// Report asks the companion only when its own snapshot failed, Report itself
// runs as a 32-bit program on 64-bit Windows and the target is a 64-bit
// process. A 64-bit Report lists every process it can itself; the companion
// could do no better.
bool NeedsCompanion(bool snapshotFailed, bool reportIsWow64, bool targetIs64Bit);

// "Report%d" with a number 0..65535 made from the tick count.
int CompanionPipeNumber(unsigned long tick);
std::string CompanionPipeName(int number);
// "\\.\pipe\" + name; false when it does not fit bufferSize bytes with its NUL.
bool CompanionPipePath(const std::string& name, char* buffer, std::size_t bufferSize);

// "\"<path>\" -n<name>". The path is quoted so blanks in the temporary folder
// do not split it; Modlist6 finds its pipe name after the last "-n" of the
// text after the program name. False when the path holds a quote or the line
// would exceed maxChars characters.
template <class String>
bool BuildCompanionCommandLine(const String& exePath, const String& pipeName, std::size_t maxChars,
                               String& line) {
  using Char = typename String::value_type;
  if (exePath.empty() || pipeName.empty()) return false;
  for (Char c : exePath)
    if (c == Char('"')) return false;
  const std::size_t length = exePath.size() + pipeName.size() + 5;
  if (length > maxChars) return false;
  line.clear();
  line += Char('"');
  line += exePath;
  line += Char('"');
  line += Char(' ');
  line += Char('-');
  line += Char('n');
  line += pipeName;
  return true;
}

// Joins the pieces that a fixed-size line read returns for one long line.
// A joined line keeps at most kMaxLine bytes of whole characters (the rest is
// dropped, the line end kept) so a runaway answer cannot exhaust memory.
class AnswerLineJoiner {
 public:
  static constexpr std::size_t kMaxLine = 64 * 1024;
  // Adds one piece; true when the line is complete (the piece ended in '\n').
  bool Add(const char* piece);
  // The line so far, also usable at the end of the stream.
  const std::string& line() const { return line_; }
  bool empty() const { return line_.empty(); }
  void Reset() {
    line_.clear();
    cut_ = false;
  }

 private:
  std::string line_;
  bool cut_ = false;  // kMaxLine reached: the rest of the line is dropped
};

// One answer line: the level digit, a separator, then the text. False for a
// line shorter than two characters, which ends the answer. Level 0 is User,
// 1 Support and anything else Analysis details (2).
bool ParseAnswerLine(const std::string& line, int* level, std::string* text);

// The companion's command line comes from whoever starts it. Whatever it holds,
// the pipe path never leaves its 32 bytes and a name is taken only after the
// last "-n".
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "modlist6/pipe_name_rules.h"

namespace {
void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "failed: %s\n", what);
    std::abort();
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  const char* c = line.c_str();
  const char* tail = CommandLineTail(c);
  Check(tail >= c && tail <= c + std::strlen(c), "tail lies inside the command line");

  std::string name;
  const bool found = FindPipeName(tail, name);
  const char* dash = std::strrchr(tail, '-');
  Check(found == (dash != nullptr && dash[1] == 'n'), "found exactly when the last dash is followed by n");
  if (found) {
    Check(name == dash + 2, "the name is everything after the last -n");
    Check(name.find('-') == std::string::npos, "no dash inside the name");
  }

  // The buffer sits inside a guarded region; nothing past 32 bytes may change.
  char region[96];
  std::memset(region, 0xA5, sizeof region);
  const bool fits = BuildPipePath(name, region + 16, 32);
  for (int i = 0; i < 16; ++i) Check(static_cast<unsigned char>(region[i]) == 0xA5, "nothing before the buffer");
  for (int i = 48; i < 96; ++i) Check(static_cast<unsigned char>(region[i]) == 0xA5, "nothing after the buffer");
  Check(fits == (name.size() <= 22), "a name fits exactly up to 22 bytes");
  if (fits) {
    Check(std::strncmp(region + 16, "\\\\.\\pipe\\", 9) == 0, "pipe prefix");
    Check(name == region + 16 + 9, "name follows the prefix");
  } else {
    Check(region[16] == '\0', "a refused path is left empty");
  }
  return 0;
}

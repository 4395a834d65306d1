// Feeds arbitrary bytes through the splitting and parsing of companion
// answers, in pieces of the sizes a pipe read may return.
#include <cstddef>
#include <cstdint>
#include <string>

#include "probes/process/module_list_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  AnswerSplitter answer;
  const char* bytes = reinterpret_cast<const char*>(data);
  std::size_t at = 0;
  std::size_t step = size > 0 ? 1 + data[0] % 97 : 1;
  while (at < size) {
    const std::size_t take = size - at < step ? size - at : step;
    answer.Feed(bytes + at, take);
    at += take;
    step = step * 7 % 509 + 1;
    std::string line;
    while (answer.Next(&line)) {
      if (line.empty() || line.back() != '\n') __builtin_trap();
      if (line.size() > AnswerSplitter::kMaxLine + 1) __builtin_trap();
      int level = -1;
      std::string text;
      if (ParseAnswerLine(line, &level, &text) && (level < 0 || level > 2)) __builtin_trap();
    }
  }
  if (answer.Rest().size() > AnswerSplitter::kMaxLine + 1) __builtin_trap();
  return 0;
}

// Feeds arbitrary bytes through the joining and parsing of companion answers,
// in the piece sizes a 512-byte line read gives.
#include <cstddef>
#include <cstdint>
#include <string>

#include "probes/process/module_list_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  AnswerLineJoiner joiner;
  std::string input(reinterpret_cast<const char*>(data), size);
  std::size_t at = 0;
  while (at < input.size()) {
    std::size_t end = input.find('\n', at);
    std::size_t take = (end == std::string::npos ? input.size() : end + 1) - at;
    if (take > 511) take = 511;
    const std::string piece = input.substr(at, take);
    at += take;
    if (!joiner.Add(piece.c_str())) continue;
    int level = -1;
    std::string text;
    if (ParseAnswerLine(joiner.line(), &level, &text) && (level < 0 || level > 2)) __builtin_trap();
    if (joiner.line().size() > AnswerLineJoiner::kMaxLine + 1) __builtin_trap();
    joiner.Reset();
  }
  return 0;
}

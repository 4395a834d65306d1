// Arbitrary bytes through every scan of browser and extension files: the key
// scanner, quoted names, manifest and locale lookups, the host manifest scan
// and the keyword window.
#include <cstdint>
#include <cstring>
#include <string>

#include "probes/browser/browser_command_rules.h"
#include "probes/browser/json_scan_rules.h"

namespace {
class BytesChunks : public ChunkSource {
 public:
  BytesChunks(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    // Short reads in odd sizes, as a file on a slow share might give.
    std::size_t n = size_ - pos_ < size ? size_ - pos_ : size;
    std::memcpy(buffer, data_ + pos_, n);
    pos_ += n;
    return n;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // First byte: depth and key choice; the rest is the file.
  const int depth = (data[0] & 0x07) - 1;
  const char* const keys[] = {"\"profiles_order\":", "\"a\":", "{", "\"", "\"path\""};
  const char* key = keys[(data[0] >> 3) % 5];
  const char* text = reinterpret_cast<const char*>(data + 1);
  const std::size_t length = size - 1;

  std::size_t start = 0, valueLength = 0;
  int type = 0;
  if (ScanJsonValue(text, length, key, std::strlen(key), depth, &start, &valueLength, &type)) {
    if (start + valueLength > length) __builtin_trap();
    if (type != kJsonObject && type != kJsonArray && type != kJsonString && type != kJsonOther) __builtin_trap();
    const std::string value(text + start, valueLength);
    QuotedTexts(value.c_str(), 1000);
  }

  // The lookups work on zero-terminated texts, as read from files.
  const std::string terminated(text, length);
  std::string out;
  for (const char* name : {"name", "description", "permissions"}) {
    const bool brackets = std::strcmp(name, "permissions") == 0;
    const ManifestValueKind kind =
        FindManifestValue(terminated.c_str(), name, brackets ? '[' : '"', brackets ? ']' : '"', out);
    if (kind == ManifestValueKind::Message) FindLocaleMessage(terminated.c_str(), out.c_str(), out);
    OneLineText(out);
  }

  const ByteSpan span = FindManifestPathValue(text, length);
  if (span.start > length || span.length > length - span.start) __builtin_trap();
  IsAcceptedHostValue(text, length, span.start);

  std::wstring command(terminated.begin(), terminated.end()), path;
  if (ExtractExecutablePath(command, path) && path.size() > command.size()) __builtin_trap();

  const char* const keywords[] = {"Scrap", "Acrobat", "chrome.tabs.captureVisibleTab", ""};
  BytesChunks chunks(data, size);
  const int found = SearchChunksForKeywords(chunks, keywords, 1 << 20);
  if (found > 2) __builtin_trap();
  return 0;
}

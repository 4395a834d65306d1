// Arbitrary bytes through every scan of browser and extension files: the key
// scanner, quoted names, manifest and locale lookups, the host manifest scan,
// the open-command rule and the keyword window.
#include <cstdint>
#include <cstring>
#include <string>

#include "probes/browser/browser_command_rules.h"
#include "probes/browser/json_scan_rules.h"

namespace {
class BytesChunks : public ChunkSource {
 public:
  explicit BytesChunks(const std::string& data) : data_(data) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    const std::size_t n = data_.size() - pos_ < size ? data_.size() - pos_ : size;
    std::memcpy(buffer, data_.data() + pos_, n);
    pos_ += n;
    return n;
  }

 private:
  const std::string& data_;
  std::size_t pos_ = 0;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // The first byte picks depth and key; the rest is the file.
  const char* const keys[] = {"\"profiles_order\":", "\"a\":", "{", "\"", "\"path\""};
  const char* key = keys[(data[0] >> 3) % 5];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  std::size_t start = 0, length = 0;
  int type = 0;
  if (ScanJsonValue(text.data(), text.size(), key, std::strlen(key), (data[0] & 7) - 1, &start, &length, &type)) {
    if (start + length > text.size() || type < kJsonObject || type > kJsonOther) __builtin_trap();
    QuotedTexts(text.substr(start, length).c_str(), 1000);
  }
  std::string out;
  for (const char* name : {"name", "description", "permissions"}) {
    const bool list = name[0] == 'p';
    if (FindManifestValue(text.c_str(), name, list ? '[' : '"', list ? ']' : '"', out) == ManifestValueKind::Message) {
      FindLocaleMessage(text.c_str(), out.c_str(), out);
    }
  }
  const ByteSpan span = FindManifestPathValue(text.data(), text.size());
  if (span.start > text.size() || span.length > text.size() - span.start) __builtin_trap();
  IsAcceptedHostValue(text.data(), text.size(), span.start);
  std::wstring path;
  if (ExtractExecutablePath(std::wstring(text.begin(), text.end()), path) && path.size() > text.size()) __builtin_trap();
  const char* const keywords[] = {"Scrap", "Acrobat", "chrome.tabs.captureVisibleTab", ""};
  BytesChunks chunks(text);
  if (SearchChunksForKeywords(chunks, keywords, 1 << 20) > 2) __builtin_trap();
  return 0;
}

// Text scans over files that browsers and extensions wrote: the key scanner for
// "Local State", manifest and locale lookups, the keyword window search. These
// are byte scanners with fixed matching rules, not JSON parsers. Portable.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// Value type codes of ScanJsonValue.
enum JsonValueType { kJsonObject = 0, kJsonArray = 1, kJsonString = 2, kJsonOther = 3, kJsonUnknown = 255 };

// Finds key (compared byte for byte, quotes and colon included) at nesting
// depth `depth` of text[0, length) and gives the span of its value. Objects and
// arrays give their inside without the brackets; strings keep their quotes;
// anything else runs to the next ',' or '}'. Quotes flip an in-string state
// with no escape handling. type is set to kJsonUnknown first.
bool ScanJsonValue(const char* text, std::size_t length, const char* key, std::size_t keyLength, int depth,
                   std::size_t* valueStart, std::size_t* valueLength, int* type);

// The texts between pairs of double quotes, in order; an unpaired last quote
// and empty texts are dropped. At most maxCount texts.
std::vector<std::string> QuotedTexts(const char* value, std::size_t maxCount);

// True when a profile name from "Local State" names a folder directly inside
// the user-data folder: not empty, and no '\\' (as a character, not a cp932
// trail byte), '/', ':' or "..", which would name a folder elsewhere.
bool IsProfileFolderName(const std::string& name);

// First occurrence of key at or after from whose neighbouring bytes are both
// double quotes; nullptr when none. from must be past the start of the text.
const char* FindQuotedKey(const char* from, const char* key);

enum class ManifestValueKind { None, Literal, Message };
// Looks up a quoted key anywhere in a manifest (from its second byte) and the
// text between the next opening and closing characters. A "__MSG_name__"
// reference gives Message with the name; otherwise Literal with the text.
ManifestValueKind FindManifestValue(const char* manifest, const char* key, char opening, char closing,
                                    std::string& text);

// The "message" text of a message name in a locale messages file.
bool FindLocaleMessage(const char* messages, const char* name, std::string& message);

// True when any byte has its high bit set (text to be read as UTF-8).
bool HasHighBitByte(const std::string& text);

// True when the name after its last '.' is "js" in any case.
bool IsScriptFileName(const char* name);

// The overlapping-window keyword search: 8192 bytes at first, then 4096 more
// at a time with the last 4096 kept, so a keyword across a 4096-byte boundary
// is found. read returns the bytes it put in buffer (fewer at the end).
// Returns the index of the first keyword found (list order at each window),
// -1 when none. Stops after maxBytes of input.
class ChunkSource {
 public:
  virtual ~ChunkSource() = default;
  virtual std::size_t Read(char* buffer, std::size_t size) = 0;
};
int SearchChunksForKeywords(ChunkSource& source, const char* const* keywords, unsigned long long maxBytes);

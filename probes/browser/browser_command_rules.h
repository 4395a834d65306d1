// The executable named by a browser's registered open command, and the
// "path" member of a native-messaging host manifest. Portable.
#pragma once
#include <cstddef>
#include <string>

// A quoted command gives the text between its quotes (false when the closing
// quote is missing). Otherwise the command is cut at the first of index 4 and
// the following blanks that comes right after ".exe" in any case; with no such
// place the whole command is the path.
bool ExtractExecutablePath(const std::wstring& command, std::wstring& path);

// The value of the first "path" member: it starts seven bytes after the key's
// opening quote and runs to the next ',' or the end of the data. Without the
// key the span is empty at offset 0.
struct ByteSpan {
  std::size_t start = 0;
  std::size_t length = 0;
};
ByteSpan FindManifestPathValue(const char* data, std::size_t size);

// The value begins with the quoted 32-bit host name after one blank, or with
// the quoted 64-bit host name directly. Only bytes inside the data count.
bool IsAcceptedHostValue(const char* data, std::size_t size, std::size_t start);

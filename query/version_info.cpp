#include "query/version_info.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "query/outside_file.h"

namespace {
// Paths may come from keys the user writes. The version functions fall back
// to reading a file themselves, and a read from a pipe or a device may never
// return; a junction or a mapped drive can lead there from any name, so every
// path is read only once it has turned out to be a file on disk.
bool IsReadableAsFile(const char* path) {
  HANDLE file = OpenOutsideFile(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

// Most version blocks fit this buffer together with the room GetFileVersionInfoA
// keeps for its ANSI copies (twice the block and a signature), so one call
// reads them; the size query would read the file once more.
const DWORD kFirstReadBytes = 16 * 1024;

// Reads the version block; extra bytes beyond the reported size are requested
// by ReadFileVersionInfo. Empty on any failure.
std::vector<char> LoadVersionBlock(const char* path, DWORD extra) {
  std::vector<char> block;
  if (path == nullptr || *path == '\0' || !IsReadableAsFile(path)) return block;
  block.assign(kFirstReadBytes, 0);
  if (!GetFileVersionInfoA(path, 0, kFirstReadBytes, block.data())) {
    block.clear();
    return block;
  }
  WORD length = 0;
  memcpy(&length, block.data(), sizeof length);
  if (2UL * length + 4 + extra <= kFirstReadBytes) return block;
  // A larger block was cut to the buffer: read it at its own size. The block's
  // own length, not the resource's, bounds what VerQueryValueA walks and where
  // it writes its ANSI copies, so the buffer is never smaller than that.
  block.clear();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) return block;
  const DWORD room = (size > 2UL * length + 4 ? size : 2UL * length + 4) + extra;
  block.assign(room, 0);
  if (!GetFileVersionInfoA(path, 0, room, block.data())) {
    block.clear();
    return block;
  }
  memcpy(&length, block.data(), sizeof length);
  if (2UL * length + 4 + extra > room) block.clear();  // the file changed between the reads
  return block;
}

// A text's length up to its terminator, within the block: the length
// VerQueryValueA gives may count characters where the ANSI copy has bytes.
std::size_t TextLength(const std::vector<char>& block, const void* value) {
  const char* text = static_cast<const char*>(value);
  if (text < block.data() || text >= block.data() + block.size()) return 0;
  return strnlen(text, static_cast<std::size_t>(block.data() + block.size() - text));
}

bool QueryTranslations(std::vector<char>& block, const DWORD** entries, UINT* count) {
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length) || value == nullptr)
    return false;
  *entries = static_cast<const DWORD*>(value);
  *count = length / 4;
  return true;
}

void StringPath(char (&out)[96], DWORD translation, const char* name) {
  std::snprintf(out, sizeof out, "\\StringFileInfo\\%04x%04x\\%s", static_cast<unsigned>(LOWORD(translation)),
                static_cast<unsigned>(HIWORD(translation)), name);
}
VersionQuad FixedFileVersion(std::vector<char>& block) {
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\", &value, &length) || value == nullptr ||
      length < sizeof(VS_FIXEDFILEINFO))
    return 0;
  const VS_FIXEDFILEINFO* info = static_cast<const VS_FIXEDFILEINFO*>(value);
  return (static_cast<VersionQuad>(info->dwFileVersionMS) << 32) | info->dwFileVersionLS;
}

// The four texts of the first translation; see ReadFileVersionInfo.
DWORD VersionTexts(std::vector<char>& block, std::string& companyName, std::string& originalFilename,
                   std::string& productName, std::string& productVersion) {
  const DWORD* entries = nullptr;
  UINT count = 0;
  if (!QueryTranslations(block, &entries, &count) || count == 0) return 0;
  const DWORD translation = entries[0];
  const struct {
    const char* name;
    std::string* text;
  } fields[] = {{"CompanyName", &companyName},
                {"OriginalFilename", &originalFilename},
                {"ProductName", &productName},
                {"ProductVersion", &productVersion}};
  for (const auto& field : fields) {
    char sub[96];
    StringPath(sub, translation, field.name);
    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueA(block.data(), sub, &value, &length) && value != nullptr) {
      field.text->assign(static_cast<const char*>(value), TextLength(block, value));
      // Any maker writes these texts, and every caller puts them into report
      // lines: a line break inside one would start a line of its own.
      BlankControls(&(*field.text)[0]);
    }
  }
  return translation;
}
}  // namespace

VersionQuad GetFileVersionQuad(const char* path) {
  std::vector<char> block = LoadVersionBlock(path, 0);
  return block.empty() ? 0 : FixedFileVersion(block);
}

VersionQuad GetProductVersionQuad(const char* path) {
  std::vector<char> block = LoadVersionBlock(path, 0);
  if (block.empty()) return 0;
  const DWORD* entries = nullptr;
  UINT count = 0;
  if (!QueryTranslations(block, &entries, &count)) return 0;
  for (UINT i = 0; i < count; ++i) {
    char sub[96];
    StringPath(sub, entries[i], "ProductVersion");
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), sub, &value, &length) || value == nullptr || length == 0) continue;
    // The value may lack its terminator at the block's end: copy it bounded.
    std::string text(static_cast<const char*>(value), TextLength(block, value));
    unsigned parts[4] = {0, 0, 0, 0};
    if (ScanVersionParts(text.c_str(), '.', parts) == 4) return MakeVersionQuad(parts[0], parts[1], parts[2], parts[3]);
  }
  return 0;
}

VersionQuad GetModuleVersionQuad(HMODULE module) {
  if (module == nullptr) return 0;
  char path[MAX_PATH] = {};
  if (GetModuleFileNameA(module, path, sizeof path - 1) == 0) return 0;
  return GetFileVersionQuad(path);
}

DWORD ReadFileVersionInfo(const char* path, std::string& companyName, std::string& originalFilename,
                          std::string& productName, std::string& productVersion) {
  std::vector<char> block = LoadVersionBlock(path, 1);
  return block.empty() ? 0 : VersionTexts(block, companyName, originalFilename, productName, productVersion);
}

DWORD ReadFileVersionQuadAndInfo(const char* path, VersionQuad& fileVersion, std::string& companyName,
                                 std::string& originalFilename, std::string& productName,
                                 std::string& productVersion) {
  fileVersion = 0;
  std::vector<char> block = LoadVersionBlock(path, 1);
  if (block.empty()) return 0;
  fileVersion = FixedFileVersion(block);
  return VersionTexts(block, companyName, originalFilename, productName, productVersion);
}

void ReadModuleVersionTexts(ModuleTexts& texts) {
  if (texts.path.empty()) return;
  VersionQuad version = 0;
  ReadFileVersionQuadAndInfo(texts.path.c_str(), version, texts.companyName, texts.originalFilename,
                             texts.productName, texts.productVersion);
  if (version != 0) texts.fileVersion = VersionQuadText(version);
}

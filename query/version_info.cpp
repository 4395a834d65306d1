#include "query/version_info.h"

#include <cstdio>
#include <vector>

namespace {
// Reads the version block; extra bytes beyond the reported size are requested
// by ReadFileVersionInfo. Empty on any failure.
std::vector<char> LoadVersionBlock(const char* path, DWORD extra) {
  std::vector<char> block;
  if (path == nullptr || *path == '\0') return block;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) return block;
  block.assign(static_cast<size_t>(size) + extra, 0);
  if (!GetFileVersionInfoA(path, 0, size + extra, block.data())) block.clear();
  return block;
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
}  // namespace

VersionQuad GetFileVersionQuad(const char* path) {
  std::vector<char> block = LoadVersionBlock(path, 0);
  if (block.empty()) return 0;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\", &value, &length) || value == nullptr ||
      length < sizeof(VS_FIXEDFILEINFO))
    return 0;
  const VS_FIXEDFILEINFO* info = static_cast<const VS_FIXEDFILEINFO*>(value);
  return (static_cast<VersionQuad>(info->dwFileVersionMS) << 32) | info->dwFileVersionLS;
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
    std::string text(static_cast<const char*>(value), strnlen(static_cast<const char*>(value), length));
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
  if (block.empty()) return 0;
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
      field.text->assign(static_cast<const char*>(value), strnlen(static_cast<const char*>(value), length));
    }
  }
  return translation;
}

#include "query/com_server.h"

#include <cwchar>

#include "base/owner.h"
#include "log/report_log.h"
#include "query/com_server_rules.h"
#include "query/platform.h"

const wchar_t* const kClsidServerKeyPatterns[4] = {
    L"CLSID\\%ls\\InprocServer32",
    L"CLSID\\%ls\\LocalServer32",
    L"Wow6432Node\\CLSID\\%ls\\InprocServer32",
    L"Wow6432Node\\CLSID\\%ls\\LocalServer32",
};

namespace {
// Content type, ProgID and CLSID texts: 128 bytes, so at most 63 characters.
const DWORD kShortTextBytes = 128;
const size_t kKeyChars = 260;

// A REG_SZ value of an open key into a zeroed 128-byte buffer; one spare
// character keeps a value stored without its terminator terminated.
bool QueryShortWide(HKEY key, const wchar_t* valueName, wchar_t (&text)[kShortTextBytes / 2 + 1]) {
  for (wchar_t& c : text) c = L'\0';
  DWORD type = 0, bytes = kShortTextBytes;
  const LONG rc = RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes);
  if (rc != ERROR_SUCCESS || type != REG_SZ) {
    text[0] = L'\0';
    return false;
  }
  return true;
}
}  // namespace

std::string WideToAnsi(const wchar_t* text) {
  if (text == nullptr || *text == L'\0') return std::string();
  const int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 1) return std::string();
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, &out[0], bytes, nullptr, nullptr);
  out.resize(static_cast<size_t>(bytes - 1));
  return out;
}

namespace {
bool IsPlainFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}
}  // namespace

std::string ServerExecutablePath(const wchar_t* registered) {
  const std::string text = WideToAnsi(registered);
  const std::string path = ServerPathFromRegistered(text);
  if (path != text || IsPlainFile(path)) return path;
  for (const std::string& prefix : UnquotedCommandPrefixes(text)) {
    if (IsPlainFile(prefix)) return prefix;
  }
  return path;
}

wchar_t* GetOleServerPath(const char* extensionKey, wchar_t* buffer, DWORD sizeBytes) {
  HKEY raw = nullptr;
  if (extensionKey == nullptr || RegOpenKeyExA(HKEY_CLASSES_ROOT, extensionKey, 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS)
    return nullptr;
  UniqueRegKey extension(raw);

  wchar_t clsid[kShortTextBytes / 2 + 1] = {};
  wchar_t text[kShortTextBytes / 2 + 1];
  wchar_t key[kKeyChars];
  if (QueryShortWide(extension.get(), L"Content Type", text)) {
    WriteDetailLineW(L"ContentType=%ls \n", text);
    std::swprintf(key, kKeyChars, L"MIME\\Database\\Content Type\\%ls", text);
    RegQueryStringW(HKEY_CLASSES_ROOT, key, L"CLSID", clsid, kShortTextBytes, 0);
  }
  if (clsid[0] == L'\0' && QueryShortWide(extension.get(), nullptr, text)) {
    WriteDetailLine("ProgramID %s \n", WideToAnsi(text).c_str());
    std::swprintf(key, kKeyChars, L"%ls\\CLSID", text);
    RegQueryStringW(HKEY_CLASSES_ROOT, key, nullptr, clsid, kShortTextBytes, 0);
  }
  extension.reset();
  if (clsid[0] == L'\0') return nullptr;
  return GetClsidServerPath(clsid, buffer, sizeBytes);
}

wchar_t* GetClsidServerPath(const wchar_t* clsid, wchar_t* buffer, DWORD sizeBytes) {
  if (clsid != nullptr && buffer != nullptr && sizeBytes >= sizeof(wchar_t)) {
    for (const wchar_t* pattern : kClsidServerKeyPatterns) {
      wchar_t key[kKeyChars];
      if (std::swprintf(key, kKeyChars, pattern, clsid) < 0) continue;
      if (RegQueryStringW(HKEY_CLASSES_ROOT, key, nullptr, buffer, sizeBytes, 0) != nullptr) return buffer;
    }
  }
  WriteDetailLine("OleServerのパスなし \n");
  return nullptr;
}

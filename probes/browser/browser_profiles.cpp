#include "probes/browser/browser_profiles.h"

#include <shlobj.h>

#include <cstring>
#include <vector>

#include "app/report_log.h"
#include "probes/browser/json_scan_rules.h"
#include "query/cp932_rules.h"
#include "query/owner.h"

namespace {
const char kChromeUserData[] = "\\Google\\Chrome\\User Data\\";
const char kEdgeUserData[] = "\\Microsoft\\Edge\\User Data\\";
const char kProfilesOrderKey[] = "\"profiles_order\":";
const char kEnglishMessages[] = "_locales\\en\\messages.json";
const char* const kLocaleKeywords[] = {"Scrap", "Acrobat", ""};
const char* const kScriptKeywords[] = {"chrome.tabs.captureVisibleTab", ""};
const unsigned long kExtensionFileMaxBytes = 65536;

// Walks have fixed limits: the machine decides what is on disk.
const std::size_t kMaxProfiles = 1000;
const unsigned kMaxExtensions = 2000;
const unsigned kMaxVersionsPerExtension = 64;
// A keyword search reads at most this much of one file.
const unsigned long long kSearchFileMaxBytes = 64ULL * 1024 * 1024;

// Files of a running browser stay open in it: share everything so reading works.
const DWORD kReadShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE OpenForReading(const std::string& path) {
  return CreateFileA(path.c_str(), GENERIC_READ, kReadShare, nullptr, OPEN_EXISTING, 0, nullptr);
}

bool IsDotName(const char* name) { return name[0] == '.'; }
bool IsDirectory(const WIN32_FIND_DATAA& entry) { return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

class FileChunks : public ChunkSource {
 public:
  explicit FileChunks(HANDLE file) : file_(file) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    DWORD got = 0;
    if (!ReadFile(file_, buffer, static_cast<DWORD>(size), &got, nullptr)) return 0;
    return got;
  }

 private:
  HANDLE file_;
};

struct CaptureWalk {
  unsigned entries = 0;
  bool stopped = false;
};

bool FindCaptureUseIn(const std::string& folder, std::string& finded, int depth, CaptureWalk& walk) {
  WIN32_FIND_DATAA entry;
  FindHandle find(FindFirstFileA((folder + "*.*").c_str(), &entry));
  if (!find) return false;
  do {
    if (IsDotName(entry.cFileName)) continue;
    if (++walk.entries > kCaptureSearchMaxEntries) {
      if (!walk.stopped) {
        WriteDetailLine("※ファイルが多すぎるため検索を打ち切りました %.*s \n", WholeCharsLength(folder, 199),
                        folder.c_str());
      }
      walk.stopped = true;
      return false;
    }
    if (IsDirectory(entry)) {
      if (std::strcmp(entry.cFileName, "_locales") == 0) {
        if (SearchFileForStrings(folder + kEnglishMessages, kLocaleKeywords, finded)) return true;
      } else if (depth >= kCaptureSearchMaxDepth) {
        WriteDetailLine("※フォルダーが深すぎるため検索を打ち切りました %.*s%.*s \n", WholeCharsLength(folder, 199),
                        folder.c_str(), WholeCharsLength(entry.cFileName, 99), entry.cFileName);
      } else if (FindCaptureUseIn(folder + entry.cFileName + "\\", finded, depth + 1, walk)) {
        return true;
      }
      if (walk.stopped) return false;
    } else if (IsScriptFileName(entry.cFileName)) {
      if (SearchFileForStrings(folder + entry.cFileName, kScriptKeywords, finded)) return true;
    }
  } while (FindNextFileA(find.get(), &entry));
  return false;
}
}  // namespace

std::string Utf8ToAnsi(const std::string& utf8) {
  if (utf8.empty()) return utf8;
  const int size = static_cast<int>(utf8.size());
  const int wideLength = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  if (wideLength <= 0) return std::string();
  std::vector<wchar_t> wide(static_cast<std::size_t>(wideLength));
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), wideLength);
  const int ansiLength = WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  if (ansiLength <= 0) return std::string();
  std::string ansi(static_cast<std::size_t>(ansiLength), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, &ansi[0], ansiLength, nullptr, nullptr);
  // A NUL inside the source would end the text in the report anyway.
  const std::size_t nul = ansi.find('\0');
  if (nul != std::string::npos) ansi.resize(nul);
  return ansi;
}

bool getJsonStringParameter(const char* json, const char* key, ByteBuffer* value, int* type, int depth) {
  if (json == nullptr || key == nullptr || type == nullptr || value == nullptr) {
    WriteDetailLine("getJsonStringParameter() input parameter error.");
    return false;
  }
  *type = kJsonUnknown;
  std::size_t start = 0, length = 0;
  if (!ScanJsonValue(json, std::strlen(json), key, std::strlen(key), depth, &start, &length, type)) return false;
  value->AssignBytes(json + start, static_cast<DWORD>(length));
  if (value->data() == nullptr) value->Allocate(1);
  return true;
}

void CheckBrowserProfiles(int browserCode) {
  const char* suffix = browserCode == kBrowserChrome ? kChromeUserData
                       : browserCode == kBrowserEdge ? kEdgeUserData
                                                     : nullptr;
  if (suffix == nullptr) {
    WriteUserLine("★調査対象のブラウザーが不正 \n");
    return;
  }
  // Never created: Report does not change the machine. Without the folder the
  // profile walk would read "Local State" at the root of the current drive.
  const std::string localAppData = ExistingSpecialFolder(CSIDL_LOCAL_APPDATA);
  if (localAppData.empty()) {
    WriteUserLine("★ローカルアプリケーションデータのフォルダーが見つからないため\"Local State\"を確認できない \n");
    return;
  }
  CheckBrowserProfilesIn(localAppData + suffix);
}

void CheckBrowserProfilesIn(const std::string& userDataFolder) {
  const std::string localState = userDataFolder + "Local State";
  UniqueHandle file(OpenForReading(localState));
  if (!file) {
    WriteUserLine("★\"Local State\" CreateFile 失敗 path=%.*s", WholeCharsLength(localState, 199), localState.c_str());
    return;
  }
  const DWORD size = GetFileSize(file.get(), nullptr);
  ByteBuffer text;
  DWORD got = 0;
  // A size that cannot be read or is far beyond any real "Local State" counts
  // as a read failure rather than a huge allocation.
  if (size == INVALID_FILE_SIZE || size > kLocalStateMaxBytes || text.Allocate(size + 1) == nullptr ||
      !ReadFile(file.get(), text.data(), size, &got, nullptr)) {
    WriteUserLine("★\"Local State\"ファイル読み込み失敗 path=%.*s", WholeCharsLength(localState, 199),
                  localState.c_str());
    return;
  }
  file.reset();

  ByteBuffer value;
  int type = kJsonUnknown;
  if (!getJsonStringParameter(text.text(), kProfilesOrderKey, &value, &type, 2)) {
    WriteUserLine("★プロファイル情報が見つからない (Not found \"profiles_order\").");
    return;
  }
  // One name more than the walk takes tells whether the list was cut.
  std::vector<std::string> names = QuotedTexts(value.text(), kMaxProfiles + 1);
  const bool cut = names.size() > kMaxProfiles;
  if (cut) names.resize(kMaxProfiles);
  for (const std::string& name : names) {
    const std::string profile = userDataFolder + name;
    const DWORD attributes = GetFileAttributesA(profile.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    WriteDetailLine("\nProfile \"%.*s\" settings \n", WholeCharsLength(name, 99), name.c_str());
    WriteDetailLine("-----------\n");
    WriteDetailLine("Extensions\n");
    WriteDetailLine("-----------\n");
    ListExtensions(profile + "\\Extensions\\");
    WriteDetailLine("-----------\n");
  }
  if (cut) WriteDetailLine("※プロファイルが多すぎるため一覧を打ち切りました %.199s \n", localState.c_str());
  WriteDetailLine("\n");
}

void ListExtensions(const std::string& extensionsFolder) {
  WIN32_FIND_DATAA entry;
  FindHandle ids(FindFirstFileA((extensionsFolder + "*.*").c_str(), &entry));
  if (!ids) return;
  unsigned extensions = 0;
  do {
    if (IsDotName(entry.cFileName) || !IsDirectory(entry)) continue;
    if (++extensions > kMaxExtensions) {
      WriteDetailLine("※拡張機能が多すぎるため一覧を打ち切りました %.*s \n", WholeCharsLength(extensionsFolder, 199),
                      extensionsFolder.c_str());
      return;
    }
    const std::string id = entry.cFileName;
    const std::string idFolder = extensionsFolder + id + "\\";
    WIN32_FIND_DATAA versionEntry;
    FindHandle versions(FindFirstFileA((idFolder + "*.*").c_str(), &versionEntry));
    if (!versions) continue;
    unsigned count = 0;
    do {
      if (IsDotName(versionEntry.cFileName) || !IsDirectory(versionEntry)) continue;
      if (++count > kMaxVersionsPerExtension) {
        WriteDetailLine("※バージョンが多すぎるため一覧を打ち切りました %.*s \n", WholeCharsLength(idFolder, 199),
                        idFolder.c_str());
        break;
      }
      const std::string ver = versionEntry.cFileName;
      ReportExtension(idFolder + ver + "\\", id, ver);
    } while (FindNextFileA(versions.get(), &versionEntry));
  } while (FindNextFileA(ids.get(), &entry));
}

void ReportExtension(const std::string& versionFolder, const std::string& id, const std::string& ver) {
  std::string messages, manifest;
  ReadTextFile(messages, versionFolder + kEnglishMessages, kExtensionFileMaxBytes);
  ReadTextFile(manifest, versionFolder + "manifest.json", kExtensionFileMaxBytes);
  std::string name, description, permissions;
  GetManifestValue(name, manifest, messages, "name", '"', '"');
  GetManifestValue(description, manifest, messages, "description", '"', '"');
  GetManifestValue(permissions, manifest, messages, "permissions", '[', ']');
  std::string finded;
  FindCaptureUse(versionFolder, finded);
  const std::string shownName = OneLineText(name), shownDescription = OneLineText(description),
                    shownPermissions = OneLineText(permissions);
  WriteDetailLine("Extension id=%.*s ver=%.*s name=\"%.*s\" desk=\"%.*s\" finded=%.*s permission=[%.*s] \n",
                  WholeCharsLength(id, 99), id.c_str(), WholeCharsLength(ver, 99), ver.c_str(),
                  WholeCharsLength(shownName, 99), shownName.c_str(), WholeCharsLength(shownDescription, 99),
                  shownDescription.c_str(), WholeCharsLength(finded, 99), finded.c_str(),
                  WholeCharsLength(shownPermissions, 199), shownPermissions.c_str());
}

bool GetManifestValue(std::string& value, const std::string& manifest, const std::string& messages, const char* key,
                      char opening, char closing) {
  value.clear();
  std::string text;
  const ManifestValueKind kind = FindManifestValue(manifest.c_str(), key, opening, closing, text);
  if (kind == ManifestValueKind::None) return false;
  if (kind == ManifestValueKind::Message) {
    if (!GetLocaleMessage(value, messages, text) && !GetLocaleMessage(value, messages, ToLowerCp932(text))) {
      return false;
    }
  } else {
    value = text;
  }
  // Extension files are UTF-8; the report is in the ANSI code page.
  if (HasHighBitByte(value)) value = Utf8ToAnsi(value);
  return true;
}

bool GetLocaleMessage(std::string& message, const std::string& messages, const std::string& name) {
  return FindLocaleMessage(messages.c_str(), name.c_str(), message);
}

unsigned long ReadTextFile(std::string& text, const std::string& path, unsigned long maxBytes) {
  text.clear();
  UniqueHandle file(OpenForReading(path));
  if (!file) return 0;
  DWORD size = GetFileSize(file.get(), nullptr);
  if (size == INVALID_FILE_SIZE || size > maxBytes) {
    if (size != INVALID_FILE_SIZE) {
      WriteDetailLine("※ファイルが大きすぎるため先頭 %lu バイトのみ読みました %.199s \n", maxBytes, path.c_str());
    }
    size = maxBytes;
  }
  text.assign(size, '\0');
  DWORD got = 0;
  if (size == 0 || !ReadFile(file.get(), &text[0], size, &got, nullptr)) got = 0;
  text.resize(got);
  text.append(3, '\0');
  return got + 3;
}

bool FindCaptureUse(const std::string& folder, std::string& finded) {
  CaptureWalk walk;
  return FindCaptureUseIn(folder, finded, 0, walk);
}

bool SearchFileForStrings(const std::string& path, const char* const* keywords, std::string& finded) {
  UniqueHandle file(OpenForReading(path));
  if (!file) {
    WriteDetailLine("ファイルが開けない %d %.*s ", static_cast<int>(GetLastError()), WholeCharsLength(path, 199),
                    path.c_str());
    return false;
  }
  FileChunks chunks(file.get());
  const int index = SearchChunksForKeywords(chunks, keywords, kSearchFileMaxBytes);
  if (index < 0) return false;
  finded += keywords[index];
  finded += ",";
  return true;
}

#include "probes/browser/browser_profiles.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/cp932_rules.h"
#include "base/owner.h"
#include "log/report_log.h"
#include "probes/browser/json_scan_rules.h"
#include "query/module_line_rules.h"
#include "query/outside_file.h"

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
// The limits above multiply to hours; the whole walk of one browser has one
// budget of folder entries and bytes read, far beyond any real user-data folder.
const unsigned long kWalkMaxEntries = 2000000;
const unsigned long long kWalkMaxBytes = 1024ULL * 1024 * 1024;

// Files of a running browser stay open in it: share everything so reading works.
const DWORD kReadShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE OpenForReading(const std::string& path) { return OpenOutsideFile(path.c_str(), GENERIC_READ, kReadShare, 0); }

bool IsDotName(const char* name) { return name[0] == '.'; }
bool IsDirectory(const WIN32_FIND_DATAA& entry) { return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
// Junctions and symbolic links may lead back up the tree: the recursive
// search never enters them. The listings of fixed depth follow them, as
// users move profiles to another drive with a junction.
bool IsLinkedFolder(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

void WriteLinkSkipped(const std::string& folder, const char* name) {
  WriteDetailLine("※リンクのため省略 %.*s%.*s \n", WholeCharsLength(folder, 199), folder.c_str(),
                  WholeCharsLength(name, 99), name);
}

// What the current browser's walk may still look at and read.
struct WalkBudget {
  unsigned long entries;
  unsigned long long bytes;
  bool stopped;
};
WalkBudget g_fullWalk = {kWalkMaxEntries, kWalkMaxBytes, false};
WalkBudget g_walk = g_fullWalk;

// Ends the whole walk, with one line naming where.
void StopWalk(const std::string& where) {
  if (!g_walk.stopped) {
    WriteDetailLine("※調査量が多すぎるためプロファイルの調査を打ち切りました %.*s \n", WholeCharsLength(where, 199),
                    where.c_str());
  }
  g_walk.stopped = true;
}

// One folder entry more; false (and the walk ends) when the budget is spent.
bool SpendEntry(const std::string& folder) {
  if (g_walk.stopped) return false;
  if (g_walk.entries == 0) {
    StopWalk(folder);
    return false;
  }
  --g_walk.entries;
  return true;
}

void SpendBytes(unsigned long long bytes) { g_walk.bytes -= bytes < g_walk.bytes ? bytes : g_walk.bytes; }

// The search asks for 4 KB at a time; reading 256 KB per call gives it the
// same bytes with a sixty-fourth of the calls on a script of megabytes.
class FileChunks : public ChunkSource {
 public:
  explicit FileChunks(HANDLE file) : file_(file), buffer_(kReadBytes) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    std::size_t copied = 0;
    while (copied < size) {
      if (next_ == filled_) {
        DWORD got = 0;
        if (ended_ || !ReadFile(file_, buffer_.data(), kReadBytes, &got, nullptr) || got == 0) {
          ended_ = true;
          break;
        }
        SpendBytes(got);
        next_ = 0;
        filled_ = got;
      }
      const std::size_t take = std::min(size - copied, filled_ - next_);
      std::memcpy(buffer + copied, buffer_.data() + next_, take);
      next_ += take;
      copied += take;
    }
    return copied;
  }

 private:
  static const DWORD kReadBytes = 256 * 1024;
  HANDLE file_;
  std::vector<char> buffer_;
  std::size_t next_ = 0, filled_ = 0;
  bool ended_ = false;
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
    if (!SpendEntry(folder)) return false;
    if (++walk.entries > kCaptureSearchMaxEntries) {
      if (!walk.stopped) {
        WriteDetailLine("※ファイルが多すぎるため検索を打ち切りました %.*s \n", WholeCharsLength(folder, 199),
                        folder.c_str());
      }
      walk.stopped = true;
      return false;
    }
    if (IsDirectory(entry)) {
      if (IsLinkedFolder(entry.dwFileAttributes)) {
        WriteLinkSkipped(folder, entry.cFileName);
      } else if (std::strcmp(entry.cFileName, "_locales") == 0) {
        if (SearchFileForStrings(folder + kEnglishMessages, kLocaleKeywords, finded)) return true;
      } else if (depth >= kCaptureSearchMaxDepth) {
        WriteDetailLine("※フォルダーが深すぎるため検索を打ち切りました %.*s%.*s \n", WholeCharsLength(folder, 199),
                        folder.c_str(), WholeCharsLength(entry.cFileName, 99), entry.cFileName);
      } else if (FindCaptureUseIn(folder + entry.cFileName + "\\", finded, depth + 1, walk)) {
        return true;
      }
      if (walk.stopped || g_walk.stopped) return false;
    } else if (IsScriptFileName(entry.cFileName)) {
      if (SearchFileForStrings(folder + entry.cFileName, kScriptKeywords, finded)) return true;
      if (g_walk.stopped) return false;
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

void SetProfileWalkBudget(unsigned long entries, unsigned long long bytes) {
  g_fullWalk = WalkBudget{entries, bytes, false};
  g_walk = g_fullWalk;
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
  // Far beyond any real "Local State": not read, so memory is not exhausted.
  // Nothing failed, so no failure verdict: a remark says why it was not read.
  if (size != INVALID_FILE_SIZE && size > kLocalStateMaxBytes) {
    WriteUserLine("※\"Local State\"ファイルが大きすぎるため読み込まない %lu バイト path=%.*s \n",
                  static_cast<unsigned long>(size), WholeCharsLength(localState, 199), localState.c_str());
    return;
  }
  if (size == INVALID_FILE_SIZE || text.Allocate(size + 1) == nullptr ||
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
  g_walk = g_fullWalk;
  for (const std::string& name : names) {
    if (!SpendEntry(userDataFolder)) break;
    // Control characters would break the line: the name is shown without them.
    const std::string shown = WithoutControls(name);
    if (!IsProfileFolderName(name)) {
      WriteDetailLine("※プロファイル名が不正なため省略 \"%.*s\" \n", WholeCharsLength(shown, 99), shown.c_str());
      continue;
    }
    const std::string profile = userDataFolder + name;
    const DWORD attributes = GetFileAttributesA(profile.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    WriteDetailLine("\nProfile \"%.*s\" settings \n", WholeCharsLength(shown, 99), shown.c_str());
    WriteDetailLine("-----------\n");
    WriteDetailLine("Extensions\n");
    WriteDetailLine("-----------\n");
    ListExtensions(profile + "\\Extensions\\");
    WriteDetailLine("-----------\n");
  }
  if (cut) {
    WriteDetailLine("※プロファイルが多すぎるため一覧を打ち切りました %.*s \n", WholeCharsLength(localState, 199),
                    localState.c_str());
  }
  WriteDetailLine("\n");
}

void ListExtensions(const std::string& extensionsFolder) {
  WIN32_FIND_DATAA entry;
  FindHandle ids(FindFirstFileA((extensionsFolder + "*.*").c_str(), &entry));
  if (!ids) return;
  unsigned extensions = 0;
  do {
    if (!SpendEntry(extensionsFolder)) return;
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
      if (!SpendEntry(idFolder)) return;
      if (IsDotName(versionEntry.cFileName) || !IsDirectory(versionEntry)) continue;
      if (++count > kMaxVersionsPerExtension) {
        WriteDetailLine("※バージョンが多すぎるため一覧を打ち切りました %.*s \n", WholeCharsLength(idFolder, 199),
                        idFolder.c_str());
        break;
      }
      const std::string ver = versionEntry.cFileName;
      ReportExtension(idFolder + ver + "\\", id, ver);
      if (g_walk.stopped) return;
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
  // Each control byte (a manifest's line breaks too) becomes one blank.
  const std::string shownName = WithoutControls(name), shownDescription = WithoutControls(description),
                    shownPermissions = WithoutControls(permissions);
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
    // A message is used as found, without code-page conversion.
    return GetLocaleMessage(value, messages, text) || GetLocaleMessage(value, messages, ToLowerCp932(text));
  }
  // Manifest texts are UTF-8; the report is in the ANSI code page.
  value = HasHighBitByte(text) ? Utf8ToAnsi(text) : text;
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
      WriteDetailLine("※ファイルが大きすぎるため先頭 %lu バイトのみ読みました %.*s \n", maxBytes,
                      WholeCharsLength(path, 199), path.c_str());
    }
    size = maxBytes;
  }
  if (g_walk.bytes < size) {
    StopWalk(path);
    size = static_cast<DWORD>(g_walk.bytes);
  }
  text.assign(size, '\0');
  DWORD got = 0;
  if (size == 0 || !ReadFile(file.get(), &text[0], size, &got, nullptr)) got = 0;
  SpendBytes(got);
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
  // The whole file is searched; only the walk's budget can end it early, and
  // then a line says where.
  const int index = SearchChunksForKeywords(chunks, keywords, g_walk.bytes);
  if (index < 0 && g_walk.bytes == 0) StopWalk(path);
  if (index < 0) return false;
  finded += keywords[index];
  finded += ",";
  return true;
}

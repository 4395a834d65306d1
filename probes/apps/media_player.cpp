#include "probes/apps/media_player.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "base/cp932_rules.h"
#include "log/report_log.h"
#include "probes/apps/app_rules.h"
#include "query/platform.h"

namespace {
const char kPlayerKey[] = "SOFTWARE\\Microsoft\\MediaPlayer";
const char kInstallationValue[] = "Installation Directory";
const char* const kPlayerFiles[] = {"wmplayer.exe", "mplayer2.exe"};
const ULONG kDirectoryBytes = 520;
}  // namespace

bool checkPlayerPath(std::string& path) {
  RegKey key;
  LONG rc = key.Open(HKEY_LOCAL_MACHINE, kPlayerKey, KEY_READ);
  if (rc != ERROR_SUCCESS) {
    WriteDetailLine("★checkPlayerPath レジストリのオープンに失敗しました1 %lx \n", static_cast<unsigned long>(rc));
    return false;
  }
  char stored[kDirectoryBytes + 1] = {};
  ULONG count = kDirectoryBytes;
  rc = key.QueryStringValue(kInstallationValue, stored, &count);
  key.Close();
  if (rc != ERROR_SUCCESS) {
    WriteDetailLine("★checkPlayerPath レジストリのオープンに失敗しました2 %lx \n", static_cast<unsigned long>(rc));
    return false;
  }

  // Folded on character boundaries, so double-byte folder names survive.
  std::string folder = ToLowerCp932(stored);
  const PlayerPlaceholder placeholder = FindPlayerPlaceholder(folder);
  if (placeholder != PlayerPlaceholder::None) {
    char programFiles[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathA(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE)) {
      WriteDetailLine(placeholder == PlayerPlaceholder::ProgramFilesX86
                          ? "★checkPlayerPath Program Filesのパス取得に失敗1 %lx \n"
                          : "★checkPlayerPath Program Filesのパス取得に失敗2 %lx \n",
                      static_cast<unsigned long>(GetLastError()));
      return false;
    }
    folder = ReplaceAllCp932(folder, PlayerPlaceholderText(placeholder), programFiles);
  }
  folder = TrimPlayerDirectory(folder);

  char longFolder[MAX_PATH] = {};
  const DWORD length = GetLongPathNameA(folder.c_str(), longFolder, sizeof longFolder);
  if (length == 0 || length >= sizeof longFolder) longFolder[0] = '\0';

  // Without a folder the names would be looked up at the root of the current drive.
  if (longFolder[0] != '\0') {
    for (const char* file : kPlayerFiles) {
      const std::string candidate = std::string(longFolder) + "\\" + file;
      if (PathFileExistsA(candidate.c_str())) {
        path = candidate;
        return true;
      }
    }
  }
  WriteDetailLine("★checkPlayerPath mplayer2.exeが存在しません %lx \n", static_cast<unsigned long>(GetLastError()));
  return false;
}

void CheckWindowsMediaPlayer(const char* upper, const char* lower, const char* languages) {
  std::string path;
  if (!checkPlayerPath(path)) {
    WriteUserLine("★WindowsMediaPlayerが見つからない \n");
    return;
  }
  const VersionQuad version = GetFileVersionQuad(path.c_str());
  const std::string versionText = version ? VersionQuadText(version) : std::string();
  std::string company, original, product, productVersion;
  const DWORD translation = ReadFileVersionInfo(path.c_str(), company, original, product, productVersion);
  const unsigned language = translation & 0xFFFF;
  const unsigned codePage = (translation >> 16) & 0xFFFF;
  WriteSupportLine("WMP言語コード %x %x", language, codePage);

  if (IsLanguageCheckOn(languages)) {
    if (LanguageListContains(languages, language)) {
      WriteUserLine("●WindowsMediaPlayerの言語 %x %x", language, codePage);
    } else {
      WriteUserLine("★WindowsMediaPlayerの言語が動作対象外 %x %x", language, codePage);
    }
  }
  WriteSupportLine("WMPバージョン %s %s", versionText.c_str(), productVersion.c_str());
  if (IsVersionInRange(upper, lower, version)) {
    WriteUserLine("●WindowsMediaPlayer確認 %s \n", versionText.c_str());
  } else {
    WriteUserLine("★WindowsMediaPlayerが動作対象外 %s \n", versionText.c_str());
  }
}

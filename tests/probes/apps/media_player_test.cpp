#include "probes/apps/media_player.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include "base/cp932_rules.h"
#include "tests/probes/apps/apps_machine.h"

namespace {
const char kPlayerKey[] = "SOFTWARE\\Microsoft\\MediaPlayer";
const char kValue[] = "Installation Directory";

// Sets the player's folder value for one test and puts back what was there.
class PlayerFolderValue {
 public:
  PlayerFolderValue() {
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kPlayerKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
    DWORD size = sizeof saved_;
    had_ = RegQueryValueExA(key_, kValue, nullptr, &type_, saved_, &size) == ERROR_SUCCESS;
    savedSize_ = size;
    RegDeleteValueA(key_, kValue);
  }
  ~PlayerFolderValue() {
    RegDeleteValueA(key_, kValue);
    if (had_) RegSetValueExA(key_, kValue, 0, type_, saved_, savedSize_);
    RegCloseKey(key_);
  }
  void Set(const std::string& text, DWORD type = REG_SZ) {
    RegSetValueExA(key_, kValue, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
  }
  void SetDword(DWORD value) {
    RegSetValueExA(key_, kValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  }

 private:
  HKEY key_ = nullptr;
  bool had_ = false;
  DWORD type_ = 0, savedSize_ = 0;
  BYTE saved_[1024] = {};
};

// Wine hands out the version resource of its own built-in wmplayer.exe for any
// file of that name unless the native file is preferred; this test machine
// prefers it while a test runs.
class NativePlayerFile {
 public:
  NativePlayerFile() {
    RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                    nullptr);
    RegSetValueExA(key_, "wmplayer.exe", 0, REG_SZ, reinterpret_cast<const BYTE*>("native"), 7);
  }
  ~NativePlayerFile() {
    RegDeleteValueA(key_, "wmplayer.exe");
    RegCloseKey(key_);
  }

 private:
  HKEY key_ = nullptr;
};

// A folder under Program Files, removed afterwards.
class ProgramFilesFolder {
 public:
  explicit ProgramFilesFolder(const std::string& relative) {
    char programFiles[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE);
    root_ = std::string(programFiles) + "\\ReportTestsWMP";
    RemoveTree(root_);
    CreateDirectoryA(root_.c_str(), nullptr);
    path_ = root_ + (relative.empty() ? "" : "\\" + relative);
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~ProgramFilesFolder() { RemoveTree(root_); }
  const std::string& path() const { return path_; }

 private:
  std::string root_, path_;
};
}  // namespace

TEST(MediaPlayer, MixedCasePlaceholderAndDoubleByteFolder) {
  // ア is 0x83 0x41 and 表 0x95 0x5C: byte-wise folding or splitting would lose this folder.
  NativePlayerFile native;
  ProgramFilesFolder folder("アプリ表");
  CopyInto(Fixture64("wmplayer.exe"), folder.path() + "\\wmplayer.exe");
  PlayerFolderValue value;
  value.Set("%ProgramFiles(x86)%\\ReportTestsWMP\\アプリ表");
  std::string path;
  ASSERT_TRUE(checkPlayerPath(path));
  EXPECT_TRUE(EndsWithNoCaseCp932(path.c_str(), "\\wmplayer.exe")) << path;

  LogCapture log;
  CheckWindowsMediaPlayer("12", "12", " ");
  EXPECT_EQ(log.Support(), "WMP言語コード 411 4b0\nWMPバージョン 12.0.19041.1 12.0.19041.1\n"
                           "●WindowsMediaPlayer確認 12.0.19041.1 \n");
  EXPECT_EQ(log.User(), "●WindowsMediaPlayer確認 12.0.19041.1 \n");
}

TEST(MediaPlayer, QuotesTrailingBackslashAndOlderPlayerFile) {
  NativePlayerFile native;
  ProgramFilesFolder folder("");
  PlayerFolderValue value;
  value.Set("\"" + folder.path() + "\\\"", REG_EXPAND_SZ);
  // Only mplayer2.exe: it is used.
  CopyInto(Fixture64("wmplayer11.exe"), folder.path() + "\\mplayer2.exe");
  std::string path;
  ASSERT_TRUE(checkPlayerPath(path));
  EXPECT_TRUE(EndsWithNoCaseCp932(path.c_str(), "\\mplayer2.exe")) << path;
  {
    LogCapture log;
    CheckWindowsMediaPlayer("12", "12", "1041,1033");
    EXPECT_EQ(log.User(), "★WindowsMediaPlayerの言語が動作対象外 407 4b0\n★WindowsMediaPlayerが動作対象外 11.0.5721.5262 \n");
  }
  // wmplayer.exe comes first when both are there.
  CopyInto(Fixture64("wmplayer.exe"), folder.path() + "\\wmplayer.exe");
  LogCapture log;
  CheckWindowsMediaPlayer("12", "12", "1041,1033");
  EXPECT_EQ(log.User(), "●WindowsMediaPlayerの言語 411 4b0\n●WindowsMediaPlayer確認 12.0.19041.1 \n");
  LogCapture other;
  CheckWindowsMediaPlayer("12", "12", "1033,1031");
  EXPECT_EQ(other.User(), "★WindowsMediaPlayerの言語が動作対象外 411 4b0\n●WindowsMediaPlayer確認 12.0.19041.1 \n");
}

TEST(MediaPlayer, MissingOrUnusableRegistrationIsNotFound) {
  PlayerFolderValue value;
  {
    LogCapture log;
    CheckWindowsMediaPlayer("12", "12", " ");
    EXPECT_EQ(log.Detail(), "★checkPlayerPath レジストリのオープンに失敗しました2 2 \n★WindowsMediaPlayerが見つからない \n");
    EXPECT_EQ(log.User(), "★WindowsMediaPlayerが見つからない \n");
  }
  value.SetDword(7);
  {
    LogCapture log;
    CheckWindowsMediaPlayer("12", "12", " ");
    EXPECT_EQ(log.Detail(), "★checkPlayerPath レジストリのオープンに失敗しました2 d \n★WindowsMediaPlayerが見つからない \n");
  }
  // A folder that does not exist is not looked up at the root of the drive.
  value.Set("C:\\no such folder\\Windows Media Player");
  HANDLE stray = CreateFileA("C:\\wmplayer.exe", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  const bool madeStray = stray != INVALID_HANDLE_VALUE;
  if (madeStray) CloseHandle(stray);
  std::string path;
  LogCapture log;
  EXPECT_FALSE(checkPlayerPath(path));
  if (madeStray) DeleteFileA("C:\\wmplayer.exe");
  EXPECT_EQ(log.Detail().rfind("★checkPlayerPath mplayer2.exeが存在しません ", 0), 0u) << log.Detail();
}

TEST(MediaPlayer, FolderWithoutPlayerFiles) {
  ProgramFilesFolder folder("empty");
  PlayerFolderValue value;
  value.Set("%PROGRAMFILES%\\ReportTestsWMP\\empty");
  LogCapture log;
  CheckWindowsMediaPlayer("12", "12", " ");
  EXPECT_EQ(log.Detail().rfind("★checkPlayerPath mplayer2.exeが存在しません ", 0), 0u);
  EXPECT_EQ(log.User(), "★WindowsMediaPlayerが見つからない \n");
}

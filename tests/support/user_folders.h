// Moves one of the user's special folders away for a test and back afterwards.
// Other test programs sharing the prefix would lose the folder meanwhile, so
// this runs only in a prefix of its own: tests/e2e/user_folders_e2e.sh sets
// REPORT_TEST_MOVE_USER_FOLDERS=1; elsewhere the tests skip with that reason.
#pragma once
#include <windows.h>

#include <string>

bool MayMoveUserFolders();
const char kUserFoldersSkipReason[] =
    "moves the user's folders away; runs in a prefix of its own (tests/e2e/user_folders_e2e.sh)";

class MovedAwayFolder {
 public:
  explicit MovedAwayFolder(int csidl);
  ~MovedAwayFolder();
  MovedAwayFolder(const MovedAwayFolder&) = delete;
  MovedAwayFolder& operator=(const MovedAwayFolder&) = delete;
  bool moved() const { return moved_; }
  const std::string& path() const { return path_; }  // where the folder was
  bool Exists() const;                                 // something stands there again

 private:
  std::string path_;
  std::string away_;
  bool moved_ = false;
};

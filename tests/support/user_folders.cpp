#include "tests/support/user_folders.h"

#include <shlobj.h>

#include <cstdlib>
#include <cstring>


bool MayMoveUserFolders() {
  const char* allowed = std::getenv("REPORT_TEST_MOVE_USER_FOLDERS");
  return allowed != nullptr && std::strcmp(allowed, "1") == 0;
}

MovedAwayFolder::MovedAwayFolder(int csidl) {
  char folder[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathA(nullptr, folder, csidl, FALSE) || folder[0] == '\0') return;
  path_ = folder;
  // Only a plain folder of the prefix is moved: Wine may link a user folder
  // to a Linux folder (the home folder itself for Documents), and moving
  // through such a link would move that folder instead.
  const DWORD attributes = GetFileAttributesA(path_.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return;
  away_ = path_ + ".moved-by-test";
  moved_ = MoveFileExA(path_.c_str(), away_.c_str(), 0) != FALSE;
}

MovedAwayFolder::~MovedAwayFolder() {
  if (!moved_) return;
  // An empty folder a failing test made is removed; anything more stays for
  // a person to look at, and the original stays beside it.
  RemoveDirectoryA(path_.c_str());
  MoveFileExA(away_.c_str(), path_.c_str(), 0);
}

bool MovedAwayFolder::Exists() const { return GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES; }

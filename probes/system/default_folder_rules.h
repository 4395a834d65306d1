// The standard shell folders the section asks for. Portable.
#pragma once
#include <string>

struct FolderRow {
  unsigned csidl;
  const char* name;  // the constant's name without its CSIDL_ prefix; null ends the table
  bool excluded;     // listed, but counted neither in the total nor in the failures
};
extern const FolderRow kFolderTable[];

// The name with trailing blanks up to 23 characters, so the results line up.
std::string PaddedFolderName(const char* name);

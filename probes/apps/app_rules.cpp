#include "probes/apps/app_rules.h"

#include <cstdlib>
#include <cstring>

#include "base/cp932_rules.h"

int IsReaderExePath(const char* path) {
  const char* slash = FindLastBackslash(path);
  if (slash == nullptr) return -2;
  if (EqualsNoCaseCp932(slash + 1, "AcroRd32.exe")) return 1;
  if (EqualsNoCaseCp932(slash + 1, "Acrobat.exe")) return 0;
  return -2;
}

std::string AcrobatGenerationName(unsigned major) {
  switch (major) {
    case 10:
      return "X";
    case 11:
      return "XI";
    case 15:
    case 18:
    case 19:
    case 20:
    case 21:
      return "DC" + std::to_string(major);
    default:
      return std::to_string(major);
  }
}

std::string AcroReadCommandPath(const std::string& command) {
  std::string path = command;
  const std::size_t split = path.find("\" \"");
  if (split != std::string::npos && split > 0) path.resize(split);
  std::string out;
  for (char c : path)
    if (c != '"') out += c;
  return out;
}

PlayerPlaceholder FindPlayerPlaceholder(const std::string& lowered) {
  if (FindCp932(lowered.c_str(), "%programfiles(x86)%") != nullptr) return PlayerPlaceholder::ProgramFilesX86;
  if (FindCp932(lowered.c_str(), "%programfiles%") != nullptr) return PlayerPlaceholder::ProgramFiles;
  return PlayerPlaceholder::None;
}

const char* PlayerPlaceholderText(PlayerPlaceholder which) {
  switch (which) {
    case PlayerPlaceholder::ProgramFilesX86:
      return "%programfiles(x86)%";
    case PlayerPlaceholder::ProgramFiles:
      return "%programfiles%";
    default:
      return "";
  }
}

std::string ReplaceAllCp932(const std::string& text, const std::string& from, const std::string& to) {
  if (from.empty()) return text;
  std::string out;
  const char* p = text.c_str();
  const char* end = p + text.size();
  while (p < end) {
    const char* hit = FindCp932(p, from.c_str());
    if (hit == nullptr) break;
    out.append(p, hit);
    out += to;
    p = hit + from.size();
  }
  if (p < end) out.append(p, end);
  return out;
}

std::string TrimPlayerDirectory(const std::string& folder) {
  std::size_t begin = 0, end = folder.size();
  while (begin < end && folder[begin] == '"') ++begin;
  while (end > begin && folder[end - 1] == '"') --end;
  std::string out = folder.substr(begin, end - begin);
  // A trailing backslash may be the trail byte of a double-byte character.
  for (;;) {
    const char* last = FindLastBackslash(out.c_str());
    if (last == nullptr || last + 1 != out.c_str() + out.size()) break;
    out.pop_back();
  }
  return out;
}

bool IsLanguageCheckOn(const char* list) { return list != nullptr && std::strlen(list) >= 2; }

bool LanguageListContains(const char* list, unsigned long language) {
  if (list == nullptr) return false;
  const char* p = list;
  for (;;) {
    if (*p == ',') ++p;
    if (static_cast<unsigned long>(std::atol(p)) == language) return true;
    const char* comma = std::strchr(p, ',');
    if (comma == nullptr) return false;
    p = comma;
  }
}

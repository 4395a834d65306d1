#include "probes/window_lines/window_line_rules.h"

#include <cstring>

#include "base/cp932_rules.h"

std::string WindowIndent(int depth) {
  if (depth <= 0) return std::string();
  std::size_t chars = static_cast<std::size_t>(depth) * 2;
  if (chars > kMaxIndentChars || chars / 2 != static_cast<std::size_t>(depth)) chars = kMaxIndentChars;
  return std::string(chars, ' ');
}

unsigned ProcessWalkTests(const char* exeName) {
  if (exeName == nullptr) return 0;
  const char* name = FileNamePart(exeName);
  unsigned tests = 0;
  if (StartsWithNoCaseCp932(name, "qmnhost")) tests |= kWalkChromeHost;
  if (EqualsNoCaseCp932(name, "excel.exe")) tests |= kWalkExcel;
  if (EqualsNoCaseCp932(name, "winword.exe")) tests |= kWalkWord;
  if (EqualsNoCaseCp932(name, "powerpnt.exe")) tests |= kWalkPowerPoint;
  if (StartsWithNoCaseCp932(name, "Acro")) tests |= kWalkAcrobat;
  if (EqualsNoCaseCp932(name, "explorer.exe")) tests |= kWalkExplorer;
  return tests;
}

bool PointsDiffer(long x1, long y1, long x2, long y2, long cx1, long cy1, long cx2, long cy2) {
  return x1 != cx1 || y1 != cy1 || x2 != cx2 || y2 != cy2;
}

int DialogControlId(bool hasParent, const char* parentTitle) {
  if (hasParent && parentTitle != nullptr && std::strcmp(parentTitle, "Lantern Guard for Web Manager") == 0)
    return 1001;
  return 0xFFFF;
}

// Rules of the window lines and of the browser section's process walk that
// need no platform call. Portable.
#pragma once
#include <string>

// Window trees are walked only this deep and this wide; a deeper or larger
// tree gets one remark line instead of the rest.
const int kMaxWindowTreeDepth = 100;
const unsigned kMaxWindowTreeWindows = 20000;
// The indent buffer holds 255 characters; deeper windows keep the widest
// indent of whole steps.
const std::size_t kMaxIndentChars = 254;

// Two blanks per level of depth, at most kMaxIndentChars.
std::string WindowIndent(int depth);

// Which module listings the browser section makes for a process, by its
// executable name (the part after the last backslash).
enum ProcessWalkTest : unsigned {
  kWalkChromeHost = 1u << 0,  // "qmnhost..."
  kWalkExcel = 1u << 1,
  kWalkWord = 1u << 2,
  kWalkPowerPoint = 1u << 3,
  kWalkAcrobat = 1u << 4,     // "Acro..."
  kWalkExplorer = 1u << 5,
};
unsigned ProcessWalkTests(const char* exeName);

// The top-left and bottom-right points differ from their conversions.
bool PointsDiffer(long x1, long y1, long x2, long y2, long cx1, long cy1, long cx2, long cy2);

// The control a dialog line is followed by: 1001 under the product's manager
// window, 0xFFFF (a static text) under any other parent.
int DialogControlId(bool hasParent, const char* parentTitle);

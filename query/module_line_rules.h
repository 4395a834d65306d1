// The module line shared by Report's own listing and Modlist6. Portable.
#pragma once
#include <string>

struct ModuleTexts {
  std::string handle;  // already formatted: the two programs print it differently
  std::string name;
  std::string path;
  std::string fileVersion;  // "%d.%d.%d.%d", empty when there is none
  std::string originalFilename;
  std::string companyName;
  std::string productName;
  std::string productVersion;
};

// "%p, %s, %s, %s, %s, %s, %s, \"%s\" \n" filled with the texts in order.
// Every control character inside a text (CR, LF, tab, ...) becomes a blank:
// the companion's answers are framed by line ends, and a version string that
// holds one would end the answer early. Report's own lines follow the same
// rule so both listings look alike.
std::string ModuleLine(const ModuleTexts& texts);

// Appends text with each control character (0x00-0x1F, 0x7F) replaced by a
// blank. Byte-wise is safe in cp932: no trail byte lies in those ranges.
// The rule for all outside text (titles, names, version texts, registry and
// file contents) put into a report line: a line break inside it would end the
// line early and start one the program did not write.
void AppendWithoutControls(std::string& out, const std::string& text);
// The same rule giving a new text, and in place up to the terminating NUL.
std::string WithoutControls(const std::string& text);
void BlankControls(char* text);

// The column header written before the module lines of a process.
extern const char kModuleHeaderLine[];

// True when the company is "Microsoft Corporation" without regard to case.
bool IsMicrosoftCompany(const std::string& companyName);

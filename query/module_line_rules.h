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
std::string ModuleLine(const ModuleTexts& texts);

// The column header written before the module lines of a process.
extern const char kModuleHeaderLine[];

// True when the company is "Microsoft Corporation" without regard to case.
bool IsMicrosoftCompany(const std::string& companyName);

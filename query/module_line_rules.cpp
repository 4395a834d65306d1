#include "query/module_line_rules.h"

#include "base/cp932_rules.h"

const char kModuleHeaderLine[] =
    "ModuleHandle, ModuleName, path, プロセス名, FileVersion, 正式名, 会社名, プロダクト名, ProductVersion \n";

std::string ModuleLine(const ModuleTexts& t) {
  std::string line;
  line.reserve(t.handle.size() + t.name.size() + t.path.size() + t.fileVersion.size() +
               t.originalFilename.size() + t.companyName.size() + t.productName.size() +
               t.productVersion.size() + 24);
  for (const std::string* part : {&t.handle, &t.name, &t.path, &t.fileVersion, &t.originalFilename,
                                  &t.companyName, &t.productName}) {
    AppendWithoutControls(line, *part);
    line += ", ";
  }
  line += '"';
  AppendWithoutControls(line, t.productVersion);
  line += "\" \n";
  return line;
}

void AppendWithoutControls(std::string& out, const std::string& text) {
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    out += (u < 0x20 || u == 0x7F) ? ' ' : c;
  }
}

std::string WithoutControls(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  AppendWithoutControls(out, text);
  return out;
}

void BlankControls(char* text) {
  if (text == nullptr) return;
  for (; *text != '\0'; ++text) {
    const unsigned char u = static_cast<unsigned char>(*text);
    if (u < 0x20 || u == 0x7F) *text = ' ';
  }
}

bool IsMicrosoftCompany(const std::string& companyName) {
  return EqualsNoCaseCp932(companyName.c_str(), "Microsoft Corporation");
}

#include "modlist6/pipe_name_rules.h"

#include <cstring>

bool FindPipeName(const char* commandTail, std::string& name) {
  name.clear();
  if (commandTail == nullptr) return false;
  const char* dash = std::strrchr(commandTail, '-');
  if (dash == nullptr || dash[1] != 'n') return false;
  name = dash + 2;
  return true;
}

bool BuildPipePath(const std::string& name, char* buffer, std::size_t bufferSize) {
  static const char kPrefix[] = "\\\\.\\pipe\\";
  const std::size_t needed = sizeof kPrefix - 1 + name.size() + 1;
  if (buffer == nullptr || bufferSize == 0) return false;
  buffer[0] = '\0';
  if (needed > bufferSize || name.find('\0') != std::string::npos) return false;
  std::memcpy(buffer, kPrefix, sizeof kPrefix - 1);
  std::memcpy(buffer + sizeof kPrefix - 1, name.c_str(), name.size() + 1);
  return true;
}

const char* CommandLineTail(const char* commandLine) {
  if (commandLine == nullptr) return "";
  const char* p = commandLine;
  if (*p == '"') {
    ++p;
    while (*p != '\0' && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

#include "tests/support/process_helpers.h"

#include <cstdint>
#include <cstdio>
#include <vector>

bool WaitForWindowOf(DWORD processId, const char* className, DWORD ms) {
  const DWORD start = GetTickCount();
  do {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, className, nullptr)) != nullptr) {
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      if (owner == processId) return true;
    }
    Sleep(20);
  } while (GetTickCount() - start < ms);
  return false;
}

DWORD EndedProcessId(const std::string& commandLine) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) return 0;
  WaitForSingleObject(info.hProcess, 10000);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  Sleep(50);
  return info.dwProcessId;
}

std::size_t CountOf(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

std::string LineHolding(const std::string& text, const std::string& part) {
  const std::size_t at = text.find(part);
  if (at == std::string::npos) return std::string();
  const std::size_t newline = text.rfind('\n', at);
  const std::size_t begin = newline == std::string::npos ? 0 : newline + 1;
  const std::size_t end = text.find('\n', at);
  return text.substr(begin, end == std::string::npos ? std::string::npos : end - begin + 1);
}

std::string Hex(const void* handle) {
  char text[32];
  std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(handle)));
  return text;
}

HWND TopWindowTitled(DWORD processId, const char* className, const char* title) {
  HWND window = nullptr;
  while ((window = FindWindowExA(nullptr, window, className, title)) != nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == processId) return window;
  }
  return nullptr;
}

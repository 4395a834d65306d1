// Test helper: stands in for Modlist6 to play a companion that fails. It
// opens the pipe named after the last "-n" of its command line, as Modlist6
// does, reads one request and then behaves as REPORT_STANDIN_MODE says:
//   silent  never answers;
//   half    writes the start of an answer and exits;
//   slow    sends a line every 50 ms and never ends its answer;
//   absent  never opens the pipe at all.
// It ends by itself after two minutes at most.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {
const DWORD kLifetimeMs = 120000;

bool WriteText(HANDLE pipe, const char* text) {
  DWORD written = 0;
  const DWORD length = static_cast<DWORD>(std::strlen(text));
  return WriteFile(pipe, text, length, &written, nullptr) && written == length;
}
}  // namespace

int main() {
  const char* commandLine = GetCommandLineA();
  const char* dash = nullptr;
  for (const char* p = std::strstr(commandLine, "-n"); p != nullptr; p = std::strstr(p + 1, "-n")) dash = p;
  if (dash == nullptr || std::strlen(dash + 2) > 200) return 1;
  char mode[16] = {};
  GetEnvironmentVariableA("REPORT_STANDIN_MODE", mode, sizeof mode);
  if (std::strcmp(mode, "absent") == 0) {
    Sleep(kLifetimeMs);
    return 0;
  }
  char path[256];
  std::snprintf(path, sizeof path, "\\\\.\\pipe\\%s", dash + 2);
  HANDLE pipe = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) return 1;

  char c = 0;
  DWORD read = 0;
  while (ReadFile(pipe, &c, 1, &read, nullptr) && read == 1 && c != '\n') {
  }
  const DWORD start = GetTickCount();
  if (std::strcmp(mode, "half") == 0) {
    WriteText(pipe, "1 ModuleHandle, ModuleName, path \r\n1 00007FF700000000, half.dll, C:\\half");
  } else if (std::strcmp(mode, "slow") == 0) {
    for (unsigned n = 1; GetTickCount() - start < kLifetimeMs; ++n) {
      char line[64];
      std::snprintf(line, sizeof line, "2 slow line %u\r\n", n);
      if (!WriteText(pipe, line)) break;
      Sleep(50);
    }
  } else {
    Sleep(kLifetimeMs);
  }
  CloseHandle(pipe);
  return 0;
}

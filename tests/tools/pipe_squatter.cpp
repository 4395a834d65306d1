// Test helper: guesses the names Report gives its pipe (from the tick count,
// as Report does) and connects to the first one that exists, then writes a
// fake answer and holds the pipe until it is ended. Runs for at most the
// number of milliseconds given on its command line.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  const DWORD limit = commandLine && *commandLine ? static_cast<DWORD>(std::atol(commandLine)) : 20000;
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < limit) {
    const DWORD now = GetTickCount();
    for (int delta = -300; delta <= 50; ++delta) {
      const DWORD t = now + static_cast<DWORD>(delta);
      char path[64];
      std::snprintf(path, sizeof path, "\\\\.\\pipe\\Report%lu", static_cast<unsigned long>((t | (t >> 16)) & 0xFFFF));
      HANDLE pipe = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      if (pipe == INVALID_HANDLE_VALUE) continue;
      static const char kFake[] = "1 INJECTED LINE\r\n\r\n";
      DWORD written = 0;
      WriteFile(pipe, kFake, sizeof kFake - 1, &written, nullptr);
      Sleep(limit);
      CloseHandle(pipe);
      return 0;
    }
  }
  return 1;
}

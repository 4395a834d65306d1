// Tells whether this machine runs 32-bit Windows programs: started as a 32-bit
// program, it writes into the file named on its command line whether it runs
// under WOW64. No file means it could not start. A window-less GUI program:
// a console program would bring up Wine's console host and with it the
// desktop, before the caller has chosen its display. Built in the 32-bit tree.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc < 2) return 2;
  BOOL wow64 = FALSE;
  const BOOL ok = IsWow64Process(GetCurrentProcess(), &wow64);
  std::FILE* out = std::fopen(__argv[1], "w");
  if (out == nullptr) return 2;
  std::fprintf(out, "IsWow64Process ok=%d wow64=%d\n", ok ? 1 : 0, wow64 ? 1 : 0);
  std::fclose(out);
  return ok && wow64 ? 0 : 1;
}

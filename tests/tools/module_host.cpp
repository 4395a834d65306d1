// Test helper: a live 64-bit process with chosen libraries loaded.
// module_host <ready event> <library>... loads each library, sets the event,
// then waits until it is ended (at most 2 min).
#include <windows.h>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  for (int i = 2; i < argc; ++i) {
    if (LoadLibraryA(argv[i]) == nullptr) return 3;
  }
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[1]);
  if (ready == nullptr || !SetEvent(ready)) return 4;
  CloseHandle(ready);
  Sleep(120000);
  return 0;
}

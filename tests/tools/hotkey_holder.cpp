// Test helper: holds PrintScreen hot keys the way another program would.
// hotkey_holder <ready event> <modifiers>... registers PrintScreen with each
// modifier set, sets the event, then waits until it is ended (at most 2 min).
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  for (int i = 2; i < argc; ++i) {
    if (!RegisterHotKey(nullptr, i, static_cast<UINT>(std::atoi(argv[i])), VK_SNAPSHOT)) return 3;
  }
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[1]);
  if (ready == nullptr || !SetEvent(ready)) return 4;
  CloseHandle(ready);
  Sleep(120000);
  return 0;
}

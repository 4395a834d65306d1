#include "query/window_list.h"

#include <unordered_set>

#include "log/report_log.h"

namespace {
// How often one list may resume after the window it stood on vanished.
const unsigned kMaxResumes = 1000;

// The window is still where the walk found it: alive and under the same parent.
bool StillUnder(HWND window, HWND parent) {
  if (!IsWindow(window)) return false;
  return GetAncestor(window, GA_PARENT) == (parent != nullptr ? parent : GetDesktopWindow());
}

// Nothing is examined between two steps, so a window rarely vanishes under
// the walk; when one does, the walk resumes after the last window listed so
// far that is still in place (or from the start), and windows already listed
// are not listed twice. A window can also move up past the walk (one that is
// activated when another is destroyed goes to the top), so a walk that reached
// the end goes over the list once more for windows it has not seen.
std::vector<HWND> TakeList(HWND parent, unsigned limit) {
  std::vector<HWND> windows;
  std::unordered_set<HWND> listed;
  HWND previous = nullptr;
  bool cut = false;
  bool again = true;
  unsigned resumes = 0;
  for (unsigned long steps = 0; steps < 8ul * limit + kMaxResumes; ++steps) {
    HWND next = FindWindowExA(parent, previous, nullptr, nullptr);
    if (next == nullptr) {
      if (previous != nullptr && StillUnder(previous, parent) && again) {
        again = false;
        previous = nullptr;
        continue;
      }
      if (previous == nullptr || StillUnder(previous, parent) || ++resumes > kMaxResumes) break;
      previous = nullptr;
      for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        if (StillUnder(*it, parent)) {
          previous = *it;
          break;
        }
      }
      continue;
    }
    previous = next;
    if (listed.count(next) != 0) continue;
    if (windows.size() >= limit) {
      cut = true;
      break;
    }
    listed.insert(next);
    windows.push_back(next);
  }
  if (cut) WriteDetailLine("※ウィンドウが %u 件を超えるため以降を省略 \n", limit);
  return windows;
}
}  // namespace

std::vector<HWND> ListTopWindows(unsigned limit) { return TakeList(nullptr, limit); }

std::vector<HWND> ListChildWindows(HWND parent, unsigned limit) {
  if (parent == nullptr) return std::vector<HWND>();
  return TakeList(parent, limit);
}

bool WindowHasClass(HWND window, const char* className) {
  char name[256] = {};
  if (GetClassNameA(window, name, sizeof name) <= 0) return false;
  name[sizeof name - 1] = '\0';
  return lstrcmpiA(name, className) == 0;
}

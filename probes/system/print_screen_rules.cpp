#include "probes/system/print_screen_rules.h"

const HotKeyRow kHotKeyModifierTable[16] = {
    {0, ""},          {1, "Alt+"},           {2, "Ctrl+"},          {4, "Shift+"},
    {8, "Win+"},      {3, "Alt+Ctrl+"},      {5, "Alt+Shift+"},     {9, "Alt+Win+"},
    {6, "Ctrl+Shift+"}, {10, "Ctrl+Win+"},   {12, "Shift+Win+"},    {7, "Alt+Ctrl+Shift+"},
    {11, "Alt+Ctrl+Win+"}, {13, "Alt+Shift+Win+"}, {14, "Ctrl+Shift+Win+"}, {15, "Alt+Ctrl+Shift+Win+"},
};

namespace {
const int kWinRow = 4;     // Win+PrintScreen, taken by Windows 8 and later
const int kAltWinRow = 7;  // Alt+Win+PrintScreen, taken by Windows 10 and later
const char kConfirmed[] = "●PrintScreenキー登録確認 \n";
const char kFailed[] = "★PrintScreenキー登録失敗 \n";

int CountRegistered(const bool (&registered)[16]) {
  int count = 0;
  for (bool r : registered) count += r ? 1 : 0;
  return count;
}
}  // namespace

PrintScreenFact PrintScreenFactNeeded(const bool (&registered)[16]) {
  const int count = CountRegistered(registered);
  if (count == 0) return PrintScreenFact::SnapshotMutex;
  if (count == 15 && !registered[kWinRow]) return PrintScreenFact::Kernel32Version;
  if (count == 14 && !registered[kWinRow] && !registered[kAltWinRow]) return PrintScreenFact::Kernel32VersionMax;
  return PrintScreenFact::None;
}

const char* PrintScreenVerdict(const bool (&registered)[16], bool mutexPresent, VersionQuad kernel32Version) {
  const int count = CountRegistered(registered);
  if (count == 16) return kConfirmed;
  switch (PrintScreenFactNeeded(registered)) {
    case PrintScreenFact::SnapshotMutex:
      return mutexPresent ? "●PrintScreenキー登録済み \n" : "★PrintScreenキー登録失敗 全て \n";
    case PrintScreenFact::Kernel32Version:
      return VersionMajorMinor(kernel32Version) >= ((6u << 16) | 2u) ? kConfirmed : kFailed;
    case PrintScreenFact::Kernel32VersionMax:
      return VersionMajorMinor(kernel32Version) >= (10u << 16) ? kConfirmed : kFailed;
    case PrintScreenFact::None:
      break;
  }
  return kFailed;
}

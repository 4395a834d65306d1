// The PrintScreen hot-key table and the verdict over its registrations. Portable.
#pragma once
#include "query/version_rules.h"

struct HotKeyRow {
  unsigned modifiers;  // MOD_ALT 1, MOD_CONTROL 2, MOD_SHIFT 4, MOD_WIN 8
  const char* prefix;  // shown before "PrintScreen"
};
extern const HotKeyRow kHotKeyModifierTable[16];

// The one fact beyond the registrations that a verdict may need.
enum class PrintScreenFact {
  None,
  SnapshotMutex,       // nothing registered: is the product's mutex there?
  Kernel32Version,     // only Win+ taken: file version of kernel32.dll
  Kernel32VersionMax,  // only Win+ and Alt+Win+ taken: larger of file and product version
};

PrintScreenFact PrintScreenFactNeeded(const bool (&registered)[16]);

// The User results line. mutexPresent and kernel32Version are read only when
// PrintScreenFactNeeded asked for them.
const char* PrintScreenVerdict(const bool (&registered)[16], bool mutexPresent, VersionQuad kernel32Version);

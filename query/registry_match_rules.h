// The match rule of a registry search table: which entry a value text matches.
// Portable.
#pragma once
#include <cstdint>

// Flags of a match entry.
const std::uint32_t kMatchExact = 0x10000;     // the whole value, case-sensitive
const std::uint32_t kMatchKindOnly = 0x20000;  // only for searches of the kind in the low byte

struct RegMatchEntry {
  const wchar_t* displayName;  // null ends the table
  const char* matchText;
  std::uint32_t flags;
};

enum class RegMatchHow { None, Exact, Prefix, Part };

// The first entry of table that text matches for a search of this kind, or
// nullptr: exact entries by equality; others by a case-insensitive start or a
// case-sensitive substring. `how` (optional) says which test matched.
const RegMatchEntry* MatchRegText(const char* text, unsigned kind, const RegMatchEntry* table, RegMatchHow* how);

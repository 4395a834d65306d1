// Registry search against a match table, and the dump of a registry branch.
#pragma once
#include <windows.h>

#include "query/registry_match_rules.h"

// Both walks stop descending this many levels below the key they were given
// and say so in one Analysis line, so a pathological tree cannot exhaust the stack.
const int kRegistryWalkDepth = 32;
// Keys the dumps of one section visit at most together, far beyond any real
// branch they are pointed at.
const unsigned kRegistryDumpMaxKeys = 100000;

// Writes root\subkey with its values and subkeys to Analysis details, each
// level indented further by the indent text. Registry links below the key are
// named, not followed.
// Tests pass a smaller budget of keys.
// Bytes the value lines of one section's dumps may take, counted before each value.
const unsigned long long kRegistryDumpMaxValueBytes = 64ull << 20;
// A dump takes at most what its section has left of both budgets (and at
// most what it is given); the run restores them before each section.
// Tests give smaller budgets.
void ResetRegistryDumpBudget(unsigned keys = kRegistryDumpMaxKeys,
                             unsigned long long valueBytes = kRegistryDumpMaxValueBytes);
void DumpRegKey(HKEY root, const char* subkey, const char* indent, unsigned maxKeys = kRegistryDumpMaxKeys,
                unsigned long long maxValueBytes = kRegistryDumpMaxValueBytes);

// Depth-first search of root\subkey and its subkeys for a REG_SZ value named
// valueName that matches an entry of table (see MatchRegText) in a key that has
// checkSubkey (none: any key). Writes one Analysis line on a hit and returns
// the entry; nullptr when nothing matches. Registry links below root\subkey
// are not searched.
const RegMatchEntry* SearchReg(HKEY root, const char* subkey, const char* valueName, const char* checkSubkey,
                               unsigned kind, const RegMatchEntry* table);

// The names by which virtual machines show themselves. Portable.
#pragma once
#include "query/registry_match_rules.h"

extern const RegMatchEntry kVMNameTable[];
// The first entry of the table that text matches for a search of this kind.
const RegMatchEntry* MatchVMName(const char* text, unsigned kind);

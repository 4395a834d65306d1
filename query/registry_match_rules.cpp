#include "query/registry_match_rules.h"

#include <cstring>

#include "base/cp932_rules.h"

const RegMatchEntry* MatchRegText(const char* text, unsigned kind, const RegMatchEntry* table, RegMatchHow* how) {
  if (how) *how = RegMatchHow::None;
  if (text == nullptr || table == nullptr) return nullptr;
  for (const RegMatchEntry* e = table; e->displayName != nullptr; ++e) {
    if (e->matchText == nullptr) continue;
    if ((e->flags & kMatchKindOnly) && (e->flags & 0xFF) != (kind & 0xFF)) continue;
    RegMatchHow found = RegMatchHow::None;
    if (e->flags & kMatchExact) {
      if (std::strcmp(text, e->matchText) == 0) found = RegMatchHow::Exact;
    } else if (StartsWithNoCaseCp932(text, e->matchText)) {
      found = RegMatchHow::Prefix;
    } else if (FindCp932(text, e->matchText) != nullptr) {
      found = RegMatchHow::Part;
    }
    if (found != RegMatchHow::None) {
      if (how) *how = found;
      return e;
    }
  }
  return nullptr;
}

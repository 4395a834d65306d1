// Rights level and group list from the built-in groups found in a token. Portable.
#pragma once
#include <string>

const int kRightsGroupCount = 7;
struct RightsGroup {
  const char* name;
  unsigned rid;  // under the built-in domain: S-1-5-32-rid
};
extern const RightsGroup kRightsGroups[kRightsGroupCount];

// 4 administrators, 3 power users, 2 users, 1 guests, 0 none.
unsigned RightsLevel(const bool (&found)[kRightsGroupCount]);
// Each found name followed by ", ", in table order.
std::string RightsListText(const bool (&found)[kRightsGroupCount]);
const char* RightsLevelWord(unsigned level);

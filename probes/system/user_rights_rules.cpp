#include "probes/system/user_rights_rules.h"

const RightsGroup kRightsGroups[kRightsGroupCount] = {
    {"ADMINS", 544},       {"USERS", 545},       {"GUESTS", 546},      {"POWER_USERS", 547},
    {"GROUP_ADMINS", 512}, {"GROUP_USERS", 513}, {"GROUP_GUESTS", 514},
};

unsigned RightsLevel(const bool (&found)[kRightsGroupCount]) {
  if (found[0]) return 4;
  if (found[3]) return 3;
  if (found[1]) return 2;
  if (found[2]) return 1;
  return 0;
}

std::string RightsListText(const bool (&found)[kRightsGroupCount]) {
  std::string list;
  for (int i = 0; i < kRightsGroupCount; ++i) {
    if (found[i]) list += std::string(kRightsGroups[i].name) + ", ";
  }
  return list;
}

const char* RightsLevelWord(unsigned level) {
  switch (level) {
    case 4: return "Admins";
    case 3: return "PowserUsers";
    case 2: return "Users";
    case 1: return "Guests";
    default: return "Unknown";
  }
}

// How an Internet Explorer version is judged. Portable.
#pragma once
#include "query/version_rules.h"

enum class IeVerdict {
  NotSupported4,  // major 4: never supported, no range check
  PreRelease,     // a beta below the first release build of its major
  InRange,
  OutOfRange,
};

// upper and lower are the limit texts (absent or empty read as "0").
IeVerdict JudgeIeVersion(VersionQuad version, const char* upper, const char* lower);

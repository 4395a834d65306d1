#include "probes/browser/ie_version_rules.h"

namespace {
struct FirstRelease {
  unsigned major;
  VersionQuad build;
};
// The first release build of each major; anything below it is a pre-release.
const FirstRelease kFirstReleases[] = {
    {7, MakeVersionQuad(7, 0, 5730, 0)},
    {8, MakeVersionQuad(8, 0, 6001, 18702)},
    {9, MakeVersionQuad(9, 0, 8112, 16421)},
    {10, MakeVersionQuad(10, 0, 9200, 16384)},
};
}  // namespace

IeVerdict JudgeIeVersion(VersionQuad version, const char* upper, const char* lower) {
  const unsigned major = VersionMajor(version);
  if (major == 4) return IeVerdict::NotSupported4;
  for (const FirstRelease& r : kFirstReleases) {
    if (r.major == major && version < r.build) return IeVerdict::PreRelease;
  }
  const VersionQuad low = ParseVersionQuad(lower, 0, "0");
  const VersionQuad high = ParseVersionQuad(upper, 0xFFFF, "0");
  return (low <= version && version <= high) ? IeVerdict::InRange : IeVerdict::OutOfRange;
}

// The installed Internet Explorer version and whether it is supported.
#pragma once
#include <string>

#include "query/version_rules.h"

// upper: the upper limit text, lower: the lower one. True when supported.
bool CheckInternetExplorer(const char* upper, const char* lower);
// Version and Build of the Internet Explorer key (REG_SZ only); false when the
// key does not open. Both strings are emptied first.
bool GetIEVersionFromRegistry(std::string& version, std::string& build);
// The section with the engine library's file version already read (0 = none).
bool CheckInternetExplorerWith(VersionQuad fileVersion, const char* upper, const char* lower);

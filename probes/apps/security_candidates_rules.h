// The running programs that look like security software, collected by the
// process list and read by the security-software section. Portable.
#pragma once
#include <map>
#include <string>

// Company name to product name, names as the version resource gives them.
extern std::map<std::string, std::string> SecurityCandidates;

// A vendor keyword match sets the company's entry; a product named with
// "security" or "virus" is added only when its company has none yet.
void AddSecurityCandidate(const std::string& companyName, const std::string& productName);
// Removes the first entry whose lower-cased company contains keyword.
void RemoveSecurityCandidate(const char* keyword);

// The text after a prefix that a line starts with, compared without regard
// to case; false when the line does not start with it.
bool TextAfterPrefixNoCase(const std::string& line, const char* prefix, std::string& rest);
// The pattern of the Trend Micro pattern files: the application path, "*."
// and three characters of the version from its second one.
std::string TrendPatternFiles(const std::string& applicationPath, const std::string& version);

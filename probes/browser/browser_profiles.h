// The profiles of Chrome or Edge named in "Local State", and one line for each
// installed extension version of each profile.
#pragma once
#include <string>

#include "query/platform.h"

enum BrowserCode { kBrowserChrome = 1, kBrowserEdge = 2 };

// Folders below an extension version that the capture search descends into,
// and entries it looks at per extension version, before it gives up.
const int kCaptureSearchMaxDepth = 16;
const unsigned kCaptureSearchMaxEntries = 20000;
// Largest "Local State" file read.
const unsigned long kLocalStateMaxBytes = 32UL * 1024 * 1024;

void CheckBrowserProfiles(int browserCode);
// Test hook: the folder entries and bytes one browser's whole walk may take
// (2,000,000 and 1 GB otherwise).
void SetProfileWalkBudget(unsigned long entries, unsigned long long bytes);
// The same walk over a given user-data folder (with its final backslash).
void CheckBrowserProfilesIn(const std::string& userDataFolder);

bool getJsonStringParameter(const char* json, const char* key, ByteBuffer* value, int* type, int depth);
void ListExtensions(const std::string& extensionsFolder);
void ReportExtension(const std::string& versionFolder, const std::string& id, const std::string& ver);
bool GetManifestValue(std::string& value, const std::string& manifest, const std::string& messages, const char* key,
                      char opening, char closing);
bool GetLocaleMessage(std::string& message, const std::string& messages, const std::string& name);
unsigned long ReadTextFile(std::string& text, const std::string& path, unsigned long maxBytes);
bool FindCaptureUse(const std::string& folder, std::string& finded);
bool SearchFileForStrings(const std::string& path, const char* const* keywords, std::string& finded);

// UTF-8 text in the ANSI code page (characters it lacks become '?').
std::string Utf8ToAnsi(const std::string& utf8);

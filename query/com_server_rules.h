// Reading a registered server text (a path, perhaps quoted, perhaps followed by
// arguments) without the platform. Portable.
#pragma once
#include <string>
#include <vector>

// The executable of a registered server text: a leading double quote is
// dropped and the text cut at the next one; otherwise the text as it stands.
std::string ServerPathFromRegistered(const std::string& registered);
// For an unquoted text that is not itself a file: the text before each blank,
// longest first, as Windows reads an unquoted command line.
std::vector<std::string> UnquotedCommandPrefixes(const std::string& registered);


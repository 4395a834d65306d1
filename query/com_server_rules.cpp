#include "query/com_server_rules.h"

std::string ServerPathFromRegistered(const std::string& registered) {
  if (registered.empty() || registered[0] != '"') return registered;
  const std::size_t close = registered.find('"', 1);  // '"' is never a cp932 trail byte
  return registered.substr(1, close == std::string::npos ? std::string::npos : close - 1);
}

std::vector<std::string> UnquotedCommandPrefixes(const std::string& registered) {
  std::vector<std::string> prefixes;
  if (!registered.empty() && registered[0] == '"') return prefixes;
  // Blanks are never cp932 trail bytes, so every cut is on a character boundary.
  for (std::size_t i = registered.size(); i-- > 1;) {
    if (registered[i] == ' ' && registered[i - 1] != ' ') prefixes.push_back(registered.substr(0, i));
  }
  return prefixes;
}


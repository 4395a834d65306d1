#include "probes/apps/security_candidates_rules.h"

#include <cstring>

#include "base/cp932_rules.h"

std::map<std::string, std::string> SecurityCandidates;

namespace {
enum class Field { Company, Product };
struct VendorKeyword {
  const char* keyword;
  Field field;
};
const VendorKeyword kVendorKeywords[] = {
    {"trend", Field::Company},        {"symantec", Field::Company},
    {"mcafee", Field::Company},       {"sourcenext", Field::Company},
    {"one care", Field::Company},     {"softwin", Field::Company},
    {"eset", Field::Company},         {"f-secure", Field::Company},
    {"virus doctor", Field::Company}, {"kingsoft internet security", Field::Product},
    {"avast", Field::Product},        {"avg", Field::Company},
};
const char* const kGenericWords[] = {"security", "virus"};
}  // namespace

void AddSecurityCandidate(const std::string& companyName, const std::string& productName) {
  const std::string company = ToLowerCp932(companyName);
  const std::string product = ToLowerCp932(productName);
  for (const VendorKeyword& k : kVendorKeywords) {
    const std::string& text = k.field == Field::Company ? company : product;
    if (FindCp932(text.c_str(), k.keyword) != nullptr) {
      SecurityCandidates[companyName] = productName;
      break;
    }
  }
  for (const char* word : kGenericWords) {
    if (FindCp932(product.c_str(), word) != nullptr) {
      SecurityCandidates.emplace(companyName, productName);  // never replaces
      break;
    }
  }
}

void RemoveSecurityCandidate(const char* keyword) {
  if (keyword == nullptr) return;
  for (auto it = SecurityCandidates.begin(); it != SecurityCandidates.end(); ++it) {
    if (FindCp932(ToLowerCp932(it->first).c_str(), keyword) != nullptr) {
      SecurityCandidates.erase(it);
      return;
    }
  }
}

bool TextAfterPrefixNoCase(const std::string& line, const char* prefix, std::string& rest) {
  if (!StartsWithNoCaseCp932(line.c_str(), prefix)) return false;
  rest = line.substr(std::strlen(prefix));
  return true;
}

std::string TrendPatternFiles(const std::string& applicationPath, const std::string& version) {
  // Three characters from the second one: whole characters, also in a
  // version text that is not the digits it should be.
  const char* first = version.c_str();
  if (*first == '\0') return applicationPath + "*.";
  const char* start = first + AnsiCharLength(first);
  const char* end = start;
  for (int i = 0; i < 3 && *end != '\0'; ++i) end += AnsiCharLength(end);
  return applicationPath + "*." + std::string(start, end);
}

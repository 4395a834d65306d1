// The security-software candidate map.
#include <gtest/gtest.h>

#include "probes/apps/security_candidates_rules.h"

TEST(SecurityCandidateRules, VendorKeywordsBySourceField) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"Trend Micro Inc.", "Apex One", true},        {"Windows Live One Care", "x", true},
      {"ESET, spol. s r.o.", "x", true},            {"F-Secure Corporation", "x", true},
      {"Kingsoft", "KINGSOFT Internet Security", true}, {"AVG Technologies", "x", true},
      {"Kingsoft Internet Security Co", "Office", false},  // searched in the product only
      {"Avast Software", "Cleanup", false},                 // likewise
      {"Example", "Example Tool", false}};
  for (const auto& c : cases) {
    SecurityCandidates.clear();
    AddSecurityCandidate(std::get<0>(c), std::get<1>(c));
    EXPECT_EQ(SecurityCandidates.count(std::get<0>(c)), std::get<2>(c) ? 1u : 0u) << std::get<0>(c);
  }
  SecurityCandidates.clear();
}

TEST(SecurityCandidateRules, OneEntryPerCompanyGenericWordsNeverReplaceRemoveTakesOne) {
  SecurityCandidates.clear();
  AddSecurityCandidate("Trend Micro Inc.", "Security Agent");
  AddSecurityCandidate("Trend Micro Inc.", "Platinum Service");  // vendor match replaces
  EXPECT_EQ(SecurityCandidates["Trend Micro Inc."], "Platinum Service");
  AddSecurityCandidate("Example Labs", "Example Virus Shield");
  AddSecurityCandidate("Example Labs", "Example SECURITY Center");  // generic: never replaces
  EXPECT_EQ(SecurityCandidates["Example Labs"], "Example Virus Shield");
  AddSecurityCandidate("TrendMicro Japan", "B");
  RemoveSecurityCandidate("trend");
  EXPECT_EQ(SecurityCandidates.size(), 2u);
  RemoveSecurityCandidate("virus");  // products are not searched
  EXPECT_EQ(SecurityCandidates.size(), 2u);
  SecurityCandidates.clear();

  std::string rest;
  EXPECT_TRUE(TextAfterPrefixNoCase("PTNFILE_VERSION = 1612300", "Ptnfile_Version = ", rest));
  EXPECT_EQ(rest, "1612300");
  EXPECT_FALSE(TextAfterPrefixNoCase("Ptnfile_Version=1", "Ptnfile_Version = ", rest));
  EXPECT_EQ(TrendPatternFiles("C:\\TM\\", "1612300"), "C:\\TM\\*.612");
  EXPECT_EQ(TrendPatternFiles("C:\\TM\\", "1"), "C:\\TM\\*.");
  EXPECT_EQ(TrendPatternFiles("C:\\TM\\", ""), "C:\\TM\\*.");
  // Characters, not bytes, of a version text that is not digits.
  EXPECT_EQ(TrendPatternFiles("C:\\TM\\", "表1表示x"), "C:\\TM\\*.1表示");
  EXPECT_EQ(TrendPatternFiles("C:\\TM\\", "1表"), "C:\\TM\\*.表");
}

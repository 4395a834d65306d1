// The security-software candidate map.
#include <gtest/gtest.h>

#include "probes/apps/security_candidates_rules.h"

namespace {
class Candidates : public ::testing::Test {
 protected:
  void SetUp() override { SecurityCandidates.clear(); }
  void TearDown() override { SecurityCandidates.clear(); }
};
}  // namespace

TEST_F(Candidates, VendorKeywordsBySourceField) {
  struct Case {
    const char* company;
    const char* product;
    bool kept;
  };
  const Case cases[] = {
      {"Trend Micro Inc.", "Apex One", true},
      {"SYMANTEC CORP", "x", true},
      {"McAfee, LLC", "x", true},
      {"SourceNext Corporation", "x", true},
      {"Windows Live One Care", "x", true},
      {"Softwin", "x", true},
      {"ESET, spol. s r.o.", "x", true},
      {"F-Secure Corporation", "x", true},
      {"Virus Doctor Ltd", "x", true},
      {"Kingsoft", "KINGSOFT Internet Security 9", true},
      {"Avast Software", "Avast Antivirus", true},
      {"AVG Technologies", "x", true},
      {"Kingsoft Internet Security Co", "Office", false},  // searched in the product only
      {"Avast Software", "Cleanup", false},                 // likewise
      {"Example", "Example Tool", false},
  };
  for (const Case& c : cases) {
    SecurityCandidates.clear();
    AddSecurityCandidate(c.company, c.product);
    EXPECT_EQ(SecurityCandidates.count(c.company), c.kept ? 1u : 0u) << c.company << " / " << c.product;
  }
}

TEST_F(Candidates, OneEntryPerCompanyAndGenericWordsNeverReplace) {
  AddSecurityCandidate("Trend Micro Inc.", "Security Agent");
  AddSecurityCandidate("Trend Micro Inc.", "Platinum Service");  // vendor match replaces
  EXPECT_EQ(SecurityCandidates["Trend Micro Inc."], "Platinum Service");
  AddSecurityCandidate("Example Labs", "Example Virus Shield");
  AddSecurityCandidate("Example Labs", "Example SECURITY Center");  // generic: never replaces
  EXPECT_EQ(SecurityCandidates["Example Labs"], "Example Virus Shield");
  AddSecurityCandidate("", "Kingsoft Internet Security");
  EXPECT_EQ(SecurityCandidates[""], "Kingsoft Internet Security");
  AddSecurityCandidate("Plain Co", "Plain Editor");
  EXPECT_EQ(SecurityCandidates.size(), 3u);
}

TEST_F(Candidates, RemoveTakesOnlyTheFirstMatchingCompany) {
  AddSecurityCandidate("Trend Micro Inc.", "A");
  AddSecurityCandidate("TrendMicro Japan", "B");
  AddSecurityCandidate("Other", "Virus Scan");
  RemoveSecurityCandidate("trend");
  EXPECT_EQ(SecurityCandidates.size(), 2u);
  EXPECT_EQ(SecurityCandidates.count("Other"), 1u);
  RemoveSecurityCandidate("trend");
  RemoveSecurityCandidate("trend");
  EXPECT_EQ(SecurityCandidates.size(), 1u);
  RemoveSecurityCandidate("virus");  // products are not searched
  EXPECT_EQ(SecurityCandidates.size(), 1u);
}

TEST_F(Candidates, DefinitionFileRules) {
  std::string rest;
  EXPECT_TRUE(TextAfterPrefixNoCase("PTNFILE_VERSION = 1612300", "Ptnfile_Version = ", rest));
  EXPECT_EQ(rest, "1612300");
  EXPECT_FALSE(TextAfterPrefixNoCase("Ptnfile_Version=1", "Ptnfile_Version = ", rest));
  EXPECT_TRUE(TextAfterPrefixNoCase("curdefs=", "CurDefs=", rest));
  EXPECT_EQ(rest, "");
  EXPECT_EQ(TrendPatternFiles("C:\\TM\\", "1612300"), "C:\\TM\\*.612");
  EXPECT_EQ(TrendPatternFiles("C:\\TM\\", "16"), "C:\\TM\\*.6");
  EXPECT_EQ(TrendPatternFiles("C:\\TM\\", "1"), "C:\\TM\\*.");
}

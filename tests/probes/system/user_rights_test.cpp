#include "probes/system/user_rights.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <set>
#include <vector>

#include "tests/support/test_support.h"

namespace {
// The token's group SIDs as strings, read independently of the probe.
std::set<std::string> TokenGroupSids() {
  std::set<std::string> sids;
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return sids;
  DWORD length = 0;
  GetTokenInformation(token, TokenGroups, nullptr, 0, &length);
  std::vector<unsigned char> buffer(length);
  if (length && GetTokenInformation(token, TokenGroups, buffer.data(), length, &length)) {
    auto* groups = reinterpret_cast<TOKEN_GROUPS*>(buffer.data());
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
      char* text = nullptr;
      if (ConvertSidToStringSidA(groups->Groups[i].Sid, &text)) {
        sids.insert(text);
        LocalFree(text);
      }
    }
  }
  CloseHandle(token);
  return sids;
}
}  // namespace

TEST(GetUserRights, ListsTheBuiltinGroupsOfTheToken) {
  const std::set<std::string> sids = TokenGroupSids();
  ASSERT_FALSE(sids.empty());
  const struct {
    const char* sid;
    const char* name;
  } rows[] = {{"S-1-5-32-544", "ADMINS"},       {"S-1-5-32-545", "USERS"},       {"S-1-5-32-546", "GUESTS"},
              {"S-1-5-32-547", "POWER_USERS"},  {"S-1-5-32-512", "GROUP_ADMINS"}, {"S-1-5-32-513", "GROUP_USERS"},
              {"S-1-5-32-514", "GROUP_GUESTS"}};
  std::string expected;
  for (const auto& row : rows) {
    if (sids.count(row.sid)) expected += std::string(row.name) + ", ";
  }
  std::string list = "stale";
  const unsigned level = GetUserRights(GetCurrentProcess(), &list);
  EXPECT_EQ(expected, list);
  const unsigned want = sids.count("S-1-5-32-544")   ? 4
                        : sids.count("S-1-5-32-547") ? 3
                        : sids.count("S-1-5-32-545") ? 2
                        : sids.count("S-1-5-32-546") ? 1
                                                      : 0;
  EXPECT_EQ(want, level);
  EXPECT_EQ(level, GetUserRights(GetCurrentProcess(), nullptr));
}

TEST(GetUserRights, UnreadableTokenGivesNothing) {
  // A handle that is no process: the token cannot be opened.
  HANDLE limited = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(nullptr, limited);
  std::string list = "stale";
  EXPECT_EQ(0u, GetUserRights(limited, &list));
  EXPECT_EQ("", list);
  CloseHandle(limited);
}

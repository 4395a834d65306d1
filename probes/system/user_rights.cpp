#include "probes/system/user_rights.h"

#include <vector>

#include "base/owner.h"
#include "log/report_log.h"
#include "probes/system/user_rights_rules.h"
#include "query/platform.h"

namespace {
// Token groups are a few kilobytes; a larger answer is not a token.
const DWORD kMaxGroupBytes = 1 << 20;
typedef BOOL(WINAPI* IsUserAnAdminFn)();
}  // namespace

int IsUserAnAdminByOrdinal() {
  DynamicLibrary shell;
  if (shell.Load("SHELL32.DLL") == nullptr) return 1;
  auto isAdmin = shell.Proc<IsUserAnAdminFn>(MAKEINTRESOURCEA(680));
  if (isAdmin == nullptr) return 1;
  return isAdmin() ? 1 : 0;
}

// Needs PROCESS_QUERY_INFORMATION on the process and TOKEN_QUERY on its token;
// refused, the level is 0 and the list empty.
unsigned GetUserRights(HANDLE process, std::string* list) {
  bool found[kRightsGroupCount] = {};
  if (list) list->clear();
  std::vector<unsigned char> groups;
  {
    UniqueHandle token;
    if (!OpenProcessToken(process, TOKEN_QUERY, token.put())) return 0;
    DWORD length = 0;
    GetTokenInformation(token.get(), TokenGroups, nullptr, 0, &length);
    if (length == 0 || length > kMaxGroupBytes) return 0;
    groups.resize(length);
    if (!GetTokenInformation(token.get(), TokenGroups, groups.data(), length, &length)) return 0;
  }
  const TOKEN_GROUPS* tokenGroups = reinterpret_cast<const TOKEN_GROUPS*>(groups.data());
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  for (int row = 0; row < kRightsGroupCount; ++row) {
    UniqueSid sid;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, kRightsGroups[row].rid, 0, 0, 0, 0, 0, 0,
                                  sid.put())) {
      continue;
    }
    // Attributes are not looked at: a deny-only group counts as found.
    for (DWORD g = 0; g < tokenGroups->GroupCount; ++g) {
      if (EqualSid(sid.get(), tokenGroups->Groups[g].Sid)) {
        found[row] = true;
        break;
      }
    }
  }
  if (list) *list = RightsListText(found);
  return RightsLevel(found);
}

void CheckUserRights() {
  const int admin = IsUserAnAdminByOrdinal();
  WriteSupportLine("IsUserAnAdmin %d %s \n", admin, admin ? "管理者として実行" : "管理者以外で実行");
  std::string list;
  const unsigned level = GetUserRights(GetCurrentProcess(), &list);
  WriteSupportLine("ユーザ権限 %s \n", list.c_str());
  WriteUserLine("●ユーザ権限確認 %s \n", RightsLevelWord(level));
}

// The clean-up at start of the companion folders that dead runs left behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/owner.h"
#include "probes/process/companion_leftovers.h"
#include "tests/support/process_helpers.h"
#include "tests/support/test_support.h"

namespace {
bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A folder as Report makes it: open to the current user only, optionally
// holding files; default security when ownerOnly is false.
std::wstring MakeFolder(const std::wstring& temp, const char* name, bool ownerOnly,
                        const std::vector<const wchar_t*>& files) {
  const std::wstring folder = temp + std::wstring(name, name + std::char_traits<char>::length(name));
  UniqueHandle token;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put());
  std::vector<unsigned char> user(256);
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, user.data(), static_cast<DWORD>(user.size()), &size);
  PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
  std::vector<unsigned char> acl(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid));
  InitializeAcl(reinterpret_cast<ACL*>(acl.data()), static_cast<DWORD>(acl.size()), ACL_REVISION);
  AddAccessAllowedAceEx(reinterpret_cast<ACL*>(acl.data()), ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
                        GENERIC_ALL, sid);
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&descriptor, TRUE, reinterpret_cast<ACL*>(acl.data()), FALSE);
  SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
  EXPECT_TRUE(CreateDirectoryW(folder.c_str(), ownerOnly ? &attributes : nullptr));
  for (const wchar_t* file : files) {
    UniqueHandle made(CreateFileW((folder + L"\\" + file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    EXPECT_TRUE(made.valid());
  }
  return folder;
}
}  // namespace

TEST(CompanionLeftovers, ADeadRunsOwnFolderGoesAndEverythingElseStays) {
  ScratchDir dir("leftovers");
  const std::wstring temp(dir.path().begin(), dir.path().end());
  const DWORD dead = EndedProcessId("\"" + Bin64() + "module_host.exe\"");
  ASSERT_NE(dead, 0u);
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, "leftovers_live_ready");
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION live = {};
  std::string command = "\"" + Bin64() + "module_host.exe\" leftovers_live_ready";
  ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &live));
  ASSERT_EQ(WaitForSingleObject(ready, 20000), WAIT_OBJECT_0);
  char deadName[4][48], liveName[48];
  for (int i = 0; i < 4; ++i) std::snprintf(deadName[i], 48, "Modlist6-%lx-%x", static_cast<unsigned long>(dead), 0xa0 + i);
  std::snprintf(liveName, sizeof liveName, "Modlist6-%lx-b1", static_cast<unsigned long>(live.dwProcessId));

  const std::wstring gone = MakeFolder(temp, deadName[0], true, {L"Modlist6.exe"});
  const std::wstring goneEmpty = MakeFolder(temp, deadName[1], true, {});
  const std::wstring extraFile = MakeFolder(temp, deadName[2], true, {L"Modlist6.exe", L"notes.txt"});
  const std::wstring openToAll = MakeFolder(temp, deadName[3], false, {L"Modlist6.exe"});
  const std::wstring liveRun = MakeFolder(temp, liveName, true, {L"Modlist6.exe"});
  const std::wstring otherName = MakeFolder(temp, "Modlist6-zz-1", true, {L"Modlist6.exe"});

  wchar_t oldTmp[MAX_PATH] = {}, oldTemp[MAX_PATH] = {};
  GetEnvironmentVariableW(L"TMP", oldTmp, MAX_PATH);
  GetEnvironmentVariableW(L"TEMP", oldTemp, MAX_PATH);
  SetEnvironmentVariableW(L"TMP", temp.c_str());
  SetEnvironmentVariableW(L"TEMP", temp.c_str());
  RemoveDeadCompanionFolders();
  SetEnvironmentVariableW(L"TMP", oldTmp[0] ? oldTmp : nullptr);
  SetEnvironmentVariableW(L"TEMP", oldTemp[0] ? oldTemp : nullptr);
  TerminateProcess(live.hProcess, 0);
  WaitForSingleObject(live.hProcess, 5000);
  CloseHandle(live.hProcess);
  CloseHandle(live.hThread);
  CloseHandle(ready);

  EXPECT_FALSE(Exists(gone));
  EXPECT_FALSE(Exists(goneEmpty));
  EXPECT_TRUE(Exists(extraFile + L"\\notes.txt"));
  EXPECT_TRUE(Exists(extraFile + L"\\Modlist6.exe"));
  EXPECT_TRUE(Exists(openToAll + L"\\Modlist6.exe"));
  EXPECT_TRUE(Exists(liveRun + L"\\Modlist6.exe"));
  EXPECT_TRUE(Exists(otherName + L"\\Modlist6.exe"));
}

#include "probes/system/default_folders.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/test_support.h"

namespace {
int g_failing[4];

HRESULT WINAPI FakeFolders(HWND, int csidl, HANDLE, DWORD, LPSTR path) {
  for (int f : g_failing) {
    if (f == csidl) return E_FAIL;
  }
  // A folder name with a 0x5C trail byte and a percent sign stays as it is.
  std::snprintf(path, MAX_PATH, "C:\\表示\\%d%%s", csidl);
  return S_OK;
}

int Count(const std::string& text, const std::string& needle) {
  int n = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
  return n;
}
}  // namespace

TEST(CheckDefaultFolders, ExcludedFailuresDoNotCount) {
  const int failing[4] = {49, 61, -1, -1};  // CONNECTIONS, COMPUTERSNEARME
  std::memcpy(g_failing, failing, sizeof g_failing);
  LogCapture log;
  CheckDefaultFoldersWith(FakeFolders);
  const std::string d = log.Detail();
  EXPECT_EQ(0u, d.find("SHGetFolderPath 成功 DESKTOP                 result=C:\\表示\\0%s \n"));
  EXPECT_NE(std::string::npos, d.find("SHGetFolderPath 失敗 80004005 CONNECTIONS             \n"));
  EXPECT_NE(std::string::npos, d.find("SHGetFolderPath 成功 COMMON_DESKTOPDIRECTORY result="));
  EXPECT_EQ(54, Count(d, "SHGetFolderPath 成功 "));
  EXPECT_EQ(2, Count(d, "SHGetFolderPath 失敗 "));
  EXPECT_NE(std::string::npos, d.find("失敗数 SHGetFolderPath=0 / SHGetSpecialFolderPath=0 / Total=46 \n●既定フォルダーの取得正常 \n"));
  EXPECT_EQ("●既定フォルダーの取得正常 \n", log.User());
}

TEST(CheckDefaultFolders, OneCountedFailure) {
  const int failing[4] = {5, 58, -1, -1};  // PERSONAL counts, COMMON_OEM_LINKS does not
  std::memcpy(g_failing, failing, sizeof g_failing);
  LogCapture log;
  CheckDefaultFoldersWith(FakeFolders);
  EXPECT_NE(std::string::npos, log.Detail().find("SHGetFolderPath 失敗 80004005 PERSONAL                \n"));
  EXPECT_NE(std::string::npos, log.Detail().find("失敗数 SHGetFolderPath=1 / SHGetSpecialFolderPath=0 / Total=46 \n"));
  EXPECT_EQ("★既定フォルダーの取得一部異常 \n", log.User());
  LogCapture none;
  CheckDefaultFoldersWith(nullptr);  // no shell entry point: nothing at all
  EXPECT_EQ("", none.Detail());
}

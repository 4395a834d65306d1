// The PrintScreen section with real hot keys, some held by a second process.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/owner.h"
#include "probes/system/print_screen.h"
#include "query/version_info.h"
#include "tests/support/test_support.h"

namespace {
const char kConfirmed[] = "●PrintScreenキー登録確認 \n";
const char kFailed[] = "★PrintScreenキー登録失敗 \n";

class PrintScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = CreateWindowExA(0, "STATIC", "hot keys", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    holder_.reset();
    if (window_) DestroyWindow(window_);
  }
  // Another process takes PrintScreen with these modifier sets.
  void Hold(const std::string& modifiers) {
    holder_.reset(new ChildProcess(Bin64() + "hotkey_holder.exe " + ready_.name() + " " + modifiers));
    ASSERT_TRUE(ready_.Wait(*holder_, 20000)) << "holder exit " << holder_->Wait(0);
  }
  HWND window_ = nullptr;
  ReadyEvent ready_;
  std::unique_ptr<ChildProcess> holder_;
};

TEST_F(PrintScreenTest, AllSixteenFreeIsConfirmedWithNothingElse) {
  LogCapture log;
  CheckPrintScreenKey(window_);
  EXPECT_EQ(log.User(), kConfirmed);
  EXPECT_EQ(log.Support(), kConfirmed);
  EXPECT_EQ(log.Detail(), kConfirmed);
  // Nothing stays registered: the same keys can be taken again at once.
  ASSERT_TRUE(RegisterHotKey(window_, 1, MOD_WIN, VK_SNAPSHOT));
  UnregisterHotKey(window_, 1);
}

TEST_F(PrintScreenTest, WinHeldElsewhereIsJudgedByKernel32) {
  Hold("8");
  LogCapture log;
  CheckPrintScreenKey(window_);
  const VersionQuad kernel32 = GetModuleVersionQuad(GetModuleHandleA("kernel32.dll"));
  ASSERT_NE(kernel32, 0u);
  const bool accepted = VersionMajorMinor(kernel32) >= ((6u << 16) | 2u);
  EXPECT_EQ(log.Detail().find("PrintScreenキー登録失敗 4 1409 \n"), 0u) << log.Detail();
  EXPECT_EQ(log.Support(), std::string("PrintScreenキー登録失敗 Win+PrintScreen \n") + (accepted ? kConfirmed : kFailed));
  EXPECT_EQ(log.User(), accepted ? kConfirmed : kFailed);
}

TEST_F(PrintScreenTest, WinAndAltWinHeldElsewhereIsJudgedByTheLargerVersion) {
  Hold("8 9");
  LogCapture log;
  CheckPrintScreenKey(window_);
  const bool accepted = VersionMajorMinor(GetModuleVersionMax(GetModuleHandleA("kernel32.dll"))) >= (10u << 16);
  EXPECT_EQ(log.Support(), std::string("PrintScreenキー登録失敗 Win+PrintScreen \n"
                                       "PrintScreenキー登録失敗 Alt+Win+PrintScreen \n") +
                               (accepted ? kConfirmed : kFailed));
  EXPECT_NE(log.Detail().find("PrintScreenキー登録失敗 7 1409 \n"), std::string::npos);
}

TEST_F(PrintScreenTest, WinAndCtrlHeldElsewhereFails) {
  Hold("8 2");
  LogCapture log;
  CheckPrintScreenKey(window_);
  EXPECT_EQ(log.User(), kFailed);
  EXPECT_EQ(log.Support(), std::string("PrintScreenキー登録失敗 Ctrl+PrintScreen \n"
                                       "PrintScreenキー登録失敗 Win+PrintScreen \n") +
                               kFailed);
}

TEST_F(PrintScreenTest, AllHeldElsewhereDependsOnTheSnapshotMutex) {
  Hold("0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15");
  {
    LogCapture log;
    CheckPrintScreenKey(window_);
    EXPECT_EQ(log.User(), "★PrintScreenキー登録失敗 全て \n");
    // No per-combination Support lines when nothing could be registered.
    EXPECT_EQ(log.Support(), log.User());
    size_t failures = 0;
    for (size_t at = log.Detail().find(" 1409 \n"); at != std::string::npos; at = log.Detail().find(" 1409 \n", at + 1))
      ++failures;
    EXPECT_EQ(failures, 16u);
  }
  UniqueHandle mutex(CreateMutexA(nullptr, FALSE, "_MUTEX_ORB_SNAPSHOT"));
  ASSERT_TRUE(mutex.valid());
  EXPECT_TRUE(IsSnapshotMutexPresent());
  LogCapture log;
  CheckPrintScreenKey(window_);
  EXPECT_EQ(log.User(), "●PrintScreenキー登録済み \n");
  mutex.reset();
  EXPECT_FALSE(IsSnapshotMutexPresent());
}

TEST(PrintScreenFactsTest, MutexAccessAndModuleVersions) {
  EXPECT_EQ(GetMutexOpenAccess(), 0x120001u);
  EXPECT_EQ(GetMutexOpenAccess(), 0x120001u);
  EXPECT_EQ(GetModuleVersionMax(nullptr), 0u);
  // A module whose product version is larger than its file version.
  HMODULE fixed = LoadLibraryExA(FixtureOwn("qv_fixed.exe").c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(GetModuleVersionMax(fixed), MakeVersionQuad(3, 1, 4, 1));
  FreeLibrary(fixed);
  // A product version that does not parse leaves the file version.
  HMODULE comma = LoadLibraryExA(FixtureOwn("qv_comma.exe").c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  ASSERT_NE(comma, nullptr);
  EXPECT_EQ(GetModuleVersionMax(comma), MakeVersionQuad(1, 7, 27, 0));
  FreeLibrary(comma);
}
}  // namespace

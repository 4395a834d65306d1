#include "probes/system/os_version.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/test_support.h"

namespace {
OsFacts Facts(DWORD platform, DWORD major, DWORD minor, BYTE productType, VersionQuad kernel, const char* csd = "") {
  OsFacts f;
  f.haveRecord = true;
  f.record.dwOSVersionInfoSize = sizeof f.record;
  f.record.dwPlatformId = platform;
  f.record.dwMajorVersion = major;
  f.record.dwMinorVersion = minor;
  f.record.dwBuildNumber = 7601;
  f.record.wProductType = productType;
  std::strncpy(f.record.szCSDVersion, csd, sizeof f.record.szCSDVersion - 1);
  f.kernelFile = kernel;
  f.system64 = true;
  f.nativeMachine = 0x8664;
  f.machineTrace = "IsWow64Process2 14c 8664";
  return f;
}
}  // namespace

TEST(JudgeOSVersion, SupportedSystemWritesEveryLineInOrder) {
  OsFacts f = Facts(2, 6, 1, 1, MakeVersionQuad(6, 1, 7601, 24545), "Service Pack 1");
  f.kernelProduct = MakeVersionQuad(6, 1, 7601, 0);  // smaller: printed, not used
  LogCapture log;
  EXPECT_TRUE(JudgeOSVersion(f, "10.0", "6.1"));
  EXPECT_EQ("●OS確認 Windows 7 Service Pack 1 64bit版 \n", log.User());
  EXPECT_EQ(
      "OSバージョン 6.1.7601 \n"
      "Kernelバージョン 6.1.7601.24545 \n"
      "Kernel Productバージョン 6.1.7601.0 \n"
      "64bit版 \n"
      "MachineCode=34404 x64 \n"
      "●OS確認 Windows 7 Service Pack 1 64bit版 \n",
      log.Support());
  EXPECT_NE(std::string::npos, log.Detail().find("64bit版 \nIsWow64Process2 14c 8664\nMachineCode="));
}

TEST(JudgeOSVersion, RangeNameAndArchitectureDecide) {
  {  // Vista on a 64-bit workstation fails the shipped minimum.
    LogCapture log;
    EXPECT_FALSE(JudgeOSVersion(Facts(2, 6, 0, 1, MakeVersionQuad(6, 0, 6002, 0), "Service Pack 2"), "10.0", "6.1"));
    EXPECT_EQ("★OS動作対象外 Windows Vista Service Pack 2 64bit版 \n", log.User());
  }
  {  // A larger product version decides name and range.
    OsFacts f = Facts(2, 6, 2, 1, MakeVersionQuad(6, 0, 6002, 0));
    f.kernelProduct = MakeVersionQuad(6, 1, 7600, 0);
    f.system64 = false;
    LogCapture log;
    EXPECT_TRUE(JudgeOSVersion(f, "10.0", "6.1"));
    EXPECT_EQ("●OS確認 Windows 7 32bit版 \n", log.User());
    EXPECT_EQ(std::string::npos, log.Support().find("64bit版"));
  }
  {  // ARM64 is not judged further.
    OsFacts f = Facts(2, 10, 0, 1, MakeVersionQuad(10, 0, 22000, 1));
    f.nativeMachine = 0xAA64;
    LogCapture log;
    EXPECT_FALSE(JudgeOSVersion(f, "10.0", "6.1"));
    EXPECT_EQ("★OS動作対象外 43620 unknown \n", log.User());
    EXPECT_NE(std::string::npos, log.Support().find("MachineCode=43620 unknown \n"));
  }
  {  // Empty limits: 6.0 and 4.10.2. XP passes, 7 fails.
    LogCapture log;
    EXPECT_TRUE(JudgeOSVersion(Facts(2, 5, 1, 1, MakeVersionQuad(5, 1, 2600, 0)), "", nullptr));
    EXPECT_FALSE(JudgeOSVersion(Facts(2, 6, 1, 1, MakeVersionQuad(6, 1, 7601, 0)), nullptr, ""));
    EXPECT_EQ("●OS確認 Windows XP 64bit版 \n★OS動作対象外 Windows 7 64bit版 \n", log.User());
  }
  {  // No readable kernel version.
    LogCapture log;
    EXPECT_FALSE(JudgeOSVersion(Facts(2, 10, 0, 1, 0), "10.0", "6.1"));
    EXPECT_NE(std::string::npos, log.Support().find("Kernelバージョン 0.0.0.0 \n"));
    EXPECT_EQ("★OS動作対象外 未知のOS 64bit版 \n", log.User());
  }
}

TEST(JudgeOSVersion, RecordAndPlatformFailures) {
  LogCapture log;
  EXPECT_FALSE(JudgeOSVersion(OsFacts(), "10.0", "6.1"));
  EXPECT_FALSE(JudgeOSVersion(Facts(1, 3, 0, 0, 0), "10.0", "6.1"));
  EXPECT_FALSE(JudgeOSVersion(Facts(3, 10, 0, 1, 0), "10.0", "6.1"));
  EXPECT_EQ(
      "OSのバージョン取得失敗 \n★OS動作対象外 \n未知のOS \n★OS動作対象外 \n未知のOSプラットフォーム \n★OS動作対象外 \n",
      log.Support());
  EXPECT_EQ("★OS動作対象外 \n★OS動作対象外 \n★OS動作対象外 \n", log.User());
}

TEST(CheckOSVersion, OnThisMachine) {
  OSVERSIONINFOA v = {};
  v.dwOSVersionInfoSize = sizeof v;
  ASSERT_TRUE(GetVersionExA(&v));
  LogCapture log;
  CheckOSVersion("10.0", "6.1");
  char first[64];
  std::snprintf(first, sizeof first, "OSバージョン %lu.%lu.%lu \n", v.dwMajorVersion, v.dwMinorVersion,
                v.dwBuildNumber);
  EXPECT_EQ(0u, log.Support().find(first));
  EXPECT_NE(std::string::npos, log.Support().find("64bit版 \n"));  // the x64 build runs on a 64-bit system
  EXPECT_NE(std::string::npos, log.Detail().find("IsWow64Process2"));
  EXPECT_EQ(log.User().size() - std::strlen(" 64bit版 \n"), log.User().find(" 64bit版 \n")) << log.User();

  const std::uint32_t code = GetOSVersionCode();
  EXPECT_EQ(code, GetOSVersionCode());
  if (v.dwMajorVersion == 10) {
    EXPECT_EQ(0x0A000000u | (v.dwBuildNumber & 0xFFFF), code);
  } else {
    EXPECT_NE(0u, code);
  }
}

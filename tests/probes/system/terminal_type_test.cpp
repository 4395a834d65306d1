#include "probes/system/terminal_type.h"

#include <gtest/gtest.h>

#include "probes/system/terminal_type_rules.h"
#include "tests/support/test_support.h"

TEST(CheckType, AnalysisOrderAndVerdict) {
  char name[64] = {};
  DWORD size = 16;
  const bool haveName = GetComputerNameA(name, &size) != 0;
  LogCapture log;
  checkType();
  const std::string d = log.Detail();
  const std::string nameLine = std::string("getComputerName ") + (haveName ? name : "") + " \n";
  EXPECT_EQ(0u, d.find(nameLine + "getLocalIP ")) << d;
  const std::size_t wireless = d.find("isWireless ");
  const std::size_t power = d.find("PowerStatus.ACLineStatus ");
  const std::size_t exist = d.find("existBattery=");
  ASSERT_NE(std::string::npos, wireless);
  EXPECT_LT(wireless, power);
  EXPECT_LT(power, exist);
  int localFlag = -1, anyFlag = -1;
  ASSERT_EQ(2, sscanf(d.c_str() + wireless, "isWireless %d %d", &localFlag, &anyFlag));
  EXPECT_TRUE(anyFlag == 0 || anyFlag == 1);
  EXPECT_TRUE(localFlag == 0 || (localFlag == 1 && anyFlag == 1));  // a wireless local IP implies a wireless adapter

  const int battery = GetBatteryState();
  EXPECT_EQ(TerminalVerdictLine(battery != 0, anyFlag != 0), log.User());
  EXPECT_EQ(log.User(), log.Support());
}

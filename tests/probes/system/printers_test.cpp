#include "probes/system/printers.h"

#include <gtest/gtest.h>
#include <winspool.h>

#include <cstring>
#include <utility>
#include <vector>

#include "tests/support/test_support.h"

static DWORD g_needed = 0;
static BOOL WINAPI StoppedSpooler(DWORD, LPSTR, DWORD, LPBYTE buffer, DWORD, LPDWORD needed, LPDWORD returned) {
  *needed = g_needed;
  *returned = 0;
  SetLastError(buffer == nullptr ? ERROR_INSUFFICIENT_BUFFER : RPC_S_SERVER_UNAVAILABLE);
  return FALSE;
}

TEST(Printers, SectionMatchesWhatTheSpoolerLists) {
  DWORD needed = 0, returned = 0;
  EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 5, nullptr, 0, &needed, &returned);
  LogCapture log;
  ListPrinters();
  if (needed == 0) {
    EXPECT_EQ(log.User(), "★プリンタなし \n");
    EXPECT_EQ(log.Support(), "★プリンタなし \n");
    EXPECT_EQ(log.Detail().rfind("プリンタ一覧不可 ", 0), 0u) << log.Detail();
  } else {
    std::vector<BYTE> buffer(needed);
    ASSERT_TRUE(EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 5, buffer.data(), needed,
                              &needed, &returned));
    const auto* entries = reinterpret_cast<const PRINTER_INFO_5A*>(buffer.data());
    const std::string support = log.Support();
    for (DWORD i = 0; i < returned; ++i)
      EXPECT_NE(support.find(std::string(", Name=") + entries[i].pPrinterName + "\n"), std::string::npos);
    EXPECT_EQ(log.User(), "●プリンタ一覧確認 " + std::to_string(returned) + "台 \n");
    EXPECT_NE(log.Detail().find(" isKnownProvider="), std::string::npos);
  }
  // A spooler that gives a size and then fails (stopped: 6ba, RPC server
  // unavailable), and a size beyond the bound, which is not used at all.
  for (const auto& c : {std::make_pair(0x200ul, "6ba"), std::make_pair(0x100000ul, "7a")}) {
    g_needed = c.first;
    LogCapture failed;
    ListPrinters(StoppedSpooler);
    EXPECT_EQ(failed.User(), "★プリンタ一覧不可 \n");
    EXPECT_EQ(failed.Detail(), std::string("プリンタ一覧不可 ") + c.second + "\n★プリンタ一覧不可 \n");
  }
}

TEST(Printers, FieldsOfARecordAreReadOnlyInsideIt) {
  char record[64] = {};
  std::memcpy(record + 8, "Canon LBP", 10);
  std::memcpy(record + 40, "", 1);
  char outside[16] = "outside text";
  LogCapture log;
  WritePrinterField("DriverName", record + 8, record, sizeof record);
  WritePrinterField("Comment", nullptr, record, sizeof record);
  WritePrinterField("Location", record + 40, record, sizeof record);  // empty: no line
  WritePrinterField("SepFile", outside, record, sizeof record);
  const std::string detail = log.Detail();
  EXPECT_EQ(detail.rfind(" DriverName=Canon LBP \n", 0), 0u) << detail;
  EXPECT_NE(detail.find(" SepFile ptr="), std::string::npos);
  EXPECT_NE(detail.find(" ※不正なポインタ \n"), std::string::npos);
  EXPECT_EQ(detail.find("outside text"), std::string::npos);
  EXPECT_EQ(detail.find("Comment"), std::string::npos);
  EXPECT_EQ(detail.find("Location"), std::string::npos);
}

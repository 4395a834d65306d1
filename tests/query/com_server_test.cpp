#include "query/com_server.h"

#include <gtest/gtest.h>

#include "tests/probes/apps/apps_machine.h"

namespace {
const char kClsid[] = "{5EC0A11C-0000-4000-8000-000000000001}";
const char kClsid2[] = "{5EC0A11C-0000-4000-8000-000000000002}";
const wchar_t kClsidW[] = L"{5EC0A11C-0000-4000-8000-000000000001}";

std::string Lookup(const char* extension, bool* found) {
  wchar_t buffer[260] = {};
  *found = GetOleServerPath(extension, buffer, sizeof buffer) != nullptr;
  return WideToAnsi(buffer);
}
}  // namespace

TEST(OleServerLookup, ContentTypeRouteTakesPrecedenceOverProgId) {
  AppsMachine m;
  m.RegisterByContentType(".rtcst", "application/x-report-tests", kClsid, "InprocServer32", "C:\\ct\\server.dll");
  m.Key(HKEY_CLASSES_ROOT, ".rtcst").SetString("", nullptr, "ReportTests.ProgId");
  m.Key(HKEY_CLASSES_ROOT, "ReportTests.ProgId").SetString("CLSID", nullptr, kClsid2);
  m.RegisterClsid(kClsid2, "LocalServer32", "C:\\progid\\server.exe", false);
  LogCapture log;
  bool found = false;
  EXPECT_EQ(Lookup(".rtcst", &found), "C:\\ct\\server.dll");
  EXPECT_TRUE(found);
  EXPECT_EQ(log.Detail(), "ContentType=application/x-report-tests \n");
}

TEST(OleServerLookup, ProgIdRouteWhenContentTypeIsMissingOrNotText) {
  AppsMachine m;
  // A content type stored as binary is not taken; the MIME route is skipped.
  m.Key(HKEY_CLASSES_ROOT, ".rtcst").SetBinary("", "Content Type", "abc", 4, REG_BINARY);
  m.Key(HKEY_CLASSES_ROOT, ".rtcst").SetString("", nullptr, "ReportTests.ProgId");
  m.Key(HKEY_CLASSES_ROOT, "ReportTests.ProgId").SetString("CLSID", nullptr, kClsid);
  m.RegisterClsid(kClsid, "LocalServer32", "\"C:\\Program Files\\x\\server.exe\" /automation", false);
  LogCapture log;
  bool found = false;
  EXPECT_EQ(Lookup(".rtcst", &found), "\"C:\\Program Files\\x\\server.exe\" /automation");
  EXPECT_TRUE(found);
  EXPECT_EQ(log.Detail(), "ProgramID ReportTests.ProgId \n");
}

TEST(OleServerLookup, ContentTypeWithoutMimeEntryFallsBackToProgId) {
  AppsMachine m;
  m.Key(HKEY_CLASSES_ROOT, ".rtcst").SetString("", "Content Type", "application/x-report-none");
  m.Key(HKEY_CLASSES_ROOT, ".rtcst").SetString("", nullptr, "ReportTests.ProgId");
  m.Key(HKEY_CLASSES_ROOT, "ReportTests.ProgId").SetString("CLSID", nullptr, kClsid);
  m.RegisterClsid(kClsid, "InprocServer32", "C:\\p\\s.dll", false);
  LogCapture log;
  bool found = false;
  EXPECT_EQ(Lookup(".rtcst", &found), "C:\\p\\s.dll");
  EXPECT_EQ(log.Detail(), "ContentType=application/x-report-none \nProgramID ReportTests.ProgId \n");
}

TEST(OleServerLookup, MissingPiecesReturnNothing) {
  bool found = true;
  {
    LogCapture log;
    Lookup(".rtnone-at-all", &found);
    EXPECT_FALSE(found);
    EXPECT_EQ(log.Detail(), "");  // a missing extension key is silent
  }
  AppsMachine m;
  m.Key(HKEY_CLASSES_ROOT, ".rtcst").SetString("", nullptr, "ReportTests.NoClsid");
  {
    LogCapture log;
    Lookup(".rtcst", &found);
    EXPECT_FALSE(found);
    EXPECT_EQ(log.Detail(), "ProgramID ReportTests.NoClsid \n");
  }
  // A CLSID with none of the four server keys.
  m.Key(HKEY_CLASSES_ROOT, "ReportTests.NoClsid").SetString("CLSID", nullptr, kClsid);
  m.Key(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kClsid).SetString("ProgID", nullptr, "x");
  {
    LogCapture log;
    Lookup(".rtcst", &found);
    EXPECT_FALSE(found);
    EXPECT_EQ(log.Detail(), "ProgramID ReportTests.NoClsid \nOleServerのパスなし \n");
  }
}

TEST(OleServerLookup, ProgIdOfSixtyFourCharactersCountsAsMissing) {
  AppsMachine m;
  const std::string id63 = "ReportTests." + std::string(63 - 12, 'A');
  const std::string id64 = id63 + "B";
  m.Key(HKEY_CLASSES_ROOT, ".rtcst").SetString("", nullptr, id63);
  m.Key(HKEY_CLASSES_ROOT, id63).SetString("CLSID", nullptr, kClsid);
  m.Key(HKEY_CLASSES_ROOT, ".rtcs2").SetString("", nullptr, id64);
  m.Key(HKEY_CLASSES_ROOT, id64).SetString("CLSID", nullptr, kClsid);
  m.RegisterClsid(kClsid, "LocalServer32", "C:\\s.exe", false);
  bool found = false;
  EXPECT_EQ(Lookup(".rtcst", &found), "C:\\s.exe");
  LogCapture log;
  Lookup(".rtcs2", &found);
  EXPECT_FALSE(found);
  EXPECT_EQ(log.Detail(), "");
}

TEST(ClsidServerLookup, FourPatternsInOrder) {
  AppsMachine m;
  wchar_t buffer[260];
  // Only under Wow6432Node, local server: the fourth pattern.
  m.RegisterClsid(kClsid, "LocalServer32", "C:\\wow\\local.exe", true);
  ASSERT_NE(GetClsidServerPath(kClsidW, buffer, sizeof buffer), nullptr);
  EXPECT_EQ(WideToAnsi(buffer), "C:\\wow\\local.exe");
  // The third pattern comes before the fourth.
  m.RegisterClsid(kClsid, "InprocServer32", "C:\\wow\\inproc.dll", true);
  ASSERT_NE(GetClsidServerPath(kClsidW, buffer, sizeof buffer), nullptr);
  EXPECT_EQ(WideToAnsi(buffer), "C:\\wow\\inproc.dll");
  // A native local server comes before both.
  m.RegisterClsid(kClsid, "LocalServer32", "C:\\native\\local.exe", false);
  ASSERT_NE(GetClsidServerPath(kClsidW, buffer, sizeof buffer), nullptr);
  EXPECT_EQ(WideToAnsi(buffer), "C:\\native\\local.exe");
  // And a native in-process server before everything.
  m.RegisterClsid(kClsid, "InprocServer32", "C:\\native\\inproc.dll", false);
  ASSERT_NE(GetClsidServerPath(kClsidW, buffer, sizeof buffer), nullptr);
  EXPECT_EQ(WideToAnsi(buffer), "C:\\native\\inproc.dll");
}

TEST(ClsidServerLookup, ServerTooLongForTheBufferIsSkipped) {
  AppsMachine m;
  m.RegisterClsid(kClsid, "InprocServer32", std::string(300, 'x'), false);
  m.RegisterClsid(kClsid, "LocalServer32", "C:\\fits.exe", false);
  wchar_t buffer[260];
  ASSERT_NE(GetClsidServerPath(kClsidW, buffer, sizeof buffer), nullptr);
  EXPECT_EQ(WideToAnsi(buffer), "C:\\fits.exe");
}

#include "probes/apps/office.h"

#include <gtest/gtest.h>

#include "tests/probes/apps/apps_machine.h"

namespace {
const char kExcelClsid[] = "{5EC0A11C-0000-4000-8000-0000000000E1}";
const char kWordClsid[] = "{5EC0A11C-0000-4000-8000-0000000000E2}";
const char kPowerPointClsid[] = "{5EC0A11C-0000-4000-8000-0000000000E3}";
const char kOfficeVersion[] = "16.0.4266.1001";
const char kClickToRunKey[] = "SOFTWARE\\Microsoft\\Office";

struct OfficeFiles {
  std::string excel, word, powerPoint;
};

// Office in a folder with blanks, registered with quoted paths and arguments;
// ".xlsx" through its content type, the others through ProgIDs.
void SeedOffice(AppsMachine& m, const OfficeFiles& files, bool withXlsm) {
  const std::string excel = "\"" + files.excel + "\" /automation";
  m.RegisterByProgId(".xls", "ReportTests.Excel", kExcelClsid, "LocalServer32", excel);
  m.RegisterByContentType(".xlsx", "application/x-report-tests-xlsx", kExcelClsid, "LocalServer32", excel);
  if (withXlsm) m.RegisterByProgId(".xlsm", "ReportTests.Excel", kExcelClsid, "LocalServer32", excel);
  for (const char* ext : {".doc", ".docx", ".docm"})
    m.RegisterByProgId(ext, "ReportTests.Word", kWordClsid, "LocalServer32", "\"" + files.word + "\"");
  for (const char* ext : {".ppt", ".pptx", ".pptm"})
    // Unquoted, with blanks in the folder and an argument, as Office registers itself.
    m.RegisterByProgId(ext, "ReportTests.PowerPoint", kPowerPointClsid, "LocalServer32",
                       files.powerPoint + " /automation");
}

OfficeFiles CopyOffice(const ScratchDir& dir, bool x64) {
  auto fixture = [x64](const char* name) { return x64 ? Fixture64(name) : Fixture32(name); };
  const std::string folder = dir.path() + "Microsoft Office\\root\\Office16\\";
  CreateDirectoryA((dir.path() + "Microsoft Office").c_str(), nullptr);
  CreateDirectoryA((dir.path() + "Microsoft Office\\root").c_str(), nullptr);
  OfficeFiles files;
  files.excel = CopyInto(fixture("EXCEL.EXE"), folder + "EXCEL.EXE");
  files.word = CopyInto(fixture("WINWORD.EXE"), folder + "WINWORD.EXE");
  files.powerPoint = CopyInto(fixture("POWERPNT.EXE"), folder + "POWERPNT.EXE");
  return files;
}

// How often the detail dump finds a server registered in this test program's
// own view: once, or twice for a 32-bit program under WOW64.
const int kOwnViewCopies = sizeof(void*) == 8 ? 1 : 2;

const char* const kExtensions[] = {".xls", ".xlsx", ".xlsm", ".doc", ".docx", ".docm", ".ppt", ".pptx", ".pptm"};
}  // namespace

TEST(Office, AbsentEverywhere) {
  LogCapture log;
  CheckOffice("16", "14", true);
  std::string expected;
  for (const char* ext : kExtensions) expected += std::string("★Office ") + ext + " のOLEプログラムが見つかりません \n";
  expected += "★IE内でのOffice保護用ActiveXはインストールされていません \n";
  expected += "★Microsoft Officeが見つからない \n";  // the verdict stands in every level
  EXPECT_EQ(log.Support(), expected);
  EXPECT_EQ(log.User(), "★Microsoft Officeが見つからない \n");
  const std::string detail = log.Detail();
  EXPECT_NE(detail.find("Office ProductReleaseIds empty \nOffice VersionToReport empty \n"), std::string::npos);
  EXPECT_NE(detail.find(" ->拡張:[.pptm]\n   !Not Found Key. HKEY_CLASSES_ROOT\\.pptm \n <-拡張:[.pptm] 拡張子キーなし\n"
                        "☆Office 詳細情報 ----- end -----\n"),
            std::string::npos);
  EXPECT_EQ(CountOf(detail, "★Office 詳細情報 ----- start -----\n"), 1);
}

TEST(Office, Office2016Without32BitMacroWorkbooksIsPersonal) {
  ASSERT_TRUE(FileExists(Fixture32("EXCEL.EXE"))) << "32-bit fixtures missing: " << Fixture32("EXCEL.EXE");
  ScratchDir dir("apps_office16");
  const OfficeFiles files = CopyOffice(dir, false);
  AppsMachine m;
  SeedOffice(m, files, false);
  ScratchKey& c2r = m.Key(HKEY_LOCAL_MACHINE, kClickToRunKey, KEY_WOW64_64KEY);
  c2r.SetString("ClickToRun\\Configuration", "ProductReleaseIds", "O365ProPlusRetail");
  c2r.SetString("ClickToRun\\Configuration", "VersionToReport", "16.0.14332.20447");
  m.Key(HKEY_CLASSES_ROOT, "qmviewx.qmviewxctrl.1").SetString("CLSID", nullptr, "{x}");

  LogCapture log;
  CheckOffice("16", "14", true);
  EXPECT_EQ(log.User(), "●Microsoft Office personal 確認 16.0.4266.1001 32bit版 O365ProPlusRetail \n");
  const std::string support = log.Support();
  EXPECT_NE(support.find("Office .xls EXCEL.EXE バージョン 16.0.4266.1001 16.0.4266.1001\n"
                         "Office .xlsx EXCEL.EXE バージョン 16.0.4266.1001 16.0.4266.1001\n"
                         "★Office .xlsm のOLEプログラムが見つかりません \n"
                         "Office .doc WINWORD.EXE バージョン 16.0.4266.1001 16.0.4266.1001\n"),
            std::string::npos)
      << support;
  EXPECT_NE(support.find("Office ProductReleaseIds O365ProPlusRetail \nOffice VersionToReport 16.0.14332.20447 \n"),
            std::string::npos);
  EXPECT_EQ(support.find("ActiveX"), std::string::npos);
  EXPECT_EQ(support.find("64bit"), std::string::npos);
  const std::string detail = log.Detail();
  EXPECT_EQ(CountOf(detail, "64bitOS \n32bitアプリ\n"), 8);
  EXPECT_NE(detail.find("ContentType=application/x-report-tests-xlsx \n"), std::string::npos);
  // The detail walk: both registry views on 64-bit Windows, the ProgID route for ".doc".
  // The seeded server stands in this program's own view: for a 32-bit program
  // the 64-bit pass finds it under Wow6432Node.
  EXPECT_NE(detail.find(" ->拡張:[.doc]\n   !Not Found Value. HKEY_CLASSES_ROOT\\.doc\\Content Type\n"
                        "   ProgramID ReportTests.Word \n"
                        "   Found Value. HKEY_CLASSES_ROOT\\.doc\\(既定)=ReportTests.Word\n"
                        "     -> Found Value. HKEY_CLASSES_ROOT\\ReportTests.Word\\CLSID=" +
                        std::string(kWordClsid) + "\n   --> OS:64bit Resistory:64bit\n"
                        "    [0]COM Registory Path:CLSID\\" + kWordClsid + "\\InprocServer32\n"
                        "       -> !Not Found COM Registory\n"
                        "    [1]COM Registory Path:CLSID\\" + kWordClsid + "\\LocalServer32\n" +
                        (sizeof(void*) == 8 ? std::string() :
                         "       -> !Not Found COM Registory\n"
                         "    [2]COM Registory Path:Wow6432Node\\CLSID\\" + std::string(kWordClsid) + "\\InprocServer32\n"
                         "       -> !Not Found COM Registory\n"
                         "    [3]COM Registory Path:Wow6432Node\\CLSID\\" + kWordClsid + "\\LocalServer32\n") +
                        "         => 64bitOS \n         => 32bitアプリ\n"
                        "       -> Found COM Registory Office .doc WINWORD.EXE バージョン 16.0.4266.1001 "
                        "16.0.4266.1001 " + files.word + "\n"),
            std::string::npos)
      << detail;
  EXPECT_NE(detail.find("   Found Value. HKEY_CLASSES_ROOT\\.xlsx\\Content Type\n"
                        "     -> Found Value. HKEY_CLASSES_ROOT\\MIME\\Database\\Content Type\\"
                        "application/x-report-tests-xlsx\\CLSID=" + std::string(kExcelClsid) + "\n"),
            std::string::npos);
  EXPECT_EQ(CountOf(detail, "   --> OS:64bit Resistory:32bit\n"), 8);
  EXPECT_NE(detail.find(" <-拡張:[.xls] OleServerのパスあり\n"), std::string::npos);
  EXPECT_NE(detail.find(" <-拡張:[.xlsm] 拡張子キーなし\n"), std::string::npos);
}

TEST(Office, Excel2007BesideOffice2016TakesTheLastServersVersion) {
  ASSERT_TRUE(FileExists(Fixture32("EXCEL12.EXE")));
  ScratchDir dir("apps_office12");
  OfficeFiles files = CopyOffice(dir, false);
  files.excel = CopyInto(Fixture32("EXCEL12.EXE"), dir.path() + "Office12\\EXCEL.EXE");
  AppsMachine m;
  SeedOffice(m, files, true);

  LogCapture log;
  CheckOffice("16", "14", false);
  EXPECT_EQ(log.User(), "★Microsoft Officeが動作対象外 16.0.4266.1001 \n");
  const std::string support = log.Support();
  for (const char* ext : {".xls", ".xlsx", ".xlsm"})
    EXPECT_NE(support.find(std::string("★Office ") + ext + " EXCEL.EXE が動作対象外 12.0.6612.1000 \n"),
              std::string::npos);
  EXPECT_EQ(CountOf(support, "EXCEL.EXE が動作対象外"), 3);
  EXPECT_EQ(CountOf(support, "が動作対象外"), 4);  // and the verdict
  const std::string detail = log.Detail();
  EXPECT_EQ(detail.find("64bitOS"), std::string::npos);  // not on 64-bit Windows
  EXPECT_EQ(CountOf(detail, "   --> OS:32bit Resistory:32bit\n"), 9);
  // A 32-bit program reads its own registrations again through the
  // Wow6432Node patterns of the dump, which map onto its own view.
  EXPECT_EQ(CountOf(detail, "         =>★Office .xls EXCEL.EXE が動作対象外 12.0.6612.1000 \n"), kOwnViewCopies);
}

TEST(Office, SixtyFourBitOfficeIsReportedButStillConfirmed) {
  ScratchDir dir("apps_office64");
  const OfficeFiles files = CopyOffice(dir, true);
  AppsMachine m;
  SeedOffice(m, files, true);
  m.Key(HKEY_CLASSES_ROOT, "qmviewx.qmviewxctrl.1").SetString("CLSID", nullptr, "{x}");

  LogCapture log;
  CheckOffice("16", "14", true);
  EXPECT_EQ(log.User(), "●Microsoft Office  確認 16.0.4266.1001 64bit版  \n");
  const std::string support = log.Support();
  EXPECT_EQ(CountOf(support, "のOLEプログラムが64bit \n"), 9);
  EXPECT_NE(support.find("★Office .pptm POWERPNT.EXE のOLEプログラムが64bit \n"), std::string::npos);
  EXPECT_EQ(CountOf(log.Detail(), "         => ★Office .docx WINWORD.EXE のOLEプログラムが64bit \n"), 1 + kOwnViewCopies);
}

TEST(Office, ServerUnderWow6432NodeAndMissingFile) {
  AppsMachine m;
  m.RegisterByProgId(".doc", "ReportTests.Word", kWordClsid, "LocalServer32", "C:\\missing\\WINWORD.EXE", true);
  LogCapture log;
  CheckOffice("16", "14", false);
  const std::string support = log.Support();
  EXPECT_NE(support.find("Office .doc path=C:\\missing\\WINWORD.EXE\n"
                         "Office .doc WINWORD.EXE バージョン  \n"
                         "★Office .doc WINWORD.EXE が動作対象外  \n"),
            std::string::npos)
      << support;
  EXPECT_EQ(log.User(), "★Microsoft Officeが見つからない \n");
  EXPECT_NE(log.Detail().find("    [3]COM Registory Path:Wow6432Node\\CLSID\\" + std::string(kWordClsid) +
                              "\\LocalServer32\n"
                              "       -> Found COM Registory, Not Found Exec File Office .doc "
                              "path=C:\\missing\\WINWORD.EXE\n"),
            std::string::npos);
}

TEST(Office, ClickToRunTextsUpToSixtyThreeCharacters) {
  AppsMachine m;
  const std::string ids63 = "O365ProPlusRetail,VisioProRetail,ProjectProRetail,AccessRetailX";
  ASSERT_EQ(ids63.size(), 63u);
  ScratchKey& c2r = m.Key(HKEY_LOCAL_MACHINE, kClickToRunKey, KEY_WOW64_64KEY);
  c2r.SetString("ClickToRun\\Configuration", "ProductReleaseIds", ids63);
  c2r.SetString("ClickToRun\\Configuration", "VersionToReport", std::string(64, '1'));
  LogCapture log;
  CheckOffice("16", "14", true);
  EXPECT_NE(log.Support().find("Office ProductReleaseIds " + ids63 + " \n"), std::string::npos);
  EXPECT_NE(log.Detail().find("Office VersionToReport empty \n"), std::string::npos);
  // A value of another type is not taken either.
  c2r.SetDword("ClickToRun\\Configuration", "ProductReleaseIds", 1);
  LogCapture again;
  CheckOffice("16", "14", true);
  EXPECT_NE(again.Detail().find("Office ProductReleaseIds empty \n"), std::string::npos);
}

TEST(Office, OnlyAVisibleMacroEditorWarns) {
  if (!CanCreateTopLevelWindows()) GTEST_SKIP() << "no display for top-level windows";
  const char kWarning[] = "★マクロの編集が開いているため、Office保護文書を閲覧できない可能性があります。 \n";
  const std::string host = "\"" + Fixture64("AcrobatWindow.exe") + "\" wndclass_desked_gsk";
  auto waitFor = [](int count) {
    for (int i = 0; i < 100; ++i) {
      int n = 0;
      for (HWND w = FindWindowExA(nullptr, nullptr, "wndclass_desked_gsk", nullptr); w;
           w = FindWindowExA(nullptr, w, "wndclass_desked_gsk", nullptr))
        ++n;
      if (n >= count) return true;
      Sleep(50);
    }
    return false;
  };
  ChildProcess hidden(host + " hidden");
  ASSERT_TRUE(waitFor(1));
  {
    LogCapture log;
    CheckOffice("16", "14", false);
    EXPECT_EQ(log.Support().find(kWarning), std::string::npos);
  }
  ChildProcess shown1(host);
  ChildProcess shown2(host);
  ASSERT_TRUE(waitFor(3));
  LogCapture log;
  CheckOffice("16", "14", false);
  EXPECT_EQ(CountOf(log.Support(), kWarning), 1);
}

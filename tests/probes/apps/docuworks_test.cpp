#include "probes/apps/docuworks.h"

#include <gtest/gtest.h>

#include "tests/probes/apps/apps_machine.h"

namespace {
const char kClsid[] = "{5EC0A11C-0000-4000-8000-0000000000D1}";

void SeedDocuWorks(AppsMachine& m, const std::string& server, bool withViewer) {
  m.RegisterByProgId(".xdw", "ReportTests.DocuWorks", kClsid, "LocalServer32", "\"" + server + "\" /embedding");
  if (withViewer) m.Key(HKEY_CLASSES_ROOT, "qmviewx.qmviewxctrl.1").SetString("CLSID", nullptr, "{x}");
}
}  // namespace

TEST(DocuWorks, Absent) {
  LogCapture log;
  CheckDocuWorks("9", "6", true);
  EXPECT_EQ(log.Support(),
            "★DocuWorks .xdw のOLEプログラムが見つかりません \n"
            "★IE内でのDocuWorks保護用ActiveXはインストールされていません \n"
            "★DocuWorksが見つからない \n");
  EXPECT_EQ(log.User(), "★DocuWorksが見つからない \n");
}

TEST(DocuWorks, Version91Of32BitIsConfirmed) {
  ScratchDir dir("apps_dw91");
  AppsMachine m;
  SeedDocuWorks(m, CopyInto(Fixture32("dwviewer.exe"), dir.path() + "DocuWorks\\dwviewer.exe"), true);
  LogCapture log;
  CheckDocuWorks("9", "6", true);
  EXPECT_EQ(log.Support(), "DocuWorks .xdw dwviewer.exe バージョン 9.1.3.0 9.1.3\n●DocuWorks  確認 9.1.3.0 \n");
  EXPECT_EQ(log.User(), "●DocuWorks  確認 9.1.3.0 \n");
  EXPECT_NE(log.Detail().find("64bitOS \n32bit版\n"), std::string::npos);
}

TEST(DocuWorks, VerdictOrderSixtyFourBitBeforeRange) {
  ScratchDir dir("apps_dw5");
  {
    AppsMachine m;
    SeedDocuWorks(m, CopyInto(Fixture32("dwviewer5.exe"), dir.path() + "x86\\dwviewer.exe"), true);
    LogCapture log;
    CheckDocuWorks("9", "6", true);
    EXPECT_NE(log.Support().find("★DocuWorks .xdw dwviewer.exe が動作対象外 5.0.2.0 \n"), std::string::npos);
    EXPECT_EQ(log.User(), "★DocuWorksが動作対象外 5.0.2.0 \n");
  }
  {
    AppsMachine m;
    SeedDocuWorks(m, CopyInto(Fixture64("dwviewer5.exe"), dir.path() + "x64\\dwviewer.exe"), true);
    LogCapture log;
    CheckDocuWorks("9", "6", true);
    const std::string support = log.Support();
    EXPECT_NE(support.find("★DocuWorks .xdw dwviewer.exe のOLEプログラムが64bit \n"), std::string::npos);
    EXPECT_NE(support.find("★DocuWorks .xdw dwviewer.exe が動作対象外 5.0.2.0 \n"), std::string::npos);
    EXPECT_EQ(log.User(), "★DocuWorksが64bitで動作対象外 5.0.2.0 \n");
    EXPECT_NE(log.Detail().find("64bitOS \n64bit版\n"), std::string::npos);
  }
  {
    // On 32-bit Windows the bitness is not looked at.
    AppsMachine m;
    SeedDocuWorks(m, CopyInto(Fixture64("dwviewer.exe"), dir.path() + "x64b\\dwviewer.exe"), false);
    LogCapture log;
    CheckDocuWorks("9", "6", false);
    EXPECT_EQ(log.User(), "●DocuWorks  確認 9.1.3.0 \n");
    EXPECT_NE(log.Support().find("★IE内でのDocuWorks保護用ActiveXはインストールされていません \n"), std::string::npos);
    EXPECT_EQ(log.Detail().find("64bitOS"), std::string::npos);
  }
}

TEST(DocuWorks, ServerWithoutVersionResource) {
  ScratchDir dir("apps_dwnover");
  AppsMachine m;
  SeedDocuWorks(m, dir.Write("dwviewer.exe", "MZ not really a program"), true);
  LogCapture log;
  CheckDocuWorks("9", "6", false);
  EXPECT_EQ(log.Support(),
            "DocuWorks .xdw dwviewer.exe バージョン  \n"
            "★DocuWorks .xdw dwviewer.exe が動作対象外  \n"
            "★DocuWorksが動作対象外  \n");
}

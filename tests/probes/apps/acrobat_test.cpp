#include "probes/apps/acrobat.h"

#include <gtest/gtest.h>

#include "base/cp932_rules.h"
#include "tests/probes/apps/apps_machine.h"

namespace {
const char kPdfClsid[] = "{5EC0A11C-0000-4000-8000-0000000000AD}";
const char kNotInBrowser[] = "★Acrobat/AdobeReaderで「PDFをブラウザに表示する」にチェックがありません \n";
const char kMixed[] = "★Acrobat/AdobeReaderが混在し、ブラウザ内に表示されると判断できません \n";

// A machine whose Internet Explorer opens PDF with the given program and control.
class PdfMachine {
 public:
  explicit PdfMachine(const char* name) : dir_(name) {}
  void Program(const std::string& fixture, const std::string& asName, bool quoted = true) {
    exe_ = CopyInto(fixture, dir_.path() + "Acrobat\\" + asName);
    m_.Key(HKEY_CLASSES_ROOT, "Software\\Adobe").SetString("Acrobat\\Exe", nullptr, quoted ? "\"" + exe_ + "\"" : exe_);
  }
  void RegisterExeText(const std::string& text) {
    m_.Key(HKEY_CLASSES_ROOT, "Software\\Adobe").SetString("Acrobat\\Exe", nullptr, text);
  }
  void Control(const std::string& fixture, const std::string& asName) {
    const std::string control = CopyInto(fixture, dir_.path() + "ActiveX\\" + asName);
    ControlPath(control);
  }
  void ControlPath(const std::string& control) {
    MimeClsid();
    m_.Key(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kPdfClsid).SetString("InprocServer32", nullptr, control);
  }
  void MimeClsid() {
    m_.Key(HKEY_CLASSES_ROOT, "MIME\\Database\\Content Type\\application/pdf").SetString("", "CLSID", kPdfClsid);
  }
  void BrowserIntegration(const std::string& product, unsigned major, DWORD value) {
    m_.Key(HKEY_CURRENT_USER, "Software\\Adobe\\" + product)
        .SetDword(std::to_string(major) + ".0\\Originals", "bBrowserIntegration", value);
  }
  void AddonFlags(DWORD flags) {
    m_.Key(HKEY_CURRENT_USER, std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\") + kPdfClsid)
        .SetDword("", "Flags", flags);
  }
  // Acrobat DC 21 with its control, every setting in place.
  void AcrobatDc21(bool x64 = false) {
    Program(x64 ? Fixture64("Acrobat.exe") : Fixture32("Acrobat.exe"), "Acrobat.exe");
    Control(Fixture32("AcroPDF.dll"), "AcroPDF.dll");
  }
  const std::string& exe() const { return exe_; }
  ScratchDir& dir() { return dir_; }

 private:
  ScratchDir dir_;
  AppsMachine m_;
  std::string exe_;
};

struct Outcome {
  std::string user, support, detail;
};
Outcome RunPdf(const char* upper, const char* lower, bool onWow64) {
  LogCapture log;
  NavigattingPDF(upper, lower, onWow64);
  return {log.User(), log.Support(), log.Detail()};
}
bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
}  // namespace

TEST(AcrobatChain, PassesForAcrobatDc21Of32BitOn64BitWindows) {
  PdfMachine pdf("apps_pdf_dc21");
  pdf.AcrobatDc21();
  pdf.AddonFlags(0);
  const Outcome o = RunPdf("23", "15", true);
  EXPECT_EQ(o.user, "●Acrobat/AdobeReader確認 Acrobat DC21 32bit版\n");
  EXPECT_EQ(o.support,
            "Acrobat.exe, Adobe Systems Incorporated, Adobe Acrobat DC, \"21.1.20135.0\" \n"
            "Acrobatのexeファイルバージョン Acrobat 21.1.20135.0 \n"
            "AcrobatのActiveXのファイルバージョン Acrobat 21.1 \n"
            "●Acrobat/AdobeReader確認 Acrobat DC21 32bit版\n");
  EXPECT_TRUE(Has(o.detail, "GetExePathForIE " + pdf.exe() + " \n"));  // quotes removed
  EXPECT_TRUE(Has(o.detail, "PDF CLSID " + std::string(kPdfClsid) + " \n"));
  EXPECT_TRUE(Has(o.detail, "Acrobatのバージョン判定 21 \n32bitアプリ\n"));
  EXPECT_FALSE(Has(o.detail, "IsOutOfBrower path=Software\\Adobe\\Adobe"));  // 15 and later read nothing
  // On 32-bit Windows the bitness field stays empty.
  EXPECT_EQ(RunPdf("23", "15", false).user, "●Acrobat/AdobeReader確認 Acrobat DC21 \n");
}

TEST(AcrobatChain, GenerationsAndVersionBounds) {
  PdfMachine pdf("apps_pdf_versions");
  pdf.Control(Fixture32("AcroPDF.dll"), "AcroPDF.dll");
  pdf.Program(Fixture32("AcroRd32_17.exe"), "AcroRd32.exe", false);
  EXPECT_EQ(RunPdf("23", "15", true).user, "●Acrobat/AdobeReader確認 Reader 17 32bit版\n");

  pdf.Program(Fixture32("AcroRd32.exe"), "AcroRd32.exe");  // Reader XI
  Outcome o = RunPdf("23", "15", true);
  EXPECT_TRUE(Has(o.support, "Acrobatのexeファイルバージョン Reader 11.0.23.22 \nバージョンが規定外 11.0.23.22 23～15 \n"));
  EXPECT_EQ(o.user, "★Acrobat/AdobeReader動作対象外 11.0.23.22 \n");
  // Reader XI passes with a lower bound of 11, and is named XI.
  EXPECT_EQ(RunPdf("23", "11", false).user, "●Acrobat/AdobeReader確認 Reader XI \n");

  pdf.Program(Fixture32("Acrobat24.exe"), "Acrobat.exe");
  EXPECT_EQ(RunPdf("23", "15", true).user, "★Acrobat/AdobeReader動作対象外 24.1.20604.0 \n");
  EXPECT_EQ(RunPdf("24", "15", true).user, "●Acrobat/AdobeReader確認 Acrobat 24 32bit版\n");
}

TEST(AcrobatChain, EarlySteps) {
  PdfMachine pdf("apps_pdf_early");
  Outcome o = RunPdf("23", "15", true);
  EXPECT_EQ(o.support,
            "GetExePathForIEでAcrobatのパス取得できない \n★Acrobat/AdobeReaderがインストールされていません \n");
  pdf.RegisterExeText("\"\"");  // only quotes
  EXPECT_EQ(RunPdf("23", "15", true).user, "★Acrobat/AdobeReaderがインストールされていません \n");

  pdf.RegisterExeText("C:\\Foxit\\FoxitPDFReader.exe");
  o = RunPdf("23", "15", true);
  EXPECT_EQ(o.support, ", , , \"\" \nIsReaderExePath でAcrobat/AdobeReader以外と判定\n"
                       "★Acrobat/AdobeReader以外がPDFに割り当てられています \n");

  pdf.RegisterExeText(pdf.dir().Write("Acrobat\\ACROBAT.EXE", "no version here"));
  o = RunPdf("23", "15", true);
  EXPECT_TRUE(Has(o.support, "Acrobatのexeファイルバージョン取得失敗 \n"));
  EXPECT_EQ(o.user, "★Acrobat/AdobeReaderのバージョンが取得できません \n");
}

TEST(AcrobatChain, BrowserIntegrationSwitchedOff) {
  PdfMachine pdf("apps_pdf_integration");
  pdf.Program(Fixture32("Acrobat81.exe"), "Acrobat.exe");
  pdf.Control(Fixture32("pdf.ocx"), "pdf.ocx");
  pdf.BrowserIntegration("Adobe Acrobat", 8, 0);
  Outcome o = RunPdf("23", "8", true);
  EXPECT_TRUE(Has(o.support, "「PDFをブラウザに表示する」のレジストリが無効になっている \n"));
  EXPECT_EQ(o.user, kNotInBrowser);
  EXPECT_TRUE(Has(o.detail, "IsOutOfBrower path=Software\\Adobe\\Adobe Acrobat\\8.0\\Originals \n"
                            "IsOutOfBrower 0 4 0 \n"));

  // Switched on: the ActiveX side is checked next, for Reader and for Acrobat.
  pdf.BrowserIntegration("Adobe Acrobat", 8, 1);
  pdf.BrowserIntegration("Acrobat Reader", 11, 0);
  o = RunPdf("23", "8", true);
  EXPECT_TRUE(Has(o.support, "AcrobatのActiveXのファイルバージョン Acrobat 11.0 \n"
                             "ActiveXの方でPDFをブラウザに表示するチェックがない Reader 11 \n"));
  EXPECT_EQ(o.user, kNotInBrowser);
  pdf.BrowserIntegration("Acrobat Reader", 11, 1);
  pdf.BrowserIntegration("Adobe Acrobat", 11, 0);
  o = RunPdf("23", "8", true);
  EXPECT_TRUE(Has(o.support, "ActiveXの方でPDFをブラウザに表示するチェックがない Acrobat 11 \n"));
}

TEST(AcrobatChain, ActiveXControlProblems) {
  PdfMachine pdf("apps_pdf_activex");
  pdf.Program(Fixture32("Acrobat.exe"), "Acrobat.exe");
  const std::string failed = "Acrobat/AdobeReaderのActiveXのバージョン取得失敗 \n";

  Outcome o = RunPdf("23", "15", true);  // no MIME registration
  EXPECT_TRUE(Has(o.detail, "PDF mime CLSID empty \n"));
  EXPECT_TRUE(Has(o.support, failed));
  EXPECT_EQ(o.user, kNotInBrowser);

  pdf.MimeClsid();  // CLSID without a server
  o = RunPdf("23", "15", true);
  EXPECT_TRUE(Has(o.detail, "PDF CLSID value empty " + std::string(kPdfClsid) + " \n"));

  const std::string bare = pdf.dir().Write("ActiveX\\PDF.OCX", "no version resource");
  pdf.ControlPath(bare);
  o = RunPdf("23", "15", true);
  EXPECT_TRUE(Has(o.detail, "PDF ActiveX is empty " + bare + " \n"));
  EXPECT_EQ(o.user, kNotInBrowser);

  pdf.ControlPath(CopyInto(Fixture32("AcroPDF.dll"), pdf.dir().path() + "ActiveX\\other.dll"));
  o = RunPdf("23", "15", true);
  EXPECT_TRUE(Has(o.detail, "PDF ActiveX is not Acrobat "));
  EXPECT_TRUE(Has(o.support, failed));
}

TEST(AcrobatChain, InstallStateAndAddon) {
  PdfMachine pdf("apps_pdf_state");
  pdf.Program(Fixture32("Acrobat.exe"), "Acrobat.exe");
  pdf.Control(Fixture32("pdf.ocx"), "pdf.ocx");  // an older control than the program
  Outcome o = RunPdf("23", "15", true);
  EXPECT_TRUE(Has(o.detail, "PDF dwMajorActiveX 11.0 \nerror !ActiveX < exe  11 21 \n"));
  EXPECT_TRUE(Has(o.support, "IEの中に表示できるインストール状態でない \n"));
  EXPECT_EQ(o.user, kMixed);

  pdf.Control(Fixture32("AcroPDF.dll"), "AcroPDF.dll");
  pdf.AddonFlags(1);
  o = RunPdf("23", "15", true);
  EXPECT_TRUE(Has(o.detail, "IsOutOfBrower path=Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\" +
                                std::string(kPdfClsid) + " \n"));
  EXPECT_TRUE(Has(o.support, "Adobe PDF Readerアドオンが無効 \n"));
  EXPECT_EQ(o.user, "★アドオンの管理で、Adobe PDF Readerアドオンが無効になっています \n");
  pdf.AddonFlags(0);
  EXPECT_EQ(RunPdf("23", "15", true).user, "●Acrobat/AdobeReader確認 Acrobat DC21 32bit版\n");
}

TEST(AcrobatChain, SixtyFourBitEditionIsNotSupported) {
  PdfMachine pdf("apps_pdf_x64");
  pdf.AcrobatDc21(true);
  const Outcome o = RunPdf("23", "15", true);
  EXPECT_EQ(o.user, "★Acrobat/AdobeReader 64bit版は動作対象外 21.1.20135.0 \n");
  EXPECT_TRUE(Has(o.detail, "64bitアプリ\n"));
}

TEST(AcrobatChain, OlderProgramDefersToARunningOne) {
  if (!CanCreateTopLevelWindows()) GTEST_SKIP() << "no display for top-level windows";
  PdfMachine pdf("apps_pdf_running");
  pdf.Program(Fixture32("Acrobat81.exe"), "Acrobat.exe");
  pdf.Control(Fixture32("pdf.ocx"), "pdf.ocx");
  // A 64-bit program: a 32-bit Report cannot snapshot its modules.
  const std::string running = CopyInto(Fixture64("AcrobatWindow.exe"), pdf.dir().path() + "Running\\Acrobat.exe");
  ChildProcess host("\"" + running + "\" AcrobatSDIWindow");
  for (int i = 0; i < 100 && FindWindowExA(nullptr, nullptr, "AcrobatSDIWindow", nullptr) == nullptr; ++i) Sleep(50);
  std::string found;
  ASSERT_TRUE(FindRunningAcrobatExe(found));
  EXPECT_TRUE(EqualsNoCaseCp932(found.c_str(), running.c_str())) << found;

  Outcome o = RunPdf("23", "8", false);
  EXPECT_TRUE(Has(o.detail, "異なるexeが実行中 " + found + " \n"));
  EXPECT_TRUE(Has(o.detail, "実行中のexeにバージョン判定を変更 8 \n"));
  EXPECT_EQ(o.user, "●Acrobat/AdobeReader確認 Acrobat 8 \n");

  o = RunPdf("23", "8.1", false);
  EXPECT_TRUE(Has(o.support, "実行中のバージョンが規定外 8.0.0.0 23～8.1 \n"));
  EXPECT_EQ(o.user, "★Acrobat/AdobeReader動作対象外 8.0.0.0 \n");

  // A running program whose file has no version resource: nothing can be judged.
  host.Kill();
  host.Wait(5000);
  HANDLE update = BeginUpdateResourceA(running.c_str(), TRUE);
  ASSERT_TRUE(update != nullptr && EndUpdateResourceA(update, FALSE));
  ChildProcess bare("\"" + running + "\" AcrobatSDIWindow");
  DWORD owner = 0;
  for (int i = 0; i < 100 && owner != bare.id(); ++i, Sleep(50))
    GetWindowThreadProcessId(FindWindowExA(nullptr, nullptr, "AcrobatSDIWindow", nullptr), &owner);
  o = RunPdf("23", "8", false);
  EXPECT_TRUE(Has(o.support, "実行中のバージョン取得失敗 \n"));
  EXPECT_EQ(o.user, "★Acrobat/AdobeReaderが実行されていますが、情報が取得できません。 \n");
}

#include "probes/process/product_modules.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstring>

#include "tests/support/test_support.h"
#include "tests/support/user_folders.h"

namespace {
std::string SpecialFolder(int csidl) {
  char folder[MAX_PATH] = {};
  SHGetSpecialFolderPathA(nullptr, folder, csidl, TRUE);
  return std::string(folder) + "\\";
}

std::string Wow64SystemFolder() {
  char folder[MAX_PATH] = {};
  if (GetSystemWow64DirectoryA(folder, sizeof folder) == 0) GetSystemDirectoryA(folder, sizeof folder);
  return std::string(folder) + "\\";
}

void Copy(const std::string& from, const std::string& to) { ASSERT_TRUE(CopyFileA(from.c_str(), to.c_str(), FALSE)) << to; }

// The product's folders under the user's profile, removed afterwards.
class ProductFolders {
 public:
  ProductFolders() {
    roamingRoot_ = SpecialFolder(CSIDL_APPDATA) + "meridan";
    localRoot_ = SpecialFolder(CSIDL_LOCAL_APPDATA) + "ORBWELL";
    RemoveTree(roamingRoot_);
    RemoveTree(localRoot_);
    CreateDirectoryA(roamingRoot_.c_str(), nullptr);
    CreateDirectoryA(localRoot_.c_str(), nullptr);
    roaming = roamingRoot_ + "\\lg4lpvc\\";
    local = localRoot_ + "\\lg4lpv\\";
    CreateDirectoryA(roaming.c_str(), nullptr);
    CreateDirectoryA(local.c_str(), nullptr);
  }
  ~ProductFolders() {
    RemoveTree(roamingRoot_);
    RemoveTree(localRoot_);
  }
  std::string roaming, local;

 private:
  std::string roamingRoot_, localRoot_;
};

std::string LineFor(const std::string& path, const char* version, const char* original, const char* company,
                    const char* product, const char* productVersion) {
  const std::string name = path.substr(path.find_last_of('\\') + 1);
  return name + ", " + path + ", " + version + ", " + original + ", " + company + ", " + product + ", \"" +
         productVersion + "\" \n";
}
}  // namespace

TEST(ProductModules, FilesInTheFourPlaces) {
  ProductFolders folders;
  const std::string system = Wow64SystemFolder();
  const std::string sysLg = system + "lgreporttests.dll";
  const std::string sysQm = system + "qmreporttests.dll";
  Copy(Fixture64("lgcore.dll"), sysLg);
  Copy(Fixture64("lgmsfile.dll"), sysQm);
  const std::string roamingFile = folders.roaming + "lgcore.dll";
  const std::string roamingMs = folders.roaming + "lgmsfile.dll";
  Copy(Fixture64("lgcore.dll"), roamingFile);
  Copy(Fixture64("lgmsfile.dll"), roamingMs);
  const std::string subfolder = folders.local + "plugins";
  CreateDirectoryA(subfolder.c_str(), nullptr);
  const std::string plain = folders.local + "settings.dat";
  HANDLE f = CreateFileA(plain.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CloseHandle(f);
  const std::string dotted = folders.local + ".cache";
  f = CreateFileA(dotted.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CloseHandle(f);

  LogCapture log;
  EXPECT_EQ(CheckProductModules(), 0);
  DeleteFileA(sysLg.c_str());
  DeleteFileA(sysQm.c_str());

  const std::string product = LineFor(sysLg, "4.2.1.7", "lgcore.dll", "Meridan Inc.", "Lantern Guard", "4.2.1.7");
  const std::string microsoft = LineFor(sysQm, "10.0.19041.1", "lgmsfile.dll", "MICROSOFT corporation",
                                        "Microsoft Windows Operating System", "10.0.19041.1");
  const std::string support = log.Support();
  const std::string detail = log.Detail();
  // A maker's file goes to Support; "Microsoft Corporation" in any case only to the details.
  EXPECT_NE(support.find(product), std::string::npos) << support;
  EXPECT_EQ(support.find(microsoft), std::string::npos);
  EXPECT_NE(detail.find(microsoft), std::string::npos);
  EXPECT_NE(support.find(LineFor(roamingFile, "4.2.1.7", "lgcore.dll", "Meridan Inc.", "Lantern Guard", "4.2.1.7")),
            std::string::npos);
  EXPECT_EQ(support.find(roamingMs), std::string::npos);
  // Folders and files without version resources are listed with empty fields; dot names are not.
  EXPECT_NE(support.find(LineFor(subfolder, "", "", "", "", "")), std::string::npos);
  EXPECT_NE(support.find(LineFor(plain, "", "", "", "", "")), std::string::npos);
  EXPECT_EQ(detail.find(".cache"), std::string::npos);
  EXPECT_EQ(detail.find(", ., "), std::string::npos);
  // Places in order, the verdict last.
  EXPECT_LT(detail.find(sysLg), detail.find(sysQm));
  EXPECT_LT(detail.find(sysQm), detail.find(roamingFile));
  EXPECT_LT(detail.find(roamingFile), detail.find(plain));
  EXPECT_EQ(log.User(), "●モジュール構成確認 \n");
  EXPECT_EQ(support.substr(support.size() - std::strlen("●モジュール構成確認 \n")), "●モジュール構成確認 \n");
}

TEST(ProductModules, NothingInstalledGivesOnlyTheVerdict) {
  ProductFolders folders;
  RemoveTree(folders.roaming);
  RemoveTree(folders.local);
  LogCapture log;
  CheckProductModules();
  EXPECT_EQ(log.User(), "●モジュール構成確認 \n");
  EXPECT_EQ(log.Detail().find("meridan"), std::string::npos);
  EXPECT_EQ(log.Detail().find("ORBWELL"), std::string::npos);
}

TEST(ProductModules, DoubleByteFolderNamesAndMissingFolders) {
  ScratchDir dir("apps_modules");
  const std::string folder = dir.MakeDir("表示ソフト");  // 表 and ソ end in 0x5C
  CopyFileA(Fixture64("lgcore.dll").c_str(), (folder + "lgcore.dll").c_str(), FALSE);
  LogCapture log;
  ScanModuleFiles(folder, "lg*.*");
  ScanModuleFiles(dir.path() + "missing\\", "*.*");
  EXPECT_EQ(log.Detail(),
            LineFor(folder + "lgcore.dll", "4.2.1.7", "lgcore.dll", "Meridan Inc.", "Lantern Guard", "4.2.1.7"));
  LogCapture empty;
  ReportModuleFile("");
  EXPECT_EQ(empty.Support(), ", , , , , , \"\" \n");
  // Line breaks inside version texts become blanks: one line, as in module lines.
  const std::string odd = FixtureOwn("line_breaks.dll");
  LogCapture breaks;
  ReportModuleFile(odd);
  EXPECT_EQ(breaks.Support(), LineFor(odd, "2.7.1.8", "line_breaks.dll", "Broken  Lines Co.", "Empty  Line Product", "2.7 "));
}

// Missing application-data folders are neither created nor searched: each
// place is skipped with one line and the verdict still stands.
TEST(MissingUserFolder, ProductModulesSkipMissingApplicationDataFolders) {
  if (!MayMoveUserFolders()) GTEST_SKIP() << kUserFoldersSkipReason;
  MovedAwayFolder roaming(CSIDL_APPDATA);
  MovedAwayFolder local(CSIDL_LOCAL_APPDATA);
  ASSERT_TRUE(roaming.moved()) << roaming.path();
  ASSERT_TRUE(local.moved()) << local.path();
  LogCapture log;
  CheckProductModules();
  const std::string detail = log.Detail();
  EXPECT_NE(detail.find("※CSIDL_APPDATA のフォルダーが見つからないため meridan\\lg4lpvc\\ を省略 \n"),
            std::string::npos)
      << detail;
  EXPECT_NE(detail.find("※CSIDL_LOCAL_APPDATA のフォルダーが見つからないため ORBWELL\\lg4lpv\\ を省略 \n"),
            std::string::npos)
      << detail;
  EXPECT_EQ(log.User(), "●モジュール構成確認 \n");
  EXPECT_FALSE(roaming.Exists()) << roaming.path() << " was created";
  EXPECT_FALSE(local.Exists()) << local.path() << " was created";
}

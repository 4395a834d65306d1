#include "probes/browser/ie_version.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace {
const char kIeKey[] = "SOFTWARE\\Microsoft\\Internet Explorer";

// Sets Version and Build of the real key for one test and puts back what was there.
class IeRegistryValues {
 public:
  IeRegistryValues() {
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kIeKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
    Save("Version", &version_);
    Save("Build", &build_);
  }
  ~IeRegistryValues() {
    Restore("Version", version_);
    Restore("Build", build_);
    RegCloseKey(key_);
  }
  void Set(const char* name, const std::string& value, DWORD type = REG_SZ) {
    RegSetValueExA(key_, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
  }
  void SetDword(const char* name, DWORD value) {
    RegSetValueExA(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  }

 private:
  struct Saved {
    bool present = false;
    DWORD type = 0;
    std::string data;
  };
  void Save(const char* name, Saved* saved) {
    DWORD size = 0;
    if (RegQueryValueExA(key_, name, nullptr, &saved->type, nullptr, &size) != ERROR_SUCCESS) return;
    saved->data.resize(size);
    if (RegQueryValueExA(key_, name, nullptr, &saved->type, reinterpret_cast<BYTE*>(&saved->data[0]), &size) ==
        ERROR_SUCCESS) {
      saved->present = true;
    }
  }
  void Restore(const char* name, const Saved& saved) {
    if (saved.present) {
      RegSetValueExA(key_, name, 0, saved.type, reinterpret_cast<const BYTE*>(saved.data.data()),
                     static_cast<DWORD>(saved.data.size()));
    } else {
      RegDeleteValueA(key_, name);
    }
  }
  HKEY key_ = nullptr;
  Saved version_, build_;
};
}  // namespace

TEST(CheckInternetExplorer, RegistryVersionWhenTheFileHasNone) {
  IeRegistryValues values;
  values.Set("Version", "9.11.19041.0");
  values.Set("Build", "99.19041");
  {
    LogCapture log;
    EXPECT_FALSE(CheckInternetExplorerWith(0, "11", "11"));
    EXPECT_EQ(
        "InternetExplorer version 0.0.0.0 \n"
        "InternetExplorer reg version 9.11.19041.0 , build 99.19041 \n"
        "★InternetExplorer動作対象外 9.11.19041.0 \n",
        log.Support());
    EXPECT_EQ("★InternetExplorer動作対象外 9.11.19041.0 \n", log.User());
  }
  values.Set("Version", "8.0.6001.18000");
  {
    LogCapture log;
    EXPECT_FALSE(CheckInternetExplorerWith(0, "11", "8"));
    EXPECT_NE(std::string::npos, log.Support().find("β版のInternetExplorerなので動作対象外 \n★InternetExplorer動作対象外(β版) 8.0.6001.18000 \n"));
    EXPECT_EQ("★InternetExplorer動作対象外(β版) 8.0.6001.18000 \n", log.User());
  }
  values.Set("Version", "9.0.8112.16420");  // pre-release 9: the same two lines
  {
    LogCapture log;
    EXPECT_FALSE(CheckInternetExplorerWith(0, "11", "9"));
    EXPECT_EQ("★InternetExplorer動作対象外(β版) 9.0.8112.16420 \n", log.User());
  }
  // Texts of the whole 260-byte buffer are printed whole, in facts and verdict.
  const std::string longVersion = "11.0.9600.16384 " + std::string(243, 'x'), longBuild(259, 'b');
  values.Set("Version", longVersion);
  values.Set("Build", longBuild);
  {
    LogCapture log;
    EXPECT_TRUE(CheckInternetExplorerWith(0, "11", "11"));
    EXPECT_NE(std::string::npos, log.Support().find("reg version " + longVersion + " , build " + longBuild + " \n"));
    EXPECT_EQ("●InternetExplorer確認 " + longVersion + " \n", log.User());
  }
}

TEST(CheckInternetExplorer, WrongTypesCountAsAbsent) {
  IeRegistryValues values;
  values.Set("Version", "11.0.19041.1", REG_EXPAND_SZ);
  values.SetDword("Build", 19041);
  {
    LogCapture log;
    EXPECT_FALSE(CheckInternetExplorerWith(0, "11", "11"));
    EXPECT_EQ(
        "InternetExplorer version 0.0.0.0 \n"
        "InternetExplorer reg version  , build  \n"
        "InternetExplorerのバージョンがレジストリに格納されていない \n"
        "★InternetExplorer動作対象外 \n",
        log.Support());
  }
  values.SetDword("Version", 11);
  std::string version = "stale", build = "stale";
  EXPECT_TRUE(GetIEVersionFromRegistry(version, build));
  EXPECT_EQ("", version);
  EXPECT_EQ("", build);
}

TEST(CheckInternetExplorer, FileVersionComesFirst) {
  IeRegistryValues values;
  values.Set("Version", "9.11.19041.0");
  LogCapture log;
  EXPECT_TRUE(CheckInternetExplorerWith(MakeVersionQuad(11, 0, 19041, 1), "11", "11"));
  EXPECT_EQ(0u, log.Support().find("InternetExplorer version 11.0.19041.1 \n"));
  EXPECT_EQ("●InternetExplorer確認 11.0.19041.1 \n", log.User());
}

#include "query/registry_search.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_support.h"

namespace {
const char kRoot[] = "Software\\ReportTests\\RegistrySearch";

const RegMatchEntry kTable[] = {
    {L"Exact2", "MS", 0x30002},
    {L"Vendor", "VMware", 0},
    {L"Box", "VBOX", 0},
    {nullptr, nullptr, 0},
};

std::string Path(const std::string& sub) { return std::string(kRoot) + "\\" + sub; }

std::string Name(const RegMatchEntry* e) {
  if (e == nullptr) return "(none)";
  std::string s;
  for (const wchar_t* p = e->displayName; *p; ++p) s += static_cast<char>(*p);
  return s;
}
}  // namespace

TEST(SearchReg, MatchKindsAndTheirLines) {
  ScratchKey root(HKEY_CURRENT_USER, kRoot);
  root.SetString("a", "Desc", "vmware Virtual disk");  // prefix, other case
  {
    LogCapture log;
    EXPECT_EQ("Vendor", Name(SearchReg(HKEY_CURRENT_USER, kRoot, "Desc", nullptr, 3, kTable)));
    EXPECT_EQ("SearchReg top 先頭一致 val=vmware Virtual disk \n", log.Detail());
    EXPECT_EQ("", log.Support());
  }
  root.SetString("a", "Desc", "Disk by VBOX Inc");  // substring, same case
  {
    LogCapture log;
    EXPECT_EQ("Box", Name(SearchReg(HKEY_CURRENT_USER, kRoot, "Desc", nullptr, 3, kTable)));
    EXPECT_EQ("SearchReg part 一部一致 val=Disk by VBOX Inc \n", log.Detail());
  }
  // The substring test is case-sensitive: vbox in the middle does not match.
  root.SetString("a", "Desc", "Disk by vbox Inc");
  {
    LogCapture log;
    EXPECT_EQ(nullptr, SearchReg(HKEY_CURRENT_USER, kRoot, "Desc", nullptr, 3, kTable));
    EXPECT_EQ("", log.Detail());
  }
  // Exact entry of kind 2: only for kind 2 and only for the whole text.
  root.SetString("a", "Desc", "MS");
  EXPECT_EQ(nullptr, SearchReg(HKEY_CURRENT_USER, kRoot, "Desc", nullptr, 3, kTable));
  {
    LogCapture log;
    EXPECT_EQ("Exact2", Name(SearchReg(HKEY_CURRENT_USER, kRoot, "Desc", nullptr, 2, kTable)));
    EXPECT_EQ("SearchReg all 完全一致 val=MS \n", log.Detail());
  }
  root.SetString("a", "Desc", "MSX");
  EXPECT_EQ(nullptr, SearchReg(HKEY_CURRENT_USER, kRoot, "Desc", nullptr, 2, kTable));
}

TEST(SearchReg, ValueTypeCheckSubkeyAndOrder) {
  ScratchKey root(HKEY_CURRENT_USER, kRoot);
  // Not REG_SZ: never tested.
  root.SetString("", "Desc", "VMware", REG_EXPAND_SZ);
  EXPECT_EQ(nullptr, SearchReg(HKEY_CURRENT_USER, kRoot, "Desc", nullptr, 3, kTable));

  // A key whose value matches but which lacks the check subkey is passed over;
  // the search goes on into the subkeys and finds the one that has it.
  root.SetString("", "Desc", "VMware top");
  root.SetString("one", "Desc", "VMware one");
  root.SetString("one\\deep", "Desc", "VBOX deep");
  root.CreateSubkey("one\\deep\\Control");
  root.SetString("two", "Desc", "VMware two");
  root.CreateSubkey("two\\Control");
  {
    LogCapture log;
    EXPECT_EQ("Box", Name(SearchReg(HKEY_CURRENT_USER, kRoot, "Desc", "Control", 3, kTable)));
    EXPECT_EQ("SearchReg top 先頭一致 val=VBOX deep \n", log.Detail());  // depth first: one\deep before two
  }
  // Without a check subkey the key's own value wins before any subkey.
  EXPECT_EQ("Vendor", Name(SearchReg(HKEY_CURRENT_USER, kRoot, "Desc", nullptr, 3, kTable)));
  // A missing start key is silent.
  LogCapture log;
  EXPECT_EQ(nullptr, SearchReg(HKEY_CURRENT_USER, Path("missing").c_str(), "Desc", nullptr, 3, kTable));
  EXPECT_EQ("", log.Detail());
}

TEST(SearchReg, StopsAtTheDepthLimitWithOneLine) {
  ScratchKey root(HKEY_CURRENT_USER, kRoot);
  std::string chain;
  for (int i = 0; i <= kRegistryWalkDepth + 1; ++i) chain += (i ? "\\k" : "k") + std::to_string(i);
  root.SetString(chain, "Desc", "VMware far below");
  LogCapture log;
  EXPECT_EQ(nullptr, SearchReg(HKEY_CURRENT_USER, kRoot, "Desc", nullptr, 3, kTable));
  const std::string line = "SearchReg 階層が深すぎるため以下を検索せず <k" + std::to_string(kRegistryWalkDepth - 1) + "> \n";
  EXPECT_EQ(line, log.Detail());
}

TEST(DumpRegKey, ValuesSubkeysAndIndents) {
  ScratchKey root(HKEY_CURRENT_USER, kRoot);
  root.SetString("", "A_Text", "表示 100%s");  // cp932 with a 0x5C trail byte and a percent sign
  root.SetDword("", "B_Number", 0xABC);
  root.SetString("", "C_Expand", "%SystemRoot%", REG_EXPAND_SZ);
  root.SetString("child", "Inner", "x");
  root.CreateSubkey("child\\grand");
  // Values are listed in the order the registry enumerates them (by name here).
  LogCapture log;
  DumpRegKey(HKEY_CURRENT_USER, kRoot, "");
  const std::string want = std::string(" <") + kRoot + "> \n" +
                           " \t nm=A_Text REG_SZ:表示 100%s \n"
                           " \t nm=B_Number REG_DWORD:0xabc \n"
                           " \t nm=C_Expand 2:13 \n"
                           "\t <child> \n"
                           "\t \t nm=Inner REG_SZ:x \n"
                           "\t\t <grand> \n"
                           "\t\t </grand> \n"
                           "\t </child> \n" +
                           " </" + kRoot + "> \n";
  EXPECT_EQ(want, log.Detail());
  EXPECT_EQ("", log.Support());
}

TEST(DumpRegKey, MissingKeyOddValuesAndDepthStop) {
  ScratchKey root(HKEY_CURRENT_USER, kRoot);
  {
    LogCapture log;
    DumpRegKey(HKEY_CURRENT_USER, Path("absent").c_str(), "\t");
    EXPECT_EQ("\t error Cannot open <" + Path("absent") + ">\n", log.Detail());
  }
  // A value too large for the buffer and a short DWORD are shown by type and
  // size, and the values after them are still listed.
  root.SetString("", "Big", std::string(3000, 'x'));
  const unsigned char two[2] = {1, 2};
  root.SetBinary("", "Short", two, 2, REG_DWORD);
  root.SetString("", "After", "ok");
  {
    LogCapture log;
    DumpRegKey(HKEY_CURRENT_USER, kRoot, "");
    const std::string d = log.Detail();
    EXPECT_NE(std::string::npos, d.find(" \t nm=Big 1:3001 \n"));
    EXPECT_NE(std::string::npos, d.find(" \t nm=Short 4:2 \n"));
    EXPECT_NE(std::string::npos, d.find(" \t nm=After REG_SZ:ok \n"));
  }
  std::string chain;
  for (int i = 0; i <= kRegistryWalkDepth + 3; ++i) chain += (i ? "\\k" : "k") + std::to_string(i);
  root.CreateSubkey(chain);
  LogCapture log;
  DumpRegKey(HKEY_CURRENT_USER, Path("k0").c_str(), "");
  const std::string d = log.Detail();
  const std::string last = "k" + std::to_string(kRegistryWalkDepth);
  const std::string indent(kRegistryWalkDepth, '\t');
  EXPECT_NE(std::string::npos, d.find(indent + " <" + last + "> \n"));
  EXPECT_NE(std::string::npos, d.find(indent + "\t error Too deep, not listed below <" + last + ">\n"));
  EXPECT_EQ(std::string::npos, d.find("<k" + std::to_string(kRegistryWalkDepth + 1) + ">"));
  // Every opened key is closed again, so the block structure stays whole.
  EXPECT_NE(std::string::npos, d.find(indent + " </" + last + "> \n"));
  EXPECT_EQ(" </" + Path("k0") + "> \n", d.substr(d.rfind(" </")));
}

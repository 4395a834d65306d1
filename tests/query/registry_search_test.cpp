#include "query/registry_search.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {
const char kRoot[] = "Software\\ReportTests\\RegistrySearch";
const RegMatchEntry kTable[] = {
    {L"Exact2", "MS", 0x30002},
    {L"Vendor", "VMware", 0},
    {L"Box", "VBOX", 0},
    {nullptr, nullptr, 0},
};

// The display name found and what the search wrote.
std::string Search(unsigned kind, const char* check = nullptr, const char* start = kRoot) {
  LogCapture log;
  const RegMatchEntry* e = SearchReg(HKEY_CURRENT_USER, start, "Desc", check, kind, kTable);
  std::string s = e ? "" : "(none)";
  for (const wchar_t* p = e ? e->displayName : L""; *p; ++p) s += static_cast<char>(*p);
  return s + "|" + log.Detail();
}

// Registry links made by the test-only helper, removed as themselves (never
// through the link) before the scratch key is deleted.
struct Links {
  std::vector<std::string> made;
  static DWORD Run(const std::string& args) {
    ChildProcess tool("\"" + Bin64() + "reg_link.exe\" " + args);
    return tool.Wait(30000);
  }
  DWORD Make(const std::string& link, const std::string& target) {
    made.push_back(link);
    return Run("make \"" + link + "\" \"" + target + "\"");
  }
  ~Links() {
    for (const std::string& link : made) Run("remove \"" + link + "\"");
  }
};

std::string Chain(int levels) {
  std::string chain;
  for (int i = 0; i < levels; ++i) chain += (i ? "\\k" : "k") + std::to_string(i);
  return chain;
}
}  // namespace

TEST(SearchReg, MatchKindsLinesAndOrder) {
  ScratchKey root(HKEY_CURRENT_USER, kRoot);
  root.SetString("a", "Desc", "vmware Virtual disk");
  EXPECT_EQ("Vendor|SearchReg top 先頭一致 val=vmware Virtual disk \n", Search(3));
  root.SetString("a", "Desc", "Disk by VBOX Inc");
  EXPECT_EQ("Box|SearchReg part 一部一致 val=Disk by VBOX Inc \n", Search(3));
  root.SetString("a", "Desc", "Disk by vbox Inc");  // substring in another case
  EXPECT_EQ("(none)|", Search(3));
  root.SetString("a", "Desc", "MS");
  EXPECT_EQ("(none)|", Search(3));
  EXPECT_EQ("Exact2|SearchReg all 完全一致 val=MS \n", Search(2));
  root.SetString("a", "Desc", "VMware", REG_EXPAND_SZ);  // only REG_SZ is tested
  EXPECT_EQ("(none)|", Search(3));
  EXPECT_EQ("(none)|", Search(3, nullptr, "Software\\ReportTests\\RegistrySearch\\missing"));

  // A key whose value matches but which lacks the check subkey is passed over;
  // the search goes depth first: one\deep before two.
  root.SetString("", "Desc", "VMware top");
  root.SetString("one", "Desc", "VMware one");
  root.SetString("one\\deep", "Desc", "VBOX deep");
  root.CreateSubkey("one\\deep\\Control");
  root.SetString("two", "Desc", "VMware two");
  root.CreateSubkey("two\\Control");
  EXPECT_EQ("Box|SearchReg top 先頭一致 val=VBOX deep \n", Search(3, "Control"));
  EXPECT_EQ("Vendor|SearchReg top 先頭一致 val=VMware top \n", Search(3));
}

TEST(SearchReg, StopsAtTheDepthLimitWithOneLine) {
  ScratchKey root(HKEY_CURRENT_USER, kRoot);
  root.SetString(Chain(kRegistryWalkDepth + 2), "Desc", "VMware far below");
  EXPECT_EQ("(none)|SearchReg 階層が深すぎるため以下を検索せず <k" + std::to_string(kRegistryWalkDepth - 1) + "> \n",
            Search(3));
}

TEST(DumpRegKey, ValuesSubkeysAndIndents) {
  ScratchKey root(HKEY_CURRENT_USER, kRoot);
  root.SetString("", "A_Text", "表示 100%s");  // a 0x5C trail byte and a percent sign
  root.SetDword("", "B_Number", 0xABC);
  root.SetString("", "C_Expand", "%SystemRoot%", REG_EXPAND_SZ);
  root.SetString("child", "Inner", "x");
  root.CreateSubkey("child\\grand");
  LogCapture log;
  DumpRegKey(HKEY_CURRENT_USER, kRoot, "");
  // Values come in the order the registry enumerates them (by name here).
  EXPECT_EQ(std::string(" <") + kRoot + "> \n" +
                " \t nm=A_Text REG_SZ:表示 100%s \n"
                " \t nm=B_Number REG_DWORD:0xabc \n"
                " \t nm=C_Expand 2:13 \n"
                "\t <child> \n"
                "\t \t nm=Inner REG_SZ:x \n"
                "\t\t <grand> \n"
                "\t\t </grand> \n"
                "\t </child> \n" +
                " </" + kRoot + "> \n",
            log.Detail());
  EXPECT_EQ("", log.Support());
}

TEST(DumpRegKey, MissingKeyOddValuesAndDepthStop) {
  ScratchKey root(HKEY_CURRENT_USER, kRoot);
  const std::string absent = std::string(kRoot) + "\\absent";
  {
    LogCapture log;
    DumpRegKey(HKEY_CURRENT_USER, absent.c_str(), "\t");
    EXPECT_EQ("\t error Cannot open <" + absent + ">\n", log.Detail());
  }
  // A value too large for the buffer and a short DWORD are shown by type and
  // size, and the values after them are still listed.
  root.SetString("", "Big", std::string(3000, 'x'));
  const unsigned char two[2] = {1, 2};
  root.SetBinary("", "Short", two, 2, REG_DWORD);
  root.SetString("", "Tail", "ok");
  root.CreateSubkey(Chain(kRegistryWalkDepth + 4));
  LogCapture log;
  DumpRegKey(HKEY_CURRENT_USER, kRoot, "");
  const std::string d = log.Detail();
  EXPECT_NE(std::string::npos, d.find(" \t nm=Big 1:3001 \n \t nm=Short 4:2 \n \t nm=Tail REG_SZ:ok \n"));
  // The start key is level 0, so k31 stands at the limit with 32 tabs.
  const std::string last = "k" + std::to_string(kRegistryWalkDepth - 1);
  const std::string indent(kRegistryWalkDepth, '\t');
  EXPECT_NE(std::string::npos, d.find(indent + " <" + last + "> \n" + indent + "\t error Too deep, not listed below <" +
                                      last + ">\n" + indent + " </" + last + "> \n"));
  EXPECT_EQ(std::string::npos, d.find("<k" + std::to_string(kRegistryWalkDepth) + ">"));
  EXPECT_EQ(" </" + std::string(kRoot) + "> \n", d.substr(d.rfind(" </")));
}

// Two links back to the key itself: followed, they would make 2^33 keys.
TEST(DumpRegKey, LinksAreNamedNotFollowedAndABudgetEndsAWideBranch) {
  ScratchKey root(HKEY_CURRENT_USER, kRoot);
  root.SetString("", "V", "x\r\n\x81\x9C forged");  // a verdict inside a value stays on its line
  root.SetString("z", "Desc", "VBOX z");
  // An ordinary key that merely holds a link's value is no link: its branch
  // is dumped, not hidden.
  root.SetBinary("h", "SymbolicLinkValue", "\\\0R\0", 4, REG_LINK);
  root.SetString("h\\inner", "Desc", "kept");
  Links links;
  ASSERT_EQ(0u, links.Make(std::string(kRoot) + "\\a", kRoot));
  ASSERT_EQ(0u, links.Make(std::string(kRoot) + "\\b", kRoot));
  EXPECT_EQ("Box|SearchReg top 先頭一致 val=VBOX z \n", Search(3));
  {
    LogCapture log;
    DumpRegKey(HKEY_CURRENT_USER, kRoot, "");
    EXPECT_EQ(std::string(" <") + kRoot + "> \n \t nm=V REG_SZ:x  \x81\x9C forged \n" +
                  "\t ※レジストリのリンクのため省略 <a> \n\t ※レジストリのリンクのため省略 <b> \n" +
                  "\t <h> \n\t \t nm=SymbolicLinkValue 6:4 \n\t\t <inner> \n\t\t \t nm=Desc REG_SZ:kept \n" +
                  "\t\t </inner> \n\t </h> \n" + "\t <z> \n\t \t nm=Desc REG_SZ:VBOX z \n\t </z> \n </" + kRoot + "> \n",
              log.Detail());
  }
  for (int i = 0; i < 5; ++i) root.CreateSubkey("w\\k" + std::to_string(i));
  const std::string wide = std::string(kRoot) + "\\w";
  LogCapture log;
  DumpRegKey(HKEY_CURRENT_USER, wide.c_str(), "", 3);
  EXPECT_EQ(" <" + wide + "> \n\t <k0> \n\t </k0> \n\t <k1> \n\t </k1> \n\t※キーが多すぎるため以下を省略しました <" + wide +
                "> \n </" + wide + "> \n",
            log.Detail());
  // The default is a bound too: a key costs about 0.35 ms (make bench), so a
  // default far beyond 100,000 keys would let one dump run for hours.
  EXPECT_LE(kRegistryDumpMaxKeys, 200000u);
  EXPECT_LE(kRegistryDumpMaxValueBytes, 256ull << 20);
  // Values are bounded too: a spent value budget ends the dump with its line.
  LogCapture values;
  DumpRegKey(HKEY_CURRENT_USER, kRoot, "", 100, 0);
  EXPECT_EQ(std::string(" <") + kRoot + "> \n\t※値が多すぎるため以下を省略しました <" + kRoot + "> \n </" + kRoot +
                "> \n",
            values.Detail());
  // The dumps of one section share its budget: the second finds it spent.
  ResetRegistryDumpBudget(4, 1u << 20);
  LogCapture shared;
  DumpRegKey(HKEY_CURRENT_USER, wide.c_str(), "");
  DumpRegKey(HKEY_CURRENT_USER, wide.c_str(), "");
  ResetRegistryDumpBudget();
  const std::string cut = "\t※キーが多すぎるため以下を省略しました <" + wide + "> \n </" + wide + "> \n";
  EXPECT_EQ(" <" + wide + "> \n\t <k0> \n\t </k0> \n\t <k1> \n\t </k1> \n\t <k2> \n\t </k2> \n" + cut + " <" + wide +
                "> \n" + cut,
            shared.Detail());
}

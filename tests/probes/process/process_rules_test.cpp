// Portable rules of the process list, the module listing and the companion link.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "probes/process/companion_folder_rules.h"
#include "probes/process/module_list_rules.h"
#include "probes/process/process_list_rules.h"

TEST(ProcessRules, IntegrityLevels) {
  const std::pair<unsigned long, const char*> names[] = {
      {0, "Unknown"}, {0x1000, "Low"}, {0x2000, "Medium"}, {0x3000, "High"}, {0x4000, "System"},
      {0x5000, "SecureProcess"}, {15, "AppContainer"}, {0x2100, "AppContainer"}};
  for (const auto& n : names) EXPECT_STREQ(GetIntegrityLevelName(n.first), n.second) << n.first;
  unsigned long value = 7;
  EXPECT_TRUE(ParseIntegritySid("S-1-16-8192", &value));
  EXPECT_EQ(value, 8192ul);
  for (const char* bad : {"S-1-5-32-544", "S-1-16-", "S-1-16-99999999999999999999"})
    EXPECT_FALSE(ParseIntegritySid(bad, &value)) << bad;
  EXPECT_EQ(value, 8192ul);
}

TEST(ProcessRules, ProcessNameColumn) {
  bool folder = true;
  EXPECT_EQ(ProcessNameFromExeField("notepad.exe", &folder), "notepad.exe");
  EXPECT_FALSE(folder);
  EXPECT_EQ(ProcessNameFromExeField("/usr/bin/wineserver", &folder), "wineserver");
  EXPECT_TRUE(folder);
  // 表 is 0x95 0x5C: its trail byte is no folder separator.
  EXPECT_EQ(ProcessNameFromExeField("表示.exe", &folder), "表示.exe");
  EXPECT_FALSE(folder);
  EXPECT_EQ(ProcessNameFromExeField("C:\\ソフト\\表.exe", &folder), "表.exe");
}

TEST(ProcessRules, ServicePathsAreTriedInOrder) {
  EXPECT_EQ(StripLeadingQuotes("\"c:\\program files\\a.exe\" -k x"), "c:\\program files\\a.exe");
  EXPECT_EQ(StripLeadingQuotes("\"c:\\unterminated"), "\"c:\\unterminated");
  using List = std::vector<std::string>;
  EXPECT_EQ(ServicePathCandidates("c:\\a\\svc.exe", false, false), List({"c:\\a\\svc.exe"}));
  // The WOW64 step works on the cut path; only the first "system32" changes.
  EXPECT_EQ(ServicePathCandidates("c:\\windows\\system32\\svc.exe /s", true, false),
            List({"c:\\windows\\system32\\svc.exe /s", "c:\\windows\\system32\\svc.exe",
                  "c:\\windows\\syswow64\\svc.exe"}));
  EXPECT_EQ(ServicePathCandidates("c:\\program files (x86)\\v\\svc.exe", false, true),
            List({"c:\\program files (x86)\\v\\svc.exe", "c:\\program files\\v\\svc.exe"}));
  EXPECT_EQ(ServicePathCandidates("c:\\program files (x86)\\v\\svc.exe", false, false).size(), 1u);
  EXPECT_EQ(ServicePathCandidates("c:\\表\\svc.exe x", false, false)[1], "c:\\表\\svc.exe");
  std::string path;
  EXPECT_TRUE(SysNativePath("C:\\Windows\\system32\\", "a.exe", path));
  EXPECT_EQ(path, "C:\\Windows\\SysNative\\a.exe");
  EXPECT_FALSE(SysNativePath("system32", "a.exe", path));
  // 亜 is 88 9F: its trail byte looks like a lead byte, the backslash after it is real.
  EXPECT_TRUE(SysNativePath("C:\\Windows\\亜\\", "a.exe", path));
  EXPECT_EQ(path, "C:\\Windows\\SysNative\\a.exe");
  EXPECT_TRUE(SysNativePath("C:\\表\\system32", "a.exe", path));
  EXPECT_EQ(path, "C:\\表\\SysNative\\a.exe");
}

TEST(ProcessRules, DevicePathsMapToWholeDriveNames) {
  std::string path;
  EXPECT_TRUE(DevicePathToDrivePath("\\device\\harddiskvolume2\\a.exe", "\\Device\\HarddiskVolume2", 'D', path));
  EXPECT_EQ(path, "D:\\a.exe");
  // Volume1 is no prefix of Volume10.
  EXPECT_FALSE(DevicePathToDrivePath("\\Device\\HarddiskVolume10\\a.exe", "\\Device\\HarddiskVolume1", 'E', path));
  EXPECT_FALSE(DevicePathToDrivePath("\\Device\\X\\a", "", 'E', path));
}

TEST(ProcessRules, DesktopTableNumbersInOrderOfAppearanceUpToItsBound) {
  DesktopTable table;
  unsigned char zero[16] = {}, second[16] = {2}, third[16] = {3}, extra[16] = {0xEE};
  EXPECT_EQ(table.NumberOf(zero), 0);
  EXPECT_EQ(table.NumberOf(second), 1);
  EXPECT_EQ(table.NumberOf(third), 2);
  EXPECT_EQ(table.NumberOf(second), 1);
  for (int i = 3; i < 100; ++i) {
    unsigned char id[16] = {0, 0, 0, 0, 0x77};
    std::memcpy(id, &i, sizeof i);
    EXPECT_EQ(table.NumberOf(id), i);
  }
  EXPECT_EQ(table.NumberOf(extra), -1);  // full: new desktops get no number
  EXPECT_EQ(table.NumberOf(third), 2);
}

TEST(ModuleRules, HandleTableAndCompanionDecision) {
  ModuleHandleTable table;
  for (unsigned i = 0; i < ModuleHandleTable::kCapacity; ++i) EXPECT_TRUE(table.Add(0x10000 + i));
  EXPECT_FALSE(table.Add(0x99999));
  EXPECT_TRUE(table.Contains(0x10000 + 1023));
  EXPECT_FALSE(table.Contains(0x99999));
  EXPECT_EQ(ModuleHandleHex(0x7FF6A0B40000ull), "7ff6a0b40000");
  // Only a 32-bit Report on 64-bit Windows whose own snapshot of a 64-bit
  // process failed asks the companion.
  EXPECT_TRUE(NeedsCompanion(true, true, true));
  EXPECT_FALSE(NeedsCompanion(false, true, true));
  EXPECT_FALSE(NeedsCompanion(true, false, true));
  EXPECT_FALSE(NeedsCompanion(true, true, false));
}

TEST(ModuleRules, PipeNameCommandLineAndTheirBuffers) {
  EXPECT_EQ(CompanionPipeNumber(0x12345678ul), (0x12345678 | 0x1234) & 0xFFFF);
  EXPECT_EQ(CompanionPipeName(CompanionPipeNumber(0xFFFFFFFFul)), "Report65535");
  char path[32], small[20];
  ASSERT_TRUE(CompanionPipePath("Report65535", path, sizeof path));
  EXPECT_STREQ(path, "\\\\.\\pipe\\Report65535");
  std::memset(small, 'x', sizeof small);
  EXPECT_FALSE(CompanionPipePath("Report65535", small, sizeof small));
  EXPECT_EQ(small[19], 'x');

  std::string line;
  ASSERT_TRUE(BuildCompanionCommandLine(std::string("C:\\Temp Dir\\表示-n\\Modlist6.exe"), std::string("Report42"),
                                        292, line));
  EXPECT_EQ(line, "\"C:\\Temp Dir\\表示-n\\Modlist6.exe\" -nReport42");
  EXPECT_FALSE(BuildCompanionCommandLine(std::string("C:\\a\"b\\M.exe"), std::string("Report1"), 292, line));
  EXPECT_FALSE(BuildCompanionCommandLine(std::string(281, 'a'), std::string("Report1"), 292, line));
  EXPECT_TRUE(BuildCompanionCommandLine(std::string(280, 'a'), std::string("Report1"), 292, line));
}

TEST(ModuleRules, AnswerBytesAreSplitParsedAndBounded) {
  // Reads end anywhere: inside a line, between CR and LF.
  AnswerSplitter answer;
  const std::string body(1200, 'x');
  const std::string wire = "1 " + body + "\r\n2 a\rb\r\r\n\r\n";
  std::string line;
  answer.Feed(wire.data(), 700);
  EXPECT_FALSE(answer.Next(&line));
  answer.Feed(wire.data() + 700, 503);  // up to and including the first CR
  EXPECT_FALSE(answer.Next(&line));
  answer.Feed(wire.data() + 1203, wire.size() - 1203);
  int level = -1;
  std::string text;
  ASSERT_TRUE(answer.Next(&line));
  ASSERT_TRUE(ParseAnswerLine(line, &level, &text));
  EXPECT_EQ(level, 1);
  EXPECT_EQ(text, body + "\n");
  ASSERT_TRUE(answer.Next(&line));
  EXPECT_EQ(line, "2 a\rb\r\n");  // a lone CR stays, as in a text-mode stream
  ASSERT_TRUE(answer.Next(&line));
  EXPECT_FALSE(ParseAnswerLine(line, &level, &text));  // the end of an answer
  EXPECT_FALSE(answer.Next(&line));
  EXPECT_EQ(answer.Rest(), "");
  EXPECT_TRUE(ParseAnswerLine("0 user %s %n\n", &level, &text));
  EXPECT_EQ(level, 0);
  EXPECT_EQ(text, "user %s %n\n");
  EXPECT_TRUE(ParseAnswerLine("9 x\n", &level, &text));
  EXPECT_EQ(level, 2);

  // A line cut short by the end of the stream is kept, a huge one bounded.
  AnswerSplitter cut;
  cut.Feed("1 half\r", 7);
  EXPECT_FALSE(cut.Next(&line));
  EXPECT_EQ(cut.Rest(), "1 half\r");
  AnswerSplitter huge;
  const std::string piece(4096, 'y');
  for (int i = 0; i < 40; ++i) huge.Feed(piece.data(), piece.size());
  huge.Feed("tail\r\n", 6);
  ASSERT_TRUE(huge.Next(&line));
  EXPECT_EQ(line.size(), AnswerSplitter::kMaxLine + 1);
  EXPECT_EQ(line.back(), '\n');

  // Double-byte text split by the reads anywhere: the bound keeps whole characters.
  AnswerSplitter japanese;
  std::string wide = "1 x";
  for (int i = 0; i < 40000; ++i) wide += "表";
  for (std::size_t at = 0; at < wide.size(); at += 511)
    japanese.Feed(wide.data() + at, std::min<std::size_t>(511, wide.size() - at));
  japanese.Feed("\n", 1);
  ASSERT_TRUE(japanese.Next(&line));
  EXPECT_EQ(line, wide.substr(0, AnswerSplitter::kMaxLine - 1) + "\n");
}

TEST(ModuleRules, CompanionFolderNamesGiveTheRunsProcessId) {
  unsigned long pid = 0;
  EXPECT_TRUE(ParseCompanionFolderName("Modlist6-1a4-5f3e2", &pid));
  EXPECT_EQ(pid, 0x1a4ul);
  EXPECT_TRUE(ParseCompanionFolderName("MODLIST6-FFFFFFFC-0123456789abcdef0123456789abcdef", &pid));
  EXPECT_EQ(pid, 0xFFFFFFFCul);
  for (const char* other : {"Modlist6-", "Modlist6-1a4", "Modlist6-1a4-", "Modlist6--5f", "Modlist6-123456789-1",
                            "Modlist6-1g-2", "Modlist6-1-2.tmp", "Modlist6-1-2-3", "Modlist7-1-2", "Modlist6_1-2"}) {
    EXPECT_FALSE(ParseCompanionFolderName(other, &pid)) << other;
  }
}

// Portable rules of the process list, the module listing and the companion link.
#include <gtest/gtest.h>

#include <cstring>

#include "probes/process/module_list_rules.h"
#include "probes/process/process_list_rules.h"

TEST(ProcessRules, IntegrityLevels) {
  EXPECT_STREQ(GetIntegrityLevelName(0), "Unknown");
  EXPECT_STREQ(GetIntegrityLevelName(0x1000), "Low");
  EXPECT_STREQ(GetIntegrityLevelName(0x2000), "Medium");
  EXPECT_STREQ(GetIntegrityLevelName(0x3000), "High");
  EXPECT_STREQ(GetIntegrityLevelName(0x4000), "System");
  EXPECT_STREQ(GetIntegrityLevelName(0x5000), "SecureProcess");
  EXPECT_STREQ(GetIntegrityLevelName(15), "AppContainer");
  EXPECT_STREQ(GetIntegrityLevelName(0x2100), "AppContainer");  // medium plus

  unsigned long value = 7;
  EXPECT_TRUE(ParseIntegritySid("S-1-16-8192", &value));
  EXPECT_EQ(value, 8192ul);
  EXPECT_TRUE(ParseIntegritySid("S-1-16-0", &value));
  EXPECT_EQ(value, 0ul);
  value = 7;
  EXPECT_FALSE(ParseIntegritySid("S-1-5-32-544", &value));
  EXPECT_FALSE(ParseIntegritySid("S-1-16-", &value));
  EXPECT_FALSE(ParseIntegritySid("S-1-16-99999999999999999999", &value));
  EXPECT_FALSE(ParseIntegritySid(nullptr, &value));
  EXPECT_EQ(value, 7ul);
}

TEST(ProcessRules, ProcessNameColumn) {
  bool folder = true;
  EXPECT_EQ(ProcessNameFromExeField("notepad.exe", &folder), "notepad.exe");
  EXPECT_FALSE(folder);
  EXPECT_EQ(ProcessNameFromExeField("C:\\Windows\\System32\\smss.exe", &folder), "smss.exe");
  EXPECT_TRUE(folder);
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
  EXPECT_EQ(StripLeadingQuotes("c:\\a.exe"), "c:\\a.exe");
  EXPECT_EQ(StripLeadingQuotes("\"\""), "");

  using List = std::vector<std::string>;
  EXPECT_EQ(ServicePathCandidates("c:\\a\\svc.exe", false, false), List({"c:\\a\\svc.exe"}));
  EXPECT_EQ(ServicePathCandidates("c:\\a\\svc.exe -k netsvcs", false, false),
            List({"c:\\a\\svc.exe -k netsvcs", "c:\\a\\svc.exe"}));
  // The WOW64 step works on the cut path; only the first "system32" changes.
  EXPECT_EQ(ServicePathCandidates("c:\\windows\\system32\\svc.exe /s", true, false),
            List({"c:\\windows\\system32\\svc.exe /s", "c:\\windows\\system32\\svc.exe",
                  "c:\\windows\\syswow64\\svc.exe"}));
  EXPECT_EQ(ServicePathCandidates("c:\\windows\\system32\\svc.exe", false, false).size(), 1u);
  EXPECT_EQ(ServicePathCandidates("c:\\program files (x86)\\v\\svc.exe", false, true),
            List({"c:\\program files (x86)\\v\\svc.exe", "c:\\program files\\v\\svc.exe"}));
  EXPECT_EQ(ServicePathCandidates("c:\\program files (x86)\\v\\svc.exe", false, false).size(), 1u);
  // ".exe" inside a cp932 name is found only on character boundaries.
  EXPECT_EQ(ServicePathCandidates("c:\\表\\svc.exe x", false, false)[1], "c:\\表\\svc.exe");
}

TEST(ProcessRules, SysNativeFolder) {
  std::string path;
  EXPECT_TRUE(SysNativePath("C:\\Windows\\SysWOW64", "a.exe", path));
  EXPECT_EQ(path, "C:\\Windows\\SysNative\\a.exe");
  EXPECT_TRUE(SysNativePath("C:\\Windows\\system32\\", "a.exe", path));
  EXPECT_EQ(path, "C:\\Windows\\SysNative\\a.exe");
  EXPECT_FALSE(SysNativePath("system32", "a.exe", path));
}

TEST(ProcessRules, DevicePathsMapToWholeDriveNames) {
  std::string path;
  EXPECT_TRUE(DevicePathToDrivePath("\\Device\\HarddiskVolume2\\Windows\\a.exe", "\\Device\\HarddiskVolume2", 'C',
                                    path));
  EXPECT_EQ(path, "C:\\Windows\\a.exe");
  EXPECT_TRUE(DevicePathToDrivePath("\\device\\harddiskvolume2\\a.exe", "\\Device\\HarddiskVolume2", 'D', path));
  EXPECT_EQ(path, "D:\\a.exe");
  // Volume1 is no prefix of Volume10.
  EXPECT_FALSE(DevicePathToDrivePath("\\Device\\HarddiskVolume10\\a.exe", "\\Device\\HarddiskVolume1", 'E', path));
  EXPECT_FALSE(DevicePathToDrivePath("\\Device", "\\Device\\HarddiskVolume1", 'E', path));
  EXPECT_FALSE(DevicePathToDrivePath("\\Device\\X\\a", "", 'E', path));
}

TEST(ProcessRules, DesktopTableNumbersInOrderOfAppearance) {
  DesktopTable table;
  unsigned char zero[16] = {};
  unsigned char second[16] = {2};
  unsigned char third[16] = {3};
  EXPECT_EQ(table.NumberOf(zero), 0);
  EXPECT_EQ(table.NumberOf(second), 1);
  EXPECT_EQ(table.NumberOf(third), 2);
  EXPECT_EQ(table.NumberOf(second), 1);
  EXPECT_EQ(table.count(), 3u);
  // Full at 100: new desktops get -1, known ones keep their number.
  for (int i = 3; i < 100; ++i) {
    unsigned char id[16] = {};
    std::memcpy(id, &i, sizeof i);
    id[15] = 0x77;
    EXPECT_EQ(table.NumberOf(id), i);
  }
  unsigned char extra[16] = {0xEE};
  EXPECT_EQ(table.NumberOf(extra), -1);
  EXPECT_EQ(table.NumberOf(third), 2);
  table.Reset();
  EXPECT_EQ(table.count(), 1u);
  EXPECT_EQ(table.NumberOf(third), 1);
}

TEST(ModuleRules, HandleTableStopsAtItsCapacity) {
  ModuleHandleTable table;
  for (unsigned i = 0; i < ModuleHandleTable::kCapacity; ++i) EXPECT_TRUE(table.Add(0x10000 + i));
  EXPECT_FALSE(table.Add(0x99999));
  EXPECT_EQ(table.count, ModuleHandleTable::kCapacity);
  EXPECT_TRUE(table.Contains(0x10000 + 1023));
  EXPECT_FALSE(table.Contains(0x99999));
  table.Clear();
  EXPECT_FALSE(table.Contains(0x10000));
  EXPECT_EQ(ModuleHandleHex(0x7FF6A0B40000ull), "7ff6a0b40000");
  EXPECT_EQ(ModuleHandleHex(0x400000), "400000");
}

TEST(ModuleRules, CompanionOnlyForA32BitReportAndA64BitTarget) {
  EXPECT_TRUE(NeedsCompanion(true, true, true));
  EXPECT_FALSE(NeedsCompanion(false, true, true));  // own snapshot worked
  EXPECT_FALSE(NeedsCompanion(true, false, true));  // 32-bit Windows or a 64-bit Report
  EXPECT_FALSE(NeedsCompanion(true, true, false));  // a 32-bit target that failed anyway
}

TEST(ModuleRules, PipeNameAndPath) {
  EXPECT_EQ(CompanionPipeNumber(0x12345678ul), (0x12345678 | 0x1234) & 0xFFFF);
  EXPECT_EQ(CompanionPipeNumber(0xFFFFFFFFul), 0xFFFF);
  EXPECT_EQ(CompanionPipeNumber(0), 0);
  EXPECT_EQ(CompanionPipeName(65535), "Report65535");
  char path[32];
  ASSERT_TRUE(CompanionPipePath("Report65535", path, sizeof path));
  EXPECT_STREQ(path, "\\\\.\\pipe\\Report65535");
  char small[20];
  std::memset(small, 'x', sizeof small);
  EXPECT_FALSE(CompanionPipePath("Report65535", small, sizeof small));
  EXPECT_EQ(small[0], '\0');
  EXPECT_EQ(small[19], 'x');
}

TEST(ModuleRules, CommandLineQuotesThePath) {
  std::string line;
  ASSERT_TRUE(BuildCompanionCommandLine(std::string("C:\\Temp Dir\\表示-n\\Modlist6.exe"), std::string("Report42"),
                                        292, line));
  EXPECT_EQ(line, "\"C:\\Temp Dir\\表示-n\\Modlist6.exe\" -nReport42");
  EXPECT_FALSE(BuildCompanionCommandLine(std::string("C:\\a\"b\\M.exe"), std::string("Report1"), 292, line));
  EXPECT_FALSE(BuildCompanionCommandLine(std::string(300, 'a'), std::string("Report1"), 292, line));
  EXPECT_TRUE(BuildCompanionCommandLine(std::string(280, 'a'), std::string("Report1"), 292, line));
  EXPECT_EQ(line.size(), 292u);
  std::wstring wide;
  EXPECT_TRUE(BuildCompanionCommandLine(std::wstring(L"C:\\T\\M.exe"), std::wstring(L"Report7"), 292, wide));
  EXPECT_EQ(wide, L"\"C:\\T\\M.exe\" -nReport7");
}

TEST(ModuleRules, AnswerLinesAreJoinedAndParsed) {
  AnswerLineJoiner joiner;
  const std::string body(1200, 'x');
  EXPECT_FALSE(joiner.Add(("1 " + body.substr(0, 509)).c_str()));
  EXPECT_FALSE(joiner.Add(body.substr(509, 511).c_str()));
  EXPECT_TRUE(joiner.Add((body.substr(1020) + "\n").c_str()));
  int level = -1;
  std::string text;
  ASSERT_TRUE(ParseAnswerLine(joiner.line(), &level, &text));
  EXPECT_EQ(level, 1);
  EXPECT_EQ(text, body + "\n");

  joiner.Reset();
  EXPECT_TRUE(joiner.Add("\n"));
  EXPECT_FALSE(ParseAnswerLine(joiner.line(), &level, &text));  // the end of an answer
  EXPECT_TRUE(ParseAnswerLine("0 user %s %n\n", &level, &text));
  EXPECT_EQ(level, 0);
  EXPECT_EQ(text, "user %s %n\n");
  EXPECT_TRUE(ParseAnswerLine("2 x\n", &level, &text));
  EXPECT_EQ(level, 2);
  EXPECT_TRUE(ParseAnswerLine("9 x\n", &level, &text));
  EXPECT_EQ(level, 2);
  EXPECT_TRUE(ParseAnswerLine("1 ", &level, &text));
  EXPECT_EQ(text, "");

  // A runaway line is kept to its bound and still ends as one line.
  joiner.Reset();
  const std::string piece(511, 'y');
  for (int i = 0; i < 300; ++i) EXPECT_FALSE(joiner.Add(piece.c_str()));
  EXPECT_TRUE(joiner.Add("tail\n"));
  EXPECT_EQ(joiner.line().size(), AnswerLineJoiner::kMaxLine + 1);
  EXPECT_EQ(joiner.line().back(), '\n');
}

#include "probes/apps/app_rules.h"

#include <gtest/gtest.h>


TEST(PdfProgramRules, KindFromFileNameAfterLastBackslash) {
  EXPECT_EQ(IsReaderExePath("C:\\Adobe\\Reader\\AcroRd32.exe"), 1);
  EXPECT_EQ(IsReaderExePath("C:\\Adobe\\Reader\\ACRORD32.EXE"), 1);
  EXPECT_EQ(IsReaderExePath("C:\\Adobe\\Acrobat\\acrobat.exe"), 0);
  EXPECT_EQ(IsReaderExePath("C:\\Foxit\\FoxitReader.exe"), -2);
  EXPECT_EQ(IsReaderExePath("AcroRd32.exe"), -2);  // no backslash
  EXPECT_EQ(IsReaderExePath("C:\\Adobe\\AcroRd32.exe\\"), -2);
  EXPECT_EQ(IsReaderExePath(""), -2);
  // A double-byte folder whose trail byte is 0x5C does not hide the file name.
  EXPECT_EQ(IsReaderExePath("C:\\表\\Acrobat.exe"), 0);
  EXPECT_EQ(IsReaderExePath("C:\\Acrobat.exe\\表"), -2);
}

TEST(PdfProgramRules, GenerationNames) {
  EXPECT_EQ(AcrobatGenerationName(10), "X");
  EXPECT_EQ(AcrobatGenerationName(11), "XI");
  EXPECT_EQ(AcrobatGenerationName(15), "DC15");
  EXPECT_EQ(AcrobatGenerationName(21), "DC21");
  EXPECT_EQ(AcrobatGenerationName(17), "17");  // a classic track, not DC
  EXPECT_EQ(AcrobatGenerationName(16), "16");
  EXPECT_EQ(AcrobatGenerationName(22), "22");
  EXPECT_EQ(AcrobatGenerationName(8), "8");
  EXPECT_EQ(AcrobatGenerationName(0), "0");
}

TEST(PdfProgramRules, Acrobat7CommandPath) {
  EXPECT_EQ(AcroReadCommandPath("\"C:\\Acrobat 7\\Acrobat.exe\" \"%1\""), "C:\\Acrobat 7\\Acrobat.exe");
  EXPECT_EQ(AcroReadCommandPath("C:\\A\\Acrobat.exe"), "C:\\A\\Acrobat.exe");
  // The split mark at the very start is not taken as the end of the path.
  EXPECT_EQ(AcroReadCommandPath("\" \"C:\\A\\Acrobat.exe\""), " C:\\A\\Acrobat.exe");
}

TEST(PlayerFolderRules, PlaceholdersAfterFolding) {
  EXPECT_EQ(FindPlayerPlaceholder("%programfiles(x86)%\\windows media player"), PlayerPlaceholder::ProgramFilesX86);
  EXPECT_EQ(FindPlayerPlaceholder("%programfiles%\\windows media player"), PlayerPlaceholder::ProgramFiles);
  EXPECT_EQ(FindPlayerPlaceholder("c:\\program files\\windows media player"), PlayerPlaceholder::None);
  EXPECT_EQ(ReplaceAllCp932("%programfiles%\\a;%programfiles%\\b", "%programfiles%", "C:\\PF"), "C:\\PF\\a;C:\\PF\\b");
  EXPECT_EQ(ReplaceAllCp932("abc", "", "x"), "abc");
  // Double-byte text around the placeholder is kept byte for byte.
  EXPECT_EQ(ReplaceAllCp932("%programfiles%\\表示\\ア", "%programfiles%", "C:\\PF"), "C:\\PF\\表示\\ア");
}

TEST(PlayerFolderRules, QuotesAndTrailingBackslashes) {
  EXPECT_EQ(TrimPlayerDirectory("\"C:\\Program Files\\WMP\\\""), "C:\\Program Files\\WMP");
  EXPECT_EQ(TrimPlayerDirectory("C:\\WMP\\\\"), "C:\\WMP");
  EXPECT_EQ(TrimPlayerDirectory("\"\""), "");
  // ソ ends in 0x5C: it is a character, not a trailing backslash.
  EXPECT_EQ(TrimPlayerDirectory("C:\\ソ"), "C:\\ソ");
  EXPECT_EQ(TrimPlayerDirectory("C:\\ソ\\"), "C:\\ソ");
}

TEST(PlayerLanguageRules, ListWalk) {
  EXPECT_FALSE(IsLanguageCheckOn(" "));
  EXPECT_FALSE(IsLanguageCheckOn(""));
  EXPECT_FALSE(IsLanguageCheckOn(nullptr));
  EXPECT_TRUE(IsLanguageCheckOn("12"));
  EXPECT_TRUE(LanguageListContains("1041,1033", 0x411));
  EXPECT_TRUE(LanguageListContains("1041,1033", 0x409));
  EXPECT_FALSE(LanguageListContains("1041,1033", 0x407));
  EXPECT_TRUE(LanguageListContains(",1041", 1041));
  EXPECT_FALSE(LanguageListContains("1041,", 1033));
  EXPECT_FALSE(LanguageListContains("abc,def", 1041));
}

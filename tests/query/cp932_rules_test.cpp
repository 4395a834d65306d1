// cp932 paths and case folding: trail bytes 0x5C and 'A'..'Z' stay intact.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "query/cp932_rules.h"

namespace {
// The literals are compiled to cp932: ソ is 83 5C, 表 is 95 5C, ア is 83 41,
// イ is 83 43; each second byte looks like '\' or an upper-case letter.
TEST(Cp932LiteralTest, SourceIsCompiledToCp932) {
  EXPECT_STREQ("ソ", "\x83\x5C");
  EXPECT_STREQ("表", "\x95\x5C");
  EXPECT_STREQ("アイ", "\x83\x41\x83\x43");
}

TEST(Cp932PathTest, FileNamePartSkipsBackslashTrailBytes) {
  EXPECT_STREQ(FileNamePart("C:\\Users\\ソフト\\表\\a.exe"), "a.exe");
  EXPECT_STREQ(FileNamePart("C:\\ソフト\\表"), "表");
  EXPECT_STREQ(FileNamePart("C:\\プログラム\\ソ"), "ソ");
  EXPECT_STREQ(FileNamePart("表示"), "表示");
  EXPECT_STREQ(FileNamePart("ソ"), "ソ");
  EXPECT_STREQ(FileNamePart("C:\\dir\\"), "");
  EXPECT_STREQ(FileNamePart(""), "");
  EXPECT_STREQ(FileNamePart(nullptr), "");
}

TEST(Cp932PathTest, FolderPartEndsAtTheRealBackslash) {
  EXPECT_EQ(FolderPart("C:\\表示\\ソフト\\Report.exe"), "C:\\表示\\ソフト\\");
  EXPECT_EQ(FolderPart("C:\\表"), "C:\\");
  EXPECT_EQ(FolderPart("表示ソ"), "");
  const char* path = "D:\\表\\x";
  EXPECT_EQ(FindLastBackslash(path), path + 5);
  EXPECT_EQ(FindLastBackslash("表"), nullptr);
}

TEST(Cp932PathTest, TruncatedLeadByteAtTheEndIsOneCharacter) {
  // A text cut inside a character must not make the scan run past its end.
  const char cut[] = {'a', '\\', 'b', '\x83', '\0'};
  EXPECT_EQ(FindLastBackslash(cut), cut + 1);
  EXPECT_EQ(Cp932CharLength(cut + 3), 1u);
  const char cutThenSlash[] = {'\x95', '\\', '\x95', '\0'};
  EXPECT_EQ(FindLastBackslash(cutThenSlash), nullptr);
}

TEST(Cp932CaseTest, FoldingLeavesDoubleByteCharactersIntact) {
  EXPECT_EQ(ToLowerCp932("C:\\Program Files\\アイ\\ABC.EXE"), "c:\\program files\\アイ\\abc.exe");
  EXPECT_EQ(ToUpperCp932("abアイcd表z"), "ABアイCD表Z");
  // Half-width katakana are single bytes and are not letters.
  EXPECT_EQ(ToLowerCp932("ｱﾌﾟﾘA"), "ｱﾌﾟﾘa");
  // A lone lead byte at the end is kept as it is.
  EXPECT_EQ(ToLowerCp932(std::string("A\x83", 2)), std::string("a\x83", 2));
  char buffer[] = "XアYイZ";
  LowerCp932InPlace(buffer);
  EXPECT_STREQ(buffer, "xアyイz");
}

TEST(Cp932CaseTest, ComparisonsIgnoreAsciiCaseOnly) {
  EXPECT_TRUE(EqualsNoCaseCp932("MICROSOFT Corporation", "microsoft corporation"));
  EXPECT_TRUE(EqualsNoCaseCp932("アイABC", "アイabc"));
  EXPECT_FALSE(EqualsNoCaseCp932("アイ", "\x83\x61\x83\x63"));  // trail bytes not folded
  EXPECT_FALSE(EqualsNoCaseCp932("abc", "abcd"));
  EXPECT_FALSE(EqualsNoCaseCp932("abcd", "abc"));
  EXPECT_TRUE(EqualsNoCaseCp932(nullptr, nullptr));
  EXPECT_FALSE(EqualsNoCaseCp932("", nullptr));

  EXPECT_TRUE(StartsWithNoCaseCp932("C:\\ソフト\\X", "c:\\ソ"));
  EXPECT_FALSE(StartsWithNoCaseCp932("C:", "c:\\"));
  EXPECT_TRUE(EndsWithNoCaseCp932("C:\\表示\\REPORT.EXE", "report.exe"));
  EXPECT_TRUE(EndsWithNoCaseCp932("x", ""));
  EXPECT_TRUE(EndsWithNoCaseCp932("", ""));
  // "\\a" matches the bytes 5C 41 of "表A" only byte-wise: 5C is a trail byte.
  EXPECT_FALSE(EndsWithNoCaseCp932("表A", "\\a"));
  EXPECT_FALSE(EndsWithNoCaseCp932("a", "ba"));
}

TEST(Cp932CaseTest, SearchesStartOnCharacterBoundaries) {
  const char* text = "表示\\ACROBAT\\acrord32.exe";
  EXPECT_EQ(FindNoCaseCp932(text, "Acrobat"), text + 5);
  EXPECT_EQ(FindNoCaseCp932(text, "ACRORD32.EXE"), text + 13);
  EXPECT_EQ(FindCp932(text, "acrobat"), nullptr);
  EXPECT_EQ(FindNoCaseCp932(text, ""), text);
  // "\\" inside 表 (95 5C) is no match; the real backslash after 示 is.
  EXPECT_EQ(FindCp932(text, "\\"), text + 4);
  // "A" inside ア (83 41) is no match.
  const char* kana = "アa";
  EXPECT_EQ(FindNoCaseCp932(kana, "A"), kana + 2);
  EXPECT_EQ(FindNoCaseCp932("ア", "a"), nullptr);
  EXPECT_EQ(FindNoCaseCp932(nullptr, "a"), nullptr);
  EXPECT_EQ(FindNoCaseCp932("abc", "abcd"), nullptr);
}
}  // namespace

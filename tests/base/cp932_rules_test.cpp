// Text rules of the ANSI code page (cp932 by default): trail bytes 0x5C and
// 'A'..'Z' stay intact, cuts keep whole characters, other code pages split right.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>

#include "base/cp932_rules.h"

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
  EXPECT_EQ(AnsiCharLength(cut + 3), 1u);
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

namespace {
// printf's own cut of the text with the length the helper gives.
std::string Cut(const char* text, int limit) {
  char out[512];
  std::snprintf(out, sizeof out, "[%.*s]", WholeCharsLength(text, limit), text);
  return out;
}

TEST(WholeCharsTest, CutsBeforeACharacterThatDoesNotFit) {
  EXPECT_EQ(Cut("abc", 2), "[ab]");
  EXPECT_EQ(Cut("abc", 199), "[abc]");
  EXPECT_EQ(Cut("あいう", 5), "[あい]");
  EXPECT_EQ(Cut("あいう", 6), "[あいう]");
  EXPECT_EQ(Cut("aあ", 2), "[a]");
  EXPECT_EQ(Cut("あ", 1), "[]");
  // 表 is 95 5C: half of it would leave a lead byte before the closing bracket.
  EXPECT_EQ(Cut("表表", 3), "[表]");
  // Half-width katakana are single bytes.
  EXPECT_EQ(Cut("ｱｲｳ", 2), "[ｱｲ]");
  EXPECT_EQ(Cut("abc", 0), "[]");
  EXPECT_EQ(WholeCharsLength("abc", -1), 0);
  EXPECT_EQ(WholeCharsLength(static_cast<const char*>(nullptr), 199), 0);
}

TEST(WholeCharsTest, LongTextsKeepTheLongestWholeStart) {
  // 300 bytes of Japanese, as in a long product name or extension description.
  std::string japanese;
  for (int i = 0; i < 150; ++i) japanese += "説";
  EXPECT_EQ(WholeCharsLength(japanese, 199), 198);
  EXPECT_EQ(WholeCharsLength(japanese, 99), 98);
  EXPECT_EQ(WholeCharsLength("x" + japanese, 199), 199);
  EXPECT_EQ(WholeCharsLength(japanese.c_str(), 200), 200);
}

TEST(WholeCharsTest, TheTextEndsAtItsNulOrItsSize) {
  // A lead byte whose second byte is missing is no character.
  EXPECT_EQ(WholeCharsLength("a\x83", 10), 1);
  EXPECT_EQ(WholeCharsLength(std::string("ab\0cd", 5), 10), 2);
  const char* text = "表示";
  EXPECT_EQ(WholeCharsLength(text, 4, 199), 4);
  EXPECT_EQ(WholeCharsLength(text, 3, 199), 2);
  EXPECT_EQ(WholeCharsLength(text, 1, 199), 0);
  EXPECT_EQ(WholeCharsLength(text, 4, 3), 2);
  // Nothing beyond the limit is read: a heap buffer of 3 bytes, unterminated.
  const std::unique_ptr<char[]> unterminated(new char[3]{'a', 'b', '\x81'});
  EXPECT_EQ(WholeCharsLength(unterminated.get(), 3), 2);
  EXPECT_EQ(WholeCharsLength(unterminated.get(), 3, 199), 2);
}

// The lead bytes follow the running system's ANSI code page.
class LeadByteTableTest : public ::testing::Test {
 protected:
  void TearDown() override { UseCp932LeadBytes(); }
  // GetCPInfo's LeadByte field: pairs ended by 0, 0.
  void Use(std::initializer_list<unsigned char> pairs) {
    unsigned char field[12] = {};
    std::size_t i = 0;
    for (unsigned char c : pairs) field[i++] = c;
    SetLeadByteRanges(field, sizeof field);
  }
};

TEST_F(LeadByteTableTest, Cp1252HasNoLeadBytes) {
  Use({});
  // C:\Users\José\Report.exe with é (E9), a cp932 lead byte.
  const char* path = "C:\\Users\\Jos\xE9\\Report.exe";
  EXPECT_STREQ(FileNamePart(path), "Report.exe");
  EXPECT_EQ(FolderPart(path), "C:\\Users\\Jos\xE9\\");
  EXPECT_EQ(WholeCharsLength("Jos\xE9", 4), 4);
  EXPECT_EQ(ToLowerCp932("\xC9\xE9" "A"), "\xC9\xE9" "a");
  EXPECT_TRUE(EqualsNoCaseCp932("JOS\xE9" "A", "jos\xE9" "a"));
  for (int c = 0; c < 256; ++c) EXPECT_FALSE(IsLeadByte(static_cast<unsigned char>(c))) << c;
}

TEST_F(LeadByteTableTest, Cp932TakesE9AsALeadByte) {
  Use({0x81, 0x9F, 0xE0, 0xFC});
  const char* path = "C:\\Users\\Jos\xE9\\Report.exe";
  EXPECT_STREQ(FileNamePart(path), "Jos\xE9\\Report.exe");
  EXPECT_EQ(WholeCharsLength("Jos\xE9", 4), 3);
  EXPECT_EQ(ToLowerCp932("\xE9" "A"), "\xE9" "A");
  EXPECT_TRUE(IsLeadByte(0x81) && IsLeadByte(0x9F) && IsLeadByte(0xE0) && IsLeadByte(0xFC));
  EXPECT_FALSE(IsLeadByte(0x80) || IsLeadByte(0xA0) || IsLeadByte(0xDF) || IsLeadByte(0xFD));
  // The default is the same table.
  UseCp932LeadBytes();
  EXPECT_STREQ(FileNamePart(path), "Jos\xE9\\Report.exe");
}

TEST_F(LeadByteTableTest, OtherDoubleByteCodePages) {
  // cp936: 81-FE lead, so FD 5C is one character.
  Use({0x81, 0xFE});
  EXPECT_STREQ(FileNamePart("a\\b\xFD\\c"), "b\xFD\\c");
  EXPECT_EQ(WholeCharsLength("\xFE\x41\xFE\x41", 3), 2);
  // Pairs after the 0, 0 end are not read; a range never makes NUL a lead byte.
  const unsigned char ranges[] = {0x00, 0x05, 0x00, 0x00, 0x41, 0x5A};
  SetLeadByteRanges(ranges, sizeof ranges);
  EXPECT_FALSE(IsLeadByte(0x00));
  EXPECT_TRUE(IsLeadByte(0x05));
  EXPECT_FALSE(IsLeadByte(0x41));
  EXPECT_EQ(WholeCharsLength("\x05", 5), 0);
  // An odd count leaves the last half pair out.
  const unsigned char odd[] = {0xA1, 0xA2, 0xB0};
  SetLeadByteRanges(odd, sizeof odd);
  EXPECT_TRUE(IsLeadByte(0xA2));
  EXPECT_FALSE(IsLeadByte(0xB0));
}

TEST_F(LeadByteTableTest, Utf8AsTheAnsiCodePage) {
  UseUtf8Text();
  // é is C3 A9, 表 E8 A1 A8, U+20BB7 F0 A0 AE B7.
  EXPECT_EQ(WholeCharsLength("a\xC3\xA9", 2), 1);
  EXPECT_EQ(WholeCharsLength("a\xC3\xA9", 3), 3);
  EXPECT_EQ(WholeCharsLength("\xE8\xA1\xA8\xE8\xA1\xA8", 5), 3);
  EXPECT_EQ(WholeCharsLength("\xF0\xA0\xAE\xB7x", 4), 4);
  EXPECT_EQ(WholeCharsLength("\xF0\xA0\xAE\xB7x", 3), 0);
  // A sequence cut short at the end is no character; a first byte without its
  // continuation is a byte of its own.
  EXPECT_EQ(WholeCharsLength("ab\xE8\xA1", 10), 2);
  EXPECT_EQ(WholeCharsLength("\xC3(", 10), 2);
  EXPECT_STREQ(FileNamePart("C:\\Jos\xC3\xA9\\a.txt"), "a.txt");
  EXPECT_EQ(ToLowerCp932("\xC3\x89" "A\xE8\xA1\xA8" "B"), "\xC3\x89" "a\xE8\xA1\xA8" "b");
  const char* text = "x\xE8\xA1\xA8" "ABC";
  EXPECT_EQ(FindNoCaseCp932(text, "\xE8\xA1\xA8" "abc"), text + 1);
  EXPECT_EQ(FindNoCaseCp932("\xE8\xA1", "\xE8\xA1\xA8"), nullptr);
}
}  // namespace

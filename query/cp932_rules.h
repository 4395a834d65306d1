// cp932 is multi-byte: a second byte can be 0x5C ('\') or 'A'..'Z'. Every split
// at a backslash and every case fold of machine text goes through these, never
// through byte-wise searches. Portable.
#pragma once
#include <cstddef>
#include <string>

bool IsCp932LeadByte(unsigned char c);

// Length in bytes of the character starting at s (1 or 2; 1 at a truncated lead byte).
std::size_t Cp932CharLength(const char* s);

// The last '\' that is a character of its own (not a trail byte), or nullptr.
const char* FindLastBackslash(const char* path);
// The text after that backslash; the whole text when there is none.
const char* FileNamePart(const char* path);
// The folder part up to and including the last backslash ("" when there is none).
std::string FolderPart(const char* path);

// ASCII letters of single-byte characters folded; double-byte characters kept.
std::string ToLowerCp932(const std::string& text);
std::string ToUpperCp932(const std::string& text);
void LowerCp932InPlace(char* text);

// Case-insensitive comparisons and search on character boundaries.
bool EqualsNoCaseCp932(const char* a, const char* b);
bool StartsWithNoCaseCp932(const char* text, const char* prefix);
bool EndsWithNoCaseCp932(const char* text, const char* suffix);
// First match of needle in text without regard to case, starting only at a
// character boundary; nullptr when absent. An empty needle matches at text.
const char* FindNoCaseCp932(const char* text, const char* needle);
// Case-sensitive search on character boundaries.
const char* FindCp932(const char* text, const char* needle);

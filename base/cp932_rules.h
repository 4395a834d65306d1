// Machine text is in the system's ANSI code page, multi-byte on the target
// systems (cp932: a second byte can be 0x5C ('\') or 'A'..'Z'). Every split at
// a backslash, every case fold and every cut of machine text goes through
// these, never through byte-wise searches or byte counts. Portable.
//
// The lead bytes are a process-wide table: cp932's until the program hands
// over those of the running system at start-up, so a cp1252 system (no lead
// bytes) is not read as Japanese. The "Cp932" names below follow that table.
#pragma once
#include <cstddef>
#include <string>

// Lead-byte ranges as GetCPInfo gives them: pairs of first and last byte,
// ended by a 0, 0 pair or by `size`. No pairs means a single-byte code page.
// Call before any other thread reads text.
void SetLeadByteRanges(const unsigned char* ranges, std::size_t size);
// Back to cp932's ranges (81-9F, E0-FC).
void UseCp932LeadBytes();
// A system whose ANSI code page is UTF-8 (65001), which GetCPInfo describes
// without lead bytes: characters of up to four bytes.
void UseUtf8Text();

// True when c starts a character of more than one byte.
bool IsLeadByte(unsigned char c);

// Length in bytes of the character starting at s (1 at a character cut short).
std::size_t AnsiCharLength(const char* s);

// Bytes of the longest run of whole characters at the start of `text` that
// fits in `limit` bytes, for printing with "%.*s": a cut never falls between
// the bytes of a character. The text ends at its NUL (or after `size` bytes);
// a character cut short there is not a whole character. No byte beyond
// `limit` (or `size`) is read: the text need not be terminated.
int WholeCharsLength(const char* text, int limit);
int WholeCharsLength(const std::string& text, int limit);
int WholeCharsLength(const char* text, std::size_t size, int limit);

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

// Rules of the document-program sections that need no platform call: the PDF
// program kind and generation, the player folder text and the language list.
// Portable.
#pragma once
#include <string>

// 1 for "AcroRd32.exe", 0 for "Acrobat.exe" after the last backslash (any
// case), -2 for anything else and for a path without a backslash.
int IsReaderExePath(const char* path);

// "X", "XI", "DC15".."DC21" or the plain major, as the verdict line names it.
std::string AcrobatGenerationName(unsigned major);

// The command of "AcroExch.Document.7\shell\Read\command" reduced to its
// executable: cut before "\" \"" when that stands after the first byte, then
// every double quote removed.
std::string AcroReadCommandPath(const std::string& command);

// Which Program Files placeholder a lower-cased folder text holds.
enum class PlayerPlaceholder { None, ProgramFilesX86, ProgramFiles };
PlayerPlaceholder FindPlayerPlaceholder(const std::string& lowered);
const char* PlayerPlaceholderText(PlayerPlaceholder which);
// Every occurrence of `from` (matched on character boundaries) replaced by `to`.
std::string ReplaceAllCp932(const std::string& text, const std::string& from, const std::string& to);
// Double quotes at both ends and backslashes at the end removed.
std::string TrimPlayerDirectory(const std::string& folder);

// Walks a comma-separated list of decimal language ids; true when one equals
// `language`. Lists shorter than two characters mean "no check" (see
// IsLanguageCheckOn).
bool IsLanguageCheckOn(const char* list);
bool LanguageListContains(const char* list, unsigned long language);

// How a report line is finished. Portable.
#pragma once
#include <cstdarg>
#include <string>

// An empty text or one whose last byte is not '\n' gets "\n" appended.
void ApplyNewlineRule(std::string& line);

// printf rules, no length limit. Returns false when the format cannot be used
// or memory runs out (then *outOfMemory, when given, is set); the line is then
// left empty.
bool FormatLineV(std::string& out, const char* format, std::va_list args, bool* outOfMemory = nullptr);

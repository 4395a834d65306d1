// Modlist6's command-line rule for the pipe name. Portable.
#pragma once
#include <cstddef>
#include <string>

// The text after the last "-" when an "n" follows it; false when there is none
// (standard streams are used then).
bool FindPipeName(const char* commandTail, std::string& name);

// "\\.\pipe\" + name into a buffer of bufferSize bytes; false, with nothing
// written past the buffer, when it does not fit.
bool BuildPipePath(const std::string& name, char* buffer, std::size_t bufferSize);

// The command-line tail: the text after the program's own name (quoted or not)
// and the blanks that follow it.
const char* CommandLineTail(const char* commandLine);

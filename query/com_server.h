// The program HKEY_CLASSES_ROOT registers as the OLE server of a document type:
// extension -> content type and MIME database, or ProgID -> CLSID -> server.
#pragma once
#include <windows.h>

#include <string>

// The registered server text (may hold quotes and arguments) in buffer, or
// nullptr. Traces what it finds in Analysis details.
wchar_t* GetOleServerPath(const char* extensionKey, wchar_t* buffer, DWORD sizeBytes);
// The first of the in-process / local server keys, native then Wow6432Node.
wchar_t* GetClsidServerPath(const wchar_t* clsid, wchar_t* buffer, DWORD sizeBytes);

// The executable of a registered server text, ANSI: a quoted path without its
// quotes and arguments; an unquoted text that is no file is read the way
// Windows reads an unquoted command line (the longest part before a blank that
// names a file), and kept whole when no part does.
std::string ServerExecutablePath(const wchar_t* registered);

// UTF-16 text in the ANSI code page; characters it lacks become '?'.
std::string WideToAnsi(const wchar_t* text);

// The four server key patterns, in search order; %ls takes the CLSID.
extern const wchar_t* const kClsidServerKeyPatterns[4];

// The Microsoft Office section: the OLE servers of nine document types, their
// versions and bitness, Click-to-Run values, the macro editor and the viewer
// control, then a per-extension registry walk in Analysis details.
#pragma once

void CheckOffice(const char* upper, const char* lower);
// onWow64: whether Report runs as a 32-bit program on 64-bit Windows.
void CheckOffice(const char* upper, const char* lower, bool onWow64);
void DumpOfficeDetails(const char* upper, const char* lower);
void DumpOfficeDetails(const char* upper, const char* lower, bool onWow64);

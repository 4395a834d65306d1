// The printer list: every local and connected printer with its attributes,
// queue and driver details, marking printers that look virtual.
#pragma once
#include <windows.h>
#include <winspool.h>

#include <cstddef>

// The section lists the spooler's printers; a test passes an enumeration that
// fails as a stopped spooler does.
void ListPrinters(decltype(&EnumPrintersA) enumPrinters = EnumPrintersA);
// One string field of a returned printer record; a pointer outside the
// record's buffer is reported and never read.
void WritePrinterField(const char* name, const char* text, const void* bufferStart, std::size_t bufferSize);

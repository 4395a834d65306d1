// The printer list: every local and connected printer with its attributes,
// queue and driver details, marking printers that look virtual.
#pragma once
#include <windows.h>

#include <cstddef>

void ListPrinters();
// One string field of a returned printer record; a pointer outside the
// record's buffer is reported and never read.
void WritePrinterField(const char* name, const char* text, const void* bufferStart, std::size_t bufferSize);

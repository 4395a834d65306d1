// Rules of the printer list that need no platform call. Portable.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Appends ";Queued", ";Direct", ... for each attribute bit, in bit order.
std::string& GetPrinterAttributeNames(std::uint32_t attributes, std::string& text);

// A provider beginning (case-sensitively) with one of the known makers.
bool isKnownProvider(const char* provider);

// A driver of an unknown provider with neither a hardware id nor a monitor.
bool IsVirtualPrinterCandidate(bool knownProvider, bool hasHardwareId, bool hasMonitor);
// The candidate without duplex and with little private driver data.
bool IsVirtualPrinter(std::uint32_t duplex, bool candidate, std::uint32_t driverDataBytes);

// A size reported by a size query is used only between 1 and 0xFFFFF bytes.
bool IsPrinterBufferSizeUsable(std::uint32_t size);

// Where a string pointer of a returned printer record points.
enum class PrinterFieldPlace { Null, Inside, Outside };
struct PrinterField {
  PrinterFieldPlace place;
  std::size_t length;  // bytes of text before its terminator or the buffer's end
};
// Only a pointer strictly after the buffer start and before its end is read,
// and never beyond the end of the buffer.
PrinterField ClassifyPrinterField(const char* text, const void* bufferStart, std::size_t bufferSize);

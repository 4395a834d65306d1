#include "probes/system/printer_rules.h"

#include <cstring>

namespace {
const char* const kAttributeNames[] = {
    ";Queued",   ";Direct",          ";Default",         ";Shared", ";Network",   ";Hidden",
    ";Local",    ";EnableDevq",      ";KeepPrintedJobs", ";DoCompleteFirst", ";Offline", ";EnableBidi",
    ";RawOnly",  ";Published",       ";Fax",             ";TS",
};

const char* const kKnownProviders[] = {
    "Brother", "Canon", "Dell",    "Eastman Kodak", "EPSON", "Fuji",    "Generic", "HP",    "KONICA",
    "KYOCERA", "Lexmark", "Microsoft", "OKI",      "RICOH", "Samsung", "TOSHIBA", "Xerox",
};

const std::uint32_t kMaxPrinterBuffer = 0xFFFFF;
const std::uint32_t kVirtualDriverDataBelow = 0x5DC;
}  // namespace

std::string& GetPrinterAttributeNames(std::uint32_t attributes, std::string& text) {
  for (unsigned bit = 0; bit < sizeof kAttributeNames / sizeof kAttributeNames[0]; ++bit) {
    if (attributes & (1u << bit)) text += kAttributeNames[bit];
  }
  return text;
}

bool isKnownProvider(const char* provider) {
  if (provider == nullptr) return false;
  for (const char* known : kKnownProviders) {
    if (std::strncmp(provider, known, std::strlen(known)) == 0) return true;
  }
  return false;
}

bool IsVirtualPrinterCandidate(bool knownProvider, bool hasHardwareId, bool hasMonitor) {
  return !knownProvider && !hasHardwareId && !hasMonitor;
}

bool IsVirtualPrinter(std::uint32_t duplex, bool candidate, std::uint32_t driverDataBytes) {
  return duplex == 0 && candidate && driverDataBytes < kVirtualDriverDataBelow;
}

bool IsPrinterBufferSizeUsable(std::uint32_t size) { return size >= 1 && size <= kMaxPrinterBuffer; }

PrinterField ClassifyPrinterField(const char* text, const void* bufferStart, std::size_t bufferSize) {
  if (text == nullptr) return {PrinterFieldPlace::Null, 0};
  const auto p = reinterpret_cast<std::uintptr_t>(text);
  const auto start = reinterpret_cast<std::uintptr_t>(bufferStart);
  if (bufferStart == nullptr || p <= start || p - start >= bufferSize) return {PrinterFieldPlace::Outside, 0};
  const std::size_t room = bufferSize - static_cast<std::size_t>(p - start);
  const void* nul = std::memchr(text, '\0', room);
  const std::size_t length = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : room;
  return {PrinterFieldPlace::Inside, length};
}

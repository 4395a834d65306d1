#include "probes/system/printers.h"

#include <winspool.h>

#include <cstdint>
#include <string>
#include <vector>

#include "log/report_log.h"
#include "probes/system/printer_rules.h"
#include "base/owner.h"
#include "query/module_line_rules.h"

namespace {
const DWORD kEnumFlags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;

struct PrinterHandleTraits {
  using value_type = HANDLE;
  static HANDLE invalid() { return nullptr; }
  static bool valid(HANDLE h) { return h != nullptr; }
  static void close(HANDLE h) { ClosePrinter(h); }
};
using UniquePrinter = Owned<PrinterHandleTraits>;

typedef DWORD(WINAPI* GetPrinterDataExFn)(HANDLE, LPCSTR, LPCSTR, LPDWORD, LPBYTE, DWORD, LPDWORD);
typedef DWORD(WINAPI* EnumPrinterDataExFn)(HANDLE, LPCSTR, LPBYTE, DWORD, LPDWORD, LPDWORD);

// How a size query and the second call ended.
enum class Fetch { SizeFailed, ReadFailed, Done };

// Two-call sizing: a size query expected to fail with ERROR_INSUFFICIENT_BUFFER,
// then one read into a buffer of the reported size (within the bound).
template <class Call>
Fetch FetchRecord(Call call, std::vector<BYTE>& buffer, DWORD& error, DWORD& size) {
  size = 0;
  const BOOL sized = call(nullptr, 0, &size);
  error = GetLastError();
  if (sized || error != ERROR_INSUFFICIENT_BUFFER || !IsPrinterBufferSizeUsable(size)) {
    if (sized) error = 0;
    return Fetch::SizeFailed;
  }
  buffer.assign(size, 0);
  DWORD needed = 0;
  if (!call(buffer.data(), size, &needed)) {
    error = GetLastError();
    return Fetch::ReadFailed;
  }
  return Fetch::Done;
}

void WriteQueueDetails(HANDLE printer) {
  std::vector<BYTE> buffer;
  DWORD error = 0, size = 0;
  const Fetch fetch = FetchRecord(
      [printer](BYTE* b, DWORD n, DWORD* needed) { return GetPrinterA(printer, 2, b, n, needed); }, buffer, error,
      size);
  if (fetch == Fetch::SizeFailed) {
    WriteDetailLine("!GetPrinter %lu, %lx \n", static_cast<unsigned long>(error), static_cast<unsigned long>(size));
    return;
  }
  if (fetch == Fetch::ReadFailed) {
    WriteDetailLine("!GetPrinter2 %lu, %lx \n", static_cast<unsigned long>(error), static_cast<unsigned long>(size));
    return;
  }
  const auto* info = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
  const void* start = buffer.data();
  std::string processor, datatype;
  auto inside = [&](const char* text) {
    const PrinterField field = ClassifyPrinterField(text, start, buffer.size());
    return field.place == PrinterFieldPlace::Inside ? std::string(text, field.length) : std::string();
  };
  processor = inside(info->pPrintProcessor);
  datatype = inside(info->pDatatype);
  WriteDetailLine(" Attributes=%lx, Status=%lx, Processor=%s, Datatype=%s \n",
                  static_cast<unsigned long>(info->Attributes), static_cast<unsigned long>(info->Status),
                  processor.c_str(), datatype.c_str());
  WritePrinterField("DriverName", info->pDriverName, start, buffer.size());
  WritePrinterField("ServerName", info->pServerName, start, buffer.size());
  WritePrinterField("ShareName", info->pShareName, start, buffer.size());
  WritePrinterField("Comment", info->pComment, start, buffer.size());
  WritePrinterField("Location", info->pLocation, start, buffer.size());
  WritePrinterField("SepFile", info->pSepFile, start, buffer.size());
  WritePrinterField("Parameters", info->pParameters, start, buffer.size());
}

void WriteDriverPath(HANDLE printer) {
  std::vector<BYTE> buffer;
  DWORD error = 0, size = 0;
  const Fetch fetch = FetchRecord(
      [printer](BYTE* b, DWORD n, DWORD* needed) { return GetPrinterDriverA(printer, nullptr, 5, b, n, needed); },
      buffer, error, size);
  if (fetch == Fetch::SizeFailed) {
    WriteDetailLine("!GetPrinter %lu, %lx \n", static_cast<unsigned long>(error), static_cast<unsigned long>(size));
    return;
  }
  if (fetch == Fetch::ReadFailed) {
    WriteDetailLine("!GetPrinterDriver5 %lu, %lx \n", static_cast<unsigned long>(error),
                    static_cast<unsigned long>(size));
    return;
  }
  const auto* info = reinterpret_cast<const DRIVER_INFO_5A*>(buffer.data());
  WritePrinterField("DriverPath", info->pDriverPath, buffer.data(), buffer.size());
}

// Level-6 driver details; true when the driver looks like a software printer's.
bool WriteDriverDetails(HANDLE printer) {
  std::vector<BYTE> buffer;
  DWORD error = 0, size = 0;
  const Fetch fetch = FetchRecord(
      [printer](BYTE* b, DWORD n, DWORD* needed) { return GetPrinterDriverA(printer, nullptr, 6, b, n, needed); },
      buffer, error, size);
  if (fetch == Fetch::SizeFailed) {
    WriteDetailLine("!GetPrinter %lu, %lx \n", static_cast<unsigned long>(error), static_cast<unsigned long>(size));
    return false;
  }
  if (fetch == Fetch::ReadFailed) {
    WriteDetailLine("!GetPrinterDriver6 %lu, %lx \n", static_cast<unsigned long>(error),
                    static_cast<unsigned long>(size));
    return false;
  }
  const auto* info = reinterpret_cast<const DRIVER_INFO_6A*>(buffer.data());
  const void* start = buffer.data();
  WritePrinterField("pMonitorName", info->pMonitorName, start, buffer.size());
  WritePrinterField("pszOEMUrl", info->pszOEMUrl, start, buffer.size());
  WritePrinterField("pszHardwareID", info->pszHardwareID, start, buffer.size());
  WritePrinterField("pszProvider", info->pszProvider, start, buffer.size());
  // A provider pointer outside the record is not read: it counts as missing.
  const PrinterField provider = ClassifyPrinterField(info->pszProvider, start, buffer.size());
  const std::string providerText =
      provider.place == PrinterFieldPlace::Inside ? std::string(info->pszProvider, provider.length) : std::string();
  const bool known = provider.place == PrinterFieldPlace::Inside && isKnownProvider(providerText.c_str());
  WriteDetailLine(" isKnownProvider=%d", known ? 1 : 0);
  return IsVirtualPrinterCandidate(known, info->pszHardwareID != nullptr, info->pMonitorName != nullptr);
}

void WritePrinterData(HANDLE printer, bool candidate) {
  HMODULE winspool = GetModuleHandleA("winspool.drv");
  if (winspool == nullptr) return;
  auto getData = reinterpret_cast<GetPrinterDataExFn>(
      reinterpret_cast<void*>(GetProcAddress(winspool, "GetPrinterDataExA")));
  auto enumData = reinterpret_cast<EnumPrinterDataExFn>(
      reinterpret_cast<void*>(GetProcAddress(winspool, "EnumPrinterDataExA")));
  if (getData == nullptr || enumData == nullptr) return;
  DWORD duplex = 0, extent = 0, needed = 0, bytes = 0, values = 0;
  getData(printer, "DsDriver", "printDuplexSupported", nullptr, reinterpret_cast<BYTE*>(&duplex), sizeof duplex,
          &needed);
  getData(printer, "DsDriver", "printMaxXExtent", nullptr, reinterpret_cast<BYTE*>(&extent), sizeof extent, &needed);
  enumData(printer, "PrinterDriverData", nullptr, 0, &bytes, &values);
  WriteDetailLine(" Duplex=%lu Extent=%lx Data=%lu %lu unknown=%d", static_cast<unsigned long>(duplex),
                  static_cast<unsigned long>(extent), static_cast<unsigned long>(values),
                  static_cast<unsigned long>(bytes), candidate ? 1 : 0);
  if (IsVirtualPrinter(duplex, candidate, bytes)) WriteDetailLine(" 仮想プリンタ");
}
}  // namespace

void WritePrinterField(const char* name, const char* text, const void* bufferStart, std::size_t bufferSize) {
  const PrinterField field = ClassifyPrinterField(text, bufferStart, bufferSize);
  if (field.place == PrinterFieldPlace::Null) return;
  if (field.place == PrinterFieldPlace::Outside) {
    WriteDetailLine(" %s ptr=%llx ※不正なポインタ \n", name,
                    static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(text)));
    return;
  }
  if (field.length == 0) return;
  // Comments and locations are typed by users and may hold line breaks.
  const std::string value = WithoutControls(std::string(text, field.length));
  WriteDetailLine(" %s=%s \n", name, value.c_str());
}

void ListPrinters(decltype(&EnumPrintersA) enumPrinters) {
  DWORD needed = 0, returned = 0;
  enumPrinters(kEnumFlags, nullptr, 5, nullptr, 0, &needed, &returned);
  if (needed == 0) {
    WriteDetailLine("プリンタ一覧不可 %lx\n", static_cast<unsigned long>(GetLastError()));
    WriteUserLine("★プリンタなし \n");
    return;
  }
  std::vector<BYTE> buffer;
  bool listed = false;
  if (IsPrinterBufferSizeUsable(needed)) {
    buffer.assign(needed, 0);
    listed = enumPrinters(kEnumFlags, nullptr, 5, buffer.data(), needed, &needed, &returned) != FALSE;
  } else {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
  }
  if (!listed) {
    WriteDetailLine("プリンタ一覧不可 %lx\n", static_cast<unsigned long>(GetLastError()));
    WriteUserLine("★プリンタ一覧不可 \n");
    return;
  }
  const auto* entries = reinterpret_cast<const PRINTER_INFO_5A*>(buffer.data());
  // The count cannot exceed what the buffer holds.
  const DWORD count = returned <= needed / sizeof(PRINTER_INFO_5A) ? returned : needed / sizeof(PRINTER_INFO_5A);
  for (DWORD i = 0; i < count; ++i) {
    const PRINTER_INFO_5A& entry = entries[i];
    const PrinterField nameField = ClassifyPrinterField(entry.pPrinterName, buffer.data(), buffer.size());
    const PrinterField portField = ClassifyPrinterField(entry.pPortName, buffer.data(), buffer.size());
    const std::string name =
        nameField.place == PrinterFieldPlace::Inside ? std::string(entry.pPrinterName, nameField.length) : "";
    const std::string port =
        portField.place == PrinterFieldPlace::Inside ? std::string(entry.pPortName, portField.length) : "";
    std::string attributes;
    GetPrinterAttributeNames(entry.Attributes, attributes);
    WriteSupportLine("Type=%s, PortName=%s, Name=%s", attributes.c_str(), WithoutControls(port).c_str(),
                     WithoutControls(name).c_str());

    HANDLE raw = nullptr;
    if (!OpenPrinterA(const_cast<char*>(name.c_str()), &raw, nullptr)) {
      WriteDetailLine("!OpenPrinter %lu \n", static_cast<unsigned long>(GetLastError()));
      continue;
    }
    UniquePrinter printer(raw);
    WriteQueueDetails(printer.get());
    WriteDriverPath(printer.get());
    const bool candidate = WriteDriverDetails(printer.get());
    WritePrinterData(printer.get(), candidate);
    WriteDetailLine("\n");
  }
  WriteUserLine("●プリンタ一覧確認 %lu台 \n", static_cast<unsigned long>(returned));
}

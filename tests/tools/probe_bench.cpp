// Per-item cost of the walks that grow with the machine, timed with the
// Report log in memory (no views), for `make bench`. Usage:
//   probe_bench files <folder with its final backslash> [floor]   the product-module scan of "*.*"
//   probe_bench keys <subkey of HKLM> [floor]                      the registry dump of that key
//   probe_bench sections                                           the heavy sections, one by one
// Prints one line each: what was walked, items, milliseconds, microseconds per
// item and the peak working set. With "floor", the walk and the platform's
// own calls for the same items (the version calls alone; a bare enumeration
// of the same keys and values) are timed twice each, alternately, and one
// more line compares the faster of each:
//   floor <item>: report <ms> platform <ms> ratio <x.xx>
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "log/report_log.h"
#include "probes/browser/chrome_edge.h"
#include "probes/browser/ie_addons.h"
#include "probes/system/virtual_devices.h"
#include "probes/process/product_modules.h"
#include "query/registry_search.h"

namespace {
double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Entries the scan takes: all but "." names, up to its bound of 10,000.
unsigned long CountFiles(const std::string& folder) {
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA((folder + "*.*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return 0;
  unsigned long count = 0;
  do {
    if (entry.cFileName[0] != '.') ++count;
  } while (count < 10000 && FindNextFileA(find, &entry));
  FindClose(find);
  return count;
}

// Keys the dump writes an opening line for.
unsigned long CountDumpedKeys() {
  const std::string text = LevelTextCopy(ReportLevel::Detail);
  unsigned long count = 0;
  for (std::size_t at = text.find(" <"); at != std::string::npos; at = text.find(" <", at + 2)) {
    if (text.compare(at, 3, " </") != 0) ++count;
  }
  return count;
}

void PrintCost(const char* what, unsigned long items, LARGE_INTEGER start, LARGE_INTEGER end) {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  const double ms = Milliseconds(start, end);
  std::printf("%-9s %6lu items %8.0f ms %8.1f us/item  report %7lu KB  peak working set %6lu KB\n", what, items, ms,
              items ? 1000.0 * ms / static_cast<double>(items) : 0.0,
              static_cast<unsigned long>(LevelTextSize(ReportLevel::Detail) / 1024),
              static_cast<unsigned long>(counters.PeakWorkingSetSize / 1024));
}

// The platform's floor for the scan: GetFileVersionInfoSizeA and
// GetFileVersionInfoA over the same files, nothing else.
void BareVersionReads(const std::string& folder) {
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA((folder + "*.*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return;
  std::vector<char> block;
  unsigned long count = 0;
  do {
    if (entry.cFileName[0] == '.') continue;
    ++count;
    const std::string path = folder + entry.cFileName;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) continue;
    block.resize(size);
    GetFileVersionInfoA(path.c_str(), 0, size, block.data());
  } while (count < 10000 && FindNextFileA(find, &entry));
  FindClose(find);
}

// The platform's floor for the dump: every key opened, every value and
// subkey enumerated, nothing written.
void BareEnumeration(HKEY parent, const char* subkey) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  std::vector<char> name(16384);
  BYTE data[1024];
  for (DWORD i = 0;; ++i) {
    DWORD nameSize = static_cast<DWORD>(name.size()), dataSize = sizeof data, type = 0;
    const LONG result = RegEnumValueA(key, i, name.data(), &nameSize, nullptr, &type, data, &dataSize);
    if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) break;
  }
  char child[1024];
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof child;
    if (RegEnumKeyExA(key, i, child, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    BareEnumeration(key, child);
  }
  RegCloseKey(key);
}

double TimeOf(void (*run)(const char*), const char* argument) {
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  run(argument);
  QueryPerformanceCounter(&end);
  return Milliseconds(start, end);
}

void PrintFloor(const char* item, void (*report)(const char*), void (*platform)(const char*), const char* argument) {
  double reportMs = 1e300, platformMs = 1e300;
  for (int round = 0; round < 2; ++round) {
    const double p = TimeOf(platform, argument);
    const double r = TimeOf(report, argument);
    if (p < platformMs) platformMs = p;
    if (r < reportMs) reportMs = r;
  }
  std::printf("floor %s: report %.0f platform %.0f ratio %.2f\n", item, reportMs, platformMs,
              platformMs > 0 ? reportMs / platformMs : 0.0);
}

// The sections that grow with the machine, each timed on its own.
void TimeSections() {
  const struct {
    const char* name;
    void (*run)();
  } sections[] = {{"chrome", [] { CheckChrome(); }},
                  {"ie-addons", [] { ListIEAddons(); }},
                  {"modules", [] { CheckProductModules(); }},
                  {"devices", [] { checkVM(); }}};
  for (const auto& section : sections) {
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    section.run();
    QueryPerformanceCounter(&end);
    PrintCost(section.name, 0, start, end);
  }
}
}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "sections") == 0) {
    TimeSections();
    return 0;
  }
  const bool floor = argc == 4 && std::strcmp(argv[3], "floor") == 0;
  if ((argc != 3 && !floor) || (std::strcmp(argv[1], "files") != 0 && std::strcmp(argv[1], "keys") != 0)) {
    std::fprintf(stderr, "usage: probe_bench files <folder\\> [floor] | keys <HKLM subkey> [floor] | sections\n");
    return 2;
  }
  const bool files = std::strcmp(argv[1], "files") == 0;
  LARGE_INTEGER start, end;
  unsigned long items = 0;
  if (files) {
    items = CountFiles(argv[2]);
    QueryPerformanceCounter(&start);
    ScanModuleFiles(argv[2], "*.*");
    QueryPerformanceCounter(&end);
  } else {
    QueryPerformanceCounter(&start);
    DumpRegKey(HKEY_LOCAL_MACHINE, argv[2], "");
    QueryPerformanceCounter(&end);
    items = CountDumpedKeys();
  }
  PrintCost(argv[1], items, start, end);
  if (floor && files) {
    PrintFloor("modules", [](const char* folder) { ScanModuleFiles(folder, "*.*"); },
               [](const char* folder) { BareVersionReads(folder); }, argv[2]);
  } else if (floor) {
    PrintFloor("devices", [](const char* key) { DumpRegKey(HKEY_LOCAL_MACHINE, key, ""); },
               [](const char* key) { BareEnumeration(HKEY_LOCAL_MACHINE, key); }, argv[2]);
  }
  return 0;
}

// Per-item cost of the walks that grow with the machine, timed with the
// Report log in memory (no views), for `make bench`. Usage:
//   probe_bench files <folder with its final backslash>   the product-module scan of "*.*"
//   probe_bench keys <subkey of HKLM>                      the registry dump of that key
//   probe_bench sections                                   the heavy sections, one by one
// Prints one line each: what was walked, items, milliseconds, microseconds per
// item and the peak working set.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <string>

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
  if (argc != 3 || (std::strcmp(argv[1], "files") != 0 && std::strcmp(argv[1], "keys") != 0)) {
    std::fprintf(stderr, "usage: probe_bench files <folder\\> | keys <HKLM subkey> | sections\n");
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
  return 0;
}

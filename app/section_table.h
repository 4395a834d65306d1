// One row per section of the worker thread, in report order.
#pragma once

enum class HeaderLevel { Support, Detail };

struct Limits {
  const char* text[3];  // limit texts in argument order
};

struct SectionRow {
  const char* header;        // first header line, exact
  const char* secondHeader;  // an optional second header line
  HeaderLevel level;
  unsigned limitIds[3];      // string-table entries, in argument order; 0 ends
  void (*probe)(const Limits&);  // nullptr while the section's probe is not built
};

extern const SectionRow kSections[];
extern const unsigned kSectionCount;

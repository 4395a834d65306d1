#include "query/registry_search.h"

#include <string>
#include <vector>

#include "base/cp932_rules.h"
#include "base/owner.h"
#include "log/report_log.h"
#include "query/module_line_rules.h"
#include "query/platform.h"

namespace {
const DWORD kNameBuffer = 1024;
const DWORD kDataBuffer = 1024;
// Value names may reach 16383 characters; a longer buffer keeps such a value
// from ending the listing of the ones after it.
const DWORD kLongValueName = 16384;

UniqueRegKey OpenForRead(HKEY root, const char* subkey) {
  UniqueRegKey key;
  if (RegOpenKeyExA(root, subkey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) key.reset();
  return key;
}

// How many subkeys and values a key holds when it was opened; a walk stops
// there without asking for one more entry.
struct KeyCounts {
  DWORD subkeys = 0;
  DWORD values = 0;
};

KeyCounts CountsOf(HKEY key) {
  KeyCounts counts;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &counts.subkeys, nullptr, nullptr, &counts.values, nullptr,
                       nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    counts.subkeys = counts.values = MAXDWORD;  // unknown: enumerate to the end
  return counts;
}

// A subkey is opened as itself, never through a registry link: a program of
// the user can link a key of the user's hive back to its parent, and a walk
// that followed such links would never end. `link` tells whether it is one.
// A link opened as itself shows its target as its only value and no subkeys;
// an ordinary key that merely holds such a value among others is walked.
UniqueRegKey OpenChild(HKEY parent, const char* name, bool& link, KeyCounts& counts) {
  UniqueRegKey key;
  link = false;
  if (RegOpenKeyExA(parent, name, REG_OPTION_OPEN_LINK, KEY_READ, key.put()) != ERROR_SUCCESS) {
    key.reset();
    return key;
  }
  counts = CountsOf(key.get());
  DWORD type = 0;
  link = counts.subkeys == 0 && counts.values == 1 &&
         RegQueryValueExA(key.get(), "SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
         type == REG_LINK;
  return key;
}

UniqueRegKey OpenKey(HKEY root, const char* subkey, int depth, bool& link, KeyCounts& counts) {
  if (depth > 0) return OpenChild(root, subkey, link, counts);
  link = false;
  UniqueRegKey key = OpenForRead(root, subkey);
  if (key) counts = CountsOf(key.get());
  return key;
}

// The name of subkey `index`, or false at the end of the enumeration.
bool EnumSubkey(HKEY key, DWORD index, char (&name)[kNameBuffer]) {
  DWORD size = kNameBuffer;
  return RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

const RegMatchEntry* SearchKey(HKEY root, const char* subkey, const char* valueName, const char* checkSubkey,
                               unsigned kind, const RegMatchEntry* table, int depth) {
  bool link = false;
  KeyCounts counts;
  UniqueRegKey key = OpenKey(root, subkey, depth, link, counts);
  if (!key || link) return nullptr;

  char value[kDataBuffer + 1] = {};
  DWORD type = 0;
  DWORD size = kDataBuffer;
  if (RegQueryValueExA(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) ==
          ERROR_SUCCESS &&
      type == REG_SZ) {
    value[size < kDataBuffer ? size : kDataBuffer] = '\0';
    RegMatchHow how = RegMatchHow::None;
    const RegMatchEntry* hit = MatchRegText(value, kind, table, &how);
    // The check subkey is the same for every entry, so one test decides them all.
    if (hit != nullptr && RegKeyExists(key.get(), checkSubkey)) {
      BlankControls(value);
      switch (how) {
        case RegMatchHow::Exact: WriteDetailLine("SearchReg all 完全一致 val=%s \n", value); break;
        case RegMatchHow::Prefix: WriteDetailLine("SearchReg top 先頭一致 val=%s \n", value); break;
        default: WriteDetailLine("SearchReg part 一部一致 val=%s \n", value); break;
      }
      return hit;
    }
  }

  char name[kNameBuffer];
  for (DWORD index = 0; index < counts.subkeys && EnumSubkey(key.get(), index, name); ++index) {
    if (depth >= kRegistryWalkDepth) {
      const std::string shown = WithoutControls(subkey);
      WriteDetailLine("SearchReg 階層が深すぎるため以下を検索せず <%.*s> \n", WholeCharsLength(shown, 199), shown.c_str());
      break;
    }
    const RegMatchEntry* hit = SearchKey(key.get(), name, valueName, checkSubkey, kind, table, depth + 1);
    if (hit != nullptr) return hit;
  }
  return nullptr;
}

void WriteValueLine(const std::string& indent, const char* name, DWORD type, const BYTE* data, DWORD size,
                    bool complete) {
  if (complete && type == REG_SZ) {
    std::string text(reinterpret_cast<const char*>(data), size);
    text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
    WriteDetailLine("%s \t nm=%s REG_SZ:%s \n", indent.c_str(), name, WithoutControls(text).c_str());
  } else if (complete && type == REG_DWORD && size == sizeof(DWORD)) {
    DWORD number = 0;
    memcpy(&number, data, sizeof number);
    WriteDetailLine("%s \t nm=%s REG_DWORD:0x%x \n", indent.c_str(), name, static_cast<unsigned>(number));
  } else {
    // Other types, a DWORD of the wrong size and data too long for the buffer:
    // type number and size, so the reader still sees the value.
    WriteDetailLine("%s \t nm=%s %d:%d \n", indent.c_str(), name, static_cast<int>(type), static_cast<int>(size));
  }
}

// What one dump may still visit; a branch wider or deeper than any real one
// ends with one line instead of hours of lines.
struct DumpBudget {
  unsigned keys;
  bool stopped;
  // Values are counted by the bytes their lines may take: a key may hold a
  // million values with names of 16,383 characters.
  unsigned long long valueBytes;
};

void DumpKey(HKEY root, const char* subkey, const std::string& indent, int depth, DumpBudget& budget) {
  --budget.keys;
  bool link = false;
  KeyCounts counts;
  UniqueRegKey key = OpenKey(root, subkey, depth, link, counts);
  // Names of keys and values may hold any character, line breaks too.
  const std::string shown = WithoutControls(subkey);
  if (!key) {
    WriteDetailLine("%s error Cannot open <%s>\n", indent.c_str(), shown.c_str());
    return;
  }
  if (link) {
    WriteDetailLine("%s ※レジストリのリンクのため省略 <%s> \n", indent.c_str(), shown.c_str());
    return;
  }
  WriteDetailLine("%s <%s> \n", indent.c_str(), shown.c_str());

  std::vector<char> name(kLongValueName);
  BYTE data[kDataBuffer];
  for (DWORD index = 0; !budget.stopped && index < counts.values; ++index) {
    if (budget.valueBytes < kLongValueName + kDataBuffer + 64) {
      WriteDetailLine("%s\t※値が多すぎるため以下を省略しました <%s> \n", indent.c_str(), shown.c_str());
      budget.stopped = true;
      break;
    }
    DWORD nameSize = kLongValueName;
    DWORD dataSize = kDataBuffer;
    DWORD type = 0;
    LONG result = RegEnumValueA(key.get(), index, name.data(), &nameSize, nullptr, &type, data, &dataSize);
    if (result == ERROR_MORE_DATA) {
      // Data larger than the buffer: ask again for the type and size only.
      nameSize = kLongValueName;
      dataSize = 0;
      if (RegEnumValueA(key.get(), index, name.data(), &nameSize, nullptr, &type, nullptr, &dataSize) !=
          ERROR_SUCCESS) {
        break;
      }
      BlankControls(name.data());
      WriteValueLine(indent, name.data(), type, data, dataSize, false);
      budget.valueBytes -= nameSize + 64;
      continue;
    }
    if (result != ERROR_SUCCESS) break;
    BlankControls(name.data());
    WriteValueLine(indent, name.data(), type, data, dataSize, true);
    budget.valueBytes -= nameSize + dataSize + 64;
  }

  const std::string childIndent = indent + "\t";
  char child[kNameBuffer];
  for (DWORD index = 0; !budget.stopped && index < counts.subkeys && EnumSubkey(key.get(), index, child); ++index) {
    if (depth >= kRegistryWalkDepth) {
      WriteDetailLine("%s\t error Too deep, not listed below <%s>\n", indent.c_str(), shown.c_str());
      break;
    }
    if (budget.keys == 0) {
      WriteDetailLine("%s\t※キーが多すぎるため以下を省略しました <%s> \n", indent.c_str(), shown.c_str());
      budget.stopped = true;
      break;
    }
    DumpKey(key.get(), child, childIndent, depth + 1, budget);
  }
  key.reset();
  WriteDetailLine("%s </%s> \n", indent.c_str(), shown.c_str());
}
}  // namespace

const RegMatchEntry* SearchReg(HKEY root, const char* subkey, const char* valueName, const char* checkSubkey,
                               unsigned kind, const RegMatchEntry* table) {
  return SearchKey(root, subkey, valueName, checkSubkey, kind, table, 0);
}

namespace {
// What the running section's dumps have left. Dumps run on one thread at a time.
unsigned g_sectionKeys = kRegistryDumpMaxKeys;
unsigned long long g_sectionValueBytes = kRegistryDumpMaxValueBytes;
}  // namespace

void ResetRegistryDumpBudget(unsigned keys, unsigned long long valueBytes) {
  g_sectionKeys = keys;
  g_sectionValueBytes = valueBytes;
}

void DumpRegKey(HKEY root, const char* subkey, const char* indent, unsigned maxKeys,
                unsigned long long maxValueBytes) {
  const unsigned keys = maxKeys < g_sectionKeys ? maxKeys : g_sectionKeys;
  const unsigned long long valueBytes = maxValueBytes < g_sectionValueBytes ? maxValueBytes : g_sectionValueBytes;
  // The key named is always opened: a spent budget then says so in its line.
  DumpBudget budget = {keys > 0 ? keys : 1, false, valueBytes};
  DumpKey(root, subkey, indent ? indent : "", 0, budget);
  const unsigned used = (keys > 0 ? keys : 1) - budget.keys;
  g_sectionKeys = used < g_sectionKeys ? g_sectionKeys - used : 0;
  const unsigned long long spent = valueBytes - budget.valueBytes;
  g_sectionValueBytes = spent < g_sectionValueBytes ? g_sectionValueBytes - spent : 0;
}

// Machine text read by the system sections: registry values against the
// virtual-machine table and service-pack texts of any length.
#include <cstddef>
#include <cstdint>
#include <string>

#include "probes/system/os_name_rules.h"
#include "probes/system/vm_name_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const unsigned kind = data[0];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  RegMatchHow how;
  const RegMatchEntry* hit = MatchRegText(text.c_str(), kind, kVMNameTable, &how);
  if ((hit == nullptr) != (how == RegMatchHow::None)) __builtin_trap();
  // The service-pack field is a fixed array that need not be terminated.
  const std::string name = OsNameText(kind & 0x0F, kind >> 4, 1 + (kind & 1), kind & 3, text.data(), text.size());
  if (name.size() > text.size() + 32) __builtin_trap();
  return 0;
}

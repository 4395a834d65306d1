// Windows names, machine names and the cached OS version code. Portable.
#pragma once
#include <cstdint>
#include <string>

// platform: 1 Windows 95 family, 2 NT. csd: the service-pack text (may be
// unterminated; at most csdSize bytes are read). productType 1 = workstation.
std::string OsNameText(unsigned major, unsigned minor, unsigned platform, unsigned productType, const char* csd,
                       std::size_t csdSize);

const char* MachineNameText(unsigned short machine);

// major in bits 24-31, minor 16-23, build 0-15; everything before 10 reads as 6.3.
std::uint32_t MakeOsVersionCode(unsigned major, unsigned build);
const std::uint32_t kOsVersionCodeBefore10 = 0x06030000;

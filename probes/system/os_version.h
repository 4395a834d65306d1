// Which Windows runs the machine, on which processor, and whether it lies in
// the supported range.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "query/version_rules.h"

// Runs the section; true when the OS is judged supported. Empty limits read
// as "6.0" (maximum) and "4.10.2" (minimum).
bool CheckOSVersion(const char* maximum, const char* minimum);
std::string GetOSName(DWORD major, DWORD minor, const OSVERSIONINFOEXA& record);
// The native machine code from IsWow64Process2 (with its Analysis line); 0 when unknown.
USHORT GetNativeMachine();
const char* GetMachineName(USHORT machine);
// Cached after the first successful call.
std::uint32_t GetOSVersionCode();

// What the section reads from the platform, gathered first so the judgement
// can be checked with any machine.
struct OsFacts {
  bool haveRecord = false;
  OSVERSIONINFOEXA record = {};
  VersionQuad kernelFile = 0;
  VersionQuad kernelProduct = 0;
  bool system64 = false;
  USHORT nativeMachine = 0;
  std::string machineTrace;  // the Analysis line of the machine query
};
OsFacts GatherOsFacts();
bool JudgeOSVersion(const OsFacts& facts, const char* maximum, const char* minimum);

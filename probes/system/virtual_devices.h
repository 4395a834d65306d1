// Whether Report runs in a virtual machine and whether a Miracast display is connected.
#pragma once
#include <windows.h>

#include "probes/system/vm_name_rules.h"

void checkVM();
// The display name of the virtual machine, or nullptr.
const wchar_t* FindVMDevice();
// The same with the system disk's name already known (nullptr: unknown).
const wchar_t* FindVMDeviceWith(bool win9x, const char* systemDiskName);
bool GetSystemDiskName(char (&name)[256]);
int GetDriveDiskNumber(char letter);
const char* GetDiskFriendlyName(int diskNumber, char* buffer, DWORD size);
const char* FindFriendlyNameByDriver(HKEY key, const char* path, const char* driver, char* buffer, DWORD size);
// "Miracast" or nullptr.
const char* FindMiracast();
const char* FindMiracastSoftwareDevice();
const char* FindMiracastVideoDriver();
const char* FindMiracastPciDisplay();
DWORD GetAttachToDesktop(const char* videoId);
DWORD GetMiracastDisplayMode(const char* classGuid);

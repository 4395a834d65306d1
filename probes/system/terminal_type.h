// Desktop or notebook/tablet, from batteries and wireless adapters.
#pragma once
#include <string>

void checkType();
bool getComputerName(std::string& name);
// The first address the resolver gives for the name; empty when none.
std::string getLocalIP(const std::string& computerName);
// localIpWireless: the adapter carrying localIp is wireless; anyWireless: the
// machine has a wireless adapter.
void isWireless(int* localIpWireless, int* anyWireless, const std::string& localIp);
int CheckPowerStatus();
int GetBatteryState();

// Adapter list bounds: the buffer grows at most this often and never beyond this size.
const int kAdapterListAttempts = 8;
const unsigned long kAdapterListMaxBytes = 16ul << 20;
const int kBatteryInterfaceLimit = 100;

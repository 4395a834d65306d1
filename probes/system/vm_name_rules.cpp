#include "probes/system/vm_name_rules.h"

const RegMatchEntry kVMNameTable[] = {
    {L"VMWare", "VMware", 0},
    {L"VirtualBox", "VBOX", 0},
    {L"VirtualPC", "CntxCorp", 0},
    {L"VirtualPC", "MS", 0x30002},  // exact, SCSI device descriptions only
    {L"VirtualPC", "Virtual HD", 0},
    {L"Parallels Desktop", "Parallels", 0x20001},  // display drivers only
    {L"Parallels Desktop", "PRL Virtual", 0},
    {L"Parallels Desktop", "Virtual  HDD", 0},
    {L"HyperV", "Virtual Disk", 0},
    {nullptr, nullptr, 0},
};

const RegMatchEntry* MatchVMName(const char* text, unsigned kind) {
  return MatchRegText(text, kind, kVMNameTable, nullptr);
}

# System sections: a virtual machine (VMware system disk in the SCSI enumeration)
# with a connected Miracast display, and Internet Explorer's registry values.
sys_reg() { seed_reg add "$@"; }
sys_disk='HKLM\SYSTEM\CurrentControlSet\Enum\SCSI\Disk&Ven_VMware_&Prod_VMware_Virtual_S\5&1ec51bf7&0&000000'
sys_reg "$sys_disk" /v FriendlyName /t REG_SZ /d 'VMware Virtual disk SCSI Disk Device'
sys_reg "$sys_disk\\Control"
sys_reg 'HKLM\SYSTEM\CurrentControlSet\Enum\SWD\WiFiDirect\Display-7a1b#Miracast\Device Parameters' \
  /v VideoID /t REG_SZ /d '{6b6a5f3e-0000-4d1e-9c55-7a1b00000001}'
sys_reg 'HKLM\SYSTEM\CurrentControlSet\Control\UnitedVideo\CONTROL\VIDEO\{6b6a5f3e-0000-4d1e-9c55-7a1b00000001}\0000' \
  /v Attach.ToDesktop /t REG_DWORD /d 1
sys_reg 'HKLM\SOFTWARE\Microsoft\Internet Explorer' /v Version /t REG_SZ /d '9.11.19041.0'
sys_reg 'HKLM\SOFTWARE\Microsoft\Internet Explorer' /v Build /t REG_SZ /d '99.19041'
# An Internet cache holding one entry of 2 MByte.
wine "$BIN64/url_cache_seed.exe" 'http://fixture.invalid/report/cached.bin' 2 > /dev/null 2>&1 < /dev/null

#include "probes/system/virtual_devices.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {
// Seeds keys under HKLM and removes, afterwards, the top-most key that did
// not exist before, so the prefix is left as it was.
class MachineKeys {
 public:
  ~MachineKeys() {
    for (auto it = created_.rbegin(); it != created_.rend(); ++it) it->reset();
  }
  void Sz(const std::string& path, const char* name, const std::string& value) {
    Track(path);
    HKEY key = Create(path);
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
  }
  void Dword(const std::string& path, const char* name, DWORD value) {
    Track(path);
    HKEY key = Create(path);
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
  }
  void Key(const std::string& path) {
    Track(path);
    RegCloseKey(Create(path));
  }

 private:
  static HKEY Create(const std::string& path) {
    HKEY key = nullptr;
    // Some hardware keys are volatile and only take volatile children.
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
        ERROR_CHILD_MUST_BE_VOLATILE) {
      RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr);
    }
    return key;
  }
  void Track(const std::string& path) {
    std::size_t at = 0;
    for (;;) {
      const std::size_t slash = path.find('\\', at);
      const std::string prefix = path.substr(0, slash);
      if (!RegKeyExistsHere(prefix)) {
        created_.push_back(std::make_unique<ScratchKey>(HKEY_LOCAL_MACHINE, prefix));
        return;
      }
      if (slash == std::string::npos) return;
      at = slash + 1;
    }
  }
  static bool RegKeyExistsHere(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  }
  std::vector<std::unique_ptr<ScratchKey>> created_;
};

std::string Narrow(const wchar_t* text) {
  if (text == nullptr) return "(none)";
  std::string s;
  for (; *text; ++text) s += static_cast<char>(*text);
  return s;
}

const char kDisplay[] = "System\\CurrentControlSet\\Services\\Class\\Display\\ReportTests0000";
const char kIde[] = "SYSTEM\\CurrentControlSet\\Enum\\IDE\\DiskReportTests\\5&1";
const char kWifi[] = "SYSTEM\\CurrentControlSet\\Enum\\SWD\\WiFiDirect\\ReportTests#Miracast";
const char kUnited[] = "SYSTEM\\CurrentControlSet\\Control\\UnitedVideo\\CONTROL\\VIDEO\\{ReportTests-Video}";
const char kVideoDriver[] = "SYSTEM\\CurrentControlSet\\Control\\Video\\{ReportTests-Old}\\0000";
const char kPci[] = "SYSTEM\\CurrentControlSet\\Enum\\PCI\\VEN_REPORTTESTS\\3&1";
const char kClass[] = "SYSTEM\\CurrentControlSet\\Control\\Class\\{ReportTests-Class}\\0001";
}  // namespace

TEST(FindVMDevice, RegistryRowsDecideWithoutADiskName) {
  {
    MachineKeys keys;
    keys.Sz(kDisplay, "DriverDesc", "Parallels Display Adapter (WDDM)");
    LogCapture log;
    EXPECT_EQ("Parallels Desktop", Narrow(FindVMDeviceWith(false, nullptr)));
    EXPECT_EQ("SearchReg top 先頭一致 val=Parallels Display Adapter (WDDM) \n", log.Detail());
    // The same text as a disk name (kind 3) is no virtual machine.
    EXPECT_EQ("(none)", Narrow(FindVMDeviceWith(false, "Parallels Display Adapter (WDDM)")));
  }
  {
    MachineKeys keys;
    keys.Sz(kIde, "FriendlyName", "VBOX HARDDISK");
    EXPECT_EQ("(none)", Narrow(FindVMDeviceWith(true, nullptr)));  // the row needs a Control subkey
    keys.Key(std::string(kIde) + "\\Control");
    EXPECT_EQ("VirtualBox", Narrow(FindVMDeviceWith(true, nullptr)));
  }
}

TEST(FindVMDevice, AKnownDiskNameAloneDecides) {
  {
    LogCapture log;
    EXPECT_EQ("VMWare", Narrow(FindVMDeviceWith(false, "VMware Virtual disk SCSI Disk Device")));
    EXPECT_EQ("System Device= VMware Virtual disk SCSI Disk Device \n", log.Detail());
  }
  EXPECT_EQ("HyperV", Narrow(FindVMDeviceWith(false, "Msft Virtual Disk")));
  MachineKeys keys;
  keys.Sz(kDisplay, "DriverDesc", "Display by VBOX");
  // An empty friendly name is a name too: it matches nothing, and the
  // registry hit only informs.
  for (const char* name : {"Samsung SSD 860 EVO 500GB", ""}) {
    LogCapture log;
    EXPECT_EQ("(none)", Narrow(FindVMDeviceWith(false, name))) << name;
    EXPECT_EQ(std::string("System Device= ") + name +
                  " \n"
                  "SearchReg part 一部一致 val=Display by VBOX \n"
                  "Finded VM Device VirtualBox \n",
              log.Detail());
  }
}

TEST(Miracast, SoftwareDeviceNeedsAttachToDesktop) {
  MachineKeys keys;
  keys.Sz(std::string(kWifi) + "\\Device Parameters", "VideoID", "{ReportTests-Video}");
  keys.Dword(std::string(kUnited) + "\\0000", "Attach.ToDesktop", 0);
  {
    LogCapture log;
    EXPECT_EQ(nullptr, FindMiracast());
    EXPECT_EQ("", log.Detail());
  }
  keys.Dword(std::string(kUnited) + "\\0001", "Attach.ToDesktop", 1);
  EXPECT_EQ(1u, GetAttachToDesktop("{ReportTests-Video}"));
  EXPECT_STREQ("Miracast", FindMiracast());
  // An empty VideoID names no device, not the VIDEO key with its other devices.
  keys.Dword(kUnited, "Attach.ToDesktop", 1);
  EXPECT_EQ(0u, GetAttachToDesktop(""));
}

TEST(Miracast, OlderDriversOnlyInform) {
  MachineKeys keys;
  keys.Sz(kVideoDriver, "MiracastDriverName", "ReportTestsMiracast.dll");
  keys.Dword(kVideoDriver, "DisplayDeviceMode", 1);
  keys.Sz(std::string(kPci) + "\\Device Parameters", "VideoID", "{ReportTests-Pci}");
  keys.Sz(std::string(kPci) + "\\Device Parameters", "ClassGUID", "{ReportTests-Class}");
  keys.Sz(kClass, "MiracastDriverName", "ReportTestsMiracast.dll");
  keys.Dword(kClass, "DisplayDeviceMode", 2);
  EXPECT_EQ(2u, GetMiracastDisplayMode("{ReportTests-Class}"));
  LogCapture log;
  EXPECT_EQ(nullptr, FindMiracast());
  EXPECT_EQ("Miracast for8.1 old finded Miracast \nMiracast for8.1 finded Miracast \n", log.Detail());
}

TEST(CheckVM, DumpsThenVerdicts) {
  {
    LogCapture log;
    checkVM();
    const std::string d = log.Detail();
    // The eight places are dumped in order, opened or not.
    const char* places[] = {"<HARDWARE\\DEVICEMAP>", "<SYSTEM\\CurrentControlSet\\Enum\\IDE>",
                            "<SYSTEM\\CurrentControlSet\\Enum\\SCSI>", "<SYSTEM\\CurrentControlSet\\Enum\\SWD>",
                            "<SYSTEM\\CurrentControlSet\\Enum\\PCI>", "<SYSTEM\\CurrentControlSet\\Control\\Video>",
                            "<SYSTEM\\CurrentControlSet\\Control\\UnitedVideo\\CONTROL\\VIDEO>",
                            "<SYSTEM\\CurrentControlSet\\Hardware Profiles\\UnitedVideo\\CONTROL\\VIDEO>"};
    std::size_t at = 0;
    for (const char* place : places) {
      const std::size_t found = d.find(place, at);
      ASSERT_NE(std::string::npos, found) << place;
      at = found;
    }
    EXPECT_EQ("●checkVM: 仮想Deviceは見つかりません \n", log.User());
  }
  MachineKeys keys;
  keys.Sz(kDisplay, "DriverDesc", "VMware SVGA 3D");
  keys.Sz(std::string(kWifi) + "\\Device Parameters", "VideoID", "{ReportTests-Video}");
  keys.Dword(std::string(kUnited) + "\\0000", "Attach.ToDesktop", 1);
  LogCapture log;
  checkVM();
  EXPECT_EQ(
      "★checkVM: It is VM. 仮想マシンとして実行 VMWare \n"
      "★checkVM: connected Miracast. Miracastで接続しています Miracast \n",
      log.User());
  EXPECT_NE(std::string::npos, log.Detail().find("\t\t <ReportTests#Miracast> \n"));
}

TEST(FindFriendlyNameByDriver, MatchesDriverIgnoringCase) {
  MachineKeys keys;
  const std::string base = "SYSTEM\\CurrentControlSet\\Enum\\ReportTestsBus";
  keys.Sz(base + "\\Disk&Ven_A\\1", "Driver", "{4d36e967-e325-11ce-bfc1-08002be10318}\\0001");
  keys.Sz(base + "\\Disk&Ven_A\\1", "FriendlyName", "Wrong Disk");
  keys.Sz(base + "\\Disk&Ven_B\\2", "Driver", "{4D36E967-E325-11CE-BFC1-08002BE10318}\\0002");
  keys.Sz(base + "\\Disk&Ven_B\\3", "Driver", "{4d36e967-e325-11ce-bfc1-08002be10318}\\0003");
  keys.Sz(base + "\\Disk&Ven_B\\3", "FriendlyName", "Right Disk");
  char buffer[256];
  EXPECT_STREQ("Right Disk", FindFriendlyNameByDriver(HKEY_LOCAL_MACHINE, base.c_str(),
                                                       "{4D36E967-E325-11CE-BFC1-08002BE10318}\\0003", buffer,
                                                       sizeof buffer));
  // A matching key without a friendly name gives no name rather than its driver text.
  EXPECT_EQ(nullptr, FindFriendlyNameByDriver(HKEY_LOCAL_MACHINE, base.c_str(),
                                              "{4d36e967-e325-11ce-bfc1-08002be10318}\\0002", buffer, sizeof buffer));
}

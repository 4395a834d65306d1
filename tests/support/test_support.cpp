#include "tests/support/test_support.h"

#include <cstdlib>
#include <vector>

#include "base/cp932_rules.h"

LogCapture::LogCapture() {
  for (int i = 0; i < 3; ++i) start_[i] = LevelTextSize(static_cast<ReportLevel>(i));
}
std::string LogCapture::User() const { return LevelTextCopy(ReportLevel::User).substr(start_[0]); }
std::string LogCapture::Support() const { return LevelTextCopy(ReportLevel::Support).substr(start_[1]); }
std::string LogCapture::Detail() const { return LevelTextCopy(ReportLevel::Detail).substr(start_[2]); }

namespace {
void DeleteTree(HKEY root, const std::string& subkey, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ | KEY_WRITE | view, &key) != ERROR_SUCCESS) return;
  for (;;) {
    char name[512];
    DWORD size = sizeof name;
    if (RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    DeleteTree(root, subkey + "\\" + name, view);
  }
  RegCloseKey(key);
  typedef LONG(WINAPI * DeleteKeyExFn)(HKEY, LPCSTR, REGSAM, DWORD);
  auto deleteEx = reinterpret_cast<DeleteKeyExFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("advapi32.dll"), "RegDeleteKeyExA")));
  if (deleteEx != nullptr) {
    deleteEx(root, subkey.c_str(), view, 0);
  } else {
    RegDeleteKeyA(root, subkey.c_str());
  }
}

HKEY CreateKey(HKEY root, const std::string& path, REGSAM view) {
  HKEY key = nullptr;
  RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr);
  return key;
}

std::string EnvFolder(const char* name) {
  const char* value = std::getenv(name);
  std::string folder = value ? value : "";
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  return folder;
}
}  // namespace

ScratchKey::ScratchKey(HKEY root, const std::string& subkey, REGSAM view)
    : root_(root), subkey_(subkey), view_(view) {
  DeleteTree(root_, subkey_, view_);
  HKEY key = CreateKey(root_, subkey_, view_);
  if (key) RegCloseKey(key);
}

ScratchKey::~ScratchKey() { DeleteTree(root_, subkey_, view_); }

void ScratchKey::CreateSubkey(const std::string& sub) {
  HKEY key = CreateKey(root_, sub.empty() ? subkey_ : subkey_ + "\\" + sub, view_);
  if (key) RegCloseKey(key);
}

void ScratchKey::SetBinary(const std::string& sub, const char* name, const void* data, DWORD size, DWORD type) {
  HKEY key = CreateKey(root_, sub.empty() ? subkey_ : subkey_ + "\\" + sub, view_);
  if (!key) return;
  RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

void ScratchKey::SetString(const std::string& sub, const char* name, const std::string& value, DWORD type) {
  SetBinary(sub, name, value.c_str(), static_cast<DWORD>(value.size() + 1), type);
}

void ScratchKey::SetDword(const std::string& sub, const char* name, DWORD value) {
  SetBinary(sub, name, &value, sizeof value, REG_DWORD);
}

void ScratchKey::SetWideString(const std::string& sub, const wchar_t* name, const std::wstring& value) {
  HKEY key = CreateKey(root_, sub.empty() ? subkey_ : subkey_ + "\\" + sub, view_);
  if (!key) return;
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

ScratchDir::ScratchDir(const std::string& name) {
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  path_ = std::string(temp) + "report_tests_" + name + "\\";
  RemoveTree(path_);
  CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchDir::~ScratchDir() { RemoveTree(path_); }

std::string ScratchDir::MakeDir(const std::string& relative) {
  std::string full = path_;
  // Create each level of the relative path.
  for (const char* p = relative.c_str(); *p != '\0'; p += AnsiCharLength(p)) {
    if (*p == '\\') CreateDirectoryA(full.c_str(), nullptr);
    full.append(p, AnsiCharLength(p));
  }
  CreateDirectoryA(full.c_str(), nullptr);
  return full + "\\";
}

std::string ScratchDir::Write(const std::string& relative, const std::string& content) {
  const std::string folder = FolderPart(relative.c_str());
  if (!folder.empty()) MakeDir(folder.substr(0, folder.size() - 1));
  const std::string full = path_ + relative;
  HANDLE file = CreateFileA(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
  }
  return full;
}

void RemoveTree(const std::string& path) {
  std::string base = path;
  if (!base.empty() && base.back() == '\\') base.pop_back();
  const DWORD attributes = GetFileAttributesA(base.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetFileAttributesA(base.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(base.c_str());
    return;
  }
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA((base + "\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      RemoveTree(base + "\\" + name);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
  }
  RemoveDirectoryA(base.c_str());
}

std::string ReadWholeFile(const std::string& path) {
  std::string content;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return content;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) content.append(buffer, read);
  CloseHandle(file);
  return content;
}

std::string Bin64() { return EnvFolder("REPORT_TEST_BIN64"); }
std::string Bin32() { return EnvFolder("REPORT_TEST_BIN32"); }
std::string Fixture64(const std::string& file) { return Bin64() + "fixtures\\x64\\" + file; }
std::string Fixture32(const std::string& file) { return Bin32() + "fixtures\\x86\\" + file; }
std::string FixtureOwn(const std::string& file) { return sizeof(void*) == 8 ? Fixture64(file) : Fixture32(file); }
std::string BinOwn() { return sizeof(void*) == 8 ? Bin64() : Bin32(); }

ChildProcess::ChildProcess(const std::string& commandLine, bool waitForInputIdle) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_)) {
    info_ = PROCESS_INFORMATION{};
    return;
  }
  if (waitForInputIdle) WaitForInputIdle(info_.hProcess, 10000);
}

ChildProcess::~ChildProcess() {
  Kill();
  if (info_.hThread) CloseHandle(info_.hThread);
  if (info_.hProcess) CloseHandle(info_.hProcess);
}

DWORD ChildProcess::Wait(DWORD ms) {
  if (!info_.hProcess) return 0;
  if (WaitForSingleObject(info_.hProcess, ms) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

void ChildProcess::Kill() {
  if (info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(info_.hProcess, 1);
    WaitForSingleObject(info_.hProcess, 5000);
  }
}

ReadyEvent::ReadyEvent() {
  static LONG counter = 0;
  name_ = "ReportTestsReady_" + std::to_string(GetCurrentProcessId()) + "_" +
          std::to_string(InterlockedIncrement(&counter));
  event_ = CreateEventA(nullptr, TRUE, FALSE, name_.c_str());
}

ReadyEvent::~ReadyEvent() {
  if (event_) CloseHandle(event_);
}

bool ReadyEvent::Wait(ChildProcess& helper, DWORD ms) {
  if (!event_ || !helper.started()) return false;
  HANDLE both[2] = {event_, helper.handle()};
  return WaitForMultipleObjects(2, both, FALSE, ms) == WAIT_OBJECT_0;
}

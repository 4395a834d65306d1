// Helpers shared by the Windows test programs.
#pragma once
#include <windows.h>

#include <string>

#include "log/report_log.h"

// What the log gained at each level since the capture began.
class LogCapture {
 public:
  LogCapture();
  std::string User() const;
  std::string Support() const;
  std::string Detail() const;

 private:
  std::size_t start_[3];
};

// A registry key under HKCU\Software\ReportTests\<name> (or another root),
// created fresh and deleted with everything below it on destruction.
class ScratchKey {
 public:
  ScratchKey(HKEY root, const std::string& subkey, REGSAM view = 0);
  ~ScratchKey();
  ScratchKey(const ScratchKey&) = delete;
  ScratchKey& operator=(const ScratchKey&) = delete;
  const std::string& path() const { return subkey_; }
  HKEY root() const { return root_; }
  void SetString(const std::string& sub, const char* name, const std::string& value, DWORD type = REG_SZ);
  void SetDword(const std::string& sub, const char* name, DWORD value);
  void SetBinary(const std::string& sub, const char* name, const void* data, DWORD size, DWORD type);
  void SetWideString(const std::string& sub, const wchar_t* name, const std::wstring& value);
  void CreateSubkey(const std::string& sub);

 private:
  HKEY root_;
  std::string subkey_;
  REGSAM view_;
};

// A fresh empty folder under the temporary folder, removed with its content.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& name);
  ~ScratchDir();
  const std::string& path() const { return path_; }  // with a final backslash
  std::string Write(const std::string& relative, const std::string& content);
  std::string MakeDir(const std::string& relative);

 private:
  std::string path_;
};

// Folders of the build: where the 64-bit and 32-bit trees put their programs
// and fixtures (with a final backslash).
std::string Bin64();
std::string Bin32();
std::string Fixture64(const std::string& file);  // bin\fixtures\x64\file
std::string Fixture32(const std::string& file);  // bin\fixtures\x86\file
// The fixture of this test program's own bitness: what it can load itself.
std::string FixtureOwn(const std::string& file);
// The folder this test program was built into.
std::string BinOwn();

// Deletes a file or folder tree; quiet when it is not there.
void RemoveTree(const std::string& path);

// Reads a whole file; empty when it cannot.
std::string ReadWholeFile(const std::string& path);

// A helper program started by a test and ended when the test is done.
class ChildProcess {
 public:
  explicit ChildProcess(const std::string& commandLine, bool waitForInputIdle = false);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  bool started() const { return info_.hProcess != nullptr; }
  DWORD id() const { return info_.dwProcessId; }
  HANDLE handle() const { return info_.hProcess; }
  DWORD Wait(DWORD ms);  // exit code, or STILL_ACTIVE on timeout
  void Kill();

 private:
  PROCESS_INFORMATION info_ = {};
};

// A named event a helper program sets when it is ready. Wait() is true once
// the helper set it, false when the helper ended first or time ran out.
class ReadyEvent {
 public:
  ReadyEvent();
  ~ReadyEvent();
  ReadyEvent(const ReadyEvent&) = delete;
  ReadyEvent& operator=(const ReadyEvent&) = delete;
  const std::string& name() const { return name_; }
  bool Wait(ChildProcess& helper, DWORD ms);

 private:
  std::string name_;
  HANDLE event_ = nullptr;
};

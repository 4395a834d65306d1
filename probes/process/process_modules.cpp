#include "probes/process/process_modules.h"

#include <aclapi.h>
#include <ntsecapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "base/owner.h"
#include "log/report_log.h"
#include "query/module_line_rules.h"
#include "query/platform.h"
#include "query/version_info.h"

ModuleHandleTable NonMicrosoftModules;
CompanionLinkRecord CompanionLink;

namespace {
const wchar_t kCompanionName[] = L"Modlist6.exe";
// Folder names tried when a name is taken; an existing folder is never used.
const int kFolderNameTries = 16;
// How long a started companion may take to open the pipe.
const DWORD kConnectTimeoutMs = 5000;
// How long StopCompanion waits for the companion to end before ending it.
const DWORD kExitTimeoutMs = 3000;
// Names tried when another program already holds a pipe name.
const int kPipeNameTries = 8;
// Whole starts tried when a foreign client took the pipe first.
const int kStartTries = 3;
// A module snapshot is finite, but its walk still has a fixed limit.
const unsigned kMaxModules = 16384;
const DWORD kPipeRejectRemoteClients = 0x00000008;  // PIPE_REJECT_REMOTE_CLIENTS

using GetNamedPipeClientProcessIdFn = BOOL(WINAPI*)(HANDLE, PULONG);
using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);

HMODULE g_resourceModule = nullptr;
bool g_linkFailed = false;
// A companion that stalled or broke off mid-answer is not started again in
// this run: the cause (a security product holding it, a dead network share)
// would only stall the next one too.
bool g_companionFailed = false;
CompanionAnswerLimits g_limits = DefaultCompanionAnswerLimits();

// The one transfer in flight on the pipe. Static, so a transfer that is still
// being cancelled never writes into a finished stack frame.
OVERLAPPED g_io = {};
HANDLE g_ioEvent = nullptr;
char g_readBuffer[4096];

// Plain copies for the emergency cleanup, which must not touch the heap or
// the C runtime of a thread that was ended mid-call.
wchar_t g_emergencyPath[MAX_PATH] = {};
wchar_t g_emergencyFolder[MAX_PATH] = {};
HANDLE volatile g_emergencyProcess = nullptr;
// The companion's folder, held open without delete sharing from its creation
// to its clean-up, so that nobody can rename it away and put another in its
// place.
HANDLE volatile g_folderHandle = nullptr;

// A security descriptor that grants the current user, and nobody else, all
// access: for the companion's folder (inherited by its file) and its pipe,
// which other accounts of a shared terminal server must not open.
class CurrentUserOnly {
 public:
  explicit CurrentUserOnly(bool inherit) {
    if (!Build(inherit)) error_ = GetLastError() != 0 ? GetLastError() : ERROR_INVALID_SECURITY_DESCR;
  }
  CurrentUserOnly(const CurrentUserOnly&) = delete;
  CurrentUserOnly& operator=(const CurrentUserOnly&) = delete;
  SECURITY_ATTRIBUTES* get() { return valid_ ? &attributes_ : nullptr; }
  DWORD error() const { return error_; }
  PSID user() const { return valid_ ? reinterpret_cast<const TOKEN_USER*>(user_.data())->User.Sid : nullptr; }
  PSID owner() const { return valid_ ? reinterpret_cast<const TOKEN_OWNER*>(owner_.data())->Owner : nullptr; }

 private:
  bool Build(bool inherit) {
    SetLastError(0);
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return false;
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0 || size > 4096) return false;
    user_.assign(size, 0);
    if (!GetTokenInformation(token.get(), TokenUser, user_.data(), size, &size)) return false;
    PSID sid = reinterpret_cast<TOKEN_USER*>(user_.data())->User.Sid;
    if (!IsValidSid(sid)) return false;
    // The owner new objects get: the user, or Administrators for an elevated one.
    size = 0;
    GetTokenInformation(token.get(), TokenOwner, nullptr, 0, &size);
    if (size == 0 || size > 4096) return false;
    owner_.assign(size, 0);
    if (!GetTokenInformation(token.get(), TokenOwner, owner_.data(), size, &size)) return false;
    acl_.assign(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid), 0);
    ACL* acl = reinterpret_cast<ACL*>(acl_.data());
    const DWORD flags = inherit ? OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE : 0;
    if (!InitializeAcl(acl, static_cast<DWORD>(acl_.size()), ACL_REVISION) ||
        !AddAccessAllowedAceEx(acl, ACL_REVISION, flags, GENERIC_ALL, sid) ||
        !InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) ||
        !SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
      return false;
    attributes_.nLength = sizeof attributes_;
    attributes_.lpSecurityDescriptor = &descriptor_;
    attributes_.bInheritHandle = FALSE;
    valid_ = true;
    return true;
  }

  std::vector<unsigned char> user_;  // TOKEN_USER, which holds the SID
  std::vector<unsigned char> owner_;  // TOKEN_OWNER
  std::vector<unsigned char> acl_;
  SECURITY_DESCRIPTOR descriptor_ = {};
  SECURITY_ATTRIBUTES attributes_ = {};
  bool valid_ = false;
  DWORD error_ = 0;
};

bool CurrentProcessIsWow64() {
  static const IsWow64ProcessFn isWow64 = GetLoadedProc<IsWow64ProcessFn>("kernel32.dll", "IsWow64Process");
  BOOL wow64 = FALSE;
  return isWow64 != nullptr && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

std::string ToAnsi(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0 || n > 32768) return std::string();
  std::string text(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, &text[0], n, nullptr, nullptr);
  text.resize(static_cast<std::size_t>(n - 1));
  return text;
}

std::wstring ToWide(const std::string& text) {
  std::wstring wide;
  for (char c : text) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));  // ASCII only
  return wide;
}

void ClosePipe() {
  CompanionLinkRecord& link = CompanionLink;
  if (link.pipe != nullptr && link.pipe != INVALID_HANDLE_VALUE) {
    CancelIo(link.pipe);
    DisconnectNamedPipe(link.pipe);
    CloseHandle(link.pipe);
  }
  link.pipe = nullptr;
  link.connected = false;
}

bool EnsureIoEvent() {
  if (g_ioEvent == nullptr) g_ioEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return g_ioEvent != nullptr;
}

void ArmIo() {
  ResetEvent(g_ioEvent);
  g_io = OVERLAPPED{};
  g_io.hEvent = g_ioEvent;
}

// After a cancel the transfer still completes; wait for that (bounded: the
// pipe handle is closed soon after in any case).
void CancelAndSettle(HANDLE pipe) {
  CancelIo(pipe);
  WaitForSingleObject(g_ioEvent, 2000);
}

enum class IoResult { Done, TimedOut, Failed };

// One read or write on the pipe that waits at most ms for the other end.
IoResult PipeTransfer(bool write, void* data, DWORD size, DWORD ms, DWORD* transferred, DWORD* error) {
  HANDLE pipe = CompanionLink.pipe;
  *transferred = 0;
  ArmIo();
  const BOOL started = write ? WriteFile(pipe, data, size, nullptr, &g_io) : ReadFile(pipe, data, size, nullptr, &g_io);
  if (!started && GetLastError() != ERROR_IO_PENDING) {
    *error = GetLastError();
    return IoResult::Failed;
  }
  bool timedOut = false;
  if (WaitForSingleObject(g_ioEvent, ms) != WAIT_OBJECT_0) {
    timedOut = true;
    CancelAndSettle(pipe);
  }
  // A transfer that finished just as it was cancelled still counts.
  if (GetOverlappedResult(pipe, &g_io, transferred, FALSE)) return IoResult::Done;
  *error = GetLastError();
  if (*error == ERROR_IO_INCOMPLETE || *error == ERROR_OPERATION_ABORTED) timedOut = true;
  return timedOut ? IoResult::TimedOut : IoResult::Failed;
}

// Waits a bounded time for the companion to end, ends it if it does not.
void EndCompanionProcess(DWORD waitMs) {
  CompanionLinkRecord& link = CompanionLink;
  if (link.process == nullptr) return;
  if (WaitForSingleObject(link.process, waitMs) != WAIT_OBJECT_0) {
    TerminateProcess(link.process, 1);
    WaitForSingleObject(link.process, 2000);
  }
  g_emergencyProcess = nullptr;
  CloseHandle(link.process);
  link.process = nullptr;
  link.processId = 0;
}

// Deletes the extracted file; an image that just ended can stay locked for a
// moment, so a refused delete is tried again for a short while.
bool DeleteCompanionFile(const std::wstring& path, DWORD* error) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (DeleteFileW(path.c_str())) return true;
    *error = GetLastError();
    if (*error == ERROR_FILE_NOT_FOUND || *error == ERROR_PATH_NOT_FOUND) return true;
    Sleep(50);
  }
  return false;
}

// Removes the companion's folder once its file is gone (a deleted file that
// a scanner still holds keeps the folder busy for a moment).
bool RemoveCompanionFolder(const std::wstring& folder, DWORD* error) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (RemoveDirectoryW(folder.c_str())) return true;
    *error = GetLastError();
    if (*error == ERROR_FILE_NOT_FOUND || *error == ERROR_PATH_NOT_FOUND) return true;
    Sleep(50);
  }
  return false;
}

// The worker may be ended at any instruction, and the emergency clean-up then
// deletes what these name: the first character is written last, so a copy
// cut short is an empty name, never a torn path.
template <std::size_t N>
void RememberForEmergency(wchar_t (&slot)[N], const std::wstring& text) {
  slot[0] = L'\0';
  MemoryBarrier();
  // A path that does not fit is not kept: a cut one would name another file.
  const std::size_t n = text.size();
  if (n == 0 || n >= N) return;
  std::memcpy(slot + 1, text.c_str() + 1, (n - 1) * sizeof(wchar_t));
  slot[n] = L'\0';
  MemoryBarrier();
  slot[0] = text[0];
}

// True when the folder is a real folder (no link) that this process's user
// owns and whose access list grants that user and nobody else. Another
// account could give its own folder such a list, but not this owner. The
// system account may be named too (Wine shows it on every file; it can
// take any file anyway).
bool IsFolderOfUserOnly(HANDLE folder, PSID user, PSID owner) {
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!GetFileInformationByHandle(folder, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
    return false;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ACL* acl = nullptr;
  PSID folderOwner = nullptr;
  if (GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &folderOwner,
                      nullptr, &acl, nullptr, &descriptor) != ERROR_SUCCESS)
    return false;
  unsigned char system[SECURITY_MAX_SID_SIZE] = {};
  DWORD systemSize = sizeof system;
  const bool haveSystem = CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &systemSize) != FALSE;
  // Windows may split an inheritable entry in two, both for the same user.
  bool only = folderOwner != nullptr && (EqualSid(folderOwner, user) || EqualSid(folderOwner, owner)) &&
              acl != nullptr && acl->AceCount > 0;
  bool userGranted = false;
  for (DWORD i = 0; only && i < acl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    only = GetAce(acl, i, reinterpret_cast<void**>(&ace)) && ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE;
    if (!only) break;
    if (EqualSid(&ace->SidStart, user))
      userGranted = true;
    else
      only = haveSystem && EqualSid(&ace->SidStart, system);
  }
  only = only && userGranted;
  LocalFree(descriptor);
  return only;
}

// A new folder for the companion in the temporary folder, named by this run's
// process id and a random number nobody can foresee; a name that exists is
// passed over, so no folder that another program made is ever used. The
// folder is open to the current user only, and stays open in g_folderHandle
// without delete sharing, so it cannot be renamed and replaced while it is in
// use. Returns the folder with its final backslash, or "" with the error.
std::wstring CreateCompanionFolder(const std::wstring& temp, DWORD* error) {
  CurrentUserOnly security(true);
  // Without the owner-only descriptor the folder would inherit the rights of
  // a temporary folder other accounts may write to.
  if (security.get() == nullptr) {
    *error = security.error();
    return std::wstring();
  }
  *error = ERROR_ALREADY_EXISTS;
  for (int i = 0; i < kFolderNameTries; ++i) {
    unsigned long random[2] = {};
    if (!RtlGenRandom(random, sizeof random)) {
      *error = GetLastError() != 0 ? GetLastError() : ERROR_GEN_FAILURE;
      break;
    }
    char name[48];
    std::snprintf(name, sizeof name, "Modlist6-%lx-%08lx%08lx", static_cast<unsigned long>(GetCurrentProcessId()),
                  random[0] & 0xFFFFFFFFUL, random[1] & 0xFFFFFFFFUL);
    const std::wstring folder = temp + ToWide(name);
    if (!CreateDirectoryW(folder.c_str(), security.get())) {
      *error = GetLastError();
      if (*error != ERROR_ALREADY_EXISTS) break;
      continue;
    }
    // Opened at once and checked: a folder swapped in between would not
    // carry this descriptor.
    UniqueHandle held(CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY | READ_CONTROL | SYNCHRONIZE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!held) {
      *error = GetLastError();
      break;
    }
    if (!IsFolderOfUserOnly(held.get(), security.user(), security.owner())) {
      // Not this run's folder any more: left alone, never used.
      *error = ERROR_ACCESS_DENIED;
      break;
    }
    g_folderHandle = held.release();
    return folder + L'\\';
  }
  return std::wstring();
}

void ReleaseFolderHandle() {
  HANDLE held = g_folderHandle;
  g_folderHandle = nullptr;
  if (held != nullptr) CloseHandle(held);
}

enum class ConnectResult { Connected, Failed, Foreign };

// Waits until the started companion connects, it ends, or the time runs out.
// A client that is not the started process is refused.
ConnectResult WaitForCompanion(HANDLE pipe, HANDLE process, DWORD processId, DWORD* error) {
  static const GetNamedPipeClientProcessIdFn clientId =
      GetLoadedProc<GetNamedPipeClientProcessIdFn>("kernel32.dll", "GetNamedPipeClientProcessId");
  const DWORD start = GetTickCount();
  bool refused = false;
  for (;;) {
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= kConnectTimeoutMs) {
      *error = WAIT_TIMEOUT;
      return refused ? ConnectResult::Foreign : ConnectResult::Failed;
    }
    ArmIo();
    DWORD e = ConnectNamedPipe(pipe, &g_io) ? ERROR_SUCCESS : GetLastError();
    if (e == ERROR_IO_PENDING) {
      HANDLE waits[2] = {g_ioEvent, process};
      const DWORD w = WaitForMultipleObjects(2, waits, FALSE, kConnectTimeoutMs - elapsed);
      if (w != WAIT_OBJECT_0) {
        CancelAndSettle(pipe);
        // The companion ended without connecting (it exits when the pipe is
        // busy), or the time ran out.
        *error = w == WAIT_OBJECT_0 + 1 ? ERROR_BROKEN_PIPE : WAIT_TIMEOUT;
        return refused ? ConnectResult::Foreign : ConnectResult::Failed;
      }
      DWORD ignored = 0;
      e = GetOverlappedResult(pipe, &g_io, &ignored, FALSE) ? ERROR_SUCCESS : GetLastError();
    }
    if (e == ERROR_SUCCESS || e == ERROR_PIPE_CONNECTED) {
      ULONG client = 0;
      if (clientId == nullptr || (clientId(pipe, &client) && client == processId)) return ConnectResult::Connected;
      WriteDetailLine("Modlist6以外の接続を拒否 %lu \n", static_cast<unsigned long>(client));
      DisconnectNamedPipe(pipe);
      refused = true;
    } else if (e == ERROR_NO_DATA) {
      DisconnectNamedPipe(pipe);  // a client came and went; listen again
    } else {
      *error = e;
      return ConnectResult::Failed;
    }
  }
}

// Creates the pipe as the first and only instance under a fresh name.
HANDLE CreateCompanionPipe(std::string& name, DWORD* error) {
  // Never a pipe that every local account may open.
  CurrentUserOnly security(false);
  if (security.get() == nullptr) {
    *error = security.error();
    return INVALID_HANDLE_VALUE;
  }
  const int first = CompanionPipeNumber(GetTickCount());
  for (int i = 0; i < kPipeNameTries; ++i) {
    name = CompanionPipeName((first + i * 7919) & 0xFFFF);
    char path[32];
    if (!CompanionPipePath(name, path, sizeof path)) break;
    HANDLE pipe =
        CreateNamedPipeA(path, PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE | FILE_FLAG_OVERLAPPED,
                         PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | kPipeRejectRemoteClients, 1, 1024, 0, 100,
                         security.get());
    if (pipe != INVALID_HANDLE_VALUE) return pipe;
    *error = GetLastError();
    // The name is taken by another pipe: try another one.
    if (*error != ERROR_ACCESS_DENIED && *error != ERROR_PIPE_BUSY) break;
  }
  return INVALID_HANDLE_VALUE;
}

// One start: pipe, process, connection. Foreign means a client other than the
// companion took the pipe and the companion could not connect.
ConnectResult StartOnce() {
  CompanionLinkRecord& link = CompanionLink;
  std::string pipeName;
  DWORD error = 0;
  if (!EnsureIoEvent()) {
    WriteDetailLine("Modlist6 との通信路を開けない \n");
    return ConnectResult::Failed;
  }
  link.pipe = CreateCompanionPipe(pipeName, &error);
  if (link.pipe == INVALID_HANDLE_VALUE) {
    link.pipe = nullptr;
    WriteDetailLine("CreateNamedPipe 失敗 %lu \n", static_cast<unsigned long>(error));
    return ConnectResult::Failed;
  }
  std::wstring commandLine;
  if (!BuildCompanionCommandLine(link.exePathW, ToWide(pipeName), 1024, commandLine)) {
    WriteDetailLine("CreateProcess 失敗 %lu \n", static_cast<unsigned long>(ERROR_FILENAME_EXCED_RANGE));
    return ConnectResult::Failed;
  }
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  // The path is the application name too, so no search along PATH can pick
  // another file.
  if (!CreateProcessW(link.exePathW.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    WriteDetailLine("CreateProcess 失敗 %lu \n", static_cast<unsigned long>(GetLastError()));
    return ConnectResult::Failed;
  }
  CloseHandle(info.hThread);
  link.process = info.hProcess;
  link.processId = info.dwProcessId;
  g_emergencyProcess = info.hProcess;
  ++link.startCount;

  const ConnectResult result = WaitForCompanion(link.pipe, link.process, link.processId, &error);
  if (result != ConnectResult::Connected) {
    WriteDetailLine("ConnectNamedPipe 失敗 %lu \n", static_cast<unsigned long>(error));
    return result;
  }
  link.connected = true;
  return ConnectResult::Connected;
}

// Deletes the file and then the folder of a link; a line says what stays
// behind.
void DeleteCompanionFiles(const std::wstring& path, const std::wstring& folder) {
  DWORD error = 0;
  if (!path.empty() && !DeleteCompanionFile(path, &error)) {
    WriteDetailLine("Modlist6.exe を削除できない %lu \n", static_cast<unsigned long>(error));
    return;
  }
  // The folder is held without delete sharing until now.
  ReleaseFolderHandle();
  if (!folder.empty() && !RemoveCompanionFolder(folder, &error))
    WriteDetailLine("Modlist6.exe のフォルダを削除できない %lu \n", static_cast<unsigned long>(error));
}

// Ends the companion at once, closes the pipe and deletes the file and its folder.
void EndLink(DWORD exitWaitMs) {
  CompanionLinkRecord& link = CompanionLink;
  EndCompanionProcess(exitWaitMs);
  ClosePipe();
  DeleteCompanionFiles(link.exePathW, link.folderW);
  ReleaseFolderHandle();
  g_emergencyPath[0] = L'\0';
  g_emergencyFolder[0] = L'\0';
  link.exePathW.clear();
  link.exePath.clear();
  link.folderW.clear();
}

void FailLink() {
  EndLink(0);
  g_companionFailed = true;
}

unsigned long Seconds(unsigned long ms) { return (ms + 999) / 1000; }
}  // namespace

void SetCompanionResourceModule(HMODULE module) { g_resourceModule = module; }
void SetCompanionAnswerLimits(const CompanionAnswerLimits& limits) { g_limits = limits; }
void ForgetCompanionFailure() { g_companionFailed = false; }

bool IsProcess64Bit(DWORD processId) {
  static const IsWow64ProcessFn isWow64 = GetLoadedProc<IsWow64ProcessFn>("kernel32.dll", "IsWow64Process");
  if (isWow64 == nullptr) return false;
  // A 64-bit build runs only on 64-bit Windows; a 32-bit one learns it from WOW64.
  if (sizeof(void*) == 4 && !CurrentProcessIsWow64()) return false;
  // Needs PROCESS_QUERY_INFORMATION; a refused open counts as not 64-bit.
  UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
  if (!process) {
    WriteDetailLine("プロセスを開けなかった %lu error=%lu", static_cast<unsigned long>(processId),
                    static_cast<unsigned long>(GetLastError()));
    return false;
  }
  BOOL wow64 = TRUE;  // a failed question leaves it: not 64-bit
  isWow64(process.get(), &wow64);
  return !wow64;
}

void ListProcessModules(DWORD processId) {
  NonMicrosoftModules.Clear();
  // Module snapshots of a process that is loading or unloading modules fail
  // with ERROR_BAD_LENGTH for a moment.
  SnapshotHandle snapshot;
  for (int attempt = 0; attempt < 100; ++attempt) {
    snapshot.reset(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId));
    if (snapshot || GetLastError() != ERROR_BAD_LENGTH) break;
  }
  if (!snapshot) {
    if (NeedsCompanion(true, CurrentProcessIsWow64(), CurrentProcessIsWow64() && IsProcess64Bit(processId)))
      ListModulesViaCompanion(processId);
    else
      WriteDetailLine("プロセス内のモジュール一覧取得できず \n");
    return;
  }
  WriteSupportLine("%s", kModuleHeaderLine);
  MODULEENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  unsigned listed = 0;
  for (BOOL more = Module32First(snapshot.get(), &entry); more && listed < kMaxModules;
       more = Module32Next(snapshot.get(), &entry), ++listed) {
    entry.szModule[sizeof entry.szModule - 1] = '\0';
    entry.szExePath[sizeof entry.szExePath - 1] = '\0';
    ModuleTexts texts;
    const std::uintptr_t handle = reinterpret_cast<std::uintptr_t>(entry.hModule);
    texts.handle = ModuleHandleHex(handle);
    texts.name = entry.szModule;
    texts.path = entry.szExePath;
    ReadModuleVersionTexts(texts);
    const std::string line = ModuleLine(texts);
    if (IsMicrosoftCompany(texts.companyName)) {
      WriteDetailLine("%s", line.c_str());
    } else {
      WriteSupportLine("%s", line.c_str());
      NonMicrosoftModules.Add(handle);
    }
    entry = MODULEENTRY32{};
    entry.dwSize = sizeof entry;
  }
}

bool ExtractResourceToFile(HMODULE module, const wchar_t* name, const wchar_t* path, DWORD* writeError) {
  DWORD ignored = 0;
  DWORD& error = writeError != nullptr ? *writeError : ignored;
  error = 0;
  HRSRC resource = FindResourceW(module, name, MAKEINTRESOURCEW(10));
  if (resource == nullptr) return false;
  const DWORD size = SizeofResource(module, resource);
  HGLOBAL loaded = size != 0 ? LoadResource(module, resource) : nullptr;
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) return false;
  UniqueHandle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    error = GetLastError();
    return false;
  }
  DWORD written = 0;
  const BOOL ok = WriteFile(file.get(), bytes, size, &written, nullptr);
  error = ok ? ERROR_WRITE_FAULT : GetLastError();
  file.reset();
  // A partly written program must never be started.
  if (!ok || written != size) {
    DeleteFileW(path);
    return false;
  }
  error = 0;
  return true;
}

namespace {
// Opens the written companion for reading, sharing reads only, and checks
// that it is a plain file holding exactly the embedded bytes. While the
// handle stays open nobody can change or replace the file, so the program
// started is the one that was written. Returns the handle or none.
HANDLE OpenWrittenCompanion(HMODULE module, const wchar_t* path) {
  HRSRC resource = FindResourceW(module, kCompanionName, MAKEINTRESOURCEW(10));
  const DWORD size = resource != nullptr ? SizeofResource(module, resource) : 0;
  HGLOBAL loaded = size != 0 ? LoadResource(module, resource) : nullptr;
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  UniqueHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!file || !GetFileInformationByHandle(file.get(), &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
      info.nNumberOfLinks != 1 || info.nFileSizeHigh != 0 || info.nFileSizeLow != size) {
    if (file) SetLastError(ERROR_FILE_INVALID);
    return nullptr;
  }
  std::vector<char> read(size);
  DWORD got = 0;
  if (!ReadFile(file.get(), read.data(), size, &got, nullptr) || got != size ||
      std::memcmp(read.data(), bytes, size) != 0) {
    SetLastError(ERROR_FILE_INVALID);
    return nullptr;
  }
  return file.release();
}
}  // namespace

bool StartCompanion() {
  CompanionLinkRecord& link = CompanionLink;
  if (link.pipe != nullptr || g_linkFailed) return link.connected;

  HMODULE module = g_resourceModule != nullptr ? g_resourceModule : GetModuleHandleW(nullptr);
  if (FindResourceW(module, kCompanionName, MAKEINTRESOURCEW(10)) == nullptr) {
    WriteDetailLine("リソースに Modlist6.exeが含まれない \n");
    return false;
  }
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathW(MAX_PATH, temp);
  std::wstring tempFolder;
  if (n > 0 && n < MAX_PATH) {
    tempFolder = temp;
    if (tempFolder.back() != L'\\') tempFolder += L'\\';
  }
  // The folder name (at most 34 characters) and the file name must fit too.
  if (tempFolder.empty() || tempFolder.size() + 35 + std::wcslen(kCompanionName) >= MAX_PATH) {
    WriteDetailLine("Modlist6.exe の展開先パスが長すぎる \n");
    return false;
  }
  // Each run writes into a folder of its own: a Modlist6.exe that another
  // program holds (a second Report, a scanner) is never in the way, and no
  // file placed beside it beforehand can be there.
  DWORD error = 0;
  const std::wstring folder = CreateCompanionFolder(tempFolder, &error);
  if (folder.empty()) {
    WriteDetailLine("Modlist6.exe のフォルダを作れない %lu \n", static_cast<unsigned long>(error));
    return false;
  }
  const std::wstring path = folder + kCompanionName;
  // Remembered before the file exists, so an emergency stop can remove them.
  RememberForEmergency(g_emergencyFolder, folder);
  RememberForEmergency(g_emergencyPath, path);
  link.folderW = folder;
  if (!ExtractResourceToFile(module, kCompanionName, path.c_str(), &error)) {
    if (error != 0)
      WriteDetailLine("Modlist6.exe を書き込めない %lu \n", static_cast<unsigned long>(error));
    else
      WriteDetailLine("リソースに Modlist6.exeが含まれない \n");
    DeleteCompanionFiles(std::wstring(), folder);
    g_emergencyPath[0] = L'\0';
    g_emergencyFolder[0] = L'\0';
    link.folderW.clear();
    return false;
  }
  link.exePathW = path;
  link.exePath = ToAnsi(path);
  UniqueHandle written(OpenWrittenCompanion(module, path.c_str()));
  if (!written) {
    WriteDetailLine("Modlist6.exe を書き込めない %lu \n", static_cast<unsigned long>(GetLastError()));
    EndLink(0);
    g_linkFailed = true;
    return false;
  }

  for (int attempt = 0; attempt < kStartTries; ++attempt) {
    const ConnectResult result = StartOnce();
    if (result == ConnectResult::Connected) return true;
    // Nothing of a failed start is kept open. The companion ends first: with
    // the pipe closed its name is free, and a started companion that has not
    // connected yet could then open another program's pipe of that name.
    EndCompanionProcess(0);
    ClosePipe();
    if (result != ConnectResult::Foreign) break;
  }
  g_linkFailed = true;  // not tried again until StopCompanion
  return false;
}

void ListModulesViaCompanion(DWORD processId) {
  if (g_companionFailed) {
    WriteDetailLine("プロセス内のモジュール一覧取得できず \n");
    return;
  }
  if (!StartCompanion()) return;
  const CompanionAnswerLimits limits = g_limits;
  // The request as a text-mode stream writes it.
  char request[24];
  const int length = std::snprintf(request, sizeof request, "%lu\r\n", static_cast<unsigned long>(processId));
  DWORD done = 0;
  DWORD error = 0;
  const IoResult sent = PipeTransfer(true, request, static_cast<DWORD>(length), limits.stallMs, &done, &error);
  if (sent == IoResult::TimedOut) {
    WriteSupportLine("Modlist6 応答タイムアウト %lu 秒 \n", Seconds(limits.stallMs));
    FailLink();
    return;
  }
  if (sent != IoResult::Done || done != static_cast<DWORD>(length)) {
    WriteSupportLine("Modlist6 への要求を送れない %lu \n", static_cast<unsigned long>(error));
    FailLink();
    return;
  }

  AnswerSplitter answer;
  const DWORD start = GetTickCount();
  unsigned long lines = 0;
  std::size_t bytes = 0;
  std::string line;
  bool tooManyLines = false;
  for (;;) {
    while (answer.Next(&line)) {
      int level = 2;
      std::string text;
      if (!ParseAnswerLine(line, &level, &text)) return;  // the empty line: the answer is whole
      if (lines >= limits.maxLines) {
        tooManyLines = true;
        break;
      }
      WriteLineAtLevel(level, text.c_str());
      ++lines;
    }
    const DWORD elapsed = GetTickCount() - start;
    if (tooManyLines || bytes >= limits.maxBytes || elapsed >= limits.answerMs) {
      WriteSupportLine("Modlist6 応答が上限を超えたため打ち切り %lu 行 \n", lines);
      FailLink();
      return;
    }
    const DWORD left = limits.answerMs - elapsed;
    const DWORD wait = left < limits.stallMs ? left : limits.stallMs;
    const IoResult got = PipeTransfer(false, g_readBuffer, sizeof g_readBuffer, wait, &done, &error);
    if (got == IoResult::Done) {
      answer.Feed(g_readBuffer, done);
      bytes += done;
      continue;
    }
    if (got == IoResult::TimedOut) {
      if (wait < limits.stallMs) continue;  // the whole answer's time is up: cut above
      WriteSupportLine("Modlist6 応答タイムアウト %lu 秒 \n", Seconds(limits.stallMs));
      FailLink();
      return;
    }
    // The companion ended or broke the pipe mid-answer: keep what arrived.
    const std::string rest = answer.Rest();
    int level = 2;
    std::string text;
    if (ParseAnswerLine(rest, &level, &text)) WriteLineAtLevel(level, text.c_str());
    WriteSupportLine("Modlist6 応答が途中で終わった \n");
    FailLink();
    return;
  }
}

void StopCompanion() {
  CompanionLinkRecord& link = CompanionLink;
  g_linkFailed = false;
  if (link.exePathW.empty()) return;
  if (link.connected) {
    // The empty request ends the companion. It must be read before the pipe
    // is disconnected, which would discard it.
    char request[] = "\r\n";
    DWORD done = 0;
    DWORD error = 0;
    PipeTransfer(true, request, 2, 1000, &done, &error);
  }
  EndLink(kExitTimeoutMs);
}

void CompanionEmergencyCleanup() {
  HANDLE process = g_emergencyProcess;
  if (process != nullptr) {
    TerminateProcess(process, 1);
    // Within the 1.5 s the dialog gives this clean-up, with room for the deletes.
    WaitForSingleObject(process, 800);
  }
  const auto gone = [] {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  };
  bool fileGone = true;
  if (g_emergencyPath[0] != L'\0') {
    fileGone = false;
    for (int attempt = 0; attempt < 10; ++attempt) {
      if (DeleteFileW(g_emergencyPath) || gone()) {
        fileGone = true;
        break;
      }
      Sleep(50);
    }
  }
  // Closing a handle is a single system call, safe at any point.
  HANDLE held = g_folderHandle;
  g_folderHandle = nullptr;
  if (held != nullptr) CloseHandle(held);
  // A folder that still holds the file cannot go; no time is spent trying.
  if (fileGone && g_emergencyFolder[0] != L'\0') {
    for (int attempt = 0; attempt < 5; ++attempt) {
      if (RemoveDirectoryW(g_emergencyFolder) || gone()) break;
      Sleep(50);
    }
  }
}

#include "probes/process/process_modules.h"

#include <fcntl.h>
#include <io.h>
#include <tlhelp32.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/report_log.h"
#include "query/module_line_rules.h"
#include "query/owner.h"
#include "query/platform.h"
#include "query/version_info.h"

ModuleHandleTable NonMicrosoftModules;
CompanionLinkRecord CompanionLink;

namespace {
const wchar_t kCompanionName[] = L"Modlist6.exe";
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

// Plain copies for the emergency cleanup, which must not touch the heap or
// the C runtime of a thread that was ended mid-call.
wchar_t g_emergencyPath[MAX_PATH] = {};
HANDLE volatile g_emergencyProcess = nullptr;

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

void ClosePipeAndStreams() {
  CompanionLinkRecord& link = CompanionLink;
  if (link.writeStream != nullptr) {
    std::fclose(link.writeStream);  // closes its descriptor and that handle too
    link.writeStream = nullptr;
    link.writeFd = -1;
  } else if (link.writeFd != -1) {
    _close(link.writeFd);
    link.writeFd = -1;
  }
  if (link.readStream != nullptr) {
    std::fclose(link.readStream);
    link.readStream = nullptr;
    link.readFd = -1;
  } else if (link.readFd != -1) {
    _close(link.readFd);
    link.readFd = -1;
  }
  if (link.pipe != nullptr && link.pipe != INVALID_HANDLE_VALUE) {
    DisconnectNamedPipe(link.pipe);
    CloseHandle(link.pipe);
  }
  link.pipe = nullptr;
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

enum class ConnectResult { Connected, Failed, Foreign };

// Polls the non-blocking pipe until the started companion connects, it ends,
// or the time runs out. A client that is not the started process is refused.
ConnectResult WaitForCompanion(HANDLE pipe, HANDLE process, DWORD processId, DWORD* error) {
  static const GetNamedPipeClientProcessIdFn clientId =
      GetLoadedProc<GetNamedPipeClientProcessIdFn>("kernel32.dll", "GetNamedPipeClientProcessId");
  const DWORD start = GetTickCount();
  bool refused = false;
  for (;;) {
    if (!ConnectNamedPipe(pipe, nullptr)) {
      const DWORD e = GetLastError();
      if (e == ERROR_PIPE_CONNECTED) {
        ULONG client = 0;
        if (clientId == nullptr || (clientId(pipe, &client) && client == processId)) return ConnectResult::Connected;
        WriteDetailLine("Modlist6以外の接続を拒否 %lu \n", static_cast<unsigned long>(client));
        DisconnectNamedPipe(pipe);
        refused = true;
      } else if (e == ERROR_NO_DATA) {
        DisconnectNamedPipe(pipe);  // a client came and went; listen again
      } else if (e != ERROR_PIPE_LISTENING) {
        *error = e;
        return ConnectResult::Failed;
      }
    }
    if (WaitForSingleObject(process, 10) == WAIT_OBJECT_0) {
      // The companion ended without connecting (it exits when the pipe is busy).
      *error = ERROR_BROKEN_PIPE;
      return refused ? ConnectResult::Foreign : ConnectResult::Failed;
    }
    if (GetTickCount() - start > kConnectTimeoutMs) {
      *error = WAIT_TIMEOUT;
      return refused ? ConnectResult::Foreign : ConnectResult::Failed;
    }
  }
}

// Creates the pipe as the first and only instance under a fresh name.
HANDLE CreateCompanionPipe(std::string& name, DWORD* error) {
  const int first = CompanionPipeNumber(GetTickCount());
  for (int i = 0; i < kPipeNameTries; ++i) {
    name = CompanionPipeName((first + i * 7919) & 0xFFFF);
    char path[32];
    if (!CompanionPipePath(name, path, sizeof path)) break;
    HANDLE pipe = CreateNamedPipeA(path, PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                   PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_NOWAIT | kPipeRejectRemoteClients, 1,
                                   1024, 0, 100, nullptr);
    if (pipe != INVALID_HANDLE_VALUE) return pipe;
    *error = GetLastError();
    // The name is taken by another pipe: try another one.
    if (*error != ERROR_ACCESS_DENIED && *error != ERROR_PIPE_BUSY) break;
  }
  return INVALID_HANDLE_VALUE;
}

bool OpenStreams() {
  CompanionLinkRecord& link = CompanionLink;
  HANDLE self = GetCurrentProcess();
  HANDLE writeHandle = nullptr;
  HANDLE readHandle = nullptr;
  // Each descriptor owns a duplicate, so closing both streams closes each
  // handle once and the pipe handle itself stays for the disconnect.
  if (!DuplicateHandle(self, link.pipe, self, &writeHandle, 0, FALSE, DUPLICATE_SAME_ACCESS)) return false;
  if (!DuplicateHandle(self, link.pipe, self, &readHandle, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    CloseHandle(writeHandle);
    return false;
  }
  link.writeFd = _open_osfhandle(reinterpret_cast<intptr_t>(writeHandle), _O_TEXT | _O_WRONLY);
  if (link.writeFd == -1) CloseHandle(writeHandle);
  link.readFd = _open_osfhandle(reinterpret_cast<intptr_t>(readHandle), _O_TEXT);
  if (link.readFd == -1) CloseHandle(readHandle);
  if (link.writeFd != -1) link.writeStream = _fdopen(link.writeFd, "wt");
  if (link.readFd != -1) link.readStream = _fdopen(link.readFd, "rt");
  return link.writeStream != nullptr && link.readStream != nullptr;
}

// One start: pipe, process, connection. Foreign means a client other than the
// companion took the pipe and the companion could not connect.
ConnectResult StartOnce() {
  CompanionLinkRecord& link = CompanionLink;
  std::string pipeName;
  DWORD error = 0;
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
  // Reads and writes on the streams block again from here on.
  DWORD mode = PIPE_READMODE_BYTE | PIPE_WAIT;
  if (!SetNamedPipeHandleState(link.pipe, &mode, nullptr, nullptr) || !OpenStreams()) {
    WriteDetailLine("Modlist6 との通信路を開けない \n");
    return ConnectResult::Failed;
  }
  return ConnectResult::Connected;
}

void HandleAnswerLine(const std::string& line, bool* ended) {
  int level = 2;
  std::string text;
  if (!ParseAnswerLine(line, &level, &text)) {
    *ended = true;
    return;
  }
  WriteLineAtLevel(level, text.c_str());
}
}  // namespace

void SetCompanionResourceModule(HMODULE module) { g_resourceModule = module; }

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
    if (!texts.path.empty()) {
      const VersionQuad version = GetFileVersionQuad(texts.path.c_str());
      if (version != 0) texts.fileVersion = VersionQuadText(version);
      ReadFileVersionInfo(texts.path.c_str(), texts.companyName, texts.originalFilename, texts.productName,
                          texts.productVersion);
    }
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

bool ExtractResourceToFile(HMODULE module, const wchar_t* name, const wchar_t* path) {
  HRSRC resource = FindResourceW(module, name, MAKEINTRESOURCEW(10));
  if (resource == nullptr) return false;
  const DWORD size = SizeofResource(module, resource);
  HGLOBAL loaded = size != 0 ? LoadResource(module, resource) : nullptr;
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) return false;
  UniqueHandle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file.get(), bytes, size, &written, nullptr);
  file.reset();
  // A partly written program must never be started.
  if (!ok || written != size) {
    DeleteFileW(path);
    return false;
  }
  return true;
}

bool StartCompanion() {
  CompanionLinkRecord& link = CompanionLink;
  if (link.pipe != nullptr || g_linkFailed) return link.writeStream != nullptr;

  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathW(MAX_PATH, temp);
  std::wstring path;
  if (n > 0 && n < MAX_PATH) {
    path = temp;
    if (path.back() != L'\\') path += L'\\';
    path += kCompanionName;
  }
  if (path.empty() || path.size() >= MAX_PATH) {
    WriteDetailLine("Modlist6.exe の展開先パスが長すぎる \n");
    return false;
  }
  // Remembered before the file exists, so an emergency stop can remove it.
  std::memcpy(g_emergencyPath, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
  HMODULE module = g_resourceModule != nullptr ? g_resourceModule : GetModuleHandleW(nullptr);
  if (!ExtractResourceToFile(module, kCompanionName, path.c_str())) {
    g_emergencyPath[0] = L'\0';
    WriteDetailLine("リソースに Modlist6.exeが含まれない \n");
    return false;
  }
  link.exePathW = path;
  link.exePath = ToAnsi(path);

  for (int attempt = 0; attempt < kStartTries; ++attempt) {
    const ConnectResult result = StartOnce();
    if (result == ConnectResult::Connected) return true;
    // Nothing of a failed start is kept open; its process is ended.
    ClosePipeAndStreams();
    EndCompanionProcess(0);
    if (result != ConnectResult::Foreign) break;
  }
  g_linkFailed = true;  // not tried again until StopCompanion
  return false;
}

void ListModulesViaCompanion(DWORD processId) {
  if (!StartCompanion()) return;
  CompanionLinkRecord& link = CompanionLink;
  std::fprintf(link.writeStream, "%lu\n", static_cast<unsigned long>(processId));
  std::fflush(link.writeStream);
  char buffer[512];
  AnswerLineJoiner joiner;
  bool ended = false;
  while (!ended && std::fgets(buffer, sizeof buffer, link.readStream) != nullptr) {
    if (!joiner.Add(buffer)) continue;  // a long line arrives in pieces
    HandleAnswerLine(joiner.line(), &ended);
    joiner.Reset();
  }
  // The companion ended or broke the pipe mid-line: keep what arrived.
  if (!ended && !joiner.empty()) HandleAnswerLine(joiner.line(), &ended);
}

void StopCompanion() {
  CompanionLinkRecord& link = CompanionLink;
  g_linkFailed = false;
  if (link.exePathW.empty()) return;
  if (link.writeStream != nullptr) {
    std::fputs("\n", link.writeStream);  // the empty request ends the companion
    std::fflush(link.writeStream);
  }
  // The companion reads its last request before the pipe is disconnected,
  // which would discard it.
  EndCompanionProcess(kExitTimeoutMs);
  ClosePipeAndStreams();
  DWORD error = 0;
  if (!DeleteCompanionFile(link.exePathW, &error))
    WriteDetailLine("Modlist6.exe を削除できない %lu \n", static_cast<unsigned long>(error));
  g_emergencyPath[0] = L'\0';
  link.exePathW.clear();
  link.exePath.clear();
}

void CompanionEmergencyCleanup() {
  HANDLE process = g_emergencyProcess;
  if (process != nullptr) {
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 2000);
  }
  if (g_emergencyPath[0] != L'\0') {
    for (int attempt = 0; attempt < 10 && !DeleteFileW(g_emergencyPath); ++attempt) {
      if (GetLastError() == ERROR_FILE_NOT_FOUND) break;
      Sleep(50);
    }
  }
}

// Modlist6: lists the modules of 64-bit processes for the 32-bit Report, over
// the pipe Report names on the command line, or over standard streams.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <tlhelp32.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/line_rules.h"
#include "base/owner.h"
#include "modlist6/pipe_name_rules.h"
#include "query/code_page.h"
#include "query/module_line_rules.h"
#include "query/system_library.h"
#include "query/version_info.h"

namespace {
FILE* g_out = nullptr;

void SendText(int level, const std::string& text) {
  if (g_out == nullptr) return;
  std::fprintf(g_out, "%c %s", '0' + level, text.c_str());
  std::fflush(g_out);
}

void SendLine(int level, const char* format, ...) __attribute__((format(gnu_printf, 2, 3)));
void SendLine(int level, const char* format, ...) {
  std::string line;
  std::va_list args;
  va_start(args, format);
  const bool ok = FormatLineV(line, format, args);
  va_end(args);
  if (!ok) return;  // dropped, the program goes on
  ApplyNewlineRule(line);
  SendText(level, line);
}

void SendModuleLine(int level, const ModuleTexts& texts) {
  std::string line = ModuleLine(texts);
  ApplyNewlineRule(line);
  SendText(level, line);
}

// The module handle as Microsoft's C runtime prints %p on x64.
std::string HandleText(const void* handle) {
  char text[32];
  std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(handle)));
  return text;
}

void ListModules(DWORD processId) {
  // Module snapshots of a process that is still starting fail with
  // ERROR_BAD_LENGTH for a while.
  SnapshotHandle snapshot;
  for (int attempt = 0; attempt < 100; ++attempt) {
    snapshot.reset(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId));
    if (snapshot || GetLastError() != ERROR_BAD_LENGTH) break;
  }
  if (!snapshot) {
    SendLine(2, "プロセス内のモジュール一覧取得できず \n");
    return;
  }
  SendLine(1, "%s", kModuleHeaderLine);
  MODULEENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Module32First(snapshot.get(), &entry); more; more = Module32Next(snapshot.get(), &entry)) {
    ModuleTexts texts;
    texts.handle = HandleText(entry.hModule);
    texts.name = entry.szModule;
    texts.path = entry.szExePath;
    ReadModuleVersionTexts(texts);
    SendModuleLine(IsMicrosoftCompany(texts.companyName) ? 2 : 1, texts);
    entry = MODULEENTRY32{};
    entry.dwSize = sizeof entry;
  }
}

// Reads one request line; the rest of a line longer than the buffer is
// skipped, so it stays one request.
bool ReadRequest(FILE* in, char (&request)[256]) {
  if (std::fgets(request, sizeof request, in) == nullptr) return false;
  if (std::strchr(request, '\n') == nullptr) {
    int c;
    while ((c = std::fgetc(in)) != EOF && c != '\n') {
    }
  }
  return true;
}

// Requests and answers alternate; 0, an empty line or the end of input ends it.
void Serve(FILE* in, FILE* out) {
  g_out = out;
  char request[256];
  while (ReadRequest(in, request)) {
    const long id = std::atol(request);
    if (id == 0) break;
    ListModules(static_cast<DWORD>(id));
    std::fputs("\n", g_out);
    std::fflush(g_out);
  }
  g_out = nullptr;
}
// How long the pipe may stay busy: Report refuses a client other than its
// companion and listens again, and waits about as long for the companion.
const DWORD kPipeBusyMs = 5000;

// Opens Report's pipe for identification only, so a server that is not
// Report cannot act as the user; while another client holds the pipe's one
// instance, waits a bounded time for it to be free again.
HANDLE OpenPipe(const char* path) {
  const DWORD start = GetTickCount();
  for (;;) {
    HANDLE pipe = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
    if (pipe != INVALID_HANDLE_VALUE || GetLastError() != ERROR_PIPE_BUSY) return pipe;
    if (GetTickCount() - start >= kPipeBusyMs) return INVALID_HANDLE_VALUE;
    if (!WaitNamedPipeA(path, 250)) Sleep(10);
  }
}
}  // namespace

// The program's entry point (see CMakeLists.txt): it starts from a folder of
// the temporary folder, so the library search is limited to the system folder
// before the C runtime runs.
extern "C" int WinMainCRTStartup();
extern "C" int Modlist6Entry() {
  RestrictLibrarySearch();
  return WinMainCRTStartup();
}

int main() {
  UseSystemLeadBytes();
  std::string name;
  if (!FindPipeName(CommandLineTail(GetCommandLineA()), name)) {
    Serve(stdin, stdout);
    return 0;
  }
  char path[32];
  if (!BuildPipePath(name, path, sizeof path)) return 1;
  HANDLE pipe = OpenPipe(path);
  if (pipe == INVALID_HANDLE_VALUE) return 1;
  // Each descriptor gets a handle of its own, so closing both streams closes
  // each handle exactly once.
  HANDLE writeHandle = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), pipe, GetCurrentProcess(), &writeHandle, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    CloseHandle(pipe);
    return 1;
  }
  const int readFd = _open_osfhandle(reinterpret_cast<intptr_t>(pipe), _O_TEXT);
  const int writeFd = _open_osfhandle(reinterpret_cast<intptr_t>(writeHandle), _O_TEXT | _O_WRONLY);
  if (readFd == -1) CloseHandle(pipe);
  if (writeFd == -1) CloseHandle(writeHandle);
  FILE* in = readFd != -1 ? _fdopen(readFd, "rt") : nullptr;
  FILE* out = writeFd != -1 ? _fdopen(writeFd, "wt") : nullptr;
  if (in == nullptr || out == nullptr) {
    if (in != nullptr) std::fclose(in); else if (readFd != -1) _close(readFd);
    if (out != nullptr) std::fclose(out); else if (writeFd != -1) _close(writeFd);
    return 1;
  }
  Serve(in, out);
  std::fclose(in);
  std::fclose(out);
  return 0;
}

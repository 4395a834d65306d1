// The companion program itself, over a real named pipe and over standard streams.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include <cctype>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/owner.h"
#include "tests/support/test_support.h"

namespace {
const char kHeader[] =
    "1 ModuleHandle, ModuleName, path, プロセス名, FileVersion, 正式名, 会社名, プロダクト名, ProductVersion \r\n";
const char kNotListed[] = "2 プロセス内のモジュール一覧取得できず \r\n";

std::string Modlist6() { return "\"" + Bin64() + "Modlist6.exe\""; }

std::vector<std::string> Lines(const std::string& answer) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = answer.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(answer.substr(start, end + 2 - start));
  return lines;
}

// The id of a process that has just ended.
DWORD EndedProcessId() {
  ChildProcess child("\"" + Fixture64("qv_fixed.exe") + "\"");
  EXPECT_TRUE(child.started());
  EXPECT_EQ(child.Wait(20000), 0u);
  return child.id();
}

// Reads from a handle until the text ends with `until`, the other end closes
// or time runs out.
std::string ReadUntil(HANDLE from, const std::string& until, DWORD ms = 20000) {
  std::string text;
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    DWORD available = 0;
    if (!PeekNamedPipe(from, nullptr, 0, nullptr, &available, nullptr)) break;
    if (available == 0) {
      if (!until.empty() && text.size() >= until.size() && text.compare(text.size() - until.size(), until.size(), until) == 0)
        break;
      Sleep(5);
      continue;
    }
    std::vector<char> chunk(available);
    DWORD read = 0;
    if (!ReadFile(from, chunk.data(), available, &read, nullptr)) break;
    text.append(chunk.data(), read);
  }
  return text;
}

// A 64-bit process with both fixture libraries loaded, and their handles as
// the companion must print them.
class LiveHost {
 public:
  LiveHost()
      : host_(Bin64() + "module_host.exe " + ready_.name() + " \"" + Fixture64("ml_microsoft_case.dll") + "\" \"" +
              Fixture64("ml_contoso.dll") + "\"") {
    ready_ok_ = ready_.Wait(host_, 20000);
  }
  bool ready() const { return ready_ok_; }
  DWORD id() const { return host_.id(); }
  // The module handle of a loaded module, in sixteen upper-case digits. A
  // 32-bit test program cannot look into the 64-bit host (that is why the
  // companion exists), so there the handle is taken as printed.
  std::string HandleOf(const char* name, const std::string& printed) {
    if (sizeof(void*) == 4) return printed;
    SnapshotHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, host_.id()));
    MODULEENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Module32First(snapshot.get(), &entry); more; more = Module32Next(snapshot.get(), &entry)) {
      if (lstrcmpiA(entry.szModule, name) == 0) {
        char text[32];
        std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(entry.hModule)));
        return text;
      }
    }
    return "<not loaded>";
  }

 private:
  ReadyEvent ready_;
  ChildProcess host_;
  bool ready_ok_ = false;
};

void ExpectLiveAnswer(const std::string& answer, LiveHost& host) {
  const std::vector<std::string> lines = Lines(answer);
  ASSERT_GE(lines.size(), 5u) << answer;
  EXPECT_EQ(lines.front(), kHeader);
  EXPECT_EQ(lines.back(), "\r\n");
  bool sawMicrosoftCase = false, sawContoso = false, sawHost = false;
  for (size_t i = 1; i + 1 < lines.size(); ++i) {
    const std::string& line = lines[i];
    ASSERT_TRUE(line.compare(0, 2, "1 ") == 0 || line.compare(0, 2, "2 ") == 0) << line;
    // Sixteen upper-case hexadecimal digits, then ", ".
    ASSERT_GE(line.size(), 20u);
    for (int d = 2; d < 18; ++d) ASSERT_TRUE(isdigit(line[d]) || (line[d] >= 'A' && line[d] <= 'F')) << line;
    ASSERT_EQ(line.compare(18, 2, ", "), 0) << line;
    ASSERT_EQ(line.compare(line.size() - 4, 4, "\" \r\n"), 0) << line;
    const std::string handle = line.substr(2, 16);
    if (line.find(", ml_microsoft_case.dll, ") != std::string::npos) {
      sawMicrosoftCase = true;
      EXPECT_EQ(handle, host.HandleOf("ml_microsoft_case.dll", handle));
      EXPECT_EQ(line.substr(0, 2), "2 ");
      EXPECT_NE(line.find("ml_microsoft_case.dll, 10.0.1.2, mscase.dll, MICROSOFT corporation, Case Test, \"10.0.1.2\" \r\n"),
                std::string::npos) << line;
    } else if (line.find(", ml_contoso.dll, ") != std::string::npos) {
      sawContoso = true;
      EXPECT_EQ(handle, host.HandleOf("ml_contoso.dll", handle));
      EXPECT_EQ(line.substr(0, 2), "1 ");
      EXPECT_NE(line.find("ml_contoso.dll, 3.2.1.0, contoso%s.dll, Contoso 表示, ソフト, \"3, 2\" \r\n"),
                std::string::npos) << line;
    } else if (line.find(", module_host.exe, ") != std::string::npos) {
      sawHost = true;
      EXPECT_EQ(line.substr(0, 2), "1 ");
      EXPECT_NE(line.find("module_host.exe, , , , , \"\" \r\n"), std::string::npos) << line;
    }
  }
  EXPECT_TRUE(sawMicrosoftCase && sawContoso && sawHost) << answer;
}

// ---- Over a named pipe, as Report drives it --------------------------------------

class PipeSession {
 public:
  // Creates the pipe and starts the companion with `tail`; connected() tells
  // whether it opened the pipe.
  PipeSession(const std::string& name, const std::string& tail) {
    pipe_.reset(CreateNamedPipeA(("\\\\.\\pipe\\" + name).c_str(), PIPE_ACCESS_DUPLEX,
                                 PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_NOWAIT, 1, 65536, 65536, 0, nullptr));
    if (!pipe_) return;
    child_.reset(new ChildProcess(Modlist6() + " " + tail));
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 20000) {
      if (!ConnectNamedPipe(pipe_.get(), nullptr) && GetLastError() == ERROR_PIPE_CONNECTED) {
        DWORD mode = PIPE_READMODE_BYTE | PIPE_WAIT;
        SetNamedPipeHandleState(pipe_.get(), &mode, nullptr, nullptr);
        connected_ = true;
        return;
      }
      if (child_->Wait(0) != STILL_ACTIVE) return;
      Sleep(5);
    }
  }
  bool connected() const { return connected_; }
  ChildProcess& child() { return *child_; }
  std::string Ask(const std::string& request) {
    Send(request);
    return ReadUntil(pipe_.get(), "\r\n\r\n");
  }
  void Send(const std::string& request) {
    DWORD written = 0;
    WriteFile(pipe_.get(), request.data(), static_cast<DWORD>(request.size()), &written, nullptr);
  }
  std::string Rest() { return ReadUntil(pipe_.get(), "", 5000); }

 private:
  UniqueHandle pipe_;
  std::unique_ptr<ChildProcess> child_;
  bool connected_ = false;
};

std::string PipeName(const char* what) { return "RT" + std::to_string(GetCurrentProcessId()) + what; }

TEST(Modlist6PipeTest, LiveAndEndedProcessesThenZeroEnds) {
  LiveHost host;
  ASSERT_TRUE(host.ready());
  const DWORD ended = EndedProcessId();
  PipeSession session(PipeName("a"), "-n" + PipeName("a"));
  ASSERT_TRUE(session.connected());
  ExpectLiveAnswer(session.Ask(std::to_string(host.id()) + "\r\n"), host);
  EXPECT_EQ(session.Ask(std::to_string(ended) + "\r\n"), std::string(kNotListed) + "\r\n");
  // The link stays usable after a failed listing.
  ExpectLiveAnswer(session.Ask(std::to_string(host.id()) + "\n"), host);
  session.Send("0\r\n");
  EXPECT_EQ(session.Rest(), "");
  EXPECT_EQ(session.child().Wait(10000), 0u);
}

TEST(Modlist6PipeTest, EmptyRequestEndsWithoutAnswer) {
  PipeSession session(PipeName("b"), "x-y -n" + PipeName("b"));  // the last dash counts
  ASSERT_TRUE(session.connected());
  session.Send("\r\n");
  EXPECT_EQ(session.Rest(), "");
  EXPECT_EQ(session.child().Wait(10000), 0u);
}

TEST(Modlist6PipeTest, LongRequestLineIsOneRequest) {
  const DWORD ended = EndedProcessId();
  PipeSession session(PipeName("c"), "-n" + PipeName("c"));
  ASSERT_TRUE(session.connected());
  EXPECT_EQ(session.Ask(std::to_string(ended) + std::string(600, 'x') + "\r\n"), std::string(kNotListed) + "\r\n");
  EXPECT_EQ(session.Ask(std::to_string(ended) + "\r\n"), std::string(kNotListed) + "\r\n");
  session.Send("abc\r\n");  // not a number: ends
  EXPECT_EQ(session.child().Wait(10000), 0u);
}

TEST(Modlist6PipeTest, NameRulesAndBufferBound) {
  // 22 characters fill the 32-byte path exactly.
  const std::string longest = (PipeName("d") + std::string(22, 'L')).substr(0, 22);
  PipeSession fits(longest, "-n" + longest);
  EXPECT_TRUE(fits.connected());
  fits.Send("0\r\n");
  EXPECT_EQ(fits.child().Wait(10000), 0u);

  // One more is refused with exit code 1, whether or not such a pipe exists.
  const std::string tooLong = longest + "X";
  PipeSession refused(tooLong, "-n" + tooLong);
  EXPECT_FALSE(refused.connected());
  EXPECT_EQ(refused.child().Wait(10000), 1u);

  ChildProcess noPipe(Modlist6() + " -nRTNoSuchPipe");
  EXPECT_EQ(noPipe.Wait(10000), 1u);
  ChildProcess noName(Modlist6() + " -n");
  EXPECT_EQ(noName.Wait(10000), 1u);
}

// ---- Over standard streams ------------------------------------------------------

// Runs the companion with `tail`, feeds it `input`, closes its input and
// collects everything it writes until it ends.
struct StreamRun {
  std::string output;
  DWORD exitCode = STILL_ACTIVE;
};
StreamRun RunOverStreams(const std::string& tail, const std::string& input, const std::string& program = Modlist6()) {
  StreamRun run;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE inRead, inWrite, outRead, outWrite;
  if (!CreatePipe(&inRead, &inWrite, &inherit, 0) || !CreatePipe(&outRead, &outWrite, &inherit, 0)) return run;
  UniqueHandle ir(inRead), iw(inWrite), orr(outRead), ow(outWrite);
  SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inRead;
  startup.hStdOutput = outWrite;
  startup.hStdError = outWrite;
  PROCESS_INFORMATION info = {};
  std::string line = program + (tail.empty() ? "" : " " + tail);
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) return run;
  UniqueHandle process(info.hProcess), thread(info.hThread);
  ir.reset();
  ow.reset();
  DWORD written = 0;
  WriteFile(inWrite, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
  iw.reset();
  for (;;) {
    char buffer[4096];
    DWORD read = 0;
    if (!ReadFile(outRead, buffer, sizeof buffer, &read, nullptr) || read == 0) break;
    run.output.append(buffer, read);
  }
  if (WaitForSingleObject(process.get(), 20000) == WAIT_OBJECT_0) GetExitCodeProcess(process.get(), &run.exitCode);
  return run;
}

TEST(Modlist6StreamTest, WithoutDashNTheStandardStreamsCarryTheProtocol) {
  LiveHost host;
  ASSERT_TRUE(host.ready());
  const DWORD ended = EndedProcessId();
  for (const char* tail : {"", "x-y", "-N name"}) {
    const StreamRun run = RunOverStreams(tail, std::to_string(ended) + "\n" + std::to_string(host.id()) + "\n0\n" +
                                                   std::to_string(ended) + "\n");
    EXPECT_EQ(run.exitCode, 0u) << tail;
    const std::string first = std::string(kNotListed) + "\r\n";
    ASSERT_EQ(run.output.compare(0, first.size(), first), 0) << tail << ": " << run.output;
    // Nothing after the zero request.
    ExpectLiveAnswer(run.output.substr(first.size()), host);
  }
}

// The companion reads version resources through a delay-loaded version.dll.
// A copy planted beside it, which Wine is told to prefer as Windows does for
// names that are not KnownDLLs, is never loaded: its entry limits the search
// and the delay-load hook keeps to the system folder.
TEST(Modlist6StreamTest, LibraryPlantedBesideTheCompanionIsNeverLoaded) {
  LiveHost host;
  ASSERT_TRUE(host.ready());
  ScratchDir dir("modlist6_planted");
  const std::string markers = dir.MakeDir("markers");
  ASSERT_TRUE(CopyFileA((Bin64() + "Modlist6.exe").c_str(), (dir.path() + "Modlist6.exe").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(Fixture64("marker.dll").c_str(), (dir.path() + "version.dll").c_str(), FALSE));
  SetEnvironmentVariableA("REPORT_MARKER_DIR", markers.substr(0, markers.size() - 1).c_str());
  SetEnvironmentVariableA("WINEDLLOVERRIDES", "version=n,b");
  const StreamRun run = RunOverStreams("", std::to_string(host.id()) + "\n", "\"" + dir.path() + "Modlist6.exe\"");
  SetEnvironmentVariableA("WINEDLLOVERRIDES", nullptr);
  SetEnvironmentVariableA("REPORT_MARKER_DIR", nullptr);
  EXPECT_EQ(run.exitCode, 0u);
  ExpectLiveAnswer(run.output, host);
  WIN32_FIND_DATAA found = {};
  FindHandle marker(FindFirstFileA((markers + "*.loaded").c_str(), &found));
  EXPECT_FALSE(marker) << "loaded: " << found.cFileName;
}

TEST(Modlist6StreamTest, EndOfInputEndsTheProgram) {
  const DWORD ended = EndedProcessId();
  const StreamRun run = RunOverStreams("", std::to_string(ended) + "\n");
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.output, std::string(kNotListed) + "\r\n");
  const StreamRun nothing = RunOverStreams("", "");
  EXPECT_EQ(nothing.exitCode, 0u);
  EXPECT_EQ(nothing.output, "");
}
}  // namespace

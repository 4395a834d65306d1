// The report log's levels, its live views and the report file.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "base/owner.h"
#include "log/report_log.h"
#include "tests/support/process_helpers.h"
#include "tests/support/test_support.h"

// The replacement pair below is malloc and free on both sides; the compiler
// cannot see that once it inlines one into a caller.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

// Allocations of this many bytes or more fail while it is set, as when memory
// runs out; 0 lets every allocation through.
std::atomic<std::size_t> g_failFrom{0};

void* operator new(std::size_t size) {
  const std::size_t from = g_failFrom.load();
  if (from != 0 && size >= from) throw std::bad_alloc();
  if (void* p = std::malloc(size != 0 ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {
std::string CrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

const char kBannerUser[] = "\n======================================\nユーザ用結果\n======================================\n";
const char kBannerSupport[] =
    "\n======================================\nサポート用概要\n======================================\n";
const char kBannerDetail[] = "\n======================================\n分析用詳細\n======================================\n";

// ---- Levels and the newline rule -----------------------------------------

TEST(ReportLevelsTest, EachLineStandsInItsLevelAndEveryMoreDetailedOne) {
  LogCapture log;
  WriteUserLine("●user %d \n", 1);
  WriteSupportLine("support %s", "x");
  WriteDetailLine("detail");
  EXPECT_EQ(log.User(), "●user 1 \n");
  EXPECT_EQ(log.Support(), "●user 1 \nsupport x\n");
  EXPECT_EQ(log.Detail(), "●user 1 \nsupport x\ndetail\n");
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-zero-length"
TEST(ReportLevelsTest, NewlineRuleThroughTheWriteOperations) {
  LogCapture log;
  WriteDetailLine("");
  EXPECT_EQ(log.Detail(), "\n");
  EXPECT_EQ(log.Support(), "");
  LogCapture headers;
  WriteSupportLine("\nキャッシュの保存容量");
  WriteSupportLine("\nOSの確認 \n");
  WriteSupportLine("two\nlines");
  EXPECT_EQ(headers.Support(), "\nキャッシュの保存容量\n\nOSの確認 \ntwo\nlines\n");
  EXPECT_EQ(headers.Detail(), headers.Support());
}
#pragma GCC diagnostic pop

TEST(ReportLevelsTest, MachineTextIsNeverAFormat) {
  LogCapture log;
  const char* hostile = "C:\\表示\\%s%n%d";
  WriteUserLine("%s", hostile);
  WriteDetailLine("● %.199s \n", std::string(400, 'p').c_str());
  EXPECT_EQ(log.User(), std::string(hostile) + "\n");
  EXPECT_EQ(log.Detail(), std::string(hostile) + "\n● " + std::string(199, 'p') + " \n");
}

TEST(ReportLevelsTest, LinesArrivingWithALevelNumber) {
  LogCapture log;
  WriteLineAtLevel(1, "support %s");
  WriteLineAtLevel(2, "detail\n");
  WriteLineAtLevel(0, "");
  WriteLineAtLevel(3, "dropped");
  WriteLineAtLevel(-1, "dropped");
  WriteLineAtLevel(1, nullptr);
  EXPECT_EQ(log.User(), "\n");
  EXPECT_EQ(log.Support(), "support %s\n\n");
  EXPECT_EQ(log.Detail(), "support %s\ndetail\n\n");
}

TEST(WideLineTest, ConvertsToCp932AndGoesToDetailsOnly) {
  LogCapture log;
  WriteDetailLineW(L"値 %ls = %d", L"表示\\ソフト%s", 42);
  EXPECT_EQ(log.Detail(), "値 表示\\ソフト%s = 42\n");
  EXPECT_EQ(log.Support(), "");
}

TEST(WideLineTest, CharacterOutsideTheCodePageEndsTheLine) {
  LogCapture log;
  WriteDetailLineW(L"before\x0E01" L"after \n");
  EXPECT_EQ(log.Detail(), "before\n");
}

TEST(WideLineTest, LongLinesAreCutAtTheBuffersNeverPast) {
  LogCapture log;
  const std::wstring ascii(3000, L'x');
  WriteDetailLineW(L"%ls", ascii.c_str());
  EXPECT_EQ(log.Detail(), std::string(1023, 'x') + "\n");
  // Double-byte text fills the 1024-byte buffer first: whole characters only.
  LogCapture kana;
  const std::wstring wide(1500, L'あ');
  WriteDetailLineW(L"%ls", wide.c_str());
  std::string expected;
  for (int i = 0; i < 511; ++i) expected += "あ";
  EXPECT_EQ(kana.Detail(), expected + "\n");
}

// ---- Live views -------------------------------------------------------------

// The views are the edit controls of Report's own dialog template, so the
// styles the dialog really has decide what they can hold.
INT_PTR CALLBACK QuietDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

class ViewsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resources_ = LoadLibraryExA((Bin64() + "Report64.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(resources_, nullptr);
    owner_ = CreateDialogParamA(resources_, MAKEINTRESOURCEA(102), nullptr, &QuietDialog, 0);
    ASSERT_NE(owner_, nullptr);
    const int ids[3] = {1001, 1002, 1000};
    for (int i = 0; i < 3; ++i) {
      views_[i] = GetDlgItem(owner_, ids[i]);
      ASSERT_NE(views_[i], nullptr);
    }
    AttachReportViews(views_[0], views_[1], views_[2]);
  }
  void TearDown() override {
    AttachReportViews(nullptr, nullptr, nullptr);
    if (owner_) DestroyWindow(owner_);
    if (resources_) FreeLibrary(resources_);
  }
  std::string Text(int i) {
    std::string text(static_cast<size_t>(GetWindowTextLengthA(views_[i])) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(views_[i], &text[0], static_cast<int>(text.size()))));
    return text;
  }
  HMODULE resources_ = nullptr;
  HWND owner_ = nullptr;
  HWND views_[3] = {};
};

TEST_F(ViewsTest, ViewsGetTheSameBytesAsTheirLevels) {
  LogCapture log;
  WriteUserLine("●表示 \n");
  WriteSupportLine("support");
  WriteDetailLineW(L"wide %ls", L"ソフト");
  FlushReportViews(true);  // lines reach the views in chunks
  EXPECT_EQ(Text(0), log.User());
  EXPECT_EQ(Text(1), log.Support());
  EXPECT_EQ(Text(2), log.Detail());
  EXPECT_EQ(Text(2).find('\r'), std::string::npos);
  EXPECT_EQ(AttachedView(ReportLevel::Detail), views_[2]);
}

TEST_F(ViewsTest, VisibleViewsHoldMoreThanTheDefaultEditLimitAndTheHiddenOneWholeLines) {
  LogCapture log;
  const std::string line(198, 'v');
  // Over 40,000 bytes: more than an edit control takes before its limit is raised.
  for (int i = 0; i < 200; ++i) WriteSupportLine("%sあ", line.c_str());
  FlushReportViews(true);
  const size_t each = log.Support().find('\n') + 1;
  EXPECT_EQ(log.Support().size(), 200 * each);
  EXPECT_EQ(Text(2), log.Detail());
  // The hidden Support summary view stops before its limit, at a line's end.
  const std::string hidden = Text(1);
  const size_t limit = static_cast<size_t>(SendMessageA(views_[1], EM_GETLIMITTEXT, 0, 0));
  EXPECT_LT(limit, 40000u);
  EXPECT_GT(hidden.size() + each, limit);
  EXPECT_LE(hidden.size(), limit);
  EXPECT_EQ(hidden.size() % each, 0u);
  EXPECT_EQ(hidden, log.Support().substr(0, hidden.size()));
}

// The user view's edit control, made slow: each append takes a second.
WNDPROC g_editProc = nullptr;
LRESULT CALLBACK SlowEdit(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == EM_REPLACESEL) Sleep(1000);
  return CallWindowProcA(g_editProc, window, message, wParam, lParam);
}

// The gap between updates grows with their cost, but one slow update (the
// worker waiting out a save) keeps the views still for 4 s at most.
TEST_F(ViewsTest, OneSlowUpdateHoldsTheViewsForFourSecondsAtMost) {
  LogCapture log;
  FlushReportViews(true);
  g_editProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(views_[0], GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SlowEdit)));
  WriteUserLine("slow \n");
  FlushReportViews(true);
  SetWindowLongPtrA(views_[0], GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_editProc));
  WriteDetailLine("early \n");
  EXPECT_EQ(Text(2).find("early"), std::string::npos);  // within the gap: queued
  Sleep(4300);
  WriteDetailLine("late \n");
  EXPECT_EQ(Text(2), log.Detail());
}

// ---- The report file ------------------------------------------------------

// The names of the files in folder, sorted, each followed by a blank.
std::string FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA((folder + "*").c_str(), &entry);
  for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &entry)) {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(entry.cFileName);
  }
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
  std::sort(names.begin(), names.end());
  std::string out;
  for (const std::string& name : names) out += name + " ";
  return out;
}

class ReportFileTest : public ::testing::Test {
 protected:
  ReportFileTest() : dir_("app_report") {}
  ~ReportFileTest() override { InvestigationEndTime = SYSTEMTIME{}; }
  std::string Expected(const std::string& header) {
    return CrLf(header + kBannerUser + LevelTextCopy(ReportLevel::User) + kBannerSupport +
                LevelTextCopy(ReportLevel::Support) + kBannerDetail + LevelTextCopy(ReportLevel::Detail));
  }
  ScratchDir dir_;
};

TEST_F(ReportFileTest, BeforeTheEndTheHeaderTimeIsAllZero) {
  WriteUserLine("●saved user line \n");
  WriteSupportLine("saved support line");
  const std::string path = dir_.path() + "report.txt";
  DWORD error = 0;
  ASSERT_TRUE(WriteReportFile(path.c_str(), &error)) << error;
  const std::string file = ReadWholeFile(path);
  // This test program has no version resource: 0.0.0.0.
  EXPECT_EQ(file, Expected("[Report.exe 0.0.0.0]調査結果 0000/00/00 00:00:00.000\n"));
}

TEST_F(ReportFileTest, EveryLineBreakIsCrLf) {
  WriteDetailLine("a\nb\n\nc");
  const std::string path = dir_.path() + "crlf.txt";
  DWORD error = 0;
  ASSERT_TRUE(WriteReportFile(path.c_str(), &error));
  const std::string file = ReadWholeFile(path);
  ASSERT_FALSE(file.empty());
  size_t breaks = 0;
  for (size_t i = 0; i < file.size(); ++i) {
    if (file[i] == '\n') {
      ASSERT_TRUE(i > 0 && file[i - 1] == '\r') << "bare LF at " << i;
      ++breaks;
    } else if (file[i] == '\r') {
      ASSERT_TRUE(i + 1 < file.size() && file[i + 1] == '\n') << "bare CR at " << i;
    }
  }
  EXPECT_GE(breaks, 13u);
  const std::string tail = "a\r\nb\r\n\r\nc\r\n";
  EXPECT_EQ(file.substr(file.size() - tail.size()), tail);
  EXPECT_NE(file.compare(0, 3, "\xEF\xBB\xBF"), 0);  // no byte-order mark
}

TEST_F(ReportFileTest, EndTimeFillsTheHeaderAndASecondSaveReplacesTheFile) {
  const std::string path = dir_.path() + "again.txt";
  dir_.Write("again.txt", std::string(300000, 'J'));
  InvestigationEndTime = SYSTEMTIME{2026, 12, 1, 7, 9, 5, 3, 45};
  DWORD error = 0;
  ASSERT_TRUE(WriteReportFile(path.c_str(), &error));
  EXPECT_EQ(ReadWholeFile(path), Expected("[Report.exe 0.0.0.0]調査結果 2026/12/07 09:05:03.045\n"));
  WriteDetailLine("added between the saves");
  ASSERT_TRUE(WriteReportFile(path.c_str(), &error));
  const std::string second = ReadWholeFile(path);
  EXPECT_EQ(second, Expected("[Report.exe 0.0.0.0]調査結果 2026/12/07 09:05:03.045\n"));
  EXPECT_NE(second.find("added between the saves\r\n"), std::string::npos);
  EXPECT_EQ(FilesIn(dir_.path()), "again.txt ");
}

TEST_F(ReportFileTest, UnopenablePathsFailWithTheirErrorAndWriteNothing) {
  DWORD error = 0;
  EXPECT_FALSE(WriteReportFile((dir_.path() + "no\\such\\folder\\r.txt").c_str(), &error));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  const std::string folder = dir_.MakeDir("a folder");
  error = 0;
  EXPECT_FALSE(WriteReportFile(folder.substr(0, folder.size() - 1).c_str(), &error));
  EXPECT_NE(error, 0u);
  // A file another program holds without sharing.
  const std::string held = dir_.Write("held.txt", "held");
  UniqueHandle lock(CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(lock.valid());
  error = 0;
  EXPECT_FALSE(WriteReportFile(held.c_str(), &error));
  EXPECT_TRUE(error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) << error;
  lock.reset();
  EXPECT_EQ(ReadWholeFile(held), "held");
  // A failed save leaves no file of its own behind.
  EXPECT_EQ(FilesIn(dir_.path()), "held.txt ");
}

TEST_F(ReportFileTest, SaveDuringAppendsWritesWholeLinesOnly) {
  std::atomic<bool> stop(false);
  std::thread writer([&] {
    for (int i = 0; i < 20000 && !stop; ++i) WriteDetailLine("concurrent line %05d %s \n", i, "0123456789abcdef");
  });
  const std::string path = dir_.path() + "concurrent.txt";
  for (int save = 0; save < 20; ++save) {
    DWORD error = 0;
    ASSERT_TRUE(WriteReportFile(path.c_str(), &error));
    const std::string file = ReadWholeFile(path);
    ASSERT_GE(file.size(), 2u);
    ASSERT_EQ(file.substr(file.size() - 2), "\r\n") << "save " << save;
    // Every line of the writer is whole.
    for (size_t at = file.find("concurrent line "); at != std::string::npos;
         at = file.find("concurrent line ", at + 1)) {
      ASSERT_EQ(file.compare(at + 21, 20, " 0123456789abcdef \r\n"), 0) << file.substr(at, 60);
    }
  }
  stop = true;
  writer.join();
}

// ---- What the user is told -------------------------------------------------

// Answers the next message box of this process with OK and records its caption
// and text, the way a user reads and closes it.
struct MessageBoxReader {
  std::string caption, text;
  HWND owner = nullptr;
  std::thread watcher;
  explicit MessageBoxReader(DWORD ms = 10000) {
    watcher = std::thread([this, ms] {
      for (DWORD waited = 0; waited < ms; waited += 20) {
        HWND box = nullptr;
        while ((box = FindWindowExA(nullptr, box, "#32770", nullptr)) != nullptr) {
          DWORD process = 0;
          GetWindowThreadProcessId(box, &process);
          if (process != GetCurrentProcessId() || GetDlgItem(box, 0xFFFF) == nullptr) continue;
          char buffer[1024] = {};
          GetWindowTextA(box, buffer, sizeof buffer);
          caption = buffer;
          GetDlgItemTextA(box, 0xFFFF, buffer, sizeof buffer);
          text = buffer;
          owner = GetWindow(box, GW_OWNER);
          PostMessageA(box, WM_COMMAND, IDOK, 0);
          return;
        }
        Sleep(20);
      }
    });
  }
  void Join() { watcher.join(); }
};

TEST_F(ReportFileTest, SavingTellsTheUserThePathOrTheSystemsReason) {
  HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(owner, nullptr);
  // A path holding a format directive is shown as it is.
  const std::string path = dir_.path() + "100%s %n.txt";
  MessageBoxReader saved;
  SaveReportFile(path.c_str(), owner);
  saved.Join();
  EXPECT_EQ(saved.caption, "Report");
  EXPECT_EQ(saved.text, "saved " + path);
  EXPECT_EQ(saved.owner, owner);
  EXPECT_FALSE(ReadWholeFile(path).empty());

  const std::string missing = dir_.path() + "no\\such\\r.txt";
  char expected[256] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_PATH_NOT_FOUND, 0, expected,
                 sizeof expected, nullptr);
  MessageBoxReader failed;
  SaveReportFile(missing.c_str(), owner);
  failed.Join();
  EXPECT_EQ(failed.caption, "log_tests");  // the program's own base name
  EXPECT_EQ(failed.text, expected);
  EXPECT_FALSE(failed.text.empty());
  EXPECT_EQ(GetFileAttributesA(missing.c_str()), INVALID_FILE_ATTRIBUTES);
  DestroyWindow(owner);
}

// Last of the file: the count of lost lines stays for the rest of the program.
TEST_F(ReportFileTest, LinesLostToLowMemoryAreCountedAtTheEndOfEachLevel) {
  const std::string big(4 << 20, 'x');
  g_failFrom = 1 << 20;
  WriteUserLine("%s", big.c_str());
  WriteLineAtLevel(2, big.c_str());
  g_failFrom = 0;
  WriteUserLine("kept after the low memory \n");
  const std::string path = dir_.path() + "lost.txt";
  DWORD error = 0;
  ASSERT_TRUE(WriteReportFile(path.c_str(), &error));
  const std::string file = ReadWholeFile(path);
  const std::string line = "kept after the low memory \r\n※メモリが不足したため記録できなかった行があります: 2 行 \r\n";
  EXPECT_EQ(CountOf(file, line), 3u);
  EXPECT_EQ(file.substr(file.size() - line.size()), line);
  EXPECT_NE(file.find(line + "\r\n======"), std::string::npos);
}

}  // namespace

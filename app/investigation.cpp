#include "app/investigation.h"

#include <new>

#include "log/report_log.h"
#include "app/crash_net.h"
#include "app/section_table.h"
#include "probes/system/print_screen.h"
#include "probes/process/companion_leftovers.h"
#include "query/registry_search.h"
#include "query/system_library.h"

volatile LONG InvestigationRunning = 0;

namespace {
const char kSeparator[] = "------------------- \n";
const char kPrintScreenHeader[] = "\nPrintScreenキー登録確認 \n";

void WriteHeader(HeaderLevel level, const char* text) {
  if (level == HeaderLevel::Support) {
    WriteSupportLine("%s", text);
  } else {
    WriteDetailLine("%s", text);
  }
}
}  // namespace

void SectionSeparator() { WriteDetailLine("%s", kSeparator); }

const char* LoadLimitText(UINT id, char (&buffer)[64]) {
  buffer[0] = '\0';
  if (LoadStringA(GetModuleHandleA(nullptr), id, buffer, sizeof buffer) <= 0) buffer[0] = '\0';
  return buffer;
}

void RunPrintScreenSection(HWND dialog) {
  SetRunningSection(kPrintScreenHeader);
  WriteSupportLine("%s", kPrintScreenHeader);
  CheckPrintScreenKey(dialog);
  SectionSeparator();
  SetRunningSection(nullptr);
}

void RunInvestigationSections() {
  for (unsigned i = 0; i < kSectionCount; ++i) {
    const SectionRow& row = kSections[i];
    SetRunningSection(row.header);
    // Each section has the registry-dump budget to itself.
    ResetRegistryDumpBudget();
    WriteHeader(row.level, row.header);
    if (row.secondHeader != nullptr) WriteHeader(row.level, row.secondHeader);
    // The user sees at once which section is running.
    FlushReportViews(true);
    char buffers[3][64] = {};
    Limits limits = {{nullptr, nullptr, nullptr}};
    for (int a = 0; a < 3 && row.limitIds[a] != 0; ++a) limits.text[a] = LoadLimitText(row.limitIds[a], buffers[a]);
    // Memory that runs out inside a probe ends that section only: the lines
    // gathered so far stay and can be saved.
    try {
      if (row.probe != nullptr) row.probe(limits);
    } catch (const std::bad_alloc&) {
      WriteSupportLine("※メモリが不足したためこの調査を打ち切りました \n");
    }
    SectionSeparator();
    SetRunningSection(nullptr);
  }
}

HANDLE StartInvestigation(LPTHREAD_START_ROUTINE body) {
  InterlockedExchange(&InvestigationRunning, 1);
  DWORD id = 0;
  HANDLE worker = CreateThread(nullptr, 0, body, nullptr, CREATE_SUSPENDED, &id);
  if (worker == nullptr) {
    InterlockedExchange(&InvestigationRunning, 0);
    return nullptr;
  }
  SetThreadPriority(worker, THREAD_PRIORITY_IDLE);
  ResumeThread(worker);
  return worker;
}

void WriteLoaderLines() {
  if (!LibrarySearchLimited()) {
    WriteDetailLine("※ライブラリの検索先をシステムフォルダーに限定できませんでした(SetDefaultDllDirectoriesなし) \n");
  }
  DWORD error = 0;
  for (unsigned i = 0; const char* name = MissingDelayLoadedLibrary(i, &error); ++i) {
    WriteDetailLine("※%sを読み込めませんでした %lu \n", name, static_cast<unsigned long>(error));
  }
}

// InvestigationRunning was set by StartInvestigation before this thread began.
DWORD WINAPI InvestigationDriver(LPVOID) {
  ReserveRescueStack();
  RemoveDeadCompanionFolders();
  WriteLoaderLines();
  RunInvestigationSections();
  FlushReportViews(true);
  GetLocalTime(&InvestigationEndTime);
  InterlockedExchange(&InvestigationRunning, 0);
  // The message box is owned through the view and ends this thread when closed.
  if (HWND view = AttachedView(ReportLevel::Detail)) {
    MessageBoxA(view, "調査終了しました。\n[save 保存]ボタンを押して、ファイルに保存してください。", "Report", MB_OK);
  }
  return 0;
}

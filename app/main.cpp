// The application object and the one dialog of Report, on plain Win32.
#include <windows.h>
#include <commdlg.h>

#include <cstdio>
#include <cstring>

#include "app/crash_net.h"
#include "app/investigation.h"
#include "app/report_path.h"
#include "base/owner.h"
#include "log/report_log.h"
#include "probes/process/process_modules.h"
#include "query/code_page.h"
#include "query/platform.h"
#include "query/system_library.h"
#include "query/version_info.h"
#include "resources/resource.h"

namespace {
const char kCaption[] = "Report";
const UINT_PTR kViewTimer = 1;  // shows lines that wait for the views
const char kConfirmWhileRunning[] =
    "調査の途中ですが、保存しますか？\n\n調査が終了した際には終了メッセージが表示されます。\n\n"
    "調査終了まで待つ場合は [いいえ(N)] を押し、\n終了メッセージが表示されるまでお待ちください。\n\n"
    "10分以上待っても終了メッセージが表示されない場合は、\n[はい(Y)] を押してファイルに保存してください。";

class CReportDlg {
 public:
  CReportDlg() : icon_(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))) {}

  INT_PTR DoModal() {
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_REPORT_DIALOG), nullptr, &DialogProc,
                           reinterpret_cast<LPARAM>(this));
  }

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrA(window, DWLP_USER, lParam);
    auto* self = reinterpret_cast<CReportDlg*>(GetWindowLongPtrA(window, DWLP_USER));
    return self ? self->Handle(window, message, wParam, lParam) : FALSE;
  }

  INT_PTR Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_INITDIALOG:
        return OnInitDialog(window);
      case WM_PAINT:
        return OnPaint(window);
      case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(icon_);
      case WM_COMMAND:
        return OnCommand(window, LOWORD(wParam));
      case WM_TIMER:
        if (wParam == kViewTimer) FlushReportViews(false);
        return TRUE;
      case WM_DESTROY:
        KillTimer(window, kViewTimer);
        StopWorker();
        return FALSE;
      default:
        return FALSE;
    }
  }

  BOOL OnInitDialog(HWND window) {
    window_ = window;
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    AttachReportViews(GetDlgItem(window, IDC_USER_VIEW), GetDlgItem(window, IDC_SUPPORT_VIEW),
                      GetDlgItem(window, IDC_DETAIL_VIEW));
    RunPrintScreenSection(window);
    FlushReportViews(true);
    SetTimer(window, kViewTimer, 100, nullptr);
    worker_.reset(StartInvestigation());
    return worker_ ? TRUE : FALSE;
  }

  BOOL OnPaint(HWND window) {
    if (!IsIconic(window)) return FALSE;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    SendMessageA(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
    RECT client;
    GetClientRect(window, &client);
    DrawIcon(dc, (client.right - client.left - cx + 1) / 2, (client.bottom - client.top - cy + 1) / 2, icon_);
    EndPaint(window, &paint);
    return TRUE;
  }

  BOOL OnCommand(HWND window, int id) {
    switch (id) {
      case IDOK:
      case IDCANCEL:
        EndDialog(window, id);
        return TRUE;
      case IDC_COPY_ALL:
        CopyAll(window);
        return TRUE;
      case IDC_SAVE_AS:
        SaveAs(window);
        return TRUE;
      case IDC_SAVE:
        SaveNextToProgram(window);
        return TRUE;
      default:
        return FALSE;
    }
  }

  void CopyAll(HWND window) {
    HWND view = GetDlgItem(window, IDC_DETAIL_VIEW);
    SendMessageA(view, EM_SETSEL, 0, -1);
    SendMessageA(view, EM_SCROLLCARET, 0, 0);
    SendMessageA(view, WM_COPY, 0, 0);
    SendMessageA(view, EM_SETSEL, static_cast<WPARAM>(-1), 0);
  }

  // While the run goes on, the user decides whether a partial report is wanted.
  bool ConfirmIfRunning(HWND window) {
    if (InvestigationRunning != 1) return true;
    return MessageBoxA(window, kConfirmWhileRunning, kCaption, MB_YESNO) == IDYES;
  }

  void SaveAs(HWND window) {
    if (!ConfirmIfRunning(window)) return;
    char path[MAX_PATH] = {};
    const std::string suggested = SuggestedReportPath();
    std::snprintf(path, sizeof path, "%s", suggested.c_str());
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFilter = "text\0*.txt\0";
    ofn.lpstrFile = path;
    ofn.nMaxFile = sizeof path;
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOREADONLYRETURN;
    if (GetSaveFileNameA(&ofn)) SaveReportFile(path, window);
  }

  void SaveNextToProgram(HWND window) {
    if (!ConfirmIfRunning(window)) return;
    std::string path = ProgramFolder() + "report_o.txt";
    SaveReportFile(path.c_str(), window);
  }

  static DWORD WINAPI CleanupCompanion(LPVOID) {
    CompanionEmergencyCleanup();
    return 0;
  }

  // Closing never waits for the run: the worker is ended where it stands and
  // the program ends here. The ended worker may hold a lock of the heap or of
  // the C runtime that the rest of the window's destruction or the exit
  // handlers would wait on, so nothing else runs but a bounded clean-up of the
  // companion it may have started.
  void StopWorker() {
    if (!worker_ || WaitForSingleObject(worker_.get(), 0) != WAIT_TIMEOUT) return;
    TerminateThread(worker_.get(), 0);
    WaitForSingleObject(worker_.get(), 1000);
    HANDLE cleanup = CreateThread(nullptr, 0, &CleanupCompanion, nullptr, 0, nullptr);
    if (cleanup != nullptr) WaitForSingleObject(cleanup, 1500);
    TerminateProcess(GetCurrentProcess(), 0);
  }

  HICON icon_;
  HWND window_ = nullptr;
  UniqueHandle worker_;
};

class CReportApp {
 public:
  int Run() {
    CReportDlg dialog;
    dialog.DoModal();
    return 0;
  }
};
}  // namespace

// The program's entry point (see CMakeLists.txt): the library search is
// limited to the system folder before the C runtime and the static
// initialisers run, and before anything of the program loads a library. The
// delay-loaded libraries are loaded right then, on this one thread.
extern "C" int WinMainCRTStartup();
extern "C" int ReportEntry() {
  RestrictLibrarySearch();
  LoadDelayLoadedLibraries();
  return WinMainCRTStartup();
}

// The report's header line names the version of this program's own file.
static void HandReportVersion() {
  char self[1024] = {};
  GetModuleFileNameA(nullptr, self, sizeof self - 1);
  const VersionQuad version = GetFileVersionQuad(self);
  SetReportVersion(VersionPart(version, 0), VersionPart(version, 1), VersionPart(version, 2),
                   VersionPart(version, 3));
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  UseSystemLeadBytes();
  HandReportVersion();
  // After the C runtime's own filter, so that this one is asked.
  InstallCrashNet();
  CReportApp app;
  return app.Run();
}

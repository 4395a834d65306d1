// Test helper: a process that loads modules and makes the windows a test asks
// for on its command line, then waits until it is ended. Tokens:
//   load:<path>     load a library (each becomes the instance of a pane of "ieframe")
//   ieframe         "IEFrame" with two "Frame Tab"s, the first with a "TabWindowClass"
//   chrome1         "Chrome_WidgetWin_1" holding a "Chrome_WidgetWin_2" with an "IEFrame"
//   chrome2         a "Chrome_WidgetWin_2" alone
//   chrome2ie       a "Chrome_WidgetWin_2" with a hidden-tab "IEFrame"
//   dialog          a "#32770" owned by "Lantern Guard for Web Manager", control 1001,
//                   and a "#32770" of its own with a static 0xFFFF
//   corewindow      "Windows.UI.Core.CoreWindow" titled in Japanese
//   many:<n>        n plain top-level windows
//   deep:<n>        a chain of n nested child windows under "DeepRoot"
//   title:<text>    the title of the "IEFrame" and "Chrome_WidgetWin_1" windows made after it;
//                   each '^' in it becomes CR LF, as any program may name a window
//   pipe:<name>     a pipe \\.\pipe\<name> that takes clients and never answers
//   churn:<ms>      every ms milliseconds, destroy and remake an "IEFrame" with a tab
//                   and a "Chrome_WidgetWin_1" with its host and pane, as a busy
//                   browser does while another program walks its windows
//   churn           keeps replacing a "Chrome_WidgetWin_1" titled "churn" every
//                   20 ms, each new one put at the top of the Z order, so that
//                   it stands before every other window of that class; each
//                   holds 40 children
//   hold:<path>     open the file (made if missing) for reading, sharing only
//                   reading, and keep it open, as a scanner reading it does
//   exit            end at once
// When all tokens are done it makes a "HostReady" window.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {
HMODULE g_libraries[8] = {};
int g_libraryCount = 0;
std::wstring g_title;
HWND g_churned[2] = {};
HWND g_churning = nullptr;

void Register(const wchar_t* name, HINSTANCE instance) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = instance;
  wc.lpszClassName = name;
  RegisterClassW(&wc);
}

HWND Make(const wchar_t* cls, const wchar_t* title, HWND parent, HINSTANCE instance = nullptr, int id = 0,
          DWORD style = 0) {
  if (instance == nullptr) instance = GetModuleHandleW(nullptr);
  if (style == 0) style = parent != nullptr ? WS_CHILD | WS_VISIBLE : WS_OVERLAPPEDWINDOW;
  return CreateWindowExW(0, cls, title, style, 10, 20, 300, 200, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}
const wchar_t* TitleOr(const wchar_t* fallback) { return g_title.empty() ? fallback : g_title.c_str(); }

void CALLBACK ChurnBrowsers(HWND, UINT, UINT_PTR, DWORD) {
  for (HWND& window : g_churned) {
    if (window != nullptr) DestroyWindow(window);
  }
  g_churned[0] = Make(L"IEFrame", TitleOr(L"churning frame"), nullptr);
  Make(L"TabWindowClass", L"churning tab", Make(L"Frame Tab", L"", g_churned[0]));
  g_churned[1] = Make(L"Chrome_WidgetWin_1", TitleOr(L"churning chrome"), nullptr);
  Make(L"IEFrame", L"churning pane", Make(L"Chrome_WidgetWin_2", L"", g_churned[1]));
}

// A new window on top first, then the old one goes: one always stands.
void Churn() {
  HWND next = Make(L"Chrome_WidgetWin_1", L"churn", nullptr);
  // Children make its tree take a while to write, so it tends to vanish
  // while a search is still at it.
  for (int i = 0; i < 40; ++i) Make(L"DeepChild", L"", next);
  SetWindowPos(next, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (g_churning != nullptr) DestroyWindow(g_churning);
  g_churning = next;
}
}  // namespace

int WINAPI WinMain(HINSTANCE self, HINSTANCE, LPSTR commandLine, int) {
  const wchar_t* classes[] = {L"IEFrame", L"Frame Tab", L"TabWindowClass", L"Chrome_WidgetWin_1",
                              L"Chrome_WidgetWin_2", L"Windows.UI.Core.CoreWindow", L"LanternManager",
                              L"PlainTop", L"DeepRoot", L"DeepChild", L"HostReady"};
  for (const wchar_t* c : classes) Register(c, self);
  std::string tokens = commandLine ? commandLine : "";
  std::size_t pos = 0;
  while (pos < tokens.size()) {
    std::size_t end = tokens.find(' ', pos);
    if (end == std::string::npos) end = tokens.size();
    const std::string t = tokens.substr(pos, end - pos);
    pos = end + 1;
    if (t.empty()) continue;
    if (t == "exit") return 0;
    if (t.rfind("hold:", 0) == 0) {
      // Kept open until the process ends.
      CreateFileA(t.c_str() + 5, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      continue;
    }
    if (t.rfind("load:", 0) == 0) {
      HMODULE m = LoadLibraryA(t.c_str() + 5);
      if (m != nullptr && g_libraryCount < 8) g_libraries[g_libraryCount++] = m;
    } else if (t == "ieframe") {
      HWND frame = Make(L"IEFrame", TitleOr(L"Internet Explorer"), nullptr);
      HWND tab1 = Make(L"Frame Tab", L"", frame);
      Make(L"TabWindowClass", L"tab one", tab1);
      Make(L"Frame Tab", L"", frame);  // a tab without content
      // One pane per loaded library, whose instance is that library, as a
      // plug-in's window would have; titled "pane<n>".
      for (int i = 0; i < g_libraryCount; ++i) {
        wchar_t name[32];
        wsprintfW(name, L"PluginPane%d", i);
        Register(name, g_libraries[i]);
        wchar_t title[32];
        wsprintfW(title, L"pane%d", i);
        Make(name, title, frame, g_libraries[i]);
      }
    } else if (t == "chrome1") {
      HWND top = Make(L"Chrome_WidgetWin_1", TitleOr(L"Chrome"), nullptr);
      HWND host = Make(L"Chrome_WidgetWin_2", L"", top);
      Make(L"IEFrame", L"ie mode", host);
    } else if (t == "chrome2") {
      Make(L"Chrome_WidgetWin_2", L"alone", nullptr);
    } else if (t == "chrome2ie") {
      HWND top = Make(L"Chrome_WidgetWin_2", L"hidden host", nullptr);
      HWND frame = Make(L"IEFrame", L"hidden tab", top);
      HWND tab = Make(L"Frame Tab", L"", frame);
      Make(L"TabWindowClass", L"hidden content", tab);
    } else if (t == "dialog") {
      HWND manager = Make(L"LanternManager", L"Lantern Guard for Web Manager", nullptr);
      HWND owned = Make(L"#32770", L"product dialog", manager, nullptr, 0, WS_POPUP | WS_VISIBLE);
      Make(L"STATIC", L"product control", owned, nullptr, 1001);
      HWND plain = Make(L"#32770", L"other dialog", nullptr, nullptr, 0, WS_POPUP | WS_VISIBLE);
      Make(L"STATIC", L"other text", plain, nullptr, 0xFFFF);
    } else if (t == "corewindow") {
      // 表 ends in the byte 0x5C in cp932.
      Make(L"Windows.UI.Core.CoreWindow", L"\u8868\u793a\u30c6\u30b9\u30c8\u5929\u6c17", nullptr);
    } else if (t.rfind("many:", 0) == 0) {
      const int n = std::atoi(t.c_str() + 5);
      for (int i = 0; i < n; ++i) Make(L"PlainTop", L"bench window", nullptr);
    } else if (t.rfind("title:", 0) == 0) {
      std::string text;
      for (char c : t.substr(6)) text += c == '^' ? std::string("\r\n") : std::string(1, c);
      g_title.assign(static_cast<std::size_t>(MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0)), L'\0');
      MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &g_title[0], static_cast<int>(g_title.size()));
      g_title.resize(wcslen(g_title.c_str()));
    } else if (t.rfind("pipe:", 0) == 0) {
      // Instances enough for every client; none is ever written to.
      const std::string name = "\\\\.\\pipe\\" + t.substr(5);
      for (int i = 0; i < 16; ++i)
        CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, PIPE_UNLIMITED_INSTANCES, 512, 512, 0,
                         nullptr);
    } else if (t.rfind("churn:", 0) == 0) {
      SetTimer(nullptr, 0, static_cast<UINT>(std::atoi(t.c_str() + 6)), &ChurnBrowsers);
    } else if (t == "churn") {
      Churn();
    } else if (t.rfind("deep:", 0) == 0) {
      const int n = std::atoi(t.c_str() + 5);
      HWND parent = Make(L"DeepRoot", L"deep", nullptr);
      for (int i = 0; i < n && parent != nullptr; ++i) parent = Make(L"DeepChild", L"", parent);
    }
  }
  // Made last: a test that sees it knows every other window exists.
  Make(L"HostReady", L"ready", nullptr);
  MSG msg;
  // A steady period, which timer messages (sent only when the queue is
  // empty) would not give.
  while (g_churning != nullptr) {
    Sleep(20);
    Churn();
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return 0;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

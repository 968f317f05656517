// The player on Windows: the shell window with its menu, About box and help
// card opens first; the first time the message queue runs empty, GLUT takes
// over the thread.
#include <GL/freeglut.h>
#include <io.h>
#include <shellapi.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/command_line.h"
#include "app/player_session.h"
#include "app/start_glut.h"
#include "glm/glm.h"
#include "platform/help_card.h"
#include "platform/win32_text.h"
#include "resources/resource.h"

// The backdrop's size: the shell window's client area matches it.
static const int kBackdropWidth = 800;
static const int kBackdropHeight = 600;

// The message in the first of these code pages that reads it whole: the
// library's own text is ASCII, names from files may be UTF-8 or 949.
static std::wstring widenMessage(const char* message) {
  for (UINT codePage : {UINT(CP_UTF8), UINT(949), UINT(CP_ACP)}) {
    const DWORD flags = codePage == CP_ACP ? 0 : MB_ERR_INVALID_CHARS;
    int n = MultiByteToWideChar(codePage, flags, message, -1, nullptr, 0);
    if (n <= 0) continue;
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, flags, message, -1, &wide[0], n);
    wide.resize(wcslen(wide.c_str()));
    return wide;
  }
  return std::wstring();
}

static BOOL CALLBACK disableWindow(HWND window, LPARAM) {
  EnableWindow(window, FALSE);
  return TRUE;
}

// A GUI program's standard error goes nowhere: the model library's last
// message is shown before it ends the process. The player window is
// disabled too, so nothing reaches GLUT's callbacks while the box is open.
static void showFatalMessage(const char* message) {
  std::wstring text = widenMessage(message);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
  EnumThreadWindows(GetCurrentThreadId(), disableWindow, 0);
  MessageBoxW(appState.shellWindow, text.c_str(), appState.windowTitle, MB_OK | MB_ICONERROR);
}

// The arguments in UTF-8, as the shared parser and the file calls take them.
static std::vector<std::string> utf8Arguments() {
  std::vector<std::string> arguments;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 0; wide && i < count; i++) arguments.push_back(utf8FromWide(wide[i]));
  LocalFree(wide);
  if (arguments.empty()) arguments.push_back("plinkar");
  return arguments;
}

// A GUI program has no console of its own: its output goes where it was sent
// (a pipe or file), else to the console it was started from. False when
// there is neither, as from a shortcut.
static bool connectOutput() {
  HANDLE given = GetStdHandle(STD_OUTPUT_HANDLE);
  if (given && given != INVALID_HANDLE_VALUE && GetFileType(given) != FILE_TYPE_UNKNOWN &&
      _fileno(stdout) >= 0)
    return true;
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return false;
  return std::freopen("CONOUT$", "w", stdout) && std::freopen("CONOUT$", "w", stderr);
}

// Messages for a console when there is one, else in a box.
static void say(const std::string& text, bool problem, bool console) {
  if (console) {
    std::fputs(text.c_str(), problem ? stderr : stdout);
    std::fflush(problem ? stderr : stdout);
    return;
  }
  std::wstring wide = widenMessage(text.c_str());
  while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r')) wide.pop_back();
  MessageBoxW(nullptr, wide.c_str(), appState.windowTitle,
              MB_OK | (problem ? MB_ICONERROR : MB_ICONINFORMATION));
}

// --help, --version, --midi-list and bad usage: their text, then the status.
static int answer(const StartOptions& options, bool console) {
  if (console) return answerCommandLine(options, stdout, stderr);
  FILE* text = std::tmpfile();
  if (!text) return answerCommandLine(options, stdout, stderr);
  const int status = answerCommandLine(options, text, text);
  std::string said;
  std::rewind(text);
  char block[4096];
  for (size_t n; (n = std::fread(block, 1, sizeof block, text)) > 0;) said.append(block, n);
  std::fclose(text);
  if (!said.empty()) say(said, status != 0, false);
  return status;
}

// The program reads data\, wav\ and resources\ from its working folder. A
// shortcut or a double-click may start it elsewhere: then the folder of its
// own .exe, where the zip unpacked them, is used. False, after saying so in a
// box naming both places, when neither has the data.
bool findPlayerData() {
  const wchar_t* probe = L"data\\piano.obj";
  if (GetFileAttributesW(probe) != INVALID_FILE_ATTRIBUTES) return true;
  std::wstring here(32768, L'\0');
  here.resize(GetCurrentDirectoryW(static_cast<DWORD>(here.size()), &here[0]));
  std::wstring folder(32768, L'\0');
  folder.resize(GetModuleFileNameW(nullptr, &folder[0], static_cast<DWORD>(folder.size())));
  folder.resize(folder.find_last_of(L"\\/") == std::wstring::npos ? 0
                                                                  : folder.find_last_of(L"\\/"));
  if (!folder.empty() &&
      GetFileAttributesW((folder + L"\\" + probe).c_str()) != INVALID_FILE_ATTRIBUTES &&
      SetCurrentDirectoryW(folder.c_str()))
    return true;
  const std::wstring text = std::wstring(L"Plinkar can't find its data: there is no ") + probe +
                            L" in " + here + L" or in " + folder + L".";
  MessageBoxW(nullptr, text.c_str(), appState.windowTitle, MB_OK | MB_ICONERROR);
  return false;
}

// GLUT's idle redraw goes to the player window already: the shell window is
// not a GLUT window and never becomes current.
void setPlayerWindow(int) {}

INT_PTR CALLBACK aboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      break;
  }
  return FALSE;
}

LRESULT CALLBACK shellWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDM_ABOUT:
          DialogBoxParamW(appState.instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), window, aboutDlgProc,
                          0);
          return 0;
        case IDM_EXIT:
          DestroyWindow(window);
          return 0;
      }
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_PAINT: {
      // The picture comes from the display callback on the next frame.
      PAINTSTRUCT ps;
      BeginPaint(window, &ps);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

ATOM registerShellClass(HINSTANCE instance) {
  WNDCLASSEXW wcex = {};
  wcex.cbSize = sizeof(wcex);
  wcex.style = CS_HREDRAW | CS_VREDRAW;
  wcex.lpfnWndProc = shellWndProc;
  wcex.cbClsExtra = 0;
  wcex.cbWndExtra = 0;
  wcex.hInstance = instance;
  wcex.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_PLINKAR));
  wcex.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wcex.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wcex.lpszMenuName = MAKEINTRESOURCEW(IDC_PLINKAR);
  wcex.lpszClassName = appState.windowClassName;
  wcex.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_SMALL));
  return RegisterClassExW(&wcex);
}

bool createShellWindow(HINSTANCE instance, int showCommand) {
  appState.instance = instance;
  RECT rect = {0, 0, kBackdropWidth, kBackdropHeight};
  AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, TRUE);
  appState.shellWindow = CreateWindowExW(
      0, appState.windowClassName, appState.windowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
      rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, instance, nullptr);
  if (!appState.shellWindow) return false;
  initAppState();
  ShowWindow(appState.shellWindow, showCommand);
  UpdateWindow(appState.shellWindow);
  return true;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  glmSetFatalHandler(showFatalMessage);
  LoadStringW(instance, IDS_APP_TITLE, appState.windowTitle, 100);
  LoadStringW(instance, IDC_PLINKAR, appState.windowClassName, 100);
  std::vector<std::string> arguments = utf8Arguments();
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(&argument[0]);
  argv.push_back(nullptr);
  const StartOptions options = parseCommandLine(static_cast<int>(arguments.size()), argv.data());
  const bool console = connectOutput();
  if (options.action != StartAction::Play) return answer(options, console);
  std::string problem;
  if (!prepareSession(options, &problem)) {
    say("plinkar: " + problem + "\n", true, console);
    return 1;
  }
  if (!findPlayerData()) return 1;
  registerShellClass(instance);
  if (!createShellWindow(instance, showCommand)) return 0;
  startPlayerSession(options);

  appState.shellDC = GetDC(appState.shellWindow);
  appState.backdropDC = CreateCompatibleDC(nullptr);
  appState.backdropBitmap = LoadBitmapW(instance, MAKEINTRESOURCEW(IDB_BACKDROP));
  SelectObject(appState.backdropDC, appState.backdropBitmap);

  // Messages already queued are handled here; GLUT's loop takes over the
  // first time there are none, and never returns.
  MSG msg;
  for (;;) {
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) break;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    } else {
      startGlut();
    }
  }
  ReleaseDC(appState.shellWindow, appState.shellDC);
  return static_cast<int>(msg.wParam);
}

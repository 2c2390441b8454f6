// SHOTBOX.EXE entry and main window: the program lives as an icon whose
// system menu carries its commands; captures arrive as posted messages.
#include <windows.h>

#include "capture/sbhook32.h"
#include "messages/sbmsg32.h"
#include "shell/resource.h"
#include "shell/settings_win.h"
#include "shell/shell.h"
#include "shell/status_window.h"

namespace {

constexpr char kClassName[] = "Pictrap";

// SHOTBOX binds these at load time, by ordinal, so that a missing or wrong
// SBHOOK32 or SBMSG32 stops the program before it shows anything. The capture
// pipeline calls them; this table keeps the bindings even where nothing in
// this build calls one yet.
[[gnu::used]] const void* const kBoundImports[] = {
    reinterpret_cast<const void*>(&InitScreenCaptureKeystroke),
    reinterpret_cast<const void*>(&EndCapture),
    reinterpret_cast<const void*>(&CaptureScreen),
    reinterpret_cast<const void*>(&ShowError),
};

LRESULT OnCreate(HWND window) {
  g_shell.mainWindow = window;
  g_shell.currentFileName[0] = '\0';
  g_shell.capture = CaptureInfo{};
  LoadShellSettings(g_shell);
  return 0;
}

LRESULT OnClose(HWND window) {
  DestroyWindow(window);
  return 0;
}

LRESULT OnDestroy() {
  EndCapture();
  DestroyStatusWindow(g_shell.mainWindow);
  g_shell.statusWindow = nullptr;
  PostQuitMessage(0);
  return 0;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate(window);
    case WM_CLOSE:
      return OnClose(window);
    case WM_DESTROY:
      return OnDestroy();
    case WM_SIZE:
      // Whatever restores or resizes the window, it goes back to an icon.
      if (wParam != SIZE_MINIMIZED) ShowWindow(window, SW_SHOWMINIMIZED);
      return 0;
    case WM_QUERYOPEN:
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

bool RegisterMainClass(HINSTANCE instance) {
  WNDCLASSA wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = MainWindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, IDI_MYICON_NAME);
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszMenuName = "MainMenu";
  wc.lpszClassName = kClassName;
  return RegisterClassA(&wc) != 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (!RegisterMainClass(instance)) return 0;
  if (!RegisterStatusClass(instance)) return 0;
  g_shell.instance = instance;
  ModuleFilePath("SHOTBOX.INI", g_shell.iniPath, sizeof g_shell.iniPath);
  ModuleFilePath("SHOTBOX.HLP", g_shell.helpPath, sizeof g_shell.helpPath);
  HWND window = CreateWindowExA(0, kClassName, kProductName, WS_OVERLAPPEDWINDOW, 0, 0, 0, 0,
                                nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 0;
  g_shell.statusWindow = CreateStatusWindow(window, instance, kProductName, "Cancel");
  ShowWindow(window, SW_SHOWMINNOACTIVE);

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

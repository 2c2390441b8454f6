// SHOTBOX.EXE entry: one copy at a time, the window classes, the 3-D dialog
// library when present, the settings and help paths, the iconic main window
// and the hidden status window, then the message loop.
#include <windows.h>

#include "messages/message_box_place_win.h"
#include "platform/ctl3d_win.h"
#include "shell/dialogs_win.h"
#include "shell/hotkey_check_win.h"
#include "shell/main_window_win.h"
#include "shell/pipeline_win.h"
#include "shell/settings_win.h"
#include "shell/shell.h"
#include "shell/status_window.h"
#include "shell/tray_win.h"

namespace {

// The capture library's state is one for the whole system, so a second copy
// would be refused its hot key and, on leaving, would disarm the first. The
// previous-instance handle is always null on Win32: a named mutex, held for
// the life of the process, tells instead.
constexpr char kOneCopyMutex[] = "Global\\Pictrap.ShotBox.OneCopy";

bool AnotherCopyRuns() {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, kOneCopyMutex);
  return mutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (AnotherCopyRuns()) {
    const MessageBoxPlacement placed;
    MessageBoxA(GetFocus(), "Only one copy of Pictrap may be run at a time.", kProductName, MB_OK);
    return 0;
  }
  if (!RegisterMainClass(instance)) return 0;
  if (!RegisterStatusClass(instance)) return 0;
  g_shell.instance = instance;
  Ctl3dStart(instance);
  ModuleFilePath("SHOTBOX.INI", g_shell.iniPath, sizeof g_shell.iniPath);
  ModuleFilePath("SHOTBOX.HLP", g_shell.helpPath, sizeof g_shell.helpPath);
  HWND window = CreateWindowExA(0, kMainClassName, kProductName, WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr, nullptr,
                                instance, nullptr);
  if (window == nullptr) {
    Ctl3dStop(instance);
    return 0;
  }
  g_shell.statusWindow = CreateStatusWindow(window, instance, kProductName, "Cancel");
  ShowWindow(window, SW_SHOWMINNOACTIVE);
  AddTrayIcon(g_shell);
  WarnIfHotKeyTaken(g_shell);

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (IsHelpMessage(g_shell, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  EndNoticeBoxes();
  return static_cast<int>(msg.wParam);
}

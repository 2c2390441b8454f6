// The notification-area icon. Its menu is built from the system menu's own
// items, so that the texts, identifiers and greying are the system menu's,
// and what is chosen goes to the main window as the same WM_SYSCOMMAND: the
// busy rules and every command's handling are the system menu's too.
#include "shell/tray_win.h"

#include <shellapi.h>

#include "imaging/gdi_guards_win.h"
#include "shell/hotkey_words.h"
#include "shell/main_window_win.h"
#include "shell/pipeline_win.h"
#include "shell/resource.h"

static_assert(sizeof(NOTIFYICONDATAA{}.szTip) == kTrayTipSize);

namespace {

constexpr UINT kTrayIconId = 1;

struct TrayIcon {
  UINT taskbarCreated;  // the shell's broadcast when its taskbar is made anew
  bool added;
  HICON icon;
  bool iconOwned;  // loaded at the small size, ours to destroy
};

TrayIcon g_tray{};

// The small icon the notification area shows; the large one scaled down
// when the small size cannot be loaded.
void LoadTrayIcon(HINSTANCE instance) {
  if (g_tray.icon != nullptr) return;
  g_tray.icon = static_cast<HICON>(LoadImageA(instance, IDI_MYICON_NAME, IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                              GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  g_tray.iconOwned = g_tray.icon != nullptr;
  if (g_tray.icon == nullptr) g_tray.icon = LoadIconA(instance, IDI_MYICON_NAME);
}

// The version 2 record: its tip holds 128 bytes, and every Windows since
// 2000 (and Wine) takes it, where the full record of the headers is refused
// by older shells.
NOTIFYICONDATAA IconData(const ShellState& shell) {
  NOTIFYICONDATAA data{};
  data.cbSize = NOTIFYICONDATAA_V2_SIZE;
  data.hWnd = shell.mainWindow;
  data.uID = kTrayIconId;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = kTrayMessage;
  data.hIcon = g_tray.icon;
  FormatTrayTip(HotKeyChoiceOf(shell.settings), data.szTip, sizeof data.szTip);
  return data;
}

// "TaskbarCreated" may come while our icon survived (newer shells send it on
// a change of the display's scale, for one): adding then fails, and the icon
// that is there must still count as ours, or it would outlive the program.
void AddIcon(const ShellState& shell) {
  NOTIFYICONDATAA data = IconData(shell);
  g_tray.added = Shell_NotifyIconA(NIM_ADD, &data) != FALSE || Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

// The system menu's items, without their states: those come from the main
// window's own rules (SetCommandStates), as they do for the system menu.
HMENU BuildCommandMenu(HWND window) {
  HMENU system = GetSystemMenu(window, FALSE);
  HMENU popup = CreatePopupMenu();
  if (system == nullptr || popup == nullptr) return popup;
  const int count = GetMenuItemCount(system);
  for (int i = 0; i < count; ++i) {
    char text[80] = "";
    MENUITEMINFOA item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
    item.dwTypeData = text;
    item.cch = sizeof text - 1;
    if (!GetMenuItemInfoA(system, static_cast<UINT>(i), TRUE, &item)) continue;
    if (item.fType & MFT_SEPARATOR) AppendMenuA(popup, MF_SEPARATOR, 0, nullptr);
    else if ((item.fType & (MFT_BITMAP | MFT_OWNERDRAW)) == 0) AppendMenuA(popup, MF_STRING, item.wID, text);
  }
  SetCommandStates(popup);
  return popup;
}

void OpenCommandMenu(HWND window) {
  // A dialog of ours is open (the main window is disabled under it): the
  // system menu cannot be reached then either, and a second Capture Setup
  // must not open inside the first. The dialog comes to the front instead.
  if (!IsWindowEnabled(window)) {
    HWND popup = GetLastActivePopup(window);
    if (popup != nullptr && popup != window) SetForegroundWindow(popup);
    return;
  }
  MenuGuard menu(BuildCommandMenu(window));
  if (menu.get() == nullptr) return;
  POINT at{};
  GetCursorPos(&at);
  // Without the foreground the menu would not close on a click elsewhere;
  // the null message after it lets the next click open it again.
  SetForegroundWindow(window);
  const UINT command = static_cast<UINT>(TrackPopupMenu(
      menu.get(), TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, at.x, at.y, 0, window, nullptr));
  PostMessageA(window, WM_NULL, 0, 0);
  if (command != 0) PostMessageA(window, WM_SYSCOMMAND, command, MAKELPARAM(at.x, at.y));
}

}  // namespace

void AddTrayIcon(ShellState& shell) {
  if (shell.mainWindow == nullptr) return;
  g_tray.taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  LoadTrayIcon(shell.instance);
  AddIcon(shell);
}

void UpdateTrayTip(const ShellState& shell) {
  if (!g_tray.added) return;
  NOTIFYICONDATAA data = IconData(shell);
  data.uFlags = NIF_TIP;
  Shell_NotifyIconA(NIM_MODIFY, &data);
}

void RemoveTrayIcon(const ShellState& shell) {
  if (g_tray.added) {
    NOTIFYICONDATAA data = IconData(shell);
    data.uFlags = 0;
    Shell_NotifyIconA(NIM_DELETE, &data);
    g_tray.added = false;
  }
  if (g_tray.iconOwned && g_tray.icon != nullptr) DestroyIcon(g_tray.icon);
  g_tray.icon = nullptr;
  g_tray.iconOwned = false;
}

bool HandleTrayMessage(ShellState& shell, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kTrayMessage) {
    const UINT mouse = static_cast<UINT>(lParam);
    if (wParam == kTrayIconId && (mouse == WM_LBUTTONUP || mouse == WM_RBUTTONUP)) {
      // While busy (a capture or a countdown) the system menu does not open
      // either: the click gets "I'm Busy!". The menu's modal loop would
      // otherwise run inside the capture's own message dispatch and hold the
      // capture up, with the foreground taken from the user's application,
      // until the menu was closed.
      if (shell.busy) ShowBusyBox();
      else OpenCommandMenu(shell.mainWindow);
    }
    return true;
  }
  if (g_tray.taskbarCreated != 0 && message == g_tray.taskbarCreated) {
    // The old shell's icons died with it.
    if (g_tray.icon != nullptr) AddIcon(shell);
    return true;
  }
  // At log-off the window is not destroyed; the icon goes all the same.
  if (message == WM_ENDSESSION && wParam != FALSE) RemoveTrayIcon(shell);
  return false;
}

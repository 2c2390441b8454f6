// The main window procedure: a short switch with one handler per message,
// and one small function per system-menu command. While the pipeline is busy
// the window refuses every request, command and close (see each handler).
#include "shell/main_window_win.h"

#include "capture/sbhook32.h"
#include "messages/message_box_place_win.h"
#include "platform/ctl3d_win.h"
#include "printing/printing_win.h"
#include "shell/countdown_win.h"
#include "shell/dialogs_win.h"
#include "shell/hotkey_check_win.h"
#include "shell/hotkey_words.h"
#include "shell/main_window_rules.h"
#include "shell/pipeline_win.h"
#include "shell/resource.h"
#include "shell/saving_win.h"
#include "shell/settings_win.h"
#include "shell/status_window.h"
#include "shell/tray_win.h"
#include "shell/viewer_win.h"

namespace {

void RewriteSystemMenu(HWND window) {
  HMENU menu = GetSystemMenu(window, FALSE);
  InsertMenuA(menu, SC_RESTORE, MF_BYCOMMAND | MF_STRING, IDM_CAPTURE_SETUP, "Cap&ture Setup");
  DeleteMenu(menu, SC_RESTORE, MF_BYCOMMAND);
  ModifyMenuA(menu, SC_MOVE, MF_BYCOMMAND | MF_STRING, IDM_PRINTER_SETUP, "&Printer Setup");
  ModifyMenuA(menu, SC_SIZE, MF_BYCOMMAND | MF_STRING, IDM_VIEW_CAPTURE, "&View Last Capture");
  ModifyMenuA(menu, SC_MINIMIZE, MF_BYCOMMAND | MF_STRING, IDM_HELP, "&Help");
  ModifyMenuA(menu, SC_MAXIMIZE, MF_BYCOMMAND | MF_STRING, IDM_ABOUT, "&About");
}

// Gives one command the state; true when it had another.
bool SetCommandState(HMENU menu, UINT command, UINT state) {
  const UINT previous = EnableMenuItem(menu, command, MF_BYCOMMAND | state);
  return previous != static_cast<UINT>(-1) && (previous & (MF_GRAYED | MF_DISABLED)) != state;
}

bool EnableCommands(HWND window) { return SetCommandStates(GetSystemMenu(window, FALSE)); }

LRESULT OnCreate(HWND window) {
  g_shell.mainWindow = window;
  g_shell.currentFileName[0] = '\0';
  g_shell.currentImage = nullptr;
  g_shell.currentPalette = nullptr;
  g_shell.capture = CaptureInfo{};
  RewriteSystemMenu(window);
  LoadShellSettings(g_shell);
  RemoveStaleCaptureTemporaries(g_shell);
  ArmHotKey(g_shell);
  return 0;
}

LRESULT OnDestroy(HWND window, WPARAM wParam, LPARAM lParam) {
  RemoveTrayIcon(g_shell);
  StopCountdown(g_shell);
  // The PNG still promised is rendered now, so that it outlives the program,
  // whether or not the system asked with WM_RENDERALLFORMATS before this.
  RenderAllClipboardFormats(g_shell);
  ReleaseClipboardImage(g_shell);
  if (g_shell.busy) {
    PostQuitMessage(0);
    return DefWindowProcA(window, WM_DESTROY, wParam, lParam);
  }
  DisarmHotKey(g_shell);
  DiscardLastCapture(g_shell);
  if (g_shell.printerDevMode != nullptr) g_shell.printerDevMode = GlobalFree(g_shell.printerDevMode);
  if (g_shell.printerDevNames != nullptr) g_shell.printerDevNames = GlobalFree(g_shell.printerDevNames);
  DestroyStatusWindow(window);
  g_shell.statusWindow = nullptr;
  CloseHelp(g_shell);
  Ctl3dStop(g_shell.instance);
  PostQuitMessage(0);
  return 0;
}

LRESULT OnClose(HWND window) {
  if (g_shell.busy) {
    MessageBeep(0);
    return 0;
  }
  DestroyWindow(window);
  return 0;
}

LRESULT OnQueryEndSession() {
  if (!g_shell.busy) return 1;
  ShowSessionEndRefusal();
  return 0;
}

// Posted to make the window an icon again once a change that would have
// opened it is over.
constexpr UINT kKeepIconMessage = WM_USER + 4;
bool g_keepIconPending = false;
bool g_remapIcon = false;
int g_iconStrikes = 0;

// Only Wine's X11 driver maps the frame before it asks for the restore; on
// Windows a refused restore leaves the taskbar button as it was, and hiding
// and showing the window again would only make the button flicker and move.
bool RestoreMapsTheFrame() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

void KeepIconLater(HWND window, bool remap) {
  g_remapIcon |= remap;
  if (g_keepIconPending) return;
  g_keepIconPending = PostMessageA(window, kKeepIconMessage, 0, 0) != FALSE;
}

// A window manager that de-iconified the window has mapped its frame while
// the system still counts it an icon; only hiding it and showing it again as
// an icon maps it iconic once more (the remap). Otherwise the window is made
// an icon, which changes nothing for one that is an icon already.
LRESULT OnKeepIcon(HWND window) {
  const bool remap = g_remapIcon;
  g_keepIconPending = false;
  g_remapIcon = false;
  if (remap && IsIconic(window) && IsWindowVisible(window)) ShowWindow(window, SW_HIDE);
  ShowWindow(window, SW_SHOWMINNOACTIVE);
  return 0;
}

LRESULT OnWindowPosChanging(HWND window, WINDOWPOS* pos, LPARAM lParam) {
  const PositionChange change{IsIconic(window) != FALSE, IsWindowVisible(window) != FALSE,
                              (pos->flags & SWP_SHOWWINDOW) != 0, (pos->flags & SWP_HIDEWINDOW) != 0};
  const IconKeeping keep = KeepAnIcon(change, &g_iconStrikes);
  if (keep.refuseShow) pos->flags &= ~SWP_SHOWWINDOW;
  if (keep.hide) pos->flags |= SWP_HIDEWINDOW;
  if (keep.minimiseAgain) KeepIconLater(window, false);
  // The system's own handling (the size limits) still applies.
  return DefWindowProcA(window, WM_WINDOWPOSCHANGING, 0, lParam);
}

// WM_SHOWWINDOW cannot refuse; it can only see to it that the icon comes back.
LRESULT OnShowWindow(HWND window, WPARAM shown, LPARAM lParam) {
  if (shown != FALSE && !IsIconic(window)) KeepIconLater(window, false);
  return DefWindowProcA(window, WM_SHOWWINDOW, shown, lParam);
}

// The new mode, key and size reach the capture library only by arming again.
void RunCaptureSetup() {
  const HotKeyChoice before = HotKeyChoiceOf(g_shell.settings);
  if (RunCaptureSetupDialog(g_shell) != 0) return;
  RearmHotKey(g_shell);
  // The tip follows the key; a key just chosen is checked against other programs'.
  UpdateTrayTip(g_shell);
  if (!SameHotKey(before, HotKeyChoiceOf(g_shell.settings))) WarnIfHotKeyTaken(g_shell);
}

// The printer chosen here holds until the program ends.
void RunPrinterSetup(HWND window) {
  PrinterSetup(window, g_shell.instance, &g_shell.printerDevNames, &g_shell.printerDevMode);
}

void ViewLastCapture() { OpenViewer(g_shell); }

void OpenHelp() { ShowHelp(g_shell); }

void ShowAbout() { RunAboutDialog(g_shell); }

LRESULT OnSysCommand(HWND window, WPARAM wParam, LPARAM lParam) {
  // The window never opens: a restore request (a click on the icon under a
  // window manager, the taskbar button) leaves it an icon, and the icon is
  // mapped as one again in case the window manager opened its frame first.
  if (IsRestoreRequest(static_cast<std::uint32_t>(wParam))) {
    KeepIconLater(window, RestoreMapsTheFrame());
    return 0;
  }
  if (g_shell.busy) {
    ShowBusyBox();
    return 0;
  }
  switch (wParam) {
    case IDM_CAPTURE_SETUP: RunCaptureSetup(); return 0;
    case IDM_PRINTER_SETUP: RunPrinterSetup(window); return 0;
    case IDM_VIEW_CAPTURE: ViewLastCapture(); return 0;
    case IDM_HELP: OpenHelp(); return 0;
    case IDM_ABOUT: ShowAbout(); return 0;
    default: return DefWindowProcA(window, WM_SYSCOMMAND, wParam, lParam);
  }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (HandleTrayMessage(g_shell, message, wParam, lParam)) return 0;
  if (HandleCountdownMessage(g_shell, message, wParam)) return 0;
  switch (message) {
    case WM_CREATE:
      return OnCreate(window);
    case WM_DESTROY:
      return OnDestroy(window, wParam, lParam);
    case WM_SIZE:
      // Whatever restores or resizes the window, it goes back to an icon,
      // without taking the activation from the application in front.
      if (wParam != SIZE_MINIMIZED) ShowWindow(window, SW_SHOWMINNOACTIVE);
      return 0;
    case WM_CLOSE:
      return OnClose(window);
    case WM_QUERYENDSESSION:
      return OnQueryEndSession();
    case WM_WINDOWPOSCHANGING:
      return OnWindowPosChanging(window, reinterpret_cast<WINDOWPOS*>(lParam), lParam);
    case WM_SHOWWINDOW:
      return OnShowWindow(window, wParam, lParam);
    case kKeepIconMessage:
      return OnKeepIcon(window);
    case WM_QUERYOPEN:
      return 0;
    case WM_SYSCOLORCHANGE:
      Ctl3dColorChange();
      return DefWindowProcA(window, message, wParam, lParam);
    case WM_INITMENU:
      EnableCommands(window);
      return 0;
    case WM_ENTERIDLE:
      // Wine sets the system menu's states for an icon again after the
      // menu's own notices; once the menu is up, ours are put back. The menu
      // is repainted only then: every repaint ends in another idle notice,
      // and repainting on each would keep the program busy while it is open.
      if (wParam == MSGF_MENU && EnableCommands(window)) {
        InvalidateRect(reinterpret_cast<HWND>(lParam), nullptr, FALSE);
      }
      return DefWindowProcA(window, message, wParam, lParam);
    case WM_SYSCOMMAND:
      return OnSysCommand(window, wParam, lParam);
    case WM_RENDERFORMAT:
      RenderClipboardFormat(g_shell, static_cast<UINT>(wParam));
      return 0;
    case WM_RENDERALLFORMATS:
      RenderAllClipboardFormats(g_shell);
      return 0;
    case WM_DESTROYCLIPBOARD:
      ReleaseClipboardImage(g_shell);
      return 0;
    case kCaptureRequestMessage:
      RequestCapture(g_shell);  // now, after the delay, or not during a countdown
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

// The system greys Move, Size and Minimize for an icon; the commands that
// stand in their places are enabled, View Last Capture only with a capture.
bool SetCommandStates(HMENU menu) {
  bool changed = SetCommandState(menu, IDM_VIEW_CAPTURE, g_shell.currentImage != nullptr ? MF_ENABLED : MF_GRAYED);
  changed |= SetCommandState(menu, IDM_PRINTER_SETUP, MF_ENABLED);
  changed |= SetCommandState(menu, IDM_HELP, MF_ENABLED);
  return changed;
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
  wc.lpszClassName = kMainClassName;
  return RegisterClassA(&wc) != 0;
}

bool ArmHotKey(ShellState& shell) {
  const Settings& s = shell.settings;
  shell.hotKeyArmed = InitScreenCaptureKeystroke(shell.mainWindow, static_cast<DWORD>(s.Mode),
                                                 kCaptureRequestMessage, s.IncludeCursor, 1, s.Alt, s.Ctrl, s.Shift,
                                                 s.Key, s.SizeWd, s.SizeHt) != 0;
  if (shell.hotKeyArmed) return true;
  const MessageBoxPlacement placed;
  MessageBoxA(shell.mainWindow,
              "The capture hot key could not be set up, so Pictrap cannot take captures. Another program may be "
              "using the capture library: close it, then start Pictrap again.",
              kProductName, MB_OK | MB_ICONEXCLAMATION);
  return false;
}

void DisarmHotKey(ShellState& shell) {
  if (!shell.hotKeyArmed) return;
  EndCapture();
  shell.hotKeyArmed = false;
}

void RearmHotKey(ShellState& shell) {
  SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  ShowCursor(TRUE);
  DisarmHotKey(shell);
  ArmHotKey(shell);
  SaveShellSetupSettings(shell);
}

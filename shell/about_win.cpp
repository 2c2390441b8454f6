// The About box: product, version, and what the display offers.
#include <cstdio>

#include "imaging/gdi_guards_win.h"
#include "shell/dialog_rules.h"
#include "shell/dialogs_win.h"
#include "shell/resource.h"
#include "shell/version.h"

namespace {

constexpr char kVersion[] = PICTRAP_ABOUT_VERSION_TEXT;
constexpr char kCopyright[] = PICTRAP_COPYRIGHT;

void ShowVideoInfo(HWND dialog) {
  int bits = 0;
  {
    WindowDc screen;
    if (screen.get() != nullptr) {
      bits = GetDeviceCaps(screen.get(), BITSPIXEL) * GetDeviceCaps(screen.get(), PLANES);
    }
  }
  RECT desktop{};
  GetClientRect(GetDesktopWindow(), &desktop);
  char text[64];
  FormatVideoInfo(desktop.right - desktop.left, desktop.bottom - desktop.top, bits, text, sizeof text);
  SetDlgItemTextA(dialog, IDC_ABOUT_VIDEO, text);
}

// The display driver as system.ini names it; one blank when it names none.
void ShowDisplayDriver(HWND dialog) {
  char windows[MAX_PATH] = "";
  const UINT n = GetWindowsDirectoryA(windows, sizeof windows);
  char ini[MAX_PATH + 16];
  std::snprintf(ini, sizeof ini, "%s\\system.ini", n < sizeof windows ? windows : "");
  char driver[13];
  GetPrivateProfileStringA("Boot", "display.drv", " ", driver, sizeof driver, ini);
  SetDlgItemTextA(dialog, IDC_ABOUT_DRIVER, driver);
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      char caption[32];
      std::snprintf(caption, sizeof caption, "About %s", kProductName);
      SetWindowTextA(dialog, caption);
      SetDlgItemTextA(dialog, IDC_ABOUT_PRODUCT, kProductName);
      char version[32];
      std::snprintf(version, sizeof version, "Version %s", kVersion);
      SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, version);
      SetDlgItemTextA(dialog, IDC_ABOUT_COPYRIGHT, kCopyright);
      ShowVideoInfo(dialog);
      ShowDisplayDriver(dialog);
      return TRUE;
    }
    case WM_COMMAND:
      EndDialog(dialog, 0);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void RunAboutDialog(ShellState& shell) {
  DialogBoxParamA(shell.instance, IDD_ABOUT_NAME, shell.mainWindow, AboutProc, 0);
}

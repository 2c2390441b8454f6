// The Capture Setup dialog: capture mode, hot key, processing and
// destinations. Its enabling rules live in the portable dialog rules; this
// file moves them between the rules and the controls.
#include <cstdio>

#include "capture/monitors_win.h"
#include "shell/countdown_win.h"
#include "shell/dialog_rules.h"
#include "shell/dialogs_win.h"
#include "shell/resource.h"

namespace {

struct CaptureSetupDialog {
  ShellState* shell;
  CaptureSetupModel model;
};

CaptureSetupDialog* DialogData(HWND dialog) {
  return reinterpret_cast<CaptureSetupDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

std::uint8_t Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED ? 1 : 0; }

void Check(HWND dialog, int id, int on) { CheckDlgButton(dialog, id, on != 0 ? BST_CHECKED : BST_UNCHECKED); }

void Enable(HWND dialog, int id, bool on) { EnableWindow(GetDlgItem(dialog, id), on ? TRUE : FALSE); }

void ApplyEnabling(HWND dialog, const CaptureSetupEnabling& e) {
  Enable(dialog, IDC_INCLUDE_CURSOR, e.includeCursor);
  Enable(dialog, IDC_SIZE_WIDTH, e.definedSize);
  Enable(dialog, IDC_SIZE_TIMES, e.definedSize);
  Enable(dialog, IDC_SIZE_HEIGHT, e.definedSize);
  Enable(dialog, IDC_GREYSCALE, e.greyscale);
  Enable(dialog, IDC_BLACK_WHITE, e.blackWhite);
  Enable(dialog, IDC_DISK_SETUP, e.diskSetup);
  Enable(dialog, IDC_INC_FILE_NAME, e.incFileName);
}

void SetNumber(HWND dialog, int id, long value) {
  char text[16];
  std::snprintf(text, sizeof text, "%ld", value);
  SetDlgItemTextA(dialog, id, text);
}

// A size box that loses the focus: a value below 2 or beyond the virtual
// screen (every monitor: the box can be moved across them) becomes its
// extent; the box shows the number the record takes.
void CommitDefinedSize(HWND dialog, ShellState& shell, int id) {
  const CaptureRectangle desktop = VirtualScreen();
  const bool width = id == IDC_SIZE_WIDTH;
  const std::int32_t extent = width ? RectWidth(desktop) : RectHeight(desktop);
  // More than the nine characters that count, so that the rule sees what
  // else the box shows.
  char text[64] = "";
  GetDlgItemTextA(dialog, id, text, sizeof text);
  bool rewrite = false;
  const std::int32_t value = CorrectDefinedSize(text, extent, &rewrite);
  if (rewrite) SetNumber(dialog, id, value);
  (width ? shell.settings.SizeWd : shell.settings.SizeHt) = value;
}

// OK or Cancel pressed with Enter or Esc while a size box has the focus:
// the box is left as surely as by a click elsewhere.
void CommitFocusedSize(HWND dialog, ShellState& shell) {
  const HWND focus = GetFocus();
  if (focus == nullptr) return;
  if (focus == GetDlgItem(dialog, IDC_SIZE_WIDTH)) CommitDefinedSize(dialog, shell, IDC_SIZE_WIDTH);
  if (focus == GetDlgItem(dialog, IDC_SIZE_HEIGHT)) CommitDefinedSize(dialog, shell, IDC_SIZE_HEIGHT);
}

void Initialise(HWND dialog, CaptureSetupDialog& data) {
  const Settings& s = data.shell->settings;
  data.model = StartCaptureSetup(s);
  CheckRadioButton(dialog, IDC_MODE_AREA, IDC_MODE_DEFINED_SIZE, IDC_MODE_AREA + s.Mode);
  Check(dialog, IDC_INCLUDE_CURSOR, s.IncludeCursor);
  SetNumber(dialog, IDC_SIZE_WIDTH, s.SizeWd);
  SetNumber(dialog, IDC_SIZE_HEIGHT, s.SizeHt);
  Check(dialog, IDC_KEY_CTRL, s.Ctrl);
  Check(dialog, IDC_KEY_ALT, s.Alt);
  Check(dialog, IDC_KEY_SHIFT, s.Shift);
  CheckRadioButton(dialog, IDC_KEY_F1, IDC_KEY_F12, IDC_KEY_F1 + s.Key);
  Check(dialog, IDC_GREYSCALE, s.Greyscale);
  Check(dialog, IDC_INVERT, s.Invert);
  Check(dialog, IDC_BLACK_WHITE, s.Dither);
  Check(dialog, IDC_TO_CLIPBOARD, s.ToClipbd);
  Check(dialog, IDC_TO_PRINTER, s.Print);
  Check(dialog, IDC_TO_DISK, s.AutoSave);
  // Shown even while disabled, so that OK hands back the stored choice
  // rather than clearing it.
  Check(dialog, IDC_INC_FILE_NAME, s.IncFileName);
  ShowDelayChoice(dialog, IDC_DELAY, s.Delay);
  ApplyEnabling(dialog, CaptureSetupEnablingOf(data.model));
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  SetFocus(GetDlgItem(dialog, IDOK));
}

void StoreChoices(HWND dialog, CaptureSetupDialog& data) {
  Settings& s = data.shell->settings;
  s.Mode = data.model.mode;
  s.IncludeCursor = Checked(dialog, IDC_INCLUDE_CURSOR);
  s.Alt = Checked(dialog, IDC_KEY_ALT);
  s.Ctrl = Checked(dialog, IDC_KEY_CTRL);
  s.Shift = Checked(dialog, IDC_KEY_SHIFT);
  s.Key = data.model.key;
  s.Greyscale = Checked(dialog, IDC_GREYSCALE);
  s.Invert = Checked(dialog, IDC_INVERT);
  s.Dither = Checked(dialog, IDC_BLACK_WHITE);
  s.ToClipbd = Checked(dialog, IDC_TO_CLIPBOARD);
  s.Print = Checked(dialog, IDC_TO_PRINTER);
  s.AutoSave = Checked(dialog, IDC_TO_DISK);
  s.IncFileName = Checked(dialog, IDC_INC_FILE_NAME);
  s.Delay = ChosenDelay(dialog, IDC_DELAY);
}

INT_PTR OnCommand(HWND dialog, CaptureSetupDialog& data, int id, int notification) {
  switch (id) {
    case IDOK:
      CommitFocusedSize(dialog, *data.shell);
      StoreChoices(dialog, data);
      EndDialog(dialog, kSetupOkResult);
      return TRUE;
    case IDCANCEL:
      CommitFocusedSize(dialog, *data.shell);
      EndDialog(dialog, kSetupCancelResult);
      return TRUE;
    case IDC_SIZE_WIDTH:
    case IDC_SIZE_HEIGHT:
      if (notification == EN_KILLFOCUS) CommitDefinedSize(dialog, *data.shell, id);
      return TRUE;
    case IDC_DISK_SETUP:
      if (notification == BN_CLICKED) RunDiskSavingSetup(*data.shell, dialog);
      return TRUE;
    default:
      break;
  }
  if (notification != BN_CLICKED) return FALSE;
  const CaptureSetupUpdate u =
      CaptureSetupCommand(&data.model, id, IsDlgButtonChecked(dialog, id) == BST_CHECKED);
  ApplyEnabling(dialog, u.enabling);
  if (u.restoreIncFileName) Check(dialog, IDC_INC_FILE_NAME, data.model.storedIncFileName);
  if (u.focusWidth) SetFocus(GetDlgItem(dialog, IDC_SIZE_WIDTH));
  return TRUE;
}

INT_PTR CALLBACK CaptureSetupProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    Initialise(dialog, *reinterpret_cast<CaptureSetupDialog*>(lParam));
    return FALSE;  // the focus is on OK already; TRUE would move it to the first control
  }
  CaptureSetupDialog* data = DialogData(dialog);
  if (data == nullptr || message != WM_COMMAND) return FALSE;
  return OnCommand(dialog, *data, LOWORD(wParam), HIWORD(wParam));
}

}  // namespace

int RunCaptureSetupDialog(ShellState& shell) {
  CaptureSetupDialog data{&shell, {}};
  const INT_PTR result = DialogBoxParamA(shell.instance, IDD_CAPTURE_SETUP_NAME, shell.mainWindow,
                                         CaptureSetupProc, reinterpret_cast<LPARAM>(&data));
  return SetupConfirmed(result, kSetupOkResult, IsWindow(shell.mainWindow) != FALSE) ? 0 : 1;
}

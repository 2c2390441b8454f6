// Disk Saving Setup: the system's file-open dialog on the FORMATSETUP
// template, where the user picks a directory (not a file), the format and
// the automatic-name prefix.
#include <windows.h>
// The standard file-dialog control identifiers (after windows.h, which it needs).
#include <dlgs.h>

#include <cstdio>
#include <cstring>

#include "imaging/gdi_guards_win.h"
#include "platform/ctl3d_win.h"
#include "shell/dialog_rules.h"
#include "shell/dialogs_win.h"
#include "shell/resource.h"
#include "shell/saving_win.h"
#include "shell/settings_win.h"

namespace {

constexpr char kContextProperty[] = "PictrapDiskSetup";

struct DiskSetupContext {
  ShellState* shell;
  // The file type shown at OK. The hook keeps the dialog from handling a
  // change of type (it would put the type's pattern into the hidden name
  // box and refuse OK), so the dialog may not report the new type itself.
  UINT format;
};

// Lets the dialog accept OK in any existing directory; the name is dropped.
constexpr char kPlaceholderName[] = "temp.tmp";

void EnablePrefix(HWND dialog, bool on) {
  EnableWindow(GetDlgItem(dialog, IDC_PREFIX_LABEL), on ? TRUE : FALSE);
  EnableWindow(GetDlgItem(dialog, IDC_PREFIX), on ? TRUE : FALSE);
}

// What no file name may hold is taken out as it arrives, typed or pasted,
// with the caret kept after what was typed and a beep, as the edit refuses
// a character beyond its limit; a prefix with them would fail every save.
void RefuseNonFileNameCharacters(HWND edit) {
  char text[16];  // 3 typed, or a prefix of up to 8 from the settings
  GetWindowTextA(edit, text, sizeof text);
  DWORD start = 0, end = 0;
  SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  std::size_t caret = end;
  if (RemoveNonFileNameCharacters(text, &caret) == 0) return;
  // Changes the text again, with nothing left to take out.
  SetWindowTextA(edit, text);
  SendMessageA(edit, EM_SETSEL, caret, caret);
  MessageBeep(MB_OK);
}

void OnInitDialog(HWND dialog, DiskSetupContext& context) {
  SetPropA(dialog, kContextProperty, &context);
  const ShellState& shell = *context.shell;
  Ctl3dSubclassDialog(dialog, 0xFFFF);
  SendDlgItemMessageA(dialog, IDC_PREFIX, EM_LIMITTEXT, 3, 0);
  SetDlgItemTextA(dialog, IDC_PREFIX, shell.settings.AutoNamePrefix);
  if (shell.settings.AutoName != 0) {
    CheckDlgButton(dialog, IDC_AUTO_NAMES, BST_CHECKED);
  } else {
    CheckDlgButton(dialog, IDC_ASK_NAME, BST_CHECKED);
    EnablePrefix(dialog, false);
  }
}

// Runs before the dialog's own handling; FALSE lets that go on.
UINT_PTR OnCommand(HWND dialog, DiskSetupContext& context, int id, int notification) {
  ShellState& shell = *context.shell;
  switch (id) {
    case IDOK: {
      const LRESULT type = SendDlgItemMessageA(dialog, cmb1, CB_GETCURSEL, 0, 0);
      if (type != CB_ERR) context.format = static_cast<UINT>(type) + 1;
      shell.settings.AutoName = IsDlgButtonChecked(dialog, IDC_AUTO_NAMES) == BST_CHECKED ? 1 : 0;
      char prefix[5] = "";  // a longer stored prefix comes back as its first 4 characters
      GetDlgItemTextA(dialog, IDC_PREFIX, prefix, sizeof prefix);
      std::snprintf(shell.settings.AutoNamePrefix, sizeof shell.settings.AutoNamePrefix, "%s", prefix);
      return FALSE;
    }
    case IDC_AUTO_NAMES:
      EnablePrefix(dialog, true);
      SetFocus(GetDlgItem(dialog, IDC_PREFIX));
      return FALSE;
    case IDC_ASK_NAME:
      EnablePrefix(dialog, false);
      return FALSE;
    case IDC_PREFIX:
      if (notification == EN_CHANGE) RefuseNonFileNameCharacters(GetDlgItem(dialog, IDC_PREFIX));
      return FALSE;
    case cmb1:
      if (notification != CBN_SELCHANGE) return FALSE;
      SetDlgItemTextA(dialog, edt1, "Temp.tmp");
      return TRUE;
    default:
      return FALSE;
  }
}

UINT_PTR CALLBACK FormatSetupHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const auto* ofn = reinterpret_cast<const OPENFILENAMEA*>(lParam);
    OnInitDialog(dialog, *reinterpret_cast<DiskSetupContext*>(ofn->lCustData));
    return TRUE;
  }
  if (message == WM_DESTROY) {
    RemovePropA(dialog, kContextProperty);
    return FALSE;
  }
  auto* context = static_cast<DiskSetupContext*>(GetPropA(dialog, kContextProperty));
  if (context == nullptr || message != WM_COMMAND) return FALSE;
  return OnCommand(dialog, *context, LOWORD(wParam), HIWORD(wParam));
}

}  // namespace

void RunDiskSavingSetup(ShellState& shell, HWND owner) {
  char filter[sizeof kSaveFilter];
  MakeSaveFilter(filter);

  // The starting directory comes from the file, not from memory: a
  // directory on a removable drive chosen earlier in this run is not offered.
  char start[256] = "";
  ReadSettingText(shell, "CapDir", "", start, 255);
  if (std::strlen(start) == 2) std::strcat(start, "\\");

  char chosen[256];
  std::snprintf(chosen, sizeof chosen, "%s", kPlaceholderName);

  OPENFILENAMEA ofn = CaptureFileDialog(shell, owner, filter, chosen, sizeof chosen, start);
  // Without a title of its own the dialog calls itself "Open".
  ofn.lpstrTitle = "Disk Saving Setup";
  ofn.Flags = OFN_ENABLETEMPLATE | OFN_ENABLEHOOK | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
  DiskSetupContext context{&shell, 0};
  ofn.lCustData = reinterpret_cast<LPARAM>(&context);
  ofn.lpfnHook = FormatSetupHook;
  ofn.lpTemplateName = IDD_FORMAT_SETUP_NAME;
  BOOL chose;
  {
    CurrentDirectoryKeeper keep;
    chose = GetOpenFileNameA(&ofn);
  }
  // Capture Setup destroyed under it (the program closed meanwhile): nothing
  // was confirmed, whatever the file dialog returned.
  const bool ownerAlive = IsWindow(owner) != FALSE && IsWindow(shell.mainWindow) != FALSE;
  if (!SetupConfirmed(chose, TRUE, ownerAlive)) return;

  RememberCapFormat(shell, context.format != 0 ? context.format : ofn.nFilterIndex);
  RememberCapDirectory(shell, chosen, ofn.nFileOffset);

  char number[8];
  std::snprintf(number, sizeof number, "%d", static_cast<int>(shell.settings.AutoName));
  WriteSettingText(shell, "AutoName", number);
  WriteSettingText(shell, "AutoNamePrefix", shell.settings.AutoNamePrefix);
}

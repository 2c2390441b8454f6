// Help. A SHOTBOX.HLP beside the program opens in WinHelp as it always did;
// without one (nothing current can build or show such a file) the program
// shows its own help window, whose text is a resource of the program.
#include "platform/memory.h"
#include "shell/dialog_rules.h"
#include "shell/dialogs_win.h"
#include "shell/resource.h"

namespace {

bool HelpFileExists(const ShellState& shell) {
  const DWORD attributes = GetFileAttributesA(shell.helpPath);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The help text resource with the line endings an edit control shows.
void ShowHelpText(HWND dialog, HINSTANCE instance) {
  HRSRC found = FindResourceA(instance, IDR_HELP_TEXT_NAME, RT_RCDATA);
  HGLOBAL loaded = found != nullptr ? LoadResource(instance, found) : nullptr;
  const char* text = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (text == nullptr) return;
  const std::size_t length = SizeofResource(instance, found);
  // At most every character a line end, twice as long, and the terminator.
  MemOwner buffer(MemAlloc(2 * length + 1));
  MemLockGuard lock(buffer.get());
  if (lock.data() == nullptr) return;
  char* out = reinterpret_cast<char*>(lock.data());
  ToEditLineEndings(text, length, out, lock.size());
  SetDlgItemTextA(dialog, IDC_HELP_TEXT, out);
}

INT_PTR CALLBACK HelpProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* shell = reinterpret_cast<ShellState*>(lParam);
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      ShowHelpText(dialog, shell->instance);
      // The reader starts at the top, with nothing selected.
      SetFocus(GetDlgItem(dialog, IDCANCEL));
      return FALSE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) DestroyWindow(dialog);
      return TRUE;
    case WM_DESTROY:
      if (auto* shell = reinterpret_cast<ShellState*>(GetWindowLongPtrA(dialog, DWLP_USER))) {
        if (shell->helpWindow == dialog) shell->helpWindow = nullptr;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

void ShowHelp(ShellState& shell) {
  if (HelpFileExists(shell)) {
    WinHelpA(shell.mainWindow, shell.helpPath, HELP_CONTENTS, 0);
    return;
  }
  if (shell.helpWindow == nullptr) {
    shell.helpWindow = CreateDialogParamA(shell.instance, IDD_HELP_NAME, shell.mainWindow, HelpProc,
                                          reinterpret_cast<LPARAM>(&shell));
    if (shell.helpWindow == nullptr) return;
  }
  ShowWindow(shell.helpWindow, SW_SHOWNORMAL);
  SetForegroundWindow(shell.helpWindow);
}

void CloseHelp(ShellState& shell) {
  if (shell.helpWindow != nullptr) DestroyWindow(shell.helpWindow);
  shell.helpWindow = nullptr;
  // Harmless when WinHelp was never started.
  WinHelpA(shell.mainWindow, shell.helpPath, HELP_QUIT, 0);
}

bool IsHelpMessage(const ShellState& shell, MSG* msg) {
  return shell.helpWindow != nullptr && IsDialogMessageA(shell.helpWindow, msg) != FALSE;
}

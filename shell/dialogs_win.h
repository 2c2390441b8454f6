// The setup dialogs and Help, opened from the main window's system menu.
#pragma once

#include <windows.h>

#include "shell/shell.h"

// The About box, modal, owned by the main window.
void RunAboutDialog(ShellState& shell);
// Capture Setup, modal, owned by the main window: 0 after OK (the settings
// record holds the new choices; the caller re-arms the hot key and saves),
// 1 after Cancel and when the dialog was destroyed with the main window. The
// Defined Size reaches the record when its box loses the focus, so a Cancel
// keeps an edited size in memory.
int RunCaptureSetupDialog(ShellState& shell);
// Disk Saving Setup, the file-open dialog with the FORMATSETUP template,
// owned by `owner` (the Capture Setup dialog). Writes its keys itself on OK.
void RunDiskSavingSetup(ShellState& shell, HWND owner);

// Help: WinHelp on SHOTBOX.HLP when that file lies beside the program,
// otherwise the program's own help window with the text from its resources.
void ShowHelp(ShellState& shell);
// At the end of the run: closes any help the program opened.
void CloseHelp(ShellState& shell);
// For the message loop: keyboard navigation in the help window. True when
// the message was handled there.
bool IsHelpMessage(const ShellState& shell, MSG* msg);

// The program's icon in the notification area: the hot key in its tip, and
// a click opens the system menu's commands at the pointer.
#pragma once

#include "shell/shell.h"

// The icon's notices to the main window.
constexpr UINT kTrayMessage = WM_APP + 1;

// At start: adds the icon. Without a notification area (no shell, or the
// shell refuses) the program goes on as an icon with its system menu only.
void AddTrayIcon(ShellState& shell);
// After the hot key changed: the tip follows it.
void UpdateTrayTip(const ShellState& shell);
// On every orderly end: the icon goes.
void RemoveTrayIcon(const ShellState& shell);
// The icon's notices and the shell's "TaskbarCreated" (Explorer started
// again: the icon is added again). True when the message was one of them.
bool HandleTrayMessage(ShellState& shell, UINT message, WPARAM wParam, LPARAM lParam);

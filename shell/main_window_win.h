// SHOTBOX's main window: an icon whose system menu carries the program's
// commands, and which receives the capture requests.
#pragma once

#include "shell/shell.h"

constexpr char kMainClassName[] = "Pictrap";

bool RegisterMainClass(HINSTANCE instance);
// Enables and greys the program's commands in `menu` (the system menu, or
// the notification-area menu built from it); true when any state changed.
bool SetCommandStates(HMENU menu);
// Arms the hot key with the settings. When the capture library refuses, the
// user is told that no capture can be taken; returns false then.
bool ArmHotKey(ShellState& shell);
// Removes the hot key, when the library took our arming.
void DisarmHotKey(ShellState& shell);
// After Capture Setup's OK: wait cursor, disarm, arm with the new settings,
// then save the setup settings (which also recounts the capture number).
void RearmHotKey(ShellState& shell);

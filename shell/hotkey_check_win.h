// Whether another program holds the hot key's combination as its own
// system hot key, and telling the user so.
#pragma once

#include "shell/shell.h"

// Asks the platform about the armed hot key (at start and after Capture
// Setup's OK changed it) and shows a box when another program holds it. The
// choice and the arming stay as they are: the user decides.
void WarnIfHotKeyTaken(const ShellState& shell);

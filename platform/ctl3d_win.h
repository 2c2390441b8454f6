// CTL3D32, the 3-D dialog controls library, reached at run time by ordinal.
// Current Windows no longer ships it, so the program must start and work
// without it: every call here does nothing when the library is absent.
#pragma once

#include <windows.h>

// Loads the library if present and registers the instance with it (ordinal
// 12), then switches on automatic 3-D dialogs (ordinal 16).
void Ctl3dStart(HINSTANCE instance);
// The system colours changed (ordinal 6).
void Ctl3dColorChange();
// Gives a dialog's controls the 3-D look (ordinal 2); `types` 0xFFFF is all.
void Ctl3dSubclassDialog(HWND dialog, WORD types);
// Unregisters the instance (ordinal 13) and unloads the library.
void Ctl3dStop(HINSTANCE instance);
// True while the library is loaded.
bool Ctl3dPresent();

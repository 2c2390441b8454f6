// The bounded wait for the screen to repaint after one of our windows has
// left it. Shared by SBHOOK32 (the Full Screen grab hides the main window)
// and SHOTBOX (the capture viewer closes).
#pragma once

#include <windows.h>

// Marks `area` (screen coordinates) for repaint and waits, bounded, until no
// other thread's window there still has part of it to paint.
void LetScreenRepaint(const RECT& area);

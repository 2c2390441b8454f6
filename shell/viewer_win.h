// The capture viewer: the last capture at its natural size from the top left
// of a black window that covers the screen, until a key or a mouse button.
#pragma once

#include "shell/shell.h"

// Opens the viewer on the current image, disabling the main window; does
// nothing when there is no image or a viewer is open already.
void OpenViewer(ShellState& shell);
// Closes the viewer if it is open and enables the main window again. The
// capture pipeline calls it before it releases the image the viewer paints
// from, so no paint can reach a released image.
void CloseViewer(ShellState& shell);

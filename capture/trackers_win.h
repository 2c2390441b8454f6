// The selection trackers' installation, as CaptureScreen drives them for
// Area, Object and Defined Size. Each tracker is a system-wide mouse hook
// (MouseHookArea, MouseHookObject, MouseHookBox) that leaves the selected
// rectangle in CaptureRect and then sets SelectionDone.
#pragma once

// False when the hook could not be installed; nothing is then waited for.
bool InstallAreaTracker();
bool InstallObjectTracker();
bool InstallBoxTracker();
void RemoveTracker();
// The Defined Size box at CaptureRect, drawn by inversion.
void DrawBoxOutline();

// Naming and saving a capture: automatic names or the Save As dialog, the
// overwrite question, and the writer of the chosen format.
#pragma once

#include <cstdint>

#include "platform/memory.h"
#include "shell/shell.h"

// The file types of the Save As and Disk Saving Setup dialogs, in the order
// of CapFormat; each bar becomes a terminator.
constexpr char kSaveFilter[] =
    "BMP - Windows Bitmap|*.BMP|PCX - Zsoft Paintbrush|*.PCX|TIF - Tagged Image File Format|*.TIF||";
void MakeSaveFilter(char (&filter)[sizeof kSaveFilter]);

// 0 when a name was produced into `out` (kFileNameSize bytes); 1 when the
// user cancelled the Save As dialog or no valid name could be made.
int GetCaptureFileName(ShellState& shell, char* out);
// Writes the image to `path` in `format`, asking before replacing a file;
// a path whose file cannot be looked at is refused (200), never replaced
// unasked. Reports a writer's failure itself; always returns 0.
int SaveCapture(ShellState& shell, MemHandle image, std::uint8_t greyFlag, const char* path, std::uint16_t format);
// GetDriveTypeA of the path's root; DRIVE_UNKNOWN when it has none.
UINT PathDriveType(const char* path);

// Naming and saving a capture: automatic names or the Save As dialog, the
// overwrite question, and the writer of the chosen format.
#pragma once

#include <cstdint>

#include "platform/memory.h"
#include "shell/shell.h"

// The file types of the Save As and Disk Saving Setup dialogs, in the order
// of CapFormat; each bar becomes a terminator.
constexpr char kSaveFilter[] =
    "BMP - Windows Bitmap|*.BMP|PCX - Zsoft Paintbrush|*.PCX|TIF - Tagged Image File Format|*.TIF|"
    "PNG - Portable Network Graphics|*.PNG||";
void MakeSaveFilter(char (&filter)[sizeof kSaveFilter]);

// What the Save As and Disk Saving Setup dialogs share: the file dialog's
// record in its original 76-byte form, on the save filter and the stored
// format, choosing into `chosen` and starting in `start`.
OPENFILENAMEA CaptureFileDialog(const ShellState& shell, HWND owner, const char* filter, char* chosen,
                                DWORD chosenSize, const char* start);
// Keeps the file type the user chose, in the settings and in their file.
void RememberCapFormat(ShellState& shell, unsigned format);
// Keeps the directory of the path a dialog returned (up to its file name,
// without the backslash); in the file only when it is not on a removable
// drive, which may be gone at the next start.
void RememberCapDirectory(ShellState& shell, const char* chosen, std::size_t fileOffset);

// Removes the temporaries a killed save left in the capture directory.
void RemoveStaleCaptureTemporaries(const ShellState& shell);

// 0 when a name was produced into `out` (kFileNameSize bytes); 1 when the
// user cancelled the Save As dialog or no valid name could be made.
int GetCaptureFileName(ShellState& shell, char* out);
// Writes the image to `path` in `format`, asking before replacing a file;
// a path whose file cannot be looked at is refused (200), never replaced
// unasked. Reports a writer's failure itself; always returns 0.
int SaveCapture(ShellState& shell, MemHandle image, std::uint8_t greyFlag, const char* path, std::uint16_t format);
// GetDriveTypeA of the path's root; DRIVE_UNKNOWN when it has none.
UINT PathDriveType(const char* path);
// The display's resolution as a PNG's pHYs chunk keeps it, pixels per metre.
std::uint32_t DisplayPixelsPerMetre();

// Naming and saving. Every text is built within its buffer by the naming
// rules; this file adds the dialogs, the message boxes and the writers.
#include "shell/saving_win.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "formats/png_writer.h"
#include "formats/writer_file.h"
#include "formats/writers.h"
#include "imaging/gdi_guards_win.h"
#include "messages/message_box_place_win.h"
#include "messages/sbmsg32.h"
#include "shell/settings_win.h"
#include "shell/status_window.h"

namespace {

int AutomaticName(ShellState& shell, char* out) {
  if (!MakeAutoFileName(shell.settings, out, kFileNameSize)) {
    const MessageBoxPlacement placed;
    MessageBoxA(shell.mainWindow,
                "The capture directory is too long to hold a file name. Choose a shorter directory "
                "in Disk Saving Setup.",
                kProductName, MB_OK | MB_ICONEXCLAMATION);
    return 1;
  }
  AdvanceCaptureNumber(&shell.settings);
  return 0;
}

int AskedName(ShellState& shell, char* out) {
  char filter[sizeof kSaveFilter];
  MakeSaveFilter(filter);
  char chosen[256] = "";
  char start[sizeof shell.settings.CapDir + 1];
  std::snprintf(start, sizeof start, "%s%s", shell.settings.CapDir,
                std::strlen(shell.settings.CapDir) == 2 ? "\\" : "");

  OPENFILENAMEA ofn = CaptureFileDialog(shell, shell.mainWindow, filter, chosen, sizeof chosen, start);
  ofn.Flags = OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  BOOL chose;
  {
    CurrentDirectoryKeeper keep;
    chose = GetSaveFileNameA(&ofn);
  }
  if (!chose) return 1;

  // The chosen type is kept only with a name that holds its extension: a
  // name refused here is no save, and the settings must not say otherwise.
  char name[kFileNameSize];
  std::snprintf(name, sizeof name, "%s", chosen);
  if (!ReplaceExtension(name, sizeof name, static_cast<std::uint16_t>(ofn.nFilterIndex))) return 1;
  RememberCapFormat(shell, ofn.nFilterIndex);
  std::memcpy(out, name, sizeof name);

  RememberCapDirectory(shell, chosen, ofn.nFileOffset);
  return 0;
}

enum class Existence { Absent, Present, Unknown };

// Only the system's clear "no such file" or "no such path" means absent.
// Any other failure (a path longer than the ANSI calls take, say) may hide a
// file that the writer's replace would still reach, without the question.
// The attributes need no read access, so a file that exists but cannot be
// read is found too, and gets the question.
Existence TargetExistence(const char* path) {
  if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return Existence::Present;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Existence::Absent : Existence::Unknown;
}

}  // namespace

std::uint32_t DisplayPixelsPerMetre() {
  // Its logical inches, 0.0254 m each; 96 when the screen cannot be asked.
  WindowDc screen(nullptr);
  const int dpi = screen.get() != nullptr ? GetDeviceCaps(screen.get(), LOGPIXELSX) : 0;
  return PixelsPerMetre(dpi > 0 ? static_cast<std::uint32_t>(dpi) : 96);
}

void MakeSaveFilter(char (&filter)[sizeof kSaveFilter]) {
  std::memcpy(filter, kSaveFilter, sizeof kSaveFilter);
  for (char& c : filter) {
    if (c == '|') c = '\0';
  }
}

OPENFILENAMEA CaptureFileDialog(const ShellState& shell, HWND owner, const char* filter, char* chosen,
                                DWORD chosenSize, const char* start) {
  OPENFILENAMEA ofn{};
  ofn.lStructSize = 76;  // the original record, without the Windows 2000 fields
  ofn.hwndOwner = owner;
  ofn.hInstance = shell.instance;
  ofn.lpstrFilter = filter;
  ofn.nFilterIndex = shell.settings.CapFormat;
  ofn.lpstrFile = chosen;
  ofn.nMaxFile = chosenSize;
  ofn.lpstrInitialDir = start;
  return ofn;
}

void RememberCapFormat(ShellState& shell, unsigned format) {
  shell.settings.CapFormat = static_cast<std::uint16_t>(format);
  char number[8];
  std::snprintf(number, sizeof number, "%u", format);
  WriteSettingText(shell, "CapFormat", number);
}

void RememberCapDirectory(ShellState& shell, const char* chosen, std::size_t fileOffset) {
  char directory[sizeof shell.settings.CapDir];
  std::size_t cut = std::min(fileOffset, std::strlen(chosen));
  if (cut > 0 && chosen[cut - 1] == '\\') --cut;
  if (cut >= sizeof directory) cut = sizeof directory - 1;
  std::memcpy(directory, chosen, cut);
  directory[cut] = '\0';
  if (PathDriveType(chosen) != DRIVE_REMOVABLE) WriteSettingText(shell, "CapDir", directory);
  std::memcpy(shell.settings.CapDir, directory, sizeof directory);
}

void RemoveStaleCaptureTemporaries(const ShellState& shell) {
  char sample[kFileNameSize];
  if (MakeAutoFileName(shell.settings, sample, sizeof sample)) RemoveStaleTemporaries(sample);
}

int GetCaptureFileName(ShellState& shell, char* out) {
  out[0] = '\0';
  return shell.settings.AutoName != 0 ? AutomaticName(shell, out) : AskedName(shell, out);
}

UINT PathDriveType(const char* path) {
  const int root = PathRootLength(path);
  if (root & kPathRootError) return DRIVE_UNKNOWN;
  char rootPath[MAX_PATH];
  std::snprintf(rootPath, sizeof rootPath, "%.*s", root, path);
  return GetDriveTypeA(rootPath);
}

int SaveCapture(ShellState& shell, MemHandle image, std::uint8_t greyFlag, const char* path, std::uint16_t format) {
  switch (TargetExistence(path)) {
    case Existence::Present: {
      char question[kQuestionSize];
      FormatOverwriteQuestion(path, question, sizeof question);
      const MessageBoxPlacement placed;
      if (MessageBoxA(shell.mainWindow, question, kProductName, MB_YESNO | MB_ICONQUESTION) == IDNO) return 0;
      break;
    }
    case Existence::Unknown:
      // Nothing is written where it cannot be told what would be replaced.
      if (format >= 1 && format <= 4) {
        ShowError(kProductName, StatusCreateFailed);
        return 0;
      }
      break;
    case Existence::Absent:
      break;
  }
  // What a killed save left here goes first; this save's own is not open yet.
  RemoveStaleTemporaries(path);
  FormatSavingText(path, shell.statusText, sizeof shell.statusText);
  ShowStatus(shell.statusText);
  Status s = StatusOk;
  switch (format) {
    case 1:
      s = WriteBmpFile(StatusChannel(), path, image);
      break;
    case 2:
      s = WritePcxFile(StatusChannel(), path, image, 5, 300);
      break;
    case 3:
      s = WriteTiffFile(StatusChannel(), path, image, shell.capture.bitCount == 1 ? kTiffPackBits : kTiffUncompressed,
                        greyFlag, 300);
      break;
    case 4:
      s = WritePngFile(StatusChannel(), path, image, DisplayPixelsPerMetre());
      break;
    default:
      break;
  }
  HideStatus();
  if (s != StatusOk) ShowError(kProductName, s);
  return 0;
}

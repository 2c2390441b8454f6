// Naming and saving. Every text is built within its buffer by the naming
// rules; this file adds the dialogs, the message boxes and the writers.
#include "shell/saving_win.h"

#include <cstdio>
#include <cstring>

#include "formats/writers.h"
#include "messages/sbmsg32.h"
#include "shell/settings_win.h"
#include "shell/status_window.h"

namespace {

int AutomaticName(ShellState& shell, char* out) {
  if (!MakeAutoFileName(shell.settings, out, kFileNameSize)) {
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

  OPENFILENAMEA ofn{};
  ofn.lStructSize = 76;  // the original record, without the Windows 2000 fields
  ofn.hwndOwner = shell.mainWindow;
  ofn.hInstance = shell.instance;
  ofn.lpstrFilter = filter;
  ofn.nFilterIndex = shell.settings.CapFormat;
  ofn.lpstrFile = chosen;
  ofn.nMaxFile = sizeof chosen;
  ofn.lpstrInitialDir = start;
  ofn.Flags = OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetSaveFileNameA(&ofn)) return 1;

  shell.settings.CapFormat = static_cast<std::uint16_t>(ofn.nFilterIndex);
  char number[8];
  std::snprintf(number, sizeof number, "%u", static_cast<unsigned>(shell.settings.CapFormat));
  WriteSettingText(shell, "CapFormat", number);

  char name[kFileNameSize];
  std::snprintf(name, sizeof name, "%s", chosen);
  if (!ReplaceExtension(name, sizeof name, shell.settings.CapFormat)) return 1;
  std::memcpy(out, name, sizeof name);

  // The directory: the chosen path up to its file name, without the backslash.
  char directory[sizeof shell.settings.CapDir];
  std::size_t cut = ofn.nFileOffset;
  if (cut > 0 && chosen[cut - 1] == '\\') --cut;
  if (cut >= sizeof directory) cut = sizeof directory - 1;
  std::memcpy(directory, chosen, cut);
  directory[cut] = '\0';
  if (PathDriveType(out) != DRIVE_REMOVABLE) WriteSettingText(shell, "CapDir", directory);
  std::memcpy(shell.settings.CapDir, directory, sizeof directory);
  return 0;
}

bool FileExists(const char* path) {
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

}  // namespace

void MakeSaveFilter(char (&filter)[sizeof kSaveFilter]) {
  std::memcpy(filter, kSaveFilter, sizeof kSaveFilter);
  for (char& c : filter) {
    if (c == '|') c = '\0';
  }
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
  if (FileExists(path)) {
    char question[kQuestionSize];
    FormatOverwriteQuestion(path, question, sizeof question);
    if (MessageBoxA(shell.mainWindow, question, kProductName, MB_YESNO | MB_ICONQUESTION) == IDNO) return 0;
  }
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
    default:
      break;
  }
  HideStatus();
  if (s != StatusOk) ShowError(kProductName, s);
  return 0;
}

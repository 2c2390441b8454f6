// The settings record's Win32 side: the profile calls and the file search.
#include "shell/settings_win.h"

#include <cstdio>
#include <cstring>

#include "capture/monitors_win.h"

namespace {

constexpr char kSection[] = "Pictrap";

SettingsStore ProfileStore(ShellState& shell) {
  return SettingsStore{
      shell.iniPath,
      [](void* path, const char* key, const char* fallback, char* buffer, std::size_t size) {
        GetPrivateProfileStringA(kSection, key, fallback, buffer, static_cast<DWORD>(size),
                                 static_cast<const char*>(path));
      },
      [](void* path, const char* key, const char* text) {
        WritePrivateProfileStringA(kSection, key, text, static_cast<const char*>(path));
      }};
}

// The machine as loading sees it; `currentDirectory` receives the process's
// current directory, or nothing when it is longer than the buffer.
using CurrentDirectoryBuffer = char[kCurrentDirectoryLength + 1];

// The Defined Size box is limited by the virtual screen, every monitor,
// since it can be moved across all of them.
SettingsEnvironment MachineEnvironment(CurrentDirectoryBuffer& currentDirectory) {
  const CaptureRectangle desktop = VirtualScreen();
  const DWORD n = GetCurrentDirectoryA(sizeof currentDirectory, currentDirectory);
  if (n == 0 || n >= sizeof currentDirectory) currentDirectory[0] = '\0';
  return SettingsEnvironment{RectWidth(desktop), RectHeight(desktop), currentDirectory,
                             [](void*, char* directory, const char* extension) {
                               return FindHighestCaptureNumber(directory, extension);
                             },
                             nullptr};
}

}  // namespace

void ModuleFilePath(const char* name, char* out, std::size_t size) {
  // Room for the whole path: one cut short would have its last separator in
  // a parent folder, and the settings of another folder would be used. One
  // longer than this is taken as unknown.
  char module[1024] = "";
  const DWORD n = GetModuleFileNameA(nullptr, module, sizeof module);
  BuildModuleFilePath(n > 0 && n < sizeof module ? module : nullptr, name, out, size);
}

std::int32_t FindHighestCaptureNumber(char* directory, const char* extension) {
  const std::size_t n = std::strlen(directory);
  if (n > 0 && directory[n - 1] == '\\') directory[n - 1] = '\0';
  char pattern[MAX_PATH];
  const int length = std::snprintf(pattern, sizeof pattern, "%s\\CAP*.%s", directory, extension);
  if (length < 0 || static_cast<std::size_t>(length) >= sizeof pattern) return 0;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  std::int32_t highest = 0;
  do {
    if (found.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY)) continue;
    const std::int32_t number = CaptureNumberOf(found.cFileName);
    if (number > highest) highest = number;
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return highest;
}

void LoadShellSettings(ShellState& shell) {
  CurrentDirectoryBuffer currentDirectory;
  LoadSettings(ProfileStore(shell), MachineEnvironment(currentDirectory), &shell.settings);
}

void SaveShellSetupSettings(ShellState& shell) {
  CurrentDirectoryBuffer currentDirectory;
  SaveSetupSettings(ProfileStore(shell), MachineEnvironment(currentDirectory), &shell.settings);
}

void ReadSettingText(const ShellState& shell, const char* key, const char* fallback, char* buffer,
                     std::size_t size) {
  GetPrivateProfileStringA(kSection, key, fallback, buffer, static_cast<DWORD>(size), shell.iniPath);
}

void WriteSettingText(const ShellState& shell, const char* key, const char* text) {
  WritePrivateProfileStringA(kSection, key, text, shell.iniPath);
}

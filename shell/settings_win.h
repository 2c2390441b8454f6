// Settings through the private profile SHOTBOX.INI, and the capture-number
// search over a real directory.
#pragma once

#include <cstddef>
#include <cstdint>

#include "shell/shell.h"

// The program's directory plus `name` (ModuleFilePath).
void ModuleFilePath(const char* name, char* out, std::size_t size);
std::int32_t FindHighestCaptureNumber(char* directory, const char* extension);
void LoadShellSettings(ShellState& shell);
void SaveShellSetupSettings(ShellState& shell);
// Reads one key of the settings file (not the record in memory).
void ReadSettingText(const ShellState& shell, const char* key, const char* fallback, char* buffer,
                     std::size_t size);
// Writes one key of the settings file.
void WriteSettingText(const ShellState& shell, const char* key, const char* text);

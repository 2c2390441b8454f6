// File naming rules: automatic names, the extension the chosen type decides,
// path roots, and texts that show a path within a fixed-size buffer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "shell/settings.h"

constexpr std::size_t kFileNameSize = 260;     // the current file name buffer
constexpr std::size_t kQuestionSize = 256;     // the overwrite question
constexpr std::size_t kStatusTextSize = 160;   // the status window's text
constexpr int kPathRootError = 0x8000;

// The index of the first character after the path's last backslash; 0 when
// there is none.
std::size_t FileNamePart(const char* path);
// 3 for a root such as C:\, the length of \\server\share\ for a UNC path, or
// a value with bit 15 set when the path has no such root.
int PathRootLength(const char* path);

// CapDir, a backslash where needed, the prefix, the number and the format's
// extension. False (and `out` empty) when the name would not fit a path.
bool MakeAutoFileName(const Settings& settings, char* out, std::size_t size);
// Counts the next capture number on: 1, 2, ..., 9999, 1, ...
void AdvanceCaptureNumber(Settings* settings);
// False for what no file name may hold: \ / : * ? " < > | and the control
// characters below a blank.
bool IsFileNameCharacter(char c);
// Removes those from `text` in place and returns how many went; `*caret`
// (if given), a position in the text, moves back by those before it.
std::size_t RemoveNonFileNameCharacters(char* text, std::size_t* caret);
// Cuts the file name at its last dot and appends the format's extension.
// False when the result would not fit.
bool ReplaceExtension(char* path, std::size_t size, std::uint16_t format);
// The capture number a file name carries: up to four characters after the
// first three, read by the string-to-integer rule.
std::int32_t CaptureNumberOf(const char* fileName);

// Copies `path` into `out` (at most `limit` characters), shortening a long
// one in the middle as "C:\...\tail" so its file name stays visible.
void ShortenPath(const char* path, std::size_t limit, char* out, std::size_t size);
// "The filename, PATH, is already in use.  Would you like to overwrite it."
void FormatOverwriteQuestion(const char* path, char* out, std::size_t size);
// "Saving - " and the path's file name.
void FormatSavingText(const char* path, char* out, std::size_t size);

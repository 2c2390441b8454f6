// Settings rules: defaults, reading, corrections and writing back.
#include "shell/settings.h"

#include <cstdio>
#include <cstring>

#include "shell/naming.h"

namespace {

void ReadText(const SettingsStore& store, const char* key, const char* fallback, char* buffer,
              std::size_t size) {
  buffer[0] = '\0';
  store.read(store.context, key, fallback, buffer, size);
  buffer[size - 1] = '\0';
}

// Reads a number whose longest text is `longest` characters.
std::int32_t ReadInt(const SettingsStore& store, const char* key, const char* fallback, std::size_t longest) {
  char buffer[16];
  ReadText(store, key, fallback, buffer, longest + 1 < sizeof buffer ? longest + 1 : sizeof buffer);
  return ParseProfileInt(buffer);
}

std::uint8_t ReadByte(const SettingsStore& store, const char* key, const char* fallback) {
  return static_cast<std::uint8_t>(ReadInt(store, key, fallback, 3));
}

void WriteInt(const SettingsStore& store, const char* key, long value) {
  char text[16];
  std::snprintf(text, sizeof text, "%ld", value);
  store.write(store.context, key, text);
}

}  // namespace

std::int32_t ParseProfileInt(const char* text) {
  if (text == nullptr) return 0;
  while (*text == ' ' || *text == '\t') ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  std::uint32_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) value = value * 10 + static_cast<std::uint32_t>(*text - '0');
  return static_cast<std::int32_t>(negative ? 0u - value : value);
}

const char* CaptureExtension(std::uint16_t format) {
  switch (format) {
    case 1: return "bmp";
    case 2: return "pcx";
    case 3: return "tif";
    case 4: return "png";
    default: return nullptr;
  }
}

void ComputeNextCaptureNumber(const SettingsEnvironment& env, Settings* s) {
  s->NextCaptureNumber = 1;
  const char* extension = CaptureExtension(s->CapFormat);
  // With no format there is nothing on disk to continue from.
  if (s->AutoSave == 0 || extension == nullptr || env.findHighest == nullptr) return;
  char directory[sizeof s->CapDir];
  std::memcpy(directory, s->CapDir, sizeof directory);
  const std::int32_t highest = env.findHighest(env.findContext, directory, extension);
  s->NextCaptureNumber = highest >= 9999 || highest < 0 ? 1 : highest + 1;
}

void LoadSettings(const SettingsStore& store, const SettingsEnvironment& env, Settings* s) {
  *s = Settings{};
  s->Mode = ReadInt(store, "Mode", "1", 3);
  s->SizeWd = ReadInt(store, "SizeWd", "2", 5);
  if (s->SizeWd < 2 || env.desktopWidth < s->SizeWd) s->SizeWd = env.desktopWidth;
  s->SizeHt = ReadInt(store, "SizeHt", "2", 5);
  if (s->SizeHt < 2 || env.desktopHeight < s->SizeHt) s->SizeHt = env.desktopHeight;
  if (s->Mode > 5) s->Mode = 3;
  s->IncludeCursor = ReadInt(store, "IncludeCursor", "0", 9);
  s->Alt = ReadByte(store, "Alt", "1");
  s->Ctrl = ReadByte(store, "Ctrl", "1");
  s->Shift = ReadByte(store, "Shift", "0");
  s->Key = ReadByte(store, "Key", "10");
  s->Greyscale = ReadByte(store, "Greyscale", "0");
  s->Invert = ReadByte(store, "Invert", "0");
  s->Dither = ReadByte(store, "Dither", "0");
  s->ToClipbd = ReadByte(store, "ToClipbd", "0");
  s->AutoSave = ReadByte(store, "AutoSave", "1");
  s->Print = ReadByte(store, "Print", "0");
  s->IncFileName = ReadInt(store, "IncFileName", "0", 3);
  s->CapFormat = static_cast<std::uint16_t>(ReadInt(store, "CapFormat", "0", 3));
  ReadText(store, "CapDir", "", s->CapDir, 128);
  ReadText(store, "AutoNamePrefix", "Cap", s->AutoNamePrefix, 9);
  // A prefix edited by hand may hold what no file name can: those characters
  // are dropped, as the dialog refuses them, and every save goes on working.
  RemoveNonFileNameCharacters(s->AutoNamePrefix, nullptr);
  s->AutoName = static_cast<std::uint16_t>(ReadInt(store, "AutoName", "1", 3));
  // Saving is on by default, so a format must be too: with none, the first
  // capture of a new user would be "saved" without anything being written.
  // It is PNG, the format every other program takes; a file written by an
  // older version keeps the format it names.
  if (CaptureExtension(s->CapFormat) == nullptr) s->CapFormat = 4;
  if (s->CapDir[0] == '\0' && env.currentDirectory != nullptr) {
    std::snprintf(s->CapDir, kCurrentDirectoryLength + 1, "%s", env.currentDirectory);
  }
  ComputeNextCaptureNumber(env, s);
  // Five characters: "10000" must be seen whole to be refused, and no five
  // digits overflow the reading.
  s->Delay = CaptureDelayOf(ReadInt(store, "Delay", "0", 5));
}

void SaveSetupSettings(const SettingsStore& store, const SettingsEnvironment& env, Settings* s) {
  WriteInt(store, "Mode", s->Mode);
  WriteInt(store, "SizeWd", s->SizeWd);
  WriteInt(store, "SizeHt", s->SizeHt);
  WriteInt(store, "IncludeCursor", s->IncludeCursor);
  WriteInt(store, "Alt", s->Alt);
  WriteInt(store, "Ctrl", s->Ctrl);
  WriteInt(store, "Shift", s->Shift);
  WriteInt(store, "Key", s->Key);
  WriteInt(store, "Greyscale", s->Greyscale);
  WriteInt(store, "Invert", s->Invert);
  WriteInt(store, "Dither", s->Dither);
  WriteInt(store, "ToClipbd", s->ToClipbd);
  WriteInt(store, "Print", s->Print);
  WriteInt(store, "IncFileName", s->IncFileName);
  WriteInt(store, "AutoSave", s->AutoSave);
  WriteInt(store, "Delay", s->Delay);
  if (s->AutoSave != 0) ComputeNextCaptureNumber(env, s);
}

void BuildModuleFilePath(const char* modulePath, const char* name, char* out, std::size_t size) {
  if (out == nullptr || size == 0) return;
  if (modulePath == nullptr) modulePath = "";
  std::size_t cut = 0;  // just after the last backslash or colon
  for (std::size_t i = 0; modulePath[i] != '\0'; ++i) {
    if (modulePath[i] == '\\' || modulePath[i] == ':') cut = i + 1;
  }
  // A separator at 121 or later gets "?", and so does an unknown path: a bare
  // name would send the profile calls to the Windows directory.
  if (cut > 0 && cut < 122) {
    std::snprintf(out, size, "%.*s%s", static_cast<int>(cut), modulePath, name);
    return;
  }
  // "?" in the name's place, kept even when the directory must be shortened
  // to fit: the result names no usable file.
  if (size < 2) {
    out[0] = '\0';
    return;
  }
  const std::size_t keep = cut < size - 2 ? cut : size - 2;
  std::snprintf(out, size, "%.*s?", static_cast<int>(keep), modulePath);
}

std::int32_t CaptureDelayOf(std::int32_t seconds) {
  return seconds == 3 || seconds == 5 || seconds == 10 ? seconds : 0;
}

// The settings record, persisted in SHOTBOX.INI beside the program, section
// "Pictrap". The rules (defaults, the string-to-integer reading, field
// widths, load-time corrections) are here; the profile calls are Win32.
#pragma once

#include <cstddef>
#include <cstdint>

struct Settings {
  std::int32_t Mode;
  std::int32_t SizeWd;
  std::int32_t SizeHt;
  std::int32_t IncludeCursor;
  std::uint8_t Alt;
  std::uint8_t Ctrl;
  std::uint8_t Shift;
  std::uint8_t Key;
  std::uint8_t Greyscale;
  std::uint8_t Invert;
  std::uint8_t Dither;
  std::uint8_t ToClipbd;
  std::uint8_t AutoSave;
  std::uint8_t Print;
  std::int32_t IncFileName;
  std::uint16_t CapFormat;
  char CapDir[256];
  char AutoNamePrefix[9];
  std::int32_t AutoName;
  std::int32_t NextCaptureNumber;  // 1 to 9999; computed, never stored
  std::int32_t Delay;              // seconds from the hot key to the capture: 0, 3, 5 or 10
};

// The current directory stands in for an empty CapDir, at most this long.
constexpr std::size_t kCurrentDirectoryLength = 128;

// Where the settings come from and go to: the private profile on Windows.
struct SettingsStore {
  void* context;
  // Copies the key's text (or `fallback`) into `buffer`, truncated to
  // `size` - 1 characters.
  void (*read)(void* context, const char* key, const char* fallback, char* buffer, std::size_t size);
  void (*write)(void* context, const char* key, const char* text);
};

// What loading needs to know of the machine.
struct SettingsEnvironment {
  std::int32_t desktopWidth;
  std::int32_t desktopHeight;
  const char* currentDirectory;  // used when CapDir is empty
  // Highest capture number among the files of `directory` with `extension`.
  std::int32_t (*findHighest)(void* context, char* directory, const char* extension);
  void* findContext;
};

// The string-to-integer rule: leading blanks, an optional sign, then digits
// up to the first non-digit; no digits gives 0.
std::int32_t ParseProfileInt(const char* text);

void LoadSettings(const SettingsStore& store, const SettingsEnvironment& env, Settings* settings);
// The keys Capture Setup's OK writes, in their order, then the next number
// again when AutoSave is on.
void SaveSetupSettings(const SettingsStore& store, const SettingsEnvironment& env, Settings* settings);
// The next capture number after load or setup: highest on disk plus 1 when
// AutoSave is on, else 1.
void ComputeNextCaptureNumber(const SettingsEnvironment& env, Settings* settings);

// The search extension of a format ("bmp", "pcx", "tif", "png"), or null.
const char* CaptureExtension(std::uint16_t format);

// The program's directory plus `name`, from the program's whole path. When
// the last separator stands at position 121 or later (the directory would
// not fit a 128-byte path with the name), or the path is unknown (null),
// "?" takes the name's place so that the result names no usable file: every
// read then gives its default and every write fails.
void BuildModuleFilePath(const char* modulePath, const char* name, char* out, std::size_t size);

// A `Delay` as read: the offered delays (none, 3, 5 or 10 seconds) stand,
// anything else is none.
std::int32_t CaptureDelayOf(std::int32_t seconds);

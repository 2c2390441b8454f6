// File naming rules. Every text is built within its buffer: nothing here
// writes past the size it is given.
#include "shell/naming.h"

#include <cstdio>
#include <cstring>

namespace {
constexpr char kQuestionStart[] = "The filename, ";
constexpr char kQuestionEnd[] = ", is already in use.  Would you like to overwrite it.";
constexpr char kSaving[] = "Saving - ";
}  // namespace

std::size_t FileNamePart(const char* path) {
  if (path == nullptr) return 0;
  const char* slash = std::strrchr(path, '\\');
  return slash == nullptr ? 0 : static_cast<std::size_t>(slash - path) + 1;
}

int PathRootLength(const char* path) {
  if (path == nullptr) return kPathRootError;
  const std::size_t n = std::strlen(path);
  if (n > 2 && path[1] == ':' && path[2] == '\\') return 3;
  if (n < 2 || path[0] != '\\' || path[1] != '\\') return kPathRootError;
  const char* server = std::strchr(path + 2, '\\');
  if (server == nullptr) return kPathRootError;
  const char* share = std::strchr(server + 1, '\\');
  if (share == nullptr) return kPathRootError;
  const std::size_t length = static_cast<std::size_t>(share - path) + 1;
  return length < n ? static_cast<int>(length) : kPathRootError;
}

bool MakeAutoFileName(const Settings& s, char* out, std::size_t size) {
  const char* extension = CaptureExtension(s.CapFormat);
  const std::size_t dirLength = std::strlen(s.CapDir);
  // A directory that already ends in a backslash (a root such as C:\) gets
  // none more; any other gets one, so C: names C:\Cap7.bmp.
  const char* separator = dirLength == 0 || s.CapDir[dirLength - 1] == '\\' ? "" : "\\";
  const int n = std::snprintf(out, size, "%s%s%s%d%s%s", s.CapDir, separator, s.AutoNamePrefix,
                              static_cast<int>(s.NextCaptureNumber), extension ? "." : "",
                              extension ? extension : "");
  if (n < 0 || static_cast<std::size_t>(n) >= size) {
    if (size != 0) out[0] = '\0';
    return false;
  }
  return true;
}

void AdvanceCaptureNumber(Settings* s) {
  // Compared before adding: the number comes from outside (a file name, a
  // fuzzed record), and adding first overflows at the largest int.
  const std::int32_t n = s->NextCaptureNumber;
  s->NextCaptureNumber = n >= 1 && n < 9999 ? n + 1 : 1;
}

bool IsFileNameCharacter(char c) {
  return static_cast<unsigned char>(c) >= 32 && std::strchr("\\/:*?\"<>|", c) == nullptr;
}

std::size_t RemoveNonFileNameCharacters(char* text, std::size_t* caret) {
  std::size_t kept = 0, removedBeforeCaret = 0, i = 0;
  for (; text[i] != '\0'; ++i) {
    if (IsFileNameCharacter(text[i])) {
      text[kept++] = text[i];
    } else if (caret != nullptr && i < *caret) {
      ++removedBeforeCaret;
    }
  }
  text[kept] = '\0';
  if (caret != nullptr) *caret -= removedBeforeCaret;
  return i - kept;
}

bool ReplaceExtension(char* path, std::size_t size, std::uint16_t format) {
  // Only a dot in the file name counts: one in a directory name is not an
  // extension, and cutting there would save into another directory.
  char* dot = std::strrchr(path + FileNamePart(path), '.');
  const std::size_t stem = dot ? static_cast<std::size_t>(dot - path) : std::strlen(path);
  const char* extension = CaptureExtension(format);
  const std::size_t added = extension ? 1 + std::strlen(extension) : 0;
  if (stem + added >= size) return false;
  path[stem] = '\0';
  if (extension != nullptr) {
    path[stem] = '.';
    std::memcpy(path + stem + 1, extension, added);  // with its terminator
  }
  return true;
}

std::int32_t CaptureNumberOf(const char* fileName) {
  if (std::strlen(fileName) < 3) return 0;
  char digits[5] = {};
  std::strncpy(digits, fileName + 3, 4);
  return ParseProfileInt(digits);
}

void ShortenPath(const char* path, std::size_t limit, char* out, std::size_t size) {
  if (size == 0) return;
  if (limit >= size) limit = size - 1;
  const std::size_t n = std::strlen(path);
  if (n <= limit || limit < 4) {
    std::snprintf(out, limit + 1, "%s", path);
    return;
  }
  // Keep the root, then "...", then as much of the end as fits, starting at
  // a backslash where one lies within it.
  const int root = PathRootLength(path);
  std::size_t head = (root & kPathRootError) ? 0 : static_cast<std::size_t>(root);
  if (head + 3 + 8 > limit) head = 0;
  std::size_t tailLength = limit - head - 3;
  const char* tail = path + n - tailLength;
  if (const char* slash = std::strchr(tail, '\\'); slash != nullptr && slash[1] != '\0') tail = slash;
  tailLength = std::strlen(tail);
  std::memcpy(out, path, head);
  std::memcpy(out + head, "...", 3);
  std::memcpy(out + head + 3, tail, tailLength + 1);
}

void FormatOverwriteQuestion(const char* path, char* out, std::size_t size) {
  const std::size_t fixed = sizeof kQuestionStart - 1 + sizeof kQuestionEnd - 1;
  char shown[kQuestionSize];
  ShortenPath(path, size > fixed + 1 ? size - fixed - 1 : 0, shown, sizeof shown);
  std::snprintf(out, size, "%s%s%s", kQuestionStart, shown, kQuestionEnd);
}

void FormatSavingText(const char* path, char* out, std::size_t size) {
  const char* name = path + FileNamePart(path);
  const std::size_t room = size > sizeof kSaving ? size - sizeof kSaving : 0;
  char shown[kStatusTextSize];
  const std::size_t n = std::strlen(name);
  if (n <= room) {
    std::snprintf(shown, sizeof shown, "%s", name);
  } else {
    // A very long file name: its start, "...", and its end with the extension.
    const std::size_t keep = room > 3 ? room - 3 : 0;
    std::snprintf(shown, sizeof shown, "%.*s...%s", static_cast<int>(keep - keep / 2), name,
                  name + n - keep / 2);
  }
  std::snprintf(out, size, "%s%s", kSaving, shown);
}

// Texts and names the capture pipeline makes, free of the platform.
#pragma once

#include <cstddef>
#include <cstdint>

// "Printing " alone when nothing was saved, else "Printing - " and the file
// name part of `fileName`; a name too long for `size` keeps its start and its
// end (with the extension) around "...".
void FormatPrintingText(const char* fileName, char* out, std::size_t size);
// The letters A to Z become a to z; nothing else changes.
void LowerCaseAscii(char* text);

// The clipboard is tried again while another program holds it open: every
// kClipboardRetryMs until kClipboardPatienceMs have passed since the first
// refusal. The milliseconds to wait before the next try after `elapsedMs`;
// 0 means give up.
constexpr std::uint32_t kClipboardRetryMs = 20;
constexpr std::uint32_t kClipboardPatienceMs = 500;
std::uint32_t ClipboardRetryDelay(std::uint32_t elapsedMs);

// A top-level window of the program's thread as a capture starts.
struct OpenWindowFacts {
  bool visible;
  bool enabled;
  bool mainWindow;
  bool statusWindow;
};
// Whether the capture disables the window until it ends.
bool HoldForCapture(const OpenWindowFacts& window);

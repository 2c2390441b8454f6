// Texts and names the capture pipeline makes, free of the platform.
#pragma once

#include <cstddef>

// "Printing " alone when nothing was saved, else "Printing - " and the file
// name part of `fileName`; a name too long for `size` keeps its start and its
// end (with the extension) around "...".
void FormatPrintingText(const char* fileName, char* out, std::size_t size);
// The letters A to Z become a to z; nothing else changes.
void LowerCaseAscii(char* text);

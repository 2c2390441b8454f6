// The packed-DIB utilities that make GDI objects: the current palette, its
// duplicate for the clipboard, and the device bitmap for CF_BITMAP.
#pragma once

#include <windows.h>

#include "messages/status.h"
#include "platform/memory.h"

Status CreateDibPalette(MemHandle dib, HPALETTE* palette);
Status CopyPalette(HPALETTE palette, HPALETTE* copy);
Status DibToBitmap(MemHandle dib, HPALETTE palette, HBITMAP* bitmap);

// Greyscale and inversion of packed DIBs. Each returns a new block that the
// caller owns; the input stays with the caller (InvertDib normalises a grey
// input in place first).
#pragma once

#include "messages/status.h"
#include "platform/memory.h"

// A 24-bit image as an 8-bit image with the identity grey ramp.
Status ConvertRgb24ToGrey8(MemHandle dib, MemHandle* grey);
// 24-bit images become 8-bit grey; palette images get a grey colour table in
// their own index order.
Status MakeGreyscaleDib(MemHandle dib, MemHandle* grey);
// The colour negative: pixel bits, bytes or colour table by depth.
Status InvertDib(MemHandle dib, MemHandle* inverted);

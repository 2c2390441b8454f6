// Black-and-white conversion: a 4-, 8- or 24-bit packed DIB to a 1-bit one
// through a fixed tone curve and a threshold between the darkest and
// brightest curved levels of the colour table. The one long image step: it
// reports progress row by row and can be cancelled.
#pragma once

#include <cstdint>

#include "messages/status.h"
#include "platform/memory.h"
#include "platform/progress.h"

// The largest width or height the conversion accepts (its counters are 16-bit).
constexpr std::int32_t kBlackWhiteMaxSide = 32767;

extern const std::uint8_t kToneCurve[256];

// `status` may be null: then nothing is sent and nothing is drained.
Status MakeBlackWhiteDib(ProgressChannel* status, MemHandle dib, MemHandle* bw);

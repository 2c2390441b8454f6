// The image file writers. Each takes the status window (or null), the target
// path and a packed DIB, which it locks for the call and leaves as it was.
// A writer that fails or is cancelled leaves no file of its own and leaves
// any earlier file of that name untouched.
#pragma once

#include <cstdint>

#include "messages/status.h"
#include "platform/memory.h"
#include "platform/progress.h"

constexpr std::int32_t kWriterMaxSide = 32767;  // PCX and TIFF keep sizes in 16 bits
constexpr std::uint16_t kTiffUncompressed = 1;
constexpr std::uint16_t kTiffPackBits = 32773;

Status WriteBmpFile(ProgressChannel* status, const char* fileName, MemHandle dib);
Status WritePcxFile(ProgressChannel* status, const char* fileName, MemHandle dib,
                    std::uint8_t version, std::uint16_t resolution);
Status WriteTiffFile(ProgressChannel* status, const char* fileName, MemHandle dib,
                     std::uint16_t compression, std::uint8_t greyFlag, std::uint16_t resolution);
// `pixelsPerMetre` goes into the pHYs chunk for both axes.
Status WritePngFile(ProgressChannel* status, const char* fileName, MemHandle dib, std::uint32_t pixelsPerMetre);

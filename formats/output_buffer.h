// Output gathered in a fixed buffer and written to the file only in whole
// buffers, then once for what remains: the write pattern of the PCX and the
// PackBits TIFF writers.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "formats/writer_file.h"

struct OutputBuffer {
  WriterFile* file;
  std::uint8_t* buffer;
  std::uint32_t capacity;
  std::uint32_t used;

  // False when a full buffer was written short.
  bool Append(const std::uint8_t* data, std::size_t n) {
    while (n > 0) {
      const std::size_t take = std::min<std::size_t>(n, capacity - used);
      std::memcpy(buffer + used, data, take);
      used += static_cast<std::uint32_t>(take);
      data += take;
      n -= take;
      if (used == capacity) {
        used = 0;
        if (!file->Write(buffer, capacity)) return false;
      }
    }
    return true;
  }

  // Room to code into directly, or null when fewer than `n` bytes are free.
  std::uint8_t* Reserve(std::size_t n) { return capacity - used >= n ? buffer + used : nullptr; }
  // Takes `n` bytes coded into the reserved room; false when a full buffer
  // was written short.
  bool Commit(std::size_t n) {
    used += static_cast<std::uint32_t>(n);
    if (used < capacity) return true;
    used = 0;
    return file->Write(buffer, capacity);
  }

  // Writes what the buffer holds; false when it was written short.
  bool Flush() {
    const std::uint32_t n = used;
    used = 0;
    return file->Write(buffer, n);
  }
};

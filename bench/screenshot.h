// Screenshot-like test pictures for the benchmarks: flat window areas, lines
// of small dark "text" strokes, and a gradient band, as a screen shows them.
#pragma once

#include <cstdint>
#include <random>

#include "imaging/dib.h"
#include "platform/memory.h"

inline MemHandle MakeScreenshotDib(std::int32_t width, std::int32_t height, std::uint16_t bits) {
  const std::uint32_t colours = bits == 24 ? 0 : 1u << bits;
  const std::uint32_t stride = DibRowStride(bits, width);
  MemHandle h = MemAlloc(kDibHeaderSize + colours * 4 + std::size_t{stride} * height);
  MemLockGuard lock(h);
  std::uint8_t* p = lock.data();
  PutDibHeader(p, width, height, bits, colours);
  for (std::uint32_t i = 0; i < colours; ++i) {  // a spread of screen colours
    p[40 + 4 * i] = static_cast<std::uint8_t>(i * 37);
    p[40 + 4 * i + 1] = static_cast<std::uint8_t>(i * 91);
    p[40 + 4 * i + 2] = static_cast<std::uint8_t>(i * 53);
  }
  std::uint8_t* px = p + 40 + colours * 4;
  std::mt19937 rng(42);
  auto put = [&](std::int32_t x, std::int32_t y, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    std::uint8_t* row = px + std::size_t{stride} * (height - 1 - y);
    if (bits == 24) {
      row[3 * x] = b, row[3 * x + 1] = g, row[3 * x + 2] = r;
    } else {
      row[x] = static_cast<std::uint8_t>((r / 32) * 32 + (g / 32) * 4 + b / 64);
    }
  };
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      if (y < 30) {
        put(x, y, 0, 84, 147);  // title bar
      } else if (y > height - 120) {
        const auto v = static_cast<std::uint8_t>(x * 255 / width);  // gradient band
        put(x, y, v, static_cast<std::uint8_t>(255 - v), static_cast<std::uint8_t>(v / 2));
      } else if (x < 250) {
        put(x, y, 240, 240, 240);  // side panel
      } else {
        const bool textLine = (y / 18) % 2 == 0 && (y % 18) > 3 && (y % 18) < 15;
        const bool ink = textLine && (rng() % 5 == 0);
        put(x, y, ink ? 20 : 255, ink ? 20 : 255, ink ? 20 : 255);
      }
    }
  }
  return h;
}

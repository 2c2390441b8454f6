// Luminance (R * 30 + G * 59 + B * 11) / 100 in integers, shared by the
// greyscale and black-and-white conversions.
#pragma once

#include <cstdint>

// The division by 100 as a multiply and shift: exact for every sum the
// weights can produce (0 to 25500); the unit tests check all of them.
constexpr std::uint32_t DivideBy100(std::uint32_t sum) { return (sum * 5243u) >> 19; }

constexpr std::uint8_t Luminance(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return static_cast<std::uint8_t>(DivideBy100(red * 30u + green * 59u + blue * 11u));
}

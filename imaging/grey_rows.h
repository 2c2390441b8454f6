// The per-row loops of greyscale and black and white, with the variants the
// processor chooses between exposed so that the tests can hold each to the
// plain loop.
#pragma once

#include <cstdint>

// Writes the luminance of each of `width` blue-green-red pixels.
using GreyRowFn = void (*)(const std::uint8_t* bgr, std::uint8_t* grey, std::int32_t width);
void GreyRowPlain(const std::uint8_t* bgr, std::uint8_t* grey, std::int32_t width);
void GreyRowSse2(const std::uint8_t* bgr, std::uint8_t* grey, std::int32_t width);
void GreyRowSsse3(const std::uint8_t* bgr, std::uint8_t* grey, std::int32_t width);
void GreyRowAvx2(const std::uint8_t* bgr, std::uint8_t* grey, std::int32_t width);
// The best variant this processor runs.
GreyRowFn ChooseGreyRow();

// Packs one bit per pixel, leftmost pixel in the most significant bit: 1 when
// the pixel's byte is `cut` or more. The bits of the last byte past `width`
// are 0. Black and white of an image whose white entries are exactly those
// from `cut` on.
using ThresholdRowFn = void (*)(const std::uint8_t* in, std::int32_t width, std::uint8_t cut, std::uint8_t* out);
void ThresholdRowPlain(const std::uint8_t* in, std::int32_t width, std::uint8_t cut, std::uint8_t* out);
void ThresholdRowSse2(const std::uint8_t* in, std::int32_t width, std::uint8_t cut, std::uint8_t* out);
void ThresholdRowSsse3(const std::uint8_t* in, std::int32_t width, std::uint8_t cut, std::uint8_t* out);
ThresholdRowFn ChooseThresholdRow();

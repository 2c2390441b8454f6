// PCX run-length code, exposed for tests and benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::uint32_t kPcxBufferSize = 10240;

// Codes one plane line of `n` bytes into `out` (room for 2 * n bytes);
// returns the number of bytes written.
std::size_t EncodePcxLine(const std::uint8_t* in, std::size_t n, std::uint8_t* out);

// The variants the processor chooses between, exposed so that the tests can
// hold each to the plain rules; the Ssse3 ones only where the processor has
// SSSE3. The line coder with and without the 8-at-a-time coding of lone
// bytes, and the split of `width` blue-green-red pixels into plane lines.
std::size_t EncodePcxLineSse2(const std::uint8_t* in, std::size_t n, std::uint8_t* out);
std::size_t EncodePcxLineSsse3(const std::uint8_t* in, std::size_t n, std::uint8_t* out);
void SplitPcxPlanesPlain(const std::uint8_t* bgr, std::int32_t width, std::uint8_t* red, std::uint8_t* green,
                         std::uint8_t* blue);
void SplitPcxPlanesSsse3(const std::uint8_t* bgr, std::int32_t width, std::uint8_t* red, std::uint8_t* green,
                         std::uint8_t* blue);

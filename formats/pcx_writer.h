// PCX run-length code, exposed for tests and benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::uint32_t kPcxBufferSize = 10240;

// Codes one plane line of `n` bytes into `out` (room for 2 * n bytes);
// returns the number of bytes written.
std::size_t EncodePcxLine(const std::uint8_t* in, std::size_t n, std::uint8_t* out);

// The sentence SBMSG32 shows for a status code.
#pragma once

#include <cstddef>
#include <cstdint>

// Writes the zero-terminated sentence for the low 16 bits of `code` into
// `buffer` (truncated to fit) and returns the length written.
std::size_t FormatErrorSentence(std::uint32_t code, char* buffer, std::size_t size);

// A zlib stream (deflate with a zlib header and Adler-32) coded in pieces as
// they come, for the PNG writer and for the clipboard's PNG alike. Built for
// screenshots: one hash probe per position, greedy matches, and a Huffman
// code fitted to each block of input. Memory comes from fallible blocks only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "messages/status.h"
#include "platform/memory.h"

// Takes `n` coded bytes at `data`. The 8 bytes before `data` and the 4 after
// its end are the sink's to write into (a PNG chunk's length and type, and its
// CRC), so a chunk goes out in one write. False stops the coding.
using DeflateSink = bool (*)(void* context, std::uint8_t* data, std::uint32_t n);

constexpr std::uint32_t kDeflateSinkHead = 8;
constexpr std::uint32_t kDeflateSinkTail = 4;

// The sizes of the coder's memory for one stream.
struct DeflateSizes {
  std::uint32_t window;   // history and input not yet coded
  std::uint32_t symbols;  // words for the most matches one block can have
  std::uint32_t out;      // coded bytes gathered before the sink takes them
  std::uint32_t blockInput;  // input gathered before a block is coded
  unsigned hashBits;
};

class DeflateCoder {
 public:
  // Gets the coder's memory for a stream of exactly `total` bytes handed
  // over in pieces of at most `maxPiece` bytes; ok() says whether it came.
  // A `period` (an image's row, 0 for none) is a distance tried at each
  // position before the table. After 2^skipShift bytes in a row without a
  // match, positions are looked up further apart, the further the longer
  // the stretch: the fewer bytes a pixel has, the sooner this pays. Matches
  // shorter than 6 bytes go out as literals, and with `longMatches` those
  // shorter than 8 as well.
  DeflateCoder(std::uint64_t total, std::uint32_t maxPiece, DeflateSink sink, void* context,
               std::uint32_t period = 0, unsigned skipShift = 5, bool longMatches = false);
  DeflateCoder(const DeflateCoder&) = delete;
  DeflateCoder& operator=(const DeflateCoder&) = delete;

  bool ok() const {
    return window_ != nullptr && symbols_ != nullptr && out_ != nullptr && hash_ != nullptr;
  }
  // Room for the next piece: `maxPiece` bytes, or what the stream has left.
  std::uint8_t* Room();
  // Takes `n` bytes put into the room; false when the sink refused output.
  bool Commit(std::uint32_t n);
  // Codes what is left, the last block and the Adler-32; false when the
  // sink refused output.
  bool Finish();

  // The memory a stream of `total` bytes in pieces of `maxPiece` needs.
  static DeflateSizes SizesFor(std::uint64_t total, std::uint32_t maxPiece);

 private:
  // Records the block's matches and counts its symbols.
  template <std::uint32_t kLeast>
  void FindMatches(std::uint32_t* litFreq, std::uint32_t* distFreq, std::uint32_t* count);
  bool CodeBlock(bool last);
  bool WriteStored(std::uint32_t from, std::uint32_t n, bool last);
  void PutBits(std::uint32_t value, unsigned n);
  void AlignToByte();
  bool MakeRoom(std::uint32_t bytes);
  bool FlushOut();
  void Slide();

  DeflateSizes sizes_;
  std::uint32_t maxPiece_;
  std::uint32_t period_;
  unsigned skipShift_;
  bool longMatches_;  // none shorter than 8 bytes
  MemOwner windowBlock_, symbolBlock_, outBlock_, hashBlock_;
  MemLockGuard windowLock_, symbolLock_, outLock_, hashLock_;
  std::uint8_t* window_;    // history, then the input not yet coded
  std::uint32_t* symbols_;  // the matches of one block, with the literals between them counted
  std::uint8_t* out_;       // coded bytes, after kDeflateSinkHead
  std::uint32_t* hash_;     // last stream position (mod 2^32) of each hashed 4-byte prefix
  std::uint32_t base_ = 0;  // stream position (mod 2^32) of window_[0]
  std::uint32_t done_ = 0, end_ = 0;  // window indices: coded up to, filled up to
  std::uint32_t outUsed_ = 0;
  std::uint64_t bits_ = 0;
  unsigned bitCount_ = 0;
  std::uint32_t adler_ = 1;
  DeflateSink sink_;
  void* context_;
};

// Adler-32 of `n` bytes continued from `adler` (1 to start), by the best
// variant this processor runs; the variants are exposed for the tests, and
// each needs what its name says (CpuHasAvx2, CpuHasClmul).
std::uint32_t Adler32(std::uint32_t adler, const std::uint8_t* p, std::size_t n);
std::uint32_t Adler32Sse2(std::uint32_t adler, const std::uint8_t* p, std::size_t n);
std::uint32_t Adler32Avx2(std::uint32_t adler, const std::uint8_t* p, std::size_t n);
// CRC-32 (ISO-HDLC, as PNG and zlib use) of `n` bytes continued from `crc`
// (0 to start): by tables, or by carry-less multiplication where the
// processor has it.
std::uint32_t Crc32(std::uint32_t crc, const std::uint8_t* p, std::size_t n);
std::uint32_t Crc32Tables(std::uint32_t crc, const std::uint8_t* p, std::size_t n);
std::uint32_t Crc32Folding(std::uint32_t crc, const std::uint8_t* p, std::size_t n);
// Huffman code lengths for `count` symbols of the given frequencies, none
// longer than `limit`: a complete code whenever at least one frequency is
// not 0 (a lone used symbol gets a partner of length 1 too), all 0 when
// every frequency is.
void BuildCodeLengths(const std::uint32_t* freq, unsigned count, unsigned limit, std::uint8_t* lengths);

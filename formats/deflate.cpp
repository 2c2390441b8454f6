// The deflate coder (RFC 1950 and 1951). Screenshots are flat areas, rows
// that repeat the row above and glyphs and icons that recur across the
// screen, so a single probe of a hash of the next four bytes, taken greedily,
// finds nearly all that a deeper search would, at a fraction of its time. Each
// block of input gets its own Huffman code, fitted to its histogram, since a
// screen's regions differ in what they hold.
#include "formats/deflate.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include "imaging/cpu_features.h"
#if PICTRAP_X86
#include <immintrin.h>
#endif

namespace {

constexpr std::uint32_t kWindow = 32768;
constexpr std::uint32_t kMaxMatch = 258;
constexpr std::uint32_t kMinMatch = 4;  // what one probe of a 4-byte hash can find
// The shortest match taken. Shorter ones save little over literals, and each
// one ends a stretch of literals, whose probes then start again one to a byte:
// taking matches of 4 and 5 bytes made the 8-bit desktop's file 6% smaller but
// its coding some 15% slower (the 24-bit one's file 0.2% larger, and no
// faster). The rows of an 8-bit palette or grey screen take 8 at least: the
// 8-bit desktop's file is then 4% larger and its coding 6% faster as a 32-bit
// Linux program (under Wine, timed in turns, the whole save takes 8% less CPU
// time and 5% less elapsed). The 24-bit one's file would be 0.4% larger and its
// coding 1 to 2% slower, the 1-bit one's 1.7% larger and no faster, so they
// keep 6, and so do 4-bit rows, which were not measured. The least length is a
// template argument: as a value kept by the coder, it was one more for the
// 32-bit build's few registers, and the saves slowed by 5 to 9%.
constexpr std::uint32_t kLeastMatch = 6;
constexpr std::uint32_t kLeastLongMatch = 8;
// Input per block: large enough that the code's description (some 60 to 100
// bytes) is paid rarely, small enough to follow a screen's changing content.
// A small stream gets smaller blocks, down to the least, so that the work
// memory stays under the size of the stream itself: an eighth of a stream
// of 192 KB or more in pieces (rows) of at most a 64th of it, where the work
// memory is at most 0.85 of the stream, and less the larger the stream; a
// sixteenth otherwise.
constexpr std::uint32_t kBlockInput = 128 * 1024;
constexpr std::uint32_t kLeastBlockInput = 16 * 1024;
constexpr unsigned kMaxHashBits = 15;
constexpr std::uint32_t kStoredMax = 65535;

constexpr unsigned kLitCodes = 286;
constexpr unsigned kDistCodes = 30;
constexpr unsigned kLengthCodes = 19;

constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                           31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kDistBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                         33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                         1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                         6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr std::uint8_t kLengthOrder[kLengthCodes] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// The length code (0 for 257) of each match length 0..258.
constexpr std::array<std::uint8_t, 259> kLengthCodeOf = [] {
  std::array<std::uint8_t, 259> t{};
  for (unsigned c = 0; c < 29; ++c) {
    const unsigned last = c == 28 ? 258 : kLengthBase[c + 1] - 1u;
    for (unsigned len = kLengthBase[c]; len <= last && len <= 258; ++len) t[len] = static_cast<std::uint8_t>(c);
  }
  t[258] = 28;  // 258 has a code of its own, not 227's with all extra bits set
  return t;
}();

// The distance code of d = distance - 1: t[d] below 256, t[256 + (d >> 7)]
// above, where every code's range starts on a multiple of 128.
constexpr std::array<std::uint8_t, 512> kDistCodeOf = [] {
  std::array<std::uint8_t, 512> t{};
  for (unsigned c = 0; c < 30; ++c) {
    const unsigned first = kDistBase[c] - 1u;
    const unsigned last = first + (1u << kDistExtra[c]) - 1u;
    for (unsigned d = first; d <= last; ++d) {
      if (d < 256) t[d] = static_cast<std::uint8_t>(c);
      else if ((d & 127) == 0) t[256 + (d >> 7)] = static_cast<std::uint8_t>(c);
    }
  }
  return t;
}();

inline unsigned DistCodeOf(std::uint32_t d) { return d < 256 ? kDistCodeOf[d] : kDistCodeOf[256 + (d >> 7)]; }

// A block's matches, each as two words: the number of literals before it
// (which stay in the window, to be read from there), then its length << 15
// and distance - 1. A last pair with no match (0) holds the literals after
// the last match.

// The longest code of the literal and length alphabet. A limit of 12 costs
// a 24-bit screen some 0.6% over deflate's 15 (palette images less), and
// lets a store follow four literals rather than each one: two codes are
// within 24 bits, and four with the 7 bits a store may leave within 64.
constexpr unsigned kLiteralLimit = 12;

// Four histograms, summed at the end: within one, a stretch of a single
// value would wait on each increment before the next.
using LiteralCounts = std::uint32_t[4][256];

inline void CountLiterals(const std::uint8_t* p, std::uint32_t n, LiteralCounts& freq) {
  std::uint32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    ++freq[0][p[i]];
    ++freq[1][p[i + 1]];
    ++freq[2][p[i + 2]];
    ++freq[3][p[i + 3]];
  }
  for (; i < n; ++i) ++freq[0][p[i]];
}

inline std::uint32_t Load32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// How far the bytes at a and b agree, from `from` up to `limit`; the bytes
// before `from` are known to agree.
inline std::uint32_t MatchLength(const std::uint8_t* a, const std::uint8_t* b, std::uint32_t from,
                                 std::uint32_t limit) {
  std::uint32_t len = from;
#if defined(__SSE2__)
  const auto same16 = [&](std::uint32_t at) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + at));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + at));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, y)));
  };
  for (; len + 16 <= limit; len += 16) {
    const unsigned same = same16(len);
    if (same != 0xFFFF) return len + static_cast<std::uint32_t>(std::countr_zero(~same));
  }
  // The rest as the 16 bytes that end at the limit, which overlap those
  // known to agree, rather than byte by byte: a match of the longest length,
  // searched from its fifth byte, has 14 bytes left after its whole steps.
  if (len < limit && limit >= 16) {
    const unsigned same = same16(limit - 16);
    return same == 0xFFFF ? limit : limit - 16 + static_cast<std::uint32_t>(std::countr_zero(~same));
  }
#endif
  while (len < limit && a[len] == b[len]) ++len;
  return len;
}

struct Code {
  std::uint16_t bits;  // bit-reversed, ready to go out least significant bit first
  std::uint8_t length;
};

// A block's coded bits, gathered least significant first, as deflate orders
// them, and stored 8 bytes at a time with as many whole bytes kept as are
// complete. Fewer than 8 bits wait after a store, so there is room for four
// literals or a whole match before the next one.
// A 32-bit build keeps the bits, and their count, in SSE registers. Its
// seven general registers cannot hold a word of bits besides the loop's
// pointers, counts and codes: kept there, the bits, their count and the
// output pointer went to the stack, and each pair of literals waited on the
// reloads of what the pair before had stored. Now only the pointer does,
// once a store; the count in an SSE register is the shifts' operand as it
// stands, and leaves one more general register to the loop. Two
// literals' codes are joined in a general register before they go in, so
// that half as many values cross over: those moves and the register's
// shifts compete for the same execution port. Elsewhere the bits are a
// 64-bit integer, a register of a 64-bit build (32-bit builds without SSE2,
// which nothing ships, pay for two).
#if defined(__SSE2__) && !defined(__x86_64__)
#define PICTRAP_SSE_BITS 1
#else
#define PICTRAP_SSE_BITS 0
#endif
class BitSink {
 public:
#if PICTRAP_SSE_BITS
  BitSink(std::uint32_t bits, unsigned used, std::uint8_t* out) : bits_(Wide(bits)), used_(Wide(used)), out_(out) {}
  // `v` holds `n` bits (none above them); at most 57 go in between stores.
  void Put(std::uint32_t v, unsigned n) {
    bits_ = _mm_or_si128(bits_, _mm_sll_epi64(Wide(v), used_));
    used_ = _mm_add_epi64(used_, Wide(n));
  }
  void PutFour(const Code& a, const Code& b, const Code& c, const Code& d) {
    Put(a.bits | std::uint32_t{b.bits} << a.length, a.length + b.length);
    Put(c.bits | std::uint32_t{d.bits} << c.length, c.length + d.length);
  }
  void Store() {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out_), bits_);
    bits_ = _mm_srl_epi64(bits_, _mm_and_si128(used_, Wide(~7u)));
    out_ += static_cast<std::uint32_t>(_mm_cvtsi128_si32(used_)) >> 3;
    used_ = _mm_and_si128(used_, Wide(7));
  }
  std::uint32_t bits() const { return static_cast<std::uint32_t>(_mm_cvtsi128_si32(bits_)); }
  unsigned used() const { return static_cast<unsigned>(_mm_cvtsi128_si32(used_)); }
#else
  BitSink(std::uint32_t bits, unsigned used, std::uint8_t* out) : bits_(bits), used_(used), out_(out) {}
  // `v` holds `n` bits (none above them); at most 57 go in between stores.
  void Put(std::uint32_t v, unsigned n) {
    bits_ |= std::uint64_t{v} << used_;
    used_ += n;
  }
  void PutFour(const Code& a, const Code& b, const Code& c, const Code& d) {
    // The four codes joined first, then one shift into place.
    unsigned n = a.length;
    std::uint64_t v = a.bits;
    v |= std::uint64_t{b.bits} << n;
    n += b.length;
    v |= std::uint64_t{c.bits} << n;
    n += c.length;
    v |= std::uint64_t{d.bits} << n;
    bits_ |= v << used_;
    used_ += n + d.length;
  }
  void Store() {
    std::uint8_t piece[8];
    for (unsigned k = 0; k < 8; ++k) piece[k] = static_cast<std::uint8_t>(bits_ >> (8 * k));
    std::memcpy(out_, piece, sizeof piece);
    bits_ >>= used_ & ~7u;
    out_ += used_ >> 3;
    used_ &= 7;
  }
  std::uint32_t bits() const { return static_cast<std::uint32_t>(bits_); }
  unsigned used() const { return used_; }
#endif
  std::uint8_t* out() const { return out_; }

 private:
#if PICTRAP_SSE_BITS
  static __m128i Wide(std::uint32_t v) { return _mm_cvtsi32_si128(static_cast<int>(v)); }
  __m128i bits_;
  __m128i used_;
#else
  std::uint64_t bits_;
  unsigned used_;
#endif
  std::uint8_t* out_;
};

constexpr std::array<std::uint8_t, 256> kReversedByte = [] {
  std::array<std::uint8_t, 256> t{};
  for (unsigned v = 0; v < 256; ++v) {
    for (unsigned k = 0; k < 8; ++k) t[v] |= static_cast<std::uint8_t>(((v >> k) & 1u) << (7 - k));
  }
  return t;
}();

void AssignCodes(const std::uint8_t* lengths, unsigned count, Code* codes) {
  unsigned perLength[16] = {};
  for (unsigned s = 0; s < count; ++s) ++perLength[lengths[s]];
  perLength[0] = 0;
  unsigned next[16] = {};
  unsigned code = 0;
  for (unsigned len = 1; len < 16; ++len) {
    code = (code + perLength[len - 1]) << 1;
    next[len] = code;
  }
  for (unsigned s = 0; s < count; ++s) {
    const unsigned len = lengths[s];
    codes[s].length = static_cast<std::uint8_t>(len);
    if (len == 0) {
      codes[s].bits = 0;
      continue;
    }
    const unsigned c = next[len]++;
    const unsigned reversed = (kReversedByte[c & 0xFF] << 8 | kReversedByte[c >> 8]) >> (16 - len);
    codes[s].bits = static_cast<std::uint16_t>(reversed);
  }
}

// One code-length symbol of a tree's description: 0-15, or 16/17/18 with
// the repeat count's extra bits.
struct LengthSymbol {
  std::uint8_t symbol, extra;
};

unsigned DescribeLengths(const std::uint8_t* lengths, unsigned n, LengthSymbol* out) {
  unsigned k = 0;
  for (unsigned i = 0; i < n;) {
    const std::uint8_t v = lengths[i];
    unsigned run = 1;
    while (i + run < n && lengths[i + run] == v) ++run;
    i += run;
    if (v == 0) {
      while (run >= 11) {
        const unsigned r = std::min(run, 138u);
        out[k++] = {18, static_cast<std::uint8_t>(r - 11)};
        run -= r;
      }
      if (run >= 3) {
        out[k++] = {17, static_cast<std::uint8_t>(run - 3)};
        run = 0;
      }
    } else {
      out[k++] = {v, 0};
      --run;
      while (run >= 3) {
        const unsigned r = std::min(run, 6u);
        out[k++] = {16, static_cast<std::uint8_t>(r - 3)};
        run -= r;
      }
    }
    for (; run > 0; --run) out[k++] = {v, 0};
  }
  return k;
}

constexpr std::uint8_t kRepeatExtraBits[3] = {2, 3, 7};

// Sorts up to kLitCodes keys of frequency << 9 | symbol that come in the
// order of their symbols: by the frequency's three bytes, lowest first, each
// pass keeping the order of the one before. A comparison sort of a block's
// 286 keys spent most of its time on branches it could not foresee.
void SortKeys(std::uint32_t* key, unsigned m) {
  std::uint32_t other[kLitCodes];
  std::uint32_t* from = key;
  std::uint32_t* to = other;
  for (unsigned shift = 9; shift < 32; shift += 8) {
    unsigned start[257] = {};
    for (unsigned i = 0; i < m; ++i) ++start[((from[i] >> shift) & 0xFF) + 1];
    if (start[1] == m) continue;  // every key has this byte 0
    for (unsigned d = 1; d < 257; ++d) start[d] += start[d - 1];
    for (unsigned i = 0; i < m; ++i) to[start[(from[i] >> shift) & 0xFF]++] = from[i];
    std::swap(from, to);
  }
  if (from != key) std::memcpy(key, from, m * sizeof *key);
}

}  // namespace

void BuildCodeLengths(const std::uint32_t* freq, unsigned count, unsigned limit, std::uint8_t* lengths) {
  // Huffman's construction over the used symbols, sorted by frequency, with
  // the internal nodes made in order of weight (two queues, no heap). Leaves
  // deeper than the limit are brought up to it and the code made complete
  // again by moving leaves down from the deepest level that has room, the
  // rarest first: one pass, where rebuilding the tree from flattened
  // frequencies took several and was a tenth of a small image's time.
  std::memset(lengths, 0, count);
  std::uint32_t key[kLitCodes], weight[2 * kLitCodes];
  std::uint16_t parent[2 * kLitCodes];
  std::uint8_t depth[2 * kLitCodes];
  unsigned m = 0;
  // The frequency above the symbol in one word, so that a plain sort orders
  // both; a block's frequencies stay far below 2^23.
  for (unsigned s = 0; s < count; ++s) {
    if (freq[s] != 0) key[m++] = std::min<std::uint32_t>(freq[s], (1u << 23) - 1) << 9 | s;
  }
  if (m == 0) return;
  if (m == 1) {
    const unsigned s = key[0] & 511;
    lengths[s] = 1;
    lengths[s == 0 ? 1 : 0] = 1;
    return;
  }
  SortKeys(key, m);
  for (unsigned i = 0; i < m; ++i) weight[i] = key[i] >> 9;
  unsigned leaf = 0, inner = m;
  for (unsigned next = m; next < 2 * m - 1; ++next) {
    unsigned pick[2];
    for (unsigned& p : pick) {
      if (leaf < m && (inner >= next || weight[leaf] <= weight[inner])) p = leaf++;
      else p = inner++;
    }
    weight[next] = weight[pick[0]] + weight[pick[1]];
    parent[pick[0]] = parent[pick[1]] = static_cast<std::uint16_t>(next);
  }
  depth[2 * m - 2] = 0;
  unsigned perLength[32] = {};
  for (unsigned n = 2 * m - 2; n-- > 0;) {
    depth[n] = static_cast<std::uint8_t>(depth[parent[n]] + 1);
    if (n < m) ++perLength[std::min<unsigned>(depth[n], limit)];
  }
  // Kraft's sum in units of 2^-limit: over 2^limit once leaves were brought
  // up. Each step takes one leaf off the limit and moves one from the
  // deepest shorter level down a level, where it gains a sibling: the sum
  // falls by one unit a step.
  std::uint32_t kraft = 0;
  for (unsigned len = 1; len <= limit; ++len) kraft += perLength[len] << (limit - len);
  for (; kraft > (1u << limit); --kraft) {
    --perLength[limit];
    for (unsigned len = limit - 1; len > 0; --len) {
      if (perLength[len] != 0) {
        --perLength[len];
        perLength[len + 1] += 2;
        break;
      }
    }
  }
  // The lengths in order, the rarest symbols the longest.
  unsigned i = 0;
  for (unsigned len = limit; len > 0; --len) {
    for (unsigned k = perLength[len]; k > 0; --k) lengths[key[i++] & 511] = static_cast<std::uint8_t>(len);
  }
}

DeflateSizes DeflateCoder::SizesFor(std::uint64_t total, std::uint32_t maxPiece) {
  // Nothing bigger than the stream itself: a small image keeps its work
  // memory small.
  DeflateSizes z;
  z.blockInput = static_cast<std::uint32_t>(
      std::clamp<std::uint64_t>(total / (total >= 192 * 1024 && maxPiece <= total / 64 ? 8 : 16), kLeastBlockInput,
                                kBlockInput));
  const std::uint64_t block = std::min<std::uint64_t>(total, std::uint64_t{z.blockInput} + maxPiece);
  z.window = static_cast<std::uint32_t>(
      std::max<std::uint64_t>(1, std::min<std::uint64_t>(total, std::uint64_t{kWindow} + z.blockInput + maxPiece)));
  // Two words a match, a match every kLeastMatch bytes at most, and the last pair.
  z.symbols = static_cast<std::uint32_t>(2 * (block / kLeastMatch + 1));
  // Room for the largest block stored, its pieces' headers, the stream's
  // header and trailer and what the bit accumulator holds.
  const auto most = static_cast<std::uint32_t>(std::max<std::uint64_t>(block, 1));
  z.out = most + (most / kStoredMax + 1) * 5 + 64;
  // Four bytes an entry, at most an eighth of the stream.
  z.hashBits = 8;
  while (z.hashBits < kMaxHashBits && (std::uint64_t{32} << z.hashBits) < total) ++z.hashBits;
  return z;
}

DeflateCoder::DeflateCoder(std::uint64_t total, std::uint32_t maxPiece, DeflateSink sink, void* context,
                           std::uint32_t period, unsigned skipShift, bool longMatches)
    : sizes_(SizesFor(total, maxPiece)),
      maxPiece_(maxPiece),
      period_(period <= kWindow ? period : 0),
      // A shift of the word's width would be undefined; past 16 the step
      // would hardly grow within a block of 128 KB.
      skipShift_(std::min(skipShift, 16u)),
      longMatches_(longMatches),
      windowBlock_(MemAlloc(sizes_.window)),
      symbolBlock_(MemAlloc(std::size_t{4} * sizes_.symbols)),
      outBlock_(MemAlloc(std::size_t{kDeflateSinkHead} + sizes_.out + kDeflateSinkTail)),
      hashBlock_(MemAlloc(std::size_t{4} << sizes_.hashBits)),
      windowLock_(windowBlock_.get()),
      symbolLock_(symbolBlock_.get()),
      outLock_(outBlock_.get()),
      hashLock_(hashBlock_.get()),
      window_(windowLock_.data()),
      symbols_(reinterpret_cast<std::uint32_t*>(symbolLock_.data())),
      out_(outLock_.data() ? outLock_.data() + kDeflateSinkHead : nullptr),
      hash_(reinterpret_cast<std::uint32_t*>(hashLock_.data())),
      sink_(sink),
      context_(context) {
  // The zlib header: deflate with a 32 KB window, no dictionary, and the
  // check bits that make it a multiple of 31.
  PutBits(0x0178, 16);
}

void DeflateCoder::PutBits(std::uint32_t value, unsigned n) {
  bits_ |= std::uint64_t{value} << bitCount_;
  bitCount_ += n;
  if (bitCount_ >= 32) {
    const auto word = static_cast<std::uint32_t>(bits_);
    out_[outUsed_] = static_cast<std::uint8_t>(word);
    out_[outUsed_ + 1] = static_cast<std::uint8_t>(word >> 8);
    out_[outUsed_ + 2] = static_cast<std::uint8_t>(word >> 16);
    out_[outUsed_ + 3] = static_cast<std::uint8_t>(word >> 24);
    outUsed_ += 4;
    bits_ >>= 32;
    bitCount_ -= 32;
  }
}

void DeflateCoder::AlignToByte() {
  bitCount_ = (bitCount_ + 7) & ~7u;
  while (bitCount_ >= 8) {
    out_[outUsed_++] = static_cast<std::uint8_t>(bits_);
    bits_ >>= 8;
    bitCount_ -= 8;
  }
  bits_ = 0;
}

bool DeflateCoder::FlushOut() {
  if (outUsed_ == 0) return true;
  const std::uint32_t n = outUsed_;
  outUsed_ = 0;
  return sink_(context_, out_, n);
}

bool DeflateCoder::MakeRoom(std::uint32_t bytes) { return sizes_.out - outUsed_ >= bytes || FlushOut(); }

std::uint8_t* DeflateCoder::Room() {
  if (sizes_.window - end_ < maxPiece_ && done_ > kWindow) Slide();
  return window_ + end_;
}

void DeflateCoder::Slide() {
  // Keeps the last window of coded input as history; the hash table holds
  // stream positions, so it stays as it is.
  const std::uint32_t from = done_ - kWindow;
  std::memmove(window_, window_ + from, end_ - from);
  base_ += from;
  done_ -= from;
  end_ -= from;
}

bool DeflateCoder::Commit(std::uint32_t n) {
  end_ += n;
  return end_ - done_ < sizes_.blockInput || CodeBlock(false);
}

bool DeflateCoder::Finish() {
  if (!CodeBlock(true)) return false;
  if (!MakeRoom(12)) return false;
  AlignToByte();
  for (int shift = 24; shift >= 0; shift -= 8) out_[outUsed_++] = static_cast<std::uint8_t>(adler_ >> shift);
  return FlushOut();
}

template <std::uint32_t kLeast>
void DeflateCoder::FindMatches(std::uint32_t* litFreq, std::uint32_t* distFreq, std::uint32_t* count) {
  static_assert(kLeast >= kLeastMatch, "SizesFor allows a match every kLeastMatch bytes, and no more");
  const std::uint8_t* w = window_;
  const unsigned shift = 32 - sizes_.hashBits;
  std::uint32_t* const table = hash_;
  std::uint32_t* rec = symbols_;
  std::uint32_t p = done_, literalsFrom = done_;
  const std::uint32_t end = end_;
  const std::uint32_t base = base_;  // a local: the stores through the tables could alias a member
  const std::uint32_t period = period_;
  const unsigned skipShift = skipShift_;
  // The first 2^skipShift literals of a stretch are each probed, and
  // counted as they are; those after them are counted when the stretch
  // ends, where the probes have passed over some.
  const std::uint32_t probedEach = std::uint32_t{1} << skipShift;
  LiteralCounts literals = {};
  while (p + kMinMatch <= end) {
    const std::uint32_t here = Load32(w + p);
    const std::uint32_t h = (here * 2654435761u) >> shift;
    const std::uint32_t position = base + p;
    // The same place a row up is tried first: unfiltered, a screen's rows
    // repeat the row above over long stretches, positions the table seldom
    // holds since a match's inner positions are not entered.
    const std::uint32_t distance =
        period != 0 && p >= period && Load32(w + p - period) == here ? period : position - table[h];
    table[h] = position;
    // The candidate must lie within the window and within what the buffer
    // still holds; the compare rules out stale and colliding entries.
    std::uint32_t len = 0;
    if (distance - 1 < kWindow && distance <= p && Load32(w + p - distance) == here) {
      len = MatchLength(w + p, w + p - distance, kMinMatch, std::min(kMaxMatch, end - p));
    }
    if (len >= kLeast) {
      const std::uint32_t counted = std::min(p, literalsFrom + probedEach);
      if (counted < p) CountLiterals(w + counted, p - counted, literals);
      rec[0] = p - literalsFrom;
      rec[1] = len << 15 | (distance - 1);
      rec += 2;
      ++litFreq[257 + kLengthCodeOf[len]];
      ++distFreq[DistCodeOf(distance - 1)];
      // The match's last position goes into the table too: a repeat of what
      // follows it is then found from there.
      if (p + len + kMinMatch <= end) {
        const std::uint32_t q = p + len - 1;
        table[(Load32(w + q) * 2654435761u) >> shift] = base + q;
      }
      p += len;
      literalsFrom = p;
    } else {
      // The longer a stretch goes without a match (noise, anti-aliased
      // text, a photograph), the further apart the positions looked up:
      // one in two after 2^skipShift literals, one in three after twice as
      // many, and so on. What lies between goes out as literals all the
      // same. On screens this is much faster and barely larger, and noise
      // no longer pushes useful positions out of the table. The step
      // follows from the stretch's length, not from a count of misses: a
      // count is one more value to carry, which a 32-bit build keeps in
      // memory. A probe of the first step counts its byte, without a
      // branch: counting the short stretches again when they end, as most
      // of a screen's literals are, made the 24-bit desktop's coding some
      // 7% slower.
      const std::uint32_t run = p - literalsFrom;
      literals[0][w[p]] += run < probedEach ? 1 : 0;
      p += 1 + (run >> skipShift);
    }
  }
  // The last stretch, whose probes may have gone past the end.
  const std::uint32_t counted = std::min({p, end, literalsFrom + probedEach});
  CountLiterals(w + counted, end - counted, literals);
  for (unsigned v = 0; v < 256; ++v) litFreq[v] += literals[0][v] + literals[1][v] + literals[2][v] + literals[3][v];
  rec[0] = end - literalsFrom;
  rec[1] = 0;  // no match: the block's end
  *count = static_cast<std::uint32_t>(rec + 2 - symbols_) / 2;
}

bool DeflateCoder::WriteStored(std::uint32_t from, std::uint32_t n, bool last) {
  do {
    const std::uint32_t piece = std::min(n, kStoredMax);
    n -= piece;
    // Room first: aligning puts out what the bit accumulator holds.
    if (!MakeRoom(piece + 12)) return false;
    PutBits(last && n == 0 ? 1 : 0, 3);
    AlignToByte();
    out_[outUsed_++] = static_cast<std::uint8_t>(piece);
    out_[outUsed_++] = static_cast<std::uint8_t>(piece >> 8);
    out_[outUsed_++] = static_cast<std::uint8_t>(~piece);
    out_[outUsed_++] = static_cast<std::uint8_t>(~piece >> 8);
    std::memcpy(out_ + outUsed_, window_ + from, piece);
    outUsed_ += piece;
    from += piece;
  } while (n > 0);
  return true;
}

bool DeflateCoder::CodeBlock(bool last) {
  std::uint32_t litFreq[kLitCodes] = {}, distFreq[kDistCodes] = {};
  std::uint32_t count = 0;
  const std::uint32_t bytes = end_ - done_;
  // A block's input at once: the check's sums are reduced once per 5552
  // bytes, not once for each row handed over.
  adler_ = Adler32(adler_, window_ + done_, bytes);
  if (longMatches_) {
    FindMatches<kLeastLongMatch>(litFreq, distFreq, &count);
  } else {
    FindMatches<kLeastMatch>(litFreq, distFreq, &count);
  }
  litFreq[256] = 1;  // the end of the block

  std::uint8_t lengths[kLitCodes + kDistCodes];
  BuildCodeLengths(litFreq, kLitCodes, kLiteralLimit, lengths);
  std::uint8_t* distLengths = lengths + kLitCodes;
  BuildCodeLengths(distFreq, kDistCodes, 15, distLengths);
  if (std::all_of(distFreq, distFreq + kDistCodes, [](std::uint32_t f) { return f == 0; })) {
    // No match: RFC 1951 allows an empty distance code, but a complete one
    // of two symbols is what every decoder takes.
    distLengths[0] = distLengths[1] = 1;
  }
  unsigned hlit = kLitCodes, hdist = kDistCodes;
  while (lengths[hlit - 1] == 0) --hlit;
  while (distLengths[hdist - 1] == 0) --hdist;
  // The two codes' lengths are described as one sequence.
  std::uint8_t all[kLitCodes + kDistCodes];
  std::memcpy(all, lengths, hlit);
  std::memcpy(all + hlit, distLengths, hdist);
  LengthSymbol described[kLitCodes + kDistCodes];
  const unsigned described_count = DescribeLengths(all, hlit + hdist, described);
  std::uint32_t clFreq[kLengthCodes] = {};
  for (unsigned i = 0; i < described_count; ++i) ++clFreq[described[i].symbol];
  std::uint8_t clLengths[kLengthCodes];
  BuildCodeLengths(clFreq, kLengthCodes, 7, clLengths);
  unsigned hclen = kLengthCodes;
  while (hclen > 4 && clLengths[kLengthOrder[hclen - 1]] == 0) --hclen;

  std::uint64_t size = 3 + 5 + 5 + 4 + 3 * hclen;
  for (unsigned i = 0; i < described_count; ++i) {
    const unsigned s = described[i].symbol;
    size += clLengths[s] + (s >= 16 ? kRepeatExtraBits[s - 16] : 0);
  }
  for (unsigned s = 0; s < kLitCodes; ++s) {
    size += std::uint64_t{litFreq[s]} * (lengths[s] + (s > 256 ? kLengthExtra[s - 257] : 0));
  }
  for (unsigned s = 0; s < kDistCodes; ++s) size += std::uint64_t{distFreq[s]} * (distLengths[s] + kDistExtra[s]);
  const std::uint64_t storedSize = std::uint64_t{bytes} * 8 + (bytes / kStoredMax + 1) * 40 + 10;

  bool ok;
  if (size > storedSize) {
    ok = WriteStored(done_, bytes, last);
  } else {
    ok = MakeRoom(static_cast<std::uint32_t>(size / 8 + 16));
    if (ok) {
      Code litCodes[kLitCodes], distCodes[kDistCodes], clCodes[kLengthCodes];
      AssignCodes(lengths, kLitCodes, litCodes);
      AssignCodes(distLengths, kDistCodes, distCodes);
      AssignCodes(clLengths, kLengthCodes, clCodes);
      PutBits((last ? 1u : 0u) | 2u << 1, 3);
      PutBits(hlit - 257, 5);
      PutBits(hdist - 1, 5);
      PutBits(hclen - 4, 4);
      for (unsigned i = 0; i < hclen; ++i) PutBits(clLengths[kLengthOrder[i]], 3);
      for (unsigned i = 0; i < described_count; ++i) {
        const unsigned s = described[i].symbol;
        PutBits(clCodes[s].bits, clCodes[s].length);
        if (s >= 16) PutBits(described[i].extra, kRepeatExtraBits[s - 16]);
      }
      while (bitCount_ >= 8) {
        out_[outUsed_++] = static_cast<std::uint8_t>(bits_);
        bits_ >>= 8;
        bitCount_ -= 8;
      }
      BitSink sink(static_cast<std::uint32_t>(bits_), bitCount_, out_ + outUsed_);
      const std::uint8_t* literal = window_ + done_;
      for (std::uint32_t r = 0; r < count; ++r) {
        std::uint32_t n = symbols_[2 * r];
        for (; n >= 4; n -= 4, literal += 4) {
          sink.PutFour(litCodes[literal[0]], litCodes[literal[1]], litCodes[literal[2]], litCodes[literal[3]]);
          sink.Store();
        }
        if (n > 0) {
          for (; n > 0; --n, ++literal) sink.Put(litCodes[*literal].bits, litCodes[*literal].length);
          sink.Store();
        }
        const std::uint32_t v = symbols_[2 * r + 1];
        if (v == 0) continue;
        const std::uint32_t len = v >> 15;
        const std::uint32_t d = v & 0x7FFF;
        literal += len;
        const unsigned lc = kLengthCodeOf[len];
        const Code& l = litCodes[257 + lc];
        sink.Put(l.bits | (len - kLengthBase[lc]) << l.length, l.length + kLengthExtra[lc]);
        const unsigned dc = DistCodeOf(d);
        const Code& c = distCodes[dc];
        sink.Put(c.bits | (d + 1 - kDistBase[dc]) << c.length, c.length + kDistExtra[dc]);
        sink.Store();
      }
      bits_ = sink.bits();
      bitCount_ = sink.used();
      outUsed_ = static_cast<std::uint32_t>(sink.out() - out_);
      PutBits(litCodes[256].bits, litCodes[256].length);
    }
  }
  done_ = end_;
  return ok;
}

namespace {

// The sums are reduced at most every 5552 bytes, the most that keeps the
// second below 2^32.
constexpr std::size_t kAdlerRun = 5552;

std::uint32_t AdlerPlain(std::uint32_t a, std::uint32_t b, const std::uint8_t* p, std::size_t n) {
  while (n > 0) {
    std::size_t run = std::min(n, kAdlerRun);
    n -= run;
    for (; run > 0; --run) {
      a += *p++;
      b += a;
    }
    a %= 65521;
    b %= 65521;
  }
  return b << 16 | a;
}

// Takes a run of `bytes` bytes, coded a step of `width` at a time, into the
// sums: the first sums of the steps before the last (`earlier`) add in
// `width` times each. Within 2^32 for kAdlerRun bytes, as the plain sums:
// 32-bit arithmetic, which a 32-bit build does without a library call.
inline void AddAdlerRun(std::uint32_t& a, std::uint32_t& b, std::uint32_t bytes, std::uint32_t width,
                        std::uint32_t sums, std::uint32_t earlier, std::uint32_t weighted) {
  b = (b + a * bytes + width * earlier + weighted) % 65521;
  a = (a + sums) % 65521;
}

#if PICTRAP_X86
__attribute__((target("sse2"))) inline std::uint32_t Total32(__m128i v) {
  v = _mm_add_epi32(v, _mm_shuffle_epi32(v, 0x4E));
  v = _mm_add_epi32(v, _mm_shuffle_epi32(v, 0xB1));
  return static_cast<std::uint32_t>(_mm_cvtsi128_si32(v));
}

__attribute__((target("avx2"))) inline std::uint32_t Total32(__m256i v) {
  return Total32(_mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)));
}
#endif

}  // namespace

std::uint32_t Adler32Sse2(std::uint32_t adler, const std::uint8_t* p, std::size_t n) {
  std::uint32_t a = adler & 0xFFFF, b = adler >> 16;
#if defined(__SSE2__)
  // Sixteen bytes a step: their sum, and each byte weighted by how many
  // times the first sum takes it into the second (16 for the first byte,
  // down to 1).
  const __m128i zero = _mm_setzero_si128();
  const __m128i weightsLow = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
  const __m128i weightsHigh = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
  while (n >= 16) {
    const std::size_t steps = std::min(n, kAdlerRun) / 16;
    __m128i sums = zero, earlier = zero, weighted = zero;
    for (std::size_t k = 0; k < steps; ++k, p += 16) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      earlier = _mm_add_epi32(earlier, sums);
      sums = _mm_add_epi32(sums, _mm_sad_epu8(x, zero));
      weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpacklo_epi8(x, zero), weightsLow));
      weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpackhi_epi8(x, zero), weightsHigh));
    }
    n -= steps * 16;
    AddAdlerRun(a, b, static_cast<std::uint32_t>(steps) * 16, 16, Total32(sums), Total32(earlier), Total32(weighted));
  }
#endif
  return AdlerPlain(a, b, p, n);
}

#if PICTRAP_X86
__attribute__((target("avx2"))) std::uint32_t Adler32Avx2(std::uint32_t adler, const std::uint8_t* p, std::size_t n) {
  // As the 16-byte steps, 32 bytes at a time: the weights 32 down to 1 are
  // applied to pairs of bytes at once, whose sums stay within 16 bits.
  std::uint32_t a = adler & 0xFFFF, b = adler >> 16;
  const __m256i zero = _mm256_setzero_si256();
  const __m256i weights = _mm256_setr_epi8(32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14,
                                           13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1);
  const __m256i ones = _mm256_set1_epi16(1);
  while (n >= 32) {
    const std::size_t steps = std::min(n, kAdlerRun) / 32;
    __m256i sums = zero, earlier = zero, weighted = zero;
    for (std::size_t k = 0; k < steps; ++k, p += 32) {
      const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
      earlier = _mm256_add_epi32(earlier, sums);
      sums = _mm256_add_epi32(sums, _mm256_sad_epu8(x, zero));
      weighted = _mm256_add_epi32(weighted, _mm256_madd_epi16(_mm256_maddubs_epi16(x, weights), ones));
    }
    n -= steps * 32;
    AddAdlerRun(a, b, static_cast<std::uint32_t>(steps) * 32, 32, Total32(sums), Total32(earlier), Total32(weighted));
  }
  // The upper halves cleared before the SSE code that follows. GCC does not
  // always do it: at -O2 and -O3 it leaves the instruction out before a call
  // into a function of this file that it knows keeps clear of some SSE
  // registers, and at -O0, -O1 and -Os it puts in none. Every plain SSE
  // instruction that writes a register then waited on the halves until the
  // next AVX function cleared them: on the native build, choosing and
  // filtering the 24-bit rows took three to four times as long.
  _mm256_zeroupper();
  return Adler32Sse2(b << 16 | a, p, n);
}
#else
std::uint32_t Adler32Avx2(std::uint32_t adler, const std::uint8_t* p, std::size_t n) {
  return Adler32Sse2(adler, p, n);
}
#endif

std::uint32_t Adler32(std::uint32_t adler, const std::uint8_t* p, std::size_t n) {
  return CpuHasAvx2() ? Adler32Avx2(adler, p, n) : Adler32Sse2(adler, p, n);
}

namespace {

// Eight tables, so eight bytes are folded in per step.
constexpr std::array<std::array<std::uint32_t, 256>, 8> kCrcTables = [] {
  std::array<std::array<std::uint32_t, 256>, 8> t{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][i] = c;
  }
  for (std::uint32_t i = 0; i < 256; ++i) {
    for (int k = 1; k < 8; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  }
  return t;
}();

// The register's content, not inverted on the way in or out.
std::uint32_t CrcRegister(std::uint32_t c, const std::uint8_t* p, std::size_t n) {
  for (; n >= 8; n -= 8, p += 8) {
    const std::uint32_t lo = c ^ (p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24);
    const std::uint32_t hi = p[4] | p[5] << 8 | p[6] << 16 | static_cast<std::uint32_t>(p[7]) << 24;
    c = kCrcTables[7][lo & 0xFF] ^ kCrcTables[6][(lo >> 8) & 0xFF] ^ kCrcTables[5][(lo >> 16) & 0xFF] ^
        kCrcTables[4][lo >> 24] ^ kCrcTables[3][hi & 0xFF] ^ kCrcTables[2][(hi >> 8) & 0xFF] ^
        kCrcTables[1][(hi >> 16) & 0xFF] ^ kCrcTables[0][hi >> 24];
  }
  for (; n > 0; --n) c = kCrcTables[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
  return c;
}

#if PICTRAP_X86
// x^e modulo the CRC's polynomial, bit-reversed as the register holds it.
constexpr std::uint32_t ReversedPowerMod(unsigned e) {
  std::uint64_t r = 1;
  for (unsigned i = 0; i < e; ++i) {
    r <<= 1;
    if (r >> 32) r ^= 0x104C11DB7u;
  }
  std::uint32_t reversed = 0;
  for (unsigned k = 0; k < 32; ++k) reversed |= static_cast<std::uint32_t>((r >> k) & 1) << (31 - k);
  return reversed;
}

// Carry-less multiplication folds 16 bytes onto those `distance` bits
// further on: the polynomial of the first 8 (of the reflected register) by
// x^(distance + 31), that of the second 8 by x^(distance - 33), each
// modulo the polynomial, keep the remainder. The multiply of reflected
// operands brings one bit of shift that the exponents take up.
template <unsigned kDistance>
__attribute__((target("pclmul,sse4.1"))) inline __m128i FoldConstants() {
  return _mm_set_epi64x(ReversedPowerMod(kDistance - 33), ReversedPowerMod(kDistance + 31));
}

__attribute__((target("sse2"))) inline __m128i Load128(const std::uint8_t* q) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
}

__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold(__m128i x, __m128i k, __m128i next) {
  return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}
#endif

}  // namespace

std::uint32_t Crc32Tables(std::uint32_t crc, const std::uint8_t* p, std::size_t n) { return ~CrcRegister(~crc, p, n); }

#if PICTRAP_X86
__attribute__((target("pclmul,sse4.1"))) std::uint32_t Crc32Folding(std::uint32_t crc, const std::uint8_t* p,
                                                                    std::size_t n) {
  if (n < 64) return Crc32Tables(crc, p, n);
  // Four lanes of 16 bytes are folded 64 bytes on at a time, then into one,
  // then each further 16 bytes; the 16 bytes left stand for everything so
  // far, and the tables finish them and the tail.
  __m128i x0 = _mm_xor_si128(Load128(p), _mm_cvtsi32_si128(static_cast<int>(~crc)));
  __m128i x1 = Load128(p + 16), x2 = Load128(p + 32), x3 = Load128(p + 48);
  p += 64;
  n -= 64;
  const __m128i by64 = FoldConstants<512>();
  for (; n >= 64; n -= 64, p += 64) {
    x0 = Fold(x0, by64, Load128(p));
    x1 = Fold(x1, by64, Load128(p + 16));
    x2 = Fold(x2, by64, Load128(p + 32));
    x3 = Fold(x3, by64, Load128(p + 48));
  }
  const __m128i by16 = FoldConstants<128>();
  x0 = Fold(Fold(Fold(x0, by16, x1), by16, x2), by16, x3);
  for (; n >= 16; n -= 16, p += 16) x0 = Fold(x0, by16, Load128(p));
  alignas(16) std::uint8_t last[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(last), x0);
  return ~CrcRegister(CrcRegister(0, last, 16), p, n);
}
#else
std::uint32_t Crc32Folding(std::uint32_t crc, const std::uint8_t* p, std::size_t n) { return Crc32Tables(crc, p, n); }
#endif

std::uint32_t Crc32(std::uint32_t crc, const std::uint8_t* p, std::size_t n) {
  return CpuHasClmul() ? Crc32Folding(crc, p, n) : Crc32Tables(crc, p, n);
}

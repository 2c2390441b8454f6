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
#include <type_traits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr std::uint32_t kWindow = 32768;
constexpr std::uint32_t kMaxMatch = 258;
constexpr std::uint32_t kMinMatch = 4;  // what one probe of a 4-byte hash can find
// Input per block: large enough that the code's description (some 60 to 100
// bytes) is paid rarely, small enough to follow a screen's changing content.
// A small stream gets smaller blocks, down to the least, so that the work
// memory stays well under the size of the stream itself.
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
//
// After 16 << k misses in a row, positions are looked up k + 1 apart.
constexpr unsigned kSkipShift = 4;

// The bit accumulator of the block's symbols: the machine's word.
using BitWord = std::conditional_t<sizeof(void*) >= 8, std::uint64_t, std::uint32_t>;
constexpr bool kWideWord = sizeof(BitWord) >= 8;

inline void CountLiterals(const std::uint8_t* p, std::uint32_t n, std::uint32_t* freq) {
  for (std::uint32_t i = 0; i < n; ++i) ++freq[p[i]];
}

inline std::uint32_t Load32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// How far the bytes at a and b agree, from `from` up to `limit`.
inline std::uint32_t MatchLength(const std::uint8_t* a, const std::uint8_t* b, std::uint32_t from,
                                 std::uint32_t limit) {
  std::uint32_t len = from;
#if defined(__SSE2__)
  while (len + 16 <= limit) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + len));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + len));
    const unsigned same = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, y)));
    if (same != 0xFFFF) return len + static_cast<std::uint32_t>(std::countr_zero(~same));
    len += 16;
  }
#endif
  while (len < limit && a[len] == b[len]) ++len;
  return len;
}

struct Code {
  std::uint16_t bits;  // bit-reversed, ready to go out least significant bit first
  std::uint8_t length;
};

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
    unsigned reversed = 0;
    for (unsigned k = 0; k < len; ++k) reversed |= ((c >> k) & 1u) << (len - 1 - k);
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

}  // namespace

void BuildCodeLengths(const std::uint32_t* freq, unsigned count, unsigned limit, std::uint8_t* lengths) {
  // Huffman's construction over the used symbols, sorted by frequency, with
  // the internal nodes made in order of weight (two queues, no heap). When
  // the deepest leaf is too deep, the frequencies are halved, which flattens
  // the tree, and it is built again: a few rounds at most, and the result is
  // always a complete code, which strict decoders demand.
  std::memset(lengths, 0, count);
  std::uint32_t weight[2 * kLitCodes];
  std::uint16_t symbol[kLitCodes], parent[2 * kLitCodes];
  std::uint8_t depth[2 * kLitCodes];
  unsigned m = 0;
  for (unsigned s = 0; s < count; ++s) {
    if (freq[s] != 0) symbol[m++] = static_cast<std::uint16_t>(s);
  }
  if (m == 0) return;
  if (m == 1) {
    lengths[symbol[0]] = 1;
    lengths[symbol[0] == 0 ? 1 : 0] = 1;
    return;
  }
  std::uint32_t scaled[kLitCodes];
  for (unsigned i = 0; i < m; ++i) scaled[i] = freq[symbol[i]];
  for (;;) {
    unsigned order[kLitCodes];
    for (unsigned i = 0; i < m; ++i) order[i] = i;
    std::sort(order, order + m, [&](unsigned a, unsigned b) {
      return scaled[a] != scaled[b] ? scaled[a] < scaled[b] : symbol[a] < symbol[b];
    });
    for (unsigned i = 0; i < m; ++i) weight[i] = scaled[order[i]];
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
    unsigned deepest = 0;
    for (unsigned n = 2 * m - 2; n-- > 0;) {
      depth[n] = static_cast<std::uint8_t>(depth[parent[n]] + 1);
      if (n < m) deepest = std::max<unsigned>(deepest, depth[n]);
    }
    if (deepest <= limit) {
      for (unsigned i = 0; i < m; ++i) lengths[symbol[order[i]]] = depth[i];
      return;
    }
    for (unsigned i = 0; i < m; ++i) scaled[i] = (scaled[i] + 1) / 2;
  }
}

DeflateSizes DeflateCoder::SizesFor(std::uint64_t total, std::uint32_t maxPiece) {
  // Nothing bigger than the stream itself: a small image keeps its work
  // memory small.
  DeflateSizes z;
  z.blockInput = static_cast<std::uint32_t>(
      std::clamp<std::uint64_t>(total / 16, kLeastBlockInput, kBlockInput));
  const std::uint64_t block = std::min<std::uint64_t>(total, std::uint64_t{z.blockInput} + maxPiece);
  z.window = static_cast<std::uint32_t>(
      std::max<std::uint64_t>(1, std::min<std::uint64_t>(total, std::uint64_t{kWindow} + z.blockInput + maxPiece)));
  // Two words a match, a match every kMinMatch bytes at most, and the last pair.
  z.symbols = static_cast<std::uint32_t>(2 * (block / kMinMatch + 1));
  // Room for the largest block stored, its pieces' headers, the stream's
  // header and trailer and what the bit accumulator holds.
  const auto most = static_cast<std::uint32_t>(std::max<std::uint64_t>(block, 1));
  z.out = most + (most / kStoredMax + 1) * 5 + 64;
  // Four bytes an entry, at most an eighth of the stream.
  z.hashBits = 8;
  while (z.hashBits < kMaxHashBits && (std::uint64_t{32} << z.hashBits) < total) ++z.hashBits;
  return z;
}

DeflateCoder::DeflateCoder(std::uint64_t total, std::uint32_t maxPiece, DeflateSink sink, void* context)
    : sizes_(SizesFor(total, maxPiece)),
      maxPiece_(maxPiece),
      windowBlock_(MemAlloc(std::size_t{sizes_.window} + 16)),  // 16: the match compare reads whole pieces
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

void DeflateCoder::FindMatches(std::uint32_t* litFreq, std::uint32_t* distFreq, std::uint32_t* count) {
  const std::uint8_t* w = window_;
  const unsigned shift = 32 - sizes_.hashBits;
  std::uint32_t* const table = hash_;
  std::uint32_t* rec = symbols_;
  std::uint32_t p = done_, literalsFrom = done_;
  const std::uint32_t end = end_;
  const std::uint32_t base = base_;  // a local: the stores through the tables could alias a member
  std::uint32_t misses = 0;
  while (p + kMinMatch <= end) {
    const std::uint32_t here = Load32(w + p);
    const std::uint32_t h = (here * 2654435761u) >> shift;
    const std::uint32_t position = base + p;
    const std::uint32_t distance = position - table[h];
    table[h] = position;
    // The candidate must lie within the window and within what the buffer
    // still holds; the compare rules out stale and colliding entries.
    if (distance - 1 < kWindow && distance <= p && Load32(w + p - distance) == here) {
      const std::uint32_t limit = std::min(kMaxMatch, end - p);
      const std::uint32_t len = MatchLength(w + p, w + p - distance, kMinMatch, limit);
      CountLiterals(w + literalsFrom, p - literalsFrom, litFreq);
      rec[0] = p - literalsFrom;
      rec[1] = len << 15 | (distance - 1);
      rec += 2;
      ++litFreq[257 + kLengthCodeOf[len]];
      ++distFreq[DistCodeOf(distance - 1)];
      // The match's last position goes into the table too: a repeat of what
      // follows it is then found from there.
      if (len > kMinMatch && p + len + kMinMatch <= end) {
        const std::uint32_t q = p + len - 1;
        table[(Load32(w + q) * 2654435761u) >> shift] = base + q;
      }
      p += len;
      literalsFrom = p;
      misses = 0;
    } else {
      // The longer a stretch goes without a match (noise, anti-aliased
      // text, a photograph), the further apart the positions looked up:
      // one in two after 16 misses, one in three after 32, and so on. What
      // lies between goes out as literals all the same. On screens this is
      // much faster and barely larger, and noise no longer pushes useful
      // positions out of the table.
      ++misses;
      p += 1 + (misses >> kSkipShift);
    }
  }
  CountLiterals(w + literalsFrom, end - literalsFrom, litFreq);
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
  FindMatches(litFreq, distFreq, &count);
  litFreq[256] = 1;  // the end of the block

  std::uint8_t lengths[kLitCodes + kDistCodes];
  BuildCodeLengths(litFreq, kLitCodes, 15, lengths);
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
      // Bits go out a machine word at a time (little-endian, as deflate
      // orders them), as many whole bytes kept as are complete. Fewer than
      // 8 bits wait, so after each store the word has room for three
      // literals or a whole match (64 bits), or one literal, a length or a
      // distance code (32 bits, where 64-bit shifts cost several
      // instructions).
      while (bitCount_ >= 8) {
        out_[outUsed_++] = static_cast<std::uint8_t>(bits_);
        bits_ >>= 8;
        bitCount_ -= 8;
      }
      BitWord bits = static_cast<BitWord>(bits_);
      unsigned used = bitCount_;
      std::uint8_t* o = out_ + outUsed_;
      auto put = [&](BitWord v, unsigned n) {
        bits |= v << used;
        used += n;
      };
      auto flush = [&] {
        std::uint8_t piece[sizeof(BitWord)];
        for (unsigned k = 0; k < sizeof(BitWord); ++k) piece[k] = static_cast<std::uint8_t>(bits >> (8 * k));
        std::memcpy(o, piece, sizeof piece);
        o += used >> 3;
        bits >>= used & ~7u;
        used &= 7;
      };
      const std::uint8_t* literal = window_ + done_;
      for (std::uint32_t r = 0; r < count; ++r) {
        std::uint32_t n = symbols_[2 * r];
        if constexpr (kWideWord) {
          for (; n >= 3; n -= 3, literal += 3) {
            const Code& a = litCodes[literal[0]];
            const Code& b = litCodes[literal[1]];
            const Code& c = litCodes[literal[2]];
            put(a.bits, a.length);
            put(b.bits, b.length);
            put(c.bits, c.length);
            flush();
          }
        }
        for (; n > 0; --n, ++literal) {
          const Code& a = litCodes[*literal];
          put(a.bits, a.length);
          flush();
        }
        const std::uint32_t v = symbols_[2 * r + 1];
        if (v == 0) continue;
        const std::uint32_t len = v >> 15;
        const std::uint32_t d = v & 0x7FFF;
        literal += len;
        const unsigned lc = kLengthCodeOf[len];
        const Code& l = litCodes[257 + lc];
        put(l.bits | BitWord{len - kLengthBase[lc]} << l.length, l.length + kLengthExtra[lc]);
        if constexpr (!kWideWord) flush();
        const unsigned dc = DistCodeOf(d);
        const Code& c = distCodes[dc];
        if constexpr (kWideWord) {
          put(c.bits | BitWord{d + 1 - kDistBase[dc]} << c.length, c.length + kDistExtra[dc]);
        } else {
          put(c.bits, c.length);
          flush();
          put(d + 1 - kDistBase[dc], kDistExtra[dc]);
        }
        flush();
      }
      bits_ = bits;
      bitCount_ = used;
      outUsed_ = static_cast<std::uint32_t>(o - out_);
      PutBits(litCodes[256].bits, litCodes[256].length);
    }
  }
  done_ = end_;
  return ok;
}

std::uint32_t Adler32(std::uint32_t adler, const std::uint8_t* p, std::size_t n) {
  // The sums are reduced at most every 5552 bytes, the most that keeps the
  // second below 2^32.
  constexpr std::size_t kMaxRun = 5552;
  std::uint32_t a = adler & 0xFFFF, b = adler >> 16;
#if defined(__SSE2__)
  // Sixteen bytes a step: their sum, and each byte weighted by how many
  // times the first sum takes it into the second (16 for the first byte,
  // down to 1). The first sums of the steps before add in 16 times each.
  const __m128i zero = _mm_setzero_si128();
  const __m128i weightsLow = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
  const __m128i weightsHigh = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
  while (n >= 16) {
    const std::size_t steps = std::min(n, kMaxRun) / 16;
    __m128i sums = zero, earlier = zero, weighted = zero;
    for (std::size_t k = 0; k < steps; ++k, p += 16) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      earlier = _mm_add_epi32(earlier, sums);
      sums = _mm_add_epi32(sums, _mm_sad_epu8(x, zero));
      weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpacklo_epi8(x, zero), weightsLow));
      weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpackhi_epi8(x, zero), weightsHigh));
    }
    n -= steps * 16;
    auto total = [](__m128i v) {
      v = _mm_add_epi32(v, _mm_shuffle_epi32(v, 0x4E));
      v = _mm_add_epi32(v, _mm_shuffle_epi32(v, 0xB1));
      return static_cast<std::uint32_t>(_mm_cvtsi128_si32(v));
    };
    // Within 2^32 for 5552 bytes, as the scalar sums below: 32-bit
    // arithmetic, which a 32-bit build does without a library call.
    const std::uint32_t second = b + a * 16 * static_cast<std::uint32_t>(steps) + 16 * total(earlier) + total(weighted);
    a = (a + total(sums)) % 65521;
    b = second % 65521;
  }
#endif
  while (n > 0) {
    std::size_t run = std::min(n, kMaxRun);
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

}  // namespace

std::uint32_t Crc32(std::uint32_t crc, const std::uint8_t* p, std::size_t n) {
  std::uint32_t c = ~crc;
  for (; n >= 8; n -= 8, p += 8) {
    const std::uint32_t lo = c ^ (p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24);
    const std::uint32_t hi = p[4] | p[5] << 8 | p[6] << 16 | static_cast<std::uint32_t>(p[7]) << 24;
    c = kCrcTables[7][lo & 0xFF] ^ kCrcTables[6][(lo >> 8) & 0xFF] ^ kCrcTables[5][(lo >> 16) & 0xFF] ^
        kCrcTables[4][lo >> 24] ^ kCrcTables[3][hi & 0xFF] ^ kCrcTables[2][(hi >> 8) & 0xFF] ^
        kCrcTables[1][(hi >> 16) & 0xFF] ^ kCrcTables[0][hi >> 24];
  }
  for (; n > 0; --n) c = kCrcTables[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
  return ~c;
}

#include "vyn/data/block_scan.h"

#include <bit>
#include <cstring>

#include "vyn/data/block_classify.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VYN_X86 1
#endif

namespace vyn::data::scan {

namespace {

// The masks of one block: the field ends (the delimiter and '\n'); '\n';
// '"'; the ends of fields with a suspect byte (see the header), and of
// fields with a byte above 127.
struct BlockBits {
  uint64_t ends, lf, quote, suspectEnds, highEnds;
};

// The ends of `ends` that close a field holding a byte of `marks` (the end
// itself counts); `open` is 1 when the field open at the block's start holds
// one, and becomes so for the field open at its end. Adding the marks inside
// fields to the bits inside fields carries each field's first mark up to the
// end that closes it, and no further.
[[gnu::always_inline]] inline uint64_t markedEnds(uint64_t ends, uint64_t marks, uint64_t &open) {
  const uint64_t inside = ~ends;
  uint64_t sum;
  const bool over = __builtin_add_overflow(inside, (marks | open) & inside, &sum);
  const uint64_t marked = ends & (sum | marks | open);
  open = over ? 1 : 0;
  return marked;
}

// The suspect bytes and the carries from the classes of one block; the byte
// after the block, when `next` < `end`, tells whether a CR at its end starts
// a CR-LF.
[[gnu::always_inline]] inline BlockBits finish(const BlockMasks &m, const char *next,
                                               const char *end, uint64_t valid, Carry &c) {
  uint64_t crlf = 0;
  if (m.cr != 0) crlf = m.cr & ((m.lf >> 1) | (next < end && *next == '\n' ? 1ull << 63 : 0));
  const uint64_t ends = m.ends & valid;
  const uint64_t afterDot = (m.dot << 1) | c.dot;
  const uint64_t runs = afterDot + m.digit;  // carries run over the digits after each point
  const uint64_t overflow = runs < afterDot ? 1 : 0;
  uint64_t suspect = ~(m.digit | m.dot | m.sign | ends | crlf)  // other bytes
                     | (runs & ~m.digit & m.dot);               // a second point
  if ((m.sign | c.sign | c.signDot) != 0) {                     // signs: rarer than numbers
    const uint64_t starts = (ends << 1) | c.start;              // first bytes of fields
    const uint64_t afterSign = (m.sign << 1) | c.sign;
    const uint64_t signDot = afterSign & m.dot;
    const uint64_t afterSignDot = (signDot << 1) | c.signDot;
    suspect |= (m.sign & ~starts)                 // a sign inside a field
               | (afterSign & ~m.digit & ~m.dot)  // a sign without digits
               | (afterSignDot & ~m.digit);       // "-." without digits
    c.sign = m.sign >> 63;
    c.signDot = signDot >> 63;
  }
  c.start = ends >> 63;
  c.dot = (m.dot >> 63) | overflow;
  const uint64_t suspectEnds = markedEnds(ends, suspect & valid, c.suspect);
  const uint64_t highEnds = (m.high | c.high) != 0 ? markedEnds(ends, m.high & valid, c.high) : 0;
  return BlockBits{ends, m.lf & valid, m.quote & valid, suspectEnds, highEnds};
}

// Adds the mark to the ends of `ends` that `marked` holds; `marks` is the
// first of the block's ends. An end's place is the count of ends up to it.
[[gnu::always_inline]] inline void markEnds(uint64_t ends, uint64_t marked, uint8_t mark,
                                            uint8_t *marks) {
  for (; marked != 0; marked &= marked - 1)
    marks[std::popcount(ends & (marked ^ (marked - 1))) - 1] |= mark;
}

// For each byte, the places of its set bits (then zeros), and their count;
// the first place of each byte of a 64-bit mask.
struct BitPlaces {
  uint8_t place[256][8];
  uint8_t count[256];
  alignas(16) int16_t byteStart[8][8];
};

constexpr BitPlaces kBitPlaces = [] {
  BitPlaces t{};
  for (int b = 0; b < 256; ++b) {
    for (int i = 0; i < 8; ++i)
      if ((b >> i) & 1) t.place[b][t.count[b]++] = static_cast<uint8_t>(i);
  }
  for (int i = 0; i < 8; ++i)
    for (int k = 0; k < 8; ++k) t.byteStart[i][k] = static_cast<int16_t>(8 * i);
  return t;
}();

// Writes the places of the set bits of `ends`, plus `base`, from `at`;
// returns the place after the last. The places of a byte's bits are written
// eight at a time: the ones past the last are written over, or never read.
[[gnu::always_inline]] inline Place *listPlaces(uint64_t ends, int base, Place *at) {
#if defined(VYN_X86) && defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128(), from = _mm_set1_epi16(static_cast<int16_t>(base));
#pragma GCC unroll 8
  for (int i = 0; i < 8; ++i, ends >>= 8) {
    const unsigned byte = ends & 0xFF;
    const __m128i places =
        _mm_loadl_epi64(reinterpret_cast<const __m128i *>(kBitPlaces.place[byte]));
    const __m128i start =
        _mm_load_si128(reinterpret_cast<const __m128i *>(kBitPlaces.byteStart[i]));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(at),
                     _mm_add_epi16(_mm_unpacklo_epi8(places, zero), _mm_add_epi16(from, start)));
    at += kBitPlaces.count[byte];
  }
#else
  for (; ends != 0; ends &= ends - 1) *at++ = static_cast<Place>(base + __builtin_ctzll(ends));
#endif
  return at;
}

// Drops the ends of a block with a quote from its first quote on: the row
// with the quote is left to the field scanner. Only the last block of a run
// can hold one.
inline void clipAtQuote(BlockBits &b) {
  const uint64_t keep = (b.quote & (0 - b.quote)) - 1;
  b.ends &= keep;
  b.lf &= keep;
  b.suspectEnds &= keep;
  b.highEnds &= keep;
}

// Adds the ends of a block, whose first byte is at `base` in the run, after
// the `count` ends listed.
[[gnu::always_inline]] inline void listEnds(const BlockBits &b, int base, Ends &out,
                                            size_t &count) {
  uint8_t *marks = out.marks + count;
  count = static_cast<size_t>(listPlaces(b.ends, base, out.at() + count) - out.at());
  std::memset(marks, 0, 64);
  markEnds(b.ends, b.lf, kLineEnd, marks);
  markEnds(b.ends, b.suspectEnds, kSuspectEnd, marks);
  markEnds(b.ends, b.highEnds, kHighEnd, marks);
}

// The ends of n full blocks, each classified by `classify`: all the masks
// first, then all the ends, so that each loop keeps its values in
// registers. Always inlined, so that in the AVX2 scan the classification and
// the bit work are compiled for its instructions.
template <BlockMasks (*classify)(const char *, char)>
[[gnu::always_inline]] inline void endsOf(const char *p, size_t n, const char *end, Carry &carry,
                                          char delimiter, Ends &out) {
  BlockBits bits[Ends::kBlocks];
  Carry c = carry;
  size_t k = 0;
  bool quote = false;
  for (; k < n && !quote; ++k) {
    const char *block = p + 64 * k;
    bits[k] = finish(classify(block, delimiter), block + 64, end, ~0ull, c);
    quote = bits[k].quote != 0;
  }
  carry = c;
  if (quote) clipAtQuote(bits[k - 1]);
  size_t count = 0;
  for (size_t i = 0; i < k; ++i) listEnds(bits[i], static_cast<int>(64 * i), out, count);
  out.marks[count] = kPastEnd;
  out.count = count;
  out.blocks = k;
  out.quote = quote;
}

#if defined(VYN_SCAN_AVX2)

constexpr auto scanEndsSse2 = endsOf<classifySse2>;

__attribute__((target("avx2,bmi,popcnt"))) void scanEndsAvx2(const char *p, size_t n,
                                                             const char *end, Carry &carry,
                                                             char delimiter, Ends &out) {
  endsOf<classifyAvx2>(p, n, end, carry, delimiter, out);
}

#else

constexpr auto scanEndsPlain = endsOf<classifyBaseline>;

#endif

using ScanFn = void (*)(const char *, size_t, const char *, Carry &, char, Ends &);

ScanFn chooseScan() {
#if defined(VYN_SCAN_AVX2)
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
      __builtin_cpu_supports("popcnt"))
    return scanEndsAvx2;
  return scanEndsSse2;
#else
  return scanEndsPlain;
#endif
}

ScanFn gScan = chooseScan();
bool gWidest = true;

}  // namespace

void scanEnds(const char *p, size_t n, const char *end, Carry &carry, char delimiter, Ends &out) {
  gScan(p, n, end, carry, delimiter, out);
}

bool useWidestScan(bool widest) {
  gWidest = widest;
  if (widest) {
    gScan = chooseScan();
    return true;
  }
#if defined(VYN_SCAN_AVX2)
  gScan = scanEndsSse2;
#else
  gScan = scanEndsPlain;
#endif
  return true;
}

bool widestScanInUse() {
  return gWidest;
}

void scanTailEnds(const char *p, size_t n, Carry &carry, char delimiter, Ends &out) {
  alignas(64) char block[64];
  std::memcpy(block, p, n);
  std::memset(block + n, 0, 64 - n);
  BlockBits b = finish(classifyBaseline(block, delimiter), block, block, (1ull << n) - 1, carry);
  out.quote = b.quote != 0;
  if (out.quote) clipAtQuote(b);
  size_t count = 0;
  listEnds(b, 0, out, count);
  out.marks[count] = kPastEnd;
  out.count = count;
  out.blocks = 1;
}

}  // namespace vyn::data::scan

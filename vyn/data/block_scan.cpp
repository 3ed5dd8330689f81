#include "vyn/data/block_scan.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VYN_X86 1
#endif

namespace vyn::data::scan {

namespace {

// One bit per byte of each class.
struct RawMasks {
  uint64_t delim = 0, lf = 0, cr = 0, quote = 0, digit = 0, dot = 0, sign = 0, high = 0;
};

// The delimiters of `delim` that close a field holding a byte of `marks`
// (the delimiter itself counts); `open` is 1 when the field open at the
// block's start holds one, and becomes so for the field open at its end.
// Adding the marks inside fields to the bits inside fields carries each
// field's first mark up to the delimiter that closes it, and no further.
inline uint64_t markedEnds(uint64_t delim, uint64_t marks, uint64_t &open) {
  const uint64_t inside = ~delim;
  uint64_t sum;
  const bool over = __builtin_add_overflow(inside, (marks | open) & inside, &sum);
  const uint64_t ends = delim & (sum | marks | open);
  open = over ? 1 : 0;
  return ends;
}

// The suspect bytes and the carries from the classes of one block.
inline BlockBits finish(const RawMasks &m, uint64_t crNext, uint64_t valid, Carry &c) {
  uint64_t crlf = m.cr & ((m.lf >> 1) | (crNext << 63));
  uint64_t delim = (m.delim | m.lf) & valid;
  uint64_t starts = (delim << 1) | c.start;  // first bytes of fields
  uint64_t afterSign = (m.sign << 1) | c.sign;
  uint64_t signDot = afterSign & m.dot;
  uint64_t afterSignDot = (signDot << 1) | c.signDot;
  uint64_t afterDot = (m.dot << 1) | c.dot;
  uint64_t runs = afterDot + m.digit;  // carries run over the digits after each point
  uint64_t overflow = runs < afterDot ? 1 : 0;
  uint64_t suspect = ~(m.digit | m.dot | m.sign | delim | crlf)  // other bytes
                     | (m.sign & ~starts)                        // a sign inside a field
                     | (afterSign & ~m.digit & ~m.dot)           // a sign without digits
                     | (afterSignDot & ~m.digit)                 // "-." without digits
                     | (runs & ~m.digit & m.dot);                // a second point
  c.start = delim >> 63;
  c.sign = m.sign >> 63;
  c.signDot = signDot >> 63;
  c.dot = (m.dot >> 63) | overflow;
  const uint64_t suspectEnds = markedEnds(delim, suspect & valid, c.suspect);
  const uint64_t highEnds = markedEnds(delim, m.high & valid, c.high);
  return BlockBits{delim, m.lf & valid, m.quote & valid, suspectEnds, highEnds};
}

inline uint64_t crNextOf(const char *blockEnd, const char *end) {
  return (blockEnd < end && *blockEnd == '\n') ? 1 : 0;
}

#if defined(VYN_X86) && defined(__SSE2__)

inline uint64_t bits16(__m128i x, int shift) {
  return static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(x))) << shift;
}

inline RawMasks classifySse2(const char *p, char delimiter) {
  RawMasks m;
  const __m128i delim = _mm_set1_epi8(delimiter), lf = _mm_set1_epi8('\n'),
                cr = _mm_set1_epi8('\r'), quote = _mm_set1_epi8('"'), dot = _mm_set1_epi8('.'),
                minus = _mm_set1_epi8('-'), plus = _mm_set1_epi8('+'), zero = _mm_set1_epi8('0'),
                nine = _mm_set1_epi8(9);
  for (int k = 0; k < 4; ++k) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * k));
    int sh = 16 * k;
    m.delim |= bits16(_mm_cmpeq_epi8(v, delim), sh);
    m.lf |= bits16(_mm_cmpeq_epi8(v, lf), sh);
    m.cr |= bits16(_mm_cmpeq_epi8(v, cr), sh);
    m.quote |= bits16(_mm_cmpeq_epi8(v, quote), sh);
    m.high |= bits16(v, sh);
    m.dot |= bits16(_mm_cmpeq_epi8(v, dot), sh);
    m.sign |= bits16(_mm_or_si128(_mm_cmpeq_epi8(v, minus), _mm_cmpeq_epi8(v, plus)), sh);
    __m128i d = _mm_sub_epi8(v, zero);
    m.digit |= bits16(_mm_cmpeq_epi8(_mm_min_epu8(d, nine), d), sh);
  }
  return m;
}

void scanBlocksSse2(const char *p, size_t n, const char *end, BlockBits *out, Carry &carry,
                    char delimiter) {
  for (size_t i = 0; i < n; ++i, p += 64)
    out[i] = finish(classifySse2(p, delimiter), crNextOf(p + 64, end), ~0ull, carry);
}

#define VYN_AVX2 1
__attribute__((target("avx2"))) inline uint64_t bits32(__m256i x) {
  return static_cast<uint32_t>(_mm256_movemask_epi8(x));
}

// The masks of the two halves of a block as one 64-bit mask.
__attribute__((target("avx2"))) inline uint64_t both(__m256i lo, __m256i hi) {
  return bits32(lo) | (bits32(hi) << 32);
}

__attribute__((target("avx2"))) inline RawMasks classifyAvx2(const char *p, char delimiter) {
  RawMasks m;
  const __m256i delim = _mm256_set1_epi8(delimiter), lf = _mm256_set1_epi8('\n'),
                cr = _mm256_set1_epi8('\r'), quote = _mm256_set1_epi8('"'),
                dot = _mm256_set1_epi8('.'), minus = _mm256_set1_epi8('-'),
                plus = _mm256_set1_epi8('+'), zero = _mm256_set1_epi8('0'),
                nine = _mm256_set1_epi8(9);
  __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
  __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p + 32));
  m.delim = both(_mm256_cmpeq_epi8(lo, delim), _mm256_cmpeq_epi8(hi, delim));
  m.lf = both(_mm256_cmpeq_epi8(lo, lf), _mm256_cmpeq_epi8(hi, lf));
  m.high = both(lo, hi);
  m.dot = both(_mm256_cmpeq_epi8(lo, dot), _mm256_cmpeq_epi8(hi, dot));
  m.sign = both(_mm256_or_si256(_mm256_cmpeq_epi8(lo, minus), _mm256_cmpeq_epi8(lo, plus)),
                _mm256_or_si256(_mm256_cmpeq_epi8(hi, minus), _mm256_cmpeq_epi8(hi, plus)));
  __m256i dlo = _mm256_sub_epi8(lo, zero), dhi = _mm256_sub_epi8(hi, zero);
  m.digit = both(_mm256_cmpeq_epi8(_mm256_min_epu8(dlo, nine), dlo),
                 _mm256_cmpeq_epi8(_mm256_min_epu8(dhi, nine), dhi));
  // quotes and carriage returns are rare: one mask tells whether to look
  __m256i rlo = _mm256_or_si256(_mm256_cmpeq_epi8(lo, quote), _mm256_cmpeq_epi8(lo, cr));
  __m256i rhi = _mm256_or_si256(_mm256_cmpeq_epi8(hi, quote), _mm256_cmpeq_epi8(hi, cr));
  if (both(rlo, rhi) != 0) {
    m.quote = both(_mm256_cmpeq_epi8(lo, quote), _mm256_cmpeq_epi8(hi, quote));
    m.cr = both(_mm256_cmpeq_epi8(lo, cr), _mm256_cmpeq_epi8(hi, cr));
  }
  return m;
}

__attribute__((target("avx2"))) void scanBlocksAvx2(const char *p, size_t n, const char *end,
                                                    BlockBits *out, Carry &carry, char delimiter) {
  for (size_t i = 0; i < n; ++i, p += 64)
    out[i] = finish(classifyAvx2(p, delimiter), crNextOf(p + 64, end), ~0ull, carry);
}

inline RawMasks classifyBlock(const char *p, char delimiter) {
  return classifySse2(p, delimiter);
}

#else

inline RawMasks classifyBlock(const char *p, char delimiter) {
  RawMasks m;
  for (int i = 0; i < 64; ++i) {
    uint64_t b = 1ull << i;
    char c = p[i];
    if (c == delimiter) m.delim |= b;
    if (c == '\n') m.lf |= b;
    if (c == '\r') m.cr |= b;
    if (c == '"') m.quote |= b;
    if (c == '.') m.dot |= b;
    if (c == '-' || c == '+') m.sign |= b;
    if (c >= '0' && c <= '9') m.digit |= b;
    if (static_cast<unsigned char>(c) > 127) m.high |= b;
  }
  return m;
}

void scanBlocksPlain(const char *p, size_t n, const char *end, BlockBits *out, Carry &carry,
                     char delimiter) {
  for (size_t i = 0; i < n; ++i, p += 64)
    out[i] = finish(classifyBlock(p, delimiter), crNextOf(p + 64, end), ~0ull, carry);
}

#endif

using ScanFn = void (*)(const char *, size_t, const char *, BlockBits *, Carry &, char);

ScanFn chooseScan() {
#if defined(VYN_AVX2)
  if (__builtin_cpu_supports("avx2")) return scanBlocksAvx2;
  return scanBlocksSse2;
#elif defined(VYN_X86) && defined(__SSE2__)
  return scanBlocksSse2;
#else
  return scanBlocksPlain;
#endif
}

ScanFn gScan = chooseScan();

}  // namespace

void scanBlocks(const char *p, size_t n, const char *end, BlockBits *out, Carry &carry,
                char delimiter) {
  gScan(p, n, end, out, carry, delimiter);
}

bool useWidestScan(bool widest) {
  if (widest) {
    gScan = chooseScan();
    return true;
  }
#if defined(VYN_X86) && defined(__SSE2__)
  gScan = scanBlocksSse2;
#else
  gScan = scanBlocksPlain;
#endif
  return true;
}

BlockBits scanTail(const char *p, size_t n, Carry &carry, char delimiter) {
  alignas(64) char block[64];
  std::memcpy(block, p, n);
  std::memset(block + n, 0, 64 - n);
  return finish(classifyBlock(block, delimiter), 0, (1ull << n) - 1, carry);
}

}  // namespace vyn::data::scan

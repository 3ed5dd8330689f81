// The classification of 64 bytes of CSV into bit masks, one bit per byte,
// shared by the block scan of the typing pass and the whole-row reading of
// the row parser. Always inlined, so that each caller compiled for AVX2 gets
// it in AVX2 instructions and keeps only the masks it uses.
#pragma once

#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace vyn::data::scan {

// One bit per byte of each class: the field ends (the delimiter and '\n'),
// '\n', '\r', '"', digits, '.', the signs '-' and '+', bytes above 127.
struct BlockMasks {
  uint64_t ends = 0, lf = 0, cr = 0, quote = 0, digit = 0, dot = 0, sign = 0, high = 0;
};

// Each file that includes them has its own copies, which the compiler
// inlines into their one caller as it would its own functions.
namespace {

#if (defined(__x86_64__) || defined(__i386__)) && defined(__SSE2__)
#define VYN_SCAN_AVX2 1

[[gnu::always_inline]] inline uint64_t bits16(__m128i x, int shift) {
  return static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(x))) << shift;
}

[[gnu::always_inline]] inline BlockMasks classifySse2(const char *p, char delimiter) {
  BlockMasks m;
  const __m128i delim = _mm_set1_epi8(delimiter), lf = _mm_set1_epi8('\n'),
                cr = _mm_set1_epi8('\r'), quote = _mm_set1_epi8('"'), dot = _mm_set1_epi8('.'),
                minus = _mm_set1_epi8('-'), plus = _mm_set1_epi8('+'), zero = _mm_set1_epi8('0'),
                nine = _mm_set1_epi8(9);
  for (int k = 0; k < 4; ++k) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * k));
    int sh = 16 * k;
    const __m128i newline = _mm_cmpeq_epi8(v, lf);
    m.ends |= bits16(_mm_or_si128(_mm_cmpeq_epi8(v, delim), newline), sh);
    m.lf |= bits16(newline, sh);
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

__attribute__((target("avx2"))) inline uint64_t bits32(__m256i x) {
  return static_cast<uint32_t>(_mm256_movemask_epi8(x));
}

// The masks of the two halves of a block as one 64-bit mask.
__attribute__((target("avx2"))) inline uint64_t both(__m256i lo, __m256i hi) {
  return bits32(lo) | (bits32(hi) << 32);
}

__attribute__((target("avx2"))) inline BlockMasks classifyAvx2(const char *p, char delimiter) {
  BlockMasks m;
  const __m256i delim = _mm256_set1_epi8(delimiter), lf = _mm256_set1_epi8('\n'),
                cr = _mm256_set1_epi8('\r'), quote = _mm256_set1_epi8('"'),
                dot = _mm256_set1_epi8('.'), minus = _mm256_set1_epi8('-'),
                plus = _mm256_set1_epi8('+'), shift = _mm256_set1_epi8(0x80 - '0'),
                ten = _mm256_set1_epi8(-128 + 10);
  const __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
  const __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p + 32));
  const __m256i lfLo = _mm256_cmpeq_epi8(lo, lf), lfHi = _mm256_cmpeq_epi8(hi, lf);
  m.ends = both(_mm256_or_si256(_mm256_cmpeq_epi8(lo, delim), lfLo),
                _mm256_or_si256(_mm256_cmpeq_epi8(hi, delim), lfHi));
  m.lf = both(lfLo, lfHi);
  m.dot = both(_mm256_cmpeq_epi8(lo, dot), _mm256_cmpeq_epi8(hi, dot));
  m.sign = both(_mm256_or_si256(_mm256_cmpeq_epi8(lo, minus), _mm256_cmpeq_epi8(lo, plus)),
                _mm256_or_si256(_mm256_cmpeq_epi8(hi, minus), _mm256_cmpeq_epi8(hi, plus)));
  // '0'..'9' moved to the lowest ten signed bytes
  m.digit = both(_mm256_cmpgt_epi8(ten, _mm256_add_epi8(lo, shift)),
                 _mm256_cmpgt_epi8(ten, _mm256_add_epi8(hi, shift)));
  // quotes, carriage returns and bytes above 127 are rare: one mask tells
  // whether to look (a byte above 127 has its top bit set, as has a match)
  const __m256i qlo = _mm256_cmpeq_epi8(lo, quote), qhi = _mm256_cmpeq_epi8(hi, quote);
  const __m256i clo = _mm256_cmpeq_epi8(lo, cr), chi = _mm256_cmpeq_epi8(hi, cr);
  if (both(_mm256_or_si256(_mm256_or_si256(qlo, clo), lo),
           _mm256_or_si256(_mm256_or_si256(qhi, chi), hi)) != 0) {
    m.quote = both(qlo, qhi);
    m.cr = both(clo, chi);
    m.high = both(lo, hi);
  }
  return m;
}

// The classification every processor of the build has.
[[gnu::always_inline]] inline BlockMasks classifyBaseline(const char *p, char delimiter) {
  return classifySse2(p, delimiter);
}

#else

inline BlockMasks classifyBaseline(const char *p, char delimiter) {
  BlockMasks m;
  for (int i = 0; i < 64; ++i) {
    uint64_t b = 1ull << i;
    char c = p[i];
    if (c == delimiter || c == '\n') m.ends |= b;
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

#endif

}  // namespace
}  // namespace vyn::data::scan

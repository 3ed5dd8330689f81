// The common way of numbers in fixed decimals, written in the caller: whole
// words of digits from an exact scaled integer, without a call, so that a
// loop over cells keeps its state in registers. The values this way leaves
// out go through writeNumber's other ways in format.cpp.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "vyn/core/digit_pairs.h"

namespace vyn::output::fixed {

// The powers of ten a number of fixed decimals is scaled by.
inline constexpr uint32_t kPowersOfTen[] = {1,      10,      100,      1000,     10000,
                                            100000, 1000000, 10000000, 100000000};

// The eight decimal digits of `digits` (below 10^8), leading zeros included,
// as values 0 to 9 in the bytes of a word in the order they are stored: the
// word is split into halves of four digits, these into pairs and these into
// single digits, each lane divided by a multiplication and a shift that are
// exact in its range.
[[gnu::always_inline]] inline uint64_t eightDigitValues(uint32_t digits) {
  static_assert(std::endian::native == std::endian::little);
  const uint64_t halves = digits / 10000 | static_cast<uint64_t>(digits % 10000) << 32;
  const uint64_t hundreds = (halves * 10486 >> 20) & 0x0000007F0000007F;
  const uint64_t pairs = hundreds | (halves - hundreds * 100) << 16;
  const uint64_t tens = (pairs * 103 >> 10) & 0x000F000F000F000F;
  return tens | (pairs - tens * 10) << 8;
}

// Writes `digits` (below 10^8) in at least `least` (1 to 8) digits, with a
// point before the last `decimals` (0 to `least`; none for 0); `at` has
// room for 16 bytes (whole words are stored past the digits). Returns the end.
[[gnu::always_inline]] inline char *digitsAt(uint32_t digits, int least, int decimals, char *at) {
  constexpr uint64_t kZeros = 0x3030303030303030;  // '0' in every byte
  const uint64_t values = eightDigitValues(digits);
  // the bits of the leading zeros beyond those wanted
  const auto cut =
      static_cast<unsigned>(std::countr_zero(values | uint64_t{1} << (64 - 8 * least)));
  const uint64_t text = (values | kZeros) >> (cut & ~7u);
  const int count = 8 - static_cast<int>(cut >> 3);
  std::memcpy(at, &text, 8);
  if (decimals == 0) return at + count;
  const int point = count - decimals;
  const uint64_t after = text >> (8 * point);
  at[point] = '.';
  std::memcpy(at + point + 1, &after, 8);
  return at + count + 1;
}

// Writes `whole` (below 100) in one or two digits and a point; returns the
// end.
[[gnu::always_inline]] inline char *wholeAndPointAt(uint32_t whole, char *at) {
  at = belowHundredAt(whole, at);
  *at = '.';
  return at + 1;
}

// Writes `digits` (below 10^6) with a point before its last four, in pairs
// of digits; returns the end.
[[gnu::always_inline]] inline char *fourDecimalsAt(uint32_t digits, char *at) {
  const uint32_t whole = digits / 10000;
  const uint32_t fraction = digits - whole * 10000;
  at = wholeAndPointAt(whole, at);
  pairAt(fraction / 100, at);
  pairAt(fraction % 100, at + 2);
  return at + 4;
}

// The two decimals most numbers of a listing have, or four, written in pairs
// of digits: `digits` (below 100 10^decimals) with a point before its last
// `decimals`, at `at`; returns the end, or null for other numbers or decimals.
[[gnu::always_inline]] inline char *pairedDecimalsAt(uint64_t digits, int decimals, char *at) {
  if (decimals == 4 && digits < 1000000) return fourDecimalsAt(static_cast<uint32_t>(digits), at);
  if (decimals == 2 && digits < 10000) {
    const auto d = static_cast<uint32_t>(digits);
    at = wholeAndPointAt(d / 100, at);
    pairAt(d % 100, at);
    return at + 2;
  }
  return nullptr;
}

// Writes a number from 10^8 to below 10^16, or any below with 8 decimals,
// as fixedDigitsAt does; in the caller too, so that a loop over cells makes
// no call that would push its state out of registers.
[[gnu::always_inline]] inline char *longFixedDigitsAt(uint64_t digits, int decimals, char *at) {
  constexpr uint32_t kEightDigits = 100000000;
  at = digitsAt(static_cast<uint32_t>(digits / kEightDigits), 1, 0, at);
  return digitsAt(static_cast<uint32_t>(digits % kEightDigits), 8, decimals, at);
}

// Writes a number below 10^16 that has its last `decimals` (0 to 8) digits
// after a point, and at least one before it; `at` has room for 24 bytes.
// Returns the end.
[[gnu::always_inline]] inline char *fixedDigitsAt(uint64_t digits, int decimals, char *at) {
  constexpr uint32_t kEightDigits = 100000000;
  if (digits < kEightDigits && decimals < 8) {
    return digitsAt(static_cast<uint32_t>(digits), decimals + 1, decimals, at);
  }
  return longFixedDigitsAt(digits, decimals, at);
}

// |value| 10^decimals (decimals 0 to 8) rounded to a whole number exactly as
// printf rounds it: on the binary value, a tie to even. A magnitude from
// 2^-11 to below 2^37 is m 2^-s with whole numbers m < 2^53 and 16 <= s < 64;
// m 10^decimals is exact in 128 bits, shifted down by s it is the number,
// and the bits shifted out decide the rounding. False for any other
// magnitude but zero, and for a number of 10^16 or more.
[[gnu::always_inline]] inline bool scaledExactly(double value, int decimals, uint64_t &scaled) {
  constexpr uint64_t kFractionBits = (uint64_t{1} << 52) - 1;
  constexpr int kWholeBias = 1075;  // the exponent's bias and its 52 fraction bits
  constexpr uint64_t kMost = 10000000000000000;
  // the product is below 2^80, so that shifted by this much it fits in 64 bits
  constexpr int kLeastShift = 16;
  scaled = 0;
  const auto bits = std::bit_cast<uint64_t>(value);
  if ((bits << 1) == 0) return true;
  const int shift = kWholeBias - static_cast<int>(bits >> 52 & 0x7FF);
  if (shift < kLeastShift || shift >= 64) return false;
  const auto product =
      static_cast<unsigned __int128>((bits & kFractionBits) | (kFractionBits + 1)) *
      kPowersOfTen[decimals];
  const auto low = static_cast<uint64_t>(product);
  const auto high = static_cast<uint64_t>(product >> 64);
  scaled = low >> shift | high << (64 - shift);
  const uint64_t one = uint64_t{1} << shift;
  const uint64_t twiceCut = (low & (one - 1)) << 1;
  if (twiceCut > one || (twiceCut == one && (scaled & 1) != 0)) ++scaled;
  return scaled < kMost;
}

// "%.*f" of a value from 2^-11 to below 2^37 in magnitude, or zero, to at
// most 8 decimals that make fewer than 17 digits, written at `at`; returns
// the end of the text, or null for any other value or number of decimals.
// A value that rounds to zero is written without its sign.
[[gnu::always_inline]] inline char *fixedByInteger(double value, int decimals, char *at) {
  constexpr int kMostDecimals = 8;
  uint64_t scaled = 0;
  if (decimals < 0 || decimals > kMostDecimals || !scaledExactly(value, decimals, scaled)) {
    return nullptr;
  }
  char *end = at;
  if (std::signbit(value) && scaled != 0) *end++ = '-';
  if (char *paired = pairedDecimalsAt(scaled, decimals, end)) return paired;
  return fixedDigitsAt(scaled, decimals, end);
}

// |value| 10^4 rounded as scaledExactly rounds it, for a magnitude from
// 0.0005 to below 99.9999, from one product in doubles. Below 2^20 the
// product is within 2^-34 of the exact one; it less its nearest whole number
// is exact, and farther than 2^-30 from a half it rounds the exact product to
// that number too. False for any other magnitude and near a half, where
// scaledExactly decides.
[[gnu::always_inline]] inline bool fourDecimalsByProduct(double value, uint32_t &scaled) {
  // the bits of the least and the first magnitude left out, in order as the magnitudes are
  constexpr uint64_t kLeast = std::bit_cast<uint64_t>(0.0005);  // above 2^-11
  constexpr uint64_t kMost = std::bit_cast<uint64_t>(99.9999);
  constexpr uint64_t kSign = uint64_t{1} << 63;
  constexpr double kNearHalf = 0.5 - 0x1p-30;
  constexpr double kRound = 0x1p52;  // added and taken away, leaves the nearest whole number
  const uint64_t magnitude = std::bit_cast<uint64_t>(value) & ~kSign;
  if (magnitude - kLeast >= kMost - kLeast) return false;
  const double product = std::bit_cast<double>(magnitude) * 10000.0;
  const double nearest = product + kRound - kRound;
  if (std::fabs(product - nearest) >= kNearHalf) return false;
  scaled = static_cast<uint32_t>(nearest);
  return true;
}

// "%.4f" of a value below 100 in magnitude, as fixedByInteger writes it,
// with the number of decimals known here; null for any other value.
[[gnu::always_inline]] inline char *fourDecimalsBelowHundredAt(double value, char *at) {
  constexpr int kDecimals = 4;
  constexpr uint64_t kHundred = 1000000;  // 100 scaled by 10^4
  uint32_t byProduct = 0;
  if (fourDecimalsByProduct(value, byProduct)) {
    *at = '-';  // written over by the digits of a value not below zero
    at += std::signbit(value) ? 1 : 0;
    return fourDecimalsAt(byProduct, at);
  }
  uint64_t scaled = 0;
  if (!scaledExactly(value, kDecimals, scaled) || scaled >= kHundred) return nullptr;
  char *end = at;
  if (std::signbit(value) && scaled != 0) *end++ = '-';
  return pairedDecimalsAt(scaled, kDecimals, end);
}

}  // namespace vyn::output::fixed

// Quantities kept beyond the exponent range of a double, as m * 2^e. Sums of
// squares, variances and their ratios are formed this way, so a statistic
// that fits in a double is computed whatever the scale of the data: scaling
// the data by a power of two moves only the exponents, and the mantissas and
// their roundings stay the same.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

// The exponent field of a double and its all-ones value (infinities and NaNs).
inline constexpr int kKrvExponentShift = 52;
inline constexpr uint64_t kKrvExponentField = uint64_t{0x7FF} << kKrvExponentShift;
inline constexpr int32_t kKrvExponentAllOnes = 0x7FF;
// frexp's exponent of a normal double is its biased exponent less this.
inline constexpr int32_t kKrvFrexpBias = 1022;

inline int32_t krvbiased_exponent(double x) {
  return static_cast<int32_t>((std::bit_cast<uint64_t>(x) & kKrvExponentField) >>
                              kKrvExponentShift);
}

// std::frexp, taken from the bits for a normal x; zeros, subnormals,
// infinities and NaNs go to the library. The same result bit for bit.
inline double krvfrexp(double x, int32_t *e) {
  const int32_t biased = krvbiased_exponent(x);
  if (biased == 0 || biased == kKrvExponentAllOnes) {
    int k = 0;
    const double f = std::frexp(x, &k);
    *e = k;
    return f;
  }
  *e = biased - kKrvFrexpBias;
  const uint64_t bits = std::bit_cast<uint64_t>(x) & ~kKrvExponentField;
  return std::bit_cast<double>(bits | static_cast<uint64_t>(kKrvFrexpBias) << kKrvExponentShift);
}

// std::ldexp: a normal x whose result is normal too only moves its exponent
// field, exactly; results that overflow or leave the normal range (where
// ldexp rounds) and the other operands go to the library.
inline double krvldexp(double x, int32_t n) {
  const int64_t biased = krvbiased_exponent(x);
  const int64_t moved = biased + n;
  if (biased == 0 || biased == kKrvExponentAllOnes || moved <= 0 || moved >= kKrvExponentAllOnes) {
    return std::ldexp(x, n);
  }
  const uint64_t step = static_cast<uint64_t>(static_cast<int64_t>(n)) << kKrvExponentShift;
  return std::bit_cast<double>(std::bit_cast<uint64_t>(x) + step);
}

struct krvwide {
  double m;   // 0, or a magnitude in [0.5, 1)
  int32_t e;  // binary exponent
};

// m * 2^e brought to the form above; m is finite.
inline krvwide krvwide_make(double m, int32_t e) {
  int32_t k = 0;
  const double f = krvfrexp(m, &k);
  if (f == 0.0) return {0.0, 0};
  return {f, e + k};
}

inline krvwide krvwide_of(double x) {
  return krvwide_make(x, 0);
}

// The value as a double: infinite beyond the largest one, subnormal or 0
// below the smallest normal one.
inline double krvwide_value(krvwide a) {
  return krvldexp(a.m, a.e);
}

inline krvwide krvwide_mul(krvwide a, krvwide b) {
  return krvwide_make(a.m * b.m, a.e + b.e);
}

// a / b for b not 0.
inline krvwide krvwide_div(krvwide a, krvwide b) {
  return krvwide_make(a.m / b.m, a.e - b.e);
}

// Square root of a nonnegative value.
inline krvwide krvwide_sqrt(krvwide a) {
  const bool odd = (a.e & 1) != 0;
  return krvwide_make(std::sqrt(odd ? 2.0 * a.m : a.m), (odd ? a.e - 1 : a.e) / 2);
}

inline krvwide krvwide_add(krvwide a, krvwide b) {
  if (a.m == 0.0) return b;
  if (b.m == 0.0) return a;
  if (b.e > a.e) return krvwide_add(b, a);
  return krvwide_make(a.m + krvldexp(b.m, b.e - a.e), a.e);
}

// a - b of two doubles, also where the difference exceeds the largest double.
inline krvwide krvwide_diff(double a, double b) {
  return krvwide_add(krvwide_of(a), krvwide_of(-b));
}

// a > b.
inline bool krvwide_greater(krvwide a, krvwide b) {
  return krvwide_add(a, krvwide{-b.m, b.e}).m > 0.0;
}

// The binary exponents, either way, of the values that krvwide_plain accepts.
inline constexpr uint64_t kKrvPlainExponent = 300;

// x > 0 within 2^-300 and 2^300. The products, quotients and roots of a few such values
// stay far inside the normal range, where an operation on the m * 2^e forms above rounds
// exactly as the same operation on the doubles themselves: the doubles' own arithmetic
// gives the wide results bit for bit there, at a fraction of the cost.
inline bool krvwide_plain(double x) {
  constexpr uint64_t lowest = kKrvFrexpBias + 1 - kKrvPlainExponent;
  return (std::bit_cast<uint64_t>(x) >> kKrvExponentShift) - lowest <= 2 * kKrvPlainExponent;
}

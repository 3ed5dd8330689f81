// Decimal digits written two at a time from a table of the pairs "00" to
// "99", for the small whole numbers and decimals that listings and log notes
// mostly show.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

namespace vyn {

// "00" to "99", one pair of digits after another.
inline constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// Writes the two digits of `pair` (below 100) at `at`.
[[gnu::always_inline]] inline void pairAt(uint32_t pair, char *at) {
  std::memcpy(at, &kDigitPairs[2 * pair], 2);
}

// Writes `whole` (below 100) in one or two digits; returns the end.
[[gnu::always_inline]] inline char *belowHundredAt(uint32_t whole, char *at) {
  if (whole < 10) {
    at[0] = static_cast<char>('0' + whole);
    return at + 1;
  }
  pairAt(whole, at);
  return at + 2;
}

}  // namespace vyn

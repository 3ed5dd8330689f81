// Copies of the few bytes that names, headings and message pieces mostly
// have, made without a call.
#pragma once

#include <cstddef>
#include <cstring>

namespace vyn {

// The most bytes copyShort copies.
inline constexpr size_t kShortCopy = 32;

// `n` bytes, at most kShortCopy, copied without a call: two runs of the
// largest power of two not above n, the second ending where the text ends.
inline void copyShort(char *to, const char *from, size_t n) {
  if (n >= 16) {
    std::memcpy(to, from, 16);
    std::memcpy(to + n - 16, from + n - 16, 16);
  } else if (n >= 8) {
    std::memcpy(to, from, 8);
    std::memcpy(to + n - 8, from + n - 8, 8);
  } else if (n >= 4) {
    std::memcpy(to, from, 4);
    std::memcpy(to + n - 4, from + n - 4, 4);
  } else if (n > 0) {
    to[0] = from[0];
    to[n / 2] = from[n / 2];
    to[n - 1] = from[n - 1];
  }
}

}  // namespace vyn

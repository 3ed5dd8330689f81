// UTF-8 as the host checks it wherever text leaves it (graphs, table files).
#pragma once

#include <cstddef>
#include <string_view>

namespace vyn {

// Length of the valid UTF-8 sequence at the start of s, or 0 when it is not
// one (overlong forms, surrogates and values above U+10FFFF are not).
inline size_t utf8Length(std::string_view s) {
  if (s.empty()) return 0;
  const auto b = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char c = b(0);
  const size_t n = c < 0x80                 ? 1
                   : c >= 0xC2 && c <= 0xDF ? 2
                   : c >= 0xE0 && c <= 0xEF ? 3
                   : c >= 0xF0 && c <= 0xF4 ? 4
                                            : 0;
  if (n == 0 || n > s.size()) return 0;
  for (size_t i = 1; i < n; ++i)
    if ((b(i) & 0xC0) != 0x80) return 0;
  if (n == 3 && ((c == 0xE0 && b(1) < 0xA0) || (c == 0xED && b(1) >= 0xA0))) return 0;
  if (n == 4 && ((c == 0xF0 && b(1) < 0x90) || (c == 0xF4 && b(1) >= 0x90))) return 0;
  return n;
}

}  // namespace vyn

// UTF-8 as the host checks it wherever text leaves it (graphs, table files).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
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

// Whether the eight bytes at p are all ASCII.
inline bool asciiWord(const char *p) {
  uint64_t word;
  std::memcpy(&word, p, 8);
  return (word & 0x8080808080808080ull) == 0;
}

// Whether the text is all ASCII: as many columns as bytes, and UTF-8.
inline bool isAscii(std::string_view text) {
  size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    if (!asciiWord(text.data() + i)) return false;
  }
  for (; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
  }
  return true;
}

// Offset of the first byte that does not begin a valid UTF-8 sequence, or
// npos when the whole text is valid.
inline size_t invalidUtf8At(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    if (s.size() - i >= 8 && asciiWord(s.data() + i)) {
      i += 8;
      continue;
    }
    if (static_cast<unsigned char>(s[i]) < 0x80) {
      ++i;
      continue;
    }
    const size_t n = utf8Length(s.substr(i));
    if (n == 0) return i;
    i += n;
  }
  return std::string_view::npos;
}

// The text with each byte that does not begin a valid UTF-8 sequence
// replaced by U+FFFD.
inline std::string validUtf8(std::string_view s) {
  size_t i = invalidUtf8At(s);
  if (i == std::string_view::npos) return std::string(s);
  std::string out(s.substr(0, i));
  while (i < s.size()) {
    const size_t n = utf8Length(s.substr(i));
    out += n ? s.substr(i, n) : std::string_view("\uFFFD");
    i += n ? n : 1;
  }
  return out;
}

}  // namespace vyn

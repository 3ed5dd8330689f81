#include "vyn/output/format.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "vyn/core/utf8.h"

namespace vyn::output {
namespace {

struct FormatSpec {
  std::string name;   // upper case, without width
  int width = 0;      // 0 when not given
  int decimals = -1;  // -1 when not given
};

FormatSpec parseFormat(const std::string &format) {
  FormatSpec parsed;
  size_t i = 0;
  while (i < format.size() && std::isalpha(static_cast<unsigned char>(format[i]))) {
    parsed.name += static_cast<char>(std::toupper(static_cast<unsigned char>(format[i++])));
  }
  int *target = &parsed.width;
  for (; i < format.size(); ++i) {
    const char c = format[i];
    if (c == '.') {
      parsed.decimals = 0;
      target = &parsed.decimals;
    } else if (std::isdigit(static_cast<unsigned char>(c)) && *target < 100) {
      *target = *target * 10 + (c - '0');
    }
  }
  return parsed;
}

// printf's "%.*f" (fixed) or "%.*g", cut to 63 characters as in a 64-byte
// buffer, written at `at` (room for 64 bytes); std::to_chars writes the same
// characters without parsing a pattern. Returns the end of the text.
char *printedAt(bool fixedPoint, int precision, double value, char *at) {
  const auto form = fixedPoint ? std::chars_format::fixed : std::chars_format::general;
  const auto [end, ec] = std::to_chars(at, at + 63, value, form, precision);
  if (ec == std::errc()) return end;
  std::snprintf(at, 64, fixedPoint ? "%.*f" : "%.*g", precision, value);
  return at + std::strlen(at);
}

std::string printed(bool fixedPoint, int precision, double value) {
  char buf[64];
  return std::string(buf, printedAt(fixedPoint, precision, value, buf));
}

// A whole number of fewer than `precision` digits is written by "%.*g" as its
// digits alone: those written at `at`, returning their end; null for any
// other value.
char *wholeNumberAt(double value, int precision, char *at) {
  static constexpr double kPowers[] = {1,   10,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  if (precision < 1 || precision > 15 || !(std::fabs(value) < kPowers[precision])) return nullptr;
  // below 10^15 the conversion cuts off the fraction exactly
  const auto whole = static_cast<long long>(value);
  if (static_cast<double>(whole) != value) return nullptr;
  return std::to_chars(at, at + 24, whole).ptr;
}

// The most significant digits that fit in `width` columns, written at `at`
// (room for 64 bytes); returns their end.
char *bestAt(double value, int width, char *at) {
  if (value == 0) {
    *at = '0';
    return at + 1;
  }
  const int most = std::min(width, 15);
  if (most > 1) {
    char *end = wholeNumberAt(value, most, at);
    if (end != nullptr && end - at <= width) return end;
  }
  for (int precision = most; precision > 1; --precision) {
    char *end = printedAt(false, precision, value, at);
    if (end - at <= width) return end;
  }
  return printedAt(false, 1, value, at);
}

// The powers of ten a number of fixed decimals is scaled by.
constexpr uint32_t kPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

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

// Writes a number from 10^8 to below 10^16, or any below with 8 decimals,
// as fixedDigitsAt does: the digits above the last eight, then those eight.
[[gnu::noinline]] char *longFixedDigitsAt(uint64_t digits, int decimals, char *at) {
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
  return fixedDigitsAt(scaled, decimals, end);
}

// d decimals; no sign on a value that rounds to zero; BEST when too wide.
// Written at `at` (room for 64 bytes); returns the end of the text. This is
// the way of the values that fixedByInteger leaves out or writes too wide.
[[gnu::noinline]] char *slowFixedAt(double value, int width, int decimals, char *at) {
  char *end = fixedByInteger(value, decimals, at);
  if (end == nullptr) {
    end = printedAt(true, decimals, value, at);
    const std::string_view text(at, static_cast<size_t>(end - at));
    if (!text.empty() && text[0] == '-' && text.find_first_not_of("-0.") == text.npos) {
      std::memmove(at, at + 1, text.size() - 1);
      --end;
    }
  }
  if (width > 0 && end - at > width) end = bestAt(value, width, at);
  return end;
}

// The same as slowFixedAt, the common values written without a call.
[[gnu::always_inline]] inline char *fixedAt(double value, int width, int decimals, char *at) {
  char *end = fixedByInteger(value, decimals, at);
  if (end != nullptr && (width <= 0 || end - at <= width)) return end;
  return slowFixedAt(value, width, decimals, at);
}

// "<.001" for a p-value below 10^-decimals, written at `at`, which has
// numberRoom(format) bytes; returns the end.
char *belowSmallestAt(const NumberFormat &format, char *at) {
  const auto zeros = static_cast<size_t>(format.decimals - 1);
  at[0] = '<';
  at[1] = '.';
  std::memset(at + 2, '0', zeros);
  at[2 + zeros] = '1';
  return at + 3 + zeros;
}

}  // namespace

NumberFormat numberFormat(const std::string &format) {
  const FormatSpec parsed = parseFormat(format);
  NumberFormat f;
  if (parsed.name == "PVALUE") {
    f.kind = NumberFormat::Kind::kPValue;
    f.width = parsed.width == 0 ? 6 : parsed.width;
    f.decimals = parsed.decimals < 1 ? 4 : parsed.decimals;
    f.smallest = std::pow(10.0, -f.decimals);
  } else if ((parsed.name.empty() || parsed.name == "F") && parsed.decimals >= 0) {
    f.kind = NumberFormat::Kind::kFixed;
    f.width = parsed.width;
    f.decimals = parsed.decimals;
  } else {
    f.width = parsed.width == 0 ? 12 : parsed.width;
  }
  return f;
}

char *writeNumber(double value, const NumberFormat &format, char *at) {
  if (format.kind == NumberFormat::Kind::kBest) return bestAt(value, format.width, at);
  if (format.kind == NumberFormat::Kind::kPValue && value < format.smallest) {
    return belowSmallestAt(format, at);
  }
  return fixedAt(value, format.width, format.decimals, at);
}

void formatNumberInto(double value, const NumberFormat &format, std::string &out) {
  out.resize(numberRoom(format));
  out.resize(static_cast<size_t>(writeNumber(value, format, out.data()) - out.data()));
}

std::string formatNumber(double value, const std::string &format) {
  std::string text;
  formatNumberInto(value, numberFormat(format), text);
  return text;
}

std::string missingText(char letter) {
  switch (letter) {
    case 'I':
      return "Inf";
    case 'M':
      return "-Inf";
    case '_':
      return "";
    default:
      return std::string(1, letter);
  }
}

void cellTextInto(const Cell &cell, const NumberFormat &format, std::string &out) {
  if (const auto *d = std::get_if<double>(&cell)) return formatNumberInto(*d, format, out);
  if (const auto *i = std::get_if<long long>(&cell)) {
    char buf[24];
    out.assign(buf, std::to_chars(buf, buf + sizeof buf, *i).ptr);
    return;
  }
  if (const auto *m = std::get_if<Missing>(&cell)) {
    out = missingText(m->letter);
    return;
  }
  out = validUtf8(std::get<std::string>(cell));
}

std::string attributeText(const AttrValue &value) {
  if (const auto *d = std::get_if<double>(&value)) return printed(false, 6, *d);
  if (const auto *i = std::get_if<long long>(&value)) return std::to_string(*i);
  if (const auto *b = std::get_if<bool>(&value)) return *b ? "true" : "false";
  return std::get<std::string>(value);
}

}  // namespace vyn::output

#include "vyn/output/format.h"

#include <algorithm>
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
  constexpr double kPowers[] = {1,   10,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  if (precision < 1 || precision > 15 || std::trunc(value) != value ||
      !(std::fabs(value) < kPowers[precision])) {
    return nullptr;
  }
  return std::to_chars(at, at + 24, static_cast<long long>(value)).ptr;
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

// The digits "00" to "99", two characters each.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the last `count` decimal digits of `digits` before `at`, leading
// zeros included, two at a time; returns where they begin.
char *lastDigits(uint32_t digits, int count, char *at) {
  for (; count >= 2; count -= 2, digits /= 100) {
    at -= 2;
    std::memcpy(at, kDigitPairs + 2 * (digits % 100), 2);
  }
  if (count == 1) *--at = static_cast<char>('0' + digits % 10);
  return at;
}

// Writes the decimal digits of `digits` before `at`, two at a time; returns
// where they begin.
char *allDigits(uint64_t digits, char *at) {
  for (; digits >= 100; digits /= 100) {
    at -= 2;
    std::memcpy(at, kDigitPairs + 2 * (digits % 100), 2);
  }
  if (digits >= 10) {
    at -= 2;
    std::memcpy(at, kDigitPairs + 2 * digits, 2);
  } else {
    *--at = static_cast<char>('0' + digits);
  }
  return at;
}

// How many decimal digits `digits` has.
size_t digitCount(uint64_t digits) {
  size_t n = 1;
  for (; digits >= 100; digits /= 100) n += 2;
  return n + (digits >= 10 ? 1 : 0);
}

// "%.*f" of a value whose scaled magnitude |value| 10^decimals is below 2^53,
// from the integer it rounds to, written at `at`; returns the end of the
// text, or null when that integer is in doubt. The product is the exact one
// within a relative 2^-53 (10^decimals is exact), so unless its fraction lies
// within twice that of one half, the exact product rounds the same way; a tie
// or near tie is left to std::to_chars. A value that rounds to zero is
// written without its sign.
char *fixedByInteger(double value, int decimals, char *at) {
  static constexpr uint64_t kPowers[] = {1,      10,      100,      1000,      10000,
                                         100000, 1000000, 10000000, 100000000, 1000000000};
  constexpr int kMostDecimals = 9;
  constexpr double kLimit = 0x1p53;
  if (decimals < 0 || decimals > kMostDecimals) return nullptr;
  const uint64_t power = kPowers[decimals];
  const double scaled = std::fabs(value) * static_cast<double>(power);
  if (!(scaled < kLimit)) return nullptr;
  // below 2^53 the conversion cuts the fraction off exactly, as floor would
  const auto whole = static_cast<uint64_t>(scaled);
  const double fraction = scaled - static_cast<double>(whole);
  if (std::fabs(fraction - 0.5) <= scaled * 0x1p-52 + 0x1p-1000) return nullptr;
  const uint64_t digits = whole + (fraction > 0.5 ? 1 : 0);
  const bool negative = std::signbit(value) && digits != 0;
  const uint64_t integer = digits / power;
  const size_t fractionLength = decimals > 0 ? static_cast<size_t>(decimals) + 1 : 0;
  char *const end = at + (negative ? 1 : 0) + digitCount(integer) + fractionLength;
  char *first = end;
  if (decimals > 0) {
    first = lastDigits(static_cast<uint32_t>(digits % power), decimals, first);
    *--first = '.';
  }
  first = allDigits(integer, first);
  if (negative) *--first = '-';
  return end;
}

// d decimals; no sign on a value that rounds to zero; BEST when too wide.
// Written at `at` (room for 64 bytes); returns the end of the text.
char *fixedAt(double value, int width, int decimals, char *at) {
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

// Written at `at`, which has numberRoom(format) bytes; returns the end.
char *pvalueAt(double value, const NumberFormat &format, char *at) {
  if (value < format.smallest) {
    const auto zeros = static_cast<size_t>(format.decimals - 1);
    at[0] = '<';
    at[1] = '.';
    std::memset(at + 2, '0', zeros);
    at[2 + zeros] = '1';
    return at + 3 + zeros;
  }
  return fixedAt(value, format.width, format.decimals, at);
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
  switch (format.kind) {
    case NumberFormat::Kind::kPValue:
      return pvalueAt(value, format, at);
    case NumberFormat::Kind::kFixed:
      return fixedAt(value, format.width, format.decimals, at);
    case NumberFormat::Kind::kBest:
      break;
  }
  return bestAt(value, format.width, at);
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

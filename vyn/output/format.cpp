#include "vyn/output/format.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

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
// buffer; std::to_chars writes the same characters without parsing a pattern.
std::string printed(bool fixedPoint, int precision, double value) {
  char buf[64];
  const auto form = fixedPoint ? std::chars_format::fixed : std::chars_format::general;
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf - 1, value, form, precision);
  if (ec == std::errc()) return std::string(buf, end);
  std::snprintf(buf, sizeof buf, fixedPoint ? "%.*f" : "%.*g", precision, value);
  return buf;
}

// A whole number of fewer than `precision` digits is written by "%.*g" as its
// digits alone; empty for any other value.
std::string wholeNumber(double value, int precision) {
  constexpr double kPowers[] = {1,   10,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  if (precision < 1 || precision > 15 || std::trunc(value) != value ||
      !(std::fabs(value) < kPowers[precision])) {
    return {};
  }
  char buf[24];
  const auto end = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(value)).ptr;
  return std::string(buf, end);
}

// The most significant digits that fit in `width` columns.
std::string best(double value, int width) {
  if (value == 0) return "0";
  const int most = std::min(width, 15);
  if (most > 1) {
    std::string whole = wholeNumber(value, most);
    if (!whole.empty() && static_cast<int>(whole.size()) <= width) return whole;
  }
  for (int precision = most; precision > 1; --precision) {
    std::string text = printed(false, precision, value);
    if (static_cast<int>(text.size()) <= width) return text;
  }
  return printed(false, 1, value);
}

// Writes the characters from `begin` to `end` over `out`. A cell mostly
// gets text as long as the one it held, and then keeps its length.
void setText(std::string &out, const char *begin, const char *end) {
  const auto n = static_cast<size_t>(end - begin);
  out.resize(n);
  std::memcpy(out.data(), begin, n);
}

// The digits "00" to "99", two characters each.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the last `count` decimal digits of `digits` before `at`, leading
// zeros included, two at a time; returns where they begin.
char *lastDigits(uint64_t digits, int count, char *at) {
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

// "%.*f" of a value whose scaled magnitude |value| 10^decimals is below 2^53,
// from the integer it rounds to, written over `out`; false when that integer
// is in doubt. The product is the exact one within a relative 2^-53
// (10^decimals is exact), so unless its fraction lies within twice that of
// one half, the exact product rounds the same way; a tie or near tie is left
// to std::to_chars. A value that rounds to zero is written without its sign.
bool fixedByInteger(double value, int decimals, std::string &out) {
  static constexpr uint64_t kPowers[] = {1,      10,      100,      1000,      10000,
                                         100000, 1000000, 10000000, 100000000, 1000000000};
  constexpr int kMostDecimals = 9;
  constexpr double kLimit = 0x1p53;
  if (decimals < 0 || decimals > kMostDecimals) return false;
  const uint64_t power = kPowers[decimals];
  const double scaled = std::fabs(value) * static_cast<double>(power);
  if (!(scaled < kLimit)) return false;
  // below 2^53 the conversion cuts the fraction off exactly, as floor would
  const auto whole = static_cast<uint64_t>(scaled);
  const double fraction = scaled - static_cast<double>(whole);
  if (std::fabs(fraction - 0.5) <= scaled * 0x1p-52 + 0x1p-1000) return false;
  const uint64_t digits = whole + (fraction > 0.5 ? 1 : 0);
  const bool negative = std::signbit(value) && digits != 0;
  char buf[32];
  char *end = buf + sizeof buf;
  char *at = end;
  if (decimals > 0) {
    at = lastDigits(digits % power, decimals, at);
    *--at = '.';
  }
  at = allDigits(digits / power, at);
  if (negative) *--at = '-';
  setText(out, at, end);
  return true;
}

// d decimals; no sign on a value that rounds to zero; BEST when too wide.
void fixed(double value, int width, int decimals, std::string &out) {
  if (!fixedByInteger(value, decimals, out)) {
    out = printed(true, decimals, value);
    if (out[0] == '-' && out.find_first_not_of("-0.") == std::string::npos) out.erase(0, 1);
  }
  if (width > 0 && static_cast<int>(out.size()) > width) out = best(value, width);
}

void pvalue(double value, const NumberFormat &format, std::string &out) {
  if (value < format.smallest) {
    out.assign("<.");
    out.append(static_cast<size_t>(format.decimals - 1), '0');
    out += '1';
    return;
  }
  fixed(value, format.width, format.decimals, out);
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

void formatNumberInto(double value, const NumberFormat &format, std::string &out) {
  switch (format.kind) {
    case NumberFormat::Kind::kPValue:
      return pvalue(value, format, out);
    case NumberFormat::Kind::kFixed:
      return fixed(value, format.width, format.decimals, out);
    case NumberFormat::Kind::kBest:
      out = best(value, format.width);
  }
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
    setText(out, buf, std::to_chars(buf, buf + sizeof buf, *i).ptr);
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

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

using fixed::fixedByInteger;

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

// The most digits of a whole number that BEST writes as its digits alone,
// and the powers of ten up to 10^that.
constexpr int kMostWholeDigits = 15;
constexpr double kPowers[] = {1,   10,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                              1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// A whole number of fewer than `precision` digits is written by "%.*g" as its
// digits alone: those written at `at`, returning their end; null for any
// other value.
char *wholeNumberAt(double value, int precision, char *at) {
  if (precision < 1 || precision > kMostWholeDigits || !(std::fabs(value) < kPowers[precision]))
    return nullptr;
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
  const int most = std::min(width, kMostWholeDigits);
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

// d decimals; no sign on a value that rounds to zero; BEST when too wide.
// Written at `at` (room for 64 bytes); returns the end of the text. This is
// the way of the values that fixedByInteger leaves out or writes too wide.
char *slowFixedAt(double value, int width, int decimals, char *at) {
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
    constexpr int kWidestBelowHundred = 8;  // "-99.9999"
    f.fourBelowHundred = f.decimals == 4 && (f.width == 0 || f.width >= kWidestBelowHundred);
  } else {
    f.width = parsed.width == 0 ? 12 : parsed.width;
    const int most = std::min(f.width, kMostWholeDigits);
    if (most > 1) f.wholeBelow = kPowers[most];
  }
  return f;
}

char *writeNumber(double value, const NumberFormat &format, char *at) {
  if (char *end = writeCommonNumber(value, format, at)) return end;
  if (format.kind == NumberFormat::Kind::kBest) return bestAt(value, format.width, at);
  if (format.kind == NumberFormat::Kind::kPValue && value < format.smallest) {
    return belowSmallestAt(format, at);
  }
  return slowFixedAt(value, format.width, format.decimals, at);
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

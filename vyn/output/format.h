// Display of numbers and cells in the formats of the templates.
#pragma once

#include <cmath>
#include <cstring>
#include <string>

#include "vyn/output/document.h"
#include "vyn/output/format_fixed.h"

namespace vyn::output {

// A display format as the numbers of a column are written in it, read once:
// "BESTw." (the shortest text in w columns), "w.d" (d decimals), "PVALUEw.d"
// (d decimals; below 10^-d shown as "<.0001" for d = 4). A format without a
// width uses 12 for BEST and 6.4 for PVALUE; an unknown name shows the number
// as BEST.
struct NumberFormat {
  enum class Kind { kBest, kFixed, kPValue };
  Kind kind = Kind::kBest;
  int width = 12;       // 0 for fixed decimals without a width
  int decimals = 0;     // fixed and p-value decimals
  double smallest = 0;  // p-value: the least value shown as a number, 10^-decimals
  // BEST: whole numbers below this in magnitude show as their digits when
  // they fit; 0 where none is known to
  double wholeBelow = 0;
  // four fixed decimals in a width that takes every number below 100 in
  // magnitude, as most numbers of a listing are
  bool fourBelowHundred = false;
};
NumberFormat numberFormat(const std::string &format);

// The most bytes writeNumber writes in `format`.
inline size_t numberRoom(const NumberFormat &format) {
  return 64 + static_cast<size_t>(format.decimals);
}

// Writes a number in a display format at `at`, which has room for
// numberRoom(format) bytes; returns the end of its text.
char *writeNumber(double value, const NumberFormat &format, char *at);

// A whole number below format.wholeBelow in magnitude, as BEST writes it:
// its digits, when they fit in the width; null otherwise.
[[gnu::always_inline]] inline char *wholeBestAt(double value, const NumberFormat &format,
                                                char *at) {
  if (!(std::fabs(value) < format.wholeBelow)) return nullptr;
  const auto whole = static_cast<long long>(value);
  if (static_cast<double>(whole) != value) return nullptr;
  char *end = at;
  if (whole < 0) *end++ = '-';
  const auto magnitude = static_cast<uint64_t>(whole < 0 ? -whole : whole);
  constexpr uint64_t kHundred = 100;
  end = magnitude < kHundred ? belowHundredAt(static_cast<uint32_t>(magnitude), end)
                             : fixed::fixedDigitsAt(magnitude, 0, end);
  return end - at <= format.width ? end : nullptr;
}

// "<.001" for a p-value below 10^-decimals (1 to 8 decimals) written at `at`,
// which has room for 10 bytes; returns the end.
[[gnu::always_inline]] inline char *shortBelowSmallestAt(int decimals, char *at) {
  std::memcpy(at, "<.00000000", 10);
  at[decimals + 1] = '1';
  return at + decimals + 2;
}

// The most bytes writeCommonNumber stores at `at`, in any format: a sign and
// 16 digits with a point, and the whole words stored past them.
inline constexpr size_t kCommonNumberRoom = 32;

// writeNumber's common numbers written in the caller: fixed decimals, and
// p-values not below the least shown, that fixed::fixedByInteger writes in
// the format's width; p-values below it to at most 8 decimals; whole numbers
// in BEST. `at` has room for kCommonNumberRoom bytes. Null for any other
// number (the bytes at `at` then mean nothing). The text is ASCII.
[[gnu::always_inline]] inline char *writeCommonNumber(double value, const NumberFormat &format,
                                                      char *at) {
  constexpr int kMostBelowDecimals = 8;
  if (format.fourBelowHundred) {
    if (char *end = fixed::fourDecimalsBelowHundredAt(value, at)) return end;
  }
  if (format.kind == NumberFormat::Kind::kBest) return wholeBestAt(value, format, at);
  if (format.kind == NumberFormat::Kind::kPValue && value < format.smallest) {
    return format.decimals <= kMostBelowDecimals ? shortBelowSmallestAt(format.decimals, at)
                                                 : nullptr;
  }
  char *end = fixed::fixedByInteger(value, format.decimals, at);
  if (end != nullptr && format.width > 0 && end - at > format.width) return nullptr;
  return end;
}

// A number in a display format, written over `out`.
void formatNumberInto(double value, const NumberFormat &format, std::string &out);
std::string formatNumber(double value, const std::string &format);

// How a missing value shows in the listing and the HTML page: "." for the
// standard missing value, "Inf" for I, "-Inf" for M, blank for '_', the
// letter for the others.
std::string missingText(char letter);

// The text of a cell in its column's format, written over `out`.
void cellTextInto(const Cell &cell, const NumberFormat &format, std::string &out);

// The text of an attribute value: numbers in at most 6 significant digits.
std::string attributeText(const AttrValue &value);

}  // namespace vyn::output

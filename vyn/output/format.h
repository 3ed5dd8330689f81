// Display of numbers and cells in the formats of the templates.
#pragma once

#include <string>

#include "vyn/output/document.h"

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
};
NumberFormat numberFormat(const std::string &format);

// The most bytes writeNumber writes in `format`.
inline size_t numberRoom(const NumberFormat &format) {
  return 64 + static_cast<size_t>(format.decimals);
}

// Writes a number in a display format at `at`, which has room for
// numberRoom(format) bytes; returns the end of its text.
char *writeNumber(double value, const NumberFormat &format, char *at);

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

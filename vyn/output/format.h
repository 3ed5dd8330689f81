// Display of numbers and cells in the formats of the templates.
#pragma once

#include <string>

#include "vyn/output/document.h"

namespace vyn::output {

// A number in a display format: "BESTw." (the shortest text in w columns),
// "w.d" (d decimals), "PVALUEw.d" (d decimals; below 10^-d shown as "<.0001"
// for d = 4). A format without a width uses 12 for BEST and 6.4 for PVALUE;
// an unknown name shows the number as BEST.
std::string formatNumber(double value, const std::string &format);

// How a missing value shows in the listing and the HTML page: "." for the
// standard missing value, "Inf" for I, "-Inf" for M, blank for '_', the
// letter for the others.
std::string missingText(char letter);

// The text of a cell in the column's format.
std::string cellText(const Cell &cell, const std::string &format);

// The text of an attribute value: numbers in at most 6 significant digits.
std::string attributeText(const AttrValue &value);

}  // namespace vyn::output

// The host's missing values and character classes, and the tests on values
// that every reader and analysis shares.
#pragma once

#include <cmath>
#include <cstdint>

#include "stat/src/krvstat.h"

// The host's missing value of a letter: '.' missing, 'I' infinite upper,
// 'M' infinite lower, '_' nothing to show.
double krvmissing(char letter);
// A numeric value is missing when it is a NaN or the not-computed marker.
inline bool krvismissing(double x) {
  return std::isnan(x) || x == kNotComputed;
}
// v itself, or the infinite missing value of its sign when it is beyond the
// largest double.
double krvshown(double v);
// A byte the host classes as blank.
bool krvblank(char c);
// Every one of `len` bytes is blank.
bool krvallblank(const char *text, int32_t len);

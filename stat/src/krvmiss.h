// The host's missing values and character classes, and the tests on values
// that every reader and analysis shares.
#pragma once

#include <cmath>
#include <cstdint>

#include "host/vynconn.h"
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
inline double krvshown(double v) {
  return std::isinf(v) ? krvmissing(v > 0.0 ? 'I' : 'M') : v;
}
// A byte the host classes as blank.
bool krvblank(char c);
// Every one of `len` bytes is blank.
bool krvallblank(const char *text, int32_t len);
// The host's character classes, which mark the blank bytes.
const uint16_t *krvcharclasses();
// krvallblank with the character classes at hand, for a loop over observations.
inline bool krvallblank(const uint16_t *classes, const char *text, int32_t len) {
  for (int32_t i = 0; i < len; ++i) {
    if ((classes[static_cast<unsigned char>(text[i])] & vynconn::kClassBlank) == 0) return false;
  }
  return true;
}

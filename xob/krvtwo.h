// Pieces shared by the two-group analyses: the result copy a comparison
// writes, the p-value of a t, the zero-variance outcome, the limits shown
// as infinite, and the inside check of an equivalence limit.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

#include "stat/src/krvdist.h"
#include "stat/src/krvmiss.h"
#include "stat/src/krvread.h"
#include "stat/src/krvstat.h"
#include "xob/kravo.h"

namespace krvtwo {

// Which tail a pass tests: both, P(T <= t), or P(T >= t).
enum Tail : int32_t { kTwoSided = 0, kLowerTail = 1, kUpperTail = 2 };

// The result copy of a comparison: two-sample, or one of the crossover
// comparisons, told by the set its difference record belongs to.
enum Copy : int32_t { kTwoSample = -1, kTreatment = kXoTreatment, kPeriod = kXoPeriod };

inline Copy copyOf(krvopts *opts, const krvstat *diff, int32_t index) {
  if (krvset(opts, kSetTrtCmp) != nullptr && diff == krvset(opts, kSetTrtCmp) + index) {
    return kTreatment;
  }
  if (krvset(opts, kSetPrdCmp) != nullptr && diff == krvset(opts, kSetPrdCmp) + index) {
    return kPeriod;
  }
  return kTwoSample;
}

struct Pass {
  double t, df, p;
};

// What a comparison reads from its two group records.
struct Groups {
  double n1, n2;       // N
  double w1, w2;       // W
  double m1, m2;       // means
  krvwide css1, css2;  // corrected sums of squares at their full range
};

inline Groups groupsOf(const krvstat *first, const krvstat *second) {
  return {first->n,    second->n,    first->w,      second->w,
          first->mean, second->mean, krvcss(first), krvcss(second)};
}

inline double pValue(double t, double df, Tail tail) {
  if (t > kKrvSqrtMax) return tail == kLowerTail ? 1.0 : 0.0;
  if (t < -kKrvSqrtMax) return tail == kUpperTail ? 1.0 : 0.0;
  double p = krvmissing('.');
  if (tail == kTwoSided) {
    krvfupper(t * t, 1.0, df, &p);
    return p;
  }
  double lnlower = 0.0, lnupper = 0.0;
  if (!krvttails(t, df, &lnlower, &lnupper)) return p;
  return std::exp(tail == kLowerTail ? lnlower : lnupper);
}

// Zero variance: the sign of d decides, unless d is 0 too.
inline Pass constantPass(double d, double df, Tail tail) {
  if (d == 0.0) return {krvmissing('.'), df, krvmissing('.')};
  if (d < 0.0) return {krvmissing('M'), df, tail == kUpperTail ? 1.0 : 0.0};
  return {krvmissing('I'), df, tail == kLowerTail ? 1.0 : 0.0};
}

// The test of d with its standard error, or the zero-variance outcome when
// the error is 0. Both are taken at their full range, so t is formed
// wherever it fits.
inline Pass testOf(krvwide d, krvwide se, double df, Tail tail) {
  if (se.m == 0.0) return constantPass(krvwide_value(d), df, tail);
  const double t = krvwide_value(krvwide_div(d, se));
  return {krvshown(t), df, pValue(t, df, tail)};
}

// The t quantile of the limits: 1 - alpha/2 two-sided, 1 - alpha one-sided.
inline bool limitQuantile(const krvopts *opts, double df, double *q) {
  const double level = opts->sides == kTwoSided ? 1.0 - opts->alpha / 2.0 : 1.0 - opts->alpha;
  return krvtquant(level, df, q);
}

// The null value of a pass in the test's scale: ln under the lognormal
// model; the ratio model uses the bound itself in its numerator.
inline double nullValue(const krvopts *opts, double value) {
  return opts->lognormal ? std::log(value) : value;
}

// Two-sided limits keep both; SIDES=L opens the lower side, SIDES=U the upper.
inline void storeLimits(const krvopts *opts, double lower, double upper, double *lcl, double *ucl) {
  *lcl = opts->sides == kLowerTail ? krvmissing('M') : krvshown(lower);
  *ucl = opts->sides == kUpperTail ? krvmissing('I') : krvshown(upper);
}

// exp of a limit of the log scale: the open lower side becomes 0, the open
// upper side stays infinite, a missing limit stays missing.
inline double expLimit(double v) {
  const double open_lower = krvmissing('M');
  if (std::bit_cast<uint64_t>(v) == std::bit_cast<uint64_t>(open_lower)) return 0.0;
  if (krvismissing(v)) return v;
  return krvshown(std::exp(v));
}

// An equivalence limit outside its bound (up to 1000 eps relative) clears
// its inside flag and the verdict.
inline void checkInside(double limit, double bound, bool upper, int32_t *inside,
                        int32_t *equivalent) {
  const double tol = kKrvTiny * std::fmax(std::fabs(limit), std::fabs(bound));
  const bool outside = upper ? limit - bound > tol : limit - bound < -tol;
  if (outside) *inside = *equivalent = 0;
}

// An equivalence limit that cannot be computed.
inline void notComputable(double *limit, int32_t *inside, int32_t *equivalent) {
  *limit = krvmissing('.');
  *inside = -1;
  if (*equivalent != 0) *equivalent = -1;
}

// An unbounded equivalence limit lies outside its bound.
inline void unbounded(bool upper, double *limit, int32_t *inside, int32_t *equivalent) {
  *limit = krvmissing(upper ? 'I' : 'M');
  *inside = *equivalent = 0;
}

// A finite equivalence limit of the mean (difference model): mean + q*SE for
// the upper limit, mean - q*SE for the lower one, exp under lognormal.
inline void meanLimit(const krvopts *opts, double mean, double q, double se, bool upper,
                      double *limit, int32_t *inside, int32_t *equivalent) {
  if (krvismissing(mean) || krvismissing(se)) {
    notComputable(limit, inside, equivalent);
    return;
  }
  double v = upper ? mean + q * se : mean - q * se;
  if (opts->lognormal) v = std::exp(v);
  if (std::isinf(v) && (v > 0.0) == upper) {
    unbounded(upper, limit, inside, equivalent);
    return;
  }
  checkInside(v, upper ? opts->tost_upper : opts->tost_lower, upper, inside, equivalent);
  *limit = krvshown(v);
}

}  // namespace krvtwo

// Folded F test of equal variances between the two groups of a two-sample
// analysis or of the crossover treatment comparison.
#include <cmath>

#include "host/vynsvc.h"
#include "stat/src/krvdist.h"
#include "stat/src/krvmiss.h"
#include "xob/krvanal.h"
#include "xob/krvmsg.h"

namespace {

constexpr int32_t kNoteZeroDenominator = 21;

// The note of a zero denominator variance, once per BY group.
void noteZeroDenominator(krvopts *opts) {
  if (opts->note21_issued) return;
  opts->note21_issued = 1;
  xpmlog(kKrvGroup, kNoteZeroDenominator, 0, nullptr);
}

// Twice the upper tail of F at f, at most 1.
double foldedP(double f, double numdf, double dendf) {
  double upper = 0.0;
  if (!krvfupper(f, numdf, dendf, &upper)) return krvmissing('.');
  return std::fmin(2.0 * upper, 1.0);
}

void tooFewObservations(double df1, double df2, krvfoldf *out) {
  out->f = out->p = krvmissing('.');
  out->numdf = df1 > 0.0 ? df1 : (df2 > 0.0 ? df2 : 0.0);
  out->dendf = 0.0;
}

}  // namespace

int32_t krvqvar(krvopts *opts, krvstat *first, krvstat *second, krvresult *result, int32_t index) {
  const bool crossover =
      krvset(opts, kSetHalfPrd1) != nullptr && first == krvset(opts, kSetHalfPrd1) + index;
  krvfoldf *out = crossover ? &result->foldf_xo : &result->foldf;
  const double df1 = first->n - 1.0;
  const double df2 = second->n - 1.0;
  if (!(df1 > 0.0) || !(df2 > 0.0)) {
    tooFewObservations(df1, df2, out);
    return 0;
  }
  const krvwide v1 = krvvariance(first);
  const krvwide v2 = krvvariance(second);
  const bool secondLarger = krvwide_greater(v2, v1);
  const krvwide num = secondLarger ? v2 : v1;
  const krvwide den = secondLarger ? v1 : v2;
  out->second_larger = secondLarger ? 1 : 0;
  out->numdf = secondLarger ? df2 : df1;
  out->dendf = secondLarger ? df1 : df2;
  if (!(den.m > 0.0)) {
    noteZeroDenominator(opts);
    const bool positive = num.m > 0.0;
    out->f = positive ? krvmissing('I') : krvmissing('.');
    out->p = positive ? 0.0 : krvmissing('.');
    return 0;
  }
  const double f = krvwide_value(krvwide_div(num, den));
  out->f = std::isinf(f) ? krvmissing('I') : f;
  out->p = std::isinf(f) ? 0.0 : foldedP(f, out->numdf, out->dendf);
  return 0;
}

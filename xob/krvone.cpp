// The t test of one mean against a null value, or the two one-sided tests of
// equivalence with their interval, from one finished statistics record.
#include <cmath>

#include "stat/src/krvdist.h"
#include "stat/src/krvmiss.h"
#include "stat/src/krvread.h"
#include "xob/krvanal.h"
#include "xob/krvtwo.h"

namespace {

using krvtwo::kLowerTail;
using krvtwo::kTwoSided;
using krvtwo::kUpperTail;
using krvtwo::Pass;
using krvtwo::Tail;

// t = (mean - h) / sqrt(variance / W), each part at its full range. A plain record
// (krvplain) whose difference and t are normal doubles forms t from the doubles: the same
// bits, since no part of it leaves the normal range.
Pass testPass(const krvstat *r, double h, Tail tail) {
  if (!(r->n > 1.0)) return {krvmissing('.'), 0.0, krvmissing('.')};
  const double df = r->n - 1.0;
  if (krvplain(r)) {
    const double d = r->mean - h;
    const double t = d / std::sqrt(r->css / df / r->w);
    if (std::isnormal(t)) return {t, df, krvtwo::pValue(t, df, tail)};
  }
  const krvwide se = krvwide_sqrt(krvwide_div(krvvariance(r), krvwide_of(r->w)));
  return krvtwo::testOf(krvwide_diff(r->mean, h), se, df, tail);
}

void notComputable(int32_t *inside, int32_t *equivalent) {
  *inside = -1;
  if (*equivalent != 0) *equivalent = -1;
}

// The TOST limit of a pass: mean + q*SE (upper, checked against U) or
// mean - q*SE (lower, checked against L), on the data scale.
void tostLimit(const krvopts *opts, const krvstat *r, bool upper, double *limit, int32_t *inside,
               int32_t *equivalent) {
  *limit = krvmissing('.');
  if (!(r->n > 1.0)) {
    *inside = *equivalent = -1;
    return;
  }
  double q = 0.0;
  if (opts->ratio_sets || !krvtquant(1.0 - opts->alpha, r->n - 1.0, &q)) {
    notComputable(inside, equivalent);
    return;
  }
  double v = upper ? r->mean + q * r->stderr_mean : r->mean - q * r->stderr_mean;
  if (opts->lognormal) v = std::exp(v);
  const double bound = upper ? opts->tost_upper : opts->tost_lower;
  const double tol = kKrvTiny * std::fmax(std::fabs(v), std::fabs(bound));
  const bool outside =
      std::isinf(v) ? (v > 0.0) == upper : (upper ? v - bound > tol : v - bound < -tol);
  if (outside) *inside = *equivalent = 0;
  *limit = krvshown(v);
}

// The null value of a pass on the scale of the record.
double nullValue(const krvopts *opts, double value) {
  if (opts->ratio_sets) return 0.0;
  return opts->lognormal ? std::log(value) : value;
}

void tostPasses(const krvopts *opts, const krvstat *a, const krvstat *b, krvequiv *e) {
  e->upper_inside = e->lower_inside = e->equivalent = 1;
  const Pass lower = testPass(a, nullValue(opts, opts->tost_lower), kUpperTail);
  e->t_lower = lower.t;
  e->df = lower.df;
  e->p_lower = lower.p;
  tostLimit(opts, a, true, &e->ucl, &e->upper_inside, &e->equivalent);
  const Pass upper = testPass(b, nullValue(opts, opts->tost_upper), kLowerTail);
  e->t_upper = upper.t;
  e->df = upper.df;
  e->p_upper = upper.p;
  tostLimit(opts, b, false, &e->lcl, &e->lower_inside, &e->equivalent);
}

}  // namespace

int32_t krvone(krvopts *opts, krvstat *a, krvstat *b, krvresult *result, int32_t) {
  const bool crossover = opts->kind == kKindCrossover;
  if (opts->tost) {
    tostPasses(opts, a, b, crossover ? &result->equiv_xo1 : &result->equiv);
    return 0;
  }
  const Pass pass = testPass(a, nullValue(opts, opts->h0), static_cast<Tail>(opts->sides));
  *(crossover ? &result->test_xo1 : &result->test) = {pass.t, pass.df, pass.p};
  return 0;
}

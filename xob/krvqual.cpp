// Two groups under equal variances: the difference (or, in the ratio model,
// the ratio) of their means with the pooled standard deviation and their
// limits in the difference record, and the pooled t test or the two
// one-sided tests of equivalence.
#include <cmath>

#include "numerics/zdist.h"
#include "xob/krvanal.h"
#include "xob/krvtwo.h"

namespace {

using namespace krvtwo;

struct Model {
  const krvopts *opts;
  Groups g;
  double df;   // pooled degrees of freedom, 0 when there are none
  krvwide s2;  // pooled variance
  bool ratio;
};

Model modelOf(const krvopts *opts, const krvstat *first, const krvstat *second) {
  const Groups g = groupsOf(first, second);
  const double df = g.n1 + g.n2 - 2.0;
  const bool usable = df > 0.0 && g.n1 > 0.0 && g.n2 > 0.0;
  const double pooled = usable ? df : 0.0;
  const krvwide s2 =
      usable ? krvwide_div(krvwide_add(g.css1, g.css2), krvwide_of(df)) : krvwide{0.0, 0};
  return {opts, g, pooled, s2, opts->normal_ratio != 0};
}

// m1/m2, or by the sign of m1 an infinite value when m2 is about 0.
double ratioEstimate(double m1, double m2) {
  if (std::fabs(m2) >= kKrvTiny) return krvshown(m1 / m2);
  if (m1 < -kKrvTiny) return krvmissing('M');
  if (m1 > kKrvTiny) return krvmissing('I');
  return krvmissing('.');
}

double cvOf(double variance) {
  return krvshown(std::sqrt(std::expm1(variance)));
}

void fillEstimate(const Model &m, krvstat *diff) {
  if (m.ratio) {
    diff->mean = ratioEstimate(m.g.m1, m.g.m2);
  } else {
    diff->mean = m.g.m1 - m.g.m2;
    if (m.opts->lognormal) diff->gmean = krvshown(std::exp(diff->mean));
  }
  diff->std = krvshown(krvwide_value(krvwide_sqrt(m.s2)));
  if (m.opts->lognormal) diff->cv = cvOf(krvwide_value(m.s2));
}

// sqrt(s2/W1 + s2/W2), or with h^2 s2/W2 in the ratio model.
krvwide standardError(const Model &m, double h) {
  const krvwide first = krvwide_div(m.s2, krvwide_of(m.g.w1));
  krvwide second = krvwide_div(m.s2, krvwide_of(m.g.w2));
  if (m.ratio) second = krvwide_mul(second, krvwide_of(h * h));
  return krvwide_sqrt(krvwide_add(first, second));
}

// The numerator of t: (m1 - m2) - h, or m1 - h*m2 in the ratio model.
krvwide numerator(const Model &m, double h) {
  if (!m.ratio) return krvwide_diff(m.g.m1 - m.g.m2, h);
  return krvwide_add(krvwide_of(m.g.m1), krvwide_mul(krvwide_of(-h), krvwide_of(m.g.m2)));
}

// One pass against the null value h; the first pass fills the difference
// record, and in the ratio model every pass stores its own standard error.
Pass pooledPass(const Model &m, krvstat *diff, double h, Tail tail, bool first) {
  if (first) diff->n = diff->min = diff->max = krvmissing('_');
  const bool storeSe = first || m.ratio;
  if (storeSe) diff->stderr_mean = krvmissing('.');
  if (m.df == 0.0) return {krvmissing('.'), 0.0, krvmissing('.')};
  if (first) fillEstimate(m, diff);
  const krvwide se = standardError(m, h);
  if (storeSe) diff->stderr_mean = krvshown(krvwide_value(se));
  return testOf(numerator(m, h), se, m.df, tail);
}

// Fieller's interval of m1/m2 with the quantile q; false when it is unbounded.
bool fieller(const Model &m, double q, double *lower, double *upper) {
  const double spread = q * q * krvwide_value(m.s2);
  const double a = m.g.m2 * m.g.m2 - spread / m.g.w2;
  if (!(a > kKrvTiny)) return false;
  const double b = m.g.m1 * m.g.m2;
  const double c = m.g.m1 * m.g.m1 - spread / m.g.w1;
  const double root = std::sqrt(b * b - a * c);
  *lower = (b - root) / a;
  *upper = (b + root) / a;
  return true;
}

void meanLimits(const Model &m, krvstat *diff, double se) {
  double lower = krvmissing('.'), upper = krvmissing('.'), q = 0.0;
  if (limitQuantile(m.opts, m.df, &q)) {
    lower = diff->mean - q * se;
    upper = diff->mean + q * se;
  }
  storeLimits(m.opts, lower, upper, &diff->lclm, &diff->uclm);
  if (!m.opts->lognormal) return;
  diff->lclgm = expLimit(diff->lclm);
  diff->uclgm = expLimit(diff->uclm);
}

void fiellerLimits(const Model &m, krvstat *diff) {
  double lower = krvmissing('.'), upper = krvmissing('.'), q = 0.0;
  if (limitQuantile(m.opts, m.df, &q) && !fieller(m, q, &lower, &upper)) {
    lower = krvmissing('M');
    upper = krvmissing('I');
  }
  storeLimits(m.opts, lower, upper, &diff->lclm, &diff->uclm);
}

// One limit of the pooled standard deviation from the chi-square value c,
// with its coefficient-of-variation companion under lognormal.
void sdLimit(const Model &m, krvwide css, double c, bool lower, double *sd, double *cv) {
  if (!(c > 0.0)) {
    *sd = lower ? 0.0 : krvmissing('I');
    if (m.opts->lognormal) *cv = *sd;
    return;
  }
  const krvwide v = krvwide_div(css, krvwide_of(c));
  *sd = krvshown(krvwide_value(krvwide_sqrt(v)));
  if (m.opts->lognormal) *cv = cvOf(krvwide_value(v));
}

void equalTailedSdLimits(const Model &m, krvstat *diff, krvwide css) {
  double c = 0.0;
  if (krvcquant(1.0 - m.opts->alpha / 2.0, m.df, &c)) {
    sdLimit(m, css, c, true, &diff->lclstd, &diff->lclcv);
  }
  if (krvcquant(m.opts->alpha / 2.0, m.df, &c)) {
    sdLimit(m, css, c, false, &diff->uclstd, &diff->uclcv);
  }
}

// UMPU limits; with 3 degrees of freedom or fewer the equal-tailed limits
// stand in for them.
void umpuSdLimits(const Model &m, krvstat *diff, krvwide css) {
  if (m.df <= 3.0) {
    diff->lclstd_umpu = diff->lclstd;
    diff->uclstd_umpu = diff->uclstd;
    if (m.opts->lognormal) {
      diff->lclcv_umpu = diff->lclcv;
      diff->uclcv_umpu = diff->uclcv;
    }
    return;
  }
  double c1 = 0.0, c2 = 0.0;
  if (zmemocnf1c(m.opts->alpha, m.df, &c1, &c2) != 0) return;
  sdLimit(m, css, c2, true, &diff->lclstd_umpu, &diff->lclcv_umpu);
  sdLimit(m, css, c1, false, &diff->uclstd_umpu, &diff->uclcv_umpu);
}

// The limits of the first pass: mean (or Fieller) and pooled standard
// deviation.
void firstPassLimits(const Model &m, krvstat *diff) {
  if (m.df == 0.0 || !(m.s2.m > 0.0)) return;
  if (m.ratio) {
    fiellerLimits(m, diff);
    return;
  }
  meanLimits(m, diff, krvwide_value(standardError(m, 0.0)));
  const krvwide css = krvwide_mul(krvwide_of(m.df), m.s2);
  equalTailedSdLimits(m, diff, css);
  umpuSdLimits(m, diff, css);
}

// The equivalence limit of a TOST pass at the one-sided level 1 - alpha.
void tostLimit(const Model &m, const krvstat *diff, bool upper, double *limit, int32_t *inside,
               int32_t *equivalent) {
  if (m.df == 0.0) {
    *limit = krvmissing('.');
    *inside = *equivalent = -1;
    return;
  }
  double q = 0.0;
  if (!krvtquant(1.0 - m.opts->alpha, m.df, &q)) {
    notComputable(limit, inside, equivalent);
    return;
  }
  if (!m.ratio) {
    meanLimit(m.opts, diff->mean, q, diff->stderr_mean, upper, limit, inside, equivalent);
    return;
  }
  double lo = 0.0, hi = 0.0;
  if (!fieller(m, q, &lo, &hi)) {
    unbounded(upper, limit, inside, equivalent);
    return;
  }
  const double v = upper ? hi : lo;
  checkInside(v, upper ? m.opts->tost_upper : m.opts->tost_lower, upper, inside, equivalent);
  *limit = krvshown(v);
}

void tostPasses(const Model &m, krvstat *diff, krvequiv *e) {
  e->upper_inside = e->lower_inside = e->equivalent = 1;
  const Pass lower = pooledPass(m, diff, nullValue(m.opts, m.opts->tost_lower), kUpperTail, true);
  firstPassLimits(m, diff);
  e->t_lower = lower.t;
  e->df = lower.df;
  e->p_lower = lower.p;
  tostLimit(m, diff, true, &e->ucl, &e->upper_inside, &e->equivalent);
  const Pass upper = pooledPass(m, diff, nullValue(m.opts, m.opts->tost_upper), kLowerTail, false);
  e->t_upper = upper.t;
  e->df = upper.df;
  e->p_upper = upper.p;
  tostLimit(m, diff, false, &e->lcl, &e->lower_inside, &e->equivalent);
}

krvttest *testGroup(krvresult *result, Copy copy) {
  return copy == kTwoSample ? &result->test : &result->test_xo[copy];
}

krvequiv *equivGroup(krvresult *result, Copy copy) {
  return copy == kTwoSample ? &result->equiv : &result->equiv_xo[copy];
}

}  // namespace

int32_t krvqual(krvopts *opts, krvstat *first, krvstat *second, krvstat *diff, krvresult *result,
                int32_t index) {
  const Model m = modelOf(opts, first, second);
  const Copy copy = copyOf(opts, diff, index);
  if (opts->tost) {
    tostPasses(m, diff, equivGroup(result, copy));
    return 0;
  }
  const Pass pass = pooledPass(m, diff, nullValue(opts, opts->h0), Tail(opts->sides), true);
  firstPassLimits(m, diff);
  *testGroup(result, copy) = {pass.t, pass.df, pass.p};
  return 0;
}

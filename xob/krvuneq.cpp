// Two groups under unequal variances: the Satterthwaite t test (or the two
// one-sided tests of equivalence), the Cochran-Cox p-value on request, and the
// unequal-variance limits of the difference or of the ratio.
#include <cmath>

#include "host/vynsvc.h"
#include "xob/krvanal.h"
#include "xob/krvtwo.h"

namespace {

using namespace krvtwo;

struct Model {
  const krvopts *opts;
  Groups g;
  krvwide v1, v2;  // the two group variances
  bool ratio;
  bool enough;  // both groups have at least two observations
};

Model modelOf(const krvopts *opts, const krvstat *first, const krvstat *second) {
  const Groups g = groupsOf(first, second);
  const bool enough = g.n1 > 1.0 && g.n2 > 1.0 && g.n1 + g.n2 > 2.0;
  const krvwide none{0.0, 0};
  const krvwide v1 = enough ? krvwide_div(g.css1, krvwide_of(g.n1 - 1.0)) : none;
  const krvwide v2 = enough ? krvwide_div(g.css2, krvwide_of(g.n2 - 1.0)) : none;
  return {opts, g, v1, v2, opts->normal_ratio != 0, enough};
}

// The two variance terms relative to the larger one, which makes the
// Satterthwaite degrees of freedom and the Cochran-Cox weights independent
// of the scale of the data.
struct Shares {
  double a1, a2;
};

Shares sharesOf(krvwide l1, krvwide l2) {
  const krvwide larger = krvwide_greater(l2, l1) ? l2 : l1;
  if (larger.m == 0.0) return {0.0, 0.0};
  return {krvwide_value(krvwide_div(l1, larger)), krvwide_value(krvwide_div(l2, larger))};
}

// Satterthwaite degrees of freedom of two variance terms.
double satterthwaite(Shares sh, const Groups &g) {
  const double sum = sh.a1 + sh.a2;
  return sum * sum / (sh.a1 * sh.a1 / (g.n1 - 1.0) + sh.a2 * sh.a2 / (g.n2 - 1.0));
}

// One pass: the test, the standard error, and the variance terms.
struct Outcome {
  Pass test;
  double t;    // t before it is shown
  double se;   // standard error
  Shares sh;   // shares of the variance terms of the two means
  bool level;  // the standard error is 0: the groups are constant
};

Outcome uneqPass(const Model &m, double h, Tail tail) {
  Outcome o{{krvmissing('.'), 0.0, krvmissing('.')}, 0.0, krvmissing('.'), {0.0, 0.0}, false};
  if (!m.enough) return o;
  const Groups &g = m.g;
  const krvwide d =
      m.ratio ? krvwide_add(krvwide_of(g.m1), krvwide_mul(krvwide_of(-h), krvwide_of(g.m2)))
              : krvwide_diff(g.m1 - g.m2, h);
  const krvwide l1 = krvwide_div(m.v1, krvwide_of(g.w1));
  krvwide l2 = krvwide_div(m.v2, krvwide_of(g.w2));
  if (m.ratio) l2 = krvwide_mul(l2, krvwide_of(h * h));
  const krvwide se = krvwide_sqrt(krvwide_add(l1, l2));
  o.se = krvwide_value(se);
  o.sh = sharesOf(l1, l2);
  if (se.m == 0.0) {
    o.level = true;
    o.test = constantPass(krvwide_value(d), std::fmax(g.n1 + g.n2 - 2.0, 0.0), tail);
    return o;
  }
  o.t = krvwide_value(krvwide_div(d, se));
  const double df = satterthwaite(o.sh, g);
  o.test = Pass{krvshown(o.t), df, pValue(o.t, df, tail)};
  return o;
}

// The weighted critical value of the Cochran-Cox test at the two-sided level
// p; false when a quantile request fails.
bool cochranCritical(const Outcome &o, const Groups &g, double p, double *k) {
  double q1 = 0.0, q2 = 0.0;
  if (!krvtquant(1.0 - p / 2.0, g.n1 - 1.0, &q1) || !krvtquant(1.0 - p / 2.0, g.n2 - 1.0, &q2)) {
    return false;
  }
  *k = (o.sh.a1 * q1 + o.sh.a2 * q2) / (o.sh.a1 + o.sh.a2);
  return true;
}

constexpr double kCochranLowest = 0.0001;
constexpr double kCochranHighest = 0.9999;

// Moves `level` halfway towards `limit` while its critical value stays on
// the wrong side of |t|: 1 bracketed, 0 the search ends at `limit`, -1 a
// failed request.
int32_t bracket(const Outcome &o, const Groups &g, double abst, bool low, double *level) {
  const double limit = low ? kCochranLowest : kCochranHighest;
  for (;;) {
    double k = 0.0;
    if (!cochranCritical(o, g, *level, &k)) return -1;
    if (low ? k > abst : k < abst) return 1;
    if (low ? *level <= 0.00011 : *level >= 0.99989) return 0;
    *level = (*level + limit) / 2.0;
  }
}

// The level between lo and hi whose critical value equals |t|.
double bisect(const Outcome &o, const Groups &g, double abst, double lo, double hi) {
  do {
    const double mid = (lo + hi) / 2.0;
    double k = 0.0;
    if (!cochranCritical(o, g, mid, &k)) return krvmissing('.');
    if (std::fabs(abst - k) / k < 1e-08) return mid;
    (k >= abst ? lo : hi) = mid;
  } while (hi - lo >= 1e-07);
  return (lo + hi) / 2.0;
}

// The two-sided Cochran-Cox level at which the weighted critical value
// equals |t|, searched from the Satterthwaite p-value.
double cochranSearch(const Outcome &o, const Groups &g) {
  const double p = o.test.p;
  if (krvismissing(p)) return krvmissing('.');
  const double abst = std::fabs(o.t);
  double lo = std::fmax(p - 0.2, kCochranLowest);
  double hi = std::fmin(p + 0.2, kCochranHighest);
  const int32_t low = bracket(o, g, abst, true, &lo);
  if (low <= 0) return low == 0 ? kCochranLowest : krvmissing('.');
  const int32_t high = bracket(o, g, abst, false, &hi);
  if (high <= 0) return high == 0 ? kCochranHighest : krvmissing('.');
  return bisect(o, g, abst, lo, hi);
}

krvcochran cochranCox(const Model &m, const Outcome &o) {
  if (!m.enough) return {0.0, krvmissing('.')};
  if (o.level) return {kNotComputed, kNotComputed};
  if (m.g.n1 == m.g.n2) return {m.g.n1 - 1.0, pValue(o.t, m.g.n1 - 1.0, kTwoSided)};
  return {krvmissing('.'), cochranSearch(o, m.g)};
}

void differenceLimits(const Model &m, const Outcome &o, krvstat *diff) {
  double lower = krvmissing('.'), upper = krvmissing('.'), q = 0.0;
  if (limitQuantile(m.opts, o.test.df, &q) && !krvismissing(diff->mean)) {
    lower = diff->mean - q * o.se;
    upper = diff->mean + q * o.se;
  }
  storeLimits(m.opts, lower, upper, &diff->lclm_u, &diff->uclm_u);
  if (!m.opts->lognormal) return;
  diff->lclgm_u = expLimit(diff->lclm_u);
  diff->uclgm_u = expLimit(diff->uclm_u);
}

// Fieller coefficients with separate group variances; the interval is
// bounded when a < -1000 eps.
struct FiellerTerms {
  double a, b, c;
};

FiellerTerms fiellerTerms(const Model &m, double q) {
  const Groups &g = m.g;
  const double v1 = krvwide_value(m.v1), v2 = krvwide_value(m.v2);
  return {q * q * v2 / g.w2 - g.m2 * g.m2, g.m1 * g.m2, q * q * v1 / g.w1 - g.m1 * g.m1};
}

bool fiellerBounds(const FiellerTerms &f, double *lower, double *upper) {
  if (!(f.a < -kKrvTiny)) return false;
  const double centre = f.b / -f.a;
  const double half = std::sqrt(f.b * f.b - f.a * f.c) / -f.a;
  *lower = centre - half;
  *upper = centre + half;
  return true;
}

void printFieller(const FiellerTerms &f, double df) {
  xpslog("----- BEGIN DEVEST INFO -----");
  xpslog("a_u = %g", f.a);
  xpslog("b_u = %g", f.b);
  xpslog("c_u = %g", f.c);
  xpslog("df_u = %g", df);
  xpslog("------ END DEVEST INFO ------");
}

// The unequal-variance Fieller interval of the ratio in the difference record.
void fiellerLimits(const Model &m, krvstat *diff) {
  double lower = krvmissing('.'), upper = krvmissing('.'), q = 0.0;
  const double rho = diff->mean;
  const krvwide w1 = krvwide_div(m.v1, krvwide_of(m.g.w1));
  const krvwide w2 = krvwide_mul(krvwide_div(m.v2, krvwide_of(m.g.w2)), krvwide_of(rho * rho));
  const double sum = krvwide_value(krvwide_add(w1, w2));
  const bool usable = !krvismissing(rho) && sum >= kKrvTiny && sum <= kKrvSqrtMax &&
                      krvwide_value(w1) <= kKrvSqrtMax && krvwide_value(w2) <= kKrvSqrtMax;
  const double df = usable ? satterthwaite(sharesOf(w1, w2), m.g) : 0.0;
  if (usable && limitQuantile(m.opts, df, &q)) {
    const FiellerTerms f = fiellerTerms(m, q);
    if (m.opts->devtest) printFieller(f, df);
    if (!fiellerBounds(f, &lower, &upper)) {
      lower = krvmissing('M');
      upper = krvmissing('I');
    }
  }
  storeLimits(m.opts, lower, upper, &diff->lclm_u, &diff->uclm_u);
}

void firstPassLimits(const Model &m, const Outcome &o, krvstat *diff) {
  if (m.ratio) {
    if (m.enough) fiellerLimits(m, diff);
    return;
  }
  if (!o.level) differenceLimits(m, o, diff);
}

// The equivalence limit of a TOST pass with the pass's own degrees of
// freedom at the one-sided level 1 - alpha.
void tostLimit(const Model &m, const Outcome &o, const krvstat *diff, bool upper, double *limit,
               int32_t *inside, int32_t *equivalent) {
  if (!m.enough) {
    *limit = krvmissing('.');
    *inside = *equivalent = -1;
    return;
  }
  double q = 0.0;
  if (!krvtquant(1.0 - m.opts->alpha, o.test.df, &q)) {
    notComputable(limit, inside, equivalent);
    return;
  }
  if (!m.ratio) {
    meanLimit(m.opts, diff->mean, q, o.se, upper, limit, inside, equivalent);
    return;
  }
  double lo = 0.0, hi = 0.0;
  if (!fiellerBounds(fiellerTerms(m, q), &lo, &hi)) {
    unbounded(upper, limit, inside, equivalent);
    return;
  }
  const double v = upper ? hi : lo;
  checkInside(v, upper ? m.opts->tost_upper : m.opts->tost_lower, upper, inside, equivalent);
  *limit = krvshown(v);
}

void tostPasses(const Model &m, krvstat *diff, krvuneqequiv *e) {
  e->upper_inside = e->lower_inside = e->equivalent = 1;
  const Outcome lower = uneqPass(m, nullValue(m.opts, m.opts->tost_lower), kUpperTail);
  firstPassLimits(m, lower, diff);
  e->t_lower = lower.test.t;
  e->df_lower = lower.test.df;
  e->p_lower = lower.test.p;
  tostLimit(m, lower, diff, true, &e->ucl, &e->upper_inside, &e->equivalent);
  const Outcome upper = uneqPass(m, nullValue(m.opts, m.opts->tost_upper), kLowerTail);
  e->t_upper = upper.test.t;
  e->df_upper = upper.test.df;
  e->p_upper = upper.test.p;
  tostLimit(m, upper, diff, false, &e->lcl, &e->lower_inside, &e->equivalent);
}

void storeTest(krvresult *result, Copy copy, const Pass &test, const krvcochran &cochran) {
  if (copy == kTwoSample) {
    result->uneq = {test.t, test.df, test.p, cochran.df, cochran.p};
    return;
  }
  result->uneq_xo.test[copy] = {test.t, test.df, test.p};
  result->uneq_xo.cochran[copy] = cochran;
}

}  // namespace

int32_t krvuneq(krvopts *opts, krvstat *first, krvstat *second, krvstat *diff, krvresult *result,
                int32_t index) {
  const Model m = modelOf(opts, first, second);
  const Copy copy = copyOf(opts, diff, index);
  if (opts->tost) {
    tostPasses(m, diff, copy == kTwoSample ? &result->uneq_equiv : &result->uneq_equiv_xo[copy]);
    return 0;
  }
  const Outcome o = uneqPass(m, nullValue(opts, opts->h0), Tail(opts->sides));
  firstPassLimits(m, o, diff);
  const bool cochran = opts->cochran && opts->weight_var < 0;
  storeTest(result, copy, o.test,
            cochran ? cochranCox(m, o) : krvcochran{kNotComputed, kNotComputed});
  return 0;
}

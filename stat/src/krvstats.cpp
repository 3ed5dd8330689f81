// Finishing an accumulated record: mean, corrected sum of squares, standard
// deviation and error, the lognormal companions, and the limits of the mean
// and of the standard deviation.
#include <cmath>

#include "numerics/zdist.h"
#include "stat/src/krvdist.h"
#include "stat/src/krvmiss.h"
#include "stat/src/krvread.h"

namespace {

constexpr int32_t kSidesLower = 1;
constexpr int32_t kSidesUpper = 2;

// What the limits of one record need from the options.
struct Scope {
  const krvopts *opts;
  bool lognormal;  // the record holds logarithms
  bool cv4;        // sets 11 and 12 also carry sqrt(exp(4 variance) - 1)
};

// exp(x), or false when x is beyond the largest exponent.
bool expOf(double x, double *out) {
  if (x > kKrvExpMax) return false;
  *out = std::exp(x);
  return true;
}

// sqrt(exp(v) - 1), or false on overflow.
bool cvOf(double v, double *out) {
  if (v > kKrvExpMax) return false;
  *out = std::sqrt(std::expm1(v));
  return true;
}

int32_t centre(const Scope &sc, krvstat *r) {
  r->mean = r->s / r->w + r->shift;
  if (sc.lognormal && !expOf(r->mean, &r->gmean)) return -kErrOverflow;
  r->css = std::fmax(r->ss - r->s * r->s / r->w, 0.0);
  return 0;
}

int32_t spread(const Scope &sc, krvstat *r, double variance) {
  r->std = std::sqrt(variance);
  if (sc.lognormal && !cvOf(variance, &r->cv)) return -kErrOverflow;
  if (sc.lognormal && sc.cv4 && !cvOf(4.0 * variance, &r->cv4)) return -kErrOverflow;
  r->stderr_mean = std::sqrt(variance / r->w);
  return 0;
}

// One-sided limits serve the one-sample and paired tests without TOST and
// the crossover treatment differences; every other record is two-sided.
int32_t sidesOf(const krvopts *opts, int32_t slot) {
  if (slot == kSetTrtDiff) return opts->sides;
  const bool single = opts->kind == kKindOneSample || opts->kind == kKindPaired;
  return single && !opts->tost ? opts->sides : 0;
}

int32_t meanLimits(const Scope &sc, krvstat *r, int32_t slot, double df) {
  const int32_t sides = sidesOf(sc.opts, slot);
  const double alpha = sc.opts->alpha;
  double q = 0.0;
  if (!krvtquant(sides != 0 ? 1.0 - alpha : 1.0 - alpha / 2.0, df, &q)) {
    r->lclm = r->uclm = krvmissing('.');
    if (sc.lognormal) r->lclgm = r->uclgm = krvmissing('.');
    return 0;
  }
  const double half = q * r->stderr_mean;
  r->lclm = sides == kSidesLower ? krvmissing('M') : r->mean - half;
  r->uclm = sides == kSidesUpper ? krvmissing('I') : r->mean + half;
  if (!sc.lognormal) return 0;
  if (sides == kSidesLower) {
    r->lclgm = 0.0;
  } else if (!expOf(r->lclm, &r->lclgm)) {
    return -kErrOverflow;
  }
  if (sides == kSidesUpper) {
    r->uclgm = krvmissing('I');
  } else if (!expOf(r->uclm, &r->uclgm)) {
    return -kErrOverflow;
  }
  return 0;
}

// One limit of the standard deviation from a chi-square point c, with its
// lognormal companions.
struct SdLimit {
  double sd, cv, cv4;
};

int32_t sdLimit(const Scope &sc, double css, double c, bool lower, SdLimit *out) {
  if (!(c > 0.0)) {
    const double open = lower ? 0.0 : krvmissing('I');
    *out = {open, open, open};
    return 0;
  }
  out->sd = std::sqrt(css / c);
  if (sc.lognormal && !cvOf(css / c, &out->cv)) return -kErrOverflow;
  if (sc.lognormal && sc.cv4 && !cvOf(4.0 * css / c, &out->cv4)) return -kErrOverflow;
  return 0;
}

void storeLimit(const Scope &sc, const SdLimit &l, double *sd, double *cv, double *cv4) {
  *sd = l.sd;
  if (!sc.lognormal) return;
  *cv = l.cv;
  if (sc.cv4) *cv4 = l.cv4;
}

int32_t equalTailedLimits(const Scope &sc, krvstat *r, double css, double df) {
  const double alpha = sc.opts->alpha;
  double c = 0.0;
  SdLimit l{};
  if (krvcquant(1.0 - alpha / 2.0, df, &c)) {
    if (sdLimit(sc, css, c, true, &l) < 0) return -kErrOverflow;
    storeLimit(sc, l, &r->lclstd, &r->lclcv, &r->lclcv4);
  }
  if (krvcquant(alpha / 2.0, df, &c)) {
    if (sdLimit(sc, css, c, false, &l) < 0) return -kErrOverflow;
    storeLimit(sc, l, &r->uclstd, &r->uclcv, &r->uclcv4);
  }
  return 0;
}

// UMPU limits; with N <= 3 the solver has too few degrees of freedom and the
// equal-tailed limits stand in.
int32_t umpuLimits(const Scope &sc, krvstat *r, double css, double df) {
  if (r->n <= 3.0) {
    r->lclstd_umpu = r->lclstd;
    r->uclstd_umpu = r->uclstd;
    if (sc.lognormal) {
      r->lclcv_umpu = r->lclcv;
      r->uclcv_umpu = r->uclcv;
    }
    return 0;
  }
  double c1 = 0.0, c2 = 0.0;
  if (zcnf1c(sc.opts->alpha, df, &c1, &c2) != 0) return 0;
  SdLimit lower{}, upper{};
  if (sdLimit(sc, css, c2, true, &lower) < 0 || sdLimit(sc, css, c1, false, &upper) < 0) {
    return -kErrOverflow;
  }
  storeLimit(sc, lower, &r->lclstd_umpu, &r->lclcv_umpu, &r->lclcv4_umpu);
  storeLimit(sc, upper, &r->uclstd_umpu, &r->uclcv_umpu, &r->uclcv4_umpu);
  return 0;
}

int32_t limits(const Scope &sc, krvstat *r, int32_t slot, double variance) {
  const double df = r->n - 1.0;
  if (meanLimits(sc, r, slot, df) < 0) return -kErrOverflow;
  if (!(variance > 0.0)) return 0;
  const double css = variance * df;
  if (equalTailedLimits(sc, r, css, df) < 0) return -kErrOverflow;
  return umpuLimits(sc, r, css, df);
}

}  // namespace

int32_t krvstat_finish(const krvopts *opts, krvstat *r, int32_t slot) {
  if (!(r->n > 0.0)) {
    r->min = r->max = kNotComputed;
    return 0;
  }
  const Scope sc{opts, opts->lognormal != 0, slot == kSetHalfTrt1 || slot == kSetHalfTrt2};
  if (centre(sc, r) < 0) return -kErrOverflow;
  if (r->n <= 1.0) return 0;
  const double variance = r->css / (r->n - 1.0);
  if (spread(sc, r, variance) < 0) return -kErrOverflow;
  if (opts->ratio_sets) return 0;
  return limits(sc, r, slot, variance);
}

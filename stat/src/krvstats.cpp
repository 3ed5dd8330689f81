// Finishing an accumulated record: mean, corrected sum of squares, standard
// deviation and error, the lognormal companions, and the limits of the mean
// and of the standard deviation.
#include <bit>
#include <cmath>
#include <cstdint>

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

// A limit on the exponential scale: exp(x), infinite beyond the doubles.
double expLimit(double x) {
  double v = 0.0;
  return expOf(x, &v) ? v : krvmissing('I');
}

// A coefficient-of-variation limit sqrt(exp(v) - 1), infinite beyond the doubles.
double cvLimit(double v) {
  double cv = 0.0;
  return cvOf(v, &cv) ? cv : krvmissing('I');
}

// Mean and CSS from the scaled sums: S/W is formed in the unit of the
// deviations, and CSS = SS - S*(S/W), which cannot overflow where SS fits.
int32_t centre(const Scope &sc, krvstat *r) {
  const double ws = krvldexp(r->w, -r->wscale);
  const double dev = r->s / ws;
  r->mean = r->shift + krvldexp(dev, r->xscale);
  if (sc.lognormal && !expOf(r->mean, &r->gmean)) return -kErrOverflow;
  const double rest = r->ss - r->s * dev;
  const double css = rest > 0.0 ? rest : 0.0;  // a NaN or a negative rounding gives 0
  krvstat_store_css(r, krvwide_make(css, 2 * r->xscale + r->wscale));
  return 0;
}

// The variance of a record with N > 1, and its standard deviation and error. A plain
// record (krvplain) forms them from the doubles, any other at their full range.
struct Spread {
  bool plain;
  bool positive;    // the variance is not 0
  krvwide css;      // at its full range; not set for a plain record
  double variance;  // the values as doubles
  double std, se;
};

Spread spreadOf(const krvstat *r) {
  if (krvplain(r)) {
    const double v = r->css / (r->n - 1.0);
    return {true, true, {}, v, std::sqrt(v), std::sqrt(v / r->w)};
  }
  const krvwide css = krvcss(r);
  const krvwide variance = krvwide_div(css, krvwide_of(r->n - 1.0));
  const krvwide se = krvwide_sqrt(krvwide_div(variance, krvwide_of(r->w)));
  return {false,
          variance.m > 0.0,
          css,
          krvwide_value(variance),
          krvwide_value(krvwide_sqrt(variance)),
          krvwide_value(se)};
}

int32_t spread(const Scope &sc, krvstat *r, const Spread &s) {
  r->std = s.std;
  if (std::isinf(r->std)) return -kErrOverflow;
  if (sc.lognormal && !cvOf(s.variance, &r->cv)) return -kErrOverflow;
  if (sc.lognormal && sc.cv4 && !cvOf(4.0 * s.variance, &r->cv4)) return -kErrOverflow;
  r->stderr_mean = s.se;
  return 0;
}

// One-sided limits serve the one-sample and paired tests without TOST and
// the crossover treatment differences; every other record is two-sided.
int32_t sidesOf(const krvopts *opts, int32_t slot) {
  if (slot == kSetTrtDiff) return opts->sides;
  const bool single = opts->kind == kKindOneSample || opts->kind == kKindPaired;
  return single && !opts->tost ? opts->sides : 0;
}

// The points of the distributions that the limits of a record use: the t quantiles of the
// mean's limits, the chi-square quantiles of the equal-tailed limits of the standard deviation
// and the UMPU pair. They depend only on the degrees of freedom and alpha, which the records of
// a step repeat again and again (the variables of a BY group, BY groups of similar size), so
// they are kept per thread in a small direct-mapped table keyed by the bits of both. A point
// is worked out the first time a record asks for it; a record whose key lands on a slot that
// holds another key clears the slot and takes it.
enum Point : uint8_t { kTwoSidedT, kOneSidedT, kLowerChi, kUpperChi, kUmpuPair, kPoints };

struct LimitPoints {
  uint64_t df = 0, alpha = 0;  // the bits of the key
  bool used = false;
  uint8_t known = 0;         // bit k set: point k has been worked out
  bool found[kPoints] = {};  // point k exists
  double at[kPoints] = {};   // the point; the UMPU pair's c1
  double c2 = 0.0;           // the UMPU pair's c2
};

constexpr unsigned kPointSlotBits = 7;

LimitPoints &limitPoints(double df, double alpha) {
  thread_local LimitPoints slots[1u << kPointSlotBits];
  const auto kd = std::bit_cast<uint64_t>(df), ka = std::bit_cast<uint64_t>(alpha);
  const uint64_t h = kd * 0x9E3779B97F4A7C15ull ^ ka * 0xC2B2AE3D27D4EB4Full;
  LimitPoints &s = slots[(h ^ (h >> 29)) >> (64 - kPointSlotBits)];
  if (!s.used || s.df != kd || s.alpha != ka) s = {kd, ka, true};
  return s;
}

// Works out point k of the slot and marks it known.
[[gnu::noinline]] void workOut(LimitPoints &p, Point k) {
  const double df = std::bit_cast<double>(p.df), alpha = std::bit_cast<double>(p.alpha);
  double *x = &p.at[k];
  switch (k) {
    case kTwoSidedT:
      p.found[k] = krvtquant(1.0 - alpha / 2.0, df, x);
      break;
    case kOneSidedT:
      p.found[k] = krvtquant(1.0 - alpha, df, x);
      break;
    case kLowerChi:
      p.found[k] = krvcquant(1.0 - alpha / 2.0, df, x);
      break;
    case kUpperChi:
      p.found[k] = krvcquant(alpha / 2.0, df, x);
      break;
    default:
      p.found[k] = zmemocnf1c(alpha, df, x, &p.c2) == 0;
  }
  p.known |= static_cast<uint8_t>(1u << k);
}

// Point k of the slot, or false when it does not exist.
inline bool pointOf(LimitPoints &p, Point k, double *x) {
  if ((p.known & (1u << k)) == 0) workOut(p, k);
  *x = p.at[k];
  return p.found[k];
}

void meanLimits(const Scope &sc, krvstat *r, int32_t slot, LimitPoints &points) {
  const int32_t sides = sidesOf(sc.opts, slot);
  double q = 0.0;
  if (!pointOf(points, sides != 0 ? kOneSidedT : kTwoSidedT, &q)) {
    r->lclm = r->uclm = krvmissing('.');
    if (sc.lognormal) r->lclgm = r->uclgm = krvmissing('.');
    return;
  }
  const double half = q * r->stderr_mean;
  r->lclm = sides == kSidesLower ? krvmissing('M') : krvshown(r->mean - half);
  r->uclm = sides == kSidesUpper ? krvmissing('I') : krvshown(r->mean + half);
  if (!sc.lognormal) return;
  r->lclgm = sides == kSidesLower ? 0.0 : expLimit(r->mean - half);
  r->uclgm = sides == kSidesUpper ? krvmissing('I') : expLimit(r->mean + half);
}

// One limit of the standard deviation from a chi-square point c, with its
// lognormal companions; those are worked out only where they are stored.
struct SdLimit {
  double sd, cv, cv4;
};

[[gnu::always_inline]] inline void sdLimit(const Scope &sc, const Spread &s, double css, double c,
                                           bool lower, SdLimit *out) {
  if (!(c > 0.0)) {
    const double open = lower ? 0.0 : krvmissing('I');
    *out = {open, open, open};
    return;
  }
  double variance = 0.0;
  if (s.plain && krvwide_plain(c)) {
    variance = css / c;  // plain over plain: finite, and so is its root
    out->sd = std::sqrt(variance);
  } else {
    const krvwide v = krvwide_div(s.css, krvwide_of(c));
    out->sd = krvshown(krvwide_value(krvwide_sqrt(v)));
    variance = krvwide_value(v);
  }
  if (!sc.lognormal) return;
  out->cv = cvLimit(variance);
  if (sc.cv4) out->cv4 = cvLimit(4.0 * variance);
}

void storeLimit(const Scope &sc, const SdLimit &l, double *sd, double *cv, double *cv4) {
  *sd = l.sd;
  if (!sc.lognormal) return;
  *cv = l.cv;
  if (sc.cv4) *cv4 = l.cv4;
}

void equalTailedLimits(const Scope &sc, krvstat *r, const Spread &s, LimitPoints &points) {
  double c = 0.0;
  SdLimit l{};
  if (pointOf(points, kLowerChi, &c)) {
    sdLimit(sc, s, r->css, c, true, &l);
    storeLimit(sc, l, &r->lclstd, &r->lclcv, &r->lclcv4);
  }
  if (pointOf(points, kUpperChi, &c)) {
    sdLimit(sc, s, r->css, c, false, &l);
    storeLimit(sc, l, &r->uclstd, &r->uclcv, &r->uclcv4);
  }
}

// UMPU limits; with N <= 3 the solver has too few degrees of freedom and the
// equal-tailed limits stand in.
void umpuLimits(const Scope &sc, krvstat *r, const Spread &s, LimitPoints &points) {
  if (r->n <= 3.0) {
    r->lclstd_umpu = r->lclstd;
    r->uclstd_umpu = r->uclstd;
    if (sc.lognormal) {
      r->lclcv_umpu = r->lclcv;
      r->uclcv_umpu = r->uclcv;
    }
    return;
  }
  double c1 = 0.0;
  if (!pointOf(points, kUmpuPair, &c1)) return;
  const double c2 = points.c2;
  SdLimit lower{}, upper{};
  sdLimit(sc, s, r->css, c2, true, &lower);
  sdLimit(sc, s, r->css, c1, false, &upper);
  storeLimit(sc, lower, &r->lclstd_umpu, &r->lclcv_umpu, &r->lclcv4_umpu);
  storeLimit(sc, upper, &r->uclstd_umpu, &r->uclcv_umpu, &r->uclcv4_umpu);
}

// Limits that overflow are shown as infinite; they never end the group.
void limits(const Scope &sc, krvstat *r, int32_t slot, const Spread &s) {
  LimitPoints &points = limitPoints(r->n - 1.0, sc.opts->alpha);
  meanLimits(sc, r, slot, points);
  if (!s.positive) return;
  equalTailedLimits(sc, r, s, points);
  umpuLimits(sc, r, s, points);
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
  const Spread s = spreadOf(r);
  if (spread(sc, r, s) < 0) return -kErrOverflow;
  if (opts->ratio_sets) return 0;
  limits(sc, r, slot, s);
  return 0;
}

int32_t krvstat_compare(const krvopts *opts, const krvstat *first, const krvstat *second) {
  if (!(first->n > 0.0) || !(second->n > 0.0)) return 0;
  const double m1 = first->mean, m2 = second->mean;
  if (opts->normal_ratio) {
    const bool defined = std::fabs(m2) >= kKrvTiny;
    return defined && std::isinf(m1 / m2) ? -kErrOverflow : 0;
  }
  const double d = m1 - m2;
  if (std::isinf(d) || (opts->lognormal && d > kKrvExpMax)) return -kErrOverflow;
  return 0;
}

void krvstat_store_css(krvstat *r, krvwide css) {
  const double v = krvwide_value(css);
  const bool normal = css.m == 0.0 || std::isnormal(v);
  r->css = normal ? v : css.m;
  r->cssscale = normal ? 0 : css.e;
}

void krvstat_mean_limits(const krvopts *opts, krvstat *r, int32_t slot) {
  meanLimits(Scope{opts, opts->lognormal != 0, false}, r, slot,
             limitPoints(r->n - 1.0, opts->alpha));
}

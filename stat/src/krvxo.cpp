// Reading the subjects of an AB/BA crossover. Each observation is one
// subject with its period-1 and period-2 treatments and, per response pair,
// its period-1 and period-2 responses.
//
// The treatments are put in their ORDER= order as soon as the first usable
// subject names them, and every subject is read in that labelling: treatment
// A is the first treatment in ORDER= order and sequence 1 the sequence that
// starts with it. A relabelling after the group would have to exchange the
// period cells and the sequences, negate the treatment and half treatment
// differences and their limits, and could still not give the ratio sets,
// whose values a - c*b and a/b (and whose zero-denominator exclusions) depend
// on which treatment is the denominator. ORDER=FREQ needs no counts: each
// used subject adds its frequency to one period cell of each treatment, so
// the two treatments always tie and the tie rule decides.
#include <cmath>
#include <cstring>
#include <utility>

#include "stat/src/krvmiss.h"
#include "stat/src/krvread.h"

namespace {

bool treatmentMissing(const krvopts *opts, int k) {
  if (opts->xo_type == 2) return krvallblank(opts->xo_char[k], opts->xo_charw);
  return krvismissing(opts->xo_num[k]);
}

bool sameText(const char *a, const char *b, int32_t width) {
  return std::memcmp(a, b, width) == 0;
}

// Holds period k's treatment of the observation as treatment t.
void holdTreatment(krvopts *opts, int k, int t) {
  std::memcpy(opts->trt_fmt[t], opts->xo_fmt[k], opts->xo_fmtw);
  opts->trt_fmt[t][opts->xo_fmtw] = '\0';
  if (opts->xo_type == 2) {
    std::memcpy(opts->trt_char[t], opts->xo_char[k], opts->xo_charw);
  } else {
    opts->trt_num[t] = opts->xo_num[k];
  }
}

bool treatmentsExchange(const krvopts *opts) {
  const krvlevels lv{opts->trt_fmt, opts->trt_char, opts->trt_num,
                     opts->xo_fmtw, opts->xo_charw, opts->xo_type};
  return krvread_order_exchanges(opts->order, lv, 0.0, 0.0);
}

// The first usable subject names the two treatments: 0, or -66 when it has
// the same one in both periods.
int32_t holdTreatments(krvopts *opts) {
  if (sameText(opts->xo_fmt[0], opts->xo_fmt[1], opts->xo_fmtw)) return -kErrXoSameTreatment;
  holdTreatment(opts, 0, 0);
  holdTreatment(opts, 1, 1);
  if (treatmentsExchange(opts)) {
    std::swap(opts->trt_fmt[0], opts->trt_fmt[1]);
    std::swap(opts->trt_char[0], opts->trt_char[1]);
    std::swap(opts->trt_num[0], opts->trt_num[1]);
  }
  return 0;
}

bool hasTreatments(const krvopts *opts, int first, int second) {
  const int32_t w = opts->xo_fmtw;
  return sameText(opts->xo_fmt[0], opts->trt_fmt[first], w) &&
         sameText(opts->xo_fmt[1], opts->trt_fmt[second], w);
}

krvstat *record(krvopts *opts, int slot, int32_t k) {
  return krvset(opts, slot) + k;
}

// The values of one subject's response pair, in the labelling of the group.
struct Subject {
  double y1, y2;  // period 1 and period 2 responses
  double ya, yb;  // responses under treatments A and B
  double d;       // treatment difference yA - yB (lognormal: of the logarithms)
  double half;    // half period difference (y1 - y2)/2 (lognormal: of the logarithms)
};

// Adds x to record k of set `slot`: 0 or -7.
int32_t add(krvopts *opts, int slot, int32_t k, double x, double f, double w, krvscale scale) {
  return krvaccum(record(opts, slot, k), x, f, w, scale, false);
}

int32_t accumulateSubject(krvopts *opts, int32_t k, int32_t seq, const Subject &s, double f,
                          double w) {
  const bool lg = opts->lognormal != 0;
  const krvscale cell = lg ? kScaleTakeLog : kScalePlain;
  const krvscale diff = lg ? kScaleIsLog : kScalePlain;
  const bool first = seq == 1;
  int32_t r = add(opts, first ? kSetA1 : kSetB1, k, s.y1, f, w, cell);
  if (r == 0) r = add(opts, first ? kSetB2 : kSetA2, k, s.y2, f, w, cell);
  if (r == 0) r = add(opts, kSetTrtDiff, k, s.d, f, w, diff);
  if (r == 0) r = add(opts, first ? kSetHalfPrd1 : kSetHalfPrd2, k, s.half, f, w, diff);
  if (r == 0) r = add(opts, first ? kSetHalfTrt1 : kSetHalfTrt2, k, s.d / 2.0, f, w, diff);
  if (r == 0 && opts->ratio_sets) r = krvread_ratio_values(opts, k, s.ya, s.yb, f, w);
  return r;
}

}  // namespace

int32_t krvread_xo_sequence(krvopts *opts, int32_t *ntreatments) {
  if (treatmentMissing(opts, 0) || treatmentMissing(opts, 1)) return 0;
  if (*ntreatments < 2) {
    const int32_t r = holdTreatments(opts);
    if (r < 0) return r;
    *ntreatments = 2;
  }
  if (hasTreatments(opts, 0, 1)) return 1;
  if (hasTreatments(opts, 1, 0)) return 2;
  return -kErrXoOtherPair;
}

int32_t krvread_xo_pair(krvopts *opts, int32_t k, int32_t seq, double f, double w,
                        krvexcl *excluded) {
  Subject s{};
  s.y1 = opts->values[2 * k];
  s.y2 = opts->values[2 * k + 1];
  if (krvismissing(s.y1) || krvismissing(s.y2)) return 0;
  if (opts->lognormal && (s.y1 < kKrvTiny || s.y2 < kKrvTiny)) {
    ++excluded->lognormal;
    return 0;
  }
  s.ya = seq == 1 ? s.y1 : s.y2;
  s.yb = seq == 1 ? s.y2 : s.y1;
  if (opts->ratio_sets && std::fabs(s.yb) < kKrvTiny) {
    ++excluded->ratio;
    return 0;
  }
  const bool lg = opts->lognormal != 0;
  s.d = lg ? std::log(s.ya) - std::log(s.yb) : s.ya - s.yb;
  s.half = (lg ? std::log(s.y1) - std::log(s.y2) : s.y1 - s.y2) / 2.0;
  const int32_t r = accumulateSubject(opts, k, seq, s, f, w);
  return r < 0 ? r : 1;
}

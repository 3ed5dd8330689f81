// The statistics record (one analysis variable or pair in one role) and the
// results record (the test results of one analysis).
#pragma once

#include <bit>
#include <cstdint>

#include "stat/src/krvwide.h"

// A statistic that has not been computed: the smallest positive normal double
// plus one unit in the last place, compared by exact equality.
inline constexpr double kNotComputed = std::bit_cast<double>(uint64_t{0x0010000000000001});

struct krvstat {
  int32_t varnum[2];        // set 0 only: the analysis's variable numbers (-1: none)
  double shift;             // first accumulated value; all sums are held about it
  double n;                 // sum of the truncated frequencies
  double w;                 // sum of frequency times weight
  double s;                 // sum of w*(x - shift)
  double ss;                // sum of w*(x - shift)^2
  double min;               // minimum, untransformed scale
  double max;               // maximum, untransformed scale
  double mean;              // mean
  double gmean;             // lognormal: geometric mean exp(mean)
  double css;               // corrected sum of squares
  double std;               // standard deviation
  double stderr_mean;       // standard error of the mean
  double cv;                // lognormal: coefficient of variation sqrt(exp(variance) - 1)
  double cv4;               // lognormal, sets 11 and 12: sqrt(exp(4*variance) - 1)
  double lclm, uclm;        // limits of the mean
  double lclm_u, uclm_u;    // difference records: unequal-variance limits of the mean
  double lclgm, uclgm;      // lognormal: exp of the limits of the mean
  double lclgm_u, uclgm_u;  // difference records, lognormal: exp of the unequal-variance limits
  double lclstd, uclstd;    // equal-tailed limits of the standard deviation
  double lclstd_umpu, uclstd_umpu;  // UMPU limits of the standard deviation
  double lclcv, uclcv;              // lognormal: equal-tailed limits of the CV
  double lclcv_umpu, uclcv_umpu;    // lognormal: UMPU limits of the CV
  double lclcv4, uclcv4;            // lognormal, sets 11 and 12: equal-tailed limits of cv4
  double lclcv4_umpu, uclcv4_umpu;  // lognormal, sets 11 and 12: UMPU limits of cv4
  uint32_t nobs;                    // observations that contributed a value (frequency not applied)
  // Added to the record: the exponents that carry its sums beyond the range of a double. The
  // deviations in s and ss are held in units of 2^xscale and the weights in units of 2^wscale:
  // S = s * 2^(xscale + wscale) and SS = ss * 2^(2 xscale + wscale). CSS = css * 2^cssscale,
  // with cssscale 0 whenever the corrected sum of squares is 0 or a normal double.
  int32_t xscale;
  int32_t wscale;
  int32_t cssscale;
  double xunit;  // 2^-xscale, the factor that takes a deviation into its unit (see krvread.cpp)
};

// The corrected sum of squares of a record at its full range.
inline krvwide krvcss(const krvstat *r) {
  return krvwide_make(r->css, r->cssscale);
}

// The variance CSS/(N - 1) of a record with N > 1.
inline krvwide krvvariance(const krvstat *r) {
  return krvwide_div(krvcss(r), krvwide_of(r->n - 1.0));
}

// Whether CSS, N - 1 and W of a record are all plain (krvwide_plain): its variance
// CSS/(N - 1) and standard error sqrt(variance / W) are then the doubles' own quotients and
// roots, bit for bit the wide ones.
inline bool krvplain(const krvstat *r) {
  return r->cssscale == 0 && krvwide_plain(r->css) && krvwide_plain(r->n - 1.0) &&
         krvwide_plain(r->w);
}

// Statistics sets by role (slot numbers of the options record's sets).
enum krvsetno : int {
  kSetMain = 0,         // one-sample values, paired differences, two-sample level 1
  kSetLevel2 = 1,       // two-sample level 2
  kSetDiff = 2,         // two-sample difference record
  kSetA1 = 3,           // crossover: treatment A in period 1
  kSetA2 = 4,           // crossover: treatment A in period 2
  kSetB1 = 5,           // crossover: treatment B in period 1
  kSetB2 = 6,           // crossover: treatment B in period 2
  kSetTrtDiff = 7,      // crossover: treatment difference yA - yB
  kSetHalfPrd1 = 8,     // crossover, sequence 1: half period difference
  kSetHalfPrd2 = 9,     // crossover, sequence 2: half period difference
  kSetTrtCmp = 10,      // crossover: difference record of the treatment comparison
  kSetHalfTrt1 = 11,    // crossover, sequence 1: half treatment difference
  kSetHalfTrt2 = 12,    // crossover, sequence 2: half treatment difference
  kSetPrdCmp = 13,      // crossover: difference record of the period comparison
  kSetFirst = 14,       // paired: first member a
  kSetSecond = 15,      // paired: second member b
  kSetRatioH0 = 16,     // ratio under normal, no TOST: a - H0*b
  kSetRatioUpper = 17,  // ratio under normal, TOST: a - U*b
  kSetRatioLower = 18,  // ratio under normal, TOST: a - L*b
  kSetRatio = 19,       // ratio under normal: a/b (shift, N, count, minimum, maximum only)
};

// Test group: one-sample, paired or pooled two-sample t test.
struct krvttest {
  double t;   // t value
  double df;  // degrees of freedom
  double p;   // p-value for the sides of the test
};

// Equivalence group: the two one-sided tests against L and U and their
// 100(1 - 2 alpha)% interval. Flags: 1 yes, 0 no, -1 not computable.
struct krvequiv {
  double t_lower;        // t of the test against the lower bound
  double t_upper;        // t of the test against the upper bound
  double df;             // degrees of freedom
  double p_lower;        // p-value of the lower-bound test (upper-tailed)
  double p_upper;        // p-value of the upper-bound test (lower-tailed)
  double ucl;            // upper confidence limit
  double lcl;            // lower confidence limit
  int32_t upper_inside;  // the upper limit lies at or below U
  int32_t lower_inside;  // the lower limit lies at or above L
  int32_t equivalent;    // both limits inside [L, U]
};

// Unequal-variance test group: Satterthwaite and Cochran-Cox.
struct krvuneqtest {
  double t;           // t value
  double df;          // Satterthwaite degrees of freedom
  double p;           // Satterthwaite p-value
  double cochran_df;  // Cochran-Cox degrees of freedom
  double cochran_p;   // Cochran-Cox p-value
};

// Unequal-variance equivalence group: as krvequiv with a Satterthwaite df per
// bound (they differ under the ratio model).
struct krvuneqequiv {
  double t_lower;        // t of the test against the lower bound
  double t_upper;        // t of the test against the upper bound
  double df_lower;       // degrees of freedom of the lower-bound test
  double df_upper;       // degrees of freedom of the upper-bound test
  double p_lower;        // p-value of the lower-bound test
  double p_upper;        // p-value of the upper-bound test
  double ucl;            // upper confidence limit
  double lcl;            // lower confidence limit
  int32_t upper_inside;  // the upper limit lies at or below U
  int32_t lower_inside;  // the lower limit lies at or above L
  int32_t equivalent;    // both limits inside [L, U]
};

// Folded-F group: test of equal variances.
struct krvfoldf {
  double f;               // folded F value
  double numdf;           // numerator degrees of freedom
  double dendf;           // denominator degrees of freedom
  double p;               // p-value
  int16_t second_larger;  // 1: the second group's variance is the numerator
};

// Cochran-Cox result of one crossover comparison.
struct krvcochran {
  double df;  // Cochran-Cox degrees of freedom
  double p;   // Cochran-Cox p-value
};

// Unequal-variance tests of the crossover treatment and period comparisons:
// first the two (t, df, p) triples, then the two Cochran-Cox pairs.
struct krvuneqxo {
  krvttest test[2];       // [0] treatment, [1] period: t, Satterthwaite df and p
  krvcochran cochran[2];  // [0] treatment, [1] period
};

// Index of the crossover copies: treatment comparison, period comparison.
inline constexpr int kXoTreatment = 0;
inline constexpr int kXoPeriod = 1;

// The results record of one analysis: fifteen groups, each written by one
// analysis. Every double starts as kNotComputed and every flag as 0.
struct krvresult {
  krvttest test;                  // 1: one-sample, paired or two-sample pooled test
  krvuneqtest uneq;               // 2: two-sample unequal-variance test
  krvfoldf foldf;                 // 3: two-sample folded F
  krvfoldf foldf_xo;              // 4: folded F of the crossover treatment comparison
  krvequiv equiv;                 // 5: one-sample, paired or pooled two-sample TOST
  krvuneqequiv uneq_equiv;        // 6: two-sample unequal-variance TOST
  krvttest test_xo[2];            // 7, 8: crossover pooled tests (treatment, period)
  krvttest test_xo1;              // 9: crossover with IGNOREPERIOD or the ratio sets
  krvuneqxo uneq_xo;              // 10: crossover unequal-variance tests
  krvequiv equiv_xo[2];           // 11, 12: crossover pooled TOST (treatment, period)
  krvequiv equiv_xo1;             // 13: crossover TOST with IGNOREPERIOD or the ratio sets
  krvuneqequiv uneq_equiv_xo[2];  // 14, 15: crossover unequal-variance TOST
};

// Number of 64-bit values of a results record.
inline constexpr int kKrvResultValues = 103;
static_assert(sizeof(krvresult) == kKrvResultValues * sizeof(double));

// Sets every value of a results record to kNotComputed and every flag to 0.
void krvresult_clear(krvresult *result);

// Reading one BY group: screening each observation, accumulating the values
// of every analysis into its statistics records, and finishing the records
// into statistics and limits.
#pragma once

#include <cstdint>

#include "stat/src/krvstat.h"
#include "xob/kravo.h"

// Bounds shared by reading, statistics and analyses.
inline constexpr double kKrvTiny = 1.1102230246251565e-13;  // 1000 eps: zero, ties, bounds
inline constexpr double kKrvExpMax = 709.782712893384;      // ln of the largest double
inline constexpr double kKrvSqrtMax = 1.3407807929943e154;  // sqrt of the largest double
inline constexpr double kKrvDblMax = 1.7976931348623157e308;

// Reading errors: message numbers of group 181, returned negated.
inline constexpr int32_t kErrOverflow = 7;
inline constexpr int32_t kErrThirdLevel = 8;
inline constexpr int32_t kErrNoObservation = 9;
inline constexpr int32_t kErrOneLevel = 10;
inline constexpr int32_t kErrStatLacking = 31;
inline constexpr int32_t kErrStatTwice = 32;
inline constexpr int32_t kErrNoneUsed = 37;
inline constexpr int32_t kErrNoneUsedFreqWeight = 38;
inline constexpr int32_t kErrXoSameTreatment = 66;
inline constexpr int32_t kErrXoOtherPair = 67;
inline constexpr int32_t kErrXoNoneUsed = 70;
inline constexpr int32_t kErrXoNoneUsedFreqWeight = 71;

// Values left out of a group, for notes 116 and 117.
struct krvexcl {
  int32_t lognormal;  // not above 1000 eps under the lognormal model
  int32_t ratio;      // ratio denominators not above 1000 eps in absolute value
};

// What became of the observations of a BY group in one analysis: used, or
// left out for a missing value of its own or for values its model cannot use.
struct krvusage {
  int32_t used;
  int32_t missing;
  int32_t unfit;
};

// Why an observation is left out of every analysis of the group.
enum krvdrop : int32_t {
  kDropMissing,  // a missing CLASS, CROSSOVER=, FREQ or WEIGHT value
  kDropFreq,     // FREQ below 1
  kDropWeight,   // WEIGHT zero or negative
  kDropReasons,
};

// Writes one note per analysis: how many of the `seen` observations it used
// and why it left out the others; `dropped` counts by krvdrop.
void krvread_usage_notes(krvopts *opts, int32_t seen, const int32_t dropped[kDropReasons]);

// Reads the BY group: 0, or a negative error number.
int32_t krvread(krvopts *opts);
// Reads a group of observations.
int32_t krvread_raw(krvopts *opts);
// Reads a group of summary statistics.
int32_t krvread_special(krvopts *opts);
// Marks every statistic not computed, clears the results and the counters.
void krvread_initstat(krvopts *opts);
// The set that accumulation index 0..18 fills for the analysis kind, or null.
krvstat *krvSetStats(krvopts *opts, int32_t index);
// Slot number of that set, or -1.
int32_t krvSetSlot(const krvopts *opts, int32_t index);
// Blank texts and cleared values of the two CLASS levels (or treatments).
void krvread_reset_levels(krvopts *opts);
// Level (1 or 2) of the observation's CLASS value, 0 to skip the observation,
// or -8 for a third one; `nlevels` counts the levels found in the group. The
// value and its formatted text are both fetched.
int32_t krvread_class_level(krvopts *opts, int32_t *nlevels);
// The comparisons of two groups, in their final order, whose estimate must
// fit: the two levels, or the crossover sequences of the treatment and of the
// period comparison. 0 or -7.
int32_t krvread_compare_groups(krvopts *opts);
// Orders the two CLASS levels and trims their texts, or the texts of the
// crossover treatments, which are in order as they are read: 0.
int32_t krvread_finish(krvopts *opts);

// How a value enters a record under the lognormal model.
enum krvscale : int32_t {
  kScalePlain,    // as it is
  kScaleIsLog,    // already a logarithm: the range holds its exponential
  kScaleTakeLog,  // the range holds it, the sums its logarithm
};

// Adds x with frequency f and weight w (frequency times weight). With
// `count_only` only shift, N, count and range are kept. 0 or -7.
int32_t krvaccum(krvstat *rec, double x, double f, double w, krvscale scale, bool count_only);
// Finishes one accumulated record of set `slot`: statistics and limits. 0 or -7.
int32_t krvstat_finish(const krvopts *opts, krvstat *rec, int32_t slot);
// The estimate that compares two finished group records in their final order
// (the difference of the means, its exponential under lognormal, or the ratio
// of the means) must fit in a double: 0 or -7.
int32_t krvstat_compare(const krvopts *opts, const krvstat *first, const krvstat *second);
// Holds a CSS at its full range: a normal double as it is, anything else as
// a mantissa with its exponent.
void krvstat_store_css(krvstat *rec, krvwide css);
// The limits of the mean of a record of set `slot` whose mean and standard
// error are known, on n - 1 degrees of freedom.
void krvstat_mean_limits(const krvopts *opts, krvstat *rec, int32_t slot);

// The two levels (or treatments) of a group as the ORDER= rule sees them.
struct krvlevels {
  const char *const *fmt;    // formatted texts, `fmtw` bytes each
  const char *const *chars;  // character values, `charw` bytes each (type 2)
  const double *num;         // numeric values (type 1)
  int32_t fmtw;
  int32_t charw;
  uint8_t type;  // 1 numeric, 2 character
};
// True when ORDER= `order` puts the second level first; n1 and n2 are the
// counts of the two levels that ORDER=FREQ compares.
bool krvread_order_exchanges(int32_t order, const krvlevels &levels, double n1, double n2);
// The ratio sets of analysis k for members a and b: a - c*b for the null
// value or the two equivalence bounds, and a/b. 0 or -7.
int32_t krvread_ratio_values(krvopts *opts, int32_t k, double a, double b, double f, double w);

// Crossover reading. Sequence (1 or 2) of the observation, 0 to skip it, or
// a negative error; `ntreatments` is 2 once the group's treatments are known.
int32_t krvread_xo_sequence(krvopts *opts, int32_t *ntreatments);
// Accumulates response pair k of a subject of sequence `seq`: 1 when a value
// was accumulated, 0 when none, or a negative error.
int32_t krvread_xo_pair(krvopts *opts, int32_t k, int32_t seq, double f, double w,
                        krvexcl *excluded);

// Reading one BY group of observations. Each observation is fetched once and
// every statistics record it feeds is updated in the same pass; sums are held
// about the record's first value so that the corrected sum of squares keeps
// its precision without a second pass.
#include "stat/src/krvread.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "dsup/src/mcnpool.h"
#include "host/vynsvc.h"
#include "stat/src/krvmiss.h"
#include "stat/src/krvpair.h"
#include "xob/krvmsg.h"

namespace {

constexpr int32_t kOrderFormatted = 38;
constexpr int32_t kOrderData = 39;
constexpr int32_t kOrderFreq = 40;
constexpr int32_t kOrderInternal = 41;
constexpr int32_t kLastAccumIndex = 18;
constexpr int32_t kLastFinishIndex = 17;
constexpr int32_t kSkip = -1;  // the observation is left out; no error has this number

// How the values of an observation are read: one or two samples on their own
// scale, where no value is unfit for the model, without FREQ and WEIGHT (every
// frequency and weight 1) or with them; or any kind and model.
enum ReadPath { kPathUnitPlain, kPathPlain, kPathModel };

// What one BY group has seen so far.
struct ReadState {
  int32_t seen;                   // observations fetched
  int32_t nlevels;                // CLASS levels or crossover treatments found
  krvexcl excluded;               // values left out, for the notes
  int32_t dropped[kDropReasons];  // observations left out of every analysis, by reason
  ReadPath path;                  // how its observations are read
  const uint16_t *classes;        // the host's character classes, for the blank CLASS test
  xrowsvc rows;                   // the services that fetch each observation
};

// How the values of a group's observations are read, chosen once per group.
ReadPath readPath(const krvopts *opts) {
  if (opts->kind == kKindPaired || opts->kind == kKindCrossover || opts->lognormal)
    return kPathModel;
  return opts->freq_var < 0 && opts->weight_var < 0 ? kPathUnitPlain : kPathPlain;
}

// Every statistic of a record marked not computed; field 0 is kept.
void markRecord(krvstat *r) {
  r->shift = r->n = r->w = r->s = r->ss = r->min = r->max = r->mean = r->gmean = kNotComputed;
  r->css = r->std = r->stderr_mean = r->cv = r->cv4 = kNotComputed;
  r->lclm = r->uclm = r->lclm_u = r->uclm_u = r->lclgm = r->uclgm = kNotComputed;
  r->lclgm_u = r->uclgm_u = r->lclstd = r->uclstd = r->lclstd_umpu = r->uclstd_umpu = kNotComputed;
  r->lclcv = r->uclcv = r->lclcv_umpu = r->uclcv_umpu = kNotComputed;
  r->lclcv4 = r->uclcv4 = r->lclcv4_umpu = r->uclcv4_umpu = kNotComputed;
  r->nobs = 0;
  r->xscale = r->wscale = r->cssscale = 0;
  r->xunit = 1.0;
}

void clearTest(krvttest *g) {
  g->t = g->df = g->p = kNotComputed;
}

void clearEquiv(krvequiv *g) {
  g->t_lower = g->t_upper = g->df = g->p_lower = g->p_upper = g->ucl = g->lcl = kNotComputed;
  g->upper_inside = g->lower_inside = g->equivalent = 0;
}

void clearUneqEquiv(krvuneqequiv *g) {
  g->t_lower = g->t_upper = g->df_lower = g->df_upper = kNotComputed;
  g->p_lower = g->p_upper = g->ucl = g->lcl = kNotComputed;
  g->upper_inside = g->lower_inside = g->equivalent = 0;
}

void clearUneq(krvuneqtest *g) {
  g->t = g->df = g->p = g->cochran_df = g->cochran_p = kNotComputed;
}

void clearFoldF(krvfoldf *g) {
  g->f = g->numdf = g->dendf = g->p = kNotComputed;
  g->second_larger = 0;
}

// The parts of a results record that a group's analyses write, cleared for
// the group: a one-sample or paired analysis writes its test or TOST alone,
// and the parts it never writes keep the values they were made with
// (krvalloc clears every record); the other kinds clear the whole record.
void clearWrittenResults(const krvopts *opts, krvresult *r) {
  if (opts->kind != kKindOneSample && opts->kind != kKindPaired) return krvresult_clear(r);
  clearTest(&r->test);
  clearEquiv(&r->equiv);
}

// Below any exponent of a double: the first deviation and the first weight
// set the scales.
constexpr int32_t kNoScale = -100000;
// The shift of a record that has no value yet under kPathUnitPlain: its first
// value then has a NaN deviation, which takes the rare way (addUnitRaising).
constexpr double kUnshifted = std::numeric_limits<double>::quiet_NaN();

// The largest unit exponent e whose factor 2^-e is a normal double.
constexpr int32_t kMaxUnit = 1022;
// The largest unit of the deviations whose every value below it is within the
// overflow guard kKrvSqrtMax.
constexpr int32_t kMaxDeviationUnit = 512;
static_assert(0x1p512 < kKrvSqrtMax);

// Sets the unit of the deviations to 2^e and its factor 2^-e: infinite below
// 2^-1023 (kNoScale), and NaN above 2^kMaxDeviationUnit, where a deviation
// goes by way of addRaisingUnits even when the unit need not rise.
void setDeviationScale(krvstat *r, int32_t e) {
  r->xscale = e;
  r->xunit = e > kMaxDeviationUnit ? std::numeric_limits<double>::quiet_NaN() : krvldexp(1.0, -e);
}

void resetAccumulators(krvstat *r) {
  r->shift = r->n = r->w = r->s = r->ss = 0.0;
  r->min = kKrvDblMax;
  r->max = -kKrvDblMax;
  r->wscale = r->xscale = kNoScale;
  r->xunit = std::numeric_limits<double>::infinity();  // 2^-kNoScale, as setDeviationScale has it
}

// Two texts of n bytes are equal: formatted levels are short, and a loop
// that stops at the first difference beats a call for them.
bool sameText(const char *a, const char *b, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

// Blank formatted texts (terminated at the width) and unformatted values of
// the two levels or treatments.
void resetLevels(char *const fmt[2], char *const chars[2], double num[2], int32_t fmtw,
                 int32_t charw, uint8_t type) {
  for (int k = 0; k < 2; ++k) {
    if (fmt[k] != nullptr) {
      std::memset(fmt[k], ' ', fmtw);
      fmt[k][fmtw] = '\0';
    }
    if (type == 2 && chars[k] != nullptr) {
      std::memset(chars[k], ' ', charw);
      chars[k][charw] = '\0';
    }
    num[k] = type == 1 ? -kKrvDblMax : krvmissing('.');
  }
}

// Zeroed counts of every analysis, allocated at the first group.
void resetUsage(krvopts *opts) {
  const auto size = sizeof(krvusage) * static_cast<size_t>(opts->nanalyses);
  if (opts->usage == nullptr) opts->usage = static_cast<krvusage *>(mcn_step_alloc(size));
  if (opts->usage == nullptr) krvnomem(opts);
  std::memset(opts->usage, 0, size);
}

// The statistics sets a group accumulates, in the order of their indexes,
// each with its slot; the one of kSetRatio is accumulated but not finished.
struct GroupSets {
  int32_t count;
  krvstat *set[kLastAccumIndex + 1];
  int32_t slot[kLastAccumIndex + 1];
  int32_t index[kLastAccumIndex + 1];
};

// The slot of the set at an accumulation index for an analysis kind and
// model, or -1 where they have no such set.
constexpr int32_t setSlotFor(int32_t kind, bool ratio, bool tost, int32_t index) {
  switch (index) {
    case 0:
      return kind != kKindCrossover ? kSetMain : -1;
    case 1:
      return kind == kKindTwoSample ? kSetLevel2 : -1;
    case 3:
    case 4:
    case 5:
    case 6:
    case 7:
    case 8:
    case 9:
    case 11:
    case 12:
      return kind == kKindCrossover ? index : -1;
    case 14:
    case 15:
      return kind == kKindPaired ? index : -1;
    case 16:
      return ratio ? (tost ? kSetRatioUpper : kSetRatioH0) : -1;
    case 17:
      return ratio && tost ? kSetRatioLower : -1;
    case 18:
      return ratio ? kSetRatio : -1;
    default:
      return -1;
  }
}

// The indexes with a set, and their slots, for one kind and model.
struct SetPlan {
  int32_t count;
  int32_t slot[kLastAccumIndex + 1];
  int32_t index[kLastAccumIndex + 1];
};

constexpr int32_t kPlanKinds = kKindCrossover + 1;

constexpr int32_t planNumber(int32_t kind, bool ratio, bool tost) {
  return (kind * 2 + (ratio ? 1 : 0)) * 2 + (tost ? 1 : 0);
}

// Every kind and model's plan, worked out when the module is compiled so that a
// group only looks its sets up.
constexpr auto kSetPlans = [] {
  std::array<SetPlan, 4 * kPlanKinds> plans{};
  for (int32_t kind = 0; kind < kPlanKinds; ++kind) {
    for (const bool ratio : {false, true}) {
      for (const bool tost : {false, true}) {
        SetPlan &plan = plans[static_cast<size_t>(planNumber(kind, ratio, tost))];
        for (int32_t idx = 0; idx <= kLastAccumIndex; ++idx) {
          const int32_t slot = setSlotFor(kind, ratio, tost, idx);
          if (slot < 0) continue;
          plan.slot[plan.count] = slot;
          plan.index[plan.count++] = idx;
        }
      }
    }
  }
  return plans;
}();

// A kind outside the known ones has the sets of one sample.
const SetPlan &setPlanOf(const krvopts *opts) {
  const int32_t kind = opts->kind >= 0 && opts->kind < kPlanKinds ? opts->kind : kKindOneSample;
  return kSetPlans[static_cast<size_t>(planNumber(kind, opts->ratio_sets != 0, opts->tost != 0))];
}

GroupSets groupSets(krvopts *opts) {
  const SetPlan &plan = setPlanOf(opts);
  GroupSets g;
  g.count = 0;
  for (int32_t j = 0; j < plan.count; ++j) {
    krvstat *set = krvset(opts, plan.slot[j]);
    if (set == nullptr) continue;
    g.set[g.count] = set;
    g.slot[g.count] = plan.slot[j];
    g.index[g.count++] = plan.index[j];
  }
  return g;
}

void startGroup(krvopts *opts, const GroupSets &sets) {
  krvread_initstat(opts);
  resetUsage(opts);
  for (int32_t j = 0; j < sets.count; ++j) {
    for (int32_t i = 0; i < opts->nanalyses; ++i) resetAccumulators(&sets.set[j][i]);
  }
  if (opts->values != nullptr) std::fill(opts->values, opts->values + opts->nvars, 0.0);
  krvread_reset_levels(opts);
}

__attribute__((always_inline)) inline bool classMissing(const krvopts *opts,
                                                        const uint16_t *classes) {
  if (opts->class_type == 2) return krvallblank(classes, opts->class_char, opts->class_charw);
  return krvismissing(opts->class_num);
}

void holdLevel(krvopts *opts, int k) {
  std::memcpy(opts->level_fmt[k], opts->class_fmt, opts->class_fmtw);
  opts->level_fmt[k][opts->class_fmtw] = '\0';
  if (opts->class_type == 2) {
    std::memcpy(opts->level_char[k], opts->class_char, opts->class_charw);
  } else {
    opts->level_num[k] = opts->class_num;
  }
}

// The observation's CLASS value is the one level k was first seen with, bit
// for bit: the host formats a value the same way every time, so its formatted
// text is the level's. A character value is compared over the bytes it can
// have; the rest of both targets is blank.
bool sameValueAsLevel(const krvopts *opts, int k) {
  if (opts->class_type == 2)
    return sameText(opts->class_char, opts->level_char[k], opts->class_len);
  return std::bit_cast<uint64_t>(opts->class_num) == std::bit_cast<uint64_t>(opts->level_num[k]);
}

// Levels are fixed first come, before any other test on the observation: the
// work of krvread_class_level, inlined into the reading of each observation.
// A value a level was first seen with needs neither the blank test (no level
// holds a missing value) nor its formatted text; any other value is matched
// on the text that fetchFormatted brings (values that differ can share a
// text).
template <typename FetchFormatted>
inline int32_t classLevel(krvopts *opts, int32_t *nlevels, const uint16_t *classes,
                          FetchFormatted fetchFormatted) {
  for (int k = 0; k < *nlevels; ++k) {
    if (sameValueAsLevel(opts, k)) return k + 1;
  }
  if (classMissing(opts, classes)) return 0;
  fetchFormatted();
  for (int k = 0; k < *nlevels; ++k) {
    if (sameText(opts->class_fmt, opts->level_fmt[k], opts->class_fmtw)) return k + 1;
  }
  if (*nlevels == 2) return -kErrThirdLevel;
  holdLevel(opts, *nlevels);
  return ++*nlevels;
}

// The observation's frequency (floor of FREQ) and weight: kDropReasons when
// it is usable, else why it is left out.
int32_t frequencyAndWeight(const krvopts *opts, double *f, double *weight) {
  *f = 1.0;
  *weight = 1.0;
  if (opts->freq_var >= 0) {
    const double v = opts->freq_value;
    if (krvismissing(v)) return kDropMissing;
    if (v < 1.0) return kDropFreq;
    *f = std::floor(v);
  }
  if (opts->weight_var >= 0) {
    const double v = opts->weight_value;
    if (krvismissing(v)) return kDropMissing;
    if (v <= kNotComputed) return kDropWeight;
    *weight = v;
  }
  return kDropReasons;
}

int32_t excludedCount(const ReadState &st) {
  return st.excluded.lognormal + st.excluded.ratio;
}

// Counts the outcome `r` of analysis k for one observation.
void countUsage(krvusage *u, int32_t r, bool unfit) {
  if (r > 0) {
    ++u->used;
  } else if (unfit) {
    ++u->unfit;
  } else {
    ++u->missing;
  }
}

krvstat *record(krvopts *opts, int slot, int32_t k) {
  return krvset(opts, slot) + k;
}

// Adds x with frequency f and weight w (defined with the scaling below).
inline int32_t accumulate(krvstat *rec, double x, double f, double w, krvscale scale,
                          bool count_only);
// Adds a finite x with frequency and weight 1, counted in nobs alone (defined
// below).
inline int32_t accumulateUnit(krvstat *rec, double x);

// One-sample and two-sample: the value of analysis k into the level's set.
int32_t singleValue(krvopts *opts, int32_t k, int32_t level, double f, double w, ReadState *st) {
  double x = opts->values[k];
  if (krvismissing(x)) return 0;
  krvscale scale = kScalePlain;
  if (opts->lognormal) {
    if (x < kKrvTiny) {
      ++st->excluded.lognormal;
      return 0;
    }
    x = std::log(x);
    scale = kScaleIsLog;
  }
  const int slot = level == 2 ? kSetLevel2 : kSetMain;
  const int32_t r = accumulate(record(opts, slot, k), x, f, w, scale, false);
  return r < 0 ? r : 1;
}

// Value of a paired variable, by its variable number.
double pairedValue(const krvopts *opts, int32_t varnum) {
  const int32_t pos = krvpmap(opts->pairing, varnum);
  return pos >= 0 && pos < opts->nvars ? opts->values[pos] : krvmissing('.');
}

// Paired: the difference (or log ratio) of pair k, its members and, under
// the normal ratio model, the ratio sets.
int32_t pairValues(krvopts *opts, int32_t k, double f, double w, ReadState *st) {
  const krvstat &pair = krvset(opts, kSetMain)[k];
  const double a = pairedValue(opts, pair.varnum[0]);
  const double b = pairedValue(opts, pair.varnum[1]);
  if (krvismissing(a) || krvismissing(b)) return 0;
  if (opts->lognormal && (a < kKrvTiny || b < kKrvTiny)) {
    ++st->excluded.lognormal;
    return 0;
  }
  if (opts->ratio_sets && std::fabs(b) < kKrvTiny) {
    ++st->excluded.ratio;
    return 0;
  }
  const bool lg = opts->lognormal != 0;
  const double d = lg ? std::log(a) - std::log(b) : a - b;
  int32_t r = accumulate(record(opts, kSetMain, k), d, f, w, lg ? kScaleIsLog : kScalePlain, false);
  const krvscale member = lg ? kScaleTakeLog : kScalePlain;
  if (r == 0) r = accumulate(record(opts, kSetFirst, k), a, f, w, member, false);
  if (r == 0) r = accumulate(record(opts, kSetSecond, k), b, f, w, member, false);
  if (r == 0 && opts->ratio_sets) r = krvread_ratio_values(opts, k, a, b, f, w);
  return r < 0 ? r : 1;
}

int32_t analysisValues(krvopts *opts, int32_t k, int32_t level, double f, double w, ReadState *st) {
  switch (opts->kind) {
    case kKindPaired:
      return pairValues(opts, k, f, w, st);
    case kKindCrossover:
      return krvread_xo_pair(opts, k, level, f, w, &st->excluded);
    default:
      return singleValue(opts, k, level, f, w, st);
  }
}

// The CLASS level of an observation of two samples, its formatted value
// fetched only when its value is not one a level was first seen with.
__attribute__((always_inline)) inline int32_t twoSampleLevel(krvopts *opts, ReadState *st) {
  return classLevel(opts, &st->nlevels, st->classes,
                    [opts, st] { xrow_formatted(st->rows, opts->reader); });
}

// The sequence of an observation of a crossover, from its formatted treatments.
int32_t crossoverSequence(krvopts *opts, ReadState *st) {
  xrow_formatted(st->rows, opts->reader);
  return krvread_xo_sequence(opts, &st->nlevels);
}

// Level or sequence of an observation of two samples or a crossover (1 or 2),
// kSkip, or a negative error. A crossover is read on the model path.
template <ReadPath kPath>
__attribute__((always_inline)) inline int32_t observationLevel(krvopts *opts, ReadState *st) {
  const int32_t level = kPath == kPathUnitPlain || opts->kind == kKindTwoSample
                            ? twoSampleLevel(opts, st)
                            : crossoverSequence(opts, st);
  return level == 0 ? kSkip : level;
}

// One-sample and two-sample values on their own scale, every analysis of one
// observation: a value is used or missing, never left out by the model, so
// no exclusion is counted and the usage of each analysis follows from the
// counts of its records when the group ends (plainUsage). kUnit: every
// frequency and weight is 1. 1 when a value was used, 0, or a negative error.
template <bool kUnit>
__attribute__((always_inline)) inline int32_t plainValues(krvopts *opts, int32_t level, double f,
                                                          double w) {
  krvstat *set = krvset(opts, level == 2 ? kSetLevel2 : kSetMain);
  const double *values = opts->values;
  const int32_t n = opts->nanalyses;
  int32_t used = 0;
  for (int32_t k = 0; k < n; ++k) {
    const double x = values[k];
    // One test passes every finite value; of the rest NaNs are missing and
    // infinities overflow, as accumulate finds them.
    if (!(std::fabs(x) <= kKrvDblMax)) {
      if (std::isnan(x)) continue;
      return -kErrOverflow;
    }
    if (x == kNotComputed) continue;
    const int32_t r =
        kUnit ? accumulateUnit(&set[k], x) : accumulate(&set[k], x, f, w, kScalePlain, false);
    if (r < 0) return r;
    used = 1;
  }
  return used;
}

// Every analysis of one observation under any kind and model: 1 when a value
// was used, 0, or a negative error.
int32_t modelValues(krvopts *opts, int32_t level, double f, double w, ReadState *st) {
  int32_t used = 0;
  for (int32_t k = 0; k < opts->nanalyses; ++k) {
    const int32_t before = excludedCount(*st);
    const int32_t r = analysisValues(opts, k, level, f, w, st);
    if (r < 0) return r;
    countUsage(&opts->usage[k], r, excludedCount(*st) > before);
    if (r > 0) used = 1;
  }
  return used;
}

// Every analysis of one observation on a path with frequencies and weights
// or a model.
int32_t weightedValues(krvopts *opts, int32_t level, ReadState *st) {
  double f = 0.0, weight = 0.0;
  const int32_t drop = frequencyAndWeight(opts, &f, &weight);
  if (drop != kDropReasons) {
    ++st->dropped[drop];
    return 0;
  }
  const double w = f * weight;
  if (st->path == kPathPlain) return plainValues<false>(opts, level, f, w);
  return modelValues(opts, level, f, w, st);
}

// kLevels: the observation has a CLASS level or crossover sequence.
template <ReadPath kPath, bool kLevels>
__attribute__((always_inline)) inline int32_t readObservation(krvopts *opts, ReadState *st) {
  const int32_t level = kLevels ? observationLevel<kPath>(opts, st) : 0;
  if (level == kSkip) {
    ++st->dropped[kDropMissing];
    return 0;
  }
  if (level < 0) return level;
  const int32_t used = kPath == kPathUnitPlain ? plainValues<true>(opts, level, 1.0, 1.0)
                                               : weightedValues(opts, level, st);
  if (used <= 0) return used;
  ++opts->graphics.used[0];
  if (level > 0) ++opts->graphics.used[level];
  return 0;
}

// Every observation of the group; kPath tells kPathUnitPlain from the paths
// weightedValues tells apart, and kLevels the kinds with CLASS levels or
// crossover treatments, the only values read formatted (by observationLevel),
// to be matched on their texts. 0 or a negative error.
template <ReadPath kPath, bool kLevels>
int32_t readObservations(krvopts *opts, ReadState *st) {
  const xrowsvc &rows = st->rows;
  while (xrow_next(rows, opts->reader) > 0) {
    xrow_values(rows, opts->reader);
    ++st->seen;
    const int32_t r = readObservation<kPath, kLevels>(opts, st);
    if (r < 0) return r;
  }
  return 0;
}

// The records an observation of the plain paths feeds: level 1 (or the only
// sample) and, for two samples, level 2.
int32_t plainSets(const krvopts *opts) {
  return opts->kind == kKindTwoSample ? 2 : 1;
}

// The shift of each record of the plain paths that has no value yet.
void shiftEmptyRecords(krvopts *opts, double shift) {
  const int32_t sets = plainSets(opts);
  for (int32_t slot = 0; slot < sets; ++slot) {
    krvstat *set = krvset(opts, slot == 0 ? kSetMain : kSetLevel2);
    for (int32_t k = 0; k < opts->nanalyses; ++k) {
      if (set[k].nobs == 0) set[k].shift = shift;
    }
  }
}

// kPathUnitPlain: the records are unshifted while the group is read, and
// those left without a value get back the shift of resetAccumulators.
template <bool kLevels>
int32_t readUnitGroup(krvopts *opts, ReadState *st) {
  shiftEmptyRecords(opts, kUnshifted);
  const int32_t r = readObservations<kPathUnitPlain, kLevels>(opts, st);
  shiftEmptyRecords(opts, 0.0);
  return r;
}

// readObservations for the group's path and kind.
int32_t readGroup(krvopts *opts, ReadState *st) {
  const bool levels = opts->kind == kKindTwoSample || opts->kind == kKindCrossover;
  if (st->path == kPathUnitPlain) {
    return levels ? readUnitGroup<true>(opts, st) : readUnitGroup<false>(opts, st);
  }
  return levels ? readObservations<kPathModel, true>(opts, st)
                : readObservations<kPathModel, false>(opts, st);
}

// Each record's sum of frequencies and of weights under kPathUnitPlain: its
// count, which stays far below 2^53, so each sum of ones is exact.
void unitSums(krvopts *opts) {
  const int32_t sets = plainSets(opts);
  for (int32_t slot = 0; slot < sets; ++slot) {
    krvstat *set = krvset(opts, slot == 0 ? kSetMain : kSetLevel2);
    for (int32_t k = 0; k < opts->nanalyses; ++k) set[k].n = set[k].w = set[k].nobs;
  }
}

// Usage of each analysis on the plain paths: a value of an observation that
// reached the analyses is used (counted by its record) or missing.
void plainUsage(krvopts *opts, const ReadState &st) {
  int32_t reached = st.seen;
  for (int32_t d : st.dropped) reached -= d;
  const krvstat *first = krvset(opts, kSetMain);
  const krvstat *second = plainSets(opts) == 2 ? krvset(opts, kSetLevel2) : nullptr;
  for (int32_t k = 0; k < opts->nanalyses; ++k) {
    int32_t used = static_cast<int32_t>(first[k].nobs);
    if (second != nullptr) used += static_cast<int32_t>(second[k].nobs);
    opts->usage[k].used = used;
    opts->usage[k].missing = reached - used;
  }
}

// Sums and usage the plain paths leave to the end of the group.
void settlePlainPaths(krvopts *opts, const ReadState &st) {
  if (st.path == kPathModel) return;
  if (st.path == kPathUnitPlain) unitSums(opts);
  plainUsage(opts, st);
}

// Extremes that never received a value become not computed.
void markEmptyRanges(krvopts *opts, const GroupSets &sets) {
  for (int32_t j = 0; j < sets.count; ++j) {
    krvstat *set = sets.set[j];
    for (int32_t i = 0; i < opts->nanalyses; ++i) {
      if (set[i].min == kKrvDblMax || set[i].max == -kKrvDblMax) {
        set[i].min = set[i].max = kNotComputed;
      }
    }
  }
}

int32_t groupError(const krvopts *opts, const ReadState &st) {
  if (st.seen == 0) return -kErrNoObservation;
  if (opts->graphics.used[0] == 0) {
    const bool fw = opts->freq_var >= 0 || opts->weight_var >= 0;
    if (opts->kind == kKindCrossover) return fw ? -kErrXoNoneUsedFreqWeight : -kErrXoNoneUsed;
    return fw ? -kErrNoneUsedFreqWeight : -kErrNoneUsed;
  }
  if (opts->kind == kKindTwoSample && st.nlevels < 2) return -kErrOneLevel;
  return 0;
}

void noteExcluded(krvopts *opts, int32_t number, int32_t count) {
  if (count <= 0) return;
  const xins insert = krvins_num(count);
  xpmlog(kKrvGroup, number, 1, &insert);
  if (opts->rc < 4) opts->rc = 4;
}

int32_t compareSets(krvopts *opts, int first, int second) {
  for (int32_t i = 0; i < opts->nanalyses; ++i) {
    const int32_t r = krvstat_compare(opts, record(opts, first, i), record(opts, second, i));
    if (r < 0) return r;
  }
  return 0;
}

int32_t finishRecords(krvopts *opts, const GroupSets &sets) {
  for (int32_t j = 0; j < sets.count && sets.index[j] <= kLastFinishIndex; ++j) {
    for (int32_t i = 0; i < opts->nanalyses; ++i) {
      const int32_t r = krvstat_finish(opts, &sets.set[j][i], sets.slot[j]);
      if (r < 0) return r;
    }
  }
  return 0;
}

bool formattedGreater(const krvlevels &lv) {
  return std::memcmp(lv.fmt[0], lv.fmt[1], lv.fmtw) > 0;
}

bool internalGreater(const krvlevels &lv) {
  if (lv.type == 2) return std::memcmp(lv.chars[0], lv.chars[1], lv.charw) > 0;
  return lv.num[0] > lv.num[1];
}

// Numeric levels in their internal order, character ones in their formatted
// order.
bool mixedGreater(const krvlevels &lv) {
  return lv.type == 2 ? formattedGreater(lv) : internalGreater(lv);
}

// ORDER=FREQ puts the more frequent level first; ties fall back to the mixed
// order.
bool frequencyOrderExchanges(const krvlevels &lv, double n1, double n2) {
  const double tol = kKrvTiny * std::fmax(std::fabs(n1), std::fabs(n2));
  if (n2 - n1 > tol) return true;
  if (n1 - n2 > tol) return false;
  return mixedGreater(lv);
}

// ORDER=FREQ compares the counts of the first analysis.
bool levelsExchange(krvopts *opts) {
  const krvlevels lv{opts->level_fmt,  opts->level_char,  opts->level_num,
                     opts->class_fmtw, opts->class_charw, opts->class_type};
  return krvread_order_exchanges(opts->order, lv, krvset(opts, kSetMain)[0].n,
                                 krvset(opts, kSetLevel2)[0].n);
}

// Exchanges the two levels: their records (field 0 stays with set 0), texts,
// values and observation counters.
void exchangeLevels(krvopts *opts) {
  krvstat *first = krvset(opts, kSetMain);
  krvstat *second = krvset(opts, kSetLevel2);
  for (int32_t i = 0; i < opts->nanalyses; ++i) {
    std::swap(first[i], second[i]);
    std::swap(first[i].varnum, second[i].varnum);
  }
  std::swap(opts->level_fmt[0], opts->level_fmt[1]);
  std::swap(opts->level_char[0], opts->level_char[1]);
  std::swap(opts->level_num[0], opts->level_num[1]);
  std::swap(opts->graphics.used[1], opts->graphics.used[2]);
}

// Drops the blanks that pad a formatted text of width `width` and returns
// the length left. Only the pad character goes: a level may end in a tab or
// a NUL byte of its own, and the length, not the terminator, ends it.
int32_t trimTrailing(char *text, int32_t width) {
  if (text == nullptr) return 0;
  int32_t end = width;
  while (end > 0 && text[end - 1] == ' ') --end;
  text[end] = '\0';
  return end;
}

// The binary exponent k of v = f * 2^k with |f| in [0.5, 1).
int32_t exponentOf(double v) {
  int32_t k = 0;
  krvfrexp(v, &k);
  return k;
}

// The held sums of the deviations taken to the unit 2^e above theirs: they
// shrink exactly (sums of 0, as before the first deviation, stay as they are).
void shrinkDeviationSums(krvstat *r, int32_t e) {
  if (r->s != 0.0 || r->ss != 0.0) {
    const int32_t drop = r->xscale - e;
    r->s = krvldexp(r->s, drop);
    r->ss = krvldexp(r->ss, 2 * drop);
  }
}

// Raises the unit of the deviations to 2^e.
void raiseDeviationScale(krvstat *r, int32_t e) {
  if (e <= r->xscale) return;
  shrinkDeviationSums(r, e);
  setDeviationScale(r, e);
}

// Raises the unit of the weights to 2^e.
void raiseWeightScale(krvstat *r, int32_t e) {
  if (e <= r->wscale) return;
  r->s = krvldexp(r->s, r->wscale - e);
  r->ss = krvldexp(r->ss, r->wscale - e);
  r->wscale = e;
}

// 2^-e for e in [-1023, kMaxUnit], built from its bits.
double unitFactor(int32_t e) {
  return std::bit_cast<double>(static_cast<uint64_t>(1023 - e) << 52);
}

// A normal v whose exponent does not exceed the unit 2^e, with 2^-e a normal
// double: v * 2^-e is then the correctly rounded product that ldexp gives.
bool withinUnit(double v, int32_t e) {
  const int32_t b = krvbiased_exponent(v);
  return b != 0 && b - kKrvFrexpBias <= e && e <= kMaxUnit;
}

// The deviation x in the unit 2^xscale when |x| < 2^xscale (and xscale is at
// most kMaxDeviationUnit), else a value whose magnitude is not below 1 (or
// NaN). The product by the factor is exact or, below the normal range, the
// correctly rounded one that ldexp gives; it reaches 1 exactly when |x| does
// 2^xscale. A zero or subnormal x below the unit thus gets the same terms
// addRaisingUnits would form (it raises no unit for them), and a zero adds
// nothing: s is never -0.
double inUnit(const krvstat *r, double x) {
  return x * r->xunit;
}

// The common case of addScaled: neither unit has to rise, so the terms are
// formed with two multiplications by powers of two and no exponent is taken.
// False when a unit must rise first (or the weight is subnormal).
bool addInUnits(krvstat *r, double x, double w) {
  if (!withinUnit(w, r->wscale)) return false;
  if (x == 0.0) return true;
  const double xs = inUnit(r, x);
  if (!(std::fabs(xs) < 1.0)) return false;
  const double ws = w * unitFactor(r->wscale);
  r->s += ws * xs;
  r->ss += ws * (xs * xs);
  return true;
}

// The rare case of addScaled: a unit rises first. Kept out of line, so the
// common case inlined into the reading loops saves no registers for it.
__attribute__((noinline)) void addRaisingUnits(krvstat *r, double x, double w) {
  raiseWeightScale(r, exponentOf(w));
  if (x == 0.0) return;
  raiseDeviationScale(r, exponentOf(x));
  const double xs = krvldexp(x, -r->xscale);
  const double ws = krvldexp(w, -r->wscale);
  r->s += ws * xs;
  r->ss += ws * (xs * xs);
}

// Adds w*x and w*x^2 with the deviation x and the weight w each taken in the
// unit of the largest one so far, so no term overflows or underflows unless
// it is negligible beside the sums.
inline void addScaled(krvstat *r, double x, double w) {
  if (!addInUnits(r, x, w)) addRaisingUnits(r, x, w);
}

// The unit of a weight of 1 once the first one has set it: exponentOf(1.0).
constexpr int32_t kUnitOfOne = 1;
// A weight of 1 in that unit.
constexpr double kOneInUnit = 0.5;

// addRaisingUnits for a weight of 1 where the weight unit is 2^kUnitOfOne already: that
// unit stays, so only the deviation's may rise.
__attribute__((noinline)) void addRaisingDeviationUnit(krvstat *r, double d) {
  if (d == 0.0) return;
  raiseDeviationScale(r, exponentOf(d));
  const double xs = krvldexp(d, -r->xscale);
  r->s += kOneInUnit * xs;
  r->ss += kOneInUnit * (xs * xs);
}

// addRaisingDeviationUnit for a normal d whose exponent e raises the unit to
// 2^e, at most 2^kMaxDeviationUnit: the unit's factor is then the normal
// 2^-e, and d in that unit is the fraction frexp gives, taken from its bits.
// False, with nothing done, for any other d.
bool addRisingToNormalUnit(krvstat *r, double d) {
  const int32_t biased = krvbiased_exponent(d);
  const int32_t e = biased - kKrvFrexpBias;
  if (biased == 0 || biased == kKrvExponentAllOnes || e <= r->xscale || e > kMaxDeviationUnit)
    return false;
  shrinkDeviationSums(r, e);
  r->xscale = e;
  r->xunit = unitFactor(e);
  const uint64_t fraction = std::bit_cast<uint64_t>(d) & ~kKrvExponentField;
  const double xs =
      std::bit_cast<double>(fraction | static_cast<uint64_t>(kKrvFrexpBias) << kKrvExponentShift);
  r->s += kOneInUnit * xs;
  r->ss += kOneInUnit * (xs * xs);
  return true;
}

// The deviation d of the value x with weight 1 beyond its unit, or the
// record's first value: the overflow guard, then addScaled. The first value is
// the shift, so its deviation is 0 and adds nothing; as addRaisingUnits does
// for it, the weight unit becomes 2^kUnitOfOne, where it stays for the
// record's later values. A deviation mostly raises its unit to one of the
// normal range, without a call. 0 or a negative error.
__attribute__((noinline)) int32_t addUnitRaising(krvstat *r, double x, double d) {
  if (r->nobs == 1) {
    r->shift = x;
    r->wscale = kUnitOfOne;
    return 0;
  }
  if (std::fabs(d) > kKrvSqrtMax) return -kErrOverflow;
  if (!addRisingToNormalUnit(r, d)) addRaisingDeviationUnit(r, d);
  return 0;
}

// accumulate with frequency and weight 1 on the own scale, for a finite value
// that is not missing. N and the weight sum are the count nobs, set when the
// group ends (unitSums); a count cannot reach the overflow guards on them.
// After the first value the weight unit stays 2^kUnitOfOne, each weight in
// units is 0.5, and a deviation within its unit is within the overflow guard.
inline int32_t accumulateUnit(krvstat *rec, double x) {
  rec->min = x < rec->min ? x : rec->min;
  rec->max = x > rec->max ? x : rec->max;
  const double d = x - rec->shift;
  ++rec->nobs;
  const double xs = inUnit(rec, d);
  if (__builtin_expect(std::fabs(xs) < 1.0, 1)) {
    rec->s += kOneInUnit * xs;
    rec->ss += kOneInUnit * (xs * xs);
    return 0;
  }
  return addUnitRaising(rec, x, d);
}

// Adds x with frequency f and weight w: the work of krvaccum, inlined into the
// per-observation loops of this file.
inline int32_t accumulate(krvstat *rec, double x, double f, double w, krvscale scale,
                          bool count_only) {
  if (krvismissing(x)) return 0;
  if (std::isinf(x) || !std::isfinite(w)) return -kErrOverflow;
  double shown = x;
  if (scale == kScaleIsLog) {
    if (x > kKrvExpMax) return -kErrOverflow;
    shown = std::exp(x);
  }
  // fmin and fmax without the calls: no NaN reaches here, and on equal
  // values (0 and -0) the held extreme stays, as fmin and fmax keep it.
  rec->min = shown < rec->min ? shown : rec->min;
  rec->max = shown > rec->max ? shown : rec->max;
  if (scale == kScaleTakeLog) x = std::log(x);
  if (rec->n == 0.0) rec->shift = x;
  x -= rec->shift;
  if (kKrvDblMax - rec->n < f) return -kErrOverflow;
  rec->n += f;
  ++rec->nobs;
  if (count_only) return 0;
  if (std::fabs(x) > kKrvSqrtMax || kKrvDblMax - rec->w < w) return -kErrOverflow;
  rec->w += w;
  addScaled(rec, x, w);
  return 0;
}

}  // namespace

void krvresult_clear(krvresult *r) {
  clearTest(&r->test);
  clearUneq(&r->uneq);
  clearFoldF(&r->foldf);
  clearFoldF(&r->foldf_xo);
  clearEquiv(&r->equiv);
  clearUneqEquiv(&r->uneq_equiv);
  for (krvttest &g : r->test_xo) clearTest(&g);
  clearTest(&r->test_xo1);
  for (krvttest &g : r->uneq_xo.test) clearTest(&g);
  for (krvcochran &c : r->uneq_xo.cochran) c.df = c.p = kNotComputed;
  for (krvequiv &g : r->equiv_xo) clearEquiv(&g);
  clearEquiv(&r->equiv_xo1);
  for (krvuneqequiv &g : r->uneq_equiv_xo) clearUneqEquiv(&g);
}

bool krvread_order_exchanges(int32_t order, const krvlevels &levels, double n1, double n2) {
  switch (order) {
    case kOrderFormatted:
      return formattedGreater(levels);
    case kOrderData:
      return false;
    case kOrderFreq:
      return frequencyOrderExchanges(levels, n1, n2);
    case kOrderInternal:
      return internalGreater(levels);
    default:
      return mixedGreater(levels);
  }
}

int32_t krvread_ratio_values(krvopts *opts, int32_t k, double a, double b, double f, double w) {
  int32_t r = 0;
  if (opts->tost) {
    r = accumulate(record(opts, kSetRatioUpper, k), a - opts->tost_upper * b, f, w, kScalePlain,
                   false);
    if (r == 0) {
      r = accumulate(record(opts, kSetRatioLower, k), a - opts->tost_lower * b, f, w, kScalePlain,
                     false);
    }
  } else {
    r = accumulate(record(opts, kSetRatioH0, k), a - opts->h0 * b, f, w, kScalePlain, false);
  }
  if (r < 0) return r;
  return accumulate(record(opts, kSetRatio, k), a / b, f, w, kScalePlain, true);
}

int32_t krvSetSlot(const krvopts *opts, int32_t index) {
  return setSlotFor(opts->kind, opts->ratio_sets != 0, opts->tost != 0, index);
}

krvstat *krvSetStats(krvopts *opts, int32_t index) {
  const int32_t slot = krvSetSlot(opts, index);
  return slot < 0 ? nullptr : krvset(opts, slot);
}

void krvread_initstat(krvopts *opts) {
  for (int n = 0; n < kKrvSets; ++n) {
    krvstat *set = krvset(opts, n);
    for (int32_t i = 0; set != nullptr && i < opts->nanalyses; ++i) markRecord(&set[i]);
  }
  for (int32_t i = 0; opts->results != nullptr && i < opts->nanalyses; ++i) {
    clearWrittenResults(opts, &opts->results[i]);
  }
  for (int32_t &used : opts->graphics.used) used = 0;
}

int32_t krvaccum(krvstat *rec, double x, double f, double w, krvscale scale, bool count_only) {
  return accumulate(rec, x, f, w, scale, count_only);
}

void krvread_reset_levels(krvopts *opts) {
  if (opts->kind == kKindTwoSample) {
    resetLevels(opts->level_fmt, opts->level_char, opts->level_num, opts->class_fmtw,
                opts->class_charw, opts->class_type);
  }
  if (opts->kind == kKindCrossover) {
    resetLevels(opts->trt_fmt, opts->trt_char, opts->trt_num, opts->xo_fmtw, opts->xo_charw,
                opts->xo_type);
  }
}

int32_t krvread_class_level(krvopts *opts, int32_t *nlevels) {
  return classLevel(opts, nlevels, krvcharclasses(), [] {});
}

int32_t krvread_compare_groups(krvopts *opts) {
  if (opts->kind == kKindTwoSample) return compareSets(opts, kSetMain, kSetLevel2);
  if (opts->kind != kKindCrossover || opts->ignore_period) return 0;
  const int32_t r = compareSets(opts, kSetHalfPrd1, kSetHalfPrd2);
  return r < 0 ? r : compareSets(opts, kSetHalfTrt1, kSetHalfTrt2);
}

int32_t krvread(krvopts *opts) {
  return opts->dstype != 0 ? krvread_special(opts) : krvread_raw(opts);
}

int32_t krvread_raw(krvopts *opts) {
  const GroupSets sets = groupSets(opts);
  startGroup(opts, sets);
  ReadState st{};
  st.path = readPath(opts);
  st.classes = krvcharclasses();
  st.rows = xrowsvc_resolve();
  const int32_t read = readGroup(opts, &st);
  if (read < 0) return read;
  settlePlainPaths(opts, st);
  markEmptyRanges(opts, sets);
  const int32_t error = groupError(opts, st);
  if (error < 0) return error;
  noteExcluded(opts, 116, st.excluded.lognormal);
  noteExcluded(opts, 117, st.excluded.ratio);
  krvread_usage_notes(opts, st.seen, st.dropped);
  const int32_t r = finishRecords(opts, sets);
  if (r < 0) return r;
  krvread_finish(opts);
  return krvread_compare_groups(opts);
}

int32_t krvread_finish(krvopts *opts) {
  if (opts->kind == kKindTwoSample) {
    if (levelsExchange(opts)) exchangeLevels(opts);
    for (int k = 0; k < 2; ++k) {
      opts->level_fmtlen[k] = trimTrailing(opts->level_fmt[k], opts->class_fmtw);
    }
  }
  if (opts->kind == kKindCrossover) {
    for (int k = 0; k < 2; ++k) opts->trt_fmtlen[k] = trimTrailing(opts->trt_fmt[k], opts->xo_fmtw);
  }
  return 0;
}

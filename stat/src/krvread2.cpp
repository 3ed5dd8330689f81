// Summary-statistics input. A summary data set gives one observation per
// statistic, named by its _STAT_ or _TYPE_ value, and the records are filled
// from those values directly.
#include <cmath>
#include <cstring>

#include "host/vynsvc.h"
#include "stat/src/krvmiss.h"
#include "stat/src/krvread.h"
#include "xob/krvmsg.h"

namespace {

// Notes on summary records that cannot be used as given.
constexpr int32_t kNoteNoN = 39;
constexpr int32_t kNoteNegativeN = 40;
constexpr int32_t kNoteFractionalN = 41;
constexpr int32_t kNoteZeroN = 42;
constexpr int32_t kNoteNoMean = 43;
constexpr int32_t kNoteSingleStd = 44;
constexpr int32_t kNoteNoStd = 45;
constexpr int32_t kNoteNothing = 137;

// The statistics a summary data set may give, the code of each in the set of
// codes seen for a level, and the record field it fills.
struct Statistic {
  char text[9];  // the _STAT_ or _TYPE_ value, blank-padded to 8
  uint32_t code;
  double krvstat::*field;
};

constexpr uint32_t kCodeN = 1;
constexpr uint32_t kCodeMean = 2;
constexpr uint32_t kCodeStd = 4;
constexpr uint32_t kCodesNeeded = kCodeN | kCodeMean | kCodeStd;

constexpr Statistic kStatistics[] = {
    {"N       ", kCodeN, &krvstat::n},     {"MEAN    ", kCodeMean, &krvstat::mean},
    {"STD     ", kCodeStd, &krvstat::std}, {"MAX     ", 16, &krvstat::max},
    {"MIN     ", 32, &krvstat::min},
};

const Statistic *statisticNamed(const char *value) {
  for (const Statistic &s : kStatistics) {
    if (std::memcmp(value, s.text, 8) == 0) return &s;
  }
  return nullptr;
}

// What one BY group of summary statistics has seen so far.
struct SummaryState {
  int32_t seen;       // observations fetched
  int32_t nlevels;    // CLASS levels found
  uint32_t codes[2];  // statistic codes seen per level (one-sample: the first)
};

// Stores the statistic of one observation in the records of its level: 0, or
// a negative error.
int32_t readStatistic(krvopts *opts, SummaryState *st) {
  const int32_t level = opts->kind == kKindTwoSample ? krvread_class_level(opts, &st->nlevels) : 1;
  if (level <= 0) return level;
  const Statistic *stat = statisticNamed(opts->stat_value);
  if (stat == nullptr) return 0;
  uint32_t &codes = st->codes[level - 1];
  if ((codes & stat->code) != 0) return -kErrStatTwice;
  codes |= stat->code;
  krvstat *set = krvset(opts, level == 2 ? kSetLevel2 : kSetMain);
  for (int32_t k = 0; k < opts->nanalyses; ++k) {
    const double v = opts->values[k];
    set[k].*(stat->field) = krvismissing(v) ? kNotComputed : v;
  }
  return 0;
}

bool complete(uint32_t codes) {
  return (codes & kCodesNeeded) == kCodesNeeded;
}

// The first level must be complete before the lack of a second one is told.
int32_t summaryError(const krvopts *opts, const SummaryState &st) {
  if (st.seen == 0) return -kErrNoObservation;
  if (!complete(st.codes[0])) return -kErrStatLacking;
  if (opts->kind != kKindTwoSample) return 0;
  if (st.nlevels < 2) return -kErrOneLevel;
  return complete(st.codes[1]) ? 0 : -kErrStatLacking;
}

void note(krvopts *opts, int32_t number) {
  xpmlog(kKrvGroup, number, 0, nullptr);
  if (opts->rc < 4) opts->rc = 4;
}

bool given(double v) {
  return v != kNotComputed;
}

void dropStatistics(krvstat *r) {
  r->mean = r->std = r->min = r->max = kNotComputed;
}

void dropRecord(krvstat *r) {
  r->n = r->w = kNotComputed;
  dropStatistics(r);
}

// The fixes of N and MEAN: true when the record goes on to its spread.
bool screenCount(krvopts *opts, krvstat *r) {
  const bool hasMean = given(r->mean), hasStd = given(r->std);
  if (!given(r->n) && !hasMean && !hasStd) {
    note(opts, kNoteNothing);
    r->min = r->max = kNotComputed;
    return false;
  }
  if (!given(r->n)) {
    note(opts, kNoteNoN);
    dropStatistics(r);
    return false;
  }
  if (r->n < 0.0) {
    note(opts, kNoteNegativeN);
    dropRecord(r);
    return false;
  }
  if (r->n != std::floor(r->n)) {
    note(opts, kNoteFractionalN);
    r->n = std::floor(r->n);
  }
  r->w = r->n;
  if (r->n == 0.0) {
    if (hasMean || hasStd) note(opts, kNoteZeroN);
    dropStatistics(r);
    return false;
  }
  if (!hasMean) {
    note(opts, kNoteNoMean);
    dropRecord(r);
    return false;
  }
  return true;
}

// CSS = STD^2 (N - 1), held beyond the range of a double as the reader holds
// an accumulated one.
void storeCss(krvstat *r) {
  const krvwide sd = krvwide_of(r->std);
  krvstat_store_css(r, krvwide_mul(krvwide_mul(sd, sd), krvwide_of(r->n - 1.0)));
}

// The spread of a record with a usable N and MEAN: 0, or -7.
int32_t finishSpread(krvopts *opts, krvstat *r, int32_t slot) {
  if (r->n == 1.0) {
    if (given(r->std)) note(opts, kNoteSingleStd);
    r->std = kNotComputed;
    r->css = 0.0;
    r->min = r->max = r->mean;
    return 0;
  }
  if (!given(r->std) || r->std < 0.0) {
    note(opts, kNoteNoStd);
    dropRecord(r);
    return 0;
  }
  if (r->std > kKrvSqrtMax) return -kErrOverflow;
  r->stderr_mean = r->std / std::sqrt(r->n);
  storeCss(r);
  krvstat_mean_limits(opts, r, slot);
  return 0;
}

int32_t finishLevel(krvopts *opts, int slot) {
  krvstat *set = krvset(opts, slot);
  for (int32_t k = 0; k < opts->nanalyses; ++k) {
    if (!screenCount(opts, &set[k])) continue;
    const int32_t r = finishSpread(opts, &set[k], slot);
    if (r < 0) return r;
  }
  return 0;
}

}  // namespace

int32_t krvread_special(krvopts *opts) {
  krvread_initstat(opts);
  krvread_reset_levels(opts);
  SummaryState st{};
  while (xybyget(opts->reader) > 0) {
    xyvget(opts->reader);
    xofprc(opts->reader);
    ++st.seen;
    const int32_t r = readStatistic(opts, &st);
    if (r < 0) return r;
  }
  const int32_t error = summaryError(opts, st);
  if (error < 0) return error;
  int32_t r = finishLevel(opts, kSetMain);
  if (r == 0 && opts->kind == kKindTwoSample) r = finishLevel(opts, kSetLevel2);
  if (r < 0) return r;
  krvread_finish(opts);
  return krvread_compare_groups(opts);
}

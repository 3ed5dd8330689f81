// One BY group before output: read it once, prepare the level texts, and run
// the analyses of every variable or pair in their fixed order.
#include <cstring>

#include "dsup/src/mcnpool.h"
#include "host/vynsvc.h"
#include "stat/src/krvread.h"
#include "xob/krvanal.h"
#include "xob/krvgraf.h"
#include "xob/krvmsg.h"
#include "xob/krvprocs.h"

namespace {

// Leading and trailing blanks of a formatted text of `width` characters whose
// first `length` characters are its own (NUL bytes included); an all-blank
// text is blank on both sides. Only the pad character counts: levels that
// differ in a tab or another control byte must not be trimmed alike.
void blankCounts(const char *text, int32_t length, int32_t width, int32_t *lead, int32_t *trail) {
  int32_t first = 0;
  while (first < length && text[first] == ' ') ++first;
  if (first == length) {
    *lead = *trail = width;
    return;
  }
  int32_t last = length;
  while (text[last - 1] == ' ') --last;
  *lead = first;
  *trail = width - last;
}

// The two texts without the blanks they share in front and behind, each
// terminated; two blank texts give empty ones.
void trimPair(krvopts *opts, char *const texts[2], const int32_t lengths[2], int32_t width,
              char *trimmed[2], int32_t *trimw) {
  int32_t lead[2], trail[2];
  for (int k = 0; k < 2; ++k) blankCounts(texts[k], lengths[k], width, &lead[k], &trail[k]);
  const int32_t from = lead[0] < lead[1] ? lead[0] : lead[1];
  const int32_t cut = trail[0] < trail[1] ? trail[0] : trail[1];
  const int32_t w = width - from - cut;
  *trimw = w > 0 ? w : 0;
  for (int k = 0; k < 2; ++k) {
    mcn_step_free(trimmed[k]);
    trimmed[k] = static_cast<char *>(mcn_step_alloc(*trimw + 1u));
    if (trimmed[k] == nullptr) krvnomem(opts);
    std::memset(trimmed[k], ' ', *trimw);
    const int32_t own = lengths[k] - from;
    if (own > 0) std::memcpy(trimmed[k], texts[k] + from, own < *trimw ? own : *trimw);
    trimmed[k][*trimw] = '\0';
  }
}

krvstat *rec(krvopts *opts, int slot, int32_t i) {
  return krvset(opts, slot) + i;
}

// The t test (or TOST) of one record: the ratio sets under the normal ratio
// model, else `plain`.
void oneRecord(krvopts *opts, int32_t i, int plain) {
  krvresult *result = &opts->results[i];
  if (opts->ratio_sets && opts->tost) {
    krvone(opts, rec(opts, kSetRatioLower, i), rec(opts, kSetRatioUpper, i), result, i);
    return;
  }
  krvstat *r = rec(opts, opts->ratio_sets ? kSetRatioH0 : plain, i);
  krvone(opts, r, r, result, i);
}

void twoGroups(krvopts *opts, int32_t i, int first, int second, int diff) {
  krvresult *result = &opts->results[i];
  krvqual(opts, rec(opts, first, i), rec(opts, second, i), rec(opts, diff, i), result, i);
  krvuneq(opts, rec(opts, first, i), rec(opts, second, i), rec(opts, diff, i), result, i);
}

void analyse(krvopts *opts, int32_t i) {
  krvresult *result = &opts->results[i];
  switch (opts->kind) {
    case kKindTwoSample:
      twoGroups(opts, i, kSetMain, kSetLevel2, kSetDiff);
      krvqvar(opts, rec(opts, kSetMain, i), rec(opts, kSetLevel2, i), result, i);
      return;
    case kKindCrossover:
      if (opts->ignore_period) {
        oneRecord(opts, i, kSetTrtDiff);
        return;
      }
      twoGroups(opts, i, kSetHalfPrd1, kSetHalfPrd2, kSetTrtCmp);
      krvqvar(opts, rec(opts, kSetHalfPrd1, i), rec(opts, kSetHalfPrd2, i), result, i);
      twoGroups(opts, i, kSetHalfTrt1, kSetHalfTrt2, kSetPrdCmp);
      return;
    default:
      oneRecord(opts, i, kSetMain);
  }
}

// A reading error, with the variables that a group's levels or sequences
// come from: the CLASS variable, or the two CROSSOVER= variables.
void readError(const krvopts *opts, int32_t number) {
  xins inserts[2] = {krvins_text(""), krvins_text("")};
  if (opts->kind == kKindTwoSample && opts->class_name != nullptr) {
    inserts[0] = krvins_text(opts->class_name, opts->class_namelen);
  }
  if (opts->kind == kKindCrossover && opts->xo_name[0] != nullptr && opts->xo_name[1] != nullptr) {
    inserts[0] = krvins_text(opts->xo_name[0], opts->xo_namelen[0]);
    inserts[1] = krvins_text(opts->xo_name[1], opts->xo_namelen[1]);
  }
  xpmlog(kKrvGroup, number, 2, inserts);
}

}  // namespace

int32_t krvproc(krvopts *opts) {
  if (opts->cur != 0) return 0;
  const int32_t r = krvread(opts);
  if (r < 0) {
    readError(opts, -r);
    return r;
  }
  if (r > 0) return r;
  if (opts->kind == kKindTwoSample) {
    trimPair(opts, opts->level_fmt, opts->level_fmtlen, opts->class_fmtw, opts->level_trim,
             &opts->level_trimw);
  }
  if (opts->kind == kKindCrossover) {
    trimPair(opts, opts->trt_fmt, opts->trt_fmtlen, opts->xo_fmtw, opts->trt_trim,
             &opts->trt_trimw);
  }
  opts->note21_issued = 0;
  for (int32_t i = 0; i < opts->nanalyses; ++i) analyse(opts, i);
  if (opts->graphics.produce) krvProduceGraphDataObjects(opts);
  return 0;
}

// Crossover tables: their columns as data and the rows of one response
// pair, by sequence, treatment and period, by the treatment and period
// comparisons and by method. The rows of one sequence's treatment difference
// show the half difference the reading keeps, doubled (or squared).
#include <cstring>

#include "host/vynsvc.h"
#include "xob/krvprocs.h"
#include "xob/krvtab.h"

namespace {

// Crossover table slots.
enum krvc_slot : int32_t {
  kVarInfo = 0,
  kXoStatistics = 1,
  kXoConfLimits = 2,
  kXoKravos = 3,
  kXoEquivLimits = 4,
  kXoEquivTests = 5,
  kXoEquality = 6
};

constexpr krvt_col kColsResponses[] = {krvt_textcol("ResponseVariables", 748, kBufResponses,
                                                    kWidthResponses, kFromResponses,
                                                    "_printResponseVariables")};

constexpr krvt_col kColsVarInfo[] = {krvt_textcol("Period", 746, kBufPeriod, kWidthOne),
                                     krvt_textcol("Response", 747, kBufResponse, kWidthName),
                                     krvt_textcol("Treatment", 745, kBufTreatment, kWidthXoName)};

// Sequence, treatment and period of the statistics rows.
constexpr krvt_col kColsCell[] = {krvt_textcol("Sequence", 749, kBufSequence, kWidthSequence,
                                               kFromRow, nullptr, kSkipIgnorePeriod),
                                  krvt_textcol("Treatment", 745, kBufTreatment, kWidthTreatment),
                                  krvt_textcol("Period", 746, kBufPeriod, kWidthPeriod)};

// Treatment, period and method of the comparisons; only the treatment is
// left with IGNOREPERIOD.
constexpr krvt_col kColsComparison[] = {
    krvt_textcol("Treatment", 745, kBufTreatment, kWidthTreatment),
    krvt_textcol("Period", 746, kBufPeriod, kWidthPeriod, kFromRow, nullptr, kSkipIgnorePeriod),
    krvt_textcol("Method", 721, kBufMethod, kWidthMethod, kFromRow, nullptr, kSkipIgnorePeriod),
    {"Variances", 722, kFormText, kBufVariances, "CVs", 649, kSkipIgnorePeriod, kPrintNone,
     kWidthVariances}};

constexpr krvt_col kColsMethod[] = {
    krvt_textcol("Method", 721, kBufMethod, kWidthMethod, kFromRow, nullptr, kSkipIgnorePeriod),
    {"Variances", 722, kFormText, kBufVariances, "CVs", 649, kSkipIgnorePeriod, kPrintNone,
     kWidthVariances}};

constexpr krvt_cols kResponses = krvt_run(kColsResponses);
constexpr krvt_cols kComparison = krvt_run(kColsComparison);

constexpr krvt_table kTables[] = {
    {"CrossoverVarInfo", 642, 642, kAttrNone, {kResponses, krvt_run(kColsVarInfo)}},
    {"Statistics",
     700,
     700,
     kAttrNone,
     {kResponses, krvt_run(kColsCell), krvt_run(kColsCount), krvt_run(kColsMean),
      krvt_run(kColsDispersion), krvt_run(kColsGroupExtremes)}},
    {"ConfLimits",
     713,
     713,
     kAttrConf,
     {kResponses, krvt_run(kColsCell), krvt_run(kColsMethod), krvt_run(kColsMean),
      krvt_run(kColsConfDispersion)}},
    {"Kravos", 720, 720, kAttrNone, {kResponses, kComparison, krvt_run(kColsGroupTest)}},
    {"EquivLimits", 640, 640, kAttrEquiv, {kResponses, kComparison, krvt_run(kColsEquivLimits)}},
    {"EquivTests", 641, 641, kAttrNone, {kResponses, kComparison, krvt_run(kColsEquivTests)}},
    {"Equality", 730, 730, kAttrNone, {kResponses, krvt_run(kColsFoldedF)}}};

constexpr krvt_kind kKind = {kTables, 7};

const krvstat *record(krvopts *opts, int set) {
  return &krvset(opts, set)[opts->cur];
}

krvt_text treatment(const krvopts *opts, int k) {
  const char *trt = opts->trt_trim[k];
  return {trt, 0, trt == nullptr ? 0 : opts->trt_trimw};
}

krvt_text digit(const char *d) {
  return {d, 0, 1};
}

// Where a statistics row sits: sequence, treatment and period texts, its
// set, and whether it shows a half difference whole.
struct krvc_cell {
  krvt_text sequence, treatment, period;
  int set;
  bool derived;
};

// The rows of Statistics and ConfLimits in order: the four cells, then
// either each sequence's treatment difference and the two comparisons, or
// (IGNOREPERIOD) the treatment difference of all subjects.
int32_t cellRows(krvopts *opts, krvt_row rows[8]) {
  const krvt_text diff = krvt_message(krvt_difference_text(opts));
  const krvt_text both = krvt_message(kMsgBothSequences);
  const krvc_cell cells[8] = {{digit("1"), treatment(opts, 0), digit("1"), kSetA1, false},
                              {digit("2"), treatment(opts, 0), digit("2"), kSetA2, false},
                              {digit("2"), treatment(opts, 1), digit("1"), kSetB1, false},
                              {digit("1"), treatment(opts, 1), digit("2"), kSetB2, false},
                              {digit("1"), diff, {}, kSetHalfTrt1, true},
                              {digit("2"), diff, {}, kSetHalfTrt2, true},
                              {both, diff, {}, kSetTrtCmp, false},
                              {both, {}, diff, kSetPrdCmp, false}};
  for (int k = 0; k < 8; ++k) {
    rows[k] = krvt_row{.rec = record(opts, cells[k].set), .derived = cells[k].derived};
    rows[k].text[kBufSequence] = cells[k].sequence;
    rows[k].text[kBufTreatment] = cells[k].treatment;
    rows[k].text[kBufPeriod] = cells[k].period;
  }
  if (!opts->ignore_period) return 8;
  rows[4] = krvt_row{.rec = record(opts, kSetTrtDiff)};
  rows[4].text[kBufTreatment] = diff;
  if (opts->ratio_sets) rows[4].extremes = record(opts, kSetRatio);
  return 5;
}

// The row of `base` under one method: pooled, Satterthwaite or Cochran.
krvt_row methodRow(krvt_row base, int32_t method) {
  base.text[kBufMethod] = krvt_message(method);
  base.text[kBufVariances] = krvt_message(method == kMsgPooled ? kMsgEqual : kMsgUnequal);
  return base;
}

// The comparison rows of treatment (`period` false) or period, on the
// record of that comparison.
krvt_row comparisonRow(krvopts *opts, bool period) {
  const int set = opts->ignore_period ? kSetTrtDiff : period ? kSetPrdCmp : kSetTrtCmp;
  krvt_row row{.rec = record(opts, set)};
  row.text[period ? kBufPeriod : kBufTreatment] = krvt_message(krvt_difference_text(opts));
  return row;
}

int32_t fillVarInfo(krvopts *opts) {
  const krvstat *s = record(opts, kSetMain);
  krvt_row rows[2];
  xvinfo names[2] = {};
  for (int k = 0; k < 2; ++k) {
    xvname(opts->data, s->varnum[k], &names[k]);
    rows[k].rec = s;
    rows[k].text[kBufPeriod] = digit(k == 0 ? "1" : "2");
    rows[k].text[kBufResponse] = {names[k].name, 0, names[k].namelen};
    rows[k].text[kBufTreatment] = {opts->xo_name[k], 0, opts->xo_namelen[k]};
  }
  return krvt_fill(opts, kKind, kVarInfo, rows, 2);
}

// Rows 7 and 8 of the scheme become a pooled and a Satterthwaite row each.
int32_t fillConfLimits(krvopts *opts) {
  krvt_row cells[8];
  const int32_t count = cellRows(opts, cells);
  if (opts->ignore_period) return krvt_fill(opts, kKind, kXoConfLimits, cells, count);
  krvt_row rows[10];
  for (int k = 0; k < 6; ++k) rows[k] = cells[k];
  for (int k = 0; k < 2; ++k) {
    rows[6 + 2 * k] = methodRow(cells[6 + k], kMsgPooled);
    rows[7 + 2 * k] = methodRow(cells[6 + k], kMsgSatterthwaite);
    rows[7 + 2 * k].unequal = true;
    rows[7 + 2 * k].no_dispersion = true;
  }
  return krvt_fill(opts, kKind, kXoConfLimits, rows, 10);
}

// The Cochran rows need COCHRAN and unweighted data.
int32_t fillKravos(krvopts *opts) {
  const krvresult &r = opts->results[opts->cur];
  if (opts->ignore_period) {
    krvt_row row = comparisonRow(opts, false);
    row.v[0] = r.test_xo1.t;
    row.v[1] = r.test_xo1.df;
    row.v[2] = r.test_xo1.p;
    return krvt_fill(opts, kKind, kXoKravos, &row, 1);
  }
  const bool cochran = opts->cochran != 0 && opts->weight_var == -1;
  krvt_row rows[6];
  int32_t count = 0;
  for (int c : {kXoTreatment, kXoPeriod}) {
    const krvttest &uneq = r.uneq_xo.test[c];
    const struct {
      int32_t method;
      double t, df, p;
    } tests[3] = {{kMsgPooled, r.test_xo[c].t, r.test_xo[c].df, r.test_xo[c].p},
                  {kMsgSatterthwaite, uneq.t, uneq.df, uneq.p},
                  {kMsgCochran, uneq.t, r.uneq_xo.cochran[c].df, r.uneq_xo.cochran[c].p}};
    for (int k = 0; k < (cochran ? 3 : 2); ++k) {
      krvt_row &row = rows[count++];
      row = methodRow(comparisonRow(opts, c == kXoPeriod), tests[k].method);
      row.v[0] = tests[k].t;
      row.v[1] = tests[k].df;
      row.v[2] = tests[k].p;
    }
  }
  return krvt_fill(opts, kKind, kXoKravos, rows, count);
}

// The equivalence rows: per comparison a pooled and a Satterthwaite row, or
// the one row of IGNOREPERIOD; three test rows for each of them.
int32_t fillEquivalence(krvopts *opts, int32_t slot) {
  const krvresult &r = opts->results[opts->cur];
  krvt_row bases[4];
  krvt_tost tosts[4];
  int32_t count = 0;
  if (opts->ignore_period) {
    bases[count] = comparisonRow(opts, false);
    tosts[count++] = krvt_tost_of(r.equiv_xo1);
  } else {
    for (int c : {kXoTreatment, kXoPeriod}) {
      bases[count] = methodRow(comparisonRow(opts, c == kXoPeriod), kMsgPooled);
      tosts[count++] = krvt_tost_of(r.equiv_xo[c]);
      bases[count] = methodRow(comparisonRow(opts, c == kXoPeriod), kMsgSatterthwaite);
      tosts[count++] = krvt_tost_of(r.uneq_equiv_xo[c]);
    }
  }
  krvt_row rows[12];
  for (int32_t k = 0; k < count; ++k) {
    if (slot == kXoEquivLimits) {
      rows[k] = krvt_limits_row(bases[k], tosts[k]);
    } else {
      krvt_test_rows(opts, bases[k], tosts[k], rows + 3 * k);
    }
  }
  return krvt_fill(opts, kKind, slot, rows, slot == kXoEquivLimits ? count : 3 * count);
}

int32_t fillEquality(krvopts *opts) {
  return krvt_fill_folded_f(opts, kKind, kXoEquality, opts->results[opts->cur].foldf_xo,
                            record(opts, kSetTrtCmp));
}

}  // namespace

int32_t krvoc0(krvopts *opts) {
  return krvt_define(opts, kKind);
}

krvt_kind krvo_tablesc() {
  return kKind;
}

int32_t krvoc1(krvopts *opts, int32_t slot) {
  switch (slot) {
    case kVarInfo:
      return fillVarInfo(opts);
    case kXoStatistics: {
      krvt_row rows[8];
      const int32_t count = cellRows(opts, rows);
      return krvt_fill(opts, kKind, slot, rows, count);
    }
    case kXoConfLimits:
      return fillConfLimits(opts);
    case kXoKravos:
      return fillKravos(opts);
    case kXoEquivLimits:
    case kXoEquivTests:
      return fillEquivalence(opts, slot);
    case kXoEquality:
      return fillEquality(opts);
    default:
      return krvt_fill(opts, kKind, slot, nullptr, 0);
  }
}

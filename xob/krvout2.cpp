// Two-sample tables: their columns as data and the rows of one analysis,
// by level, by the difference of the levels and by method.
#include <array>

#include "stat/src/krvmiss.h"
#include "xob/krvprocs.h"
#include "xob/krvtab.h"

namespace {

constexpr krvt_col kColsVariable[] = {
    krvt_textcol("Variable", 701, kBufName1, kWidthName, kFromName1, "_printVariable")};

// Labelled by the CLASS variable's own name.
constexpr krvt_col kColsClass[] = {krvt_textcol("Class", kLabelClassName, kBufClass, kWidthClass)};

constexpr krvt_col kColsMethod[] = {
    krvt_textcol("Method", 721, kBufMethod, kWidthMethod),
    {"Variances", 722, kFormText, kBufVariances, "CVs", 649, 0, kPrintNone, kWidthVariances}};

constexpr krvt_cols kVariable = krvt_run(kColsVariable);
constexpr krvt_cols kClass = krvt_run(kColsClass);
constexpr krvt_cols kMethod = krvt_run(kColsMethod);

constexpr krvt_table kTables[] = {
    {"Statistics",
     700,
     700,
     kAttrNone,
     {kVariable, kClass, krvt_run(kColsCount), krvt_run(kColsMean), krvt_run(kColsDispersion),
      krvt_run(kColsGroupExtremes)}},
    {"ConfLimits",
     713,
     713,
     kAttrConf,
     {kVariable, kClass, kMethod, krvt_run(kColsMean), krvt_run(kColsConfDispersion)}},
    {"Kravos", 720, 720, kAttrNone, {kVariable, kMethod, krvt_run(kColsGroupTest)}},
    {"EquivLimits", 640, 640, kAttrEquiv, {kVariable, kClass, kMethod, krvt_run(kColsEquivLimits)}},
    {"EquivTests", 641, 641, kAttrNone, {kVariable, kMethod, krvt_run(kColsEquivTests)}},
    {"Equality", 730, 650, kAttrNone, {kVariable, krvt_run(kColsFoldedF)}}};

constexpr krvt_kind kKind = {kTables, 6};

const krvstat *record(krvopts *opts, int set) {
  return &krvset(opts, set)[opts->cur];
}

// A row of level k (0 or 1), or of the difference of the levels when k is -1.
krvt_row levelRow(krvopts *opts, int k) {
  if (k >= 0) {
    krvt_row row{.rec = record(opts, k == 0 ? kSetMain : kSetLevel2)};
    const char *level = opts->level_trim[k];
    row.text[kBufClass] = {level, 0, level == nullptr ? 0 : opts->level_trimw};
    return row;
  }
  // The ratio of two normal means has no dispersion of its own here.
  krvt_row row{.rec = record(opts, kSetDiff), .no_dispersion = opts->normal_ratio != 0};
  row.text[kBufClass] = krvt_message(krvt_difference_text(opts));
  return row;
}

// The row of `base` under one method: pooled, Satterthwaite or Cochran.
krvt_row methodRow(krvt_row base, int32_t method) {
  base.text[kBufMethod] = krvt_message(method);
  base.text[kBufVariances] = krvt_message(method == kMsgPooled ? kMsgEqual : kMsgUnequal);
  return base;
}

int32_t fillStatistics(krvopts *opts) {
  const krvt_row rows[3] = {levelRow(opts, 0), levelRow(opts, 1), levelRow(opts, -1)};
  return krvt_fill(opts, kKind, kStatistics, rows, 3);
}

int32_t fillConfLimits(krvopts *opts) {
  krvt_row unequal = methodRow(levelRow(opts, -1), kMsgSatterthwaite);
  unequal.unequal = true;
  unequal.no_dispersion = true;
  const krvt_row rows[4] = {levelRow(opts, 0), levelRow(opts, 1),
                            methodRow(levelRow(opts, -1), kMsgPooled), unequal};
  return krvt_fill(opts, kKind, kConfLimits, rows, 4);
}

// The Cochran row needs COCHRAN and unweighted data.
int32_t fillKravos(krvopts *opts) {
  const krvresult &r = opts->results[opts->cur];
  const struct {
    int32_t method;
    double t, df, p;
  } tests[3] = {{kMsgPooled, r.test.t, r.test.df, r.test.p},
                {kMsgSatterthwaite, r.uneq.t, r.uneq.df, r.uneq.p},
                {kMsgCochran, r.uneq.t, r.uneq.cochran_df, r.uneq.cochran_p}};
  krvt_row rows[3];
  for (int k = 0; k < 3; ++k) {
    rows[k] = methodRow(krvt_row{.rec = record(opts, kSetDiff)}, tests[k].method);
    rows[k].v[0] = tests[k].t;
    rows[k].v[1] = tests[k].df;
    rows[k].v[2] = tests[k].p;
  }
  const bool cochran = opts->cochran != 0 && opts->weight_var == -1;
  return krvt_fill(opts, kKind, kKravos, rows, cochran ? 3 : 2);
}

int32_t fillEquivalence(krvopts *opts, int32_t slot) {
  const krvresult &r = opts->results[opts->cur];
  const krvt_row pooled = methodRow(levelRow(opts, -1), kMsgPooled);
  const krvt_row unequal = methodRow(levelRow(opts, -1), kMsgSatterthwaite);
  const krvt_tost tosts[2] = {krvt_tost_of(r.equiv), krvt_tost_of(r.uneq_equiv)};
  if (slot == kEquivLimits) {
    const krvt_row rows[2] = {krvt_limits_row(pooled, tosts[0]),
                              krvt_limits_row(unequal, tosts[1])};
    return krvt_fill(opts, kKind, slot, rows, 2);
  }
  krvt_row rows[6];
  krvt_test_rows(opts, pooled, tosts[0], rows);
  krvt_test_rows(opts, unequal, tosts[1], rows + 3);
  return krvt_fill(opts, kKind, slot, rows, 6);
}

int32_t fillEquality(krvopts *opts) {
  return krvt_fill_folded_f(opts, kKind, kEquality, opts->results[opts->cur].foldf,
                            record(opts, kSetDiff));
}

}  // namespace

int32_t krvo20(krvopts *opts) {
  return krvt_define(opts, kKind);
}

krvt_kind krvo_tables2() {
  return kKind;
}

int32_t krvo21(krvopts *opts, int32_t slot) {
  switch (slot) {
    case kStatistics:
      return fillStatistics(opts);
    case kConfLimits:
      return fillConfLimits(opts);
    case kKravos:
      return fillKravos(opts);
    case kEquivLimits:
    case kEquivTests:
      return fillEquivalence(opts, slot);
    case kEquality:
      return fillEquality(opts);
    default:
      return krvt_fill(opts, kKind, slot, nullptr, 0);
  }
}

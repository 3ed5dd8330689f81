// One-sample and paired tables: their columns as data and the rows of one
// analysis. A paired table names the pair where a one-sample table names
// its variable.
#include "xob/krvout1.h"

#include <array>

#include "xob/krvprocs.h"
#include "xob/krvtab.h"

namespace {

constexpr krvt_col kColsVariable[] = {
    krvt_textcol("Variable", 601, kBufName1, kWidthName, kFromName1, "_printVariable")};

constexpr krvt_col kColsPair[] = {
    krvt_textcol("Variable1", 591, kBufName1, kWidthName, kFromName1),
    krvt_textcol("Variable2", 592, kBufName2, kWidthName, kFromName2),
    krvt_textcol("Difference", 593, kBufPair, kWidthPair, kFromPair, "_printDifference",
                 kSkipRatio),
    krvt_textcol("Ratio", 594, kBufPair, kWidthPair, kFromPair, "_printRatio", kSkipDiff)};

constexpr krvt_col kColsExtremes[] = {{"Minimum", 613, kFormValue, kFieldMin},
                                      {"Maximum", 614, kFormValue, kFieldMax}};

constexpr krvt_col kColsTest[] = {{"tValue", 621, kFormValue, kFieldV0},
                                  {"DF", 622, kFormValue, kFieldV1},
                                  {"Probt", 0, kFormProbtSides, kFieldV2}};

// The five tables, each led by the identifier columns `id`.
constexpr std::array<krvt_table, 5> tablesLedBy(krvt_cols id) {
  return {{{"Statistics",
            600,
            600,
            kAttrNone,
            {id, krvt_run(kColsCount), krvt_run(kColsMean), krvt_run(kColsDispersion),
             krvt_run(kColsExtremes)}},
           {"ConfLimits",
            602,
            602,
            kAttrConf,
            {id, krvt_run(kColsMean), krvt_run(kColsConfDispersion)}},
           {"Kravos", 620, 620, kAttrNone, {id, krvt_run(kColsTest)}},
           {"EquivLimits", 640, 640, kAttrEquiv, {id, krvt_run(kColsEquivLimits)}},
           {"EquivTests", 641, 641, kAttrNone, {id, krvt_run(kColsEquivTests)}}}};
}

constexpr auto kOneSampleTables = tablesLedBy(krvt_run(kColsVariable));
constexpr auto kPairedTables = tablesLedBy(krvt_run(kColsPair));

krvt_kind kindOf(int32_t paired) {
  const auto &tables = paired ? kPairedTables : kOneSampleTables;
  return {tables.data(), static_cast<int32_t>(tables.size())};
}

// The kept row on the records of the current analysis; the ratio of two
// normal means takes its extremes from the ratio set.
krvt_row &statisticsRow(krvopts *opts) {
  krvt_row &row = krvt_kept_row(opts);
  row.rec = &krvset(opts, kSetMain)[opts->cur];
  row.extremes = opts->ratio_sets ? &krvset(opts, kSetRatio)[opts->cur] : nullptr;
  return row;
}

}  // namespace

int32_t krvo_0(krvopts *opts, int32_t paired) {
  return krvt_define(opts, kindOf(paired));
}

int32_t krvo_1(krvopts *opts, int32_t slot, int32_t paired) {
  krvt_row &row = statisticsRow(opts);
  const krvresult &r = opts->results[opts->cur];
  if (slot == kKravos) {
    row.v[0] = r.test.t;
    row.v[1] = r.test.df;
    row.v[2] = r.test.p;
  } else if (slot == kEquivLimits) {
    const krvt_row limits = krvt_limits_row(row, krvt_tost_of(r.equiv));
    return krvt_fill(opts, kindOf(paired), slot, &limits, 1);
  } else if (slot == kEquivTests) {
    krvt_row rows[3];
    krvt_test_rows(opts, row, krvt_tost_of(r.equiv), rows);
    return krvt_fill(opts, kindOf(paired), slot, rows, 3);
  }
  return krvt_fill(opts, kindOf(paired), slot, &row, 1);
}

krvt_kind krvo_tables1(int32_t paired) {
  return kindOf(paired);
}

int32_t krvo10(krvopts *opts) {
  return krvo_0(opts, 0);
}
int32_t krvop0(krvopts *opts) {
  return krvo_0(opts, 1);
}
int32_t krvo11(krvopts *opts, int32_t slot) {
  return krvo_1(opts, slot, 0);
}
int32_t krvop1(krvopts *opts, int32_t slot) {
  return krvo_1(opts, slot, 1);
}

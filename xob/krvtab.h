// The one table layer of every analysis kind: which tables a kind emits,
// each table's columns as data, the define phase that creates a table from
// its columns and the fill phase that writes a row into the cells and text
// buffers those columns read.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>

#include "hostcm/wob.h"
#include "stat/src/krvstat.h"
#include "xob/kravo.h"

// Text buffers the character columns read.
constexpr int kBufName1 = 0;      // Variable, Variable1
constexpr int kBufName2 = 2;      // Variable2
constexpr int kBufClass = 2;      // Class
constexpr int kBufMethod = 3;     // Method
constexpr int kBufPair = 4;       // Difference, Ratio
constexpr int kBufVariances = 5;  // Variances, CVs
constexpr int kBufAssess = 6;     // Assessment
constexpr int kBufTest = 7;       // Test
constexpr int kBufLowerCmp = 8;   // LowerComparator
constexpr int kBufUpperCmp = 9;   // UpperComparator
constexpr int kBufResponse = 0;   // Response of CrossoverVarInfo
constexpr int kBufTreatment = 2;  // Treatment
constexpr int kBufResponses = 4;  // ResponseVariables
constexpr int kBufSequence = 6;   // Sequence (never in a table with Assessment)
constexpr int kBufPeriod = 10;    // Period

// Row texts of the catalogue: the variance assumptions, the methods, the
// difference and ratio texts and the folded F test.
constexpr int32_t kMsgUnequal = 23;
constexpr int32_t kMsgEqual = 24;
constexpr int32_t kMsgSatterthwaite = 28;
constexpr int32_t kMsgCochran = 29;
constexpr int32_t kMsgDiff = 507;
constexpr int32_t kMsgRatio = 508;
constexpr int32_t kMsgFoldedF = 509;
constexpr int32_t kMsgPooled = 752;
constexpr int32_t kMsgBothSequences = 510;

// Table slots shared by the one-sample, paired and two-sample kinds.
enum krvt_slot : int32_t {
  kStatistics = 0,
  kConfLimits = 1,
  kKravos = 2,
  kEquivLimits = 3,
  kEquivTests = 4,
  kEquality = 5
};

// Which limits of the standard deviation a PrintIt column follows.
enum krvt_print : uint8_t { kPrintNone, kPrintSd, kPrintEqual, kPrintUmpu };

// How a column is defined.
enum krvt_form : uint8_t {
  kFormValue,       // numeric column with the summary code "s"
  kFormProbF,       // numeric column with the p-value code "p"
  kFormPlain,       // plain double column, with a PrintIt attribute unless kPrintNone
  kFormProbt,       // p-value column headed by its label's text
  kFormProbtSides,  // p-value column headed by the text of the SIDES= option
  kFormComparator,  // one-character comparator column
  kFormText         // character column
};

// What a numeric column shows: a statistic of the row's record, a TOST
// bound, or one of the row's own values.
enum krvt_field : uint8_t {
  kFieldN,
  kFieldMean,
  kFieldLclm,
  kFieldUclm,
  kFieldStd,
  kFieldLclStd,
  kFieldUclStd,
  kFieldUmpuLclStd,
  kFieldUmpuUclStd,
  kFieldStdErr,
  kFieldMin,
  kFieldMax,
  kFieldLowerBound,
  kFieldUpperBound,
  kFieldV0,
  kFieldV1,
  kFieldV2,
  kFieldV3
};

// How wide a character column is.
enum krvt_width : uint8_t {
  kWidthOne,         // one position
  kWidthName,        // the longest analysis variable name
  kWidthPair,        // the longest pair text
  kWidthClass,       // the longer of the levels and the difference text
  kWidthMethod,      // the method texts, with Cochran's when requested
  kWidthVariances,   // the variance texts
  kWidthAssessment,  // the assessment texts
  kWidthTest,        // the equivalence test names
  kWidthFoldedF,     // the folded F text
  kWidthResponses,   // the two responses of a crossover pair and a blank
  kWidthSequence,    // the text of both sequences
  kWidthTreatment,   // the longer of the treatments and the difference text
  kWidthPeriod,      // the difference text
  kWidthXoName       // the longer CROSSOVER= variable name
};

// What fills a character column: the row's own text, or a name of the
// analysis written once for all its rows (a crossover pair's responses are
// joined by one blank).
enum krvt_source : uint8_t { kFromRow, kFromName1, kFromName2, kFromPair, kFromResponses };

// A column is left out when one of its skip flags holds.
enum krvt_skip : uint8_t {
  kSkipLognormal = 1,     // under DIST=LOGNORMAL
  kSkipRatioSets = 2,     // with the ratio statistics sets
  kSkipRatio = 4,         // on the ratio scale
  kSkipDiff = 8,          // on the difference scale
  kSkipIgnorePeriod = 16  // with IGNOREPERIOD
};

// The label of a character column named by the CLASS variable itself.
constexpr int32_t kLabelClassName = -1;

// One column: its name and label, its lognormal twin (null: the same), how
// it is defined, the field or text buffer it reads, and its rules.
struct krvt_col {
  const char *name;
  int32_t label;
  krvt_form form;
  uint8_t read;  // a krvt_field, or the text buffer of a character column
  const char *logname = nullptr;
  int32_t loglabel = 0;
  uint8_t skip = 0;  // krvt_skip flags
  krvt_print print = kPrintNone;
  krvt_width width = kWidthOne;
  krvt_source source = kFromRow;
  const char *printattr = nullptr;  // print attribute of a character column
};

// A character column in text buffer `buffer`.
constexpr krvt_col krvt_textcol(const char *name, int32_t label, int buffer, krvt_width width,
                                krvt_source source = kFromRow, const char *printattr = nullptr,
                                uint8_t skip = 0) {
  return {name,  label,  kFormText, static_cast<uint8_t>(buffer), nullptr, 0, skip, kPrintNone,
          width, source, printattr};
}

// A run of columns that several tables share.
struct krvt_cols {
  const krvt_col *cols;
  int32_t count;
};

template <size_t N>
constexpr krvt_cols krvt_run(const krvt_col (&cols)[N]) {
  return {cols, static_cast<int32_t>(N)};
}

// Attributes a table carries after its first run of columns.
enum krvt_attrs : uint8_t { kAttrNone, kAttrConf, kAttrEquiv };

constexpr int kKrvtRuns = 6;

// One table: name, label and lognormal label, attributes and column runs.
struct krvt_table {
  const char *name;
  int32_t label;
  int32_t loglabel;
  krvt_attrs attrs;
  krvt_cols runs[kKrvtRuns];
};

// The tables of a kind by slot.
struct krvt_kind {
  const krvt_table *tables;
  int32_t count;
};

// Column runs several kinds share: the count, the mean and its limits, the
// dispersion statistics, the dispersion limits of ConfLimits, the extremes,
// t tests and folded F of the group comparisons (two-sample and crossover),
// and the columns of the equivalence limits and tests after their identifiers.
inline constexpr krvt_col kColsCount[] = {{"N", 603, kFormValue, kFieldN}};

inline constexpr krvt_col kColsMean[] = {
    {"Mean", 605, kFormValue, kFieldMean, "GeomMean", 643, kSkipRatioSets},
    {"LowerCLMean", 604, kFormValue, kFieldLclm, "LowerCLGeomMean", 604, kSkipRatioSets},
    {"UpperCLMean", 606, kFormValue, kFieldUclm, "UpperCLGeomMean", 606, kSkipRatioSets}};

inline constexpr krvt_col kColsDispersion[] = {
    {"StdDev", 609, kFormValue, kFieldStd, "CV", 644, kSkipRatioSets},
    {"LowerCLStdDev", 607, kFormPlain, kFieldLclStd, "LowerCLCV", 645, kSkipRatioSets},
    {"UpperCLStdDev", 611, kFormPlain, kFieldUclStd, "UpperCLCV", 646, kSkipRatioSets},
    {"UMPULowerCLStdDev", 608, kFormPlain, kFieldUmpuLclStd, "UMPULowerCLCV", 647, kSkipRatioSets},
    {"UMPUUpperCLStdDev", 610, kFormPlain, kFieldUmpuUclStd, "UMPUUpperCLCV", 648, kSkipRatioSets},
    {"StdErr", 612, kFormValue, kFieldStdErr, nullptr, 0, kSkipRatioSets | kSkipLognormal}};

inline constexpr krvt_col kColsConfDispersion[] = {
    {"StdDev", 609, kFormPlain, kFieldStd, "CV", 644, 0, kPrintSd},
    {"LowerCLStdDev", 607, kFormPlain, kFieldLclStd, "LowerCLCV", 645, 0, kPrintEqual},
    {"UpperCLStdDev", 611, kFormPlain, kFieldUclStd, "UpperCLCV", 646, 0, kPrintEqual},
    {"UMPULowerCLStdDev", 608, kFormPlain, kFieldUmpuLclStd, "UMPULowerCLCV", 647, 0, kPrintUmpu},
    {"UMPUUpperCLStdDev", 610, kFormPlain, kFieldUmpuUclStd, "UMPUUpperCLCV", 648, 0, kPrintUmpu}};

inline constexpr krvt_col kColsGroupExtremes[] = {{"Minimum", 711, kFormValue, kFieldMin},
                                                  {"Maximum", 712, kFormValue, kFieldMax}};

inline constexpr krvt_col kColsGroupTest[] = {{"tValue", 723, kFormValue, kFieldV0},
                                              {"DF", 724, kFormValue, kFieldV1},
                                              {"Probt", 0, kFormProbtSides, kFieldV2}};

inline constexpr krvt_col kColsFoldedF[] = {krvt_textcol("Method", 731, kBufMethod, kWidthFoldedF),
                                            {"NumDF", 733, kFormValue, kFieldV0},
                                            {"DenDF", 734, kFormValue, kFieldV1},
                                            {"FValue", 732, kFormValue, kFieldV2},
                                            {"ProbF", 735, kFormProbF, kFieldV3}};

inline constexpr krvt_col kColsEquivLimits[] = {
    {"Mean", 605, kFormValue, kFieldMean, "GeomMean", 643},
    {"LowerBound", 631, kFormValue, kFieldLowerBound},
    {"LowerComparator", 0, kFormComparator, kBufLowerCmp},
    {"LowerCLMean", 604, kFormValue, kFieldV0, "LowerCLGeomMean", 604},
    {"UpperCLMean", 606, kFormValue, kFieldV1, "UpperCLGeomMean", 606},
    {"UpperComparator", 0, kFormComparator, kBufUpperCmp},
    {"UpperBound", 632, kFormValue, kFieldUpperBound},
    krvt_textcol("Assessment", 741, kBufAssess, kWidthAssessment)};

inline constexpr krvt_col kColsEquivTests[] = {krvt_textcol("Test", 740, kBufTest, kWidthTest),
                                               {"Null", 630, kFormValue, kFieldV0},
                                               {"tValue", 621, kFormValue, kFieldV1},
                                               {"DF", 622, kFormValue, kFieldV2},
                                               {"Probt", 626, kFormProbt, kFieldV3}};

// A selected column of a table and its place among the selected columns
// (the row-buffer cell of a value column), with the statistic a plain row
// shows in it straight from its record (null when it is worked out).
struct krvt_plan_col {
  const krvt_col *col;
  int32_t pos;
  double krvstat::*stat;
};

// The columns a fill of table `table` walks, for the options of the step:
// the cells filled from each row, those a plain row fills straight from its
// record and those every row fills from its own values apart, and the names
// of the analysis.
struct krvt_plan {
  const krvt_table *table;
  krvt_plan_col *stats;
  int32_t nstats;
  krvt_plan_col *values;
  int32_t nvalues;
  krvt_plan_col *cells;
  int32_t ncells;
  krvt_plan_col *names;
  int32_t nnames;
};

// The name of a variable of an analysis as its fills write it; `len` 0 until
// it is looked up.
struct krvt_name {
  uint16_t len;
  char text[33];
};

// The names of analysis `analysis` from `source`, written by a fill into the
// text buffer at `buffer`; a buffer written since by anything else holds
// none (`buffer` null).
struct krvt_held {
  const char *buffer;
  int32_t analysis;
  krvt_source source;
};

// A character cell: catalogue text `msg` when positive, else the `len`
// characters at `s` (blank when null). The pointer leads, so that the twelve
// texts of a row, made for every row, hold no padding.
struct krvt_text {
  const char *s;
  int32_t msg;
  int32_t len;
};

// One row: the record its statistics columns read (and the record of its
// Minimum and Maximum, when other), its own values and texts.
struct krvt_row {
  const krvstat *rec = nullptr;
  const krvstat *extremes = nullptr;
  bool unequal = false;        // the unequal-variance limits of the mean
  bool no_dispersion = false;  // the dispersion cells have nothing to show
  // A half difference shown whole: its statistics doubled on the normal
  // scale, squared (with the CV of twice the log difference) on the lognormal.
  bool derived = false;
  double v[4] = {};
  krvt_text text[kKrvLabels] = {};
};

// The limits, tests and verdict of one equivalence analysis.
struct krvt_tost {
  double lcl, ucl;
  double t_lower, t_upper, df_lower, df_upper, p_lower, p_upper;
  int32_t lower_inside, upper_inside, equivalent;
};

krvt_tost krvt_tost_of(const krvequiv &e);
krvt_tost krvt_tost_of(const krvuneqequiv &e);

// The text of the difference of two means: 507, or 508 on the ratio scale.
int32_t krvt_difference_text(const krvopts *opts);

// Set in `fill_selected` once the tables a step produces are worked out.
constexpr uint8_t kKrvtSelectionKnown = 0x80;
static_assert(kKrvTables < 8);

// Whether table `slot` is produced, worked out from the kind and options of
// `opts`.
bool krvt_selected_by_options(const krvopts *opts, int32_t slot);

// Whether table `slot` is produced for the kind and options of `opts`; the
// same answer serves the define, fill and release phases. Every analysis of
// every BY group asks it of each table, so the answer the step worked out
// is read inline.
inline bool krvt_selected(const krvopts *opts, int32_t slot) {
  if (slot < 0 || slot >= kKrvTables) return false;
  if ((opts->fill_selected & kKrvtSelectionKnown) != 0) {
    return ((opts->fill_selected >> slot) & 1) != 0;
  }
  return krvt_selected_by_options(opts, slot);
}

// The tables produced for the kind and options of `opts`, bit t for table t.
inline uint8_t krvt_selection(const krvopts *opts) {
  if ((opts->fill_selected & kKrvtSelectionKnown) != 0) {
    return static_cast<uint8_t>(opts->fill_selected & ~kKrvtSelectionKnown);
  }
  uint8_t tables = 0;
  for (int32_t slot = 0; slot < kKrvTables; ++slot) {
    if (krvt_selected_by_options(opts, slot)) tables |= static_cast<uint8_t>(1u << slot);
  }
  return tables;
}
// The slot of the table the equivalence heading comes before.
int32_t krvt_equiv_slot(const krvopts *opts);

// Defines every selected table of `kind`; the status of the last table end.
int32_t krvt_define(krvopts *opts, krvt_kind kind);
// The tables of each analysis kind by slot: one-sample (paired 0) and paired
// (paired 1), two-sample, crossover.
krvt_kind krvo_tables1(int32_t paired);
krvt_kind krvo_tables2();
krvt_kind krvo_tablesc();
// Makes the texts every output of a table passes: the template path of each
// table of `kind` and the attribute name "TOPSPACE". Made before the first BY
// group, they last the whole step, so no BY group makes them again; so does
// the answer of krvt_selected for each table.
void krvt_step_texts(krvopts *opts, krvt_kind kind);
// The output calls of a fill: the table's output opened before its first
// row, emitted after its last. A fill that does both for one row makes them
// one call where the host has it.
enum krvt_output : uint8_t { kOutputOpen = 1, kOutputEmit = 2 };

// Fills and emits `rows` in table `slot` of `kind`, opening and emitting the
// table's output as `opts->fill_output` asks; the status of the last row
// emitted. Each output of a table takes its rows from one fill.
int32_t krvt_fill(krvopts *opts, krvt_kind kind, int32_t slot, const krvt_row *rows, int32_t count);

// The statistics row kept from fill to fill, blank at its first use: its
// callers write its records and values for each fill and leave its texts
// blank, so that no fill makes a whole row anew.
krvt_row &krvt_kept_row(krvopts *opts);

// Frees the plans, the names the fills made, the record of the names the
// text buffers hold and the kept row.
void krvt_release_plans(krvopts *opts);

// Fills the folded-F table `slot` of `kind`: one row of `f` on record `rec`.
int32_t krvt_fill_folded_f(krvopts *opts, krvt_kind kind, int32_t slot, const krvfoldf &f,
                           const krvstat *rec);

// The equivalence-limits row of `tost` on top of `base`, and its three test
// rows (lower bound, upper bound, overall).
krvt_row krvt_limits_row(krvt_row base, const krvt_tost &tost);
void krvt_test_rows(const krvopts *opts, const krvt_row &base, const krvt_tost &tost,
                    krvt_row out[3]);

// Catalogue text `n` as a cell text.
constexpr krvt_text krvt_message(int32_t n) {
  return {nullptr, n, 0};
}

// Blank-fills text buffer `index` and copies `parts` into it, as far as it
// holds them; the length written.
int32_t krvt_fill_buffer(krvopts *opts, int index,
                         std::initializer_list<std::pair<const char *, int32_t>> parts);

// One-sample and paired tables. The define phase creates the tables and
// binds each value column to the row-buffer cell at its position and each
// character column to a text buffer; the fill phase copies one analysis's
// statistics and results into those cells and buffers and emits the rows.
// Both phases walk the same column lists, so a cell is always written where
// its column reads.
#include "xob/krvout1.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <utility>

#include "host/vynsvc.h"
#include "hostcm/wob.h"
#include "stat/src/krvmiss.h"
#include "stat/src/krvstat.h"
#include "xob/krvmsg.h"
#include "xob/krvprocs.h"
#include "xob/krvtab.h"
#include "xob/ulxlib.h"

namespace {

// Table slots.
enum krvo_slot : int32_t {
  kStatistics = 0,
  kConfLimits = 1,
  kKravos = 2,
  kEquivLimits = 3,
  kEquivTests = 4,
  kSlotCount = 5
};

// Text buffers the tables read.
constexpr int kBufName1 = 0;     // Variable, Variable1
constexpr int kBufName2 = 2;     // Variable2
constexpr int kBufPair = 4;      // Difference, Ratio
constexpr int kBufAssess = 6;    // Assessment
constexpr int kBufTest = 7;      // Test
constexpr int kBufLowerCmp = 8;  // LowerComparator
constexpr int kBufUpperCmp = 9;  // UpperComparator

// How a column is defined.
enum krvo_form : uint8_t {
  kFormValue,       // through ulxinsc with code "s"
  kFormPlain,       // plain double column
  kFormPrintIt,     // plain double column with a PrintIt attribute
  kFormComparator,  // one-character comparator column
  kFormText         // text column in its own buffer
};

using krvo_print = krvt_print;

// What a column shows.
enum krvo_field : uint8_t {
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
  kFieldRatioMin,
  kFieldRatioMax,
  kFieldT,
  kFieldDf,
  kFieldTostLower,
  kFieldTostUpper,
  kFieldEquivLcl,
  kFieldEquivUcl,
  kFieldLowerCmp,
  kFieldUpperCmp,
  kFieldAssessment
};

// One column: its normal name and label, its lognormal twin (null when it
// has none), how it is defined and what it shows.
struct krvo_col {
  const char *name;
  int32_t label;
  const char *logname;
  int32_t loglabel;
  krvo_form form;
  krvo_field field;
  krvo_print print;
};

constexpr krvo_col kStatisticsCols[] = {
    {"N", 603, "N", 603, kFormValue, kFieldN, kPrintNone},
    {"Mean", 605, "GeomMean", 643, kFormValue, kFieldMean, kPrintNone},
    {"LowerCLMean", 604, "LowerCLGeomMean", 604, kFormValue, kFieldLclm, kPrintNone},
    {"UpperCLMean", 606, "UpperCLGeomMean", 606, kFormValue, kFieldUclm, kPrintNone},
    {"StdDev", 609, "CV", 644, kFormValue, kFieldStd, kPrintNone},
    {"LowerCLStdDev", 607, "LowerCLCV", 645, kFormPlain, kFieldLclStd, kPrintNone},
    {"UpperCLStdDev", 611, "UpperCLCV", 646, kFormPlain, kFieldUclStd, kPrintNone},
    {"UMPULowerCLStdDev", 608, "UMPULowerCLCV", 647, kFormPlain, kFieldUmpuLclStd, kPrintNone},
    {"UMPUUpperCLStdDev", 610, "UMPUUpperCLCV", 648, kFormPlain, kFieldUmpuUclStd, kPrintNone},
    {"StdErr", 612, nullptr, 0, kFormValue, kFieldStdErr, kPrintNone},
    {"Minimum", 613, "Minimum", 613, kFormValue, kFieldMin, kPrintNone},
    {"Maximum", 614, "Maximum", 614, kFormValue, kFieldMax, kPrintNone}};

// The ratio of two normal means has no mean or dispersion of its own here.
constexpr krvo_col kRatioStatisticsCols[] = {
    {"N", 603, "N", 603, kFormValue, kFieldN, kPrintNone},
    {"Minimum", 613, "Minimum", 613, kFormValue, kFieldRatioMin, kPrintNone},
    {"Maximum", 614, "Maximum", 614, kFormValue, kFieldRatioMax, kPrintNone}};

constexpr krvo_col kConfLimitsCols[] = {
    {"Mean", 605, "GeomMean", 643, kFormValue, kFieldMean, kPrintNone},
    {"LowerCLMean", 604, "LowerCLGeomMean", 604, kFormValue, kFieldLclm, kPrintNone},
    {"UpperCLMean", 606, "UpperCLGeomMean", 606, kFormValue, kFieldUclm, kPrintNone},
    {"StdDev", 609, "CV", 644, kFormPrintIt, kFieldStd, kPrintSd},
    {"LowerCLStdDev", 607, "LowerCLCV", 645, kFormPrintIt, kFieldLclStd, kPrintEqual},
    {"UpperCLStdDev", 611, "UpperCLCV", 646, kFormPrintIt, kFieldUclStd, kPrintEqual},
    {"UMPULowerCLStdDev", 608, "UMPULowerCLCV", 647, kFormPrintIt, kFieldUmpuLclStd, kPrintUmpu},
    {"UMPUUpperCLStdDev", 610, "UMPUUpperCLCV", 648, kFormPrintIt, kFieldUmpuUclStd, kPrintUmpu}};

constexpr krvo_col kEquivLimitsCols[] = {
    {"Mean", 605, "GeomMean", 643, kFormValue, kFieldMean, kPrintNone},
    {"LowerBound", 631, "LowerBound", 631, kFormValue, kFieldTostLower, kPrintNone},
    {"LowerComparator", 0, "LowerComparator", 0, kFormComparator, kFieldLowerCmp, kPrintNone},
    {"LowerCLMean", 604, "LowerCLGeomMean", 604, kFormValue, kFieldEquivLcl, kPrintNone},
    {"UpperCLMean", 606, "UpperCLGeomMean", 606, kFormValue, kFieldEquivUcl, kPrintNone},
    {"UpperComparator", 0, "UpperComparator", 0, kFormComparator, kFieldUpperCmp, kPrintNone},
    {"UpperBound", 632, "UpperBound", 632, kFormValue, kFieldTostUpper, kPrintNone},
    {"Assessment", 741, "Assessment", 741, kFormText, kFieldAssessment, kPrintNone}};

struct krvo_list {
  const krvo_col *cols;
  int32_t count;
};

template <size_t N>
constexpr krvo_list listOf(const krvo_col (&cols)[N]) {
  return {cols, static_cast<int32_t>(N)};
}

// Messages of the equivalence texts: assessments, then test names.
constexpr int32_t kAssessments[] = {501, 502, 503};
constexpr int32_t kTestNames[] = {504, 505, 506};

// The table being defined or filled and the position of its next column.
using krvo_table = krvtab;

// ---- values ---------------------------------------------------------------

const krvstat *mainRecord(krvopts *opts) {
  return &krvset(opts, kSetMain)[opts->cur];
}

const krvstat *ratioRecord(krvopts *opts) {
  return &krvset(opts, kSetRatio)[opts->cur];
}

const krvresult *results(const krvopts *opts) {
  return &opts->results[opts->cur];
}

double statValue(krvopts *opts, krvo_field field) {
  const krvstat *s = mainRecord(opts);
  const bool ln = opts->lognormal != 0;
  switch (field) {
    case kFieldN:
      return s->n;
    case kFieldMean:
      return ln ? s->gmean : s->mean;
    case kFieldLclm:
      return ln ? s->lclgm : s->lclm;
    case kFieldUclm:
      return ln ? s->uclgm : s->uclm;
    case kFieldStd:
      return ln ? s->cv : s->std;
    case kFieldLclStd:
      return ln ? s->lclcv : s->lclstd;
    case kFieldUclStd:
      return ln ? s->uclcv : s->uclstd;
    case kFieldUmpuLclStd:
      return ln ? s->lclcv_umpu : s->lclstd_umpu;
    case kFieldUmpuUclStd:
      return ln ? s->uclcv_umpu : s->uclstd_umpu;
    case kFieldStdErr:
      return s->stderr_mean;
    case kFieldMin:
      return s->min;
    case kFieldMax:
      return s->max;
    case kFieldRatioMin:
      return ratioRecord(opts)->min;
    case kFieldRatioMax:
      return ratioRecord(opts)->max;
    default:
      return kNotComputed;
  }
}

double cellValue(krvopts *opts, krvo_field field) {
  const krvresult *r = results(opts);
  switch (field) {
    case kFieldT:
      return r->test.t;
    case kFieldDf:
      return r->test.df;
    case kFieldTostLower:
      return opts->tost_lower;
    case kFieldTostUpper:
      return opts->tost_upper;
    case kFieldEquivLcl:
      return r->equiv.lcl;
    case kFieldEquivUcl:
      return r->equiv.ucl;
    default:
      return statValue(opts, field);
  }
}

// ---- defining -------------------------------------------------------------

void identifierColumns(krvo_table *t) {
  krvopts *opts = t->opts;
  const int32_t namew = std::max(opts->maxnamelen, 1);
  if (!t->paired) {
    krvt_text(t, "Variable", krvt_msg(601), kBufName1, namew, "_printVariable");
    return;
  }
  krvt_text(t, "Variable1", krvt_msg(591), kBufName1, namew, nullptr);
  krvt_text(t, "Variable2", krvt_msg(592), kBufName2, namew, nullptr);
  const int32_t pairw = std::max(opts->maxpairlen + 3, 1);
  if (opts->ratio != 0) {
    krvt_text(t, "Ratio", krvt_msg(594), kBufPair, pairw, "_printRatio");
  } else {
    krvt_text(t, "Difference", krvt_msg(593), kBufPair, pairw, "_printDifference");
  }
}

void listColumns(krvo_table *t, krvo_list list) {
  const bool ln = t->opts->lognormal != 0;
  for (int32_t i = 0; i < list.count; ++i) {
    const krvo_col &c = list.cols[i];
    if (ln && c.logname == nullptr) continue;
    const char *col = ln ? c.logname : c.name;
    const int32_t label = ln ? c.loglabel : c.label;
    switch (c.form) {
      case kFormValue:
        krvt_value(t, col, label);
        break;
      case kFormPlain:
      case kFormPrintIt:
        krvt_plain(t, col, label, c.print);
        break;
      case kFormComparator:
        krvt_comparator(t, col, c.field == kFieldLowerCmp ? kBufLowerCmp : kBufUpperCmp);
        break;
      case kFormText:
        krvt_text(t, col, krvt_msg(label), kBufAssess,
                  krvt_longest({kAssessments[0], kAssessments[1], kAssessments[2]}), nullptr);
        break;
    }
  }
}

krvo_table beginTable(krvopts *opts, bool paired, int32_t slot, const char *tname, int32_t label) {
  krvo_table t = krvt_begin(opts, slot, tname, label);
  t.paired = paired;
  identifierColumns(&t);
  return t;
}

int32_t defineStatistics(krvopts *opts, bool paired) {
  krvo_table t = beginTable(opts, paired, kStatistics, "Statistics", 600);
  listColumns(&t, opts->ratio_sets ? listOf(kRatioStatisticsCols) : listOf(kStatisticsCols));
  return krvt_end(&t);
}

int32_t defineConfLimits(krvopts *opts, bool paired) {
  krvo_table t = beginTable(opts, paired, kConfLimits, "ConfLimits", 602);
  const double level = krvt_level(opts->alpha);
  krvt_attr(&t, "confmean", wobp_double(kKeyValue, level));
  krvt_attr(&t, opts->lognormal ? "confcv" : "confstd", wobp_double(kKeyValue, level));
  krvt_attr(&t, "reqspace", wobp_int(kKeyValue, 3));
  listColumns(&t, listOf(kConfLimitsCols));
  return krvt_end(&t);
}

int32_t probtHeader(const krvopts *opts) {
  if (opts->sides == 1) return 624;
  return opts->sides == 2 ? 625 : 623;
}

int32_t defineKravos(krvopts *opts, bool paired) {
  krvo_table t = beginTable(opts, paired, kKravos, "Kravos", 620);
  krvt_value(&t, "tValue", 621);
  krvt_value(&t, "DF", 622);
  krvt_prob(&t, probtHeader(opts));
  return krvt_end(&t);
}

int32_t defineEquivLimits(krvopts *opts, bool paired) {
  krvo_table t = beginTable(opts, paired, kEquivLimits, "EquivLimits", 640);
  const auto level = static_cast<int32_t>(krvt_level(2.0 * opts->alpha));
  krvt_attr(&t, "confequiv", wobp_int(kKeyValue, level));
  listColumns(&t, listOf(kEquivLimitsCols));
  return krvt_end(&t);
}

int32_t defineEquivTests(krvopts *opts, bool paired) {
  krvo_table t = beginTable(opts, paired, kEquivTests, "EquivTests", 641);
  krvt_text(&t, "Test", krvt_msg(740), kBufTest,
            krvt_longest({kTestNames[0], kTestNames[1], kTestNames[2]}), nullptr);
  krvt_value(&t, "Null", 630);
  krvt_value(&t, "tValue", 621);
  krvt_value(&t, "DF", 622);
  krvt_prob(&t, 626);
  return krvt_end(&t);
}

// ---- filling --------------------------------------------------------------

int32_t identifierCount(bool paired) {
  return paired ? 3 : 1;
}

// Blank-fills text buffer `buffer` and copies `parts` into it, as far as it
// holds them.
void fillBuffer(krvopts *opts, int buffer,
                std::initializer_list<std::pair<const char *, size_t>> parts) {
  char *out = opts->label[buffer];
  const auto size = static_cast<size_t>(std::max(opts->label_size[buffer], 0));
  if (out == nullptr || size == 0) return;
  std::memset(out, ' ', size);
  size_t used = 0;
  for (const auto &[text, len] : parts) {
    const size_t n = std::min(len, size - used);
    std::memcpy(out + used, text, n);
    used += n;
  }
}

void fillIdentifiers(krvopts *opts, bool paired) {
  const krvstat *s = mainRecord(opts);
  xvinfo first{};
  xvname(opts->data, s->varnum[0], &first);
  fillBuffer(opts, kBufName1, {{first.name, first.namelen}});
  if (!paired) return;
  xvinfo second{};
  xvname(opts->data, s->varnum[1], &second);
  fillBuffer(opts, kBufName2, {{second.name, second.namelen}});
  fillBuffer(opts, kBufPair,
             {{first.name, first.namelen},
              {opts->ratio ? " / " : " - ", 3},
              {second.name, second.namelen}});
}

// Writes catalogue text `number` into a blank-filled text buffer.
void fillMessage(krvopts *opts, int buffer, int32_t number) {
  fillBuffer(opts, buffer, {});
  if (opts->label[buffer] != nullptr)
    xpmstr(opts->label[buffer], opts->label_size[buffer], kKrvGroup, number);
}

// "<" when the limit lies inside its bound, ">" when outside, blank when it
// could not be computed.
void fillComparator(krvopts *opts, int buffer, int32_t inside) {
  const char *c = inside == 1 ? "<" : inside == 0 ? ">" : " ";
  fillBuffer(opts, buffer, {{c, 1}});
}

void fillAssessment(krvopts *opts, int32_t equivalent) {
  if (equivalent < -1 || equivalent > 1) {
    fillBuffer(opts, kBufAssess, {});
    return;
  }
  fillMessage(opts, kBufAssess, kAssessments[1 - equivalent]);
}

void fillList(krvopts *opts, bool paired, krvo_list list) {
  const bool ln = opts->lognormal != 0;
  const krvequiv &eq = results(opts)->equiv;
  int32_t pos = identifierCount(paired);
  for (int32_t i = 0; i < list.count; ++i) {
    const krvo_col &c = list.cols[i];
    if (ln && c.logname == nullptr) continue;
    switch (c.field) {
      case kFieldLowerCmp:
        fillComparator(opts, kBufLowerCmp, eq.lower_inside);
        break;
      case kFieldUpperCmp:
        fillComparator(opts, kBufUpperCmp, eq.upper_inside);
        break;
      case kFieldAssessment:
        fillAssessment(opts, eq.equivalent);
        break;
      default:
        opts->row[pos] = krvt_screened(cellValue(opts, c.field));
    }
    ++pos;
  }
}

void fillKravos(krvopts *opts, bool paired) {
  const krvttest &test = results(opts)->test;
  double *cell = &opts->row[identifierCount(paired)];
  cell[0] = krvt_screened(test.t);
  cell[1] = krvt_screened(test.df);
  cell[2] = krvt_screened(test.p);
}

// The overall p-value of the two one-sided tests: the larger of the two when
// both are known.
double overallP(const krvequiv &eq) {
  if (krvismissing(eq.p_lower) || krvismissing(eq.p_upper)) return krvmissing('.');
  return std::max(eq.p_lower, eq.p_upper);
}

int32_t fillEquivTests(krvopts *opts, bool paired) {
  const krvequiv &eq = results(opts)->equiv;
  const double blank = krvmissing('_');
  struct row {
    int32_t test;
    double null, t, df, p;
  };
  const row rows[3] = {{kTestNames[1], opts->tost_lower, eq.t_lower, eq.df, eq.p_lower},
                       {kTestNames[0], opts->tost_upper, eq.t_upper, eq.df, eq.p_upper},
                       {kTestNames[2], blank, blank, blank, overallP(eq)}};
  double *cell = &opts->row[identifierCount(paired) + 1];
  int32_t status = 0;
  for (const row &r : rows) {
    fillMessage(opts, kBufTest, r.test);
    cell[0] = krvt_screened(r.null);
    cell[1] = krvt_screened(r.t);
    cell[2] = krvt_screened(r.df);
    cell[3] = krvt_screened(r.p);
    status = krvt_emit(opts, kEquivTests);
  }
  return status;
}

}  // namespace

int32_t krvo_0(krvopts *opts, int32_t paired) {
  const bool pair = paired != 0;
  opts->ntables = kSlotCount;
  int32_t status = defineStatistics(opts, pair);
  if (!opts->ratio_sets) status = defineConfLimits(opts, pair);
  if (!opts->tost) status = defineKravos(opts, pair);
  if (opts->tost && !opts->ratio_sets) status = defineEquivLimits(opts, pair);
  if (opts->tost) status = defineEquivTests(opts, pair);
  return status;
}

int32_t krvo_1(krvopts *opts, int32_t slot, int32_t paired) {
  const bool pair = paired != 0;
  if (slot < 0 || slot >= kSlotCount || opts->table_tmpl[slot] == nullptr) {
    xebug("krvo_1: table %d is not defined", slot);
    return kWobNoMethod;
  }
  fillIdentifiers(opts, pair);
  switch (slot) {
    case kStatistics:
      fillList(opts, pair,
               opts->ratio_sets ? listOf(kRatioStatisticsCols) : listOf(kStatisticsCols));
      break;
    case kConfLimits:
      fillList(opts, pair, listOf(kConfLimitsCols));
      break;
    case kKravos:
      fillKravos(opts, pair);
      break;
    case kEquivLimits:
      fillList(opts, pair, listOf(kEquivLimitsCols));
      break;
    default:
      return fillEquivTests(opts, pair);
  }
  return krvt_emit(opts, slot);
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

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

// Half the spacing of doubles at 1; 1000 of them keep a confidence level
// such as 100 (1 - 2 alpha) from falling just below its whole number.
constexpr double kEps = 1.1102230246251565e-16;

// How a column is defined.
enum krvo_form : uint8_t {
  kFormValue,       // through ulxinsc with code "s"
  kFormPlain,       // plain double column
  kFormPrintIt,     // plain double column with a PrintIt attribute
  kFormComparator,  // one-character comparator column
  kFormText         // text column in its own buffer
};

// Which limits of the standard deviation a PrintIt column follows.
enum krvo_print : uint8_t { kPrintNone, kPrintSd, kPrintEqual, kPrintUmpu };

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
struct krvo_table {
  krvopts *opts;
  void *table;
  int32_t pos;
  bool paired;
};

// ---- values ---------------------------------------------------------------

// A NaN goes in as it is; a statistic never computed becomes the host
// missing value.
double screened(double v) {
  return v == kNotComputed ? krvmissing('.') : v;
}

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

void *msg(int32_t number) {
  return ulxmsg(kKrvGroup, number);
}

void *name(const char *s) {
  return ulxtxt(s, static_cast<int32_t>(std::strlen(s)));
}

// A table creation or end the host refuses ends the step.
void checkTableCall(krvopts *opts, int32_t status) {
  if (status >= 0) return;
  xprrlog(0, status);
  opts->failed = 1;
  xexit(status, 0);
}

void addColumn(krvo_table *t, int32_t count, wobprop *props) {
  wobmth(t->table, nullptr, kMthColumn, count, props);
  ++t->pos;
}

void setAttribute(krvo_table *t, const char *attr, wobprop value) {
  wobprop props[2] = {wobp_ptr(kKeyAttribute, kWobText, name(attr)), value};
  wobmth(t->table, nullptr, kMthAttribute, 2, props);
}

// Width of a character column: at least 1 and never beyond its buffer.
int32_t bufferWidth(const krvopts *opts, int buffer, int32_t width) {
  return std::clamp(width, 1, std::max(opts->label_size[buffer], 1));
}

// A character column shown at a fixed width; `print` names its print
// attribute, or is null.
void textColumn(krvo_table *t, const char *col, int32_t label, int buffer, int32_t width,
                const char *print) {
  krvopts *opts = t->opts;
  const int32_t w = bufferWidth(opts, buffer, width);
  wobprop props[11] = {wobp_int(kKeyColumnType, 6),
                       wobp_ptr(kKeyName, kWobText, name(col)),
                       wobp_ptr(kKeyLabel, kWobText, msg(label)),
                       wobp_ptr(kKeyCell, kWobCell, opts->label[buffer]),
                       wobp_int(kKeyStorage, w),
                       wobp_ptr(kKeyAttribute, kWobText, name("MinimumWidth")),
                       wobp_int(kKeyValue, w),
                       wobp_ptr(kKeyAttribute, kWobText, name("MaximumWidth")),
                       wobp_int(kKeyValue, w),
                       wobp_ptr(kKeyAttribute, kWobText, print == nullptr ? nullptr : name(print)),
                       wobp_bool(kKeyValue, opts->nobyvar != 0)};
  addColumn(t, print == nullptr ? 9 : 11, props);
}

void identifierColumns(krvo_table *t) {
  krvopts *opts = t->opts;
  const int32_t namew = std::max(opts->maxnamelen, 1);
  if (!t->paired) {
    textColumn(t, "Variable", 601, kBufName1, namew, "_printVariable");
    return;
  }
  textColumn(t, "Variable1", 591, kBufName1, namew, nullptr);
  textColumn(t, "Variable2", 592, kBufName2, namew, nullptr);
  const int32_t pairw = std::max(opts->maxpairlen + 3, 1);
  if (opts->ratio != 0) {
    textColumn(t, "Ratio", 594, kBufPair, pairw, "_printRatio");
  } else {
    textColumn(t, "Difference", 593, kBufPair, pairw, "_printDifference");
  }
}

void valueColumn(krvo_table *t, const char *col, int32_t label) {
  ulxinsc(t->table, msg(label), col, "s", &t->opts->row[t->pos]);
  ++t->pos;
}

bool printIt(const krvopts *opts, krvo_print print) {
  switch (print) {
    case kPrintSd:
      return opts->ci_equal != 0 || opts->ci_umpu != 0;
    case kPrintEqual:
      return opts->ci_equal != 0;
    default:
      return opts->ci_umpu != 0;
  }
}

void plainColumn(krvo_table *t, const char *col, int32_t label, krvo_print print) {
  wobprop props[6] = {wobp_int(kKeyColumnType, 5),
                      wobp_ptr(kKeyName, kWobText, name(col)),
                      wobp_ptr(kKeyLabel, kWobText, msg(label)),
                      wobp_ptr(kKeyCell, kWobCell, &t->opts->row[t->pos]),
                      wobp_ptr(kKeyAttribute, kWobText, name("PrintIt")),
                      wobp_bool(kKeyValue, print != kPrintNone && printIt(t->opts, print))};
  addColumn(t, print == kPrintNone ? 4 : 6, props);
}

// A p-value column: no label, its header comes from message `header`.
void probColumn(krvo_table *t, int32_t header) {
  wobprop props[5] = {wobp_int(kKeyColumnType, 5), wobp_ptr(kKeyName, kWobText, name("Probt")),
                      wobp_ptr(kKeyCell, kWobCell, &t->opts->row[t->pos]),
                      wobp_ptr(kKeyAttribute, kWobText, name("ProbtHeader")),
                      wobp_ptr(kKeyValue, kWobText, msg(header))};
  addColumn(t, 5, props);
}

void comparatorColumn(krvo_table *t, const char *col, int buffer) {
  wobprop props[5] = {wobp_int(kKeyColumnType, 6), wobp_ptr(kKeyName, kWobText, name(col)),
                      wobp_ptr(kKeyCell, kWobCell, t->opts->label[buffer]),
                      wobp_int(kKeyStorage, 1), wobp_int(kKeyWidth, 1)};
  addColumn(t, 5, props);
}

// The longest of the catalogue texts `numbers`, at least 1.
int32_t longestText(const int32_t (&numbers)[3]) {
  int32_t longest = 1;
  for (int32_t n : numbers) longest = std::max(longest, xpmstr(nullptr, 0, kKrvGroup, n));
  return longest;
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
        valueColumn(t, col, label);
        break;
      case kFormPlain:
      case kFormPrintIt:
        plainColumn(t, col, label, c.print);
        break;
      case kFormComparator:
        comparatorColumn(t, col, c.field == kFieldLowerCmp ? kBufLowerCmp : kBufUpperCmp);
        break;
      case kFormText:
        textColumn(t, col, label, kBufAssess, longestText(kAssessments), nullptr);
        break;
    }
  }
}

krvo_table beginTable(krvopts *opts, bool paired, int32_t slot, const char *tname, int32_t label) {
  char *path = opts->table_path[slot];
  std::memset(path, 0, kKrvPathSize);
  std::memcpy(path, "Stat.Kravo.", 11);
  std::strncat(path, tname, kKrvPathSize - 12);
  wobprop create[6] = {
      wobp_str(kKeyNameSpace, "ulx", 3),          wobp_str(kKeyKind, "data", 4),
      wobp_ptr(kKeyCreated, kWobObject, nullptr), wobp_int(kKeyOption, -1),
      wobp_ptr(kKeyLabel, kWobText, msg(label)),  wobp_ptr(kKeyName, kWobText, name(tname))};
  checkTableCall(opts, wobmth(opts->outmgr, nullptr, kMthCreate, 6, create));
  opts->table_tmpl[slot] = create[2].v.p;
  krvo_table t{opts, create[2].v.p, 0, paired};
  identifierColumns(&t);
  return t;
}

int32_t endTable(krvo_table *t) {
  const int32_t status = wobmth(t->table, nullptr, kMthEndTable, 0, nullptr);
  checkTableCall(t->opts, status);
  return status;
}

int32_t defineStatistics(krvopts *opts, bool paired) {
  krvo_table t = beginTable(opts, paired, kStatistics, "Statistics", 600);
  listColumns(&t, opts->ratio_sets ? listOf(kRatioStatisticsCols) : listOf(kStatisticsCols));
  return endTable(&t);
}

// The confidence level of a 100 (1 - a)% interval, kept off the whole
// number just below it.
double confidenceLevel(double a) {
  return 100.0 * (1.0 - a) + 1000.0 * kEps;
}

int32_t defineConfLimits(krvopts *opts, bool paired) {
  krvo_table t = beginTable(opts, paired, kConfLimits, "ConfLimits", 602);
  const double level = confidenceLevel(opts->alpha);
  setAttribute(&t, "confmean", wobp_double(kKeyValue, level));
  setAttribute(&t, opts->lognormal ? "confcv" : "confstd", wobp_double(kKeyValue, level));
  setAttribute(&t, "reqspace", wobp_int(kKeyValue, 3));
  listColumns(&t, listOf(kConfLimitsCols));
  return endTable(&t);
}

int32_t probtHeader(const krvopts *opts) {
  if (opts->sides == 1) return 624;
  return opts->sides == 2 ? 625 : 623;
}

int32_t defineKravos(krvopts *opts, bool paired) {
  krvo_table t = beginTable(opts, paired, kKravos, "Kravos", 620);
  valueColumn(&t, "tValue", 621);
  valueColumn(&t, "DF", 622);
  probColumn(&t, probtHeader(opts));
  return endTable(&t);
}

int32_t defineEquivLimits(krvopts *opts, bool paired) {
  krvo_table t = beginTable(opts, paired, kEquivLimits, "EquivLimits", 640);
  const auto level = static_cast<int32_t>(confidenceLevel(2.0 * opts->alpha));
  setAttribute(&t, "confequiv", wobp_int(kKeyValue, level));
  listColumns(&t, listOf(kEquivLimitsCols));
  return endTable(&t);
}

int32_t defineEquivTests(krvopts *opts, bool paired) {
  krvo_table t = beginTable(opts, paired, kEquivTests, "EquivTests", 641);
  textColumn(&t, "Test", 740, kBufTest, longestText(kTestNames), nullptr);
  valueColumn(&t, "Null", 630);
  valueColumn(&t, "tValue", 621);
  valueColumn(&t, "DF", 622);
  probColumn(&t, 626);
  return endTable(&t);
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
        opts->row[pos] = screened(cellValue(opts, c.field));
    }
    ++pos;
  }
}

int32_t emitRow(krvopts *opts, int32_t slot) {
  return wobmth(opts->table_tmpl[slot], nullptr, kMthRow, 0, nullptr);
}

void fillKravos(krvopts *opts, bool paired) {
  const krvttest &test = results(opts)->test;
  double *cell = &opts->row[identifierCount(paired)];
  cell[0] = screened(test.t);
  cell[1] = screened(test.df);
  cell[2] = screened(test.p);
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
    cell[0] = screened(r.null);
    cell[1] = screened(r.t);
    cell[2] = screened(r.df);
    cell[3] = screened(r.p);
    status = emitRow(opts, kEquivTests);
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
  return emitRow(opts, slot);
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

// Two-sample tables. The define phase creates the six tables of the
// comparison of two CLASS levels and binds each value column to the
// row-buffer cell at its position and each character column to a text
// buffer; the fill phase writes one analysis's rows (by level, by the
// difference of the levels and by method) into those cells and buffers and
// emits them. The widths of the character columns are measured when the
// tables are defined.
#include <algorithm>
#include <cstring>
#include <initializer_list>

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
enum krvo2_slot : int32_t {
  kStatistics = 0,
  kConfLimits = 1,
  kKravos = 2,
  kEquivLimits = 3,
  kEquivTests = 4,
  kEquality = 5,
  kSlotCount = 6
};

// Text buffers the tables read.
constexpr int kBufName = 0;       // Variable
constexpr int kBufClass = 2;      // Class
constexpr int kBufMethod = 3;     // Method
constexpr int kBufVariances = 5;  // Variances, CVs
constexpr int kBufAssess = 6;     // Assessment
constexpr int kBufTest = 7;       // Test
constexpr int kBufLowerCmp = 8;   // LowerComparator
constexpr int kBufUpperCmp = 9;   // UpperComparator

// Row texts of the catalogue.
constexpr int32_t kMsgUnequal = 23;
constexpr int32_t kMsgEqual = 24;
constexpr int32_t kMsgSatterthwaite = 28;
constexpr int32_t kMsgCochran = 29;
constexpr int32_t kMsgDiff = 507;
constexpr int32_t kMsgRatio = 508;
constexpr int32_t kMsgFoldedF = 509;
constexpr int32_t kMsgPooled = 752;
constexpr int32_t kAssessments[] = {501, 502, 503};
constexpr int32_t kTestUpper = 504;
constexpr int32_t kTestLower = 505;
constexpr int32_t kTestOverall = 506;

using krvo2_print = krvt_print;

// What a column of Statistics or ConfLimits shows from a statistics record.
enum krvo2_field : uint8_t {
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
  kFieldMax
};

// A value column: its normal name and label, its lognormal twin (null when
// it has none), whether it is a plain double column, and its print rule.
struct krvo2_col {
  const char *name;
  int32_t label;
  const char *logname;
  int32_t loglabel;
  bool plain;
  krvo2_field field;
  krvo2_print print;
};

constexpr krvo2_col kStatisticsCols[] = {
    {"N", 603, "N", 603, false, kFieldN, kPrintNone},
    {"Mean", 605, "GeomMean", 643, false, kFieldMean, kPrintNone},
    {"LowerCLMean", 604, "LowerCLGeomMean", 604, false, kFieldLclm, kPrintNone},
    {"UpperCLMean", 606, "UpperCLGeomMean", 606, false, kFieldUclm, kPrintNone},
    {"StdDev", 609, "CV", 644, false, kFieldStd, kPrintNone},
    {"LowerCLStdDev", 607, "LowerCLCV", 645, true, kFieldLclStd, kPrintNone},
    {"UpperCLStdDev", 611, "UpperCLCV", 646, true, kFieldUclStd, kPrintNone},
    {"UMPULowerCLStdDev", 608, "UMPULowerCLCV", 647, true, kFieldUmpuLclStd, kPrintNone},
    {"UMPUUpperCLStdDev", 610, "UMPUUpperCLCV", 648, true, kFieldUmpuUclStd, kPrintNone},
    {"StdErr", 612, nullptr, 0, false, kFieldStdErr, kPrintNone},
    {"Minimum", 711, "Minimum", 711, false, kFieldMin, kPrintNone},
    {"Maximum", 712, "Maximum", 712, false, kFieldMax, kPrintNone}};

constexpr krvo2_col kConfLimitsCols[] = {
    {"Mean", 605, "GeomMean", 643, false, kFieldMean, kPrintNone},
    {"LowerCLMean", 604, "LowerCLGeomMean", 604, false, kFieldLclm, kPrintNone},
    {"UpperCLMean", 606, "UpperCLGeomMean", 606, false, kFieldUclm, kPrintNone},
    {"StdDev", 609, "CV", 644, true, kFieldStd, kPrintSd},
    {"LowerCLStdDev", 607, "LowerCLCV", 645, true, kFieldLclStd, kPrintEqual},
    {"UpperCLStdDev", 611, "UpperCLCV", 646, true, kFieldUclStd, kPrintEqual},
    {"UMPULowerCLStdDev", 608, "UMPULowerCLCV", 647, true, kFieldUmpuLclStd, kPrintUmpu},
    {"UMPUUpperCLStdDev", 610, "UMPUUpperCLCV", 648, true, kFieldUmpuUclStd, kPrintUmpu}};

struct krvo2_list {
  const krvo2_col *cols;
  int32_t count;
};

template <size_t N>
constexpr krvo2_list listOf(const krvo2_col (&cols)[N]) {
  return {cols, static_cast<int32_t>(N)};
}

// The first value column of each table, after its character columns.
constexpr int32_t kStatisticsValues = 2;  // Variable, Class
constexpr int32_t kConfLimitsValues = 4;  // Variable, Class, Method, Variances
constexpr int32_t kKravosValues = 3;      // Variable, Method, Variances
constexpr int32_t kEquivTestsValues = 4;  // Variable, Method, Variances, Test
constexpr int32_t kEqualityValues = 2;    // Variable, Method

// Cells of the value columns of EquivLimits, between its character columns.
enum krvo2_equiv_cell : int32_t {
  kCellMean = 4,
  kCellLowerBound = 5,
  kCellLowerCl = 7,
  kCellUpperCl = 8,
  kCellUpperBound = 10
};

using krvo2_table = krvtab;

// ---- values ---------------------------------------------------------------

const krvstat *record(krvopts *opts, int set) {
  return &krvset(opts, set)[opts->cur];
}

const krvresult *results(const krvopts *opts) {
  return &opts->results[opts->cur];
}

// Where a row of Statistics or ConfLimits takes its values: the record, its
// unequal-variance limits of the mean instead of the pooled ones, and
// whether the dispersion cells have nothing to show.
struct krvo2_source {
  const krvstat *rec;
  bool unequal;
  bool no_dispersion;
};

double meanLimit(const krvopts *opts, const krvo2_source &src, bool upper) {
  const krvstat *s = src.rec;
  if (opts->lognormal) {
    if (src.unequal) return upper ? s->uclgm_u : s->lclgm_u;
    return upper ? s->uclgm : s->lclgm;
  }
  if (src.unequal) return upper ? s->uclm_u : s->lclm_u;
  return upper ? s->uclm : s->lclm;
}

double dispersion(const krvopts *opts, const krvstat *s, krvo2_field field) {
  const bool ln = opts->lognormal != 0;
  switch (field) {
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
    default:
      return s->stderr_mean;
  }
}

double sourceValue(const krvopts *opts, const krvo2_source &src, krvo2_field field) {
  const krvstat *s = src.rec;
  switch (field) {
    case kFieldN:
      return s->n;
    case kFieldMean:
      return opts->lognormal ? s->gmean : s->mean;
    case kFieldLclm:
      return meanLimit(opts, src, false);
    case kFieldUclm:
      return meanLimit(opts, src, true);
    case kFieldMin:
      return s->min;
    case kFieldMax:
      return s->max;
    default:
      return src.no_dispersion ? krvmissing('_') : dispersion(opts, s, field);
  }
}

// ---- defining -------------------------------------------------------------

int32_t differenceText(const krvopts *opts) {
  return opts->ratio ? kMsgRatio : kMsgDiff;
}

void variableColumn(krvo2_table *t) {
  krvt_text(t, "Variable", krvt_msg(701), kBufName, t->opts->maxnamelen, "_printVariable");
}

// Labelled by the CLASS variable's own name, as wide as the longer of the
// levels and the difference text.
void classColumn(krvo2_table *t) {
  krvopts *opts = t->opts;
  const int32_t w = std::max(opts->level_trimw, krvt_longest({differenceText(opts)}));
  krvt_text(t, "Class", ulxtxt(opts->class_name, opts->class_namelen), kBufClass, w, nullptr);
}

void methodColumn(krvo2_table *t) {
  const int32_t w = t->opts->cochran ? krvt_longest({kMsgPooled, kMsgSatterthwaite, kMsgCochran})
                                     : krvt_longest({kMsgPooled, kMsgSatterthwaite});
  krvt_text(t, "Method", krvt_msg(721), kBufMethod, w, nullptr);
}

void variancesColumn(krvo2_table *t) {
  const bool ln = t->opts->lognormal != 0;
  krvt_text(t, ln ? "CVs" : "Variances", krvt_msg(ln ? 649 : 722), kBufVariances,
            krvt_longest({kMsgEqual, kMsgUnequal}), nullptr);
}

void listColumns(krvo2_table *t, krvo2_list list) {
  const bool ln = t->opts->lognormal != 0;
  for (int32_t i = 0; i < list.count; ++i) {
    const krvo2_col &c = list.cols[i];
    if (ln && c.logname == nullptr) continue;
    const char *col = ln ? c.logname : c.name;
    const int32_t label = ln ? c.loglabel : c.label;
    if (c.plain) {
      krvt_plain(t, col, label, c.print);
    } else {
      krvt_value(t, col, label);
    }
  }
}

krvo2_table beginTable(krvopts *opts, int32_t slot, const char *tname, int32_t label) {
  krvo2_table t = krvt_begin(opts, slot, tname, label);
  variableColumn(&t);
  return t;
}

int32_t defineStatistics(krvopts *opts) {
  krvo2_table t = beginTable(opts, kStatistics, "Statistics", 700);
  classColumn(&t);
  listColumns(&t, listOf(kStatisticsCols));
  return krvt_end(&t);
}

int32_t defineConfLimits(krvopts *opts) {
  krvo2_table t = beginTable(opts, kConfLimits, "ConfLimits", 713);
  const double level = krvt_level(opts->alpha);
  krvt_attr(&t, "confmean", wobp_double(kKeyValue, level));
  krvt_attr(&t, opts->lognormal ? "confcv" : "confstd", wobp_double(kKeyValue, level));
  krvt_attr(&t, "reqspace", wobp_int(kKeyValue, opts->weight_var == -1 ? 6 : 5));
  classColumn(&t);
  methodColumn(&t);
  variancesColumn(&t);
  listColumns(&t, listOf(kConfLimitsCols));
  return krvt_end(&t);
}

int32_t probtHeader(const krvopts *opts) {
  if (opts->sides == 1) return 624;
  return opts->sides == 2 ? 625 : 623;
}

int32_t defineKravos(krvopts *opts) {
  krvo2_table t = beginTable(opts, kKravos, "Kravos", 720);
  methodColumn(&t);
  variancesColumn(&t);
  krvt_value(&t, "tValue", 723);
  krvt_value(&t, "DF", 724);
  krvt_prob(&t, probtHeader(opts));
  return krvt_end(&t);
}

int32_t defineEquivLimits(krvopts *opts) {
  krvo2_table t = beginTable(opts, kEquivLimits, "EquivLimits", 640);
  const auto level = static_cast<int32_t>(krvt_level(2.0 * opts->alpha));
  krvt_attr(&t, "confequiv", wobp_int(kKeyValue, level));
  classColumn(&t);
  methodColumn(&t);
  variancesColumn(&t);
  const bool ln = opts->lognormal != 0;
  krvt_value(&t, ln ? "GeomMean" : "Mean", ln ? 643 : 605);
  krvt_value(&t, "LowerBound", 631);
  krvt_comparator(&t, "LowerComparator", kBufLowerCmp);
  krvt_value(&t, ln ? "LowerCLGeomMean" : "LowerCLMean", 604);
  krvt_value(&t, ln ? "UpperCLGeomMean" : "UpperCLMean", 606);
  krvt_comparator(&t, "UpperComparator", kBufUpperCmp);
  krvt_value(&t, "UpperBound", 632);
  krvt_text(&t, "Assessment", krvt_msg(741), kBufAssess, krvt_longest({501, 502, 503}), nullptr);
  return krvt_end(&t);
}

int32_t defineEquivTests(krvopts *opts) {
  krvo2_table t = beginTable(opts, kEquivTests, "EquivTests", 641);
  methodColumn(&t);
  variancesColumn(&t);
  krvt_text(&t, "Test", krvt_msg(740), kBufTest,
            krvt_longest({kTestUpper, kTestLower, kTestOverall}), nullptr);
  krvt_value(&t, "Null", 630);
  krvt_value(&t, "tValue", 621);
  krvt_value(&t, "DF", 622);
  krvt_prob(&t, 626);
  return krvt_end(&t);
}

int32_t defineEquality(krvopts *opts) {
  krvo2_table t = beginTable(opts, kEquality, "Equality", opts->lognormal ? 650 : 730);
  krvt_text(&t, "Method", krvt_msg(731), kBufMethod, krvt_longest({kMsgFoldedF}), nullptr);
  krvt_value(&t, "NumDF", 733);
  krvt_value(&t, "DenDF", 734);
  krvt_value(&t, "FValue", 732);
  krvt_value(&t, "ProbF", 735, "p");
  return krvt_end(&t);
}

// ---- filling --------------------------------------------------------------

// Blank-fills text buffer `buffer` and copies `text` into it, as far as it
// holds it.
void fillBuffer(krvopts *opts, int buffer, const char *text, size_t len) {
  char *out = opts->label[buffer];
  const auto size = static_cast<size_t>(std::max(opts->label_size[buffer], 0));
  if (out == nullptr || size == 0) return;
  std::memset(out, ' ', size);
  if (text != nullptr) std::memcpy(out, text, std::min(len, size));
}

// Writes catalogue text `number` into a blank-filled text buffer.
void fillMessage(krvopts *opts, int buffer, int32_t number) {
  fillBuffer(opts, buffer, nullptr, 0);
  if (opts->label[buffer] != nullptr)
    xpmstr(opts->label[buffer], opts->label_size[buffer], kKrvGroup, number);
}

void fillVariable(krvopts *opts) {
  xvinfo info{};
  xvname(opts->data, record(opts, kSetMain)->varnum[0], &info);
  fillBuffer(opts, kBufName, info.name, info.namelen);
}

// Level k's formatted value, or the difference text when k is -1.
void fillClass(krvopts *opts, int k) {
  if (k < 0) {
    fillMessage(opts, kBufClass, differenceText(opts));
    return;
  }
  const auto len = static_cast<size_t>(std::max(opts->level_trimw, 0));
  fillBuffer(opts, kBufClass, opts->level_trim[k], opts->level_trim[k] == nullptr ? 0 : len);
}

// Method and variance texts of a row; 0 leaves a single blank.
void fillMethod(krvopts *opts, int32_t method, int32_t variances) {
  if (method == 0) {
    fillBuffer(opts, kBufMethod, " ", 1);
  } else {
    fillMessage(opts, kBufMethod, method);
  }
  if (variances == 0) {
    fillBuffer(opts, kBufVariances, " ", 1);
  } else {
    fillMessage(opts, kBufVariances, variances);
  }
}

void fillValues(krvopts *opts, int32_t first, krvo2_list list, const krvo2_source &src) {
  const bool ln = opts->lognormal != 0;
  int32_t pos = first;
  for (int32_t i = 0; i < list.count; ++i) {
    const krvo2_col &c = list.cols[i];
    if (ln && c.logname == nullptr) continue;
    opts->row[pos++] = krvt_screened(sourceValue(opts, src, c.field));
  }
}

// The ratio of two normal means has no dispersion of its own here.
bool ratioOfMeans(const krvopts *opts) {
  return opts->normal_ratio != 0;
}

int32_t fillStatistics(krvopts *opts) {
  const krvo2_source sources[3] = {{record(opts, kSetMain), false, false},
                                   {record(opts, kSetLevel2), false, false},
                                   {record(opts, kSetDiff), false, ratioOfMeans(opts)}};
  int32_t status = 0;
  for (int k = 0; k < 3; ++k) {
    fillClass(opts, k < 2 ? k : -1);
    fillValues(opts, kStatisticsValues, listOf(kStatisticsCols), sources[k]);
    status = krvt_emit(opts, kStatistics);
  }
  return status;
}

int32_t fillConfLimits(krvopts *opts) {
  struct row {
    int level;
    int32_t method, variances;
    krvo2_source src;
  };
  const krvstat *diff = record(opts, kSetDiff);
  const row rows[4] = {{0, 0, 0, {record(opts, kSetMain), false, false}},
                       {1, 0, 0, {record(opts, kSetLevel2), false, false}},
                       {-1, kMsgPooled, kMsgEqual, {diff, false, ratioOfMeans(opts)}},
                       {-1, kMsgSatterthwaite, kMsgUnequal, {diff, true, true}}};
  int32_t status = 0;
  for (const row &r : rows) {
    fillClass(opts, r.level);
    fillMethod(opts, r.method, r.variances);
    fillValues(opts, kConfLimitsValues, listOf(kConfLimitsCols), r.src);
    status = krvt_emit(opts, kConfLimits);
  }
  return status;
}

// The Cochran row needs COCHRAN and unweighted data.
bool cochranRow(const krvopts *opts) {
  return opts->cochran != 0 && opts->weight_var == -1;
}

int32_t fillKravos(krvopts *opts) {
  const krvresult *r = results(opts);
  struct row {
    int32_t method, variances;
    double t, df, p;
  };
  const row rows[3] = {
      {kMsgPooled, kMsgEqual, r->test.t, r->test.df, r->test.p},
      {kMsgSatterthwaite, kMsgUnequal, r->uneq.t, r->uneq.df, r->uneq.p},
      {kMsgCochran, kMsgUnequal, r->uneq.t, r->uneq.cochran_df, r->uneq.cochran_p}};
  const int nrows = cochranRow(opts) ? 3 : 2;
  double *cell = &opts->row[kKravosValues];
  int32_t status = 0;
  for (int k = 0; k < nrows; ++k) {
    fillMethod(opts, rows[k].method, rows[k].variances);
    cell[0] = krvt_screened(rows[k].t);
    cell[1] = krvt_screened(rows[k].df);
    cell[2] = krvt_screened(rows[k].p);
    status = krvt_emit(opts, kKravos);
  }
  return status;
}

// "<" when the limit lies inside its bound, ">" when outside, blank when it
// could not be computed.
void fillComparator(krvopts *opts, int buffer, int32_t inside) {
  const char *c = inside == 1 ? "<" : inside == 0 ? ">" : " ";
  fillBuffer(opts, buffer, c, 1);
}

void fillAssessment(krvopts *opts, int32_t equivalent) {
  if (equivalent < -1 || equivalent > 1) {
    fillBuffer(opts, kBufAssess, nullptr, 0);
    return;
  }
  fillMessage(opts, kBufAssess, kAssessments[1 - equivalent]);
}

// The limits and flags of one equivalence group.
struct krvo2_limits {
  double lcl, ucl;
  int32_t lower_inside, upper_inside, equivalent;
};

int32_t fillEquivLimits(krvopts *opts) {
  const krvresult *r = results(opts);
  const krvstat *diff = record(opts, kSetDiff);
  const double mean = opts->lognormal ? diff->gmean : diff->mean;
  struct row {
    int32_t method, variances;
    krvo2_limits lim;
  };
  const krvequiv &p = r->equiv;
  const krvuneqequiv &u = r->uneq_equiv;
  const row rows[2] = {
      {kMsgPooled, kMsgEqual, {p.lcl, p.ucl, p.lower_inside, p.upper_inside, p.equivalent}},
      {kMsgSatterthwaite,
       kMsgUnequal,
       {u.lcl, u.ucl, u.lower_inside, u.upper_inside, u.equivalent}}};
  double *cell = opts->row;
  int32_t status = 0;
  for (const row &rw : rows) {
    fillClass(opts, -1);
    fillMethod(opts, rw.method, rw.variances);
    cell[kCellMean] = krvt_screened(mean);
    cell[kCellLowerBound] = krvt_screened(opts->tost_lower);
    fillComparator(opts, kBufLowerCmp, rw.lim.lower_inside);
    cell[kCellLowerCl] = krvt_screened(rw.lim.lcl);
    cell[kCellUpperCl] = krvt_screened(rw.lim.ucl);
    fillComparator(opts, kBufUpperCmp, rw.lim.upper_inside);
    cell[kCellUpperBound] = krvt_screened(opts->tost_upper);
    fillAssessment(opts, rw.lim.equivalent);
    status = krvt_emit(opts, kEquivLimits);
  }
  return status;
}

// The overall p-value of the two one-sided tests: the larger of the two when
// both are known.
double overallP(double p_lower, double p_upper) {
  if (krvismissing(p_lower) || krvismissing(p_upper)) return krvmissing('.');
  return std::max(p_lower, p_upper);
}

int32_t fillEquivTests(krvopts *opts) {
  const krvequiv &p = results(opts)->equiv;
  const krvuneqequiv &u = results(opts)->uneq_equiv;
  const double blank = krvmissing('_');
  struct row {
    int32_t method, variances, test;
    double null, t, df, p;
  };
  const row rows[6] = {
      {kMsgPooled, kMsgEqual, kTestLower, opts->tost_lower, p.t_lower, p.df, p.p_lower},
      {kMsgPooled, kMsgEqual, kTestUpper, opts->tost_upper, p.t_upper, p.df, p.p_upper},
      {kMsgPooled, kMsgEqual, kTestOverall, blank, blank, blank, overallP(p.p_lower, p.p_upper)},
      {kMsgSatterthwaite, kMsgUnequal, kTestLower, opts->tost_lower, u.t_lower, u.df_lower,
       u.p_lower},
      {kMsgSatterthwaite, kMsgUnequal, kTestUpper, opts->tost_upper, u.t_upper, u.df_upper,
       u.p_upper},
      {kMsgSatterthwaite, kMsgUnequal, kTestOverall, blank, blank, blank,
       overallP(u.p_lower, u.p_upper)}};
  double *cell = &opts->row[kEquivTestsValues];
  int32_t status = 0;
  for (const row &r : rows) {
    fillMethod(opts, r.method, r.variances);
    fillMessage(opts, kBufTest, r.test);
    cell[0] = krvt_screened(r.null);
    cell[1] = krvt_screened(r.t);
    cell[2] = krvt_screened(r.df);
    cell[3] = krvt_screened(r.p);
    status = krvt_emit(opts, kEquivTests);
  }
  return status;
}

int32_t fillEquality(krvopts *opts) {
  const krvfoldf &f = results(opts)->foldf;
  fillMessage(opts, kBufMethod, kMsgFoldedF);
  double *cell = &opts->row[kEqualityValues];
  cell[0] = krvt_screened(f.numdf);
  cell[1] = krvt_screened(f.dendf);
  cell[2] = krvt_screened(f.f);
  cell[3] = krvt_screened(f.p);
  return krvt_emit(opts, kEquality);
}

}  // namespace

int32_t krvo20(krvopts *opts) {
  opts->ntables = kSlotCount;
  defineStatistics(opts);
  defineConfLimits(opts);
  if (!opts->tost) defineKravos(opts);
  if (opts->tost) {
    defineEquivLimits(opts);
    defineEquivTests(opts);
  }
  return defineEquality(opts);
}

int32_t krvo21(krvopts *opts, int32_t slot) {
  if (slot < 0 || slot >= kSlotCount || opts->table_tmpl[slot] == nullptr) {
    xebug("krvo21: table %d is not defined", slot);
    return kWobNoMethod;
  }
  fillVariable(opts);
  switch (slot) {
    case kStatistics:
      return fillStatistics(opts);
    case kConfLimits:
      return fillConfLimits(opts);
    case kKravos:
      return fillKravos(opts);
    case kEquivLimits:
      return fillEquivLimits(opts);
    case kEquivTests:
      return fillEquivTests(opts);
    default:
      return fillEquality(opts);
  }
}

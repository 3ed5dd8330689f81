// Graph data objects of a BY group: one row of interval end points and labels
// for every analysis (GraphDataStats), and the observation objects with one
// or more rows per input observation. One-sided intervals get a drawable
// missing end, and the axes get far and view limits, here.
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>

#include "host/vynsvc.h"
#include "hostcm/wob.h"
#include "stat/src/krvmiss.h"
#include "stat/src/krvpair.h"
#include "stat/src/krvstat.h"
#include "xob/krvgraf.h"
#include "xob/krvmsg.h"

namespace {

// Methods and property keys of data-set output.
constexpr int32_t kMthDataSet = 451;
constexpr uint16_t kKeyDataSet = 451;
constexpr uint16_t kKeyRowsGiven = 336;
constexpr uint16_t kKeyRows = 333;
constexpr uint16_t kKeyVariable = 2224;
constexpr uint16_t kKeyDataRef = 784;
constexpr const char *kPhantomPath = "Stat.Kravo.Phantom.GraphData";

constexpr int32_t kDouble = 5;
constexpr int32_t kChar = 6;
constexpr int32_t kInt = 3;
constexpr int32_t kNameSize = 33;
constexpr double kTinyDivisor = 1000 * 1.110223024625157e-16;
constexpr double kMaxFreq = 2147483647.0;

// Text buffers of the work area.
enum Text : int {
  kTxtEqBounds,
  kTxtMain,
  kTxtClass1,
  kTxtClass2,
  kTxtPooled,
  kTxtSatt,
  kTxtCell1,  // four cells: A in period 1, A in 2, B in 1, B in 2
  kTxtClassValue = kTxtCell1 + 4,
  kTxtTreatment,
  kTxtSeqName,
  kTxtMeanSeqName,
  kTxtTrtAndPrd,
};

// Observation arrays of the work area, by analysis type.
enum OneSampleRow : int { kRowY, kRowBandLower, kRowBandUpper };
enum TwoSampleRow : int { kRowStacked, kRowClass1, kRowClass2 };
enum PairedRow : int {
  kRowPairY,
  kRowPairYMean,
  kRowPairY1,
  kRowPairY2,
  kRowPairDiff,
  kRowPairY1Mean,
  kRowPairY2Mean,
  kRowPairLower,
  kRowPairUpper
};

// An interval family of GraphDataStats and the labels of its limits.
struct Family {
  const char *name;
  int32_t lower_label, upper_label;
};
constexpr Family kMain{"CIMain", 811, 812};
constexpr Family kClass1{"CIClass1", 811, 812};
constexpr Family kClass2{"CIClass2", 811, 812};
constexpr Family kPooled{"CIPooled", 813, 814};
constexpr Family kSatt{"CISatt", 815, 816};
constexpr Family kCells[4] = {{"CITrtAPrd1", 811, 812},
                              {"CITrtAPrd2", 811, 812},
                              {"CITrtBPrd1", 811, 812},
                              {"CITrtBPrd2", 811, 812}};
constexpr Family kTrtTest{"CITrtTest", 811, 812};
constexpr Family kTrtPooled{"CITrtPooled", 813, 814};
constexpr Family kTrtSatt{"CITrtSatt", 815, 816};
constexpr Family kPrdPooled{"CIPrdPooled", 813, 814};
constexpr Family kPrdSatt{"CIPrdSatt", 815, 816};
// The cell sets in family order: A in period 1 and 2, B in period 1 and 2.
constexpr int kCellSet[4] = {kSetA1, kSetA2, kSetB1, kSetB2};
// Treatment (0 A, 1 B) and period (1, 2) of each cell, in family order.
constexpr int kCellTreatment[4] = {0, 0, 1, 1};
constexpr int kCellPeriod[4] = {1, 2, 1, 2};

// An interval: mean, lower and upper limit.
struct Interval {
  double m, l, u;
};

bool valid(double v) {
  return std::isfinite(v) && v != kNotComputed;
}

double orMissing(double v) {
  return valid(v) ? v : krvmissing('.');
}

krvgrafwork &work(krvopts *opts) {
  return *opts->graphics.work;
}

bool showNull(const krvopts *opts) {
  return opts->graphics.fields[kPlotShowH0] != 0;
}

// ---- host calls ------------------------------------------------------------

[[noreturn]] void hostRefused(krvopts *opts, int32_t status) {
  xprrlog(0, status);
  opts->failed = 1;
  if (opts->rc < kCodeHostObject) opts->rc = kCodeHostObject;
  xexit(opts->rc, 0);
}

void *text(const char *chars) {
  return ulxtxt(chars, -1);
}

void *message(int32_t number) {
  return ulxmsg(kKrvGroup, number);
}

void *messageWith(int32_t number, std::initializer_list<std::string_view> inserts) {
  xins list[2];
  int32_t n = 0;
  for (std::string_view s : inserts) {
    if (n < 2) list[n++] = krvins_text(s.data(), static_cast<int32_t>(s.size()));
  }
  return ulxmsgs(kKrvGroup, number, n, list);
}

void dataSetOutput(krvopts *opts, bool start) {
  wobprop ds = wobp_str(kKeyDataSet, "DS", 2);
  wobmth(opts->outmgr, nullptr, kMthDataSet, start ? 1 : 0, start ? &ds : nullptr);
}

// Creates a data object; `rows` is declared for observation objects only.
void *createObject(krvopts *opts, const char *name, int32_t label, int32_t rows) {
  wobprop p[8] = {wobp_str(kKeyNameSpace, "ulx", 3),
                  wobp_str(kKeyKind, "data", 4),
                  wobp_ptr(kKeyCreated, kWobObject, nullptr),
                  wobp_int(kKeyOption, -1),
                  wobp_ptr(kKeyName, kWobText, text(name)),
                  wobp_ptr(kKeyLabel, kWobText, message(label)),
                  wobp_int(kKeyRowsGiven, 1),
                  wobp_int(kKeyRows, rows)};
  const int32_t status = wobmth(opts->outmgr, nullptr, kMthCreate, rows < 0 ? 6 : 8, p);
  if (status < 0) hostRefused(opts, status);
  return p[2].v.p;
}

void endDefinition(krvopts *opts, void *object) {
  const int32_t status = wobmth(object, nullptr, kMthEndTable, 0, nullptr);
  if (status < 0) hostRefused(opts, status);
}

void writeRow(void *object) {
  wobmth(object, nullptr, kMthRow, 0, nullptr);
}

// Wraps the object in a phantom output, whose data reference lands in `ref`,
// closes it and releases the phantom.
void publish(krvopts *opts, void *object, void **ref, bool observations) {
  wobprop wrap[4] = {
      wobp_ptr(kKeyNone, kWobObject, nullptr), wobp_ptr(kKeyNone, kWobObject, object),
      wobp_ptr(kKeyPath, kWobText, text(kPhantomPath)), wobp_ptr(kKeyDataRef, kWobTextArray, ref)};
  wobmth(opts->outmgr, nullptr, kMthOutput, 4, wrap);
  if (!observations) writeRow(object);
  wobprop last = wobp_int(kKeyLast, 1);
  wobmth(object, nullptr, kMthLastOut, observations ? 1 : 0, observations ? &last : nullptr);
  wobprop phantom = wrap[0];
  wobmth(opts->outmgr, nullptr, kMthEmit, 1, &phantom);
}

// ---- columns -----------------------------------------------------------------

struct ColumnDef {
  int32_t type = kDouble;
  std::string name;
  void *cell = nullptr;
  void *label = nullptr;       // text handle, or none
  const char *tmpl = nullptr;  // column template, or none
  int32_t length = 0;          // character columns
  int32_t variable = -1;       // the analysis variable whose attributes the column takes
};

std::string numbered(const char *stem, int32_t k) {
  return std::string(stem) + std::to_string(k + 1);
}

void addColumn(void *object, const ColumnDef &c) {
  wobprop p[12];
  int32_t n = 0;
  p[n++] = wobp_int(kKeyColumnType, c.type);
  if (c.variable >= 0) p[n++] = wobp_int(kKeyVariable, c.variable, kWobCount);
  p[n++] = wobp_ptr(kKeyName, kWobText, ulxtxt(c.name.data(), static_cast<int32_t>(c.name.size())));
  if (c.label != nullptr) p[n++] = wobp_ptr(kKeyLabel, kWobText, c.label);
  if (c.tmpl != nullptr) p[n++] = wobp_ptr(kKeyPath, kWobText, text(c.tmpl));
  p[n++] = wobp_ptr(kKeyCell, kWobCell, c.cell);
  if (c.type == kChar) {
    const int32_t width = c.length > 1 ? c.length : 1;
    p[n++] = wobp_int(kKeyStorage, width);
    p[n++] = wobp_ptr(kKeyAttribute, kWobText, text("MinimumWidth"));
    p[n++] = wobp_int(kKeyValue, width);
    p[n++] = wobp_ptr(kKeyAttribute, kWobText, text("MaximumWidth"));
    p[n++] = wobp_int(kKeyValue, width);
  }
  wobmth(object, nullptr, kMthColumn, n, p);
}

void numberColumn(void *object, std::string name, double *cell, void *label, const char *tmpl) {
  addColumn(object, {kDouble, std::move(name), cell, label, tmpl});
}

void intColumn(void *object, const char *name, int32_t *cell, int32_t label) {
  addColumn(object, {kInt, name, cell, message(label)});
}

void charColumn(void *object, const char *name, krvtextbuf &buffer, void *label = nullptr) {
  addColumn(object, {kChar, name, buffer.text, label, "GenericString", buffer.len});
}

// ---- texts ---------------------------------------------------------------------

void setText(krvtextbuf &buffer, std::string_view s) {
  std::memset(buffer.text, ' ', static_cast<size_t>(buffer.size));
  const size_t n = s.size() < static_cast<size_t>(buffer.size) ? s.size() : buffer.size;
  std::memcpy(buffer.text, s.data(), n);
  buffer.len = static_cast<int32_t>(n);
}

// A catalogue message with its inserts %1, %2 put in.
std::string messageText(int32_t number, std::initializer_list<std::string_view> inserts = {}) {
  const int32_t length = xpmstr(nullptr, 0, kKrvGroup, number);
  std::string pattern(static_cast<size_t>(length > 0 ? length : 0), ' ');
  xpmstr(pattern.data(), length, kKrvGroup, number);
  std::string out;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const size_t k =
        i + 1 < pattern.size() ? static_cast<size_t>(pattern[i + 1] - '1') : inserts.size();
    if (pattern[i] == '%' && k < inserts.size()) {
      out += inserts.begin()[k];
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

struct VarText {
  std::string name, label;
};

VarText variable(krvopts *opts, int32_t varnum) {
  xvinfo info{};
  if (varnum < 0 || xvname(opts->data, varnum, &info) != 0) return {};
  std::string name(info.name, info.namelen);
  std::string label(info.label, info.labellen);
  return {name, label.empty() ? name : label};
}

int32_t varnumOf(krvopts *opts, int32_t k, int member) {
  return krvset(opts, kSetMain)[k].varnum[member];
}

std::string_view levelText(const krvopts *opts, int level) {
  const int32_t w = opts->level_trimw > 0 ? opts->level_trimw : 0;
  return opts->level_trim[level] == nullptr ? std::string_view()
                                            : std::string_view(opts->level_trim[level], w);
}

std::string_view treatmentText(const krvopts *opts, int t) {
  const int32_t w = opts->trt_trimw > 0 ? opts->trt_trimw : 0;
  return opts->trt_trim[t] == nullptr ? std::string_view() : std::string_view(opts->trt_trim[t], w);
}

// ---- GraphDataStats ----------------------------------------------------------

double meanOf(const krvopts *opts, const krvstat &r) {
  return opts->lognormal ? r.gmean : r.mean;
}

Interval twoSided(const krvopts *opts, const krvstat &r) {
  if (opts->lognormal) return {r.gmean, r.lclgm, r.uclgm};
  return {r.mean, r.lclm, r.uclm};
}

// The missing end of a one-sided interval, 1.25 times the other half; with
// SHOWH0 far enough to reach a null value beyond it.
void drawableEnd(const krvopts *opts, Interval *ci) {
  const double h = opts->h0;
  if (opts->sides == 2 && valid(ci->m) && valid(ci->l)) {
    const bool reach = showNull(opts) && 2 * ci->m - ci->l < h;
    ci->u = ci->m + 1.25 * ((reach ? h : 2 * ci->m - ci->l) - ci->m);
  }
  if (opts->sides == 1 && valid(ci->m) && valid(ci->u)) {
    const bool reach = showNull(opts) && 2 * ci->m - ci->u > h;
    ci->l = ci->m + 1.25 * ((reach ? h : 2 * ci->m - ci->u) - ci->m);
  }
}

// The limits that SIDES gives of an interval, the missing end made drawable.
Interval sided(const krvopts *opts, double m, double l, double u) {
  Interval ci{m, opts->sides == 1 ? kNotComputed : l, opts->sides == 2 ? kNotComputed : u};
  drawableEnd(opts, &ci);
  return ci;
}

// Far limit and view limit of the axis beyond the open end of the band.
void axisLimits(krvopts *opts, int32_t k, const krvstat &extremes) {
  krvgrafwork &w = work(opts);
  const double lo = extremes.min, hi = extremes.max, h = opts->h0;
  if (!valid(lo) || !valid(hi)) return;
  if (opts->sides == 2) {
    const double top = showNull(opts) && h > hi ? h : hi;
    w.far_upper[k] = top + 0.5 * (top - lo);
    w.view_max[k] = top + 0.2 * (top - lo);
  }
  if (opts->sides == 1) {
    const double bottom = showNull(opts) && h < lo ? h : lo;
    w.far_lower[k] = bottom - 0.5 * (hi - bottom);
    w.view_min[k] = bottom - 0.2 * (hi - bottom);
  }
}

void store(krvopts *opts, int family, int32_t k, const Interval &ci) {
  krvgrafwork &w = work(opts);
  w.interval[3 * family][k] = orMissing(ci.m);
  w.interval[3 * family + 1][k] = orMissing(ci.l);
  w.interval[3 * family + 2][k] = orMissing(ci.u);
}

// The interval of one mean: one-sample, paired, or the treatment difference
// of a crossover under IGNOREPERIOD.
void mainInterval(krvopts *opts, int32_t k, int family, int set, const krvequiv &eq) {
  const krvstat &r = krvset(opts, set)[k];
  const krvstat &extremes = opts->ratio_sets ? krvset(opts, kSetRatio)[k] : r;
  const double m = meanOf(opts, r);
  if (opts->tost) {
    store(opts, family, k, {m, eq.lcl, eq.ucl});
    return;
  }
  const Interval limits =
      opts->ratio_sets ? Interval{m, kNotComputed, kNotComputed} : twoSided(opts, r);
  store(opts, family, k, sided(opts, m, limits.l, limits.u));
  axisLimits(opts, k, extremes);
}

// The pooled and the Satterthwaite interval of a comparison of two groups,
// families `family` and `family` + 1.
void comparison(krvopts *opts, int32_t k, int family, int set, const krvequiv &eq,
                const krvuneqequiv &ueq) {
  const krvstat &diff = krvset(opts, set)[k];
  const double m = meanOf(opts, diff);
  if (opts->tost) {
    store(opts, family, k, {m, eq.lcl, eq.ucl});
    store(opts, family + 1, k, {m, ueq.lcl, ueq.ucl});
    return;
  }
  const Interval pooled = twoSided(opts, diff);
  store(opts, family, k, sided(opts, m, pooled.l, pooled.u));
  const bool ln = opts->lognormal;
  store(opts, family + 1, k,
        sided(opts, m, ln ? diff.lclgm_u : diff.lclm_u, ln ? diff.uclgm_u : diff.uclm_u));
}

void twoSampleIntervals(krvopts *opts, int32_t k) {
  const krvresult &res = opts->results[k];
  store(opts, 0, k, twoSided(opts, krvset(opts, kSetMain)[k]));
  store(opts, 1, k, twoSided(opts, krvset(opts, kSetLevel2)[k]));
  comparison(opts, k, 2, kSetDiff, res.equiv, res.uneq_equiv);
}

void crossoverIntervals(krvopts *opts, int32_t k) {
  const krvresult &res = opts->results[k];
  for (int c = 0; c < 4; ++c) store(opts, c, k, twoSided(opts, krvset(opts, kCellSet[c])[k]));
  if (opts->ignore_period) {
    mainInterval(opts, k, 4, kSetTrtDiff, res.equiv_xo1);
    return;
  }
  comparison(opts, k, 4, kSetTrtCmp, res.equiv_xo[kXoTreatment], res.uneq_equiv_xo[kXoTreatment]);
  comparison(opts, k, 6, kSetPrdCmp, res.equiv_xo[kXoPeriod], res.uneq_equiv_xo[kXoPeriod]);
}

void clearPerAnalysis(krvopts *opts) {
  krvgrafwork &w = work(opts);
  const double missing = krvmissing('.');
  for (int32_t k = 0; k < opts->nanalyses; ++k) {
    for (int a = 0; a < w.nintervals; ++a) w.interval[a][k] = missing;
    for (double *a : {w.far_lower, w.view_min, w.far_upper, w.view_max}) {
      if (a != nullptr) a[k] = missing;
    }
  }
}

void computeIntervals(krvopts *opts) {
  clearPerAnalysis(opts);
  for (int32_t k = 0; k < opts->nanalyses; ++k) {
    if (opts->kind == kKindTwoSample) {
      twoSampleIntervals(opts, k);
    } else if (opts->kind == kKindCrossover) {
      crossoverIntervals(opts, k);
    } else {
      mainInterval(opts, k, 0, kSetMain, opts->results[k].equiv);
    }
  }
}

void familyColumns(krvopts *opts, void *object, const Family &f, int family, int32_t k) {
  krvgrafwork &w = work(opts);
  const std::string stem = f.name;
  numberColumn(object, numbered((stem + "Mean").c_str(), k), &w.interval[3 * family][k],
               message(opts->lognormal ? 643 : 605), "Statistic");
  numberColumn(object, numbered((stem + "LCL").c_str(), k), &w.interval[3 * family + 1][k],
               message(f.lower_label), "Statistic");
  numberColumn(object, numbered((stem + "UCL").c_str(), k), &w.interval[3 * family + 2][k],
               message(f.upper_label), "Statistic");
}

void axisColumns(krvopts *opts, void *object, int32_t k) {
  krvgrafwork &w = work(opts);
  if (opts->sides == 1) {
    numberColumn(object, numbered("CIMainFarLCL", k), &w.far_lower[k], nullptr, "Statistic");
    numberColumn(object, numbered("CIMainViewMin", k), &w.view_min[k], nullptr, "Statistic");
  }
  if (opts->sides == 2) {
    numberColumn(object, numbered("CIMainFarUCL", k), &w.far_upper[k], nullptr, "Statistic");
    numberColumn(object, numbered("CIMainViewMax", k), &w.view_max[k], nullptr, "Statistic");
  }
}

void crossoverLabelColumns(krvopts *opts, void *object) {
  krvtextbuf *t = work(opts).text;
  if (!opts->ignore_period) {
    setText(t[kTxtPooled], messageText(752));
    setText(t[kTxtSatt], messageText(28));
    charColumn(object, "CIPooledLabel", t[kTxtPooled]);
    charColumn(object, "CISattLabel", t[kTxtSatt]);
  }
  for (int c = 0; c < 4; ++c) {
    const std::string period = std::to_string(kCellPeriod[c]);
    setText(t[kTxtCell1 + c], messageText(753, {treatmentText(opts, kCellTreatment[c]), period}));
    charColumn(object, (std::string(kCells[c].name) + "Label").c_str(), t[kTxtCell1 + c]);
  }
}

void labelColumns(krvopts *opts, void *object) {
  krvgrafwork &w = work(opts);
  krvtextbuf *t = w.text;
  if (opts->tost) {
    setText(t[kTxtEqBounds], messageText(751));
    charColumn(object, "CIEqBLabel", t[kTxtEqBounds]);
  }
  if (opts->kind == kKindOneSample || opts->kind == kKindPaired ||
      (opts->kind == kKindCrossover && opts->ignore_period)) {
    setText(t[kTxtMain], messageText(750));
    charColumn(object, "CIMainLabel", t[kTxtMain]);
  }
  if (opts->kind == kKindTwoSample) {
    const std::string_view cls(opts->class_name, static_cast<size_t>(opts->class_namelen));
    setText(t[kTxtClass1], messageText(759, {cls, levelText(opts, 0)}));
    setText(t[kTxtClass2], messageText(759, {cls, levelText(opts, 1)}));
    setText(t[kTxtPooled], messageText(752));
    setText(t[kTxtSatt], messageText(28));
    charColumn(object, "CIClass1Label", t[kTxtClass1]);
    charColumn(object, "CIClass2Label", t[kTxtClass2]);
    charColumn(object, "CIPooledLabel", t[kTxtPooled]);
    charColumn(object, "CISattLabel", t[kTxtSatt]);
  }
  if (opts->kind == kKindCrossover) crossoverLabelColumns(opts, object);
}

// The interval families of the analysis type, in column order.
const Family *const *familiesOf(const krvopts *opts, int32_t *count) {
  static const Family *const kOne[] = {&kMain};
  static const Family *const kTwo[] = {&kClass1, &kClass2, &kPooled, &kSatt};
  static const Family *const kXoTest[] = {&kCells[0], &kCells[1], &kCells[2], &kCells[3],
                                          &kTrtTest};
  static const Family *const kXo[] = {&kCells[0],  &kCells[1], &kCells[2],  &kCells[3],
                                      &kTrtPooled, &kTrtSatt,  &kPrdPooled, &kPrdSatt};
  switch (opts->kind) {
    case kKindTwoSample:
      *count = 4;
      return kTwo;
    case kKindCrossover:
      *count = opts->ignore_period ? 5 : 8;
      return opts->ignore_period ? kXoTest : kXo;
    default:
      *count = 1;
      return kOne;
  }
}

void statsColumns(krvopts *opts, void *object) {
  static const char *const kConstants[5] = {"Zero", "One", "Two", "Three", "Four"};
  krvgrafwork &w = work(opts);
  for (int i = 0; i < 5; ++i)
    numberColumn(object, kConstants[i], &w.constant[i], nullptr, "Statistic");
  labelColumns(opts, object);
  if (opts->tost) {
    numberColumn(object, "LEB", &opts->tost_lower, message(631), "Statistic");
    numberColumn(object, "UEB", &opts->tost_upper, message(632), "Statistic");
  } else {
    numberColumn(object, "H0", &opts->h0, message(810), "Statistic");
  }
  int32_t count = 0;
  const Family *const *families = familiesOf(opts, &count);
  for (int32_t k = 0; k < opts->nanalyses; ++k) {
    for (int32_t f = 0; f < count; ++f) familyColumns(opts, object, *families[f], f, k);
    if (opts->kind == kKindOneSample || opts->kind == kKindPaired) axisColumns(opts, object, k);
  }
}

void produceStats(krvopts *opts) {
  dataSetOutput(opts, true);
  void *object = createObject(opts, "GraphDataStats", 809, -1);
  computeIntervals(opts);
  statsColumns(opts, object);
  endDefinition(opts, object);
  publish(opts, object, &work(opts).stats_ref, false);
  dataSetOutput(opts, false);
}

// ---- observation objects -------------------------------------------------------

struct ObsObjects {
  void *object[4] = {};
  int count = 0;
};

void observationColumns(krvopts *opts, void *object, const char *stem) {
  krvgrafwork &w = work(opts);
  numberColumn(object, stem, &w.obsno[0], message(818), nullptr);
  numberColumn(object, std::string(stem) + "NoMiss", &w.obsno[1], message(818), nullptr);
}

void valueColumn(krvopts *opts, void *object, const char *stem, int32_t k, double *cell,
                 int32_t varnum) {
  addColumn(object, {kDouble, numbered(stem, k), cell, text(variable(opts, varnum).label.c_str()),
                     "Y", 0, varnum});
}

void *beginObject(krvopts *opts, ObsObjects *objs, const char *name, int32_t label, int32_t rows,
                  const char *stem) {
  void *object = createObject(opts, name, label, rows);
  objs->object[objs->count++] = object;
  observationColumns(opts, object, stem);
  return object;
}

void bandColumns(void *object, int32_t k, double *lower, double *upper) {
  numberColumn(object, numbered("CIBandLCL", k), lower, message(811), "Statistic");
  numberColumn(object, numbered("CIBandUCL", k), upper, message(812), "Statistic");
}

void oneSampleObjects(krvopts *opts, ObsObjects *objs) {
  krvgrafwork &w = work(opts);
  void *o = beginObject(opts, objs, "GraphData1Sample", 817, opts->graphics.used[0], "Observation");
  for (int32_t k = 0; k < opts->nanalyses; ++k) {
    valueColumn(opts, o, "Y", k, &w.row[kRowY][k], varnumOf(opts, k, 0));
    bandColumns(o, k, &w.row[kRowBandLower][k], &w.row[kRowBandUpper][k]);
  }
}

void twoSampleObjects(krvopts *opts, ObsObjects *objs) {
  krvgrafwork &w = work(opts);
  const int32_t *used = opts->graphics.used;
  void *stacked =
      beginObject(opts, objs, "GraphData2SampleStacked", 822, used[0] + 2, "Observation");
  for (int32_t k = 0; k < opts->nanalyses; ++k) {
    valueColumn(opts, stacked, "Y", k, &w.row[kRowStacked][k], varnumOf(opts, k, 0));
  }
  krvtextbuf &cls = w.text[kTxtClassValue];
  setText(cls, "");
  cls.len = opts->level_trimw > 0 ? opts->level_trimw : 0;
  charColumn(stacked, "Class", cls, text(opts->class_name));
  static const char *const kObject[2] = {"GraphData2SampleClass1", "GraphData2SampleClass2"};
  static const char *const kStem[2] = {"ObservationClass1", "ObservationClass2"};
  for (int level = 0; level < 2; ++level) {
    void *o = beginObject(opts, objs, kObject[level], 823 + level, used[1 + level], kStem[level]);
    for (int32_t k = 0; k < opts->nanalyses; ++k) {
      valueColumn(opts, o, level == 0 ? "Y1" : "Y2", k, &w.row[kRowClass1 + level][k],
                  varnumOf(opts, k, 0));
    }
  }
}

std::string pairName(const krvopts *opts, const VarText &a, const VarText &b) {
  return a.name + (opts->ratio ? " / " : " - ") + b.name;
}

void pairedObjects(krvopts *opts, ObsObjects *objs) {
  krvgrafwork &w = work(opts);
  const int32_t n = opts->graphics.used[0];
  void *stacked = beginObject(opts, objs, "GraphDataPairedStacked", 819, 2 * n, "Observation");
  for (int32_t k = 0; k < opts->nanalyses; ++k) {
    const VarText a = variable(opts, varnumOf(opts, k, 0)),
                  b = variable(opts, varnumOf(opts, k, 1));
    numberColumn(stacked, numbered("Y", k), &w.row[kRowPairY][k],
                 messageWith(754, {a.name, b.name}), "Y");
    numberColumn(stacked, numbered("YMean", k), &w.row[kRowPairYMean][k],
                 messageWith(opts->lognormal ? 855 : 755, {a.name, b.name}), "Y");
    const size_t longer = a.name.size() > b.name.size() ? a.name.size() : b.name.size();
    addColumn(stacked, {kChar, numbered("VarName", k), w.varname + kNameSize * k, text("Variable"),
                        "GenericString", static_cast<int32_t>(longer)});
  }
  intColumn(stacked, "Position", &w.position, 820);
  void *paired = beginObject(opts, objs, "GraphDataPairedPaired", 821, n, "ObservationPaired");
  for (int32_t k = 0; k < opts->nanalyses; ++k) {
    const int32_t va = varnumOf(opts, k, 0), vb = varnumOf(opts, k, 1);
    const VarText a = variable(opts, va), b = variable(opts, vb);
    valueColumn(opts, paired, "Y1", k, &w.row[kRowPairY1][k], va);
    valueColumn(opts, paired, "Y2", k, &w.row[kRowPairY2][k], vb);
    numberColumn(paired, numbered(opts->ratio ? "Yratio" : "Ydif", k), &w.row[kRowPairDiff][k],
                 text(pairName(opts, a, b).c_str()), "Y");
    const int32_t meanLabel = opts->lognormal ? 856 : 758;
    numberColumn(paired, numbered("Y1Mean", k), &w.row[kRowPairY1Mean][k],
                 messageWith(meanLabel, {a.name}), nullptr);
    numberColumn(paired, numbered("Y2Mean", k), &w.row[kRowPairY2Mean][k],
                 messageWith(meanLabel, {b.name}), nullptr);
    bandColumns(paired, k, &w.row[kRowPairLower][k], &w.row[kRowPairUpper][k]);
  }
}

enum CrossoverRow : int {
  kRowXoY,
  kRowXoYMean,
  kRowXoY1,
  kRowXoY2,
  kRowXoYA,
  kRowXoYB,
  kRowXoY1Mean,
  kRowXoY2Mean,
  kRowXoYAMean,
  kRowXoYBMean,
  kRowXoSeq1First,  // sequence 1: YA1, YB2; sequence 2: YB1, YA2
  kRowXoSeq1Second,
  kRowXoSeq2First,
  kRowXoSeq2Second
};

// The legend of a period cell, by cell number less 1.
struct CellLegend {
  int32_t sequence, trtnum, treatment, period;
};
constexpr CellLegend kLegend[4] = {{1, 1, 0, 1}, {2, 1, 0, 2}, {2, 2, 1, 1}, {1, 2, 1, 2}};

// Cell (0..3) of a sequence (1, 2) in a period (1, 2): sequence 1 is A then
// B, sequence 2 B then A.
int cellOf(int sequence, int period) {
  if (sequence == 1) return period == 1 ? 0 : 3;
  return period == 1 ? 2 : 1;
}

// The name of a sequence and of its means: its treatments in order.
void setSequence(krvopts *opts, int sequence) {
  krvgrafwork &w = work(opts);
  const std::string_view first = treatmentText(opts, sequence - 1);
  const std::string_view second = treatmentText(opts, 2 - sequence);
  w.sequence = sequence;
  setText(w.text[kTxtSeqName], messageText(761, {first, second}));
  setText(w.text[kTxtMeanSeqName], messageText(opts->lognormal ? 858 : 762, {first, second}));
}

void setCell(krvopts *opts, int cell) {
  krvgrafwork &w = work(opts);
  const CellLegend &c = kLegend[cell];
  setSequence(opts, c.sequence);
  w.trtnum = c.trtnum;
  w.period = c.period;
  w.cell = cell + 1;
  const std::string_view trt = treatmentText(opts, c.treatment);
  setText(w.text[kTxtTreatment], trt);
  setText(w.text[kTxtTrtAndPrd], std::string(trt) + ", " + std::to_string(c.period));
}

void sequenceColumns(krvopts *opts, void *object) {
  krvgrafwork &w = work(opts);
  intColumn(object, "Sequence", &w.sequence, 749);
  charColumn(object, "SeqName", w.text[kTxtSeqName], message(826));
  charColumn(object, "MeanSeqName", w.text[kTxtMeanSeqName], message(826));
}

void stackedCrossoverObject(krvopts *opts, ObsObjects *objs) {
  krvgrafwork &w = work(opts);
  void *o = beginObject(opts, objs, "GraphDataABBAStacked", 825, 2 * opts->graphics.used[0] + 4,
                        "Observation");
  for (int32_t k = 0; k < opts->nanalyses; ++k) {
    const VarText a = variable(opts, varnumOf(opts, k, 0)),
                  b = variable(opts, varnumOf(opts, k, 1));
    numberColumn(o, numbered("Y", k), &w.row[kRowXoY][k], messageWith(754, {a.name, b.name}), "Y");
    numberColumn(o, numbered("YMean", k), &w.row[kRowXoYMean][k],
                 messageWith(opts->lognormal ? 855 : 755, {a.name, b.name}), "Y");
    const size_t longer = a.name.size() > b.name.size() ? a.name.size() : b.name.size();
    addColumn(o, {kChar, numbered("VarName", k), w.varname + kNameSize * k, text("Variable"),
                  "GenericString", static_cast<int32_t>(longer)});
  }
  setCell(opts, 0);
  w.text[kTxtTreatment].len = opts->trt_trimw;
  w.text[kTxtTrtAndPrd].len = opts->trt_trimw + 3;
  sequenceColumns(opts, o);
  intColumn(o, "TrtNum", &w.trtnum, 827);
  charColumn(o, "Treatment", w.text[kTxtTreatment], message(745));
  intColumn(o, "Period", &w.period, 746);
  charColumn(o, "TrtAndPrd", w.text[kTxtTrtAndPrd], message(790));
  intColumn(o, "Cell", &w.cell, 828);
}

void semistackedObject(krvopts *opts, ObsObjects *objs) {
  krvgrafwork &w = work(opts);
  void *o = beginObject(opts, objs, "GraphDataABBASemistacked", 829, opts->graphics.used[0] + 2,
                        "ObservationSemistacked");
  const std::string trt[2] = {std::string(treatmentText(opts, 0)),
                              std::string(treatmentText(opts, 1))};
  const int32_t meanLabel = opts->lognormal ? 856 : 758;
  const int32_t trtMeanLabel = opts->lognormal ? 857 : 760;
  for (int32_t k = 0; k < opts->nanalyses; ++k) {
    const int32_t va = varnumOf(opts, k, 0), vb = varnumOf(opts, k, 1);
    valueColumn(opts, o, "Y1", k, &w.row[kRowXoY1][k], va);
    valueColumn(opts, o, "Y2", k, &w.row[kRowXoY2][k], vb);
    numberColumn(o, numbered("YA", k), &w.row[kRowXoYA][k], text(trt[0].c_str()), "Y");
    numberColumn(o, numbered("YB", k), &w.row[kRowXoYB][k], text(trt[1].c_str()), "Y");
    numberColumn(o, numbered("Y1Mean", k), &w.row[kRowXoY1Mean][k],
                 messageWith(meanLabel, {variable(opts, va).name}), nullptr);
    numberColumn(o, numbered("Y2Mean", k), &w.row[kRowXoY2Mean][k],
                 messageWith(meanLabel, {variable(opts, vb).name}), nullptr);
    numberColumn(o, numbered("YAMean", k), &w.row[kRowXoYAMean][k],
                 messageWith(trtMeanLabel, {trt[0]}), nullptr);
    numberColumn(o, numbered("YBMean", k), &w.row[kRowXoYBMean][k],
                 messageWith(trtMeanLabel, {trt[1]}), nullptr);
  }
  sequenceColumns(opts, o);
}

void crossoverObjects(krvopts *opts, ObsObjects *objs) {
  krvgrafwork &w = work(opts);
  stackedCrossoverObject(opts, objs);
  semistackedObject(opts, objs);
  static const char *const kValue[2][2] = {{"YA1", "YB2"}, {"YB1", "YA2"}};
  for (int seq = 1; seq <= 2; ++seq) {
    const std::string name = "GraphDataABBASeq" + std::to_string(seq);
    const std::string stem = "ObservationSeq" + std::to_string(seq);
    void *o =
        beginObject(opts, objs, name.c_str(), 829 + seq, opts->graphics.used[seq], stem.c_str());
    for (int32_t k = 0; k < opts->nanalyses; ++k) {
      for (int period = 0; period < 2; ++period) {
        valueColumn(opts, o, kValue[seq - 1][period], k,
                    &w.row[kRowXoSeq1First + 2 * (seq - 1) + period][k], varnumOf(opts, k, period));
      }
    }
  }
}

// ---- observation rows ---------------------------------------------------------------

// Writes a row `repeat` times; the repeats have no observation number.
void writeRepeated(krvopts *opts, void *object, int32_t repeat) {
  krvgrafwork &w = work(opts);
  writeRow(object);
  const double number = w.obsno[0];
  w.obsno[0] = krvmissing('.');
  for (int32_t i = 1; i < repeat; ++i) writeRow(object);
  w.obsno[0] = number;
}

// The repeat count of the observation, 0 to skip it for its FREQ or WEIGHT.
int32_t repeatCount(const krvopts *opts) {
  if (opts->weight_var >= 0 &&
      (krvismissing(opts->weight_value) || !(opts->weight_value > kNotComputed))) {
    return 0;
  }
  if (opts->freq_var < 0) return 1;
  const double f = opts->freq_value;
  if (krvismissing(f) || f < 1.0 || std::trunc(f) > kMaxFreq) return 0;
  return static_cast<int32_t>(std::trunc(f));
}

// Level (1 or 2) of the observation's formatted class value; 0 to skip it.
int classLevel(const krvopts *opts) {
  if (opts->class_type == 2 ? krvallblank(opts->class_char, opts->class_charw)
                            : krvismissing(opts->class_num)) {
    return 0;
  }
  int32_t n = opts->class_fmtw;
  while (n > 0 && opts->class_fmt[n - 1] == ' ') --n;
  const bool first =
      n == opts->level_fmtlen[0] && std::memcmp(opts->class_fmt, opts->level_fmt[0], n) == 0;
  return first ? 1 : 2;
}

double pairedValue(const krvopts *opts, int32_t varnum) {
  const int32_t pos = krvpmap(opts->pairing, varnum);
  return pos >= 0 && pos < opts->nvars ? opts->values[pos] : krvmissing('.');
}

void oneSampleRows(krvopts *opts, const ObsObjects &objs, int32_t f) {
  krvgrafwork &w = work(opts);
  bool used = false;
  for (int32_t k = 0; k < opts->nanalyses; ++k) {
    w.row[kRowY][k] = opts->values[k];
    w.row[kRowBandLower][k] = w.interval[1][k];
    w.row[kRowBandUpper][k] = w.interval[2][k];
    used = used || !krvismissing(opts->values[k]);
  }
  if (used) writeRepeated(opts, objs.object[0], f);
}

void twoSampleRows(krvopts *opts, const ObsObjects &objs, int32_t f) {
  krvgrafwork &w = work(opts);
  const int level = classLevel(opts);
  if (level == 0) return;
  bool used = false;
  for (int32_t k = 0; k < opts->nanalyses; ++k) {
    w.row[kRowStacked][k] = w.row[kRowClass1 + level - 1][k] = opts->values[k];
    used = used || !krvismissing(opts->values[k]);
  }
  if (!used) return;
  setText(w.text[kTxtClassValue], levelText(opts, level - 1));
  writeRepeated(opts, objs.object[0], f);
  writeRepeated(opts, objs.object[level], f);
}

// The "VarName" cells of the stacked rows: every analysis's first or second
// variable.
void setVarNames(krvopts *opts, int member) {
  krvgrafwork &w = work(opts);
  for (int32_t k = 0; k < opts->nanalyses; ++k) {
    char *name = w.varname + kNameSize * k;
    std::memset(name, ' ', kNameSize);
    const std::string n = variable(opts, varnumOf(opts, k, member)).name;
    std::memcpy(name, n.data(), n.size() < kNameSize ? n.size() : kNameSize);
  }
}

void pairedRows(krvopts *opts, const ObsObjects &objs, int32_t f) {
  krvgrafwork &w = work(opts);
  const bool first = w.first_row[0] != 0;
  const double missing = krvmissing('.');
  bool used = false;
  for (int32_t k = 0; k < opts->nanalyses; ++k) {
    const double a = pairedValue(opts, varnumOf(opts, k, 0)),
                 b = pairedValue(opts, varnumOf(opts, k, 1));
    const bool both = !krvismissing(a) && !krvismissing(b);
    used = used || both;
    w.row[kRowPairY1][k] = a;
    w.row[kRowPairY2][k] = b;
    double d = missing;
    if (both && !opts->ratio) d = a - b;
    if (both && opts->ratio && std::fabs(b) >= kTinyDivisor) d = a / b;
    w.row[kRowPairDiff][k] = d;
    w.row[kRowPairY1Mean][k] =
        first ? orMissing(meanOf(opts, krvset(opts, kSetFirst)[k])) : missing;
    w.row[kRowPairY2Mean][k] =
        first ? orMissing(meanOf(opts, krvset(opts, kSetSecond)[k])) : missing;
    w.row[kRowPairLower][k] = w.interval[1][k];
    w.row[kRowPairUpper][k] = w.interval[2][k];
  }
  if (!used) return;
  for (int member = 0; member < 2; ++member) {
    w.position = member + 1;
    for (int32_t k = 0; k < opts->nanalyses; ++k) {
      w.row[kRowPairY][k] = member == 0 ? w.row[kRowPairY1][k] : w.row[kRowPairY2][k];
      w.row[kRowPairYMean][k] = member == 0 ? w.row[kRowPairY1Mean][k] : w.row[kRowPairY2Mean][k];
    }
    setVarNames(opts, member);
    writeRepeated(opts, objs.object[0], f);
  }
  writeRepeated(opts, objs.object[1], f);
  w.first_row[0] = 0;
}

// Sequence (1 or 2) of the observation's period-1 treatment; 0 to skip it.
int sequenceOf(const krvopts *opts) {
  for (int k = 0; k < 2; ++k) {
    const bool missing = opts->xo_type == 2 ? krvallblank(opts->xo_char[k], opts->xo_charw)
                                            : krvismissing(opts->xo_num[k]);
    if (missing) return 0;
  }
  int32_t n = opts->xo_fmtw;
  while (n > 0 && opts->xo_fmt[0][n - 1] == ' ') --n;
  const bool first =
      n == opts->trt_fmtlen[0] && std::memcmp(opts->xo_fmt[0], opts->trt_fmt[0], n) == 0;
  return first ? 1 : 2;
}

double cellMean(krvopts *opts, int cell, int32_t k) {
  return orMissing(meanOf(opts, krvset(opts, kCellSet[cell])[k]));
}

// The subject's values and, on the first subject of its sequence, the means
// of its cells.
bool crossoverValues(krvopts *opts, int seq, bool first) {
  krvgrafwork &w = work(opts);
  const double missing = krvmissing('.');
  bool used = false;
  for (int32_t k = 0; k < opts->nanalyses; ++k) {
    const double y1 = opts->values[2 * k], y2 = opts->values[2 * k + 1];
    used = used || (!krvismissing(y1) && !krvismissing(y2));
    w.row[kRowXoY1][k] = y1;
    w.row[kRowXoY2][k] = y2;
    w.row[kRowXoYA][k] = seq == 1 ? y1 : y2;
    w.row[kRowXoYB][k] = seq == 1 ? y2 : y1;
    w.row[kRowXoSeq1First + 2 * (seq - 1)][k] = y1;
    w.row[kRowXoSeq1Second + 2 * (seq - 1)][k] = y2;
    w.row[kRowXoY1Mean][k] = first ? cellMean(opts, cellOf(seq, 1), k) : missing;
    w.row[kRowXoY2Mean][k] = first ? cellMean(opts, cellOf(seq, 2), k) : missing;
    w.row[kRowXoYAMean][k] = first ? cellMean(opts, seq == 1 ? 0 : 1, k) : missing;
    w.row[kRowXoYBMean][k] = first ? cellMean(opts, seq == 1 ? 3 : 2, k) : missing;
  }
  return used;
}

void crossoverRows(krvopts *opts, const ObsObjects &objs, int32_t f) {
  krvgrafwork &w = work(opts);
  const int seq = sequenceOf(opts);
  if (seq == 0) return;
  const bool first = w.first_row[seq - 1] != 0;
  if (!crossoverValues(opts, seq, first)) return;
  for (int period = 1; period <= 2; ++period) {
    const int cell = cellOf(seq, period);
    setCell(opts, cell);
    for (int32_t k = 0; k < opts->nanalyses; ++k) {
      w.row[kRowXoY][k] = period == 1 ? w.row[kRowXoY1][k] : w.row[kRowXoY2][k];
      w.row[kRowXoYMean][k] = first ? cellMean(opts, cell, k) : krvmissing('.');
    }
    setVarNames(opts, period - 1);
    writeRepeated(opts, objs.object[0], f);
  }
  setSequence(opts, seq);
  writeRepeated(opts, objs.object[1], f);
  writeRepeated(opts, objs.object[1 + seq], f);
  w.first_row[seq - 1] = 0;
}

void observationRows(krvopts *opts, const ObsObjects &objs, int32_t f) {
  switch (opts->kind) {
    case kKindCrossover:
      return crossoverRows(opts, objs, f);
    case kKindTwoSample:
      return twoSampleRows(opts, objs, f);
    case kKindPaired:
      return pairedRows(opts, objs, f);
    default:
      return oneSampleRows(opts, objs, f);
  }
}

void crossoverLegendRows(krvopts *opts, const ObsObjects &objs) {
  krvgrafwork &w = work(opts);
  for (int a = 0; a < w.nrows; ++a) {
    for (int32_t k = 0; k < opts->nanalyses; ++k) w.row[a][k] = krvmissing('.');
  }
  for (int cell = 0; cell < 4; ++cell) {
    setCell(opts, cell);
    setVarNames(opts, kLegend[cell].period - 1);
    writeRow(objs.object[0]);
  }
  for (int seq = 1; seq <= 2; ++seq) {
    setSequence(opts, seq);
    writeRow(objs.object[1]);
  }
}

void legendRows(krvopts *opts, const ObsObjects &objs) {
  krvgrafwork &w = work(opts);
  w.obsno[0] = w.obsno[1] = krvmissing('.');
  if (opts->kind == kKindCrossover) crossoverLegendRows(opts, objs);
  if (opts->kind != kKindTwoSample) return;
  for (int32_t k = 0; k < opts->nanalyses; ++k) w.row[kRowStacked][k] = krvmissing('.');
  for (int level = 0; level < 2; ++level) {
    setText(w.text[kTxtClassValue], levelText(opts, level));
    writeRow(objs.object[0]);
  }
}

// Reads the BY group again and writes the rows of every observation used.
void readRows(krvopts *opts, const ObsObjects &objs) {
  krvgrafwork &w = work(opts);
  const bool numbered = xoinfo(opts->data, kInfoObsNumbers, nullptr) > 0;
  w.first_row[0] = w.first_row[1] = 1;
  xbyrwnd(opts->data);
  for (int32_t position = 1; xybyget(opts->reader) > 0; ++position) {
    xyvget(opts->reader);
    xofprc(opts->reader);
    const int32_t f = repeatCount(opts);
    if (f == 0) continue;
    w.obsno[0] = w.obsno[1] = numbered ? xonote(opts->data) : position;
    observationRows(opts, objs, f);
  }
}

void produceObservations(krvopts *opts) {
  ObsObjects objs;
  switch (opts->kind) {
    case kKindTwoSample:
      twoSampleObjects(opts, &objs);
      break;
    case kKindPaired:
      pairedObjects(opts, &objs);
      break;
    case kKindCrossover:
      crossoverObjects(opts, &objs);
      break;
    default:
      oneSampleObjects(opts, &objs);
  }
  for (int i = 0; i < objs.count; ++i) endDefinition(opts, objs.object[i]);
  legendRows(opts, objs);
  if (opts->dstype == 0) readRows(opts, objs);
  for (int i = 0; i < objs.count; ++i) publish(opts, objs.object[i], &work(opts).obs_ref[i], true);
  dataSetOutput(opts, false);
}

}  // namespace

void krvProduceGraphDataObjects(krvopts *opts) {
  if (opts->graphics.work == nullptr) return;
  produceStats(opts);
  produceObservations(opts);
}

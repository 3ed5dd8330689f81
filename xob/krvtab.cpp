#include "xob/krvtab.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>

#include "dsup/src/mcnpool.h"
#include "host/vynsvc.h"
#include "stat/src/krvmiss.h"
#include "stat/src/krvread.h"
#include "xob/krvmsg.h"
#include "xob/ulxlib.h"

namespace {

// Room for any catalogue text whose length is measured.
constexpr int32_t kScratchSize = 1280;

// Half the spacing of doubles at 1; 1000 of them keep a confidence level
// such as 100 (1 - 2 alpha) from falling just below its whole number.
constexpr double kEps = 1.1102230246251565e-16;

// The assessments (equivalent, not equivalent, unknown) and the names of
// the equivalence tests.
constexpr int32_t kAssessments[] = {501, 502, 503};
constexpr int32_t kTestUpper = 504;
constexpr int32_t kTestLower = 505;
constexpr int32_t kTestOverall = 506;

// When a table slot is produced.
enum krvt_when : uint8_t {
  kNever,
  kAlways,
  kWithoutTost,
  kWithTost,
  kWithoutRatioSets,
  kTostWithoutRatioSets,
  kWithoutIgnorePeriod
};

// The tables of each kind by slot, and the slot the equivalence heading
// comes before.
struct krvt_selection {
  krvt_when when[kKrvTables];
  int32_t equiv_slot;
};

constexpr krvt_selection kOneSample = {
    {kAlways, kWithoutRatioSets, kWithoutTost, kTostWithoutRatioSets, kWithTost, kNever, kNever},
    3};
constexpr krvt_selection kTwoSample = {
    {kAlways, kAlways, kWithoutTost, kWithTost, kWithTost, kAlways, kNever}, 3};
constexpr krvt_selection kCrossover = {{kAlways, kAlways, kWithoutRatioSets, kWithoutTost,
                                        kTostWithoutRatioSets, kWithTost, kWithoutIgnorePeriod},
                                       4};

const krvt_selection &selectionOf(const krvopts *opts) {
  switch (opts->kind) {
    case kKindTwoSample:
      return kTwoSample;
    case kKindCrossover:
      return kCrossover;
    default:
      return kOneSample;
  }
}

bool holds(const krvopts *opts, krvt_when when) {
  const bool tost = opts->tost != 0;
  const bool ratio_sets = opts->ratio_sets != 0;
  switch (when) {
    case kAlways:
      return true;
    case kWithoutTost:
      return !tost;
    case kWithTost:
      return tost;
    case kWithoutRatioSets:
      return !ratio_sets;
    case kTostWithoutRatioSets:
      return tost && !ratio_sets;
    case kWithoutIgnorePeriod:
      return opts->ignore_period == 0;
    default:
      return false;
  }
}

// ---- the host's column forms ---------------------------------------------

// A table being defined and the position of its next column (the row-buffer
// cell a value column reads).
struct krvt_def {
  krvopts *opts;
  void *table;
  int32_t pos;
};

void *msgText(int32_t number) {
  return ulxmsg(kKrvGroup, number);
}

void *nameText(const char *s) {
  return ulxtxt(s, static_cast<int32_t>(std::strlen(s)));
}

// A table creation or end the host refuses ends the step with a failing
// code; the host's status itself is negative and would read as success.
void checkStatus(krvopts *opts, int32_t status) {
  if (status >= 0) return;
  xprrlog(0, status);
  opts->failed = 1;
  if (opts->rc < kCodeHostObject) opts->rc = kCodeHostObject;
  xexit(opts->rc, 0);
}

void addColumn(krvt_def *t, int32_t count, wobprop *props) {
  wobmth(t->table, nullptr, kMthColumn, count, props);
  ++t->pos;
}

// The length of catalogue text `number`, measured in a scratch buffer.
int32_t textLength(int32_t number) {
  char scratch[kScratchSize];
  return xpmstr(scratch, kScratchSize, kKrvGroup, number);
}

// The longest of the catalogue texts `numbers`, at least 1.
int32_t longest(std::initializer_list<int32_t> numbers) {
  int32_t n = 1;
  for (int32_t number : numbers) n = std::max(n, textLength(number));
  return n;
}

// The confidence level of a 100 (1 - a)% interval, kept off the whole
// number just below it.
double confidenceLevel(double a) {
  return 100.0 * (1.0 - a) + 1000.0 * kEps;
}

bool printIt(const krvopts *opts, krvt_print print) {
  switch (print) {
    case kPrintNone:
      return false;
    case kPrintSd:
      return opts->ci_equal != 0 || opts->ci_umpu != 0;
    case kPrintEqual:
      return opts->ci_equal != 0;
    default:
      return opts->ci_umpu != 0;
  }
}

int32_t textWidth(const krvopts *opts, krvt_width width) {
  switch (width) {
    case kWidthName:
      return std::max(opts->maxnamelen, 1);
    case kWidthPair:
      return std::max(opts->maxpairlen + 3, 1);
    case kWidthClass:
      return std::max(opts->level_trimw, longest({krvt_difference_text(opts)}));
    case kWidthMethod:
      return opts->cochran ? longest({kMsgPooled, kMsgSatterthwaite, kMsgCochran})
                           : longest({kMsgPooled, kMsgSatterthwaite});
    case kWidthVariances:
      return longest({kMsgEqual, kMsgUnequal});
    case kWidthAssessment:
      return longest({kAssessments[0], kAssessments[1], kAssessments[2]});
    case kWidthTest:
      return longest({kTestUpper, kTestLower, kTestOverall});
    case kWidthFoldedF:
      return longest({kMsgFoldedF});
    case kWidthResponses:
      return std::max(opts->maxpairlen + 1, 1);
    case kWidthSequence:
      return longest({kMsgBothSequences});
    case kWidthTreatment:
      return std::max(opts->trt_trimw, longest({krvt_difference_text(opts)}));
    case kWidthPeriod:
      return longest({krvt_difference_text(opts)});
    case kWidthXoName:
      return std::max({opts->xo_namelen[0], opts->xo_namelen[1], 1});
    default:
      return 1;
  }
}

// A character column shown at a fixed width, at least 1 and never beyond
// its buffer; `print` names its print attribute, or is null.
void textColumn(krvt_def *t, const char *col, void *label, int buffer, int32_t width,
                const char *print) {
  krvopts *opts = t->opts;
  const int32_t w = std::clamp(width, 1, std::max(opts->label_size[buffer], 1));
  wobprop props[11] = {
      wobp_int(kKeyColumnType, 6),
      wobp_ptr(kKeyName, kWobText, nameText(col)),
      wobp_ptr(kKeyLabel, kWobText, label),
      wobp_ptr(kKeyCell, kWobCell, opts->label[buffer]),
      wobp_int(kKeyStorage, w),
      wobp_ptr(kKeyAttribute, kWobText, nameText("MinimumWidth")),
      wobp_int(kKeyValue, w),
      wobp_ptr(kKeyAttribute, kWobText, nameText("MaximumWidth")),
      wobp_int(kKeyValue, w),
      wobp_ptr(kKeyAttribute, kWobText, print == nullptr ? nullptr : nameText(print)),
      wobp_bool(kKeyValue, opts->nobyvar != 0)};
  addColumn(t, print == nullptr ? 9 : 11, props);
}

void valueColumn(krvt_def *t, const char *col, int32_t label, const char *code) {
  ulxinsc(t->table, msgText(label), col, code, &t->opts->row[t->pos]);
  ++t->pos;
}

void plainColumn(krvt_def *t, const char *col, int32_t label, krvt_print print) {
  wobprop props[6] = {wobp_int(kKeyColumnType, 5),
                      wobp_ptr(kKeyName, kWobText, nameText(col)),
                      wobp_ptr(kKeyLabel, kWobText, msgText(label)),
                      wobp_ptr(kKeyCell, kWobCell, &t->opts->row[t->pos]),
                      wobp_ptr(kKeyAttribute, kWobText, nameText("PrintIt")),
                      wobp_bool(kKeyValue, printIt(t->opts, print))};
  addColumn(t, print == kPrintNone ? 4 : 6, props);
}

// A p-value column: no label, its header comes from message `header`.
void probColumn(krvt_def *t, int32_t header) {
  wobprop props[5] = {wobp_int(kKeyColumnType, 5), wobp_ptr(kKeyName, kWobText, nameText("Probt")),
                      wobp_ptr(kKeyCell, kWobCell, &t->opts->row[t->pos]),
                      wobp_ptr(kKeyAttribute, kWobText, nameText("ProbtHeader")),
                      wobp_ptr(kKeyValue, kWobText, msgText(header))};
  addColumn(t, 5, props);
}

void comparatorColumn(krvt_def *t, const char *col, int buffer) {
  wobprop props[5] = {wobp_int(kKeyColumnType, 6), wobp_ptr(kKeyName, kWobText, nameText(col)),
                      wobp_ptr(kKeyCell, kWobCell, t->opts->label[buffer]),
                      wobp_int(kKeyStorage, 1), wobp_int(kKeyWidth, 1)};
  addColumn(t, 5, props);
}

void attribute(krvt_def *t, const char *attr, wobprop value) {
  wobprop props[2] = {wobp_ptr(kKeyAttribute, kWobText, nameText(attr)), value};
  wobmth(t->table, nullptr, kMthAttribute, 2, props);
}

// ---- defining -------------------------------------------------------------

// The skip flags that hold for the options of `opts`.
uint8_t skipsInForce(const krvopts *opts) {
  return static_cast<uint8_t>(
      (opts->lognormal ? kSkipLognormal : 0) | (opts->ratio_sets ? kSkipRatioSets : 0) |
      (opts->ratio ? kSkipRatio : kSkipDiff) | (opts->ignore_period ? kSkipIgnorePeriod : 0));
}

bool skipped(const krvopts *opts, const krvt_col &c) {
  return (c.skip & skipsInForce(opts)) != 0;
}

int32_t probtHeader(const krvopts *opts) {
  if (opts->sides == 1) return 624;
  return opts->sides == 2 ? 625 : 623;
}

// The rows a ConfLimits table keeps together: none for the crossover tables.
int32_t reqspace(const krvopts *opts) {
  if (opts->kind == kKindTwoSample) return opts->weight_var == -1 ? 6 : 5;
  return opts->kind == kKindCrossover ? 0 : 3;
}

void defineColumn(krvt_def *t, const krvt_col &c) {
  const krvopts *opts = t->opts;
  const bool ln = opts->lognormal != 0 && c.logname != nullptr;
  const char *name = ln ? c.logname : c.name;
  const int32_t label = ln ? c.loglabel : c.label;
  switch (c.form) {
    case kFormValue:
      return valueColumn(t, name, label, "s");
    case kFormProbF:
      return valueColumn(t, name, label, "p");
    case kFormPlain:
      return plainColumn(t, name, label, c.print);
    case kFormProbt:
      return probColumn(t, label);
    case kFormProbtSides:
      return probColumn(t, probtHeader(opts));
    case kFormComparator:
      return comparatorColumn(t, name, c.read);
    case kFormText:
      break;
  }
  void *text =
      label == kLabelClassName ? ulxtxt(opts->class_name, opts->class_namelen) : msgText(label);
  textColumn(t, name, text, c.read, textWidth(opts, c.width), c.printattr);
}

void defineAttributes(krvt_def *t, krvt_attrs attrs) {
  krvopts *opts = t->opts;
  if (attrs == kAttrEquiv) {
    const auto level = static_cast<int32_t>(confidenceLevel(2.0 * opts->alpha));
    attribute(t, "confequiv", wobp_int(kKeyValue, level));
  }
  if (attrs != kAttrConf) return;
  const double level = confidenceLevel(opts->alpha);
  attribute(t, "confmean", wobp_double(kKeyValue, level));
  attribute(t, opts->lognormal ? "confcv" : "confstd", wobp_double(kKeyValue, level));
  if (reqspace(opts) > 0) attribute(t, "reqspace", wobp_int(kKeyValue, reqspace(opts)));
}

// The template path of table slot `slot`: "Stat.Kravo." and the name.
const char *tablePath(krvopts *opts, int32_t slot, const char *tname) {
  char *path = opts->table_path[slot];
  std::memset(path, 0, kKrvPathSize);
  std::memcpy(path, "Stat.Kravo.", 11);
  std::strncat(path, tname, kKrvPathSize - 12);
  return path;
}

// Creates the table of slot `slot` on the output manager; a refusal ends the
// step.
krvt_def beginTable(krvopts *opts, int32_t slot, const char *tname, int32_t label) {
  tablePath(opts, slot, tname);
  wobprop create[6] = {wobp_str(kKeyNameSpace, "ulx", 3),
                       wobp_str(kKeyKind, "data", 4),
                       wobp_ptr(kKeyCreated, kWobObject, nullptr),
                       wobp_int(kKeyOption, -1),
                       wobp_ptr(kKeyLabel, kWobText, msgText(label)),
                       wobp_ptr(kKeyName, kWobText, nameText(tname))};
  checkStatus(opts, wobmth(opts->outmgr, nullptr, kMthCreate, 6, create));
  opts->table_tmpl[slot] = create[2].v.p;
  return krvt_def{opts, create[2].v.p, 0};
}

int32_t defineTable(krvopts *opts, int32_t slot, const krvt_table &tab) {
  krvt_def t = beginTable(opts, slot, tab.name, opts->lognormal ? tab.loglabel : tab.label);
  for (int r = 0; r < kKrvtRuns; ++r) {
    const krvt_cols &run = tab.runs[r];
    for (int32_t i = 0; i < run.count; ++i) {
      if (!skipped(opts, run.cols[i])) defineColumn(&t, run.cols[i]);
    }
    if (r == 0) defineAttributes(&t, tab.attrs);
  }
  const int32_t status = wobmth(t.table, nullptr, kMthEndTable, 0, nullptr);
  checkStatus(opts, status);
  return status;
}

// ---- filling --------------------------------------------------------------

// A value as it goes into a cell: a statistic never computed becomes the
// host missing value; NaNs and numbers go in as they are.
double screened(double v) {
  return v == kNotComputed ? krvmissing('.') : v;
}

// The member of a record that holds `field` as it stands, on the scale of
// the step (geometric means and CVs when `ln`, the lognormal); null for a
// field that is not read from a record.
double krvstat::*recordMember(bool ln, krvt_field field) {
  switch (field) {
    case kFieldN:
      return &krvstat::n;
    case kFieldMean:
      return ln ? &krvstat::gmean : &krvstat::mean;
    case kFieldLclm:
      return ln ? &krvstat::lclgm : &krvstat::lclm;
    case kFieldUclm:
      return ln ? &krvstat::uclgm : &krvstat::uclm;
    case kFieldStd:
      return ln ? &krvstat::cv : &krvstat::std;
    case kFieldLclStd:
      return ln ? &krvstat::lclcv : &krvstat::lclstd;
    case kFieldUclStd:
      return ln ? &krvstat::uclcv : &krvstat::uclstd;
    case kFieldUmpuLclStd:
      return ln ? &krvstat::lclcv_umpu : &krvstat::lclstd_umpu;
    case kFieldUmpuUclStd:
      return ln ? &krvstat::uclcv_umpu : &krvstat::uclstd_umpu;
    case kFieldStdErr:
      return &krvstat::stderr_mean;
    case kFieldMin:
      return &krvstat::min;
    case kFieldMax:
      return &krvstat::max;
    default:
      return nullptr;
  }
}

double meanLimit(const krvopts *opts, const krvt_row &row, bool upper) {
  const krvstat *s = row.rec;
  if (row.unequal) {
    if (opts->lognormal) return upper ? s->uclgm_u : s->lclgm_u;
    return upper ? s->uclm_u : s->lclm_u;
  }
  return s->*recordMember(opts->lognormal != 0, upper ? kFieldUclm : kFieldLclm);
}

// The CV of a lognormal derived row is that of twice the log difference.
double dispersion(const krvopts *opts, const krvt_row &row, krvt_field field) {
  const krvstat *s = row.rec;
  const bool ln = opts->lognormal != 0;
  if (ln && row.derived) {
    switch (field) {
      case kFieldStd:
        return s->cv4;
      case kFieldLclStd:
        return s->lclcv4;
      case kFieldUclStd:
        return s->uclcv4;
      case kFieldUmpuLclStd:
        return s->lclcv4_umpu;
      default:
        return s->uclcv4_umpu;
    }
  }
  return s->*recordMember(ln, field);
}

// A statistic of a half difference on the scale of the whole difference:
// doubled on the normal scale; on the lognormal, a mean, limit or extreme
// squared, shown as special missing where the square would overflow. CVs
// come from their own fields. Missing values stay for the screening.
double derivedValue(const krvopts *opts, krvt_field field, double v) {
  if (std::isnan(v) || v == kNotComputed) return v;
  if (!opts->lognormal) return 2.0 * v;
  const bool squared = field == kFieldMean || field == kFieldLclm || field == kFieldUclm ||
                       field == kFieldMin || field == kFieldMax;
  if (!squared) return v;
  return v < kKrvSqrtMax ? v * v : krvmissing('_');
}

double recordValue(const krvopts *opts, const krvt_row &row, krvt_field field) {
  const krvstat *s = row.rec;
  const krvstat *extremes = row.extremes != nullptr ? row.extremes : s;
  switch (field) {
    case kFieldMean:
      return s->*recordMember(opts->lognormal != 0, field);
    case kFieldLclm:
      return meanLimit(opts, row, false);
    case kFieldUclm:
      return meanLimit(opts, row, true);
    case kFieldMin:
      return extremes->min;
    case kFieldMax:
      return extremes->max;
    default:
      return row.no_dispersion ? krvmissing('_') : dispersion(opts, row, field);
  }
}

double cellValue(const krvopts *opts, const krvt_row &row, krvt_field field) {
  switch (field) {
    case kFieldN:
      return row.rec->n;
    case kFieldLowerBound:
      return opts->tost_lower;
    case kFieldUpperBound:
      return opts->tost_upper;
    case kFieldV0:
    case kFieldV1:
    case kFieldV2:
    case kFieldV3:
      return row.v[field - kFieldV0];
    default: {
      const double v = recordValue(opts, row, field);
      return row.derived ? derivedValue(opts, field, v) : v;
    }
  }
}

void fillText(krvopts *opts, int buffer, const krvt_text &text) {
  krvt_fill_buffer(opts, buffer, {{text.s, text.s == nullptr ? 0 : text.len}});
  if (text.msg > 0 && opts->label[buffer] != nullptr)
    xpmstr(opts->label[buffer], opts->label_size[buffer], kKrvGroup, text.msg);
}

// Variable k (0 or 1) of the current analysis: its name, looked up once for
// all the fills of the step.
const krvt_name &analysisName(krvopts *opts, int k) {
  if (opts->fill_names == nullptr) {
    const auto n = static_cast<size_t>(std::max(opts->nanalyses, 1));
    opts->fill_names = static_cast<krvt_name *>(mcn_step_alloc(2 * n * sizeof(krvt_name)));
    if (opts->fill_names == nullptr) krvnomem(opts);
  }
  krvt_name &name = opts->fill_names[2 * opts->cur + k];
  if (name.len == 0) {
    xvinfo info{};
    xvname(opts->data, krvset(opts, kSetMain)[opts->cur].varnum[k], &info);
    name.len = std::min<uint16_t>(info.namelen, sizeof name.text);
    std::memcpy(name.text, info.name, name.len);
  }
  return name;
}

// What the text buffers hold from the fills, made at the first fill of the
// step.
krvt_held *heldNames(krvopts *opts) {
  if (opts->fill_held == nullptr) {
    opts->fill_held = static_cast<krvt_held *>(mcn_step_alloc(kKrvLabels * sizeof(krvt_held)));
    if (opts->fill_held == nullptr) krvnomem(opts);
  }
  return opts->fill_held;
}

// The names of the analysis: its variable, or the two members of its pair
// and the pair itself.
void writeName(krvopts *opts, int buffer, krvt_source source) {
  const krvt_name &first = analysisName(opts, 0);
  if (source == kFromName1) {
    krvt_fill_buffer(opts, buffer, {{first.text, first.len}});
    return;
  }
  const krvt_name &second = analysisName(opts, 1);
  if (source == kFromName2) {
    krvt_fill_buffer(opts, buffer, {{second.text, second.len}});
    return;
  }
  const char *joint = source == kFromResponses ? " " : opts->ratio ? " / " : " - ";
  krvt_fill_buffer(opts, buffer,
                   {{first.text, first.len},
                    {joint, static_cast<int32_t>(std::strlen(joint))},
                    {second.text, second.len}});
}

// Whether a source is one variable's name alone.
bool singleName(krvt_source source) {
  return source == kFromName1 || source == kFromName2;
}

// Text buffer `buffer`, holding the name from `source` of analysis `was` and
// blanks after it, made to hold the current analysis's: its name is copied
// and only the bytes of the old one past it are blanked.
void writeNameOver(krvopts *opts, int buffer, krvt_source source, int32_t was) {
  const int k = source == kFromName2 ? 1 : 0;
  const size_t size = static_cast<size_t>(opts->label_size[buffer]);
  const size_t held = std::min<size_t>(opts->fill_names[2 * was + k].len, size);
  const krvt_name &name = analysisName(opts, k);
  const size_t length = std::min<size_t>(name.len, size);
  char *const at = opts->label[buffer];
  std::memcpy(at, name.text, length);
  if (held > length) std::memset(at + length, ' ', held - length);
}

// The names of the analysis in text buffer `buffer`, left there when the
// last fill wrote them and nothing has written the buffer since, as in the
// tables of one analysis after its first; a name of the analysis before
// written over.
void fillName(krvopts *opts, int buffer, krvt_source source) {
  krvt_held &held = heldNames(opts)[buffer];
  const char *at = opts->label[buffer];
  if (at != nullptr && held.buffer == at && held.source == source) {
    if (held.analysis == opts->cur) return;
    if (singleName(source)) {
      writeNameOver(opts, buffer, source, held.analysis);
      held.analysis = opts->cur;
      return;
    }
  }
  writeName(opts, buffer, source);
  held = {at, opts->cur, source};
}

bool isText(const krvt_col &c) {
  return c.form == kFormText || c.form == kFormComparator;
}

// The statistic a value column shows for a plain row, read as it is from the
// row's record on the scale of the step; null for a column that is not one.
double krvstat::*plainStatistic(const krvopts *opts, const krvt_col &c) {
  if (isText(c)) return nullptr;
  return recordMember(opts->lognormal != 0, static_cast<krvt_field>(c.read));
}

// Whether a value column shows one of the row's own values, as it stands
// in every row.
bool ownValue(const krvt_col &c) {
  return !isText(c) && c.read >= kFieldV0 && c.read <= kFieldV3;
}

// A row whose statistics are those of its one record as they stand: no
// second record for the extremes, no other limits, no derivation and
// dispersion to show.
bool plainRow(const krvt_row &row) {
  return row.extremes == nullptr && !row.unequal && !row.no_dispersion && !row.derived;
}

// Walks the selected columns of `tab` in order, with the row-buffer cell of
// each value column.
template <typename Visit>
void eachColumn(const krvopts *opts, const krvt_table &tab, Visit visit) {
  const uint8_t skips = skipsInForce(opts);
  int32_t pos = 0;
  for (const krvt_cols &run : tab.runs) {
    for (int32_t i = 0; i < run.count; ++i) {
      if ((run.cols[i].skip & skips) != 0) continue;
      visit(run.cols[i], pos++);
    }
  }
}

int32_t columnCount(const krvt_table &tab) {
  int32_t n = 0;
  for (const krvt_cols &run : tab.runs) n += run.count;
  return n;
}

// The plan of table `tab`: its selected columns split into the statistics a
// plain row reads straight from its record, the other cells filled from each
// row and the names written once per fill. The options it follows hold for
// the whole step, so a table is planned once.
krvt_plan *makePlan(krvopts *opts, const krvt_table &tab) {
  const auto room = static_cast<size_t>(columnCount(tab));
  void *block = mcn_step_alloc(sizeof(krvt_plan) + 4 * room * sizeof(krvt_plan_col));
  if (block == nullptr) krvnomem(opts);
  auto *plan = static_cast<krvt_plan *>(block);
  auto *cols = reinterpret_cast<krvt_plan_col *>(plan + 1);
  plan->table = &tab;
  plan->stats = cols;
  plan->values = cols + room;
  plan->cells = cols + 2 * room;
  plan->names = cols + 3 * room;
  eachColumn(opts, tab, [&](const krvt_col &c, int32_t pos) {
    double krvstat::*stat = plainStatistic(opts, c);
    if (stat != nullptr) {
      plan->stats[plan->nstats++] = {&c, pos, stat};
    } else if (ownValue(c)) {
      plan->values[plan->nvalues++] = {&c, pos, nullptr};
    } else if (!isText(c) || c.source == kFromRow) {
      plan->cells[plan->ncells++] = {&c, pos, nullptr};
    } else if (c.form == kFormText) {
      plan->names[plan->nnames++] = {&c, pos, nullptr};
    }
  });
  return plan;
}

const krvt_plan &planOf(krvopts *opts, int32_t slot, const krvt_table &tab) {
  krvt_plan *&plan = opts->fill_plan[slot];
  if (plan != nullptr && plan->table == &tab) return *plan;
  mcn_step_free(plan);
  plan = makePlan(opts, tab);
  return *plan;
}

// One cell of a row as its column works it out.
void fillCell(krvopts *opts, const krvt_plan_col &cell, const krvt_row &row) {
  const krvt_col &c = *cell.col;
  if (isText(c)) {
    fillText(opts, c.read, row.text[c.read]);
  } else {
    opts->row[cell.pos] = screened(cellValue(opts, row, static_cast<krvt_field>(c.read)));
  }
}

// Whether a value is a statistic never computed, told by its bits.
bool notComputed(double v) {
  return std::bit_cast<uint64_t>(v) == std::bit_cast<uint64_t>(kNotComputed);
}

// The cells of `count` planned columns screened where they are: the rare
// statistic never computed among them, out of line.
[[gnu::noinline]] void screenCells(double *cells, const krvt_plan_col *cols, int32_t count) {
  for (int32_t i = 0; i < count; ++i) cells[cols[i].pos] = screened(cells[cols[i].pos]);
}

// The values `valueOf` gives the cells of `count` planned columns, screened
// once the walk has found one never computed.
template <typename ValueOf>
[[gnu::always_inline]] inline void fillScreened(double *cells, const krvt_plan_col *cols,
                                                int32_t count, ValueOf valueOf) {
  bool unscreened = false;
  for (const krvt_plan_col *c = cols; c != cols + count; ++c) {
    const double v = valueOf(*c);
    cells[c->pos] = v;
    unscreened |= notComputed(v);
  }
  if (unscreened) [[unlikely]]
    screenCells(cells, cols, count);
}

// The statistics of a plain row straight from its record, and every row's
// own values. The walks read their bounds and record once: the compiler
// cannot tell the cells written from the plan.
void fillPlainStatistics(double *cells, const krvt_plan &plan, const krvstat &rec) {
  fillScreened(cells, plan.stats, plan.nstats,
               [&rec](const krvt_plan_col &c) { return rec.*c.stat; });
}

void fillOwnValues(double *cells, const krvt_plan &plan, const krvt_row &row) {
  const double *const v = row.v;
  fillScreened(cells, plan.values, plan.nvalues,
               [v](const krvt_plan_col &c) { return v[c.col->read - kFieldV0]; });
}

// The cells of `count` planned columns as each works them out: the few a
// plain row of the common tables has none of, out of line.
[[gnu::noinline]] void fillCells(krvopts *opts, const krvt_plan_col *cells, int32_t count,
                                 const krvt_row &row) {
  for (int32_t i = 0; i < count; ++i) fillCell(opts, cells[i], row);
}

void fillRow(krvopts *opts, const krvt_plan &plan, const krvt_row &row) {
  if (plainRow(row)) [[likely]] {
    fillPlainStatistics(opts->row, plan, *row.rec);
  } else {
    fillCells(opts, plan.stats, plan.nstats, row);
  }
  fillOwnValues(opts->row, plan, row);
  if (plan.ncells != 0) fillCells(opts, plan.cells, plan.ncells, row);
}

// "<" when a limit lies inside its bound, ">" when outside, blank when it
// could not be computed.
krvt_text comparator(int32_t inside) {
  return {inside == 1 ? "<" : inside == 0 ? ">" : " ", 0, 1};
}

krvt_text assessment(int32_t equivalent) {
  if (equivalent < -1 || equivalent > 1) return {};
  return krvt_message(kAssessments[1 - equivalent]);
}

// The overall p-value of the two one-sided tests: the larger of the two when
// both are known.
double overallP(double p_lower, double p_upper) {
  if (krvismissing(p_lower) || krvismissing(p_upper)) return krvmissing('.');
  return std::max(p_lower, p_upper);
}

// The output of table `slot`, made with its template path and TOPSPACE 1;
// a refusal ends the step.
void openOutput(krvopts *opts, int32_t slot) {
  wobprop props[5] = {wobp_ptr(kKeyNone, kWobObject, nullptr),
                      wobp_ptr(kKeyNone, kWobObject, opts->table_tmpl[slot]),
                      wobp_ptr(kKeyPath, kWobText, opts->path_text[slot]),
                      wobp_ptr(kKeyAttribute, kWobText, opts->topspace_text),
                      wobp_int(kKeyValue, 1)};
  checkStatus(opts, wobmth(opts->outmgr, nullptr, kMthOutput, 5, props));
  opts->table_out[slot] = props[0].v.p;
}

// The output of table `slot`, complete, emitted.
void emitOutput(krvopts *opts, int32_t slot) {
  wobprop last[1] = {wobp_int(kKeyLast, 1)};
  wobmth(opts->table_tmpl[slot], nullptr, kMthLastOut, 1, last);
  wobprop emit[1] = {wobp_ptr(kKeyNone, kWobObject, opts->table_out[slot])};
  wobmth(opts->outmgr, nullptr, kMthEmit, 1, emit);
}

// The output of table `slot` made, given the one row its cells hold and
// emitted by one call, with the path and attribute the output call gives;
// false when the host has no such call. A refusal ends the step.
bool rowOutput(krvopts *opts, int32_t slot) {
  if ((opts->host_lacks & kLacksRowOutput) != 0) return false;
  wobprop props[3] = {wobp_ptr(kKeyPath, kWobText, opts->path_text[slot]),
                      wobp_ptr(kKeyAttribute, kWobText, opts->topspace_text),
                      wobp_int(kKeyValue, 1)};
  const int32_t status = wobmth(opts->table_tmpl[slot], nullptr, kMthRowOutput, 3, props);
  if (status == kWobNoMethod) {
    opts->host_lacks |= kLacksRowOutput;
    return false;
  }
  checkStatus(opts, status);
  return true;
}

// A row of table `slot` from its cells as they are now.
int32_t giveRow(krvopts *opts, int32_t slot) {
  return wobmth(opts->table_tmpl[slot], nullptr, kMthRow, 0, nullptr);
}

// A whole output of one row: made, filled and emitted by one call where the
// host has it, else by the calls of an output.
int32_t fillOneRowOutput(krvopts *opts, const krvt_plan &plan, int32_t slot, const krvt_row &row) {
  fillRow(opts, plan, row);
  if (rowOutput(opts, slot)) return 0;
  openOutput(opts, slot);
  const int32_t status = giveRow(opts, slot);
  emitOutput(opts, slot);
  return status;
}

}  // namespace

int32_t krvt_difference_text(const krvopts *opts) {
  return opts->ratio ? kMsgRatio : kMsgDiff;
}

bool krvt_selected_by_options(const krvopts *opts, int32_t slot) {
  return holds(opts, selectionOf(opts).when[slot]);
}

int32_t krvt_equiv_slot(const krvopts *opts) {
  return selectionOf(opts).equiv_slot;
}

int32_t krvt_define(krvopts *opts, krvt_kind kind) {
  opts->ntables = kind.count;
  int32_t status = 0;
  for (int32_t slot = 0; slot < kind.count; ++slot) {
    if (krvt_selected(opts, slot)) status = defineTable(opts, slot, kind.tables[slot]);
  }
  return status;
}

void krvt_step_texts(krvopts *opts, krvt_kind kind) {
  for (int32_t slot = 0; slot < kind.count && slot < kKrvTables; ++slot) {
    opts->path_text[slot] = ulxtxt(tablePath(opts, slot, kind.tables[slot].name), -1);
  }
  opts->topspace_text = ulxtxt("TOPSPACE", 8);
  uint8_t selected = kKrvtSelectionKnown;
  for (int32_t slot = 0; slot < kKrvTables; ++slot) {
    if (holds(opts, selectionOf(opts).when[slot])) selected |= 1u << slot;
  }
  opts->fill_selected = selected;
}

krvt_row &krvt_kept_row(krvopts *opts) {
  if (opts->fill_row == nullptr) {
    void *block = mcn_step_alloc(sizeof(krvt_row));
    if (block == nullptr) krvnomem(opts);
    opts->fill_row = new (block) krvt_row{};
  }
  return *opts->fill_row;
}

void krvt_release_plans(krvopts *opts) {
  for (krvt_plan *&plan : opts->fill_plan) {
    mcn_step_free(plan);
    plan = nullptr;
  }
  mcn_step_free(opts->fill_row);
  opts->fill_row = nullptr;
  mcn_step_free(opts->fill_names);
  opts->fill_names = nullptr;
  mcn_step_free(opts->fill_held);
  opts->fill_held = nullptr;
}

int32_t krvt_fill(krvopts *opts, krvt_kind kind, int32_t slot, const krvt_row *rows,
                  int32_t count) {
  if (slot < 0 || slot >= kind.count || opts->table_tmpl[slot] == nullptr) {
    xebug("krvt_fill: table %d is not defined", slot);
    return kWobNoMethod;
  }
  const krvt_plan &plan = planOf(opts, slot, kind.tables[slot]);
  for (int32_t i = 0; i < plan.nnames; ++i) {
    fillName(opts, plan.names[i].col->read, plan.names[i].col->source);
  }
  const uint8_t output = std::exchange(opts->fill_output, 0);
  if (count == 1 && output == (kOutputOpen | kOutputEmit)) {
    return fillOneRowOutput(opts, plan, slot, rows[0]);
  }
  if ((output & kOutputOpen) != 0) openOutput(opts, slot);
  int32_t status = 0;
  for (int32_t i = 0; i < count; ++i) {
    fillRow(opts, plan, rows[i]);
    status = giveRow(opts, slot);
  }
  if ((output & kOutputEmit) != 0) emitOutput(opts, slot);
  return status;
}

int32_t krvt_fill_folded_f(krvopts *opts, krvt_kind kind, int32_t slot, const krvfoldf &f,
                           const krvstat *rec) {
  krvt_row row{.rec = rec, .v = {f.numdf, f.dendf, f.f, f.p}};
  row.text[kBufMethod] = krvt_message(kMsgFoldedF);
  return krvt_fill(opts, kind, slot, &row, 1);
}

krvt_tost krvt_tost_of(const krvequiv &e) {
  return {e.lcl,     e.ucl,     e.t_lower,      e.t_upper,      e.df,        e.df,
          e.p_lower, e.p_upper, e.lower_inside, e.upper_inside, e.equivalent};
}

krvt_tost krvt_tost_of(const krvuneqequiv &e) {
  return {e.lcl,     e.ucl,     e.t_lower,      e.t_upper,      e.df_lower,  e.df_upper,
          e.p_lower, e.p_upper, e.lower_inside, e.upper_inside, e.equivalent};
}

krvt_row krvt_limits_row(krvt_row base, const krvt_tost &tost) {
  base.v[0] = tost.lcl;
  base.v[1] = tost.ucl;
  base.text[kBufLowerCmp] = comparator(tost.lower_inside);
  base.text[kBufUpperCmp] = comparator(tost.upper_inside);
  base.text[kBufAssess] = assessment(tost.equivalent);
  return base;
}

void krvt_test_rows(const krvopts *opts, const krvt_row &base, const krvt_tost &tost,
                    krvt_row out[3]) {
  const double blank = krvmissing('_');
  const struct {
    int32_t test;
    double null, t, df, p;
  } tests[3] = {{kTestLower, opts->tost_lower, tost.t_lower, tost.df_lower, tost.p_lower},
                {kTestUpper, opts->tost_upper, tost.t_upper, tost.df_upper, tost.p_upper},
                {kTestOverall, blank, blank, blank, overallP(tost.p_lower, tost.p_upper)}};
  for (int k = 0; k < 3; ++k) {
    out[k] = base;
    out[k].text[kBufTest] = krvt_message(tests[k].test);
    out[k].v[0] = tests[k].null;
    out[k].v[1] = tests[k].t;
    out[k].v[2] = tests[k].df;
    out[k].v[3] = tests[k].p;
  }
}

int32_t krvt_fill_buffer(krvopts *opts, int index,
                         std::initializer_list<std::pair<const char *, int32_t>> parts) {
  if (opts->fill_held != nullptr) opts->fill_held[index].buffer = nullptr;
  char *buffer = opts->label[index];
  const int32_t size = opts->label_size[index];
  if (buffer == nullptr || size <= 0) return 0;
  std::memset(buffer, ' ', static_cast<size_t>(size));
  int32_t used = 0;
  for (const auto &[text, len] : parts) {
    const int32_t n = std::min(len, size - used);
    if (n <= 0) break;
    std::memcpy(buffer + used, text, static_cast<size_t>(n));
    used += n;
  }
  return used;
}

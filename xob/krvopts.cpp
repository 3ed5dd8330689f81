// Statements to options record: parse, select the analysis kind and the
// variables, take the work areas, apply defaults and checks, and build the
// read request.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "core/src/krvstmt.h"
#include "core/src/xsparse.h"
#include "dsup/src/mcnpool.h"
#include "src/krvstg.h"
#include "stat/src/krvpair.h"
#include "stat/src/krvstat.h"
#include "xob/krvmsg.h"
#include "xob/krvprocs.h"

namespace {

// Option flags of the statement block.
enum Flag : int {
  kFlagCiEqual = 1,
  kFlagCiUmpu = 2,
  kFlagCiNone = 3,
  kFlagCochran = 4,
  kFlagNobyvar = 5,
  kFlagSidesL = 7,
  kFlagSidesU = 8,
  kFlagNormal = 9,
  kFlagLognormal = 10,
  kFlagDiff = 11,
  kFlagRatio = 12,
  kFlagTost = 13,
  kFlagIgnorePeriod = 14,
  kFlagDevtest = 43,
};

// Option slots of the statement block.
enum Slot : int {
  kSlotBy = 0,
  kSlotVar = 1,
  kSlotClass = 2,
  kSlotPaired = 3,
  kSlotData = 4,
  kSlotFreq = 5,
  kSlotWeight = 6,
  kSlotH0 = 8,
  kSlotAlpha = 9,
  kSlotTostFirst = 11,
  kSlotTostSecond = 12,
  kSlotCrossFirst = 13,
  kSlotCrossSecond = 14,
  kSlotOrder = 15,
  kSlotSides = 16,
};

// Values treated as zero, and the relative tolerance of equivalence bounds.
constexpr double kTiny = 1.1102230246251565e-13;
constexpr int32_t kOrderMixed = 42;
// Character values are held at their storage length, and never shorter.
constexpr int32_t kMinCharValue = 256;
constexpr int32_t kStatValueWidth = 8;
// Text buffer of the two-sample tables' Class column.
constexpr int kClassTextBuffer = 2;
// The host cannot read the selected variables of the input data set.
constexpr int32_t kMsgUnreadable = 901;

vynstmt::StatementBlock &block() {
  return *krvstmt();
}
bool flag(int k) {
  return vynstmt::stmtFlag(block(), k);
}
const vynstmt::StmtSlot &slot(int k) {
  return block().slots[k];
}
bool present(int k) {
  return slot(k).present != 0;
}
double number(int k) {
  return vynstmt::slotNumber(slot(k));
}
// First variable of a list slot, or -1.
int32_t firstVar(int k) {
  const vynstmt::StmtSlot &s = slot(k);
  return s.present && s.count > 0 && s.elements != nullptr ? s.elements[0] : -1;
}

void *stepBlock(krvopts *opts, size_t size) {
  void *p = mcn_step_alloc(size);
  if (p == nullptr) krvnomem(opts);
  return p;
}

void *workBlock(krvopts *opts, size_t size) {
  void *p = mcn_work_alloc(size);
  if (p == nullptr) krvnomem(opts);
  return p;
}

bool fixedName(void *data, const char *name, int32_t *var) {
  int32_t found = -1;
  if (xvfind(data, name, 8, &found, 0) != 0) return false;
  xvinfo info{};
  xvname(data, found, &info);
  if (info.type != 2) return false;
  *var = found;
  return true;
}

// The statements whose variables never enter the default list: BY, CLASS,
// FREQ, WEIGHT and CROSSOVER=.
constexpr int kExcludedSlots[] = {kSlotBy,     kSlotClass,      kSlotFreq,
                                  kSlotWeight, kSlotCrossFirst, kSlotCrossSecond};

int32_t excludedCount() {
  int32_t n = 0;
  for (int k : kExcludedSlots) {
    if (slot(k).present && slot(k).elements != nullptr && slot(k).count > 0) n += slot(k).count;
  }
  return n;
}

// Default analysis variables: every numeric variable not named in BY, CLASS,
// FREQ, WEIGHT or (crossover) CROSSOVER=.
int32_t defaultVariables(krvopts *opts, int32_t **list) {
  const int32_t total = xvallvr(opts->data, 1, nullptr, 0);
  auto *vars = static_cast<int32_t *>(stepBlock(opts, sizeof(int32_t) * (total > 0 ? total : 1)));
  xvallvr(opts->data, 1, vars, total);
  auto *exclude = static_cast<int32_t *>(stepBlock(opts, sizeof(int32_t) * (excludedCount() + 1)));
  int32_t n = 0;
  for (int k : kExcludedSlots) {
    const vynstmt::StmtSlot &s = slot(k);
    for (int32_t i = 0; s.present && s.elements != nullptr && i < s.count; ++i) {
      exclude[n++] = s.elements[i];
    }
  }
  *list = vars;
  const int32_t count = xvdflst(opts->data, vars, total, exclude, n);
  mcn_step_free(exclude);
  return count;
}

// The analysis variables of the VAR list, or the default list.
void selectVariables(krvopts *opts) {
  const vynstmt::StmtSlot &var = slot(kSlotVar);
  if (var.present && var.count > 0) {
    opts->varnums = static_cast<int32_t *>(stepBlock(opts, sizeof(int32_t) * var.count));
    std::memcpy(opts->varnums, var.elements, sizeof(int32_t) * var.count);
    opts->nvars = var.count;
  } else {
    opts->nvars = defaultVariables(opts, &opts->varnums);
  }
}

void selectKind(krvopts *opts) {
  const bool crossover = present(kSlotCrossFirst);
  const bool paired = present(kSlotPaired);
  const bool cls = present(kSlotClass);
  if (crossover) {
    if (paired) krverror(opts, 60, 3000);
    if (cls) krverror(opts, 61, 3000);
    opts->kind = kKindCrossover;
  } else if (paired) {
    if (present(kSlotVar)) krverror(opts, 33, 3000);
    if (cls) krverror(opts, 34, 3000);
    opts->kind = kKindPaired;
  } else {
    opts->kind = cls ? kKindTwoSample : kKindOneSample;
  }
}

void selectAnalyses(krvopts *opts) {
  if (opts->kind == kKindPaired) {
    opts->pairing = static_cast<krvpairing *>(stepBlock(opts, sizeof(krvpairing)));
    opts->nanalyses = krvpini(opts);
    const vynstmt::StmtSlot &var = slot(kSlotVar);
    opts->varnums = static_cast<int32_t *>(stepBlock(opts, sizeof(int32_t) * (var.count + 1)));
    if (var.count > 0) std::memcpy(opts->varnums, var.elements, sizeof(int32_t) * var.count);
    return;
  }
  selectVariables(opts);
  if (opts->kind == kKindCrossover) {
    if (opts->nvars % 2 != 0) krverror(opts, 63, 3000);
    opts->nanalyses = opts->nvars / 2;
  } else {
    opts->nanalyses = opts->nvars;
  }
}

}  // namespace

int32_t krvdstype(void *data, int32_t *var) {
  if (fixedName(data, "_TYPE_  ", var)) return 2;
  if (fixedName(data, "_STAT_  ", var)) return 1;
  *var = -1;
  return 0;
}

void krvparse(krvopts *opts) {
  opts->freq_var = opts->weight_var = opts->stat_var = -1;
  xsparse(krvstg(), 0);
  const int32_t status = krvparse_status();
  if (status != 0) {
    opts->failed = 1;
    opts->rc = status;
    xexit(status, 0);
  }
  opts->data = slot(kSlotData).present ? slot(kSlotData).handle : nullptr;
  if (opts->data == nullptr) krverror(opts, 1, 1008);
  opts->dstype = krvdstype(opts->data, &opts->stat_var);
  if (opts->dstype != 0 && (present(kSlotFreq) || present(kSlotWeight) || present(kSlotPaired))) {
    krverror(opts, 35, 1008);
  }
  selectKind(opts);
  opts->ignore_period = flag(kFlagIgnorePeriod) ? 1 : 0;
  selectAnalyses(opts);
  const int32_t selected = xvsele(opts->data, opts->nvars, opts->varnums);
  const int32_t info = xoinfo(opts->data, kInfoReadable, nullptr);
  if (selected != 0 || info == 0 || info == -1) krverror(opts, kMsgUnreadable, 1008);
  if (opts->kind == kKindPaired) {
    if (opts->nanalyses == 0) krverror(opts, 46, 3000);
  } else if (opts->nvars == 0) {
    krverror(opts, opts->kind == kKindCrossover ? 62 : 4, 1008);
  }
}

namespace {

// Sizes of the text buffers per kind: one-sample, two-sample, paired, crossover.
int32_t labelSize(int32_t kind, int index) {
  static const int32_t sizes[5][4] = {
      {0, 0, 0, 0}, {0, 257, 33, 257}, {0, 257, 68, 66}, {0, 0, 68, 68}, {0, 257, 0, 257}};
  if (index == 0) return 66;
  if (index == 1) return 0;
  if (index <= 5) return sizes[index - 1][kind];
  return index <= 10 ? 33 : 5;
}

// Statistics sets taken for each kind.
bool setWanted(int32_t kind, int n) {
  switch (kind) {
    case kKindOneSample:
      return n == 0;
    case kKindTwoSample:
      return n <= 2;
    case kKindPaired:
      return n == 0 || n >= 14;
    default:
      return n == 0 || (n >= 3 && n <= 13) || n >= 16;
  }
}

}  // namespace

void krvalloc(krvopts *opts) {
  const int32_t nvars = opts->nvars > 0 ? opts->nvars : 1;
  const int32_t nan = opts->nanalyses > 0 ? opts->nanalyses : 1;
  opts->values = static_cast<double *>(mcn_step_alloc(sizeof(double) * nvars));
  for (int i = 0; i < kKrvLabels; ++i) {
    opts->label_size[i] = labelSize(opts->kind, i);
    opts->label[i] = nullptr;
  }
  for (int n = 0; n < kKrvSets; ++n) {
    krvset(opts, n) = setWanted(opts->kind, n)
                          ? static_cast<krvstat *>(mcn_work_alloc(sizeof(krvstat) * nan))
                          : nullptr;
  }
  for (int i = 0; i < kKrvLabels; ++i) {
    if (opts->label_size[i] > 0)
      opts->label[i] = static_cast<char *>(mcn_work_alloc(opts->label_size[i]));
  }
  opts->results = static_cast<krvresult *>(mcn_work_alloc(sizeof(krvresult) * nan));
  if (xmemdef() > 0) krvnomem(opts);
  for (int32_t i = 0; i < nan; ++i) krvresult_clear(&opts->results[i]);
}

namespace {

void checkConflicts(krvopts *opts) {
  if (flag(kFlagDiff) && flag(kFlagRatio)) krverror(opts, 106, 3000);
  if (flag(kFlagNormal) && flag(kFlagLognormal)) krverror(opts, 107, 3000);
  if (flag(kFlagLognormal) && flag(kFlagDiff)) krverror(opts, 108, 3000);
  if (opts->kind == kKindOneSample && (flag(kFlagDiff) || flag(kFlagRatio))) {
    krverror(opts, 111, 3000);
  }
  // A summary gives the moments of the values, not of their logarithms: no
  // lognormal model, whether written or implied by TEST=RATIO.
  const bool lognormal = flag(kFlagLognormal) || (flag(kFlagRatio) && !flag(kFlagNormal));
  if (opts->dstype != 0 && lognormal) krverror(opts, 120, 3000);
}

void deriveTestKind(krvopts *opts) {
  int32_t base = 0;
  if (flag(kFlagLognormal) || (flag(kFlagRatio) && !flag(kFlagNormal))) base = 1;
  if (flag(kFlagRatio) && flag(kFlagNormal)) base = 2;
  opts->testkind = base + (flag(kFlagTost) ? 3 : 0);
  opts->tost = opts->testkind >= 3;
  opts->lognormal = base == 1;
  opts->ratio = base != 0;
  opts->normal_ratio = base == 2;
  opts->ratio_sets = opts->normal_ratio && (opts->kind == kKindPaired ||
                                            (opts->kind == kKindCrossover && opts->ignore_period));
}

void readSides(krvopts *opts) {
  if (present(kSlotSides)) {
    const double sides = std::trunc(number(kSlotSides));
    if (sides < 1.5 || sides > 2.5) krverror(opts, 69, 3000);
  }
  opts->sides = flag(kFlagSidesU) ? 2 : flag(kFlagSidesL) ? 1 : 0;
}

int32_t lastOrder() {
  const vynstmt::StmtSlot &s = slot(kSlotOrder);
  if (!s.present || s.count < 1 || s.elements == nullptr) return kOrderMixed;
  return -s.elements[s.count - 1];
}

void checkCochran(krvopts *opts) {
  if (!opts->cochran) return;
  int32_t warning = 0;
  if (opts->kind != kKindTwoSample) {
    warning = 30;
  } else if (opts->weight_var >= 0) {
    warning = 301;
  } else if (opts->tost) {
    warning = 303;
  } else if (opts->sides != 0) {
    warning = 302;
  }
  if (warning == 0) return;
  opts->cochran = 0;
  krvwarn(opts, warning);
}

bool notBelow(double lower, double upper) {
  return !(lower < upper - kTiny * std::fmax(std::fabs(lower), std::fabs(upper)));
}

void readTostBounds(krvopts *opts, bool h0Given) {
  if (present(kSlotSides) || flag(kFlagSidesL) || flag(kFlagSidesU)) {
    krvwarn(opts, 101);
    opts->sides = 0;
  }
  if (present(kSlotTostSecond)) {
    opts->tost_upper = number(kSlotTostSecond);
    opts->tost_lower = present(kSlotTostFirst) ? number(kSlotTostFirst) : 0.0;
    if (h0Given) krvwarn(opts, 102);
    if (notBelow(opts->tost_lower, opts->tost_upper)) krverror(opts, 103, 3000);
    if (opts->ratio && (opts->tost_lower < kTiny || opts->tost_upper < kTiny)) {
      krverror(opts, 110, 3000);
    }
    return;
  }
  if (opts->ratio && opts->h0 < kTiny) krverror(opts, 109, 3000);
  opts->tost_upper = number(kSlotTostFirst);
  if (opts->ratio) {
    if (opts->tost_upper < kTiny) krverror(opts, 110, 3000);
    opts->tost_lower = opts->h0 / opts->tost_upper;
  } else {
    opts->tost_lower = 2.0 * opts->h0 - opts->tost_upper;
  }
  if (notBelow(opts->tost_lower, opts->tost_upper)) {
    const int32_t message = opts->ratio ? (h0Given ? 112 : 113) : (h0Given ? 104 : 105);
    krverror(opts, message, 3000);
  }
}

void readConfidenceLimits(krvopts *opts) {
  const bool equal = flag(kFlagCiEqual), umpu = flag(kFlagCiUmpu), none = flag(kFlagCiNone);
  if (!equal && !umpu && !none) {
    opts->ci_equal = 1;
    opts->ci_umpu = 0;
  } else {
    opts->ci_equal = equal && !none;
    opts->ci_umpu = umpu && !none;
  }
  if (!opts->normal_ratio) return;
  if (equal) krvwarn(opts, 114);
  opts->ci_equal = 0;
  if (umpu) {
    krvwarn(opts, 115);
    opts->ci_umpu = 0;
  }
}

// Name, type and formatted width of a CLASS or CROSSOVER= variable. Values
// are held whole at any width: a cut would merge levels that differ late.
xvinfo describe(krvopts *opts, int32_t var) {
  xvinfo info{};
  xvname(opts->data, var, &info);
  if (info.fmtw < 1) info.fmtw = 1;
  xffile(opts->data, 70, &var, 1);
  return info;
}

int32_t charWidth(const xvinfo &info) {
  return info.length > kMinCharValue ? info.length : kMinCharValue;
}

// The bytes a character value of the variable can have within its target of
// `width`: its storage length, or the whole target when the host tells none.
int32_t valueLength(const xvinfo &info, int32_t width) {
  return info.length >= 1 ? info.length : width;
}

char *charBuffer(krvopts *opts, int32_t width) {
  return static_cast<char *>(workBlock(opts, width + 1u));
}

char *nameCopy(krvopts *opts, const xvinfo &info) {
  auto *copy = static_cast<char *>(stepBlock(opts, info.namelen + 1u));
  std::memcpy(copy, info.name, info.namelen);
  return copy;
}

// The Class text buffer holds the longest level the variable can show.
void sizeClassBuffer(krvopts *opts) {
  if (opts->class_fmtw < opts->label_size[kClassTextBuffer]) return;
  mcn_work_free(opts->label[kClassTextBuffer]);
  opts->label_size[kClassTextBuffer] = opts->class_fmtw + 1;
  opts->label[kClassTextBuffer] = static_cast<char *>(workBlock(opts, opts->class_fmtw + 1u));
}

void describeClass(krvopts *opts) {
  const int32_t var = firstVar(kSlotClass);
  const xvinfo info = describe(opts, var);
  opts->class_type = info.type;
  opts->class_fmtw = info.fmtw;
  if (info.type == 2) {
    opts->class_charw = charWidth(info);
    opts->class_len = valueLength(info, opts->class_charw);
    opts->class_char = charBuffer(opts, opts->class_charw);
    for (char *&level : opts->level_char) level = charBuffer(opts, opts->class_charw);
  }
  opts->class_fmt = static_cast<char *>(stepBlock(opts, opts->class_fmtw + 1u));
  for (char *&level : opts->level_fmt)
    level = static_cast<char *>(stepBlock(opts, opts->class_fmtw + 1u));
  opts->class_namelen = info.namelen;
  opts->class_name = nameCopy(opts, info);
  sizeClassBuffer(opts);
}

void describeCrossover(krvopts *opts) {
  const xvinfo first = describe(opts, firstVar(kSlotCrossFirst));
  const xvinfo second = describe(opts, firstVar(kSlotCrossSecond));
  if (first.type != second.type) krverror(opts, 64, 3000);
  if (first.fmtw != second.fmtw) krverror(opts, 65, 3000);
  opts->xo_type = first.type;
  opts->xo_fmtw = first.fmtw;
  opts->xo_charw = std::max(charWidth(first), charWidth(second));
  const xvinfo *infos[2] = {&first, &second};
  for (int k = 0; k < 2; ++k) {
    if (first.type == 2) {
      opts->xo_char[k] = charBuffer(opts, opts->xo_charw);
      opts->trt_char[k] = charBuffer(opts, opts->xo_charw);
    }
    opts->xo_fmt[k] = static_cast<char *>(stepBlock(opts, opts->xo_fmtw + 1u));
    opts->trt_fmt[k] = static_cast<char *>(stepBlock(opts, opts->xo_fmtw + 1u));
    opts->xo_namelen[k] = infos[k]->namelen;
    opts->xo_name[k] = nameCopy(opts, *infos[k]);
  }
}

// Field 0 of each record of set 0: the analysis's variables.
void fillAnalysisVariables(krvopts *opts) {
  krvstat *set0 = krvset(opts, 0);
  int32_t a = -1, b = -1;
  bool more = opts->kind == kKindPaired && krvp1st(opts->pairing, &a, &b) == 0;
  for (int32_t i = 0; i < opts->nanalyses; ++i) {
    if (opts->kind == kKindCrossover) {
      set0[i].varnum[0] = opts->varnums[2 * i];
      set0[i].varnum[1] = opts->varnums[2 * i + 1];
    } else if (opts->kind == kKindPaired) {
      set0[i].varnum[0] = more ? a : -1;
      set0[i].varnum[1] = more ? b : -1;
      more = more && krvpnxt(opts->pairing, &a, &b) == 0;
    } else {
      set0[i].varnum[0] = opts->varnums[i];
      set0[i].varnum[1] = -1;
    }
  }
}

int32_t nameLength(krvopts *opts, int32_t var) {
  xvinfo info{};
  xvname(opts->data, var, &info);
  return info.namelen;
}

void measureNames(krvopts *opts) {
  opts->maxnamelen = 0;
  for (int32_t i = 0; i < opts->nvars; ++i) {
    const int32_t n = nameLength(opts, opts->varnums[i]);
    if (n > opts->maxnamelen) opts->maxnamelen = n;
  }
  if (opts->kind != kKindPaired && opts->kind != kKindCrossover) return;
  const krvstat *set0 = krvset(opts, 0);
  opts->maxpairlen = 0;
  for (int32_t i = 0; i < opts->nanalyses; ++i) {
    const int32_t n = nameLength(opts, set0[i].varnum[0]) + nameLength(opts, set0[i].varnum[1]);
    if (n > opts->maxpairlen) opts->maxpairlen = n;
  }
}

// A read request the host refuses would leave its targets unfilled and every
// group analysed on stale values: the step ends instead.
void checkRequest(krvopts *opts, int32_t status) {
  if (status != 0) krverror(opts, kMsgUnreadable, 1008);
}

// Requests one variable of the read request.
void request(krvopts *opts, int32_t var, void *target, int32_t width, int32_t mode) {
  checkRequest(opts, xvgetd(opts->reader, var, 0, target, width, mode, 0, 0));
}

void requestValueAndFormat(krvopts *opts, int32_t var, uint8_t type, double *num, char *chars,
                           int32_t charw, char *formatted, int32_t fmtw) {
  if (type == 2) {
    request(opts, var, chars, charw + 1, kGetChars);
  } else {
    request(opts, var, num, sizeof(double), kGetNumber);
  }
  request(opts, var, formatted, fmtw, kGetFormatted);
}

int32_t buildReadRequest(krvopts *opts) {
  int32_t count = opts->nvars;
  if (opts->kind == kKindTwoSample) count += 2;
  if (opts->kind == kKindCrossover) count += 4;
  count += (opts->freq_var >= 0) + (opts->weight_var >= 0) + (opts->stat_var >= 0);
  checkRequest(opts, xvgeti(opts->data, count, &opts->reader));
  for (int32_t i = 0; i < opts->nvars; ++i) {
    request(opts, opts->varnums[i], &opts->values[i], sizeof(double), kGetNumber);
  }
  if (opts->kind == kKindTwoSample) {
    requestValueAndFormat(opts, firstVar(kSlotClass), opts->class_type, &opts->class_num,
                          opts->class_char, opts->class_charw, opts->class_fmt, opts->class_fmtw);
  }
  if (opts->kind == kKindCrossover) {
    const int32_t vars[2] = {firstVar(kSlotCrossFirst), firstVar(kSlotCrossSecond)};
    for (int k = 0; k < 2; ++k) {
      requestValueAndFormat(opts, vars[k], opts->xo_type, &opts->xo_num[k], opts->xo_char[k],
                            opts->xo_charw, opts->xo_fmt[k], opts->xo_fmtw);
    }
  }
  if (opts->freq_var >= 0) request(opts, opts->freq_var, &opts->freq_value, 8, kGetNumber);
  if (opts->weight_var >= 0) request(opts, opts->weight_var, &opts->weight_value, 8, kGetNumber);
  if (opts->stat_var >= 0) {
    request(opts, opts->stat_var, opts->stat_value, kStatValueWidth, kGetChars);
  }
  const int32_t status = xvgete(opts->reader);
  checkRequest(opts, status);
  return status;
}

}  // namespace

int32_t krvinit(krvopts *opts) {
  opts->data = slot(kSlotData).handle;
  checkConflicts(opts);
  deriveTestKind(opts);
  opts->cochran = flag(kFlagCochran);
  opts->nobyvar = flag(kFlagNobyvar);
  if (opts->kind == kKindCrossover && opts->normal_ratio && !opts->ignore_period) {
    krverror(opts, 72, 3000);
  }
  readSides(opts);
  opts->order = lastOrder();
  opts->devtest = flag(kFlagDevtest);
  if (opts->kind == kKindTwoSample && firstVar(kSlotClass) < 0) krverror(opts, 5, 3000);
  opts->freq_var = firstVar(kSlotFreq);
  opts->weight_var = firstVar(kSlotWeight);
  checkCochran(opts);
  const bool h0Given = present(kSlotH0);
  opts->h0 = h0Given ? number(kSlotH0) : (opts->ratio ? 1.0 : 0.0);
  if (opts->ratio && !opts->tost && opts->h0 < kTiny) krverror(opts, 109, 3000);
  opts->alpha = present(kSlotAlpha) ? number(kSlotAlpha) : 0.05;
  if (!(opts->alpha > 0.0 && opts->alpha < 1.0)) krverror(opts, 47, 3000);
  if (opts->tost) readTostBounds(opts, h0Given);
  readConfidenceLimits(opts);
  if (opts->kind == kKindTwoSample) describeClass(opts);
  if (opts->kind == kKindCrossover) describeCrossover(opts);
  fillAnalysisVariables(opts);
  measureNames(opts);
  return buildReadRequest(opts);
}

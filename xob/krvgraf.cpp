// Plot requests: PLOTS= resolved against the analysis type, its checks, and
// the graphics work area that the graph data objects and the graphs fill.
#include "xob/krvgraf.h"

#include <cstring>
#include <initializer_list>

#include "core/src/krvstmt.h"
#include "dsup/src/mcnpool.h"
#include "hostcm/wob.h"
#include "xob/krvmsg.h"

namespace {

// The output manager's property-get method and the property that says
// whether the host's output system draws graphs.
constexpr int32_t kMthGetProperty = 2;
constexpr uint16_t kKeyGraphicsOn = 1334;
// The host's note that graphs were asked for while its graphics are off.
constexpr int32_t kHostGroup = 210;
constexpr int32_t kMsgGraphicsOff = 1104;
constexpr int32_t kMsgSummaryInput = 140;
constexpr int32_t kCodeStatement = 3000;

// Statement-block flag of each request field, in field order.
constexpr int kFieldFlag[kPlotFields] = {16, 27, 28, 18, 17, 19, 20, 21, 22, 23, 24,
                                         25, 26, 29, 30, 31, 32, 33, 34, 35, 36, 37};

constexpr krvplot kDefaultOneTwo[] = {kPlotSummary, kPlotQQ};
constexpr krvplot kAllOneTwo[] = {kPlotHistogram, kPlotBox, kPlotInterval, kPlotSummary, kPlotQQ};
constexpr krvplot kDefaultPaired[] = {kPlotSummary, kPlotQQ, kPlotProfiles, kPlotAgreement};
constexpr krvplot kAllPaired[] = {kPlotHistogram, kPlotBox,      kPlotInterval, kPlotSummary,
                                  kPlotQQ,        kPlotProfiles, kPlotAgreement};
constexpr krvplot kDefaultCrossover[] = {kPlotHistogram, kPlotBox, kPlotQQ, kPlotProfiles,
                                         kPlotAgreement};
constexpr krvplot kAllCrossover[] = {kPlotHistogram, kPlotBox,      kPlotInterval,
                                     kPlotQQ,        kPlotProfiles, kPlotAgreement};

int16_t &field(krvopts *opts, krvplot f) {
  return opts->graphics.fields[f];
}
bool on(krvopts *opts, krvplot f) {
  return opts->graphics.fields[f] != 0;
}

int16_t askGraphicsEnabled(krvopts *opts) {
  wobprop slot = wobp_bool(kKeyGraphicsOn, false);
  if (wobmth(opts->outmgr, nullptr, kMthGetProperty, 1, &slot) < 0) return 0;
  return static_cast<int16_t>(slot.v.b.value);
}

template <size_t N>
void request(krvopts *opts, const krvplot (&set)[N], bool withInterval = true) {
  for (krvplot f : set) {
    if (f != kPlotInterval || withInterval) field(opts, f) = 1;
  }
}

// INTERVAL is left out of ALL where the normal ratio model cannot draw it.
bool allHasInterval(const krvopts *opts) {
  if (opts->kind == kKindPaired) return !opts->normal_ratio;
  if (opts->kind == kKindCrossover) return !(opts->normal_ratio && opts->ignore_period);
  return true;
}

void addImpliedSets(krvopts *opts) {
  const bool all = on(opts, kPlotAll);
  if (!all && on(opts, kPlotGiven) && (on(opts, kPlotOnly) || on(opts, kPlotNone))) return;
  switch (opts->kind) {
    case kKindPaired:
      all ? request(opts, kAllPaired, allHasInterval(opts)) : request(opts, kDefaultPaired);
      break;
    case kKindCrossover:
      all ? request(opts, kAllCrossover, allHasInterval(opts)) : request(opts, kDefaultCrossover);
      break;
    default:
      all ? request(opts, kAllOneTwo) : request(opts, kDefaultOneTwo);
  }
}

struct Check {
  bool failing;
  int32_t number;
};

// The message of the first failing check, or 0.
int32_t firstFailing(std::initializer_list<Check> checks) {
  for (const Check &c : checks) {
    if (c.failing) return c.number;
  }
  return 0;
}

int32_t checkKinds(krvopts *opts) {
  switch (opts->kind) {
    case kKindOneSample:
      return firstFailing({{on(opts, kPlotProfiles), 128}, {on(opts, kPlotAgreement), 129}});
    case kKindPaired:
      return firstFailing({{on(opts, kPlotInterval) && opts->normal_ratio, 138}});
    case kKindTwoSample:
      return firstFailing({{on(opts, kPlotProfiles), 130}, {on(opts, kPlotAgreement), 131}});
    default:
      return firstFailing(
          {{on(opts, kPlotSummary), 132},
           {on(opts, kPlotInterval) && opts->normal_ratio && opts->ignore_period, 139}});
  }
}

int32_t resolveIntervalType(krvopts *opts) {
  const bool pergroup = on(opts, kPlotIntervalPerGroup);
  const bool test = on(opts, kPlotIntervalTest);
  const bool treatment = on(opts, kPlotIntervalTreatment);
  const bool period = on(opts, kPlotIntervalPeriod);
  switch (opts->kind) {
    case kKindOneSample:
    case kKindPaired:
      return firstFailing({{pergroup || test || treatment || period, 134}});
    case kKindTwoSample:
      if (!pergroup && !test) field(opts, kPlotIntervalTest) = 1;
      return firstFailing({{treatment, 118}, {period, 119}, {pergroup && test, 121}});
    default:
      if (!pergroup && !treatment && !period) field(opts, kPlotIntervalTreatment) = 1;
      return firstFailing({{test, 122},
                           {pergroup + treatment + period > 1, 123},
                           {period && opts->ignore_period, 136}});
  }
}

// PROFILES and AGREEMENT take a TYPE only in a crossover, and one of them.
int32_t resolveCrossoverType(krvopts *opts, krvplot treatment, krvplot period, int32_t pairedMsg,
                             int32_t bothMsg) {
  const bool typed = on(opts, treatment) || on(opts, period);
  if (opts->kind == kKindPaired) return firstFailing({{typed, pairedMsg}});
  if (opts->kind != kKindCrossover) return 0;
  if (!on(opts, period)) field(opts, treatment) = 1;
  return firstFailing({{on(opts, treatment) && on(opts, period), bothMsg}});
}

// ---- the work area -----------------------------------------------------------

void *workBlock(krvopts *opts, size_t size) {
  void *block = mcn_work_alloc(size);
  if (block == nullptr) krvnomem(opts);
  return block;
}

double *perAnalysis(krvopts *opts) {
  if (opts->nanalyses < 1) return nullptr;
  return static_cast<double *>(workBlock(opts, sizeof(double) * opts->nanalyses));
}

void takeText(krvopts *opts, krvtextbuf *buffer, int32_t size) {
  buffer->text = static_cast<char *>(workBlock(opts, static_cast<size_t>(size)));
  buffer->size = size;
  buffer->len = 0;
  std::memset(buffer->text, ' ', static_cast<size_t>(size));
}

bool hasMainInterval(const krvopts *opts) {
  return opts->kind == kKindOneSample || opts->kind == kKindPaired ||
         (opts->kind == kKindCrossover && opts->ignore_period);
}

// Arrays of interval end points per analysis, by analysis type.
int intervalArrays(const krvopts *opts) {
  switch (opts->kind) {
    case kKindTwoSample:
      return 12;
    case kKindCrossover:
      return opts->ignore_period ? 15 : 24;
    default:
      return 3;
  }
}

// Arrays of the observation rows' values per analysis, by analysis type.
int rowArrays(const krvopts *opts) {
  switch (opts->kind) {
    case kKindPaired:
      return 9;
    case kKindCrossover:
      return 14;
    default:
      return 3;
  }
}

void allocateWork(krvopts *opts) {
  auto *work = static_cast<krvgrafwork *>(workBlock(opts, sizeof(krvgrafwork)));
  opts->graphics.work = work;
  for (int k = 0; k < 2; ++k) {
    takeText(opts, &work->name[k], 33);
    takeText(opts, &work->label[k], 257);
  }
  if (hasMainInterval(opts) && opts->sides == 1) {
    work->far_lower = perAnalysis(opts);
    work->view_min = perAnalysis(opts);
  }
  if (hasMainInterval(opts) && opts->sides == 2) {
    work->far_upper = perAnalysis(opts);
    work->view_max = perAnalysis(opts);
  }
  for (int k = 0; k < 5; ++k) work->constant[k] = k;
  work->nintervals = intervalArrays(opts);
  for (int k = 0; k < work->nintervals; ++k) work->interval[k] = perAnalysis(opts);
  work->nrows = rowArrays(opts);
  for (int k = 0; k < work->nrows; ++k) work->row[k] = perAnalysis(opts);
  for (krvtextbuf &text : work->text) takeText(opts, &text, kKrvGrafTextSize);
  if (opts->nanalyses > 0 && (opts->kind == kKindPaired || opts->kind == kKindCrossover)) {
    work->varname = static_cast<char *>(workBlock(opts, 33 * static_cast<size_t>(opts->nanalyses)));
  }
}

}  // namespace

int32_t krvplot_resolve(krvopts *opts) {
  addImpliedSets(opts);
  if (int32_t failing = checkKinds(opts)) return failing;
  if (on(opts, kPlotUnpack)) field(opts, kPlotSummaryUnpacked) = 1;
  if (on(opts, kPlotShowH0) && opts->tost) return 133;
  if (on(opts, kPlotInterval)) {
    if (int32_t failing = resolveIntervalType(opts)) return failing;
  }
  if (on(opts, kPlotProfiles)) {
    const int32_t failing =
        resolveCrossoverType(opts, kPlotProfilesTreatment, kPlotProfilesPeriod, 124, 126);
    if (failing != 0) return failing;
  }
  if (!on(opts, kPlotAgreement)) return 0;
  return resolveCrossoverType(opts, kPlotAgreementTreatment, kPlotAgreementPeriod, 125, 127);
}

void krvGraphicsParseAlloc(krvopts *opts) {
  krvplotreq &g = opts->graphics;
  g.produce = askGraphicsEnabled(opts);
  for (int f = 0; f < kPlotFields; ++f) g.fields[f] = vynstmt::stmtFlag(*krvstmt(), kFieldFlag[f]);
  if (on(opts, kPlotGiven) && !g.produce) xpmlog(kHostGroup, kMsgGraphicsOff, 0, nullptr);
  if (on(opts, kPlotGiven) && opts->dstype != 0) xpmlog(kKrvGroup, kMsgSummaryInput, 0, nullptr);
  if (int32_t failing = krvplot_resolve(opts)) krverror(opts, failing, kCodeStatement);
  if (g.produce) allocateWork(opts);
}

void krvGraphicsRelease(krvopts *opts) {
  krvgrafwork *work = opts->graphics.work;
  opts->graphics.work = nullptr;
  if (work == nullptr) return;
  for (int k = 0; k < 2; ++k) {
    mcn_work_free(work->name[k].text);
    mcn_work_free(work->label[k].text);
  }
  for (double *array : {work->far_lower, work->view_min, work->far_upper, work->view_max}) {
    mcn_work_free(array);
  }
  for (int k = 0; k < work->nintervals; ++k) mcn_work_free(work->interval[k]);
  for (int k = 0; k < work->nrows; ++k) mcn_work_free(work->row[k]);
  for (krvtextbuf &text : work->text) mcn_work_free(text.text);
  mcn_work_free(work->varname);
  mcn_work_free(work);
}

// The driver's calls on the output manager: creating it with the procedure
// heading, the output group and heading of each analysis, the FREQ and
// WEIGHT notes, and the output object of each table.
#include "xob/krvout.h"

#include <cstring>
#include <initializer_list>
#include <utility>

#include "dsup/src/mcnpool.h"
#include "host/vynsvc.h"
#include "hostcm/wob.h"
#include "stat/src/krvstat.h"
#include "xob/krvmsg.h"
#include "xob/krvprocs.h"
#include "xob/krvtab.h"

namespace {

// Text buffers of a pair's names.
constexpr int kFirstName = 0;
constexpr int kSecondName = 2;
constexpr int kJoinedName = 3;
constexpr int kPairLabel = 4;

void raiseRc(krvopts *opts, int32_t code) {
  if (opts->rc < code) opts->rc = code;
}

// The host's failure to create an output object ends the step.
[[noreturn]] void outputFailed(krvopts *opts, int32_t status, int32_t code) {
  xprrlog(0, status);
  opts->failed = 1;
  raiseRc(opts, code);
  xexit(opts->rc, 0);
}

// Variable number k (0 or 1) of analysis `a`.
int32_t analysisVarOf(const krvopts *opts, int32_t a, int k) {
  const krvstat *first = opts->sets_lo[0];
  if (first != nullptr) return first[a].varnum[k];
  return k == 0 && opts->varnums != nullptr ? opts->varnums[a] : -1;
}

// Variable number k (0 or 1) of the current analysis.
int32_t analysisVar(const krvopts *opts, int k) {
  return analysisVarOf(opts, opts->cur, k);
}

const char *pairSeparator(const krvopts *opts) {
  if (opts->kind == kKindCrossover) return ", ";
  return opts->ratio ? " / " : " - ";
}

// Lines the analysis heading keeps together: the heading and its tables,
// one more for each note.
int32_t headingSpan(const krvopts *opts) {
  int32_t span = opts->kind == kKindTwoSample ? 8 : 6;
  if (opts->freq_var != -1) ++span;
  if (opts->weight_var != -1) ++span;
  return span;
}

// Method 439; its first slot is left for the host, and the count includes it.
int32_t heading(krvopts *opts, wobprop *props, int32_t count) {
  return wobmth(opts->outmgr, nullptr, kMthHeading, count, props);
}

void clearHeadings(krvopts *opts, int32_t level) {
  wobprop props[2] = {wobp_empty(), wobp_int(kKeyClearLevel, level)};
  heading(opts, props, 2);
}

// The seven slots of a heading at `level` that starts a block, those every
// host reads first.
void headingSlots(wobprop *props, int32_t level, void *text, int32_t skip, int32_t span) {
  props[0] = wobp_int(kKeyHeadingLevel, level);
  props[1] = wobp_ptr(kKeyText, kWobText, text);
  props[2] = wobp_int(kKeyAlign, 'c', kWobZero);
  props[3] = wobp_bool(kKeyNewBlock, true);
  props[4] = wobp_int(kKeyOption, -1);
  props[5] = wobp_int(kKeySkip, skip);
  props[6] = wobp_int(kKeyHeadingSpan, span);
}

void groupHeading(krvopts *opts, int32_t level, void *text, int32_t skip, int32_t span) {
  wobprop props[8] = {wobp_empty()};
  headingSlots(props + 1, level, text, skip, span);
  heading(opts, props, 8);
}

// The four slots of a group call; the group comes back in the first.
void groupSlots(wobprop *props, void *name, void *label) {
  props[0] = wobp_ptr(kKeyCreated, kWobObject, nullptr);
  props[1] = wobp_bool(kKeyGroupFlag, false);
  props[2] = wobp_ptr(kKeyName, kWobText, name);
  props[3] = wobp_ptr(kKeyLabel, kWobText, label);
}

void openGroup(krvopts *opts, void *name, void *label) {
  wobprop props[4];
  groupSlots(props, name, label);
  wobmth(opts->outmgr, nullptr, kMthGroup, 4, props);
  opts->group_obj = props[0].v.p;
}

// The slots of the one call that opens and heads a group, without its texts,
// skip and span: made once, copied and completed for each group.
struct GroupHeadSlots {
  wobprop props[12];

  GroupHeadSlots() {
    groupSlots(props, nullptr, nullptr);
    props[4] = wobp_int(kKeyClearLevel, 3);
    headingSlots(props + 5, 3, nullptr, 0, 0);
  }
};

// The group of the current analysis opened and headed at level 3 by one call
// where the host has it, else by the group call, the clearing of the
// headings from level 3 and the heading.
void openHeadedGroup(krvopts *opts, void *name, void *label, void *text, int32_t skip) {
  if ((opts->host_lacks & kLacksGroupHeading) == 0) {
    static const GroupHeadSlots kBlank;
    GroupHeadSlots slots = kBlank;
    wobprop *const props = slots.props;
    props[2].v.p = name;
    props[3].v.p = label;
    props[6].v.p = text;
    props[10].v.i = skip;
    props[11].v.i = headingSpan(opts);
    if (wobmth(opts->outmgr, nullptr, kMthGroupHead, 12, props) != kWobNoMethod) {
      opts->group_obj = props[0].v.p;
      return;
    }
    opts->host_lacks |= kLacksGroupHeading;
  }
  openGroup(opts, name, label);
  clearHeadings(opts, 3);
  groupHeading(opts, 3, text, skip, headingSpan(opts));
}

// The name, label and heading texts of the output group of analysis `a`.
void variableGroupTexts(krvopts *opts, int32_t a, void *texts[3]) {
  xvinfo info{};
  xvname(opts->data, analysisVarOf(opts, a, 0), &info);
  texts[0] = ulxtxt(info.name, info.namelen);
  texts[1] = ulxtxt(info.label, info.labellen);
  const bool labelled = info.labellen > 0;
  const xins inserts[2] = {krvins_text(info.name, info.namelen),
                           krvins_text(info.label, info.labellen)};
  texts[2] = ulxmsgs(kKrvGroup, labelled ? 402 : 401, labelled ? 2 : 1, inserts);
}

// One-sample and two-sample: the group is the analysis variable.
void openVariableGroup(krvopts *opts) {
  void *const *texts = &opts->group_text[3 * opts->cur];
  openHeadedGroup(opts, texts[0], texts[1], texts[2], opts->cur == 0 ? 1 : 2);
}

// Paired and crossover: the group is the pair, named first_second.
void openPairGroup(krvopts *opts) {
  xvinfo first{}, second{};
  xvname(opts->data, analysisVar(opts, 0), &first);
  xvname(opts->data, analysisVar(opts, 1), &second);
  const char *sep = pairSeparator(opts);
  const auto sepLen = static_cast<int32_t>(std::strlen(sep));
  krvt_fill_buffer(opts, kFirstName, {{first.name, first.namelen}});
  krvt_fill_buffer(opts, kSecondName, {{second.name, second.namelen}});
  const int32_t joined = krvt_fill_buffer(
      opts, kJoinedName, {{first.name, first.namelen}, {"_", 1}, {second.name, second.namelen}});
  const int32_t pair =
      krvt_fill_buffer(opts, kPairLabel,
                       {{first.name, first.namelen}, {sep, sepLen}, {second.name, second.namelen}});
  void *name = ulxtxt(opts->label[kJoinedName], joined);
  void *label = ulxtxt(opts->label[kPairLabel], pair);
  int32_t message = 404;
  if (opts->kind == kKindPaired) message = opts->ratio ? 405 : 403;
  const xins insert = krvins_text(opts->label[kPairLabel], pair);
  openHeadedGroup(opts, name, label, ulxmsgs(kKrvGroup, message, 1, &insert), 2);
}

void equivalenceHeading(krvopts *opts) {
  clearHeadings(opts, 4);
  const xins alpha = krvins_num(opts->alpha);
  groupHeading(opts, 4, ulxmsgs(kKrvGroup, 744, 1, &alpha), 1, 3);
}

void fillRows(krvopts *opts, int32_t t) {
  switch (opts->kind) {
    case kKindOneSample:
      krvo11(opts, t);
      break;
    case kKindTwoSample:
      krvo21(opts, t);
      break;
    case kKindPaired:
      krvop1(opts, t);
      break;
    default:
      krvoc1(opts, t);
  }
}

}  // namespace

void krvinito(krvopts *opts) {
  xobinit(&opts->objroot, 0);
  wobprop create[3] = {wobp_str(kKeyNameSpace, "ulx", 3), wobp_str(kKeyKind, "manager", 7),
                       wobp_ptr(kKeyCreated, kWobObject, nullptr)};
  const int32_t status = wobmth(opts->objroot, nullptr, kMthCreate, 3, create);
  if (status < 0) outputFailed(opts, status, kCodeHostObject);
  opts->outmgr = create[2].v.p;
  wobprop title[6] = {wobp_empty(),
                      wobp_int(kKeyHeadingLevel, 1),
                      wobp_bool(kKeyProcTitle, true),
                      wobp_int(kKeyOption, -1),
                      wobp_ptr(kKeyText, kWobText, ulxmsg(kKrvGroup, 11)),
                      wobp_int(kKeyAlign, 'c', kWobZero)};
  heading(opts, title, 6);
  wobmth(opts->outmgr, nullptr, kMthReady, 0, nullptr);
}

void krv_group_texts(krvopts *opts) {
  if (opts->kind == kKindPaired || opts->kind == kKindCrossover || opts->nanalyses <= 0) return;
  const auto n = static_cast<size_t>(opts->nanalyses);
  opts->group_text = static_cast<void **>(mcn_step_alloc(3 * n * sizeof(void *)));
  if (opts->group_text == nullptr) krvnomem(opts);
  for (int32_t a = 0; a < opts->nanalyses; ++a) {
    variableGroupTexts(opts, a, &opts->group_text[3 * a]);
  }
}

void krv_open_group(krvopts *opts) {
  if (opts->kind == kKindPaired || opts->kind == kKindCrossover) {
    openPairGroup(opts);
  } else {
    openVariableGroup(opts);
  }
}

void krv_release_group(krvopts *opts) {
  krv_release_object(opts->group_obj);
  opts->group_obj = nullptr;
}

void krv_release_object(void *object) {
  wobrelease(object);
}

void krv_out_fw(krvopts *opts) {
  if (opts->freq_var != -1) {
    xvinfo info{};
    xvname(opts->data, opts->freq_var, &info);
    krvnote(opts, opts->freq_var, info.labellen > 0 ? 55 : 57);
  }
  if (opts->weight_var != -1) {
    xvinfo info{};
    xvname(opts->data, opts->weight_var, &info);
    krvnote(opts, opts->weight_var, info.labellen > 0 ? 54 : 56);
  }
}

void krvnote(krvopts *opts, int32_t varnum, int32_t message) {
  const bool freq = message == 55 || message == 57;
  const bool withLabel = message == 54 || message == 55;
  xvinfo info{};
  xvname(opts->data, varnum, &info);
  const xins inserts[2] = {krvins_text(info.name, info.namelen),
                           krvins_text(info.label, info.labellen)};
  const bool skip = freq ? opts->cur != 0 : opts->freq_var == -1 && opts->cur >= 1;
  wobprop props[4] = {
      wobp_ptr(kKeyName, kWobText, freq ? ulxtxt("KravoFreqNote", 13) : ulxtxt("KravoWtNote", 11)),
      wobp_ptr(kKeyText, kWobText, ulxmsgs(kKrvGroup, message, withLabel ? 2 : 1, inserts)),
      wobp_int(kKeySkip, skip ? 1 : 0), wobp_int(kKeyAlign, 'l', kWobZero)};
  wobmth(opts->outmgr, nullptr, kMthNote, 4, props);
}

void krv_out(krvopts *opts, int32_t table, int32_t first, int32_t last) {
  if (first && table == krvt_equiv_slot(opts)) equivalenceHeading(opts);
  opts->fill_output = static_cast<uint8_t>((first ? kOutputOpen : 0) | (last ? kOutputEmit : 0));
  fillRows(opts, table);
}

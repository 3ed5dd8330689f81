// The note of each analysis after a BY group is read: how many observations
// it used and why it left out the others. The host fills in the BY group.
#include <cstring>

#include "host/vynsvc.h"
#include "stat/src/krvread.h"
#include "xob/krvmsg.h"

namespace {

constexpr int32_t kNoteUsed = 902;
constexpr int32_t kNoteMissing = 903;
constexpr int32_t kNoteFreq = 904;
constexpr int32_t kNoteWeight = 905;
constexpr int32_t kNoteUnfit = 906;

// The name of an analysis as its output group is headed: the variable, or
// the two variables of a pair joined as in the heading.
struct AnalysisName {
  char text[2 * sizeof(xvinfo::name) + 4];
  int32_t length;
};

const char *separatorOf(const krvopts *opts) {
  if (opts->kind == kKindCrossover) return ", ";
  return opts->ratio ? " / " : " - ";
}

void append(AnalysisName *name, const char *text, size_t length) {
  std::memcpy(name->text + name->length, text, length);
  name->length += static_cast<int32_t>(length);
}

AnalysisName analysisName(krvopts *opts, int32_t k) {
  AnalysisName name{};
  const krvstat &first = krvset(opts, kSetMain)[k];
  xvinfo info{};
  xvname(opts->data, first.varnum[0], &info);
  append(&name, info.name, info.namelen);
  if (first.varnum[1] >= 0) {
    const char *sep = separatorOf(opts);
    append(&name, sep, std::strlen(sep));
    xvname(opts->data, first.varnum[1], &info);
    append(&name, info.name, info.namelen);
  }
  return name;
}

// One note with the analysis name, a count and an optional variable name.
void note(const AnalysisName &name, int32_t number, int32_t count, const krvopts *opts,
          int32_t varnum) {
  if (count <= 0) return;
  xvinfo info{};
  if (varnum >= 0) xvname(opts->data, varnum, &info);
  const xins inserts[3] = {krvins_text(name.text, name.length), krvins_num(count),
                           krvins_text(info.name, info.namelen)};
  xpmlog(kKrvGroup, number, varnum >= 0 ? 3 : 2, inserts);
}

}  // namespace

void krvread_usage_notes(krvopts *opts, int32_t seen, const int32_t dropped[kDropReasons]) {
  for (int32_t k = 0; k < opts->nanalyses; ++k) {
    const krvusage &u = opts->usage[k];
    const AnalysisName name = analysisName(opts, k);
    const xins used[3] = {krvins_text(name.text, name.length), krvins_num(u.used),
                          krvins_num(seen)};
    xpmlog(kKrvGroup, kNoteUsed, 3, used);
    note(name, kNoteMissing, dropped[kDropMissing] + u.missing, opts, -1);
    note(name, kNoteFreq, dropped[kDropFreq], opts, opts->freq_var);
    note(name, kNoteWeight, dropped[kDropWeight], opts, opts->weight_var);
    note(name, kNoteUnfit, u.unfit, opts, -1);
  }
}

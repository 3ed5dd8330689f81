// The note of each analysis after a BY group is read: how many observations
// it used and why it left out the others. The host fills in the BY group.
#include <cstring>

#include "dsup/src/mcnpool.h"
#include "host/vynsvc.h"
#include "stat/src/krvread.h"
#include "xob/krvmsg.h"

// The name of an analysis as its output group is headed: the variable, or
// the two variables of a pair joined as in the heading.
struct krvnotename {
  char text[2 * sizeof(xvinfo::name) + 4];
  int32_t length;
};

namespace {

constexpr int32_t kNoteUsed = 902;
constexpr int32_t kNoteMissing = 903;
constexpr int32_t kNoteFreq = 904;
constexpr int32_t kNoteWeight = 905;
constexpr int32_t kNoteUnfit = 906;

const char *separatorOf(const krvopts *opts) {
  if (opts->kind == kKindCrossover) return ", ";
  return opts->ratio ? " / " : " - ";
}

void append(krvnotename *name, const char *text, size_t length) {
  std::memcpy(name->text + name->length, text, length);
  name->length += static_cast<int32_t>(length);
}

krvnotename analysisName(krvopts *opts, int32_t k) {
  krvnotename name{};
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

// The names of the analyses, made once: they are the same in every BY group.
const krvnotename *noteNames(krvopts *opts) {
  if (opts->note_names != nullptr) return opts->note_names;
  const auto n = static_cast<size_t>(opts->nanalyses);
  opts->note_names = static_cast<krvnotename *>(mcn_step_alloc(n * sizeof(krvnotename)));
  if (opts->note_names == nullptr) krvnomem(opts);
  for (int32_t k = 0; k < opts->nanalyses; ++k) opts->note_names[k] = analysisName(opts, k);
  return opts->note_names;
}

// One note with the analysis name and a count.
void note(const krvnotename &name, int32_t number, int32_t count) {
  if (count <= 0) return;
  const xins inserts[2] = {krvins_text(name.text, name.length), krvins_num(count)};
  xpmlog(kKrvGroup, number, 2, inserts);
}

// The same with the name of the variable whose values left the observations out.
void varNote(const krvnotename &name, int32_t number, int32_t count, const krvopts *opts,
             int32_t varnum) {
  if (count <= 0 || varnum < 0) return note(name, number, count);
  xvinfo info{};
  xvname(opts->data, varnum, &info);
  const xins inserts[3] = {krvins_text(name.text, name.length), krvins_num(count),
                           krvins_text(info.name, info.namelen)};
  xpmlog(kKrvGroup, number, 3, inserts);
}

}  // namespace

void krvread_usage_notes(krvopts *opts, int32_t seen, const int32_t dropped[kDropReasons]) {
  const krvnotename *names = noteNames(opts);
  for (int32_t k = 0; k < opts->nanalyses; ++k) {
    const krvusage &u = opts->usage[k];
    const krvnotename &name = names[k];
    const xins used[3] = {krvins_text(name.text, name.length), krvins_num(u.used),
                          krvins_num(seen)};
    xpmlog(kKrvGroup, kNoteUsed, 3, used);
    note(name, kNoteMissing, dropped[kDropMissing] + u.missing);
    varNote(name, kNoteFreq, dropped[kDropFreq], opts, opts->freq_var);
    varNote(name, kNoteWeight, dropped[kDropWeight], opts, opts->weight_var);
    note(name, kNoteUnfit, u.unfit);
  }
}

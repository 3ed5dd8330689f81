#include "xob/krvtab.h"

#include <algorithm>
#include <cstring>

#include "host/vynsvc.h"
#include "stat/src/krvmiss.h"
#include "stat/src/krvstat.h"
#include "xob/krvmsg.h"
#include "xob/ulxlib.h"

namespace {

// Room for any catalogue text whose length is measured.
constexpr int32_t kScratchSize = 1280;

// Half the spacing of doubles at 1; 1000 of them keep a confidence level
// such as 100 (1 - 2 alpha) from falling just below its whole number.
constexpr double kEps = 1.1102230246251565e-16;

// A table creation or end the host refuses ends the step with a failing
// code; the host's status itself is negative and would read as success.
void krvt_check(krvopts *opts, int32_t status) {
  if (status >= 0) return;
  xprrlog(0, status);
  opts->failed = 1;
  if (opts->rc < kCodeHostObject) opts->rc = kCodeHostObject;
  xexit(opts->rc, 0);
}

void krvt_add(krvtab *t, int32_t count, wobprop *props) {
  wobmth(t->table, nullptr, kMthColumn, count, props);
  ++t->pos;
}

// The length of catalogue text `number`, measured in a scratch buffer.
int32_t krvt_textlen(int32_t number) {
  char scratch[kScratchSize];
  return xpmstr(scratch, kScratchSize, kKrvGroup, number);
}

// Width of a character column: at least 1 and never beyond its buffer.
int32_t krvt_width(const krvopts *opts, int buffer, int32_t width) {
  return std::clamp(width, 1, std::max(opts->label_size[buffer], 1));
}

bool krvt_printit(const krvopts *opts, krvt_print print) {
  switch (print) {
    case kPrintSd:
      return opts->ci_equal != 0 || opts->ci_umpu != 0;
    case kPrintEqual:
      return opts->ci_equal != 0;
    default:
      return opts->ci_umpu != 0;
  }
}

}  // namespace

void *krvt_msg(int32_t number) {
  return ulxmsg(kKrvGroup, number);
}

void *krvt_name(const char *s) {
  return ulxtxt(s, static_cast<int32_t>(std::strlen(s)));
}

void krvt_attr(krvtab *t, const char *attr, wobprop value) {
  wobprop props[2] = {wobp_ptr(kKeyAttribute, kWobText, krvt_name(attr)), value};
  wobmth(t->table, nullptr, kMthAttribute, 2, props);
}

// The longest of the catalogue texts `numbers`, at least 1.
int32_t krvt_longest(std::initializer_list<int32_t> numbers) {
  int32_t longest = 1;
  for (int32_t n : numbers) longest = std::max(longest, krvt_textlen(n));
  return longest;
}

// A character column shown at a fixed width; `print` names its print
// attribute, or is null.
void krvt_text(krvtab *t, const char *col, void *label, int buffer, int32_t width,
               const char *print) {
  krvopts *opts = t->opts;
  const int32_t w = krvt_width(opts, buffer, width);
  wobprop props[11] = {
      wobp_int(kKeyColumnType, 6),
      wobp_ptr(kKeyName, kWobText, krvt_name(col)),
      wobp_ptr(kKeyLabel, kWobText, label),
      wobp_ptr(kKeyCell, kWobCell, opts->label[buffer]),
      wobp_int(kKeyStorage, w),
      wobp_ptr(kKeyAttribute, kWobText, krvt_name("MinimumWidth")),
      wobp_int(kKeyValue, w),
      wobp_ptr(kKeyAttribute, kWobText, krvt_name("MaximumWidth")),
      wobp_int(kKeyValue, w),
      wobp_ptr(kKeyAttribute, kWobText, print == nullptr ? nullptr : krvt_name(print)),
      wobp_bool(kKeyValue, opts->nobyvar != 0)};
  krvt_add(t, print == nullptr ? 9 : 11, props);
}

void krvt_value(krvtab *t, const char *col, int32_t label, const char *code) {
  ulxinsc(t->table, krvt_msg(label), col, code, &t->opts->row[t->pos]);
  ++t->pos;
}

void krvt_plain(krvtab *t, const char *col, int32_t label, krvt_print print) {
  wobprop props[6] = {wobp_int(kKeyColumnType, 5),
                      wobp_ptr(kKeyName, kWobText, krvt_name(col)),
                      wobp_ptr(kKeyLabel, kWobText, krvt_msg(label)),
                      wobp_ptr(kKeyCell, kWobCell, &t->opts->row[t->pos]),
                      wobp_ptr(kKeyAttribute, kWobText, krvt_name("PrintIt")),
                      wobp_bool(kKeyValue, print != kPrintNone && krvt_printit(t->opts, print))};
  krvt_add(t, print == kPrintNone ? 4 : 6, props);
}

// A p-value column: no label, its header comes from message `header`.
void krvt_prob(krvtab *t, int32_t header) {
  wobprop props[5] = {wobp_int(kKeyColumnType, 5), wobp_ptr(kKeyName, kWobText, krvt_name("Probt")),
                      wobp_ptr(kKeyCell, kWobCell, &t->opts->row[t->pos]),
                      wobp_ptr(kKeyAttribute, kWobText, krvt_name("ProbtHeader")),
                      wobp_ptr(kKeyValue, kWobText, krvt_msg(header))};
  krvt_add(t, 5, props);
}

void krvt_comparator(krvtab *t, const char *col, int buffer) {
  wobprop props[5] = {wobp_int(kKeyColumnType, 6), wobp_ptr(kKeyName, kWobText, krvt_name(col)),
                      wobp_ptr(kKeyCell, kWobCell, t->opts->label[buffer]),
                      wobp_int(kKeyStorage, 1), wobp_int(kKeyWidth, 1)};
  krvt_add(t, 5, props);
}

int32_t krvt_end(krvtab *t) {
  const int32_t status = wobmth(t->table, nullptr, kMthEndTable, 0, nullptr);
  krvt_check(t->opts, status);
  return status;
}

// The confidence level of a 100 (1 - a)% interval, kept off the whole
// number just below it.
double krvt_level(double a) {
  return 100.0 * (1.0 - a) + 1000.0 * kEps;
}

// A NaN goes in as it is; a statistic never computed becomes the host
// missing value.
double krvt_screened(double v) {
  return v == kNotComputed ? krvmissing('.') : v;
}

int32_t krvt_emit(krvopts *opts, int32_t slot) {
  return wobmth(opts->table_tmpl[slot], nullptr, kMthRow, 0, nullptr);
}

krvtab krvt_begin(krvopts *opts, int32_t slot, const char *tname, int32_t label) {
  char *path = opts->table_path[slot];
  std::memset(path, 0, kKrvPathSize);
  std::memcpy(path, "Stat.Kravo.", 11);
  std::strncat(path, tname, kKrvPathSize - 12);
  wobprop create[6] = {wobp_str(kKeyNameSpace, "ulx", 3),
                       wobp_str(kKeyKind, "data", 4),
                       wobp_ptr(kKeyCreated, kWobObject, nullptr),
                       wobp_int(kKeyOption, -1),
                       wobp_ptr(kKeyLabel, kWobText, krvt_msg(label)),
                       wobp_ptr(kKeyName, kWobText, krvt_name(tname))};
  krvt_check(opts, wobmth(opts->outmgr, nullptr, kMthCreate, 6, create));
  opts->table_tmpl[slot] = create[2].v.p;
  return krvtab{opts, create[2].v.p, 0, false};
}

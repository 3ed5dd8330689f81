// What the table definitions and fills of every analysis kind share: the
// table being defined, its column forms in the host's call convention, and
// the screening and emission of a row.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "hostcm/wob.h"
#include "xob/kravo.h"

// A table being defined and the position of its next column (the row-buffer
// cell a value column reads).
struct krvtab {
  krvopts *opts;
  void *table;
  int32_t pos;
  bool paired;  // the identifier columns name a pair
};

// Which limits of the standard deviation a PrintIt column follows.
enum krvt_print : uint8_t { kPrintNone, kPrintSd, kPrintEqual, kPrintUmpu };

// A catalogue text of the procedure, and a name, as text handles.
void *krvt_msg(int32_t number);
void *krvt_name(const char *s);

// Creates the table of slot `slot` on the output manager (its template path
// is "Stat.Kravo." and the name); a refusal ends the step.
krvtab krvt_begin(krvopts *opts, int32_t slot, const char *tname, int32_t label);
// Ends the definition; a refusal ends the step. Result: the host's status.
int32_t krvt_end(krvtab *t);
// Sets a dynamic attribute of the table.
void krvt_attr(krvtab *t, const char *attr, wobprop value);

// Column forms.
void krvt_text(krvtab *t, const char *col, void *label, int buffer, int32_t width,
               const char *print);
void krvt_value(krvtab *t, const char *col, int32_t label, const char *code = "s");
void krvt_plain(krvtab *t, const char *col, int32_t label, krvt_print print);
void krvt_prob(krvtab *t, int32_t header);
void krvt_comparator(krvtab *t, const char *col, int buffer);

// The longest of the catalogue texts `numbers`, at least 1.
int32_t krvt_longest(std::initializer_list<int32_t> numbers);
// The confidence level of a 100 (1 - a)% interval, kept off the whole
// number just below it.
double krvt_level(double a);

// A value as it goes into a cell: a statistic never computed becomes the
// host missing value; NaNs and numbers go in as they are.
double krvt_screened(double v);
// Emits one row of the table of slot `slot` from the bound cells.
int32_t krvt_emit(krvopts *opts, int32_t slot);

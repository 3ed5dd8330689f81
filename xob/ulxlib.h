// The output-object helper layer: columns, whole tables, facts, named values,
// matrices and vectors on the host's output objects, each one call of a
// numbered method with its property list; plus name quoting and the balanced
// tree of the support library.
#pragma once

#include <cstdint>

#include "hostcm/wob.h"

// Column description of a format code: type, display width, second format
// number and format name ("PVALUE" for `p`, else null). The name and second
// number are cleared first; type and width stay unset for an unknown code.
void get_format(const char *code, const char **format, int32_t *second, void *, void *, void *,
                int32_t *type, int32_t *width);

// Appends a column `name` labelled `label` that reads `cell`, described by
// format code `code`. 0 on success, 1 on failure.
int32_t ulxinsc(void *table, void *label, const char *name, const char *code, void *cell);

// A whole table: label, name and the columns in order.
struct ulxtabdef {
  void *label;         // table label (text handle)
  const char *name;    // table name
  void **labels;       // column labels (text handles)
  const char **names;  // column names
  const char *codes;   // one format code per column
  void **cells;        // the cell or buffer each column reads
  int32_t ncols;       // number of columns
};

// Creates the table on `parent`, adds its columns and ends its definition.
// Returns the table, or null on any failure.
void *ulxtab(const ulxtabdef *def, void *parent);

// Adds a labelled fact; `code` selects how `value` is read (l, s, d, i, n,
// p). 0 on success, 1 on failure or an unknown code.
int32_t ulxaddf(void *object, void *label, const void *value, const char *code);

// Adds the value in slot `value` under the name `name`: a copy of the slot
// when `copy` is non-zero, else a reference to it. Returns the host status.
int32_t ulxadvl(void *object, void *name, wobprop *value, int32_t copy);

// Looks up the value named `name` on `object` (and, when `walk` is non-zero,
// on its parents) into `result`, which it returns; all zero when not found.
wobprop *ulxscvl(wobprop *result, void *object, void *name, int32_t walk);

// 1 when the control block of `object` has any bit of `mask` in its flag
// word, else 0 (also without a control block).
int32_t ulxqbit(void *object, uint32_t mask);

// A matrix with n labelled rows; the row labels become text handles in
// `handles`. 0 on success, 1 on failure.
int32_t ulxmat(void *object, void *name, void **handles, void *data, int32_t n,
               const char *const *labels, int32_t dim, void *, void *attribute, void *label,
               void *objname);
// A matrix of r rows and k columns without row labels. 0 or 1.
int32_t ulxmatv(void *object, void *name, void *data, int32_t rows, int32_t cols, int32_t dim,
                void *, void *attribute, void *label, void *objname);
// A vector of n labelled values. 0 or 1.
int32_t ulxvec(void *object, void *name, void **handles, void *data, int32_t n,
               const char *const *labels, int32_t dim, void *, void *label, void *objname);

// Quotes the first `part` characters of `buffer` (all `length` of them when
// `part` is 0 or `length`) for the command language: mode 1 a double-quoted
// string (macro-quoted when it holds & or %), mode 3 a name literal, any
// other mode a single-quoted string. The rest of the buffer follows the
// closing quote; the buffer must have room for the additions. Returns the
// offset just past the closing characters.
int32_t quote_me(char *buffer, int32_t length, int32_t mode, int32_t part);

// A node of a balanced tree: the key lies at the caller's key offset.
struct ulxnode {
  ulxnode *left;
  ulxnode *right;
  int16_t balance;  // -1 deeper on the left, 0 even, +1 deeper on the right
};

// Inserts `node` into the tree at `*root`, keys compared as `keylen` bytes
// (or as unsigned 32-bit words when 0) at `keyoff`. Returns the node, the
// node already holding an equal key, or null on a corrupted tree.
ulxnode *ulxbdf(ulxnode **root, ulxnode *node, int32_t keylen, int32_t keyoff);
// Companion entry of the tree library; does nothing.
int32_t ulxbdf2();

// The output-object helper layer: every helper is one numbered method call
// with a fixed property list; a failing call is reported to the host's error
// log and turned into the helper's failure result.
#include "xob/ulxlib.h"

#include <cstring>
#include <string>

#include "host/vynsvc.h"

namespace {

// Matrix and vector properties.
enum ulxmatkey : uint16_t {
  kKeyMatLabel = 267,
  kKeyMatDim = 278,
  kKeyMatShape = 280,
  kKeyMatOrigin = 366,
  kKeyMatData = 389,
  kKeyMatRows = 390,
  kKeyMatRowsAlloc = 391,
  kKeyMatAttribute = 394,
  kKeyMatRowBase = 396,
  kKeyMatColBase = 397,
  kKeyMatColCount = 398,
  kKeyMatRowNames = 399,
  kKeyMatCols = 408,
  kKeyMatColNames = 409
};

// Status bits that identify a condition whatever object reported it.
constexpr uint32_t kStatusMask = 0x803FFFFFu;

// Storage length of a column defined through a format code.
int32_t storageOf(const char *code) {
  return code[0] == 'l' ? -256 : -32;
}

bool failed(int32_t status) {
  return status < 0;
}

// A format code outside the helper's table: an internal diagnostic, result 1.
int32_t unknownCode(const char *helper, const char *code) {
  xebug("%s: unknown format %s", helper, code);
  return 1;
}

// Calls a method and reports a failing status to the host's error log.
int32_t call(void *object, int32_t method, int32_t count, wobprop *props) {
  const int32_t status = wobmth(object, nullptr, method, count, props);
  if (failed(status)) xprrlog(0, status);
  return status;
}

void *text(const char *s) {
  return ulxtxt(s, -1);
}

void *textOf(const char *s, size_t n) {
  return ulxtxt(s, static_cast<int32_t>(n));
}

// Turns the row labels into text handles.
void labelHandles(void **handles, int32_t n, const char *const *labels) {
  for (int32_t i = 0; i < n; ++i) handles[i] = text(labels[i]);
}

int32_t matrixCall(void *object, int32_t count, wobprop *props) {
  return failed(call(object, kMthMatrix, count, props)) ? 1 : 0;
}

// The value slot (and its companion slots) of a fact in form `code`; the
// number of slots written, or 0 for an unknown code.
int32_t factValue(wobprop *out, const void *value, char code) {
  const char *chars = static_cast<const char *>(value);
  switch (code) {
    case 'l': {
      const size_t n = std::strlen(chars);
      out[0] = wobp_ptr(kKeyValue, kWobText, textOf(chars, n));
      out[1] = wobp_int(kKeyWidth, static_cast<int32_t>(n));
      return 2;
    }
    case 's': {
      size_t n = 0;
      while (n < 256 && chars[n] != '\0') ++n;
      out[0] = wobp_ptr(kKeyValue, kWobText, textOf(chars, n));
      out[1] = wobp_int(kKeyWidth, static_cast<int32_t>(n));
      return 2;
    }
    case 'd':
    case 'i': {
      int32_t v;
      std::memcpy(&v, value, sizeof v);
      out[0] = wobp_int(kKeyValue, v, code == 'd' ? kWobIntD : kWobInt);
      return 1;
    }
    case 'n':
    case 'p': {
      double v;
      std::memcpy(&v, value, sizeof v);
      out[0] = wobp_double(kKeyValue, v);
      out[1] = wobp_ptr(kKeyFormat, kWobText, text(code == 'n' ? "BEST8." : "PNAME6."));
      return 2;
    }
    default:
      return 0;
  }
}

// One lookup of `name` (a text handle) with method 175; the answer lands in
// `result`.
int32_t lookupNamed(void *object, void *name, wobprop *result) {
  wobprop props[2] = {wobp_ptr(kKeyNone, kWobText, name), wobp_ptr(kKeyNone, kWobRef, nullptr)};
  const int32_t status = wobmth(object, nullptr, kMthLookup, 2, props);
  *result = props[1];
  return status;
}

// The parent of `object` as the host reports it under "^P_S_T^".
int32_t parentOf(void *object, void **parent) {
  wobprop props[2] = {wobp_str(kKeyNone, "^P_S_T^", 7), wobp_ptr(kKeyNone, kWobRef, nullptr)};
  const int32_t status = wobmth(object, nullptr, kMthLookup, 2, props);
  *parent = props[1].v.p;
  return status;
}

bool notFound(int32_t status) {
  return (static_cast<uint32_t>(status) & kStatusMask) == static_cast<uint32_t>(kWobNotFound);
}

// ---- quoting ------------------------------------------------------------------

bool needsMacroQuote(const char *part, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    if (part[i] == '&' || part[i] == '%') return true;
  }
  return false;
}

std::string quotedPart(const char *part, int32_t n, int32_t mode) {
  const char quote = mode == 1 ? '"' : '\'';
  const bool macro = mode == 1 && needsMacroQuote(part, n);
  std::string out = macro ? "%nrstr(\"" : std::string(1, quote);
  for (int32_t i = 0; i < n; ++i) {
    const char c = part[i];
    if (c == quote) out += quote;
    if (macro && (c == '%' || c == '(' || c == ')')) out += '%';
    out += c;
  }
  out += quote;
  if (macro) out += ')';
  if (mode == 3) out += 'n';
  return out;
}

// ---- balanced tree ----------------------------------------------------------------

int compareKeys(const ulxnode *a, const ulxnode *b, int32_t keylen, int32_t keyoff) {
  const char *ka = reinterpret_cast<const char *>(a) + keyoff;
  const char *kb = reinterpret_cast<const char *>(b) + keyoff;
  if (keylen != 0) return std::memcmp(ka, kb, static_cast<size_t>(keylen));
  uint32_t wa, wb;
  std::memcpy(&wa, ka, sizeof wa);
  std::memcpy(&wb, kb, sizeof wb);
  return wa < wb ? -1 : wa > wb ? 1 : 0;
}

ulxnode *&childOf(ulxnode *parent, int side) {
  return side < 0 ? parent->left : parent->right;
}

// Single rotation of `a` towards the side opposite `side`; returns the new
// subtree root.
ulxnode *rotateSingle(ulxnode *a, ulxnode *b, int side) {
  childOf(a, side) = childOf(b, -side);
  childOf(b, -side) = a;
  a->balance = 0;
  b->balance = 0;
  return b;
}

// Double rotation: `b`'s inner child comes up above `a` and `b`.
ulxnode *rotateDouble(ulxnode *a, ulxnode *b, int side) {
  ulxnode *c = childOf(b, -side);
  childOf(b, -side) = childOf(c, side);
  childOf(c, side) = b;
  childOf(a, side) = childOf(c, -side);
  childOf(c, -side) = a;
  a->balance = static_cast<int16_t>(c->balance == side ? -side : 0);
  b->balance = static_cast<int16_t>(c->balance == -side ? side : 0);
  c->balance = 0;
  return c;
}

}  // namespace

// ---- columns and tables -------------------------------------------------------------

void get_format(const char *code, const char **format, int32_t *second, void *, void *, void *,
                int32_t *type, int32_t *width) {
  *format = nullptr;
  *second = 0;
  struct entry {
    char code;
    int32_t type, width, second;
  };
  static constexpr entry kFormats[] = {
      {'c', 6, 9, 0}, {'d', 3, 3, 0},  {'g', 5, 12, 89}, {'i', 3, 6, 0}, {'l', 6, 30, 0},
      {'L', 4, 6, 0}, {'n', 5, 8, 89}, {'p', 5, 6, 0},   {'s', 5, 5, 2}, {'t', 6, 15, 0}};
  for (const entry &e : kFormats) {
    if (e.code != code[0]) continue;
    *type = e.type;
    *width = e.width;
    *second = e.second;
    if (e.code == 'p') *format = "PVALUE";
    return;
  }
}

int32_t ulxinsc(void *table, void *label, const char *name, const char *code, void *cell) {
  const char *format;
  int32_t second, type = 0, width = 0;
  get_format(code, &format, &second, nullptr, nullptr, nullptr, &type, &width);
  if (type == 0) return unknownCode("ulxinsc", code);
  // A p-value column names its format; other numeric columns give width and
  // second number instead of a storage length.
  const bool sized = format != nullptr || type == 6;
  wobprop props[6];
  int32_t count = 0;
  if (format != nullptr) props[count++] = wobp_ptr(kKeyFormat, kWobText, text(format));
  if (!sized) {
    props[count++] = wobp_int(kKeyWidth, width);
    props[count++] = wobp_int(kKeyFormatNumber, second);
  }
  props[count++] = wobp_ptr(kKeyName, kWobText, text(name));
  props[count++] = wobp_ptr(kKeyLabel, kWobText, label);
  props[count++] = wobp_ptr(kKeyCell, kWobCell, cell);
  if (sized) props[count++] = wobp_int(kKeyStorage, storageOf(code));
  props[count++] = wobp_int(kKeyColumnType, type);
  return failed(call(table, kMthColumn, count, props)) ? 1 : 0;
}

void *ulxtab(const ulxtabdef *def, void *parent) {
  wobprop create[6] = {
      wobp_str(kKeyNameSpace, "ulx", 3),          wobp_str(kKeyKind, "data", 4),
      wobp_ptr(kKeyCreated, kWobObject, nullptr), wobp_int(kKeyOption, -1),
      wobp_ptr(kKeyLabel, kWobText, def->label),  wobp_ptr(kKeyName, kWobText, text(def->name))};
  if (failed(call(parent, kMthCreate, 6, create))) return nullptr;
  void *table = create[2].v.p;
  for (int32_t i = 0; i < def->ncols; ++i) {
    const char code[2] = {def->codes[i], '\0'};
    const char *format;
    int32_t second, type = 0, width = 0;
    get_format(code, &format, &second, nullptr, nullptr, nullptr, &type, &width);
    if (type == 0) {
      unknownCode("ulxtab", code);
      return nullptr;
    }
    wobprop column[7] = {wobp_int(kKeyWidth, width),
                         wobp_int(kKeyFormatNumber, second),
                         wobp_ptr(kKeyName, kWobText, text(def->names[i])),
                         wobp_ptr(kKeyLabel, kWobText, def->labels[i]),
                         wobp_ptr(kKeyCell, kWobCell, def->cells[i]),
                         wobp_int(kKeyStorage, storageOf(code)),
                         wobp_int(kKeyColumnType, type)};
    if (failed(call(table, kMthColumn, 7, column))) return nullptr;
    if (format == nullptr) continue;
    wobprop fmt[2] = {wobp_int(kKeyColumnNumber, i + 1),
                      wobp_ptr(kKeyFormat, kWobText, text(format))};
    if (failed(call(table, kMthFormat, 2, fmt))) return nullptr;
  }
  if (failed(call(table, kMthEndTable, 0, nullptr))) return nullptr;
  return table;
}

// ---- facts and named values -----------------------------------------------------------

int32_t ulxaddf(void *object, void *label, const void *value, const char *code) {
  wobprop props[3];
  props[0] = wobp_ptr(kKeyLabel, kWobText, label);
  const int32_t n = factValue(props + 1, value, code[0]);
  if (n == 0) return unknownCode("ulxaddfact", code);
  return failed(call(object, kMthFact, n + 1, props)) ? 1 : 0;
}

int32_t ulxadvl(void *object, void *name, wobprop *value, int32_t copy) {
  wobprop props[2] = {wobp_ptr(kKeyNone, kWobText, name), wobp_ptr(kKeyNone, kWobRef, nullptr)};
  if (copy != 0) {
    props[1] = *value;
  } else {
    props[1].count = 1;
    props[1].v.p = value;
  }
  return call(object, kMthFact, 2, props);
}

wobprop *ulxscvl(wobprop *result, void *object, void *name, int32_t walk) {
  wobprop found;
  int32_t status = lookupNamed(object, name, &found);
  while (walk != 0 && notFound(status)) {
    void *parent = nullptr;
    if (parentOf(object, &parent) != 0 || parent == nullptr) break;
    object = parent;
    status = lookupNamed(object, name, &found);
  }
  if (status != 0) {
    if (failed(status)) xprrlog(0, status);
    std::memset(result, 0, sizeof *result);
    return result;
  }
  if (found.type == kWobRef && found.v.p != nullptr) {
    std::memcpy(result, found.v.p, sizeof *result);
  } else {
    *result = found;
  }
  return result;
}

int32_t ulxqbit(void *object, uint32_t mask) {
  const void *block = ulxggcb(object);
  if (block == nullptr) return 0;
  uint32_t flags;
  std::memcpy(&flags, static_cast<const char *>(block) + 9 * sizeof(uint32_t), sizeof flags);
  return (flags & mask) != 0 ? 1 : 0;
}

// ---- matrices and vectors ---------------------------------------------------------------

int32_t ulxmat(void *object, void *name, void **handles, void *data, int32_t n,
               const char *const *labels, int32_t dim, void *, void *attribute, void *label,
               void *objname) {
  labelHandles(handles, n, labels);
  wobprop props[17] = {wobp_ptr(kKeyPath, kWobText, name),
                       wobp_ptr(kKeyName, kWobText, objname),
                       wobp_ptr(kKeyLabel, kWobText, label),
                       wobp_ptr(kKeyMatData, kWobData, data),
                       wobp_int(kKeyMatRows, n),
                       wobp_int(kKeyMatRowsAlloc, n),
                       wobp_str(kKeyStorageKind, "sc", 2),
                       wobp_int(kKeyMatDim, dim),
                       wobp_ptr(kKeyMatColNames, kWobTextArray, handles),
                       wobp_ptr(kKeyMatRowNames, kWobTextArray, handles),
                       wobp_int(kKeySkip, 2),
                       wobp_ptr(kKeyMatLabel, kWobText, label),
                       wobp_int(kKeyMatShape, 1),
                       wobp_int(kKeyMatOrigin, 1),
                       wobp_int(kKeyMatRowBase, 0, kWobZero),
                       wobp_int(kKeyMatColBase, 0, kWobZero),
                       wobp_ptr(kKeyMatAttribute, kWobText, attribute)};
  return matrixCall(object, 17, props);
}

int32_t ulxmatv(void *object, void *name, void *data, int32_t rows, int32_t cols, int32_t dim,
                void *, void *attribute, void *label, void *objname) {
  wobprop props[17] = {wobp_ptr(kKeyPath, kWobText, name),
                       wobp_ptr(kKeyName, kWobText, objname),
                       wobp_ptr(kKeyLabel, kWobText, label),
                       wobp_ptr(kKeyMatData, kWobData, data),
                       wobp_int(kKeyMatRows, rows),
                       wobp_int(kKeyMatRowsAlloc, rows),
                       wobp_str(kKeyStorageKind, "sc", 2),
                       wobp_int(kKeyMatDim, dim),
                       wobp_int(kKeyMatCols, cols, kWobCount),
                       wobp_int(kKeyMatColCount, cols, kWobCount),
                       wobp_int(kKeySkip, 2),
                       wobp_ptr(kKeyMatLabel, kWobText, label),
                       wobp_int(kKeyMatShape, 1),
                       wobp_int(kKeyMatOrigin, 1),
                       wobp_int(kKeyMatRowBase, 0, kWobZero),
                       wobp_int(kKeyMatColBase, 0, kWobZero),
                       wobp_ptr(kKeyMatAttribute, kWobText, attribute)};
  return matrixCall(object, 17, props);
}

int32_t ulxvec(void *object, void *name, void **handles, void *data, int32_t n,
               const char *const *labels, int32_t dim, void *, void *label, void *objname) {
  labelHandles(handles, n, labels);
  wobprop props[12] = {wobp_ptr(kKeyPath, kWobText, name),
                       wobp_ptr(kKeyName, kWobText, objname),
                       wobp_ptr(kKeyLabel, kWobText, label),
                       wobp_ptr(kKeyMatData, kWobData, data),
                       wobp_int(kKeyMatRows, 1),
                       wobp_int(kKeyMatRowsAlloc, n),
                       wobp_int(kKeyMatDim, dim),
                       wobp_ptr(kKeyMatRowNames, kWobTextArray, handles),
                       wobp_int(kKeyMatShape, 0),
                       wobp_ptr(kKeyMatLabel, kWobText, label),
                       wobp_int(kKeyMatShape, 1),
                       wobp_int(kKeyMatOrigin, 1)};
  return matrixCall(object, 12, props);
}

// ---- name quoting -----------------------------------------------------------------------

int32_t quote_me(char *buffer, int32_t length, int32_t mode, int32_t part) {
  if (part <= 0 || part > length) part = length;
  const std::string tail(buffer + part, static_cast<size_t>(length - part));
  const std::string quoted = quotedPart(buffer, part, mode);
  std::memcpy(buffer, quoted.data(), quoted.size());
  std::memcpy(buffer + quoted.size(), tail.data(), tail.size());
  return static_cast<int32_t>(quoted.size());
}

// ---- balanced tree ------------------------------------------------------------------------

ulxnode *ulxbdf(ulxnode **root, ulxnode *node, int32_t keylen, int32_t keyoff) {
  node->left = nullptr;
  node->right = nullptr;
  node->balance = 0;
  if (*root == nullptr) {
    *root = node;
    return node;
  }
  // a: the deepest ancestor with a non-zero balance; parentA: its parent.
  ulxnode *parentA = nullptr, *a = *root, *p = *root, *parentP = nullptr;
  int side = 0;
  while (p != nullptr) {
    const int c = compareKeys(node, p, keylen, keyoff);
    if (c == 0) return p;
    if (p->balance != 0) {
      a = p;
      parentA = parentP;
    }
    parentP = p;
    side = c < 0 ? -1 : 1;
    p = childOf(p, side);
  }
  childOf(parentP, side) = node;
  // The balances from a down to the new leaf record the side it went.
  for (p = a; p != node;) {
    const int c = compareKeys(node, p, keylen, keyoff);
    if (c == 0) {
      xebug("ztrebld: invalid compare");
      return nullptr;
    }
    const int dir = c < 0 ? -1 : 1;
    if (p != a) p->balance = static_cast<int16_t>(dir);
    p = childOf(p, dir);
  }
  const int dirA = compareKeys(node, a, keylen, keyoff) < 0 ? -1 : 1;
  if (a->balance == 0) {
    a->balance = static_cast<int16_t>(dirA);
    return node;
  }
  if (a->balance == -dirA) {
    a->balance = 0;
    return node;
  }
  ulxnode *b = childOf(a, dirA);
  ulxnode *top = b->balance == dirA ? rotateSingle(a, b, dirA) : rotateDouble(a, b, dirA);
  if (parentA == nullptr) {
    *root = top;
  } else {
    childOf(parentA, parentA->left == a ? -1 : 1) = top;
  }
  return node;
}

int32_t ulxbdf2() {
  return 0;
}

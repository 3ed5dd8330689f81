#include "vyn/data/row_parser.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

#include "vyn/data/block_classify.h"
#include "vyn/data/block_scan.h"
#include "vyn/data/format.h"
#include "vyn/data/missing.h"

namespace vyn::data {

namespace {

constexpr double kStandardMissing = missingValue('.');
constexpr uint64_t kOnes = 0x0101010101010101;  // one in each byte of a word
constexpr size_t kRowBlock = 64;                // the bytes of a row read whole
constexpr size_t kRowPast = 8;                  // and those read past a field by an eight-byte load

// The bytes of a word equal to c, each marked by its high bit. The lowest
// mark is exact; a borrow may add false marks above it.
inline uint64_t bytesEqual(uint64_t word, char c) {
  const uint64_t x = word ^ (kOnes * static_cast<unsigned char>(c));
  return (x - kOnes) & ~x & (kOnes << 7);
}

// The separator or line end that closes an unquoted field, or end. Most
// fields are short: their first eight bytes are looked at one by one; a
// longer field is scanned eight bytes at a time (the first mark in memory
// order is the lowest one), then its tail byte by byte.
inline const char *findSeparator(const char *p, const char *end, char delimiter) {
  static_assert(std::endian::native == std::endian::little);
  for (const char *const first = end - p > 8 ? p + 8 : end; p < first; ++p) {
    if (*p == delimiter || *p == '\n') return p;
  }
  for (; end - p >= 8; p += 8) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    const uint64_t marks = bytesEqual(word, delimiter) | bytesEqual(word, '\n');
    if (marks != 0) return p + std::countr_zero(marks) / 8;
  }
  while (p < end && *p != delimiter && *p != '\n') ++p;
  return p;
}

// A cut to n bytes that does not end inside a UTF-8 sequence.
inline size_t cutLength(const char *s, size_t len, size_t n) {
  if (len <= n) return len;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  return n;
}

// std::from_chars also reads "inf", "nan" and "-inf": only a digit or a
// point (after an optional minus) may start the fast path.
inline bool startsPlainNumber(const char *p, const char *end) {
  if (p < end && *p == '-') ++p;
  return p < end && ((*p >= '0' && *p <= '9') || *p == '.');
}

// The powers of ten that a double holds exactly.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                                        1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19};
constexpr int kMaxShortDigits = 19;  // any 19 digits fit in 64 bits
constexpr uint64_t kMaxExactInteger = uint64_t{1} << 53;

inline bool isDigit(char c) {
  return static_cast<unsigned>(c - '0') < 10;
}

// The bytes of a word (the first byte of text lowest) that are not ASCII
// digits, each marked by its high bit. Marks are exact up to the first one
// and past a point or a delimiter after it (only a byte above 127 carries
// into the next).
inline uint64_t nonDigits(uint64_t word) {
  const uint64_t x = word ^ (kOnes * '0');  // a digit becomes 0-9, any other byte 10 or more
  return ((x + kOnes * (128 - 10)) | x) & (kOnes * 0x80);
}

// The value of the first n (1 to 8) bytes of a word, all digits: shifted
// to the top, the bytes below are leading zeros, and three multiply-adds
// join them in pairs, fours and eight.
inline uint64_t digitsValue(uint64_t word, unsigned n) {
  const uint64_t v = (word - kOnes * '0') << (8 * (8 - n));
#if defined(__x86_64__)
  // 16-bit lanes, the first digit lowest; each step fits its narrower lanes
  __m128i x = _mm_unpacklo_epi8(_mm_cvtsi64_si128(static_cast<long long>(v)), _mm_setzero_si128());
  x = _mm_packs_epi32(_mm_madd_epi16(x, _mm_set1_epi32(10 + (1 << 16))), _mm_setzero_si128());
  x = _mm_packs_epi32(_mm_madd_epi16(x, _mm_set1_epi32(100 + (1 << 16))), _mm_setzero_si128());
  return static_cast<uint32_t>(
      _mm_cvtsi128_si32(_mm_madd_epi16(x, _mm_set1_epi32(10000 + (1 << 16)))));
#else
  uint64_t w = v * 10 + (v >> 8);
  constexpr uint64_t kPairs = 0x000000FF000000FF;
  w = ((w & kPairs) * (100 + (1000000ull << 32)) + ((w >> 16) & kPairs) * (1 + (10000ull << 32))) >>
      32;
  return w & 0xFFFFFFFF;
#endif
}

// A short plain decimal, [-]digits[.digits] with at most 19 digits and their
// integer at most 2^53: the integer and the power of ten (up to 10^19) are
// exact doubles, so their quotient, rounded once, is the correctly rounded
// value that std::from_chars also gives. Returns where the number stops, or
// nullptr for any other text (an exponent, more digits, no digit), which
// std::from_chars reads.
inline const char *shortDecimalByBytes(const char *q, const char *end, bool negative, double &v) {
  uint64_t digits = 0;
  int count = 0, fraction = 0;
  for (; q < end && isDigit(*q); ++q, ++count)
    digits = digits * 10 + static_cast<unsigned>(*q - '0');
  if (q < end && *q == '.') {
    for (++q; q < end && isDigit(*q); ++q, ++count, ++fraction)
      digits = digits * 10 + static_cast<unsigned>(*q - '0');
  }
  if (count == 0 || count > kMaxShortDigits || digits > kMaxExactInteger) return nullptr;
  if (q < end && (*q == 'e' || *q == 'E')) return nullptr;
  const double m = static_cast<double>(digits) / kExactPowersOfTen[fraction];
  v = negative ? -m : m;
  return q;
}

// The same, from one word when the number and the byte after it lie in the
// eight bytes after the sign (7 digits at most, far below 2^53): the point
// is taken out and the digits joined without a loop. Others go byte by byte.
inline const char *shortDecimal(const char *p, const char *end, double &v) {
  const bool negative = p < end && *p == '-';
  const char *q = negative ? p + 1 : p;
  if (end - q < 8) return shortDecimalByBytes(q, end, negative, v);
  uint64_t word;
  std::memcpy(&word, q, sizeof word);
  const uint64_t marks = nonDigits(word);
  if (marks == 0) return shortDecimalByBytes(q, end, negative, v);
  const unsigned whole = static_cast<unsigned>(std::countr_zero(marks)) / 8;
  unsigned count = whole, fraction = 0;
  const char *stop = q + whole;
  if (*stop == '.') {
    const uint64_t after = marks & (marks - 1);
    if (after == 0) return shortDecimalByBytes(q, end, negative, v);
    count = static_cast<unsigned>(std::countr_zero(after)) / 8 - 1;
    fraction = count - whole;
    stop += 1 + fraction;
    const uint64_t below = (uint64_t{1} << (8 * whole)) - 1;
    word = (word & below) | ((word >> 8) & ~below);
  }
  if (count == 0 || *stop == 'e' || *stop == 'E') return nullptr;
  const double m = static_cast<double>(digitsValue(word, count)) / kExactPowersOfTen[fraction];
  v = negative ? -m : m;
  return stop;
}

// A number at p that startsPlainNumber admitted: where it stops, or nullptr
// when std::from_chars cannot read one.
inline const char *readNumber(const char *p, const char *end, double &v) {
  if (const char *q = shortDecimal(p, end, v)) return q;
  const auto r = std::from_chars(p, end, v);
  return r.ec == std::errc() ? r.ptr : nullptr;
}

// The lowest n bits of x, n below 64.
inline uint64_t lowBits(uint64_t x, unsigned n) {
  return x & ((uint64_t{1} << n) - 1);
}

// A plain decimal longer than eight bytes (after its sign), read as
// shortDecimalByBytes reads it; out of line, so the usual short field keeps
// its registers.
[[gnu::noinline]] bool longBlockNumber(const char *s, size_t n, bool negative, double &v) {
  return shortDecimalByBytes(s, s + n, negative, v) == s + n;
}

// A numeric field, bytes [b, e) of a block, from the block's mask of
// non-digits: empty and "." are the standard missing value;
// [-]digits[.digits] with 1 to 19 digits and their integer at most 2^53 is
// that integer over a power of ten, as shortDecimal reads it. False for
// any other text. `bytes` holds eight readable bytes past every field.
[[gnu::always_inline]] inline bool blockNumber(const char *bytes, size_t b, size_t e,
                                               uint64_t nonDigits, double &v) {
  size_t n = e - b;
  uint64_t marks = (nonDigits >> b) & ((uint64_t{1} << n) - 1);
  const char *s = bytes + b;
  bool negative = false;
  if ((marks & 1) != 0 && *s == '-') {
    negative = true;
    ++s;
    --n;
    marks >>= 1;
  }
  if (n - 1 >= 8) {  // empty, or longer than a word
    double w = kStandardMissing;
    const bool plain = n != 0 ? longBlockNumber(s, n, negative, w) : !negative;
    v = w;
    return plain;
  }
  uint64_t word;
  std::memcpy(&word, s, sizeof word);
  unsigned count = static_cast<unsigned>(n), fraction = 0;
  if (marks != 0) {  // a point, taken out of the word
    const unsigned whole = static_cast<unsigned>(__builtin_ctzll(marks));
    if ((marks & (marks - 1)) != 0 || s[whole] != '.') return false;
    count -= 1;
    fraction = count - whole;
    if (count == 0) {
      v = kStandardMissing;
      return !negative;
    }
    const unsigned bits = 8 * whole;
    const uint64_t shifted = word >> 8;
    word = lowBits(word, bits) + (shifted - lowBits(shifted, bits));
  }
  const double m = static_cast<double>(digitsValue(word, count)) / kExactPowersOfTen[fraction];
  v = negative ? -m : m;
  return true;
}

}  // namespace

RowParser::RowParser(const DataSet &ds, std::span<const int> columns)
    : ds_(ds),
      missingWords_(ds.missingWords()),
      end_(ds.bytes().data() + ds.bytes().size()),
      delimiter_(ds.delimiter()),
      ncols_(static_cast<size_t>(ds.variableCount())) {
  slotOf_.assign(ncols_, 0);
  std::vector<bool> taken(ncols_, false);
  for (int var : columns) {
    if (var < 0 || static_cast<size_t>(var) >= ncols_ || taken[static_cast<size_t>(var)]) continue;
    taken[static_cast<size_t>(var)] = true;
    selected_.push_back(var);
  }
  const size_t spare = selected_.size();
  for (size_t c = 0; c < ncols_; ++c) slotOf_[c] = spare;
  for (size_t s = 0; s < selected_.size(); ++s) {
    const Variable &v = ds.variable(selected_[s]);
    slotOf_[static_cast<size_t>(selected_[s])] = s;
    kind_.push_back(!v.numeric         ? kChars
                    : v.integer        ? kInteger
                    : v.decimal != '.' ? kCommaNumber
                                       : kNumber);
    checked_.push_back(v.declaredNumeric ? 1 : 0);
    length_.push_back(static_cast<size_t>(v.length));
  }
  kind_.push_back(kSkip);
  checked_.push_back(0);
  length_.push_back(0);
  for (size_t c = 0; c < ncols_; ++c)
    columnRead_.push_back({static_cast<uint32_t>(slotOf_[c]), kind_[slotOf_[c]]});
  if (std::find(kind_.begin(), kind_.end(), kCommaNumber) == kind_.end()) {
    wholeRow_ = &RowParser::wholeRowBaseline;
#if defined(VYN_SCAN_AVX2)
    if (scan::widestScanInUse() && __builtin_cpu_supports("avx2") &&
        __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2"))
      wholeRow_ = &RowParser::wholeRowAvx2;
#endif
  }
}

const char *RowParser::skipBlankLines(const char *p, const char *end, int64_t &lines) {
  for (;;) {
    if (p < end && *p == '\n') {
      ++p;
    } else if (end - p >= 2 && p[0] == '\r' && p[1] == '\n') {
      p += 2;
    } else {
      return p;
    }
    ++lines;
  }
}

const char *RowParser::skipRow(const char *p, const char *end, char delimiter) {
  for (;;) {
    FieldScan f = scanField(p, end, delimiter);
    if (f.rowEnd) return f.next;
    p = f.next;
  }
}

void RowParser::checkNumber(NumericCell cell, size_t slot, size_t col, const char *cell0,
                            RowFault &fault, int64_t lineOffset) const {
  if (fault.number != 0) return;
  int number = 0;
  if (cell.kind == CellKind::kNotNumber) {
    if (checked_[slot]) number = kMsgNotNumber;
  } else if (cell.kind == CellKind::kInfinite) {
    number = kMsgInfinite;
  } else if (kind_[slot] == kInteger && cell.kind == CellKind::kNumber &&
             cell.value != std::trunc(cell.value)) {
    number = kMsgNotInteger;
  }
  if (number != 0) fault = RowFault{number, lineOffset, static_cast<int64_t>(col + 1), 0, cell0};
}

double RowParser::quotedNumber(const FieldScan &f, size_t slot, size_t col, RowFault &fault,
                               int64_t lineOffset) const {
  char buf[64];
  std::string_view text = plainContent(f);
  if (f.escaped) {
    text = f.contentLength <= sizeof buf ? std::string_view(buf, unescapeField(f, buf, sizeof buf))
                                         : std::string_view("\"");  // too long to be a number
  }
  NumericCell cell = parseNumericCell(text, missingWords_, decimalOf(slot));
  checkNumber(cell, slot, col, f.begin, fault, lineOffset);
  return cell.kind == CellKind::kNumber || cell.kind == CellKind::kMissing ? cell.value
                                                                           : kStandardMissing;
}

// A text the schema lists as a missing value (only a schema's list applies to
// character columns: the default words are levels there).
bool RowParser::listedMissing(std::string_view text) const {
  return missingWords_ != nullptr && std::find(missingWords_->begin(), missingWords_->end(),
                                               trimBlanks(text)) != missingWords_->end();
}

std::string_view RowParser::quotedText(size_t slot, const FieldScan &f, TextStore &store) const {
  const size_t length = length_[slot];
  if (!f.escaped) {
    std::string_view s = plainContent(f);
    if (listedMissing(s)) return {};
    return s.substr(0, cutLength(s.data(), s.size(), length));
  }
  char *buf = store.room(slot, length + 1);
  size_t n = unescapeField(f, buf, length + 1);  // one byte more to see where a cut falls
  if (n <= length && listedMissing({buf, n})) return {};
  return {buf, cutLength(buf, n, length)};
}

std::string_view RowParser::plainText(size_t slot, const char *b, const char *e) const {
  size_t len = static_cast<size_t>(e - b);
  if (len == 1 && *b == '.') return {};  // the missing value of a character column
  if (listedMissing({b, len})) return {};
  return {b, cutLength(b, len, length_[slot])};
}

const char *RowParser::parse(const char *p, const char *end, double *numbers,
                             std::string_view *texts, TextStore &store, int64_t &newlines,
                             RowFault &fault) const {
  if (wholeRow_ != nullptr) {
    if (const char *next = wholeRow_(*this, p, end, numbers, texts)) {
      newlines = 0;
      fault.number = 0;
      return next;
    }
  }
  return parseFieldByField(p, end, numbers, texts, store, newlines, fault);
}

const char *RowParser::parseWholeRow(const char *p, const char *end, double *numbers,
                                     std::string_view *texts) const {
  return wholeRow_ != nullptr ? wholeRow_(*this, p, end, numbers, texts) : nullptr;
}

// The row's masks and its loads come from a copy near the end of the text,
// so that neither reads past it.
[[gnu::always_inline]] inline const char *RowParser::readWholeRow(const scan::BlockMasks &m,
                                                                  const char *bytes, const char *p,
                                                                  const char *end, double *numbers,
                                                                  std::string_view *texts) const {
  const size_t left = static_cast<size_t>(end - p);
  const uint64_t lf = left < kRowBlock ? m.lf & ((uint64_t{1} << left) - 1) : m.lf;
  size_t stop;  // the row's line end, or the end of the text
  if (lf != 0) {
    stop = static_cast<size_t>(__builtin_ctzll(lf));
  } else if (left < kRowBlock) {
    stop = left;
  } else {
    return nullptr;  // longer than a block
  }
  const char *const next = lf != 0 ? p + stop + 1 : end;
  if (lf != 0 && stop > 0 && ((m.cr >> (stop - 1)) & 1) != 0) --stop;  // a CR-LF
  const uint64_t row = (uint64_t{1} << stop) - 1;
  if (((m.quote | m.cr) & row) != 0) return nullptr;
  uint64_t delimiters = (m.ends & row) | (uint64_t{1} << stop);
  if (static_cast<size_t>(std::popcount(delimiters)) != ncols_) return nullptr;  // a ragged row
  const uint64_t nonDigits = ~m.digit;
  const ColumnRead *const reads = columnRead_.data();
  size_t b = 0;
  for (size_t col = 0, ncols = ncols_; col < ncols; ++col) {
    const size_t e = static_cast<size_t>(__builtin_ctzll(delimiters));
    delimiters &= delimiters - 1;
    const ColumnRead read = reads[col];
    const unsigned char kind = read.kind;
    const size_t slot = read.slot;
    if (kind == kNumber || kind == kInteger) {
      double v;
      if (!blockNumber(bytes, b, e, nonDigits, v)) return nullptr;
      if (kind == kInteger && b != e && v != std::trunc(v)) return nullptr;
      numbers[slot] = v;
    } else if (kind == kChars) {
      texts[slot] = plainText(slot, p + b, p + e);
    }
    b = e + 1;
  }
  return next;
}

namespace {

// The first bytes of a row, with kRowPast readable bytes after the block:
// the row itself, or a copy of the end of the text padded with zeros.
inline const char *rowBytes(const char *p, const char *end, char *copy) {
  const size_t left = static_cast<size_t>(end - p);
  if (left >= kRowBlock + kRowPast) return p;
  const size_t n = std::min(left, kRowBlock);
  std::memcpy(copy, p, n);
  std::memset(copy + n, 0, kRowBlock + kRowPast - n);
  return copy;
}

}  // namespace

const char *RowParser::wholeRowBaseline(const RowParser &parser, const char *p, const char *end,
                                        double *numbers, std::string_view *texts) {
  char copy[kRowBlock + kRowPast];
  const char *bytes = rowBytes(p, end, copy);
  return parser.readWholeRow(scan::classifyBaseline(bytes, parser.delimiter_), bytes, p, end,
                             numbers, texts);
}

#if defined(VYN_SCAN_AVX2)
__attribute__((target("avx2,bmi,bmi2"))) const char *RowParser::wholeRowAvx2(
    const RowParser &parser, const char *p, const char *end, double *numbers,
    std::string_view *texts) {
  char copy[kRowBlock + kRowPast];
  const char *bytes = rowBytes(p, end, copy);
  return parser.readWholeRow(scan::classifyAvx2(bytes, parser.delimiter_), bytes, p, end, numbers,
                             texts);
}
#endif

const char *RowParser::parseFieldByField(const char *p, const char *end, double *numbers,
                                         std::string_view *texts, TextStore &store,
                                         int64_t &newlines, RowFault &fault) const {
  const size_t spare = selected_.size();
  newlines = 0;
  fault = RowFault{};
  size_t col = 0;
  for (;;) {
    const size_t slot = col < ncols_ ? slotOf_[col] : spare;
    const unsigned char kind = kind_[slot];
    if (p < end && *p == '"') {
      FieldScan f = scanField(p, end, delimiter_);
      if (f.unterminated && fault.number == 0)
        fault = RowFault{kMsgOpenQuote, newlines, static_cast<int64_t>(col + 1), 0, nullptr};
      if (kind == kNumber || kind == kInteger || kind == kCommaNumber) {
        numbers[slot] = quotedNumber(f, slot, col, fault, newlines);
      } else if (kind == kChars) {
        texts[slot] = quotedText(slot, f, store);
      }
      newlines += static_cast<int64_t>(f.newlines);
      p = f.next;
      ++col;
      if (f.rowEnd) break;
      continue;
    }
    if ((kind == kNumber || kind == kInteger) && startsPlainNumber(p, end)) {
      // the fast path: the number stops right at the separator
      double v;
      const char *q = readNumber(p, end, v);
      const bool separator = q != nullptr && q < end && *q == delimiter_;
      if (q != nullptr &&
          (separator || q == end || *q == '\n' || (*q == '\r' && q + 1 < end && q[1] == '\n'))) {
        if (kind == kInteger && v != std::trunc(v))
          checkNumber({CellKind::kNumber, v}, slot, col, p, fault, newlines);
        numbers[slot] = v;
        ++col;
        if (separator) {
          p = q + 1;
          continue;
        }
        p = q == end ? q : q + (*q == '\n' ? 1 : 2);
        break;
      }
    }
    const char *sep = findSeparator(p, end, delimiter_);
    const char *e = sep;
    if (sep < end && *sep == '\n' && e > p && e[-1] == '\r') --e;
    if (kind == kNumber || kind == kInteger || kind == kCommaNumber) {
      NumericCell cell = parseNumericCell(std::string_view(p, static_cast<size_t>(e - p)),
                                          missingWords_, decimalOf(slot));
      checkNumber(cell, slot, col, p, fault, newlines);
      numbers[slot] = cell.kind == CellKind::kNumber || cell.kind == CellKind::kMissing
                          ? cell.value
                          : kStandardMissing;
    } else if (kind == kChars) {
      texts[slot] = plainText(slot, p, e);
    }
    ++col;
    if (sep == end) {
      p = end;
      break;
    }
    p = sep + 1;
    if (*sep == '\n') break;
  }
  if (col != ncols_) shortOrLongRow(col, numbers, texts, fault);
  return p;
}

// Every field of a row writes its slot, so only the slots of the fields a
// short row lacks are left to fill.
void RowParser::shortOrLongRow(size_t fields, double *numbers, std::string_view *texts,
                               RowFault &fault) const {
  for (size_t c = fields; c < ncols_; ++c) {
    const size_t slot = slotOf_[c];
    if (kind_[slot] == kChars) {
      texts[slot] = {};
    } else if (kind_[slot] != kSkip) {
      numbers[slot] = kStandardMissing;
    }
  }
  if (fault.number == 0)
    fault =
        RowFault{kMsgRaggedRow, 0, static_cast<int64_t>(fields > ncols_ ? ncols_ + 1 : fields + 1),
                 static_cast<int64_t>(fields), nullptr};
}

DataError RowParser::error(const RowFault &fault, int64_t line) const {
  const std::string &file = ds_.path();
  const int64_t at = line + fault.lineOffset;
  std::vector<std::string> inserts{file, std::to_string(at), std::to_string(fault.column)};
  if (fault.number == kMsgRaggedRow) {
    inserts.push_back(std::to_string(fault.fields));
    inserts.push_back(std::to_string(ncols_));
  } else if (fault.number == kMsgNotNumber || fault.number == kMsgNotInteger ||
             fault.number == kMsgInfinite) {
    FieldScan f = scanField(fault.cell, end_, delimiter_);
    std::string text(plainContent(f));
    if (f.quoted && f.escaped) {
      text.assign(f.contentLength, '\0');
      text.resize(unescapeField(f, text.data(), text.size()));
    }
    const Variable &v = ds_.variable(static_cast<int>(fault.column - 1));
    inserts.push_back(quoteInsert(text));
    inserts.push_back(v.name);
    if (fault.number == kMsgNotNumber) inserts.push_back(v.integer ? "integer" : "number");
  }
  return DataError(fault.number, std::move(inserts), file, at, fault.column);
}

}  // namespace vyn::data

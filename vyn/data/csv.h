// The pieces of the CSV reader that the data set and the cursor share: the
// mapped file, the scan of one field, the reading of a numeric cell.
//
// CSV dialect (RFC 4180, read leniently where it costs nothing):
// - fields are separated by the delimiter, ',' unless a schema or the command
//   line gives another (';', tab, '|', ...), and rows end with "\n" or
//   "\r\n"; a lone "\r" is an ordinary character; the last row may lack its
//   line end;
// - a field that starts with '"' is quoted: it may hold delimiters, line ends and
//   quotes written as two quotes (""); characters after the closing quote up
//   to the next separator are kept as they are (as Python's csv does);
// - a '"' inside an unquoted field is an ordinary character;
// - a UTF-8 byte-order mark before the header is skipped;
// - empty lines (also "\r\n" alone) are skipped everywhere, so in a one-column
//   file write a missing value as "." or "".
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vyn/data/map_guard.h"

namespace vyn::data {

// A read-only memory map of a whole file. The file stays open while it is
// mapped, so a change under the map (cut short, grown, removed) is found.
class MappedFile {
 public:
  MappedFile() = default;
  MappedFile(const MappedFile &) = delete;
  MappedFile &operator=(const MappedFile &) = delete;
  MappedFile(MappedFile &&other) noexcept;
  MappedFile &operator=(MappedFile &&other) noexcept;
  ~MappedFile();

  // Maps the file; throws DataError 200 (missing), 204 (unreadable or not a
  // regular file) or 205 (empty). `shownName` is the name used in messages.
  void open(const std::string &path, const std::string &shownName);
  // Holds a copy of the text instead of a map (tests, the fuzz target);
  // throws DataError 205 when it is empty.
  void adopt(std::string text, const std::string &shownName);

  // The status of the file when it was opened (zeros for adopted text).
  const struct stat &status() const { return status_; }
  const char *data() const { return data_; }
  size_t size() const { return size_; }
  std::string_view view() const { return {data_, size_}; }

  // True once a read ran past the end of the file cut short under the map
  // (the bytes read there were zeros); cheap enough for every row.
  bool damaged() const { return watch_.damaged(); }
  // Throws DataError 221 when the file was cut short under the map, has
  // another size now or was removed.
  void checkUnchanged() const;

 private:
  void release();

  const char *data_ = nullptr;
  size_t size_ = 0;
  bool mapped_ = false;
  int fd_ = -1;
  struct stat status_ {};
  std::string owned_;
  std::string shownName_;
  MapWatch watch_;
};

// One field as scanned from its first byte.
struct FieldScan {
  const char *begin;          // first byte of the field (the quote, when quoted)
  const char *end;            // one past its last byte, before the separator or line end
  const char *next;           // first byte after the separator or line end
  bool quoted = false;        // the field starts with '"'
  bool escaped = false;       // quoted with "" inside or text after the closing quote
  bool rowEnd = false;        // the field ends its row (line end or end of file)
  bool unterminated = false;  // quoted and never closed: end == next == end of file
  size_t contentLength = 0;   // bytes of the value (quotes removed, "" counted once)
  size_t newlines = 0;        // line ends inside the field (quoted fields)
};

// Scans the field that starts at p (p <= end).
FieldScan scanField(const char *p, const char *end, char delimiter = ',');

// The delimiter a user wrote: one byte, or "tab" or "\t" for a tab. None
// when it cannot separate fields: a letter, a digit, '.', '+', '-', a double
// quote, a line end or another control character, a byte above 127, or more
// than one byte.
std::optional<char> delimiterFrom(std::string_view written);

// The value of a field: the bytes between the quotes of a quoted field
// without escapes, or the field itself; nullptr data when it needs unescaping.
inline std::string_view plainContent(const FieldScan &f) {
  if (!f.quoted) return {f.begin, static_cast<size_t>(f.end - f.begin)};
  if (f.escaped) return {};
  return {f.begin + 1, f.contentLength};
}

// Writes the value of a quoted field with escapes into out, at most `cap`
// bytes; returns the number written.
size_t unescapeField(const FieldScan &f, char *out, size_t cap);

// A numeric cell: a number, a missing value, an infinite value or none of these.
enum class CellKind : unsigned char { kNumber, kMissing, kInfinite, kNotNumber };
struct NumericCell {
  CellKind kind;
  double value;  // the number, or the missing value
};

// Reads a numeric cell: blanks around it are ignored; empty and "." are the
// standard missing value, ".A"-".Z" (either case) and "._" special missing
// values, and so are NA, NaN, nan, N/A, NULL and null (as R and pandas write
// them); inf and Inf with an optional sign are infinite (a number for typing,
// an error when a step uses it); a number is what std::from_chars reads in
// full, with an optional leading '+'. Not numbers: other words, hexadecimal,
// and values out of the range of a double (1e999).
// `words` replaces the list of words for a missing value (a schema's
// "missingValues"); nullptr keeps the default list. With `decimal` ',' a
// number is written with a decimal comma ("3,14"), and one with a point is
// not a number.
NumericCell parseNumericCell(std::string_view text, const std::vector<std::string> *words = nullptr,
                             char decimal = '.');

// True when the name is a valid variable name: 1-32 letters, digits or
// underscores, not starting with a digit.
bool isValidName(std::string_view name);

// A valid variable name for a header name that is not one: every byte that
// cannot be in a name becomes '_', a leading digit gets '_' before it, the
// result is cut to 32 bytes; an empty name is "_row_" in the first column
// (the row names other programs write) and "_colN" in column N.
std::string validNameFor(std::string_view header, int64_t column);

// The text without the blanks at its end, which do not count when texts are
// compared.
inline std::string_view withoutTrailingBlanks(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// ASCII upper- and lower-case copies, for comparing names regardless of case.
std::string upperCase(std::string_view s);
std::string lowerCase(std::string_view s);
bool equalNoCase(std::string_view a, std::string_view b);

}  // namespace vyn::data

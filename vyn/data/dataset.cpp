#include "vyn/data/dataset.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <system_error>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "vyn/core/utf8.h"
#include "vyn/data/block_scan.h"
#include "vyn/data/error.h"
#include "vyn/data/input_file.h"
#include "vyn/data/missing.h"
#include "vyn/data/progress.h"
#include "vyn/data/row_pipeline.h"
#include "vyn/data/sqlite_source.h"

namespace vyn::data {

namespace {

// How the schema declares a column's type.
enum Declared : unsigned char { kInferred = 0, kDeclNumber, kDeclInteger, kDeclString };

// What the inference pass checks in a column's cells.
enum Check : unsigned char {
  kNoCheck = 0,  // declared by the schema, or a non-number was seen
  kCheckInfer,   // numeric so far: a non-number makes it a character column
};

bool fileExists(const std::string &path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

// Cuts a text to at most n bytes, not inside a UTF-8 sequence.
std::string cutUtf8(std::string s, size_t n) {
  if (s.size() <= n) return s;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  s.resize(n);
  return s;
}

// A text quoted in a message: cut after n bytes, with "..." where it was cut.
std::string shortened(std::string s, size_t n) {
  return s.size() > n ? cutUtf8(std::move(s), n) + "..." : s;
}

// The text of a field for messages and names: unescaped when needed.
std::string fieldText(const FieldScan &f) {
  if (f.quoted && f.escaped) {
    std::string s(f.contentLength, '\0');
    s.resize(unescapeField(f, s.data(), s.size()));
    return s;
  }
  return std::string(plainContent(f));
}

// A schema nests {"fields": [{"constraints": {...}}]}: four levels. The
// bound keeps a hostile file from nesting deep enough to exhaust the stack
// of whatever walks the parsed value.
constexpr int kMaxSchemaDepth = 32;

// A JSON value for a message: a scalar as written, cut after 40 bytes; an
// array or object only by its kind, never its contents.
std::string jsonExcerpt(const nlohmann::json &value) {
  if (value.is_array()) return "a list [...]";
  if (value.is_object()) return "an object {...}";
  return shortened(value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace), 40);
}

// The parser's account of a problem quotes the text it read: cut after 100
// bytes.
constexpr size_t kParserWords = 100;

// Line and column of a byte offset, both from 1.
std::pair<int64_t, int64_t> lineAndColumn(std::string_view text, size_t at) {
  int64_t line = 1, column = 1;
  for (size_t i = 0; i < at && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return {line, column};
}

nlohmann::json parseSchema(const std::string &schema, const std::string &text) {
  auto boundDepth = [&schema](int depth, nlohmann::json::parse_event_t event, nlohmann::json &) {
    if (depth >= kMaxSchemaDepth && (event == nlohmann::json::parse_event_t::object_start ||
                                     event == nlohmann::json::parse_event_t::array_start))
      throw DataError(kMsgSchemaDeep, {schema, std::to_string(kMaxSchemaDepth)}, schema);
    return true;
  };
  try {
    return nlohmann::json::parse(text, boundDepth);
  } catch (const nlohmann::json::parse_error &e) {
    // the parser counts bytes from 1; give line and column
    const size_t at = e.byte > 0 ? static_cast<size_t>(e.byte - 1) : 0;
    const auto [line, column] = lineAndColumn(text, at);
    std::string why = e.what();
    size_t colon = why.find(": ", why.find("column"));
    if (colon != std::string::npos) why = why.substr(colon + 2);
    throw DataError(
        kMsgSchemaJson,
        {schema, std::to_string(line), std::to_string(column), shortened(why, kParserWords)},
        schema, line, column);
  } catch (const nlohmann::json::exception &e) {  // valid JSON out of range: 1e400
    std::string why = e.what();
    const size_t bracket = why.find("] ");
    if (bracket != std::string::npos) why = why.substr(bracket + 2);
    throw DataError(kMsgSchemaUnreadable, {schema, shortened(why, kParserWords)}, schema);
  }
}

}  // namespace

// ---------------------------------------------------------------- paths

std::string schemaPathFor(std::string_view dataPath) {
  if (std::string table = sqliteSchemaPathFor(dataPath); !table.empty()) return table;
  size_t slash = dataPath.rfind('/');
  size_t dot = dataPath.rfind('.');
  std::string_view stem = dataPath;
  if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash + 1))
    stem = dataPath.substr(0, dot);
  return std::string(stem) + ".schema.json";
}

std::string joinPath(std::string_view dir, std::string_view name) {
  if (dir.empty() || dir == ".") return std::string(name);
  std::string out(dir);
  if (out.back() != '/') out += '/';
  out += name;
  return out;
}

std::string resolveDataSetPath(std::string_view dataDir, std::string_view name, bool quoted) {
  if (quoted) {
    if (!name.empty() && name.front() == '/') return std::string(name);
    return joinPath(dataDir, name);
  }
  std::string rel;
  size_t dot = name.find('.');
  if (dot == std::string_view::npos) {
    rel = std::string(name) + ".csv";
  } else {
    rel = std::string(name.substr(0, dot)) + "/" + std::string(name.substr(dot + 1)) + ".csv";
  }
  std::string asWritten = joinPath(dataDir, rel);
  if (fileExists(asWritten)) return asWritten;
  std::string lower = joinPath(dataDir, lowerCase(rel));
  if (fileExists(lower)) return lower;
  if (dot != std::string_view::npos) {
    const std::string database = sqliteDatabaseIn(dataDir, name.substr(0, dot));
    if (!database.empty()) return sqliteTablePath(database, name.substr(dot + 1));
  }
  return asWritten;
}

// ---------------------------------------------------------------- the data set

namespace {

std::atomic<int64_t> gTypingPasses{0};

bool sameFile(const struct stat &a, const struct stat &b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

}  // namespace

int64_t DataSet::typingPasses() {
  return gTypingPasses.load();
}

bool DataSet::unchangedSinceOpen() const {
  struct stat now {};
  if (sqlite_ != nullptr ? !sqlite_->unchanged()
                         : ::stat(path_.c_str(), &now) != 0 || !sameFile(now, fileStamp_))
    return false;
  const bool schemaNow = ::stat(schemaPathFor(path_).c_str(), &now) == 0;
  return schemaNow == schemaFound_ && (!schemaNow || sameFile(now, schemaStamp_));
}

int DataSet::findVariable(std::string_view name) const {
  const auto found = numberOf_.find(upperCase(name));
  return found == numberOf_.end() ? -1 : found->second;
}

std::unique_ptr<DataSet> DataSet::open(const std::string &path, char delimiter,
                                       const TypingOptions &typing) {
  if (!sqliteDatabaseOf(path).empty()) {
    std::unique_ptr<DataSet> table = openSqlite(path);
    table->givenDelimiter_ = delimiter;  // no delimiter of its own: reused under the same run
    return table;
  }
  std::unique_ptr<DataSet> ds(new DataSet());
  ds->path_ = path;
  ds->delimiter_ = ds->givenDelimiter_ = delimiter;
  ds->file_.open(path, path);
  ds->fileStamp_ = ds->file_.status();
  try {
    nlohmann::json schema;
    const bool found = ds->loadSchema(schema);
    if (found) ds->readDialect(schema);
    ds->readHeader();
    if (found) ds->readSchema(schema);
    ds->inferColumns(typing);
  } catch (const DataError &) {
    ds->file_.checkUnchanged();  // zeros read from a file cut short are no error of the data
    throw;
  }
  ds->file_.checkUnchanged();
  return ds;
}

std::unique_ptr<DataSet> DataSet::fromText(const std::string &name, std::string text,
                                           char delimiter, const TypingOptions &typing) {
  std::unique_ptr<DataSet> ds(new DataSet());
  ds->path_ = name;
  ds->delimiter_ = ds->givenDelimiter_ = delimiter;
  ds->file_.adopt(std::move(text), name);
  ds->readHeader();
  ds->inferColumns(typing);
  return ds;
}

// Room for the names of a header line, counted by its delimiters, so a wide
// header is indexed without rehashing.
void DataSet::reserveNames(const char *p, const char *end) {
  const auto *newline = static_cast<const char *>(std::memchr(p, '\n', end - p));
  const size_t columns = std::count(p, newline == nullptr ? end : newline, delimiter_) + 1;
  numberOf_.reserve(columns);
  vars_.reserve(columns);
}

// The name, or the name with the first of "_2", "_3", ... that no earlier
// column has, cut so that it stays within 32 bytes.
std::string DataSet::uniqueName(std::string name) const {
  if (!numberOf_.contains(upperCase(name))) return name;
  for (int n = 2;; ++n) {
    const std::string suffix = "_" + std::to_string(n);
    std::string candidate = name.substr(0, 32 - suffix.size()) + suffix;
    if (!numberOf_.contains(upperCase(candidate))) return candidate;
  }
}

void DataSet::readHeader() {
  const char *begin = file_.data(), *end = begin + file_.size();
  const char *p = begin;
  if (end - p >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3;
  int64_t line = 1;
  // blank lines before the header are skipped like all blank lines
  for (;;) {
    if (p < end && *p == '\n') {
      ++p;
      ++line;
    } else if (end - p >= 2 && p[0] == '\r' && p[1] == '\n') {
      p += 2;
      ++line;
    } else {
      break;
    }
  }
  if (p == end) throw DataError(kMsgEmptyFile, {path_}, path_);
  int64_t fieldLine = line;
  reserveNames(p, end);
  for (int64_t column = 1;; ++column) {
    FieldScan f = scanField(p, end, delimiter_);
    if (f.unterminated)
      throw DataError(kMsgOpenQuote, {path_, std::to_string(fieldLine), std::to_string(column)},
                      path_, fieldLine, column);
    std::string header(trimBlanks(fieldText(f)));
    std::string name = uniqueName(isValidName(header) ? header : validNameFor(header, column));
    numberOf_.emplace(upperCase(name), static_cast<int>(vars_.size()));
    Variable v;
    v.decimal = decimal_;
    if (name != header) v.label = cutUtf8(header, 256);
    v.header = std::move(header);
    v.name = std::move(name);
    vars_.push_back(std::move(v));
    fieldLine += static_cast<int64_t>(f.newlines);
    p = f.next;
    if (f.rowEnd) break;
  }
  dataOffset_ = static_cast<size_t>(p - begin);
  dataLine_ = fieldLine + 1;
  declared_.assign(vars_.size(), kInferred);
  schemaLength_.assign(vars_.size(), 0);
}

bool DataSet::loadSchema(nlohmann::json &doc) {
  std::string schema = schemaPathFor(path_);
  std::string text;
  ReadFailure failure;
  if (!readRegularFile(schema, &text, &failure)) {
    if (failure.err == ENOENT || failure.err == ENOTDIR) {  // no sidecar
      schemaFound_ = false;
      return false;
    }
    throw DataError(kMsgSchemaUnreadable, {schema, failure.reason}, schema);
  }
  schemaPath_ = schema;
  schemaFound_ = ::stat(schema.c_str(), &schemaStamp_) == 0;
  doc = parseSchema(schema, text);
  if (!doc.is_object() || !doc.contains("fields") || !doc["fields"].is_array())
    throw DataError(kMsgSchemaNoFields, {schema}, schema);
  return true;
}

// The schema's "dialect": its delimiter replaces the one of the command line
// for this file, its decimal character is that of every numeric column.
void DataSet::readDialect(const nlohmann::json &doc) {
  if (!doc.contains("dialect")) return;
  const nlohmann::json &dialect = doc["dialect"];
  if (!dialect.is_object())
    throw DataError(kMsgSchemaDialect, {schemaPath_, jsonExcerpt(dialect)}, schemaPath_);
  if (dialect.contains("delimiter")) {
    const nlohmann::json &given = dialect["delimiter"];
    const std::optional<char> delimiter =
        given.is_string() ? delimiterFrom(given.get<std::string>()) : std::nullopt;
    if (!delimiter)
      throw DataError(kMsgSchemaDelimiter, {schemaPath_, jsonExcerpt(given)}, schemaPath_);
    delimiter_ = *delimiter;
  }
  if (dialect.contains("decimalChar")) decimal_ = decimalFrom(dialect["decimalChar"], "dialect");
}

// A "decimalChar": "." or ",", and not the delimiter.
char DataSet::decimalFrom(const nlohmann::json &given, const std::string &where) const {
  const std::string text = given.is_string() ? given.get<std::string>() : "";
  if ((text != "." && text != ",") || text[0] == delimiter_)
    throw DataError(
        kMsgSchemaDecimal,
        {schemaPath_, where, jsonExcerpt(given), quoteInsert(std::string(1, delimiter_))},
        schemaPath_);
  return text[0];
}

void DataSet::readSchema(const nlohmann::json &doc) {
  const std::string &schema = schemaPath_;
  readMissingValues(schema, doc);
  std::vector<bool> seen(vars_.size(), false);
  int number = 0;
  for (const nlohmann::json &field : doc["fields"]) {
    ++number;
    if (!field.is_object() || !field.contains("name") || !field["name"].is_string() ||
        field["name"].get<std::string>().empty())
      throw DataError(kMsgSchemaNoName, {schema, std::to_string(number)}, schema);
    std::string name = field["name"].get<std::string>();
    int index = findVariable(name);
    for (size_t c = 0; index < 0 && c < vars_.size(); ++c)
      if (vars_[c].header == name) index = static_cast<int>(c);
    if (index < 0) throw DataError(kMsgSchemaUnknown, {schema, shortened(name, 40), path_}, schema);
    if (seen[static_cast<size_t>(index)])
      throw DataError(kMsgSchemaDuplicate, {schema, name}, schema);
    seen[static_cast<size_t>(index)] = true;
    Variable &v = vars_[static_cast<size_t>(index)];
    unsigned char &decl = declared_[static_cast<size_t>(index)];

    auto mustBe = [&](const char *key, const char *what) {
      throw DataError(kMsgSchemaValue, {schema, key, name, what}, schema);
    };
    if (field.contains("type")) {
      if (!field["type"].is_string()) mustBe("type", "a text such as \"number\"");
      std::string type = field["type"].get<std::string>();
      if (type == "number") {
        decl = kDeclNumber;
      } else if (type == "integer") {
        decl = kDeclInteger;
        v.integer = true;
      } else if (type == "string") {
        decl = kDeclString;
      } else if (type != "any") {
        throw DataError(kMsgSchemaType, {schema, name, jsonExcerpt(field["type"])}, schema);
      }
    }
    if (field.contains("decimalChar"))
      v.decimal = decimalFrom(field["decimalChar"], "field " + name);
    if (field.contains("title")) {
      if (!field["title"].is_string()) mustBe("title", "a text");
      v.label = cutUtf8(field["title"].get<std::string>(), 256);
    }
    const nlohmann::json *length = nullptr;
    if (field.contains("length")) {
      length = &field["length"];
    } else if (field.contains("constraints") && field["constraints"].is_object() &&
               field["constraints"].contains("maxLength")) {
      length = &field["constraints"]["maxLength"];
    }
    v.declaredNumeric = decl == kDeclNumber || decl == kDeclInteger;
    if (length != nullptr && decl != kDeclNumber && decl != kDeclInteger) {
      if (!length->is_number_integer() || length->get<int64_t>() < 1 ||
          length->get<int64_t>() > kMaxCharLength)
        throw DataError(kMsgSchemaLength, {schema, name, jsonExcerpt(*length)}, schema);
      schemaLength_[static_cast<size_t>(index)] = static_cast<int>(length->get<int64_t>());
      if (decl == kInferred) decl = kDeclString;  // a length makes it a string
    }
    if (field.contains("format")) {
      if (!field["format"].is_string()) mustBe("format", "a text such as \"8.2\"");
      std::string text = field["format"].get<std::string>();
      static const char *const kTableSchemaWords[] = {"default", "email", "uri", "binary", "uuid"};
      bool word = std::any_of(std::begin(kTableSchemaWords), std::end(kTableSchemaWords),
                              [&](const char *w) { return text == w; });
      if (!word) {
        std::optional<Format> f = parseFormat(text);
        if (!f)
          throw DataError(kMsgSchemaFormat, {schema, name, jsonExcerpt(field["format"])}, schema);
        bool stringField = decl == kDeclString;
        bool numberField = decl == kDeclNumber || decl == kDeclInteger;
        if ((stringField && f->numeric()) || (numberField && !f->numeric()))
          throw DataError(
              kMsgSchemaFormatKind,
              {schema, name, stringField ? "string" : "number", jsonExcerpt(field["format"])},
              schema);
        v.format = *f;
        v.formatGiven = true;
      }
    }
  }
}

void DataSet::readMissingValues(const std::string &schema, const nlohmann::json &doc) {
  if (!doc.contains("missingValues")) return;
  const nlohmann::json &list = doc["missingValues"];
  if (!list.is_array()) throw DataError(kMsgSchemaMissingList, {schema, jsonExcerpt(list)}, schema);
  for (const nlohmann::json &word : list) {
    if (!word.is_string())
      throw DataError(kMsgSchemaMissingList, {schema, jsonExcerpt(word)}, schema);
    const std::string text = word.get<std::string>();
    const CellKind kind = parseNumericCell(text).kind;
    if (kind == CellKind::kNumber || kind == CellKind::kInfinite)
      throw DataError(kMsgSchemaMissingNumber, {schema, quoteInsert(text)}, schema);
    missingWords_.emplace_back(trimBlanks(text));
  }
  missingWordsGiven_ = true;
}

// ---------------------------------------------------------------- inference

namespace {

// A place a scan found: its line counted from the first line of its piece,
// and its column from 1.
struct Found {
  bool found = false;
  int64_t line = 0;
  int64_t column = 0;
};

// Whether the eight fields closed by ends[0..8) (ends[-1] closes the one
// before the first) are each shorter than its `limit` and their ends' marks
// under `heed` are `expect`.
inline bool eightFit(const scan::Place *ends, const uint8_t *marks, const scan::Place *limit,
                     const uint8_t *heed, const uint8_t *expect) {
  uint64_t marked, heeded, expected;
  std::memcpy(&marked, marks, 8);
  std::memcpy(&heeded, heed, 8);
  std::memcpy(&expected, expect, 8);
#if defined(__SSE2__)
  const auto load = [](const scan::Place *p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
  };
  // an end less the one before is the field's length plus one
  const __m128i over = _mm_cmpgt_epi16(_mm_sub_epi16(load(ends), load(ends - 1)), load(limit));
  return (_mm_movemask_epi8(over) == 0) & ((marked & heeded) == expected);
#else
  bool over = false;
  for (int k = 0; k < 8; ++k) over |= ends[k] - ends[k - 1] > limit[k];
  return !over & ((marked & heeded) == expected);
#endif
}

}  // namespace

// The scan of the typing pass over a piece of the rows.
// Rows without quotes go through a block scan: 64 bytes at a time are
// classified into bit masks, and the masks tell which fields can only be
// valid numbers (sign first, digits, at most one point); only other fields
// of numeric columns are read by parseNumericCell. The masks of a run of
// blocks become the list of its field ends, and a row whose fields are no
// longer than their columns' longest so far and carry no mark its columns
// heed is passed whole, eight fields at a time; any other row goes field by
// field. A row with a quote anywhere goes through the field-by-field scanner
// of csv.h.
class RowScan {
 public:
  // What the scan found first in a column that is not a number (cut after 40 bytes).
  struct FirstText {
    Found at;
    std::string text;
  };

  RowScan(const DataSet &ds, const std::vector<unsigned char> &declared)
      : ds_(ds),
        base_(ds.bytes().data()),
        end_(ds.bytes().size()),
        ncols_(declared.size()),
        cols_(ncols_ + 1),
        lanes_(ncols_ + 1),
        check_(ncols_ + 1, kNoCheck),
        first_(ncols_),
        limit_((ncols_ + 7) / 8 * 8, std::numeric_limits<scan::Place>::max()),
        heed_(limit_.size(), 0),
        expect_(limit_.size(), 0),
        shortest_(ncols_ == 1 ? 3 : 0),
        ends_(std::make_unique<scan::Ends>()) {
    for (size_t c = 0; c < ncols_; ++c) {
      // declared columns: numbers are checked when read, strings not at all;
      // a number with a decimal comma is read by parseNumericCell
      check_[c] = declared[c] == kInferred ? kCheckInfer : kNoCheck;
      cols_[c].slowAbove = check_[c] == kNoCheck                             ? kNever
                           : ds.variable(static_cast<int>(c)).decimal != '.' ? 0
                                                                             : kShortNumber;
      cols_[c].text = declared[c] == kDeclString;
      settle(c);
    }
    expect_[ncols_ - 1] = scan::kLineEnd;
  }

  // Scans the rows [begin, end), from a row start to a row start, whose
  // first line is `firstLine`; returns their line ends. Throws DataError on
  // a ragged row or a quote left open, naming its line from firstLine.
  int64_t scan(size_t begin, size_t end, int64_t firstLine) {
    firstLine_ = firstLine;
    end_ = end;
    size_t pos = begin;
    int64_t line = firstLine;
    while (pos < end_) {
      pos = blockRows(pos, line);
      if (pos < end_) pos = scalarRow(pos, line);
    }
    return line - firstLine;
  }

  // The first cell of a character column that is not UTF-8, row by row with
  // the field scanner; the shape of the rows is checked when they are read.
  void findBadText(size_t begin, int64_t firstLine) {
    firstLine_ = firstLine;
    const char *p = base_ + begin, *end = base_ + end_;
    int64_t line = firstLine;
    for (size_t col = 0; p < end && !bad_.found;) {
      const FieldScan f = scanField(p, end, ds_.delimiter());
      if (col < ncols_ && cols_[col].text)
        checkText(col, std::string_view(f.begin, static_cast<size_t>(f.end - f.begin)), line);
      line += static_cast<int64_t>(f.newlines);
      col = f.rowEnd ? 0 : col + 1;
      if (f.rowEnd) ++line;
      p = f.next;
    }
  }

  // Some column's cells are checked for text that is not UTF-8.
  bool checksText() const {
    return std::any_of(cols_.begin(), cols_.end(), [](const ColumnScan &s) { return s.text; });
  }
  size_t longest(size_t col) const { return cols_[col].maxLen; }
  const FirstText &firstText(size_t col) const { return first_[col]; }
  const Found &badText() const { return bad_; }
  int64_t rows() const { return rows_; }

 private:
  // The longest text a valid number can have without the check by
  // parseNumericCell: 40 digits cannot overflow or underflow a double.
  static constexpr size_t kShortNumber = 40;
  static constexpr size_t kNever = ~size_t{0};

  // What the scan keeps of a column.
  struct ColumnScan {
    size_t maxLen = 0;          // the longest value
    size_t slowAbove = kNever;  // parseNumericCell reads fields longer than this (kNever: none),
                                // and every suspect field unless kNever
    bool text = false;          // a character column whose fields with bytes above 127 are
                                // checked for UTF-8
  };

  // What a field of the block scan must pass to need no look: a length up
  // to `fits`, and none of the marks in `marks` (kSuspect, kHigh).
  struct Lane {
    size_t fits = 0;
    unsigned marks = 0;
  };
  static constexpr unsigned kSuspect = scan::kSuspectEnd, kHigh = scan::kHighEnd;

  void settle(size_t c) {
    const ColumnScan &s = cols_[c];
    const Lane lane{std::min(s.maxLen, s.slowAbove),
                    (s.slowAbove != kNever ? kSuspect : 0) | (s.text ? kHigh : 0)};
    lanes_[c] = lane;
    if (c == ncols_) return;
    constexpr size_t kWidest = std::numeric_limits<scan::Place>::max() - 1;
    limit_[c] = static_cast<scan::Place>(std::min(lane.fits, kWidest) + 1);
    heed_[c] = static_cast<uint8_t>(lane.marks | scan::kLineEnd | scan::kPastEnd);
  }

  Found here(int64_t line, int64_t column) const { return {true, line - firstLine_, column}; }

  // A field of the block scan: most need nothing but a look at their length.
  void field(size_t col, const char *text, size_t len, unsigned marks, int64_t line) {
    const size_t c = col < ncols_ ? col : ncols_;
    const Lane &lane = lanes_[c];
    if ((len > lane.fits) | ((marks & lane.marks) != 0)) lookAt(c, text, len, marks, line);
  }

  __attribute__((noinline)) void lookAt(size_t c, const char *text, size_t len, unsigned marks,
                                        int64_t line) {
    ColumnScan &s = cols_[c];
    if (len > s.maxLen) s.maxLen = len;
    if (len > s.slowAbove || ((marks & kSuspect) && s.slowAbove != kNever))
      checkCell(c, std::string_view(text, len), line);
    if ((marks & kHigh) && s.text) checkText(c, std::string_view(text, len), line);
    settle(c);
  }

  void checkCell(size_t col, std::string_view text, int64_t line) {
    if (check_[col] == kCheckInfer &&
        parseNumericCell(text, ds_.missingWords(), ds_.variable(static_cast<int>(col)).decimal)
                .kind == CellKind::kNotNumber) {
      check_[col] = kNoCheck;  // a character column
      cols_[col].slowAbove = kNever;
      cols_[col].text = !bad_.found;
      settle(col);
      first_[col] = {here(line, 0), shortened(std::string(text), 40)};
    }
  }

  // Only bytes above 127 make a field suspect in a character column, so
  // text in plain ASCII costs nothing here. The first bad cell stops the
  // checks.
  void checkText(size_t col, std::string_view text, int64_t line) {
    if (invalidUtf8At(text) == std::string_view::npos) return;
    bad_ = here(line, static_cast<int64_t>(col + 1));
    for (size_t c = 0; c < cols_.size(); ++c) {
      cols_[c].text = false;
      settle(c);
    }
  }

  void rowEnd(size_t fields, int64_t line) {
    if (fields != ncols_) raggedRow(fields, line);
    ++rows_;
  }

  [[noreturn]] __attribute__((noinline)) void raggedRow(size_t fields, int64_t line) const {
    const size_t column = fields > ncols_ ? ncols_ + 1 : fields + 1;
    throw DataError(kMsgRaggedRow,
                    {ds_.path(), std::to_string(line), std::to_string(column),
                     std::to_string(fields), std::to_string(ncols_)},
                    ds_.path(), line, static_cast<int64_t>(column));
  }

  // Where the block scan stands: the start of the open field and of its
  // row, the open field's column, and the row's line.
  struct Walk {
    size_t fieldStart, rowStart, col;
    int64_t line;
  };

  // Rows from pos (a row start) until a row with a quote or the end of the
  // piece; returns the start of the row with the quote, or the piece's end.
  size_t blockRows(size_t pos, int64_t &line) {
    scan::Carry carry;
    Walk w{pos, pos, 0, line};
    const char delimiter = ds_.delimiter();
    scan::Ends &ends = *ends_;
    for (size_t bpos = pos; bpos < end_; bpos += 64 * ends.blocks) {
      const size_t full = (end_ - bpos) / 64;
      if (full == 0) {
        scan::scanTailEnds(base_ + bpos, end_ - bpos, carry, delimiter, ends);
      } else {
        scan::scanEnds(base_ + bpos, std::min(full, scan::Ends::kBlocks), base_ + end_, carry,
                       delimiter, ends);
      }
      walkEnds(bpos, w);
      // a row with a quote goes to the field scanner: its fields before the
      // quote are seen here too, to no effect
      if (ends.quote) {
        line = w.line;
        return w.rowStart;
      }
    }
    // a last row without a line end
    if (w.fieldStart < end_ || w.col > 0) {
      field(w.col, base_ + w.fieldStart, end_ - w.fieldStart, kSuspect | kHigh, w.line);
      rowEnd(w.col + 1, w.line);
      ++w.line;
    }
    line = w.line;
    return end_;
  }

  // The ends of a run of blocks that starts at `base`: whole rows that need
  // no look are passed at once, any other field by field.
  void walkEnds(size_t base, Walk &w) {
    const scan::Ends &ends = *ends_;
    const scan::Place *at = ends.at();
    const size_t count = ends.count, n = ncols_;
    size_t j = 0;  // the next end
    if (w.col != 0 || w.fieldStart != base) j = fieldsToLineEnd(base, 0, w);
    const RowCheck check{limit_.data(), heed_.data(), expect_.data(), limit_.size(), shortest_};
    while (j < count) {
      const size_t from = j;
      j = check.pass(at, ends.marks, j, n, count);
      if (j > from) {
        const auto rows = static_cast<int64_t>((j - from) / n);
        rows_ += rows;
        w.line += rows;
        w.fieldStart = w.rowStart = base + static_cast<size_t>(at[j - 1]) + 1;
      }
      if (j < count) j = fieldsToLineEnd(base, j, w);
    }
  }

  // A row whose ends start at ends[0] needs no look at any field: it has its
  // columns' number of fields (a line end closes the last one, and no other),
  // none longer than its column's limit, none marked as its column heeds,
  // and it is no blank line.
  struct RowCheck {
    const scan::Place *limit;
    const uint8_t *heed, *expect;
    size_t width;  // columns, in eights
    int shortest;

    bool fits(const scan::Place *ends, const uint8_t *marks) const {
      if (!eightFit(ends, marks, limit, heed, expect)) return false;
      for (size_t g = 8; g < width; g += 8)
        if (!eightFit(ends + g, marks + g, limit + g, heed + g, expect + g)) return false;
      return ends[0] - ends[-1] >= shortest;
    }

    // Passes the whole rows of n ends from end j that need no look, among
    // `count` ends; returns the end after them.
    size_t pass(const scan::Place *at, const uint8_t *marks, size_t j, size_t n,
                size_t count) const {
      if (width == 8 && shortest == 0) {  // two to eight columns: one check a row, which
                                          // fails on the place after the last end
        while (eightFit(at + j, marks + j, limit, heed, expect)) j += n;
      } else {
        while (j + n <= count && fits(at + j, marks + j)) j += n;
      }
      return j;
    }
  };

  // The fields of the ends from j, one at a time, until a line end is taken
  // or the ends run out; returns the next end.
  size_t fieldsToLineEnd(size_t base, size_t j, Walk &w) {
    const scan::Ends &ends = *ends_;
    for (; j < ends.count; ++j) {
      const size_t at = base + static_cast<size_t>(ends.at()[j]), start = w.fieldStart;
      const unsigned marks = ends.marks[j];
      size_t len = at - start;
      w.fieldStart = at + 1;
      if ((marks & scan::kLineEnd) == 0) {
        field(w.col, base_ + start, len, marks, w.line);
        ++w.col;
        continue;
      }
      if (len > 0 && base_[at - 1] == '\r') --len;
      if (w.col != 0 || len != 0) {  // not a blank line
        field(w.col, base_ + start, len, marks, w.line);
        rowEnd(w.col + 1, w.line);
      }
      w.col = 0;
      ++w.line;
      w.rowStart = at + 1;
      return j + 1;
    }
    return j;
  }

  // One row through the field scanner; returns the start of the next row.
  size_t scalarRow(size_t pos, int64_t &line) {
    const char *p = base_ + pos, *end = base_ + end_;
    int64_t first = line, current = line;
    size_t col = 0;
    for (;;) {
      FieldScan f = scanField(p, end, ds_.delimiter());
      if (f.unterminated)
        throw DataError(kMsgOpenQuote,
                        {ds_.path(), std::to_string(current), std::to_string(col + 1)}, ds_.path(),
                        current, static_cast<int64_t>(col + 1));
      if (col == 0 && f.rowEnd && !f.quoted && f.contentLength == 0) {  // a blank line
        line = first + 1;
        return static_cast<size_t>(f.next - base_);
      }
      size_t c = col < ncols_ ? col : ncols_;
      if (f.contentLength > cols_[c].maxLen) {
        cols_[c].maxLen = f.contentLength;
        settle(c);
      }
      if (check_[c] != kNoCheck) {
        char buf[64];
        std::string_view text = plainContent(f);
        if (f.quoted && f.escaped) {
          text = f.contentLength <= sizeof buf
                     ? std::string_view(buf, unescapeField(f, buf, sizeof buf))
                     : std::string_view("\"");  // too long to be a number
        }
        checkCell(c, text, current);
      }
      if (cols_[c].text)
        checkText(c, std::string_view(f.begin, static_cast<size_t>(f.end - f.begin)), current);
      current += static_cast<int64_t>(f.newlines);
      ++col;
      if (f.rowEnd) {
        rowEnd(col, first);
        line = current + 1;
        return static_cast<size_t>(f.next - base_);
      }
      p = f.next;
    }
  }

  const DataSet &ds_;
  const char *base_;
  size_t end_;  // the end of the piece being scanned
  size_t ncols_;
  std::vector<ColumnScan> cols_;      // per column (and one for fields past the header)
  std::vector<Lane> lanes_;           // per column, as cols_
  std::vector<unsigned char> check_;  // per column: a Check
  std::vector<FirstText> first_;      // per column: the first cell that is not a number
  std::vector<scan::Place> limit_;    // per column, in eights: its lane's fits + 1 (a field's end
                                      // less the one before must not pass it)
  std::vector<uint8_t> heed_;         // per column, in eights: its lane's marks, kLineEnd, kPastEnd
  std::vector<uint8_t> expect_;       // per column, in eights: kLineEnd for the last, else 0
  int shortest_;  // a whole row's first end less the one before is at least this:
                  // a single column's blank line is no row
  std::unique_ptr<scan::Ends> ends_;  // of the run of blocks being walked
  Found bad_;                         // the first text that is not UTF-8
  int64_t rows_ = 0;
  int64_t firstLine_ = 0;  // of the piece being scanned
};

// The typing pass on one thread or several. With several, the rows are cut
// into pieces at row starts (cutPiece, row_pipeline.h); each thread takes
// the next piece and scans it afresh, and the findings of the pieces are
// folded in file order: the lines of a piece follow the line ends of the
// pieces before it, and what a column or the file holds first comes from
// the earliest piece that holds it. Folding stops at a piece whose scan
// failed; it is scanned again from its true first line, so a data error
// names the row that one thread names.
class Inference {
 public:
  explicit Inference(DataSet &ds)
      : ds_(ds), size_(ds.file_.size()), line_(ds.dataLine_), longest_(ds.vars_.size()) {}

  // Types and lengths from the schema alone; the rows are walked only when
  // a character column is declared and the file holds bytes that are not
  // UTF-8, to find the first such cell.
  void declaredOnly() {
    const std::string_view rows = ds_.bytes().substr(ds_.dataOffset_);
    RowScan scan(ds_, ds_.declared_);
    if (scan.checksText() && invalidUtf8At(rows) != std::string_view::npos) {
      scan.findBadText(ds_.dataOffset_, ds_.dataLine_);
      const Found &bad = scan.badText();
      if (bad.found) ds_.badText_ = {ds_.dataLine_ + bad.line, bad.column};
    }
    typeColumns();
  }

  void run(const TypingOptions &options) {
    ++gTypingPasses;
    ds_.observations_ = 0;
    const size_t pieceBytes = std::max<size_t>(options.pieceBytes, 1);
    progress_ = options.progress;
    const bool pieces = options.threads > 1 || progress_ != nullptr;
    if (!pieces || size_ - ds_.dataOffset_ <= pieceBytes) {
      RowScan scan(ds_, ds_.declared_);
      fold(scan, scan.scan(ds_.dataOffset_, size_, ds_.dataLine_));
    } else {
      scanOnThreads(static_cast<size_t>(std::max(options.threads, 1)), pieceBytes);
    }
    typeColumns();
  }

 private:
  // A piece of rows [begin, end) scanned by one thread, until it is folded.
  struct Piece {
    Piece(const DataSet &ds, const std::vector<unsigned char> &declared) : scan(ds, declared) {}
    size_t begin = 0, end = 0;
    RowScan scan;
    int64_t lines = 0;
    std::exception_ptr failure;  // what stopped the scan
  };

  void scanOnThreads(size_t threads, size_t pieceBytes) {
    next_ = ds_.dataOffset_;
    std::vector<std::thread> helpers;
    try {
      for (size_t t = 1; t < threads; ++t)
        helpers.emplace_back([this, pieceBytes] { work(pieceBytes); });
    } catch (const std::system_error &) {  // no more threads to be had: fewer do the work
    }
    work(pieceBytes);
    for (std::thread &h : helpers) h.join();
    if (stopped_) std::rethrow_exception(stopped_);
    if (!scanned_.empty()) {  // the first piece not folded failed
      const Piece &failed = *scanned_.begin()->second;
      RowScan(ds_, ds_.declared_).scan(failed.begin, failed.end, line_);
      std::rethrow_exception(failed.failure);  // it failed for no fault of the data
    }
  }

  // Scans pieces on this thread. What stops it other than the scan of a
  // piece (memory running out) stops every thread, and the pass.
  void work(size_t pieceBytes) {
    try {
      scanPieces(pieceBytes);
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex_);
      stopped_ = std::current_exception();
      firstFailed_ = 0;
    }
  }

  // Takes the next piece and scans it, until every piece is taken or one
  // before it failed.
  void scanPieces(size_t pieceBytes) {
    for (;;) {
      auto piece = std::make_unique<Piece>(ds_, ds_.declared_);
      size_t number;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (next_ >= size_ || cut_ > firstFailed_) return;
        number = cut_++;
        piece->begin = next_;
        piece->end = next_ = cutPiece(ds_.bytes(), next_, pieceBytes, ds_.delimiter_);
      }
      try {
        piece->lines = piece->scan.scan(piece->begin, piece->end, 0);
      } catch (...) {
        piece->failure = std::current_exception();
      }
      const bool failed = piece->failure != nullptr;
      std::lock_guard<std::mutex> lock(mutex_);
      if (failed) firstFailed_ = std::min(firstFailed_, number);
      scanned_.emplace(number, std::move(piece));
      foldScanned();
      if (failed) return;
    }
  }

  // Folds the scanned pieces that come next in file order, up to one that failed.
  void foldScanned() {
    for (auto it = scanned_.begin();
         it != scanned_.end() && it->first == folded_ && !it->second->failure;
         it = scanned_.erase(it), ++folded_) {
      fold(it->second->scan, it->second->lines);
      if (progress_ != nullptr) progress_->update(ds_.observations_, it->second->end);
    }
  }

  // Adds what the scan of the next piece in file order found; its first
  // line is line_, and it has `lines` line ends.
  void fold(const RowScan &scan, int64_t lines) {
    for (size_t c = 0; c < longest_.size(); ++c) {
      longest_[c] = std::max(longest_[c], scan.longest(c));
      const RowScan::FirstText &first = scan.firstText(c);
      Variable &v = ds_.vars_[c];
      if (first.at.found && v.firstTextLine == 0) {
        v.firstText = first.text;
        v.firstTextLine = line_ + first.at.line;
      }
    }
    const Found &bad = scan.badText();
    if (bad.found && ds_.badText_.line == 0) ds_.badText_ = {line_ + bad.line, bad.column};
    ds_.observations_ += scan.rows();
    line_ += lines;
  }

  // The type, length and format of each column: character when it is
  // declared so or held a cell that is not a number.
  void typeColumns() {
    for (size_t c = 0; c < ds_.vars_.size(); ++c) {
      Variable &v = ds_.vars_[c];
      const unsigned char decl = ds_.declared_[c];
      const int lengthGiven = ds_.schemaLength_[c];
      v.numeric = decl == kDeclString ? false : (decl != kInferred || v.firstTextLine == 0);
      if (v.numeric) {
        v.length = 8;
        if (!v.formatGiven) v.format = kBest12;
      } else {
        v.length = lengthGiven > 0
                       ? lengthGiven
                       : static_cast<int>(std::clamp<size_t>(longest_[c], 1, kMaxCharLength));
        if (!v.formatGiven) v.format = Format{Format::Kind::kChar, v.length, 0};
        if (v.format.width == 0) v.format.width = v.length;
      }
    }
  }

  DataSet &ds_;
  size_t size_;
  int64_t line_;                 // the first line of the next piece to fold
  std::vector<size_t> longest_;  // per column: its longest value so far
  std::mutex mutex_;             // guards the pieces, their folding and the findings
  size_t next_ = 0;              // where the next piece starts
  size_t cut_ = 0;               // pieces cut
  size_t folded_ = 0;            // pieces folded
  size_t firstFailed_ = ~size_t{0};
  std::exception_ptr stopped_;                        // what stopped a thread other than a piece
  std::map<size_t, std::unique_ptr<Piece>> scanned_;  // by number: scanned, not folded
  ReadProgress *progress_ = nullptr;                  // shown as pieces are folded; null: none
};

bool DataSet::declaredString(size_t column) const {
  return declared_[column] == kDeclString;
}

// Every column typed by the schema, strings with their length: nothing
// to learn from the rows.
bool DataSet::declaredByTheSchema() const {
  for (size_t c = 0; c < vars_.size(); ++c) {
    if (declared_[c] == kInferred || (declared_[c] == kDeclString && schemaLength_[c] == 0))
      return false;
  }
  return true;
}

void DataSet::inferColumns(const TypingOptions &options) {
  if (declaredByTheSchema()) {
    Inference(*this).declaredOnly();
  } else {
    Inference(*this).run(options);
  }
}

}  // namespace vyn::data

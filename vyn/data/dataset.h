// CSV data sets: a header row of variable names, one observation per row.
//
// DataSet::open maps the file and reads the optional Table Schema sidecar.
// When some column is not declared by the schema, it makes one pass over all
// rows (the typing pass) that stores nothing per row: it checks the shape of
// every row (quotes, number of fields) and decides each undeclared column's
// type and character length. When the schema declares every column there is
// no such pass. Cells of columns declared numeric are checked when they are
// read (cursor.h), and so is the shape of every row: a data error found while
// reading names its line like one found by the typing pass.
//
// Types without a schema: a column is numeric when every cell that is not a
// missing value (empty, ".", ".A"-".Z", "._", and the words NA, NaN, nan,
// N/A, NULL, null) reads as a number or as inf, Inf, -inf, -Inf
// (parseNumericCell in csv.h); otherwise it is a character column whose
// length is its longest value in bytes, at least 1 and at most 32767 (longer
// values are cut when read). In a character column an unquoted "." is the
// missing (blank) value; ".A" and the words NA and the like are ordinary
// text there, so a level such as NA is never lost.
//
// Header names that are not valid variable names (dots, blanks, empty, a
// leading digit) are mapped to valid ones (validNameFor in csv.h), and a name
// already taken (upper and lower case count as the same) gets "_2", "_3", ...;
// the header's own name becomes the label unless the schema gives a title,
// and the schema may name the column either way.
//
// Sidecar `NAME.schema.json` beside `NAME.csv` (for any other file, the name
// without its last extension plus ".schema.json"):
//   {"fields": [{"name": "height", "type": "number", "title": "Height (cm)",
//                "format": "8.2"},
//               {"name": "site", "type": "string", "length": 10, "format": "$10."}]}
// - fields are matched to header columns by name, regardless of case; columns
//   the schema does not list are inferred;
// - "type": "number" or "integer" (numeric; every non-missing cell must be a
//   number, and a whole number for "integer"), "string" (character); "any"
//   or no type: inferred (Table Schema's default would be "string");
// - "title": the label (cut to 256 bytes);
// - "format": the display format (format.h); Table Schema's own format words
//   ("default", "email", "uri", "binary", "uuid") are ignored;
// - "missingValues" (top level): a list of texts that replaces, for every
//   column of the file, the default words for a missing value (NA, NaN,
//   nan, N/A, NULL, null); the host's own notation (empty, ".", ".A"-".Z",
//   "._") stays; in a character column a listed text reads as empty; a text
//   that reads as a number is refused;
// - "length" (our own key; "constraints": {"maxLength": n} is read when it is
//   absent): the length of a string field, 1 to 32767; longer values are cut;
// - "dialect" (top level): {"delimiter": ";"} gives the file's delimiter (one
//   byte, or "tab"), which wins over the one of the command line;
//   {"decimalChar": ","} makes every numeric column read "3,14" as 3.14;
// - "decimalChar" in a field: "." or "," for that column alone. A decimal
//   comma needs a delimiter other than ",", and with it "3.14" is no number.
//
// Text that is not valid UTF-8: the first cell of a character column that
// holds such bytes is kept (badText), found by the typing pass; without one,
// by a walk over the rows only when the file holds such bytes at all.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "vyn/data/csv.h"
#include "vyn/data/format.h"

namespace vyn::data {

class SqliteTable;

struct Variable {
  std::string name;    // as written in the header, or mapped to a valid name
  std::string header;  // the header's own name
  std::string label;   // the schema's title; empty when none
  bool numeric = true;
  bool integer = false;          // the schema declares "integer"
  int length = 8;                // bytes: 8 for numbers, 1..32767 for characters
  Format format = kBest12;       // display format ($length. for characters by default)
  bool formatGiven = false;      // the format comes from the schema
  bool declaredNumeric = false;  // the schema declares "number" or "integer": its cells are
                                 // checked when they are read, not when the file is opened
  char decimal = '.';            // the decimal character of its numbers: '.' or ','
  // For a column the typing pass found to be character: its first cell that
  // is not a number (cut after 40 bytes) and its line; line 0 otherwise.
  std::string firstText;
  int64_t firstTextLine = 0;

  // Width of the formatted value: the format's width.
  int formattedWidth() const { return format.width > 0 ? format.width : length; }
};

// Where a data set first holds text that is not valid UTF-8; line 0 when nowhere.
struct TextPlace {
  int64_t line = 0;
  int64_t column = 0;
};

class ReadProgress;

// How the typing pass runs: on `threads` threads, each taking pieces of
// about `pieceBytes` bytes of rows; a file of one piece takes one thread.
// The result is the same on any number of threads.
struct TypingOptions {
  int threads = 1;
  size_t pieceBytes = size_t{1} << 20;
  ReadProgress *progress = nullptr;  // told of each piece as it is taken in; null: none
};

class DataSet {
 public:
  // Opens and checks the data set, its fields separated by `delimiter`
  // unless its schema gives another; throws DataError (error.h) on bad data.
  // A table path (sqlite_source.h) opens the table of a SQLite database.
  static std::unique_ptr<DataSet> open(const std::string &path, char delimiter = ',',
                                       const TypingOptions &typing = {});
  // The same from text in memory (no schema sidecar); `name` stands for the
  // file in messages. For tests and the fuzz target.
  static std::unique_ptr<DataSet> fromText(const std::string &name, std::string text,
                                           char delimiter = ',', const TypingOptions &typing = {});

  DataSet(const DataSet &) = delete;
  DataSet &operator=(const DataSet &) = delete;

  const std::string &path() const { return path_; }
  const std::string &schemaPath() const { return schemaPath_; }  // empty when none
  char delimiter() const { return delimiter_; }
  // The delimiter it was opened with, which its schema may have replaced.
  char givenDelimiter() const { return givenDelimiter_; }
  // The first cell of a character column with text that is not valid UTF-8.
  const TextPlace &badText() const { return badText_; }
  const std::vector<Variable> &variables() const { return vars_; }
  int variableCount() const { return static_cast<int>(vars_.size()); }
  const Variable &variable(int index) const { return vars_[static_cast<size_t>(index)]; }
  // The number of a variable (from 0), regardless of case; -1 when none.
  int findVariable(std::string_view name) const;
  // The schema's "missingValues", which replace the default words for a
  // missing value (parseNumericCell); nullptr when the schema gives none.
  const std::vector<std::string> *missingWords() const {
    return missingWordsGiven_ ? &missingWords_ : nullptr;
  }
  // Observations (data rows, blank lines not counted), counted by the typing
  // pass; -1 when there was none.
  int64_t observations() const { return observations_; }
  // The file and its sidecar are still the ones opened (same identity, size
  // and time of change), so the data set can serve a later step as it is.
  bool unchangedSinceOpen() const;
  // Typing passes made by this process, for tests.
  static int64_t typingPasses();

  // The mapped file, the offset of the first data row and its line number.
  std::string_view bytes() const { return file_.view(); }
  size_t dataOffset() const { return dataOffset_; }
  int64_t dataLine() const { return dataLine_; }
  // The file was cut short under the map (see MappedFile::damaged).
  bool fileDamaged() const { return file_.damaged(); }
  // Throws DataError 221 when the file changed since it was opened.
  void checkUnchanged() const { file_.checkUnchanged(); }
  // The database of a table of a SQLite database; nullptr for a CSV file.
  SqliteTable *sqlite() const { return sqlite_.get(); }

 private:
  DataSet() = default;
  void reserveNames(const char *p, const char *end);
  std::string uniqueName(std::string name) const;
  void readHeader();
  bool loadSchema(nlohmann::json &doc);
  void readDialect(const nlohmann::json &doc);
  char decimalFrom(const nlohmann::json &given, const std::string &where) const;
  void readSchema(const nlohmann::json &doc);
  void readMissingValues(const std::string &schema, const nlohmann::json &doc);
  bool declaredByTheSchema() const;
  void inferColumns(const TypingOptions &options);
  static std::unique_ptr<DataSet> openSqlite(const std::string &path);  // sqlite_source.cpp
  void typeSqliteColumns();                                             // sqlite_source.cpp
  bool declaredString(size_t column) const;

  std::string path_;
  std::string schemaPath_;
  MappedFile file_;
  std::vector<Variable> vars_;
  std::unordered_map<std::string, int> numberOf_;  // upper-case name -> variable number
  std::vector<unsigned char> declared_;            // per column: how the schema declared its type
  std::vector<int> schemaLength_;                  // per column: the schema's length, 0 when none
  size_t dataOffset_ = 0;
  int64_t dataLine_ = 2;
  int64_t observations_ = -1;
  struct stat fileStamp_ {};
  struct stat schemaStamp_ {};
  bool schemaFound_ = false;
  std::vector<std::string> missingWords_;
  bool missingWordsGiven_ = false;
  std::shared_ptr<SqliteTable> sqlite_;
  char delimiter_ = ',';
  char givenDelimiter_ = ',';
  char decimal_ = '.';  // the schema dialect's decimal character
  TextPlace badText_;

  friend class Inference;
};

// A name in a folder: "dir/name"; the name alone when dir is empty or ".".
std::string joinPath(std::string_view dir, std::string_view name);

// The file of a data set name: "name" -> dataDir/name.csv, "lib.name" ->
// dataDir/lib/name.csv, a quoted path as written (relative paths against
// dataDir). For unquoted names the file is tried as written, then in lower
// case; when neither exists, "lib.name" is table `name` of the SQLite
// database dataDir/lib.sqlite or dataDir/lib.db when there is one
// (sqlite_source.h), else the name as written is returned (so the error
// names it). An empty dataDir means the current folder.
std::string resolveDataSetPath(std::string_view dataDir, std::string_view name, bool quoted);

// The sidecar schema path of a data file: "x/name.csv" -> "x/name.schema.json".
std::string schemaPathFor(std::string_view dataPath);

}  // namespace vyn::data

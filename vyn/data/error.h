// Errors of the data-set layer. Every error is a message of catalogue group
// 210 (numbers 200-239 in vyn/catalog/data.msg, 340-349 in ecosystem.msg,
// 350-369 in sqlite.msg) with its inserts; the
// exception also carries the file, line and column it is about, so the host
// can log it through the catalogue and end the step with an error code.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vyn::data {

inline constexpr int kDataMessageGroup = 210;

// Message numbers of group 210 (see vyn/catalog/data.msg for the inserts).
enum DataMessage : int {
  kMsgFileNotFound = 200,      // %1 file
  kMsgRaggedRow = 201,         // %1 file, %2 line, %3 column, %4 fields in row, %5 fields in header
  kMsgOpenQuote = 202,         // %1 file, %2 line, %3 column
  kMsgNotNumber = 203,         // %1 file, %2 line, %3 column, %4 'value', %5 variable, %6 type
  kMsgUnreadable = 204,        // %1 file, %2 reason
  kMsgEmptyFile = 205,         // %1 file
  kMsgSchemaJson = 208,        // %1 schema, %2 line, %3 column, %4 parser's words
  kMsgSchemaNoFields = 209,    // %1 schema
  kMsgSchemaNoName = 210,      // %1 schema, %2 field number
  kMsgSchemaUnknown = 211,     // %1 schema, %2 field name, %3 data file
  kMsgSchemaType = 212,        // %1 schema, %2 field, %3 "type"
  kMsgSchemaFormat = 213,      // %1 schema, %2 field, %3 "format"
  kMsgSchemaFormatKind = 214,  // %1 schema, %2 field, %3 number/string, %4 format
  kMsgSchemaLength = 215,      // %1 schema, %2 field, %3 length
  kMsgNotSorted = 216,         // %1 file, %2 line, %3 BY list, %4 new values, %5 previous values
  kMsgSchemaDuplicate = 217,   // %1 schema, %2 field
  kMsgSchemaUnreadable = 218,  // %1 schema, %2 reason
  kMsgSchemaValue = 219,       // %1 schema, %2 key, %3 field, %4 what it must be
  kMsgNotInteger = 220,        // %1 file, %2 line, %3 column, %4 'value', %5 variable
  kMsgFileChanged = 221,       // %1 file, %2 what changed
  kMsgSchemaDeep = 222,        // %1 schema, %2 the deepest nesting read
  // vyn/catalog/ecosystem.msg: data as other programs write it
  kMsgInfinite = 340,             // %1 file, %2 line, %3 column, %4 'value', %5 variable
  kMsgSchemaMissingList = 341,    // %1 schema, %2 what the list holds
  kMsgSchemaMissingNumber = 342,  // %1 schema, %2 'word'
  // vyn/catalog/sqlite.msg: SQLite data sets
  kMsgDbOpen = 350,        // %1 database, %2 reason
  kMsgDbLocked = 351,      // %1 database, %2 reason
  kMsgDbDamaged = 352,     // %1 database, %2 reason
  kMsgDbNoTable = 353,     // %1 database, %2 table, %3 its tables
  kMsgDbNotNumber = 354,   // %1 data set, %2 row, %3 column, %4 'value', %5 variable, %6 type
  kMsgDbBlob = 355,        // %1 data set, %2 row, %3 column, %4 variable
  kMsgDbInfinite = 356,    // %1 data set, %2 row, %3 column, %4 'value', %5 variable
  kMsgDbNotSorted = 357,   // as kMsgNotSorted, %2 the row
  kMsgDbUnreadable = 358,  // %1 database, %2 reason
  kMsgDbNoRowid = 359,     // %1 database, %2 table
  kMsgDbNotInteger = 360,  // %1 data set, %2 row, %3 column, %4 'value', %5 variable
  kMsgDbChanged = 361,
  kMsgNoMember = 363,  // %1 data set name, %2 the CSV file, %3 the database without extension // %1
                       // database, %2 what changed
  kMsgBadDelimiter = 345,     // %1 the delimiter of --delimiter
  kMsgSchemaDelimiter = 346,  // %1 schema, %2 the delimiter
  kMsgSchemaDialect = 347,    // %1 schema, %2 what "dialect" holds
  kMsgSchemaDecimal = 348,    // %1 schema, %2 where, %3 the decimal character, %4 delimiter
};

class DataError : public std::runtime_error {
 public:
  // `inserts` fill %1, %2, ... of the message; file, line and column repeat
  // the place for programs (line and column 0 when the message has none).
  DataError(int number, std::vector<std::string> inserts, std::string file, int64_t line = 0,
            int64_t column = 0);

  int group() const { return kDataMessageGroup; }
  int number() const { return number_; }
  const std::vector<std::string> &inserts() const { return inserts_; }
  const std::string &file() const { return file_; }
  int64_t line() const { return line_; }      // from 1; 0 when not about a line
  int64_t column() const { return column_; }  // field number from 1; 0 when not about a field

 private:
  int number_;
  std::vector<std::string> inserts_;
  std::string file_;
  int64_t line_;
  int64_t column_;
};

// The built-in text of a message of group 210 (the same text as in
// vyn/catalog/data.msg, so what() reads well without the catalogue), or
// nullptr for an unknown number.
const char *dataMessageText(int number);

// A text with %1, %2, ... replaced by the inserts.
std::string fillInserts(const char *text, const std::vector<std::string> &inserts);

// A cell or name as an insert: in single quotes, cut after 40 bytes with
// "...", control characters shown as blanks.
std::string quoteInsert(std::string_view text);

}  // namespace vyn::data

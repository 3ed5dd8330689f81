// SQLite data sets. `DATA=lib.name` reads table `name` of the database
// `lib.sqlite` (or else `lib.db`) in the data folder when there is no
// `lib/name.csv`. Its data-set path is "DIR/lib.sqlite/name": the database
// file, a slash and the table (a regular file cannot be a folder, so the path
// names nothing else); messages about its rows name that path and the row's
// rowid ("row 12").
//
// The database is opened read-only, with a busy timeout of two seconds: a
// database that another program keeps locked longer is an error, and so is
// a file that is not a database or is damaged, and a table that does not
// exist or has no rowid (WITHOUT ROWID). The rows are read in rowid order by
// one prepared statement that streams them; nothing is kept per row. Each
// cursor reads inside one read transaction, so a BY group read again sees
// the same rows, and it checks that nothing changed the database since the
// data set was typed.
//
// Types: a column declared with an integer or real type (affinity INTEGER or
// REAL: INT, BIGINT, REAL, DOUBLE, FLOAT, ...) is numeric, one declared with
// a text type (CHAR, VARCHAR, TEXT, CLOB, ...) is character; any other column
// (NUMERIC, DECIMAL, DATE, BLOB or no type) is numeric unless it holds a
// text value. NULL is the missing value (blank in a character column). A text
// value in a numeric column, an infinite value in a numeric column and a BLOB
// value anywhere are data errors of the row that holds them. A character
// column's length is its longest value in bytes, at least 1 and at most
// 32767 (longer values are cut when read). Column names that are not valid
// variable names are mapped as CSV header names are (dataset.h).
//
// Sidecar `DIR/lib.name.schema.json` beside the database: the same Table
// Schema as beside a CSV file (dataset.h), for labels ("title"), display
// formats and lengths; a "type" there overrides the declared type.
//
// WHERE=: when every part of the condition can be written in SQL with the
// same meaning (where.h), it becomes part of the statement, and rows with a
// data error in a selected column are handed on as without a condition;
// otherwise the cursor tests every row. Either way the rows' numbers are
// their places in rowid order, so the closing note counts the rows as read
// from a CSV file.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "vyn/data/cursor.h"
#include "vyn/data/error.h"

struct sqlite3;
struct sqlite3_stmt;

namespace vyn::data {

struct SqlValue;

// The data-set path of a table: "DIR/lib.sqlite" and "name" give "DIR/lib.sqlite/name".
std::string sqliteTablePath(std::string_view database, std::string_view table);
// The database file of a table path; empty for any other path.
std::string sqliteDatabaseOf(std::string_view path);
// The database "DIR/lib.sqlite" or else "DIR/lib.db" when one is a regular
// file; empty when neither is.
std::string sqliteDatabaseIn(std::string_view dir, std::string_view lib);
// The schema sidecar of a table path ("DIR/lib.name.schema.json"); empty for
// any other path.
std::string sqliteSchemaPathFor(std::string_view path);

// The open database of a data set and what is known of its table.
class SqliteTable {
 public:
  // Opens the database read-only and reads the table's columns; throws
  // DataError.
  SqliteTable(std::string database, std::string table);
  ~SqliteTable();
  SqliteTable(const SqliteTable &) = delete;
  SqliteTable &operator=(const SqliteTable &) = delete;

  struct Column {
    std::string name;
    std::string declared;  // the declared type as written, "" when none
    enum class Kind : unsigned char { kNumeric, kText, kInferred } kind = Kind::kInferred;
    bool whole = false;  // character values are never cut when read
  };
  const std::vector<Column> &columns() const { return columns_; }
  const std::string &database() const { return database_; }
  const std::string &table() const { return table_; }
  const std::string &rowid() const { return rowid_; }  // the name that reads the rowid

  // Per column, for the columns marked in `text` and `longest`: whether it
  // holds a text value, and its longest value in bytes. One pass over the
  // table, whose state later reads must find unchanged; throws DataError.
  void measure(const std::vector<bool> &text, const std::vector<bool> &longest,
               std::vector<bool> &hasText, std::vector<int64_t> &longestBytes);
  void markWhole(size_t column);
  // The database file is the one opened and nothing changed it since the
  // data set was typed.
  bool unchanged() const;

  // What the cursors use.
  sqlite3 *connection() const { return db_; }
  sqlite3_stmt *prepare(const std::string &sql) const;  // throws DataError
  void beginRead();                                     // nested reads share one transaction
  void endRead();
  void checkUnchangedInRead() const;  // throws DataError 361
  [[noreturn]] void fail(int rc) const;
  std::string quoted(int column) const;  // the column's name as an SQL identifier

 private:
  void exec(const char *sql) const;
  int64_t dataVersion() const;
  bool storedInUtf8() const;
  void readLongest(const std::vector<bool> &longest, std::vector<int64_t> &longestBytes) const;
  void findTable();
  void readColumns();

  std::string database_, table_, rowid_;
  std::vector<Column> columns_;
  sqlite3 *db_ = nullptr;
  struct stat stamp_ {};
  int64_t version_ = 0;
  int readers_ = 0;
};

// The rows of a table for a cursor: the selected columns of each row into
// the cursor's slots.
class SqliteRows {
 public:
  SqliteRows(const DataSet &ds, std::span<const int> selected, Where *where);
  ~SqliteRows();
  SqliteRows(const SqliteRows &) = delete;
  SqliteRows &operator=(const SqliteRows &) = delete;

  // Reads the next row into the slots; false after the last. `current` gets
  // its rowid (offset and line) and its place in rowid order (row), `fault`
  // its first data error. Throws DataError when the database cannot be read.
  bool next(double *numbers, std::string_view *texts, RowPosition &current, RowFault &fault);
  // The next row read is the one at `at` (the first row when at.row is 0).
  void seek(const RowPosition &at);
  // The statement applies the WHERE= condition (and counts its rows).
  bool appliesWhere() const { return whereInSql_; }
  DataError error(const RowFault &fault, int64_t rowid) const;

 private:
  std::string statement(std::vector<SqlValue> &values);
  void readSlot(size_t slot, int first, double *numbers, std::string_view *texts, RowFault &fault);
  void slotFault(size_t slot, int number, RowFault &fault);
  int64_t rowsThrough(int64_t rowid, bool read);

  const DataSet &ds_;
  SqliteTable &table_;
  Where *where_;
  std::vector<int> vars_;
  sqlite3_stmt *rows_ = nullptr;
  sqlite3_stmt *count_ = nullptr;  // rows in a rowid range, when the statement filters
  bool whereInSql_ = false;
  bool done_ = false;
  int64_t place_ = 0;      // the place of the last row read
  int64_t countFrom_ = 0;  // the first rowid not yet counted
  bool countedAll_ = false;
  std::string faultText_;  // the value of the row's fault
};

}  // namespace vyn::data

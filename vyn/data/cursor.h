// Reading a data set: a cursor over the rows of the mapped file, and the BY
// groups over a cursor.
//
// The cursor parses only the selected columns of each row into one slot per
// column: a double for numeric columns, a string_view for character columns
// that points into the mapped file, or into a buffer of the cursor (sized to
// the column's length once) when the value had to be unescaped. Nothing is
// allocated per row and memory does not grow with the rows read. A view stays
// valid until the next call of next() or seek().
//
// Each row is checked as it is read (row_parser.h): a data error names its
// line. A file changed under the map is reported: next() throws DataError 221
// after a row read past the end of a file cut short, and at the end of the
// rows when the file has another size or was removed.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "vyn/data/dataset.h"
#include "vyn/data/row_parser.h"

namespace vyn::data {

class RowPipeline;
class SqliteRows;
struct ParsedChunk;
class ReadProgress;
class Where;

// Where a row starts: enough to read it again.
struct RowPosition {
  size_t offset = 0;  // byte offset of the row in the file
  int64_t line = 0;   // its line number, from 1 (the rowid in a SQLite table)
  int64_t row = 0;    // its observation number, from 1 (0 before the first row)
};

// How a data set is read.
struct ReadOptions {
  // 1: the reading thread parses the file piece by piece itself; n > 1: n - 1
  // workers parse pieces ahead of it, and it parses one itself rather than
  // wait for a piece. A file of one piece is parsed row by row as it is read.
  int threads = 1;
  // Bytes per piece of work; pieces are cut at row starts, never inside a
  // quoted field. 0: kReaderPiece on one thread, whose parsed values stay
  // in cache until they are read, kWorkerPiece with workers.
  size_t chunkBytes = 0;
  static constexpr size_t kReaderPiece = size_t{1} << 16, kWorkerPiece = size_t{1} << 18;
  // Where progress of a long read goes (nullptr: nowhere).
  ReadProgress *progress = nullptr;
  // The WHERE= condition (which must outlive the reading): next() and
  // advance() pass over the rows it drops, testing each row once on the
  // reading thread, in file order, as the row is taken. A row with a data
  // error is not tested but handed on, so its error ends the reading as
  // without a condition.
  Where *where = nullptr;
};

class Cursor {
 public:
  // Reads the given columns (variable numbers) of each row, and those of the
  // WHERE= condition; others are skipped. Without a condition, the parsed
  // pieces note where the values of the `groupKeys` variables change from one row to
  // the next, so that nextInRun() hands over the rows in between.
  Cursor(const DataSet &ds, std::span<const int> columns, const ReadOptions &options = {},
         std::span<const int> groupKeys = {});
  ~Cursor();
  Cursor(const Cursor &) = delete;
  Cursor &operator=(const Cursor &) = delete;

  // Reads the next row; false after the last. Throws DataError 221 when the
  // file changed under the map, and the row's data error (a quote left open,
  // too few or too many fields, a cell of a column declared numeric that is
  // not a number) when it has one.
  bool next();
  // The same, keeping the row's data error for fault() instead of throwing it.
  bool advance();
  // The next row when it was parsed in a piece, found sound and with the key
  // values of the row before it, and taking it asks for nothing else (no
  // progress to show, not the file's last row): the work of advance() done
  // before. False when the next row must be read by advance().
  bool nextInRun() {
    if (rowInChunk_ >= runEnd_) return false;
    ++rowInChunk_;
    current_.row += 1;
    rowNumbers_ += parser_.slots();
    rowTexts_ += parser_.slots();
    fault_ = nullptr;
    unsettled_ = true;
    return true;
  }
  // The data error of the current row, nullptr when it is sound.
  const RowFault *fault() const { return fault_; }
  [[noreturn]] void raiseFault() const;

  // The current row's position, and reading from a position again: the next
  // call of next() reads the row at `at`.
  RowPosition position() const { return unsettled_ ? runPosition() : current_; }
  void seek(const RowPosition &at);
  // Back to before the first row.
  void rewind();

  // Values of the current row. A column that is not selected reads as the
  // standard missing value (numbers) or empty (characters).
  double number(int var) const { return rowNumbers_[parser_.slotOf(var)]; }
  // The numbers of the current row by slot: slotOf(var) is the place of a
  // selected variable's number.
  const double *numbers() const { return rowNumbers_; }
  size_t slotOf(int var) const { return parser_.slotOf(var); }
  std::string_view text(int var) const { return rowTexts_[parser_.slotOf(var)]; }
  bool selected(int var) const { return parser_.slotOf(var) + 1 < parser_.slots(); }
  // A WHERE= condition passes over rows.
  bool filtered() const { return options_.where != nullptr; }

  // The formatted value of a selected variable: exactly formattedWidth()
  // characters written to out (numbers right-aligned, characters left-aligned).
  void formatted(int var, char *out) const;

  int64_t line() const { return position().line; }
  int64_t rowNumber() const { return current_.row; }
  const DataSet &dataSet() const { return ds_; }

 private:
  class Scratch;

  bool readAnyRow();  // the next row, whether the condition keeps it or not
  bool parseHere();
  bool readSqliteRow();
  bool takeParsed();
  // The end of the run of rows after row r of the piece, which nextInRun() hands over.
  size_t runAfter(size_t r);
  // A row taken by nextInRun() leaves its position to these: the current
  // row's position worked out, and that position and the next row's start kept.
  RowPosition runPosition() const;
  void settle();
  void afterRow(size_t rowEnd);

  const DataSet &ds_;
  RowParser parser_;
  const char *base_;
  const char *end_;
  std::vector<double> numbers_;          // per slot, rows parsed here
  std::vector<std::string_view> texts_;  // per slot, rows parsed here
  std::unique_ptr<Scratch> scratch_;     // unescaped values of rows parsed here
  const double *rowNumbers_;             // the current row's slots
  const std::string_view *rowTexts_;
  RowFault ownFault_;
  const RowFault *fault_ = nullptr;
  size_t pos_;        // where the next row starts
  int64_t nextLine_;  // its line
  RowPosition current_;

  // Reading with workers: the pieces come in file order; after a seek back,
  // rows are parsed here until the reading reaches the rows of the pieces.
  ReadOptions options_;
  std::unique_ptr<RowPipeline> pipeline_;
  const ParsedChunk *chunk_ = nullptr;
  size_t rowInChunk_ = 0;
  size_t faultInChunk_ = 0;
  size_t breakInChunk_ = 0;
  size_t runEnd_ = 0;  // rows of the piece before it go through nextInRun()
  // The current row came from nextInRun(): its offset and line in current_,
  // and pos_ and resumeAt_, are set by settle() when needed.
  bool unsettled_ = false;
  std::vector<size_t> keySlots_;
  int64_t chunkLine_ = 0;   // the line of the piece's first byte
  bool replaying_ = false;  // rows are parsed here until pos_ reaches resumeAt_
  size_t resumeAt_ = 0;

  std::unique_ptr<SqliteRows> sqlite_;  // the rows of a SQLite table, instead of the file's
};

// A BY variable and its order.
struct ByVariable {
  int index = 0;            // variable number
  bool descending = false;  // DESCENDING before it
};

// BY groups: consecutive rows with the same BY values. Numbers compare
// numerically with missing values first (._ < . < .A < ... < .Z); characters
// compare by bytes after trailing blanks are removed; DESCENDING reverses a
// variable's order. Without BY variables the whole data set is one group
// (also when it has no rows, but not when a WHERE= condition kept none of
// them).
//
// Errors are found while reading, and each ends the reading where the group
// it belongs to would start, so every group handed out before it is whole:
// a row that comes before the current group in BY order ends that group like
// any new values do, and the next nextGroup() throws DataError 216 naming the
// file, the line and the BY values (unless NOTSORTED, where every change of
// the values starts a new group). A row with a data error throws it from
// nextRow() when it has the current group's values, from nextGroup() when it
// starts a new group.
class ByGroups {
 public:
  // `columns` are the variables to read besides the BY variables (numbers out
  // of range are ignored); a BY variable number out of range throws
  // std::invalid_argument. Only the rows that `where` keeps form the groups.
  ByGroups(const DataSet &ds, std::vector<ByVariable> by, bool notsorted,
           std::span<const int> columns, const ReadOptions &options = {});

  // Moves to the next group (skipping what is left of the current one);
  // false after the last.
  bool nextGroup();
  // The next row of the current group; false at the end of the group.
  bool nextRow() {
    if (state_ == State::kInGroup && !deliver_ && cursor_.nextInRun()) return true;
    return readRow();
  }
  // Back to the first row of the current group: the next nextRow() returns it.
  void rewindGroup();

  const Cursor &row() const { return cursor_; }
  int64_t line() const { return cursor_.line(); }  // of the current row
  int64_t group() const { return group_; }         // number of the current group, from 1

  size_t byCount() const { return by_.size(); }
  const ByVariable &byVariable(size_t i) const { return by_[i]; }
  // The BY values of the current group.
  double byNumber(size_t i) const { return keys_[i].number; }
  std::string_view byText(size_t i) const { return keys_[i].text(); }
  // Formatted with the variable's format, blanks around it removed.
  std::string_view byFormatted(size_t i) const { return keys_[i].formattedText(); }
  // "site=A year=2001": the BY line of a title.
  std::string byTitle() const;

 private:
  struct Key {
    bool numeric = false;  // the variable's type
    double number = 0;
    std::unique_ptr<char[]> chars;  // the variable's length
    size_t charsLength = 0;
    std::unique_ptr<char[]> formatted;  // the formatted width
    size_t formattedFrom = 0, formattedLength = 0;
    std::string_view text() const { return {chars.get(), charsLength}; }
    std::string_view formattedText() const {
      return {formatted.get() + formattedFrom, formattedLength};
    }
  };
  enum class State { kStart, kInGroup, kGroupDone, kEnd };

  // nextRow() for a row that does not come through nextInRun().
  bool readRow();
  void takeKey();
  // Compares the cursor's row with the current group's values in BY order;
  // `which` gets the first BY variable that differs.
  int compareRow(size_t &which) const;
  std::string rowTitle() const;
  [[noreturn]] void notSorted() const;

  const DataSet &ds_;
  std::vector<ByVariable> by_;
  bool notsorted_;
  Cursor cursor_;
  std::vector<Key> keys_;
  State state_ = State::kStart;
  bool pending_ = false;   // the cursor holds a row of the next group (or the first row)
  bool deliver_ = false;   // nextRow() returns the held row without reading
  bool unsorted_ = false;  // the held row comes before the group that ended
  RowPosition groupStart_;
  int64_t group_ = 0;
};

}  // namespace vyn::data

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
// The data set was checked when it was opened (dataset.h), so reading does
// not fail on the data. A file changed under the map is reported: next()
// throws DataError 221 after a row read past the end of a file cut short, and
// at the end of the rows when the file has another size or was removed.
// Other changes of the bytes cannot break the reading: a cell that no longer
// reads as a number gives the standard missing value and missing fields of a
// short row are missing values (blanks).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "vyn/data/dataset.h"

namespace vyn::data {

class Where;

// Where a row starts: enough to read it again.
struct RowPosition {
  size_t offset = 0;  // byte offset of the row in the file
  int64_t line = 0;   // its line number, from 1
  int64_t row = 0;    // its observation number, from 1 (0 before the first row)
};

class Cursor {
 public:
  // Reads the given columns (variable numbers) of each row; others are skipped.
  // With a WHERE= condition (which must outlive the cursor), rows it drops are
  // passed over; its columns are read too.
  Cursor(const DataSet &ds, std::span<const int> columns, Where *where = nullptr);

  // Reads the next row; false after the last. Throws DataError 221 when the
  // file changed under the map.
  bool next();
  // The current row's position, and reading from a position again: the next
  // call of next() reads the row at `at`.
  const RowPosition &position() const { return current_; }
  void seek(const RowPosition &at);
  // Back to before the first row.
  void rewind();

  // Values of the current row. A column that is not selected reads as the
  // standard missing value (numbers) or empty (characters).
  double number(int var) const { return numbers_[static_cast<size_t>(var)]; }
  std::string_view text(int var) const { return texts_[static_cast<size_t>(var)]; }
  bool selected(int var) const { return kinds_[static_cast<size_t>(var)] != kSkip; }
  // A WHERE= condition passes over rows.
  bool filtered() const { return where_ != nullptr; }

  // The formatted value of a selected variable: exactly formattedWidth()
  // characters written to out (numbers right-aligned, characters left-aligned).
  void formatted(int var, char *out) const;

  int64_t line() const { return current_.line; }
  int64_t rowNumber() const { return current_.row; }
  const DataSet &dataSet() const { return ds_; }

 private:
  enum Kind : unsigned char { kSkip, kNumber, kChars };

  bool readRow();
  double quotedNumber(const FieldScan &f) const;
  std::string_view quotedText(size_t col, const FieldScan &f);
  std::string_view plainText(size_t col, const char *b, const char *e) const;

  const DataSet &ds_;
  Where *where_;
  const char *base_;
  const char *end_;
  size_t ncols_;
  std::vector<unsigned char> kinds_;     // per column: Kind
  std::vector<double> numbers_;          // per column: the numeric slot
  std::vector<std::string_view> texts_;  // per column: the character slot
  std::vector<size_t> scratchAt_;        // per column: its part of scratch_
  std::unique_ptr<char[]> scratch_;      // unescaped values of selected character columns
  size_t pos_;                           // where the next row starts
  int64_t nextLine_;                     // its line
  RowPosition current_;
};

// A BY variable and its order.
struct ByVariable {
  int index = 0;            // variable number
  bool descending = false;  // DESCENDING before it
};

// BY groups: consecutive rows with the same BY values. Numbers compare
// numerically with missing values first (._ < . < .A < ... < .Z); characters
// compare by bytes after trailing blanks are removed; DESCENDING reverses a
// variable's order. A row that comes before the current group in that order
// throws DataError 216 naming the file, the line and the BY variables, unless
// NOTSORTED, where every change of the values starts a new group. Without BY
// variables the whole data set is one group (also when it has no rows, but not
// when a WHERE= condition kept none of them).
class ByGroups {
 public:
  // `columns` are the variables to read besides the BY variables (numbers out
  // of range are ignored); a BY variable number out of range throws
  // std::invalid_argument. Only the rows that `where` keeps form the groups.
  ByGroups(const DataSet &ds, std::vector<ByVariable> by, bool notsorted,
           std::span<const int> columns, Where *where = nullptr);

  // Moves to the next group (skipping what is left of the current one);
  // false after the last.
  bool nextGroup();
  // The next row of the current group; false at the end of the group.
  bool nextRow();
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
  bool pending_ = false;  // the cursor holds a row of the next group (or the first row)
  bool deliver_ = false;  // nextRow() returns the held row without reading
  RowPosition groupStart_;
  int64_t group_ = 0;
};

}  // namespace vyn::data

// Parsing one row of a data set: the selected columns only, each into its
// slot. The cursor and the workers of the parallel reader (row_pipeline.h)
// share it, so a row reads the same, bit for bit, whichever thread reads it.
//
// The parser also checks the row: its shape (a quote left open, too few or
// too many fields), the cells of selected columns that the schema declares
// numeric, and infinite cells of every selected numeric column. It throws nothing on the data; the
// first error of a row is kept as a RowFault, and the reader decides when to report it (a bad row
// that starts a new BY group ends the step after the groups before it are done).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "vyn/data/dataset.h"
#include "vyn/data/error.h"

namespace vyn::data {

namespace scan {
struct BlockMasks;
}

// The first data error of a row.
struct RowFault {
  int number = 0;              // 0 when the row is sound; else 201, 202, 203, 220 or 340
  int64_t lineOffset = 0;      // lines from the row's first line to the field
  int64_t column = 0;          // the field, from 1
  int64_t fields = 0;          // fields of the row (201)
  const char *cell = nullptr;  // the field's first byte (203, 220, 340)
};

// Room for the unescaped value of a quoted character field.
class TextStore {
 public:
  virtual char *room(size_t slot, size_t size) = 0;

 protected:
  ~TextStore() = default;
};

class RowParser {
 public:
  // Reads the given columns (variable numbers; numbers out of range and
  // repeats are ignored).
  RowParser(const DataSet &ds, std::span<const int> columns);

  // Slots per row: one per selected column, then one that stays the missing
  // value (numbers) or empty (texts) for every column not selected.
  size_t slots() const { return selected_.size() + 1; }
  size_t slotOf(int var) const { return slotOf_[static_cast<size_t>(var)]; }
  const std::vector<int> &selected() const { return selected_; }
  bool numeric(size_t slot) const { return kind_[slot] != kChars && kind_[slot] != kSkip; }
  char delimiter() const { return delimiter_; }
  // The variable's length: the room a character slot needs.
  size_t length(size_t slot) const { return length_[slot]; }

  // Skips blank lines ("\n" or "\r\n" alone) from p, not past end; adds them to lines.
  static const char *skipBlankLines(const char *p, const char *end, int64_t &lines);
  // Parses the row that starts at p (not a blank line) into the slots;
  // returns the start of the next row. `newlines` gets the line ends inside
  // its quoted fields, `fault` its first data error (a sound row sets only
  // its number, to 0). Only the numbers of
  // numeric slots and the texts of character slots are written: the slots'
  // other halves, and the spare slot, must hold the missing value and the
  // empty text from the start.
  const char *parse(const char *p, const char *end, double *numbers, std::string_view *texts,
                    TextStore &store, int64_t &newlines, RowFault &fault) const;
  // The two ways parse reads a row, public so that tests can set them side
  // by side. The whole row at once, from the byte masks of its first 64
  // bytes: only a sound row (no quote, no lone CR, every field where it
  // belongs, every numeric cell empty, "." or a plain decimal that it reads
  // exactly, every integer whole) that ends within them; else nullptr, and
  // what it wrote is left for the field-by-field reading to write over.
  const char *parseWholeRow(const char *p, const char *end, double *numbers,
                            std::string_view *texts) const;
  // Field by field: any row, with its faults.
  const char *parseFieldByField(const char *p, const char *end, double *numbers,
                                std::string_view *texts, TextStore &store, int64_t &newlines,
                                RowFault &fault) const;
  // Skips the row that starts at p, fields through the field scanner.
  static const char *skipRow(const char *p, const char *end, char delimiter);
  // The error of an fault found in the row whose first line is `line`.
  DataError error(const RowFault &fault, int64_t line) const;

 private:
  // kCommaNumber: a number with a decimal comma, never on the fast path
  enum Kind : unsigned char { kSkip, kNumber, kInteger, kCommaNumber, kChars };

  double quotedNumber(const FieldScan &f, size_t slot, size_t col, RowFault &fault,
                      int64_t lineOffset) const;
  std::string_view quotedText(size_t slot, const FieldScan &f, TextStore &store) const;
  std::string_view plainText(size_t slot, const char *b, const char *e) const;
  void checkNumber(NumericCell cell, size_t slot, size_t col, const char *cell0, RowFault &fault,
                   int64_t lineOffset) const;

  const char *readWholeRow(const scan::BlockMasks &m, const char *bytes, const char *p,
                           const char *end, double *numbers, std::string_view *texts) const;
  static const char *wholeRowBaseline(const RowParser &parser, const char *p, const char *end,
                                      double *numbers, std::string_view *texts);
  static const char *wholeRowAvx2(const RowParser &parser, const char *p, const char *end,
                                  double *numbers, std::string_view *texts);

  void shortOrLongRow(size_t fields, double *numbers, std::string_view *texts,
                      RowFault &fault) const;
  bool listedMissing(std::string_view text) const;
  char decimalOf(size_t slot) const { return kind_[slot] == kCommaNumber ? ',' : '.'; }

  const DataSet &ds_;
  const std::vector<std::string> *missingWords_;  // the schema's, or nullptr
  const char *end_;
  char delimiter_;
  size_t ncols_;
  using WholeRow = const char *(*)(const RowParser &, const char *, const char *, double *,
                                   std::string_view *);
  WholeRow wholeRow_ = nullptr;  // the widest one; none when a column has a decimal comma
  std::vector<int> selected_;
  std::vector<size_t> slotOf_;       // per column: its slot
  std::vector<unsigned char> kind_;  // per slot: Kind
  struct ColumnRead {
    uint32_t slot;
    unsigned char kind;  // the Kind of the slot
  };
  std::vector<ColumnRead> columnRead_;  // per column: its slot and kind, in one load
  std::vector<unsigned char> checked_;  // per slot: the schema declares it numeric
  std::vector<size_t> length_;          // per slot: the variable's length
};

}  // namespace vyn::data

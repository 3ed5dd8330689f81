// The tables of a run as CSV files for data frames: one file per step and
// table name ("step1_ConfLimits.csv"), the BY variables as leading columns,
// then every column of the table, hidden ones included, so that the rows of
// several variables stay apart. Missing values are empty cells, numbers are
// in shortest exact form, texts are quoted where RFC 4180 needs it and kept
// valid UTF-8, and records end in CRLF under a header row of column names.
#pragma once

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vyn/output/document.h"
#include "vyn/output/sink.h"

namespace vyn::output {

// The pieces of a file's content are handed to a CsvPut in order.
using CsvPut = std::function<void(std::string_view piece)>;
// Puts a file's content piece by piece; returns why it could not be made
// whole (then what was put must not be kept), empty when it was.
using CsvFill = std::function<std::string(const CsvPut &put)>;
// Writes one finished file from its fill and returns true, or reports why it
// could not and returns false.
using CsvFileWriter = std::function<bool(const std::string &path, const CsvFill &fill)>;

// Takes the items of a run as they are emitted and keeps, per file of the current
// step, its columns and its rows spooled to an unlinked file in the folder; a file
// is written from its spool when its step is over, a piece at a time. Tables of one name whose
// columns differ share the file: its header is the union of their columns in
// the order first seen, and a row leaves the columns of its table lacks empty.
class TablesCsv : public ItemSink {
 public:
  // A run of rows of tables with the same number of columns.
  struct Rows {
    size_t count;  // consecutive rows written with
    size_t width;  // this many table columns
  };

  TablesCsv(std::string dir, CsvFileWriter write);

  void beginStep(const std::string &) override {}
  // Adds a table to its file; other items are skipped. A new step number
  // first writes the files of the step before.
  void item(const Item &item, const ItemPlace &place) override;
  void logged(const LogEntry &) override {}
  // Writes the files of the step.
  void endStep(const StepRecord &) override;

  // False when any file of the run failed.
  bool ok() const { return ok_; }

  // The file that the tables of that name in that step go to: the name made
  // safe for a file name, inside folder `dir`.
  static std::string fileOf(const std::string &dir, size_t step, const std::string &table);

 private:
  struct Closer {
    void operator()(std::FILE *f) const { std::fclose(f); }
  };
  struct File {
    std::vector<std::string> by;       // the BY variables of its first table
    std::vector<std::string> columns;  // the union of the table columns, first seen first
    std::vector<Rows> rows;
    std::unique_ptr<std::FILE, Closer> spool;
    std::string failure;  // why the spool could not take the rows; empty when it did
  };

  void writeRows(File &file, const Table &table, const std::vector<ByValue> &by);
  bool writeFile(const std::string &path, File &file);

  std::string dir_;
  CsvFileWriter write_;
  size_t step_ = 0;
  std::map<std::string, File> files_;  // by path
  bool ok_ = true;
};

}  // namespace vyn::output

// Parsing a data set in pieces, on one thread or more. The file is cut into pieces of
// about `chunkBytes` at row starts; workers parse the pieces ahead of the
// reader with the same RowParser as the cursor, and the reader takes them in
// file order; when the piece it needs is not ready, the reader cuts and
// parses the next free one itself rather than wait (without workers, every
// piece in turn). So the rows, their values and their order are those of the
// reading row by row.
//
// A cut must not fall inside a quoted field, where a line end is part of a
// value. Every line end before the first quote after a row start ends a row;
// from the last of them the rows are walked with the field scanner up to the
// cut. The cuts are made one after the other by whichever thread takes the
// next piece: a file without quotes costs two byte searches per piece.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "vyn/data/row_parser.h"

namespace vyn::data {

// The end of the piece of about `pieceBytes` bytes of `file` that starts at
// `from`, a row start: the first row start at or past from + pieceBytes, or
// the end of the file. Rows are cut as the field scanner reads them, so a
// quoted field that is never closed runs to the end of the file.
size_t cutPiece(std::string_view file, size_t from, size_t pieceBytes, char delimiter);

// A piece of the file as parsed by a worker or by the reader.
struct ParsedChunk {
  size_t begin = 0, end = 0;            // bytes [begin, end): whole rows and blank lines
  int64_t lines = 0;                    // its lines, so the next piece's first line
  size_t rows = 0;                      // its rows: the arrays below may hold room for more
  std::vector<size_t> offsets;          // per row: where it starts
  std::vector<size_t> ends;             // per row: where the next row (or a blank line) starts
  std::vector<int64_t> lineOffsets;     // per row: lines from the piece's first line
  std::vector<double> numbers;          // per row: RowParser::slots() values
  std::vector<std::string_view> texts;  // per row: RowParser::slots() values
  std::vector<std::pair<size_t, RowFault>> faults;  // rows with a data error, in order
  std::vector<size_t> breaks;  // rows whose key values differ from the row before, in order
  std::exception_ptr failure;  // what stopped the worker
};

class RowPipeline {
 public:
  // Parses the rows from `start` (a row start whose line is known to the
  // reader) with `workers` threads (none: the reader parses each piece as it
  // asks for it), and notes in each piece where the values of the `keys`
  // slots change from one row to the next, compared as the BY groups compare
  // them.
  RowPipeline(const RowParser &parser, std::string_view file, size_t start, int workers,
              size_t chunkBytes, std::vector<size_t> keys = {});
  ~RowPipeline();
  RowPipeline(const RowPipeline &) = delete;
  RowPipeline &operator=(const RowPipeline &) = delete;

  // The next piece in file order, parsing others or waiting until it is
  // ready; nullptr after the last.
  // The piece returned before is given back. Rethrows a worker's failure.
  const ParsedChunk *next();

 private:
  class Arena;
  struct Slot;

  void work();
  // Cuts the next piece into a free slot, with the mutex held: the slot, or
  // nullptr when every piece is cut or every slot is taken.
  Slot *cutNext();
  // The rows a piece of `bytes` bytes likely holds, with the mutex held.
  size_t expectedRows(size_t bytes) const;
  // Parses a cut piece and marks it ready, without the mutex.
  void fill(Slot &slot);
  void parseChunk(Slot &slot) const;
  // The row whose slots start at numbers and texts has other key values than
  // the row before it.
  bool keysChange(const double *numbers, const std::string_view *texts, size_t width) const;
  // Notes the rows of a parsed piece where the key values change.
  void markBreaks(ParsedChunk &c) const;

  const RowParser &parser_;
  const char *base_;
  size_t size_;
  size_t chunkBytes_;
  std::vector<size_t> keys_;
  bool numericKeys_;  // every key is a number: rows with their bits unchanged need no comparison
  std::vector<std::unique_ptr<Slot>> slots_;

  std::mutex mutex_;
  std::condition_variable workReady_, chunkReady_;
  size_t nextStart_;       // where the next piece to be cut starts
  size_t nextChunk_ = 0;   // number of the next piece to be cut
  size_t chunkCount_ = 0;  // pieces in all, once the last was cut
  bool allCut_ = false;
  size_t held_ = 0;  // the piece the reader holds (or waits for)
  bool holding_ = false;
  bool stop_ = false;
  size_t rowsParsed_ = 0, bytesParsed_ = 0;  // of the pieces parsed so far
  std::vector<std::thread> threads_;
};

}  // namespace vyn::data

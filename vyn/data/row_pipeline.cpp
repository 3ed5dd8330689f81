#include "vyn/data/row_pipeline.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <span>

#include "vyn/data/csv.h"
#include "vyn/data/missing.h"

namespace vyn::data {

// The unescaped values of a piece: blocks kept from piece to piece, so a
// worker stops allocating once its blocks hold the largest piece's values.
class RowPipeline::Arena final : public TextStore {
 public:
  char *room(size_t, size_t size) override {
    while (block_ < blocks_.size() && blocks_[block_].size - used_ < size) {
      ++block_;
      used_ = 0;
    }
    if (block_ == blocks_.size()) {
      const size_t n = std::max(kBlock, size);
      blocks_.push_back({std::make_unique<char[]>(n), n});
      used_ = 0;
    }
    char *at = blocks_[block_].bytes.get() + used_;
    used_ += size;
    return at;
  }
  void reset() {
    block_ = 0;
    used_ = 0;
  }

 private:
  static constexpr size_t kBlock = size_t{1} << 16;
  struct Block {
    std::unique_ptr<char[]> bytes;
    size_t size;
  };
  std::vector<Block> blocks_;
  size_t block_ = 0, used_ = 0;
};

struct RowPipeline::Slot {
  ParsedChunk chunk;
  Arena arena;
  size_t number = 0;        // the piece it holds
  size_t expectedRows = 0;  // its rows, as the pieces parsed so far suggest
  bool ready = false;       // parsed, not yet given back
};

RowPipeline::RowPipeline(const RowParser &parser, std::string_view file, size_t start, int workers,
                         size_t chunkBytes, std::vector<size_t> keys)
    : parser_(parser),
      base_(file.data()),
      size_(file.size()),
      chunkBytes_(std::max<size_t>(chunkBytes, 1)),
      keys_(std::move(keys)),
      numericKeys_(std::all_of(keys_.begin(), keys_.end(),
                               [&parser](size_t k) { return parser.numeric(k); })),
      nextStart_(start) {
  const size_t n = static_cast<size_t>(std::max(workers, 0));
  // one piece each worker parses, the one the reader holds, one ready ahead
  // and one the reader parses itself when the next is not ready, so that a
  // worker done with its piece finds a free slot rather than wait; without
  // workers the reader parses every piece into the one slot
  const size_t slots = n == 0 ? 1 : n + 3;
  for (size_t i = 0; i < slots; ++i) slots_.push_back(std::make_unique<Slot>());
  for (size_t i = 0; i < n; ++i) threads_.emplace_back([this] { work(); });
}

RowPipeline::~RowPipeline() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  workReady_.notify_all();
  for (std::thread &t : threads_) t.join();
}

size_t cutPiece(std::string_view file, size_t from, size_t pieceBytes, char delimiter) {
  if (file.size() - from <= pieceBytes) return file.size();
  const char *begin = file.data() + from;
  const char *target = begin + pieceBytes;
  const char *end = file.data() + file.size();
  const auto *quote = static_cast<const char *>(std::memchr(begin, '"', pieceBytes));
  const char *limit = quote != nullptr ? quote : target;
  const auto *lf = static_cast<const char *>(::memrchr(begin, '\n', limit - begin));
  const char *p = lf != nullptr ? lf + 1 : begin;
  while (p < target) p = RowParser::skipRow(p, end, delimiter);
  return static_cast<size_t>(p - file.data());
}

namespace {

// Room for at least `rows` rows in a piece, each number missing and each text
// empty until the parser writes it; returns the rows there is room for. The
// arrays of a slot are kept from piece to piece, so they are sized for the
// rows expected rather than grown (and copied into fresh pages) row by row.
size_t reserveRows(ParsedChunk &c, size_t rows, size_t width) {
  if (c.offsets.size() >= rows) return c.offsets.size();
  c.numbers.resize(rows * width, missingValue('.'));
  c.texts.resize(rows * width);
  c.offsets.resize(rows);
  c.ends.resize(rows);
  c.lineOffsets.resize(rows);
  return rows;
}

}  // namespace

bool RowPipeline::keysChange(const double *numbers, const std::string_view *texts,
                             size_t width) const {
  for (const size_t k : keys_) {
    if (parser_.numeric(k)) {
      const double a = numbers[k], b = numbers[k - width];
      if (std::bit_cast<uint64_t>(a) != std::bit_cast<uint64_t>(b) && compareNumbers(a, b) != 0)
        return true;
    } else if (withoutTrailingBlanks(texts[k]) != withoutTrailingBlanks(texts[k - width])) {
      return true;
    }
  }
  return false;
}

namespace {

uint64_t bitsOf(double x) {
  return std::bit_cast<uint64_t>(x);
}

// The first row from r on (of `rows` rows of `width` numbers) whose numbers
// in the `keys` slots have other bits than those of the row before it; rows
// when there is none. The same bits are the same value: most rows stay in the
// group, and one key is the usual case.
size_t nextBitChange(const double *numbers, size_t r, size_t rows, size_t width,
                     std::span<const size_t> keys) {
  const double *row = numbers + r * width;
  if (keys.size() == 1) {
    const size_t k = keys[0];
    for (; r < rows; ++r, row += width)
      if (bitsOf(row[k]) != bitsOf(row[k - width])) return r;
    return rows;
  }
  for (; r < rows; ++r, row += width)
    for (const size_t k : keys)
      if (bitsOf(row[k]) != bitsOf(row[k - width])) return r;
  return rows;
}

}  // namespace

void RowPipeline::markBreaks(ParsedChunk &c) const {
  const size_t width = parser_.slots(), rows = c.rows;
  for (size_t r = 1; r < rows; ++r) {
    if (numericKeys_) r = nextBitChange(c.numbers.data(), r, rows, width, keys_);
    if (r == rows) break;
    if (keysChange(c.numbers.data() + r * width, c.texts.data() + r * width, width))
      c.breaks.push_back(r);
  }
}

void RowPipeline::parseChunk(Slot &slot) const {
  ParsedChunk &c = slot.chunk;
  slot.arena.reset();
  c.faults.clear();
  c.breaks.clear();
  c.failure = nullptr;
  const size_t width = parser_.slots();
  const char *p = base_ + c.begin;
  const char *const stop = base_ + c.end;
  const char *const end = base_ + size_;
  size_t room = reserveRows(c, slot.expectedRows, width);
  RowFault fault;
  size_t rows = 0;
  int64_t lines = 0;
  for (;;) {
    if (p < stop && (*p == '\n' || *p == '\r')) p = RowParser::skipBlankLines(p, stop, lines);
    if (p >= stop) break;
    if (rows == room) room = reserveRows(c, 2 * (rows + 1), width);
    int64_t newlines = 0;
    c.offsets[rows] = static_cast<size_t>(p - base_);
    c.lineOffsets[rows] = lines;
    p = parser_.parse(p, end, c.numbers.data() + rows * width, c.texts.data() + rows * width,
                      slot.arena, newlines, fault);
    c.ends[rows] = static_cast<size_t>(p - base_);
    if (fault.number != 0) c.faults.emplace_back(rows, fault);
    lines += newlines + 1;
    ++rows;
  }
  c.rows = rows;
  c.lines = lines;
  if (!keys_.empty()) markBreaks(c);
}

size_t RowPipeline::expectedRows(size_t bytes) const {
  constexpr size_t kFirstGuess = 64;  // bytes per row before any piece is parsed
  const double perByte = rowsParsed_ > 0
                             ? static_cast<double>(rowsParsed_) / static_cast<double>(bytesParsed_)
                             : 1.0 / kFirstGuess;
  return static_cast<size_t>(static_cast<double>(bytes) * perByte * 1.125) + 16;
}

RowPipeline::Slot *RowPipeline::cutNext() {
  if (allCut_ || nextChunk_ >= held_ + slots_.size()) return nullptr;
  Slot *slot = slots_[nextChunk_ % slots_.size()].get();
  slot->number = nextChunk_++;
  slot->ready = false;
  slot->chunk.begin = nextStart_;
  slot->chunk.failure = nullptr;
  try {
    slot->chunk.end = cutPiece({base_, size_}, nextStart_, chunkBytes_, parser_.delimiter());
  } catch (...) {
    slot->chunk.end = size_;
    slot->chunk.failure = std::current_exception();
  }
  nextStart_ = slot->chunk.end;
  slot->expectedRows = expectedRows(slot->chunk.end - slot->chunk.begin);
  if (nextStart_ >= size_) {
    allCut_ = true;
    chunkCount_ = nextChunk_;
    workReady_.notify_all();
  }
  return slot;
}

void RowPipeline::fill(Slot &slot) {
  if (!slot.chunk.failure) {
    try {
      parseChunk(slot);
    } catch (...) {
      slot.chunk.failure = std::current_exception();
    }
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    slot.ready = true;
    rowsParsed_ += slot.chunk.rows;
    bytesParsed_ += slot.chunk.end - slot.chunk.begin;
  }
  chunkReady_.notify_all();
}

void RowPipeline::work() {
  for (;;) {
    Slot *slot;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      workReady_.wait(lock,
                      [this] { return stop_ || allCut_ || nextChunk_ < held_ + slots_.size(); });
      if (stop_ || allCut_) return;
      slot = cutNext();
    }
    fill(*slot);
  }
}

const ParsedChunk *RowPipeline::next() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (holding_) {
    slots_[held_ % slots_.size()]->ready = false;
    ++held_;
    holding_ = false;
    workReady_.notify_all();
  }
  Slot *slot = slots_[held_ % slots_.size()].get();
  for (;;) {
    if (allCut_ && held_ >= chunkCount_) return nullptr;
    if (slot->ready && slot->number == held_) break;
    if (Slot *own = cutNext()) {  // rather than wait, parse a piece on this thread
      lock.unlock();
      fill(*own);
      lock.lock();
      continue;
    }
    chunkReady_.wait(lock);
  }
  holding_ = true;
  if (slot->chunk.failure) std::rethrow_exception(slot->chunk.failure);
  return &slot->chunk;
}

}  // namespace vyn::data

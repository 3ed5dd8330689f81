#include "vyn/data/cursor.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <stdexcept>

#include "vyn/data/error.h"
#include "vyn/data/missing.h"
#include "vyn/data/progress.h"
#include "vyn/data/row_pipeline.h"
#include "vyn/data/sqlite_source.h"
#include "vyn/data/where.h"

namespace vyn::data {

// ---------------------------------------------------------------- Cursor

namespace {

std::vector<int> withWhere(std::span<const int> columns, const Where *where) {
  std::vector<int> all(columns.begin(), columns.end());
  if (where != nullptr) all.insert(all.end(), where->columns().begin(), where->columns().end());
  return all;
}

}  // namespace

// Room for the unescaped values of the rows parsed by the cursor itself: one
// part per character slot, sized to the variable's length once.
class Cursor::Scratch final : public TextStore {
 public:
  explicit Scratch(const RowParser &parser) : at_(parser.slots(), 0) {
    size_t total = 0;
    for (size_t s = 0; s + 1 < parser.slots(); ++s) {
      if (parser.numeric(s)) continue;
      at_[s] = total;
      total += parser.length(s) + 1;
    }
    bytes_ = std::make_unique<char[]>(total > 0 ? total : 1);
  }
  char *room(size_t slot, size_t) override { return bytes_.get() + at_[slot]; }

 private:
  std::vector<size_t> at_;
  std::unique_ptr<char[]> bytes_;
};

Cursor::Cursor(const DataSet &ds, std::span<const int> columns, const ReadOptions &options,
               std::span<const int> groupKeys)
    : ds_(ds),
      parser_(ds, withWhere(columns, options.where)),
      base_(ds.bytes().data()),
      end_(ds.bytes().data() + ds.bytes().size()),
      numbers_(parser_.slots()),
      texts_(parser_.slots()),
      scratch_(std::make_unique<Scratch>(parser_)),
      options_(options) {
  const double missing = missingValue('.');
  std::fill(numbers_.begin(), numbers_.end(), missing);
  rowNumbers_ = numbers_.data();
  rowTexts_ = texts_.data();
  if (ds.sqlite() != nullptr)
    sqlite_ = std::make_unique<SqliteRows>(ds, parser_.selected(), options.where);
  rewind();
  if (options_.where == nullptr)
    for (const int var : groupKeys)
      if (var >= 0 && var < ds.variableCount()) keySlots_.push_back(parser_.slotOf(var));
  if (options_.chunkBytes == 0)
    options_.chunkBytes =
        options_.threads > 1 ? ReadOptions::kWorkerPiece : ReadOptions::kReaderPiece;
  const size_t rows = static_cast<size_t>(end_ - base_) - pos_;
  if (!sqlite_ && rows > options_.chunkBytes) {
    pipeline_ = std::make_unique<RowPipeline>(parser_, ds.bytes(), pos_, options_.threads - 1,
                                              options_.chunkBytes, keySlots_);
    chunkLine_ = nextLine_;
    resumeAt_ = pos_;
  }
}

Cursor::~Cursor() = default;

void Cursor::rewind() {
  seek(RowPosition{ds_.dataOffset(), ds_.dataLine(), 0});
}

void Cursor::seek(const RowPosition &at) {
  if (unsettled_) settle();
  if (pipeline_ && at.offset > resumeAt_) {  // ahead of the pieces: cut anew from there
    chunk_ = nullptr;
    pipeline_ = std::make_unique<RowPipeline>(parser_, ds_.bytes(), at.offset, options_.threads - 1,
                                              options_.chunkBytes, keySlots_);
    chunkLine_ = at.line;
    resumeAt_ = at.offset;
  }
  if (sqlite_) sqlite_->seek(at);
  replaying_ = pipeline_ != nullptr && at.offset < resumeAt_;
  pos_ = at.offset;
  nextLine_ = at.line;
  current_ = RowPosition{at.offset, at.line, at.row > 0 ? at.row - 1 : 0};
  fault_ = nullptr;
  runEnd_ = 0;
}

void Cursor::raiseFault() const {
  if (sqlite_) throw sqlite_->error(*fault_, current_.line);
  throw parser_.error(*fault_, current_.line);
}

bool Cursor::next() {
  const bool more = advance();
  if (fault_ != nullptr) raiseFault();
  return more;
}

bool Cursor::advance() {
  if (options_.where == nullptr) return readAnyRow();
  for (;;) {
    const bool more = readAnyRow();
    if (!more || fault_ != nullptr || (sqlite_ && sqlite_->appliesWhere()) ||
        options_.where->keep(*this))
      return more;
  }
}

bool Cursor::readAnyRow() {
  fault_ = nullptr;
  if (replaying_ && pos_ == resumeAt_) replaying_ = false;
  const bool more = sqlite_                    ? readSqliteRow()
                    : pipeline_ && !replaying_ ? takeParsed()
                                               : parseHere();
  if (options_.progress != nullptr) {
    if (!more) {
      options_.progress->finish();
    } else if ((current_.row & 0xFFFF) == 0) {
      options_.progress->update(current_.row, current_.offset);
    }
  }
  return more;
}

// After a row: a row read from zeros, past a cut (the flag), or up to the end
// of the map in the last page of a file cut inside that page (no fault there).
void Cursor::afterRow(size_t rowEnd) {
  if (rowEnd == static_cast<size_t>(end_ - base_) || ds_.fileDamaged()) ds_.checkUnchanged();
}

bool Cursor::parseHere() {
  const char *p = base_ + pos_;
  if (p == end_ || *p == '\n' || *p == '\r') {  // a row seldom follows blank lines
    int64_t blank = 0;
    p = RowParser::skipBlankLines(p, end_, blank);
    nextLine_ += blank;
  }
  if (p >= end_) {
    pos_ = static_cast<size_t>(end_ - base_);
    ds_.checkUnchanged();
    return false;
  }
  current_.offset = static_cast<size_t>(p - base_);
  current_.line = nextLine_;
  current_.row += 1;
  int64_t newlines = 0;
  p = parser_.parse(p, end_, numbers_.data(), texts_.data(), *scratch_, newlines, ownFault_);
  rowNumbers_ = numbers_.data();
  rowTexts_ = texts_.data();
  if (ownFault_.number != 0) fault_ = &ownFault_;
  nextLine_ = current_.line + newlines + 1;
  pos_ = static_cast<size_t>(p - base_);
  afterRow(pos_);
  return true;
}

bool Cursor::readSqliteRow() {
  if (!sqlite_->next(numbers_.data(), texts_.data(), current_, ownFault_)) return false;
  if (ownFault_.number != 0) fault_ = &ownFault_;
  return true;
}

bool Cursor::takeParsed() {
  if (unsettled_) settle();
  while (chunk_ == nullptr || rowInChunk_ == chunk_->rows) {
    if (chunk_ != nullptr) chunkLine_ += chunk_->lines;
    chunk_ = pipeline_->next();
    rowInChunk_ = 0;
    faultInChunk_ = 0;
    breakInChunk_ = 0;
    runEnd_ = 0;
    if (chunk_ == nullptr) {
      pos_ = resumeAt_ = static_cast<size_t>(end_ - base_);
      ds_.checkUnchanged();
      return false;
    }
  }
  const ParsedChunk &c = *chunk_;
  const size_t r = rowInChunk_++;
  const size_t width = parser_.slots();
  current_.offset = c.offsets[r];
  current_.line = chunkLine_ + c.lineOffsets[r];
  current_.row += 1;
  rowNumbers_ = c.numbers.data() + r * width;
  rowTexts_ = c.texts.data() + r * width;
  while (faultInChunk_ < c.faults.size() && c.faults[faultInChunk_].first < r) ++faultInChunk_;
  if (faultInChunk_ < c.faults.size() && c.faults[faultInChunk_].first == r)
    fault_ = &c.faults[faultInChunk_].second;
  pos_ = resumeAt_ = c.ends[r];
  afterRow(pos_);
  if (options_.where == nullptr) runEnd_ = runAfter(r);
  return true;
}

// A run ends before the next row with a data error, the next change of the
// key values, a row whose number shows progress, and the last row of the
// file, which is checked for a changed file.
size_t Cursor::runAfter(size_t r) {
  const ParsedChunk &c = *chunk_;
  size_t end = c.ends[c.rows - 1] == static_cast<size_t>(end_ - base_) ? c.rows - 1 : c.rows;
  while (breakInChunk_ < c.breaks.size() && c.breaks[breakInChunk_] <= r) ++breakInChunk_;
  if (breakInChunk_ < c.breaks.size()) end = std::min(end, c.breaks[breakInChunk_]);
  size_t fault = faultInChunk_;
  if (fault < c.faults.size() && c.faults[fault].first == r) ++fault;
  if (fault < c.faults.size()) end = std::min(end, c.faults[fault].first);
  if (options_.progress != nullptr)
    end = std::min(end, r + 0x10000 - static_cast<size_t>(current_.row & 0xFFFF));
  return end;
}

RowPosition Cursor::runPosition() const {
  const size_t r = rowInChunk_ - 1;
  return {chunk_->offsets[r], chunkLine_ + chunk_->lineOffsets[r], current_.row};
}

void Cursor::settle() {
  current_ = runPosition();
  pos_ = resumeAt_ = chunk_->ends[rowInChunk_ - 1];
  unsettled_ = false;
}

void Cursor::formatted(int var, char *out) const {
  const Variable &v = ds_.variable(var);
  if (v.numeric) {
    formatNumber(number(var), v.format, out);
  } else {
    formatChars(text(var), v.formattedWidth(), out);
  }
}

// ---------------------------------------------------------------- ByGroups

namespace {

std::vector<int> withBy(std::span<const int> columns, const std::vector<ByVariable> &by) {
  std::vector<int> all(columns.begin(), columns.end());
  for (const ByVariable &b : by) all.push_back(b.index);
  return all;
}

std::vector<int> keyVariables(const std::vector<ByVariable> &by) {
  std::vector<int> keys;
  for (const ByVariable &b : by) keys.push_back(b.index);
  return keys;
}

int compareChars(std::string_view a, std::string_view b) {
  a = withoutTrailingBlanks(a);
  b = withoutTrailingBlanks(b);
  size_t n = std::min(a.size(), b.size());
  int c = n > 0 ? std::memcmp(a.data(), b.data(), n) : 0;
  if (c != 0) return c < 0 ? -1 : 1;
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

}  // namespace

ByGroups::ByGroups(const DataSet &ds, std::vector<ByVariable> by, bool notsorted,
                   std::span<const int> columns, const ReadOptions &options)
    : ds_(ds),
      by_(std::move(by)),
      notsorted_(notsorted),
      cursor_(ds, withBy(columns, by_), options, keyVariables(by_)) {
  for (const ByVariable &b : by_)
    if (b.index < 0 || b.index >= ds.variableCount())
      throw std::invalid_argument("BY variable number out of range");
  keys_.resize(by_.size());
  for (size_t i = 0; i < by_.size(); ++i) {
    const Variable &v = ds.variable(by_[i].index);
    keys_[i].numeric = v.numeric;
    if (!v.numeric) keys_[i].chars = std::make_unique<char[]>(static_cast<size_t>(v.length));
    keys_[i].formatted = std::make_unique<char[]>(static_cast<size_t>(v.formattedWidth()));
  }
}

void ByGroups::takeKey() {
  for (size_t i = 0; i < by_.size(); ++i) {
    const Variable &v = ds_.variable(by_[i].index);
    Key &k = keys_[i];
    if (v.numeric) {
      k.number = cursor_.number(by_[i].index);
    } else {
      std::string_view t = cursor_.text(by_[i].index);
      if (!t.empty()) std::memcpy(k.chars.get(), t.data(), t.size());
      k.charsLength = t.size();
    }
    cursor_.formatted(by_[i].index, k.formatted.get());
    std::string_view f = trimBlanks({k.formatted.get(), static_cast<size_t>(v.formattedWidth())});
    k.formattedFrom = static_cast<size_t>(f.data() - k.formatted.get());
    k.formattedLength = f.size();
  }
}

int ByGroups::compareRow(size_t &which) const {
  for (size_t i = 0; i < by_.size(); ++i) {
    const int var = by_[i].index;
    const Key &key = keys_[i];
    int c = 0;
    if (key.numeric) {
      const double v = cursor_.number(var);
      // the same bits are the same value, missing ones too: most rows stay in the group
      if (std::bit_cast<uint64_t>(v) != std::bit_cast<uint64_t>(key.number))
        c = compareNumbers(v, key.number);
    } else {
      c = compareChars(cursor_.text(var), key.text());
    }
    if (c != 0) {
      which = i;
      return by_[i].descending ? -c : c;
    }
  }
  return 0;
}

bool ByGroups::nextGroup() {
  if (state_ == State::kEnd) return false;
  if (state_ == State::kStart) {
    pending_ = cursor_.advance();
    if (!pending_ && (!by_.empty() || cursor_.filtered())) {
      state_ = State::kEnd;
      return false;
    }
  } else {
    while (state_ == State::kInGroup) nextRow();  // skip the rest of the group
    if (!pending_) {
      state_ = State::kEnd;
      return false;
    }
  }
  // the held row (if any) starts the group
  if (unsorted_) notSorted();
  if (pending_ && cursor_.fault() != nullptr) cursor_.raiseFault();
  takeKey();
  groupStart_ = cursor_.position();
  deliver_ = pending_;
  state_ = State::kInGroup;
  ++group_;
  return true;
}

bool ByGroups::readRow() {
  if (state_ != State::kInGroup) return false;
  if (deliver_) {
    deliver_ = false;
    pending_ = false;
    return true;
  }
  if (!cursor_.advance()) {
    pending_ = false;
    state_ = State::kGroupDone;
    return false;
  }
  size_t which = 0;
  int c = by_.empty() ? 0 : compareRow(which);
  if (c == 0) {
    if (cursor_.fault() != nullptr) cursor_.raiseFault();
    return true;
  }
  unsorted_ = c < 0 && !notsorted_;
  pending_ = true;
  state_ = State::kGroupDone;
  return false;
}

void ByGroups::rewindGroup() {
  if (state_ != State::kInGroup && state_ != State::kGroupDone) return;
  if (groupStart_.row == 0) {  // an empty data set without BY variables
    cursor_.rewind();
  } else {
    cursor_.seek(groupStart_);
  }
  deliver_ = false;
  pending_ = false;
  unsorted_ = false;
  state_ = State::kInGroup;
}

std::string ByGroups::byTitle() const {
  std::string out;
  for (size_t i = 0; i < by_.size(); ++i) {
    if (i > 0) out += ' ';
    out += ds_.variable(by_[i].index).name;
    out += '=';
    out += byFormatted(i);
  }
  return out;
}

std::string ByGroups::rowTitle() const {
  std::string out;
  for (size_t i = 0; i < by_.size(); ++i) {
    const Variable &v = ds_.variable(by_[i].index);
    std::string f(static_cast<size_t>(v.formattedWidth()), ' ');
    cursor_.formatted(by_[i].index, f.data());
    if (i > 0) out += ' ';
    out += v.name;
    out += '=';
    out += trimBlanks(f);
  }
  return out;
}

void ByGroups::notSorted() const {
  std::string list;
  for (size_t i = 0; i < by_.size(); ++i) {
    if (i > 0) list += ' ';
    if (by_[i].descending) list += "DESCENDING ";
    list += ds_.variable(by_[i].index).name;
  }
  throw DataError(ds_.sqlite() != nullptr ? kMsgDbNotSorted : kMsgNotSorted,
                  {ds_.path(), std::to_string(cursor_.line()), list, rowTitle(), byTitle()},
                  ds_.path(), cursor_.line(), 0);
}

}  // namespace vyn::data

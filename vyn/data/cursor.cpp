#include "vyn/data/cursor.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <stdexcept>

#include "vyn/data/error.h"
#include "vyn/data/missing.h"
#include "vyn/data/where.h"

namespace vyn::data {

namespace {

constexpr double kStandardMissing = missingValue('.');

// The separator or line end that closes an unquoted field, or end.
inline const char *findSeparator(const char *p, const char *end) {
  while (p < end && *p != ',' && *p != '\n') ++p;
  return p;
}

// A cut to n bytes that does not end inside a UTF-8 sequence.
inline size_t cutLength(const char *s, size_t len, size_t n) {
  if (len <= n) return len;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  return n;
}

}  // namespace

// ---------------------------------------------------------------- Cursor

Cursor::Cursor(const DataSet &ds, std::span<const int> columns, Where *where)
    : ds_(ds),
      where_(where),
      base_(ds.bytes().data()),
      end_(ds.bytes().data() + ds.bytes().size()),
      ncols_(static_cast<size_t>(ds.variableCount())),
      kinds_(ncols_, kSkip),
      numbers_(ncols_, kStandardMissing),
      texts_(ncols_),
      scratchAt_(ncols_, 0) {
  size_t scratch = 0;
  std::vector<int> read(columns.begin(), columns.end());
  if (where != nullptr) read.insert(read.end(), where->columns().begin(), where->columns().end());
  for (int var : read) {
    if (var < 0 || static_cast<size_t>(var) >= ncols_) continue;
    size_t c = static_cast<size_t>(var);
    if (kinds_[c] != kSkip) continue;
    const Variable &v = ds.variable(var);
    kinds_[c] = v.numeric ? kNumber : kChars;
    if (!v.numeric) {
      scratchAt_[c] = scratch;
      scratch += static_cast<size_t>(v.length) + 1;
    }
  }
  scratch_ = std::make_unique<char[]>(scratch > 0 ? scratch : 1);
  rewind();
}

void Cursor::rewind() {
  pos_ = ds_.dataOffset();
  nextLine_ = ds_.dataLine();
  current_ = RowPosition{pos_, nextLine_, 0};
}

void Cursor::seek(const RowPosition &at) {
  pos_ = at.offset;
  nextLine_ = at.line;
  current_ = RowPosition{at.offset, at.line, at.row > 0 ? at.row - 1 : 0};
}

std::string_view Cursor::plainText(size_t col, const char *b, const char *e) const {
  size_t len = static_cast<size_t>(e - b);
  if (len == 1 && *b == '.') return {};  // the missing value of a character column
  return {b, cutLength(b, len, static_cast<size_t>(ds_.variable(static_cast<int>(col)).length))};
}

std::string_view Cursor::quotedText(size_t col, const FieldScan &f) {
  size_t length = static_cast<size_t>(ds_.variable(static_cast<int>(col)).length);
  if (!f.escaped) {
    std::string_view s = plainContent(f);
    return s.substr(0, cutLength(s.data(), s.size(), length));
  }
  char *buf = scratch_.get() + scratchAt_[col];
  size_t n = unescapeField(f, buf, length + 1);  // one byte more to see where a cut falls
  return {buf, cutLength(buf, n, length)};
}

double Cursor::quotedNumber(const FieldScan &f) const {
  char buf[64];
  std::string_view text = plainContent(f);
  if (f.escaped) {
    if (f.contentLength > sizeof buf) return kStandardMissing;
    text = std::string_view(buf, unescapeField(f, buf, sizeof buf));
  }
  NumericCell cell = parseNumericCell(text);
  return cell.kind == CellKind::kNotNumber ? kStandardMissing : cell.value;
}

bool Cursor::next() {
  while (readRow()) {
    if (where_ == nullptr || where_->keep(*this)) return true;
  }
  return false;
}

bool Cursor::readRow() {
  const char *p = base_ + pos_;
  const char *const end = end_;
  for (;;) {  // blank lines
    if (p >= end) {
      pos_ = static_cast<size_t>(end - base_);
      ds_.checkUnchanged();
      return false;
    }
    if (*p == '\n') {
      ++p;
      ++nextLine_;
    } else if (*p == '\r' && p + 1 < end && p[1] == '\n') {
      p += 2;
      ++nextLine_;
    } else {
      break;
    }
  }
  current_.offset = static_cast<size_t>(p - base_);
  current_.line = nextLine_;
  current_.row += 1;
  int64_t newlines = 0;

  size_t col = 0;
  bool ended = false;
  while (!ended) {
    unsigned char kind = col < ncols_ ? kinds_[col] : static_cast<unsigned char>(kSkip);
    if (p < end && *p == '"') {
      FieldScan f = scanField(p, end);
      newlines += static_cast<int64_t>(f.newlines);
      if (kind == kNumber) {
        numbers_[col] = quotedNumber(f);
      } else if (kind == kChars) {
        texts_[col] = quotedText(col, f);
      }
      ended = f.rowEnd;
      p = f.next;
      ++col;
      continue;
    }
    if (kind == kNumber) {
      // the fast path: std::from_chars stops right at the separator
      double v;
      auto r = std::from_chars(p, end, v);
      if (r.ec == std::errc()) {
        const char *q = r.ptr;
        if (q < end && *q == ',') {
          numbers_[col++] = v;
          p = q + 1;
          continue;
        }
        if (q == end || *q == '\n') {
          numbers_[col++] = v;
          p = q == end ? q : q + 1;
          ended = true;
          continue;
        }
        if (*q == '\r' && q + 1 < end && q[1] == '\n') {
          numbers_[col++] = v;
          p = q + 2;
          ended = true;
          continue;
        }
      }
    }
    const char *sep = findSeparator(p, end);
    const char *e = sep;
    if (sep < end && *sep == '\n' && e > p && e[-1] == '\r') --e;
    if (kind == kNumber) {
      NumericCell cell = parseNumericCell(std::string_view(p, static_cast<size_t>(e - p)));
      numbers_[col] = cell.kind == CellKind::kNotNumber ? kStandardMissing : cell.value;
    } else if (kind == kChars) {
      texts_[col] = plainText(col, p, e);
    }
    ++col;
    if (sep == end) {
      p = end;
      ended = true;
    } else {
      ended = *sep == '\n';
      p = sep + 1;
    }
  }
  for (; col < ncols_; ++col) {  // a short row: cannot happen after the inference pass
    numbers_[col] = kStandardMissing;
    texts_[col] = {};
  }
  nextLine_ = current_.line + newlines + 1;
  pos_ = static_cast<size_t>(p - base_);
  // A row read from zeros: past a cut (the flag), or up to the end of the map
  // in the last page of a file cut inside that page (no fault there).
  if (p == end || ds_.fileDamaged()) ds_.checkUnchanged();
  return true;
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

std::string_view trimTrailingBlanks(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

int compareChars(std::string_view a, std::string_view b) {
  a = trimTrailingBlanks(a);
  b = trimTrailingBlanks(b);
  size_t n = std::min(a.size(), b.size());
  int c = n > 0 ? std::memcmp(a.data(), b.data(), n) : 0;
  if (c != 0) return c < 0 ? -1 : 1;
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

}  // namespace

ByGroups::ByGroups(const DataSet &ds, std::vector<ByVariable> by, bool notsorted,
                   std::span<const int> columns, Where *where)
    : ds_(ds), by_(std::move(by)), notsorted_(notsorted), cursor_(ds, withBy(columns, by_), where) {
  for (const ByVariable &b : by_)
    if (b.index < 0 || b.index >= ds.variableCount())
      throw std::invalid_argument("BY variable number out of range");
  keys_.resize(by_.size());
  for (size_t i = 0; i < by_.size(); ++i) {
    const Variable &v = ds.variable(by_[i].index);
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
    int var = by_[i].index;
    int c = ds_.variable(var).numeric ? compareNumbers(cursor_.number(var), keys_[i].number)
                                      : compareChars(cursor_.text(var), keys_[i].text());
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
    pending_ = cursor_.next();
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
  takeKey();
  groupStart_ = cursor_.position();
  deliver_ = pending_;
  state_ = State::kInGroup;
  ++group_;
  return true;
}

bool ByGroups::nextRow() {
  if (state_ != State::kInGroup) return false;
  if (deliver_) {
    deliver_ = false;
    pending_ = false;
    return true;
  }
  if (!cursor_.next()) {
    pending_ = false;
    state_ = State::kGroupDone;
    return false;
  }
  size_t which = 0;
  int c = compareRow(which);
  if (c == 0) return true;
  if (c < 0 && !notsorted_) notSorted();
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
  throw DataError(kMsgNotSorted,
                  {ds_.path(), std::to_string(cursor_.line()), list, rowTitle(), byTitle()},
                  ds_.path(), cursor_.line(), 0);
}

}  // namespace vyn::data

// A plain reference reader of the CSV dialect: field by field with scanField
// and parseNumericCell, no block scan. The tests and the fuzz target compare
// DataSet::open (block scan + field scan) and the Cursor with it.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "vyn/data/csv.h"
#include "vyn/data/cursor.h"
#include "vyn/data/dataset.h"
#include "vyn/data/error.h"
#include "vyn/data/missing.h"

namespace vyn::data::reference {

struct Cell {
  std::string text;  // the value (unescaped)
  bool quoted = false, escaped = false;
};

struct Result {
  int error = 0;  // 0, or the message number
  int64_t errorLine = 0, errorColumn = 0;
  std::vector<std::string> names;
  std::vector<bool> numeric;
  std::vector<size_t> maxLength;
  std::vector<std::vector<Cell>> rows;
  std::vector<int64_t> lines;  // line of each row
};

inline Cell cellOf(const FieldScan &f) {
  Cell c{std::string(), f.quoted, f.quoted && f.escaped};
  if (!c.escaped) {
    c.text = std::string(plainContent(f));
  } else {
    c.text.resize(f.contentLength);
    c.text.resize(unescapeField(f, c.text.data(), c.text.size()));
  }
  return c;
}

// A quoted value that needed unescaping reads as a number only up to 64
// bytes (the reader unescapes into a small buffer).
inline bool isNumberCell(const Cell &c) {
  if (c.escaped && c.text.size() > 64) return false;
  return parseNumericCell(c.text).kind != CellKind::kNotNumber;
}

inline Result failed(Result r, int error, int64_t line, size_t column) {
  r.error = error;
  r.errorLine = line;
  r.errorColumn = static_cast<int64_t>(column);
  return r;
}

// Reads text (header and rows). Stops at the first row error (201, 202) or
// header error (any), recording it.
inline Result read(std::string_view text) {
  Result r;
  const char *p = text.data(), *end = p + text.size();
  if (text.substr(0, 3) == "\xEF\xBB\xBF") p += 3;
  int64_t line = 1;
  bool header = true;
  while (p < end) {
    const int blank = *p == '\n' ? 1 : (end - p >= 2 && p[0] == '\r' && p[1] == '\n') ? 2 : 0;
    if (blank != 0) {
      p += blank;
      ++line;
      continue;
    }
    std::vector<Cell> row;
    const int64_t first = line;
    for (bool rowEnd = false; !rowEnd;) {
      const FieldScan f = scanField(p, end);
      if (f.unterminated) return failed(std::move(r), kMsgOpenQuote, line, row.size() + 1);
      row.push_back(cellOf(f));
      line += static_cast<int64_t>(f.newlines);
      p = f.next;
      rowEnd = f.rowEnd;
    }
    ++line;
    if (header) {
      header = false;
      for (const Cell &c : row) r.names.push_back(c.text);
      r.numeric.assign(row.size(), true);
      r.maxLength.assign(row.size(), 0);
      continue;
    }
    if (row.size() != r.names.size()) {
      const size_t column = std::min(row.size(), r.names.size()) + 1;  // before r is moved
      return failed(std::move(r), kMsgRaggedRow, first, column);
    }
    for (size_t c = 0; c < row.size(); ++c) {
      r.maxLength[c] = std::max(r.maxLength[c], row[c].text.size());
      r.numeric[c] = r.numeric[c] && isNumberCell(row[c]);
    }
    r.rows.push_back(std::move(row));
    r.lines.push_back(first);
  }
  if (header) r.error = kMsgEmptyFile;
  return r;
}

// How the Cursor's value of a cell differs from the reference's, or "" when they agree.
inline std::string differs(Cursor &cur, const Cell &cell, bool numeric, int var) {
  std::ostringstream why;
  if (numeric) {
    const NumericCell want = parseNumericCell(cell.text);
    const double got = cur.number(var);
    if (want.kind == CellKind::kMissing
            ? missingLetter(got) == missingLetter(want.value)
            : std::bit_cast<uint64_t>(got) == std::bit_cast<uint64_t>(want.value))
      return "";
    why << got << " for '" << cell.text << "'";
    return why.str();
  }
  std::string want = (!cell.quoted && cell.text == ".") ? "" : cell.text;
  if (want.size() > 32767) want.resize(32767);
  if (cur.text(var) == want || (want.size() == 32767 && cur.text(var).size() < 32767)) return "";
  why << "'" << cur.text(var) << "' for '" << want << "'";
  return why.str();
}

// Opens csv with DataSet::fromText, reads it with a Cursor and compares
// everything with read(): the error (number, line, column), the types, the
// character lengths, the line and the values of every row. Returns "" when
// they agree, else what differs.
inline std::string check(const std::string &csv) {
  const Result ref = read(csv);
  std::unique_ptr<DataSet> ds;
  try {
    ds = DataSet::fromText("t.csv", csv);
  } catch (const DataError &e) {
    if (ref.error == 0) return std::string("unexpected error: ") + e.what();
    if (e.number() == ref.error && e.line() == ref.errorLine && e.column() == ref.errorColumn)
      return "";
    return std::string("error ") + e.what() + "; the reference has " + std::to_string(ref.error) +
           " at line " + std::to_string(ref.errorLine) + ", column " +
           std::to_string(ref.errorColumn);
  }
  if (ref.error != 0) return "no error, but the reference has " + std::to_string(ref.error);
  if (static_cast<size_t>(ds->variableCount()) != ref.names.size()) return "column count";
  if (static_cast<size_t>(ds->observations()) != ref.rows.size()) return "observations";
  std::vector<int> all;
  for (size_t c = 0; c < ref.names.size(); ++c) {
    const Variable &v = ds->variable(static_cast<int>(c));
    all.push_back(static_cast<int>(c));
    if (v.numeric != ref.numeric[c]) return "type of column " + std::to_string(c);
    if (!v.numeric &&
        static_cast<size_t>(v.length) != std::clamp<size_t>(ref.maxLength[c], 1, 32767))
      return "length of column " + std::to_string(c);
  }
  Cursor cur(*ds, all);
  for (size_t r = 0; r < ref.rows.size(); ++r) {
    if (!cur.advance()) return "row " + std::to_string(r) + " missing";
    if (cur.line() != ref.lines[r]) return "line of row " + std::to_string(r);
    if (cur.fault() != nullptr) {  // only an infinite value in a used numeric column
      const size_t c = static_cast<size_t>(cur.fault()->column) - 1;
      if (cur.fault()->number != kMsgInfinite || c >= ref.names.size() || !ref.numeric[c] ||
          parseNumericCell(ref.rows[r][c].text).kind != CellKind::kInfinite)
        return "row " + std::to_string(r) + ": error " + std::to_string(cur.fault()->number);
      continue;
    }
    for (size_t c = 0; c < ref.names.size(); ++c) {
      const std::string why = differs(cur, ref.rows[r][c], ref.numeric[c], static_cast<int>(c));
      if (!why.empty())
        return "row " + std::to_string(r) + " column " + std::to_string(c) + ": " + why;
    }
  }
  return cur.advance() ? "more rows than the reference" : "";
}

}  // namespace vyn::data::reference

// A plain reference reader of the CSV dialect: field by field with
// scanField and parseNumericCell, no block scan. The tests and the fuzz
// target compare DataSet::open (block scan + field scan) and the Cursor with
// it.
#pragma once

#include <algorithm>
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
  bool quoted = false;
  bool escaped = false;
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
  Cell c;
  c.quoted = f.quoted;
  c.escaped = f.quoted && f.escaped;
  if (f.quoted && f.escaped) {
    c.text.resize(f.contentLength);
    c.text.resize(unescapeField(f, c.text.data(), c.text.size()));
  } else {
    c.text = std::string(plainContent(f));
  }
  return c;
}

// A quoted value that needed unescaping reads as a number only up to 64
// bytes (the reader unescapes into a small buffer).
inline bool isNumberCell(const Cell &c, bool escaped) {
  if (escaped && c.text.size() > 64) return false;
  return parseNumericCell(c.text).kind != CellKind::kNotNumber;
}

// Reads text (header and rows). Stops at the first row error (201, 202) or
// header error (any), recording it.
inline Result read(std::string_view text) {
  Result r;
  const char *p = text.data(), *end = p + text.size();
  if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") p += 3;
  int64_t line = 1;
  bool header = true;
  while (p < end) {
    if (*p == '\n') {
      ++p;
      ++line;
      continue;
    }
    if (end - p >= 2 && p[0] == '\r' && p[1] == '\n') {
      p += 2;
      ++line;
      continue;
    }
    std::vector<Cell> row;
    int64_t first = line;
    for (;;) {
      FieldScan f = scanField(p, end);
      if (f.unterminated) {
        r.error = kMsgOpenQuote;
        r.errorLine = line;
        r.errorColumn = static_cast<int64_t>(row.size() + 1);
        return r;
      }
      row.push_back(cellOf(f));
      line += static_cast<int64_t>(f.newlines);
      p = f.next;
      if (f.rowEnd) break;
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
      r.error = kMsgRaggedRow;
      r.errorLine = first;
      r.errorColumn =
          static_cast<int64_t>(row.size() > r.names.size() ? r.names.size() + 1 : row.size() + 1);
      return r;
    }
    for (size_t c = 0; c < row.size(); ++c) {
      if (row[c].text.size() > r.maxLength[c]) r.maxLength[c] = row[c].text.size();
      if (r.numeric[c] && !isNumberCell(row[c], row[c].escaped)) r.numeric[c] = false;
    }
    r.rows.push_back(std::move(row));
    r.lines.push_back(first);
  }
  if (header) r.error = kMsgEmptyFile;
  return r;
}

// Opens csv with DataSet::fromText, reads it with a Cursor and compares
// everything with read(): the error (number, line, column), the types, the
// character lengths, the line and the values of every row. Returns "" when
// they agree, else what differs.
inline std::string check(const std::string &csv) {
  std::ostringstream why;
  Result ref = read(csv);
  std::unique_ptr<DataSet> ds;
  try {
    ds = DataSet::fromText("t.csv", csv);
  } catch (const DataError &e) {
    // the reference does not check names
    if (e.number() == kMsgInvalidName || e.number() == kMsgDuplicateName) return "";
    if (ref.error == 0) return std::string("unexpected error: ") + e.what();
    if (e.number() != ref.error || e.line() != ref.errorLine || e.column() != ref.errorColumn) {
      why << "error " << e.what() << "; the reference has " << ref.error << " at line "
          << ref.errorLine << ", column " << ref.errorColumn;
      return why.str();
    }
    return "";
  }
  if (ref.error != 0) return "no error, but the reference has " + std::to_string(ref.error);
  if (static_cast<size_t>(ds->variableCount()) != ref.names.size()) return "column count";
  if (static_cast<size_t>(ds->observations()) != ref.rows.size()) return "observations";
  std::vector<int> all;
  for (int i = 0; i < ds->variableCount(); ++i) {
    size_t c = static_cast<size_t>(i);
    all.push_back(i);
    if (ds->variable(i).numeric != ref.numeric[c]) return "type of column " + std::to_string(c);
    if (!ref.numeric[c] && static_cast<size_t>(ds->variable(i).length) !=
                               std::clamp<size_t>(ref.maxLength[c], 1, 32767))
      return "length of column " + std::to_string(c);
  }
  Cursor cur(*ds, all);
  for (size_t r = 0; r < ref.rows.size(); ++r) {
    if (!cur.next()) return "row " + std::to_string(r) + " missing";
    if (cur.line() != ref.lines[r]) return "line of row " + std::to_string(r);
    for (size_t c = 0; c < ref.names.size(); ++c) {
      const Cell &cell = ref.rows[r][c];
      int var = static_cast<int>(c);
      if (ref.numeric[c]) {
        NumericCell want = parseNumericCell(cell.text);
        double got = cur.number(var);
        bool same = want.kind == CellKind::kMissing
                        ? missingLetter(got) == missingLetter(want.value)
                        : got == want.value;
        if (!same) {
          why << "row " << r << " column " << c << ": " << got << " for '" << cell.text << "'";
          return why.str();
        }
      } else {
        std::string want = (!cell.quoted && cell.text == ".") ? "" : cell.text;
        if (want.size() > 32767) want.resize(32767);
        if (cur.text(var) != want && !(want.size() == 32767 && cur.text(var).size() < 32767)) {
          why << "row " << r << " column " << c << ": '" << cur.text(var) << "' for '" << want
              << "'";
          return why.str();
        }
      }
    }
  }
  if (cur.next()) return "more rows than the reference";
  return "";
}

}  // namespace vyn::data::reference

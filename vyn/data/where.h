// The WHERE= data-set option: a condition on the variables of each row, read
// once per step into a small tree with every name bound to its column, then
// tested on each row the cursor reads, so that nothing downstream (BY groups,
// the procedure's counts) sees a row the condition drops.
//
// The condition is written as in `data=teeth(where=(dose in (0.5, 2) and
// supp = 'VC'))`:
// - operands: numeric and character variables (by name, or as a name literal
//   'Sepal.Length'n by the header's own name), numbers, missing values (`.`,
//   `._`, `.A`-`.Z`), quoted strings, parentheses;
// - from the tightest binding: prefix `+ -`; `* /`; `+ -`; comparisons
//   (`= ^= ~= < <= > >=` or `eq ne lt le gt ge`, chained as in `1 <= x < 2`,
//   which means `1 <= x and x < 2`), `[not] in (values)`, `is [not] missing`;
//   `not`; `and`; `or`;
// - a comparison, `in` or `is missing` gives 1 or 0; a number stands as a
//   condition when it is neither 0 nor missing;
// - missing values order below every number, `._` < `.` < `.A` < ... < `.Z`,
//   so `x = .` holds only for the ordinary missing value and `x < 0` holds for
//   every missing value; `x is missing` holds for all of them;
// - arithmetic with a missing operand, a division by zero or an overflow gives
//   the ordinary missing value `.`;
// - characters compare byte by byte as if the shorter one were padded with
//   blanks, so trailing blanks do not count; a blank value equals '' and is
//   missing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vyn::data {

class Cursor;

// Message numbers of group 210 (vyn/catalog/where.msg); every fault begins
// with the line and column (%1, %2) of the place it is about.
enum WhereMessage : int {
  kMsgWhereSyntax = 300,      // %3 what was found, %4 what fits there
  kMsgWhereUnknown = 301,     // %3 variable
  kMsgWhereMixed = 302,       // %3 operator
  kMsgWhereNotNumeric = 303,  // %3 operand, %4 operator
  kMsgWhereCondition = 304,   // %3 operand
  kMsgWhereDeep = 305,        // %3 the deepest nesting allowed
  kMsgWhereOption = 306,      // %3 option
  kMsgWhereTwice = 307,       // (no inserts)
  kMsgWhereNumber = 308,      // %3 number
};

// A fault of a data-set option list: its message, the offset in the text
// that the place is about, and the inserts after line and column.
struct WhereFault {
  int message;
  size_t offset;
  std::vector<std::string> inserts;
  // Names a variable the data set lacks or mixes types, rather than syntax.
  bool aboutVariables() const {
    return message >= kMsgWhereUnknown && message <= kMsgWhereCondition;
  }
};

// A variable as a condition sees it: its number (-1 when there is none).
struct WhereVariable {
  int number = -1;
  bool numeric = true;
};
// Finds a variable by its name, or for a name literal ('Sepal.Length'n,
// `literal` true) by the header's own name or its name.
using WhereLookup = std::function<WhereVariable(std::string_view name, bool literal)>;

// A number or a text of a condition written in SQL, bound to its "?".
struct SqlValue {
  bool numeric = true;
  double number = 0;
  std::string text;
};

class Where {
 public:
  // The WHERE= of a data-set option list ("where=(x > 1)", the text between
  // the parentheses after the data set name), or nullptr when the list is
  // empty. Any other option is refused. Throws WhereFault.
  static std::unique_ptr<Where> fromOptions(std::string_view options, const WhereLookup &find);

  // The variables the condition reads, each once.
  const std::vector<int> &columns() const { return columns_; }

  // Whether the cursor's row is kept. Rows are counted once each, the first
  // time they are tested, so a group read again does not count twice; call
  // it in file order.
  bool keep(const Cursor &row);
  int64_t kept() const { return kept_; }
  // For a source that applied the condition itself: the rows up to number
  // `rows` were tested, and the last of them was kept when `lastKept`.
  void countApplied(int64_t rows, bool lastKept);

  // The condition as an SQL expression that gives 1 or 0, never NULL, for
  // every row, as keep() decides, where NULL is the only missing value:
  // `column` gives a variable's column as an SQL identifier, or "" when it
  // cannot stand for the variable (values cut when read); the numbers and
  // texts are appended to `values`, the first as parameter ?first+1 (written
  // "?N"). Empty when a part has no
  // such SQL form (arithmetic, comparing two variables, ordering texts,
  // missing-value constants, a number as the condition).
  std::string sql(const std::function<std::string(int var)> &column, std::vector<SqlValue> &values,
                  int first) const;
  int64_t tested() const { return tested_; }

  ~Where();
  Where(const Where &) = delete;
  Where &operator=(const Where &) = delete;

 private:
  struct Node;

  Where();
  double number(int node, const Cursor &row) const;
  std::string_view text(int node, const Cursor &row) const;
  bool holds(const Cursor &row) const;
  std::string sqlTest(int node, const std::function<std::string(int)> &column,
                      std::vector<SqlValue> &values, int first) const;
  std::string sqlText(int node, const std::function<std::string(int)> &column,
                      std::vector<SqlValue> &values, int first) const;

  std::vector<Node> nodes_;
  std::vector<int> elements_;  // the values of IN lists, as node numbers
  std::string literals_;       // the quoted strings, end to end
  std::vector<int> columns_;
  int root_ = -1;
  int64_t lastRow_ = 0;
  int64_t kept_ = 0;
  int64_t tested_ = 0;

  friend class WhereParser;
};

}  // namespace vyn::data

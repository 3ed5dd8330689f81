#include "vyn/data/where.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <unordered_set>

#include "vyn/core/chars.h"
#include "vyn/data/cursor.h"
#include "vyn/data/missing.h"

namespace vyn::data {

namespace {

// Deeper conditions are refused: evaluation recurses once per level.
constexpr int kMaxDepth = 256;

constexpr double kDot = missingValue('.');

enum class Op : uint8_t {
  kNumVar,
  kCharVar,
  kNumber,
  kChars,
  kNegate,
  kAdd,
  kSubtract,
  kMultiply,
  kDivide,
  kCompareNumbers,
  kCompareChars,
  kInNumbers,
  kInChars,
  kMissingNumber,
  kMissingChars,
  kNot,
  kAnd,
  kOr,
};

enum class Rel : uint8_t { kEq, kNe, kLt, kLe, kGt, kGe };

bool relationHolds(Rel rel, int c) {
  switch (rel) {
    case Rel::kEq:
      return c == 0;
    case Rel::kNe:
      return c != 0;
    case Rel::kLt:
      return c < 0;
    case Rel::kLe:
      return c <= 0;
    case Rel::kGt:
      return c > 0;
    case Rel::kGe:
      return c >= 0;
  }
  return false;
}

bool truth(double v) {
  return v == v && v != 0;
}

// Byte order with the shorter value padded with blanks.
int compareBlankPadded(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  const int c = n > 0 ? std::memcmp(a.data(), b.data(), n) : 0;
  if (c != 0) return c;
  const std::string_view rest = a.size() > n ? a.substr(n) : b.substr(n);
  const int sign = a.size() > n ? 1 : -1;
  for (unsigned char ch : rest) {
    if (ch != ' ') return ch < ' ' ? -sign : sign;
  }
  return 0;
}

bool isBlankText(std::string_view s) {
  return s.find_first_not_of(' ') == std::string_view::npos;
}

double arithmetic(Op op, double a, double b) {
  if (isMissing(a) || isMissing(b)) return kDot;
  double r = 0;
  switch (op) {
    case Op::kAdd:
      r = a + b;
      break;
    case Op::kSubtract:
      r = a - b;
      break;
    case Op::kMultiply:
      r = a * b;
      break;
    default:
      if (b == 0) return kDot;
      r = a / b;
      break;
  }
  return std::isfinite(r) ? r : kDot;
}

std::string upper(std::string_view s) {
  std::string out(s);
  for (char &c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

struct Where::Node {
  Op op;
  Rel rel = Rel::kEq;
  bool numeric = true;        // what the node gives: a number or characters
  int a = -1, b = -1;         // operands
  int var = -1;               // variables
  double value = 0;           // numbers
  uint32_t from = 0;          // quoted strings: offset in literals_; lists: first in elements_
  uint32_t count = 0;         // their length
  size_t start = 0, end = 0;  // where it is written
  int depth = 1;
};

Where::Where() = default;
Where::~Where() = default;

// ---------------------------------------------------------------- reading

class WhereParser {
 public:
  WhereParser(std::string_view text, const WhereLookup &find, Where &out)
      : text_(text), find_(find), w_(out) {
    advance();
  }
  bool options();

 private:
  using Node = Where::Node;
  enum class Kind { kEnd, kName, kNumber, kMissing, kString, kSymbol };
  struct Token {
    Kind kind = Kind::kEnd;
    size_t start = 0, end = 0;
    std::string word;      // names and symbols in upper case
    double value = 0;      // numbers and missing values
    std::string chars;     // quoted strings and name literals
    bool literal = false;  // a name literal 'Sepal.Length'n: a name whose text is in chars
  };

  [[noreturn]] void fault(int message, size_t at, std::vector<std::string> inserts = {}) const {
    throw WhereFault{message, at, std::move(inserts)};
  }
  [[noreturn]] void unexpected(const std::string &fits) const {
    const std::string found =
        tok_.kind == Kind::kEnd ? "the end of the data set options" : "\"" + written(tok_) + "\"";
    fault(kMsgWhereSyntax, tok_.start, {found, fits});
  }
  std::string written(const Token &t) const {
    return std::string(text_.substr(t.start, t.end - t.start));
  }
  std::string written(const Node &n) const {
    return std::string(text_.substr(n.start, n.end - n.start));
  }

  char at(size_t i) const { return i < text_.size() ? text_[i] : '\0'; }
  void advance();
  void scanNumber(size_t from);
  void scanDot();
  void scanString();
  void scanSymbol();
  bool isSymbol(const char *s) const { return tok_.kind == Kind::kSymbol && tok_.word == s; }
  bool isWord(const char *s) const { return tok_.kind == Kind::kName && tok_.word == s; }
  void expectSymbol(const char *s, const std::string &fits) {
    if (!isSymbol(s)) unexpected(fits);
    advance();
  }

  int add(Node n);
  int binary(Op op, int a, int b, size_t start, size_t end);
  int list(Op op, const std::vector<int> &items);
  void requireNumeric(int node, const std::string &op) const;
  void requireSameType(int a, int b, const std::string &op, size_t at) const;
  int nested(size_t at, int (WhereParser::*rule)());

  int orExpr();
  int andExpr();
  int notExpr();
  int comparison();
  int inList(int left, bool negated);
  bool relation(Rel &rel) const;
  int sum();
  int product();
  int unary();
  int primary();
  int constant();

  std::string_view text_;
  const WhereLookup &find_;
  Where &w_;
  Token tok_;
  int nesting_ = 0;
  std::unordered_set<int> read_;  // the variables in columns_
};

void WhereParser::advance() {
  size_t i = tok_.end;
  while (i < text_.size() && std::isspace(static_cast<unsigned char>(text_[i]))) ++i;
  tok_ = Token{};
  tok_.start = tok_.end = i;
  if (i >= text_.size()) return;
  const char c = text_[i];
  if (isNameStart(c)) {
    while (isNameChar(at(tok_.end))) ++tok_.end;
    tok_.kind = Kind::kName;
    tok_.word = upper(text_.substr(i, tok_.end - i));
  } else if (isDigit(c) || (c == '.' && isDigit(at(i + 1)))) {
    scanNumber(i);
  } else if (c == '.') {
    scanDot();
  } else if (c == '\'' || c == '"') {
    scanString();
  } else {
    scanSymbol();
  }
}

void WhereParser::scanNumber(size_t i) {
  while (isDigit(at(i))) ++i;
  if (at(i) == '.') {
    ++i;
    while (isDigit(at(i))) ++i;
  }
  const char sign = at(i + 1);
  if ((at(i) == 'e' || at(i) == 'E') &&
      (isDigit(sign) || ((sign == '+' || sign == '-') && isDigit(at(i + 2))))) {
    i += 2;
    while (isDigit(at(i))) ++i;
  }
  tok_.end = i;
  tok_.kind = Kind::kNumber;
  const char *first = text_.data() + tok_.start;
  auto [end, ec] = std::from_chars(first, text_.data() + i, tok_.value);
  if (ec != std::errc() || end != text_.data() + i || !std::isfinite(tok_.value)) {
    fault(kMsgWhereNumber, tok_.start, {written(tok_)});
  }
  if (isNameChar(at(i))) {  // "2x" is neither a number nor a name
    while (isNameChar(at(tok_.end))) ++tok_.end;
    unexpected("a number, a variable or an operator");
  }
}

// ".", "._" and ".A" to ".Z" (in either case) are missing values.
void WhereParser::scanDot() {
  size_t i = tok_.start + 1;
  while (isNameChar(at(i))) ++i;
  tok_.end = i;
  tok_.kind = Kind::kMissing;
  if (i - tok_.start > 2 || (i - tok_.start == 2 && isDigit(at(tok_.start + 1)))) {
    unexpected("a missing value: ., ._ or .A to .Z");
  }
  tok_.value = i - tok_.start == 2 ? missingValue(at(tok_.start + 1)) : kDot;
}

void WhereParser::scanString() {
  const char quote = text_[tok_.start];
  size_t i = tok_.start + 1;
  for (;;) {
    if (i >= text_.size()) {
      tok_.end = i;
      fault(kMsgWhereSyntax, tok_.start,
            {"a string without its closing quote", "the closing quote"});
    }
    if (text_[i] == quote) {
      if (at(i + 1) != quote) break;
      ++i;
    }
    tok_.chars += text_[i++];
  }
  tok_.end = i + 1;
  tok_.kind = Kind::kString;
  const char suffix = at(tok_.end);
  if ((suffix == 'n' || suffix == 'N') && !isNameChar(at(tok_.end + 1))) {
    ++tok_.end;
    tok_.kind = Kind::kName;
    tok_.literal = true;
  }
}

void WhereParser::scanSymbol() {
  static const char *const kSymbols[] = {"^=", "~=", "<=", ">=", "=", "<", ">",
                                         "+",  "-",  "*",  "/",  "(", ")", ","};
  for (const char *s : kSymbols) {
    const size_t n = std::strlen(s);
    if (text_.substr(tok_.start, n) == s) {
      tok_.kind = Kind::kSymbol;
      tok_.word = s;
      tok_.end = tok_.start + n;
      return;
    }
  }
  tok_.end = tok_.start + 1;
  while (tok_.end < text_.size() && (static_cast<unsigned char>(text_[tok_.end]) & 0xC0) == 0x80)
    ++tok_.end;  // the rest of a UTF-8 character
  tok_.kind = Kind::kSymbol;
  unexpected("an operator, a value or a parenthesis");
}

int WhereParser::add(Node n) {
  for (int child : {n.a, n.b}) {
    if (child >= 0) n.depth = std::max(n.depth, w_.nodes_[static_cast<size_t>(child)].depth + 1);
  }
  if (n.depth > kMaxDepth) fault(kMsgWhereDeep, n.start, {std::to_string(kMaxDepth)});
  w_.nodes_.push_back(n);
  return static_cast<int>(w_.nodes_.size()) - 1;
}

int WhereParser::binary(Op op, int a, int b, size_t start, size_t end) {
  Node n{op};
  n.a = a;
  n.b = b;
  n.start = start;
  n.end = end;
  return add(n);
}

// An AND or OR of several conditions: one node, however many there are.
int WhereParser::list(Op op, const std::vector<int> &items) {
  if (items.size() == 1) return items[0];
  Node n{op};
  n.from = static_cast<uint32_t>(w_.elements_.size());
  n.count = static_cast<uint32_t>(items.size());
  n.start = w_.nodes_[static_cast<size_t>(items.front())].start;
  n.end = w_.nodes_[static_cast<size_t>(items.back())].end;
  for (int item : items) {
    n.depth = std::max(n.depth, w_.nodes_[static_cast<size_t>(item)].depth + 1);
    w_.elements_.push_back(item);
  }
  return add(n);
}

void WhereParser::requireNumeric(int node, const std::string &op) const {
  const Node &n = w_.nodes_[static_cast<size_t>(node)];
  if (!n.numeric) fault(kMsgWhereNotNumeric, n.start, {written(n), op});
}

void WhereParser::requireSameType(int a, int b, const std::string &op, size_t at) const {
  if (w_.nodes_[static_cast<size_t>(a)].numeric != w_.nodes_[static_cast<size_t>(b)].numeric) {
    fault(kMsgWhereMixed, at, {op});
  }
}

// A rule entered again inside itself (parentheses, NOT, a sign): the
// nesting is bounded so that reading cannot exhaust the stack.
int WhereParser::nested(size_t at, int (WhereParser::*rule)()) {
  if (++nesting_ > kMaxDepth) fault(kMsgWhereDeep, at, {std::to_string(kMaxDepth)});
  const int node = (this->*rule)();
  --nesting_;
  return node;
}

bool WhereParser::options() {
  bool seen = false;
  while (tok_.kind != Kind::kEnd) {
    if (tok_.kind != Kind::kName) unexpected("a data set option, such as WHERE=(x > 1)");
    const Token name = tok_;
    if (name.word != "WHERE") fault(kMsgWhereOption, name.start, {name.word});
    if (seen) fault(kMsgWhereTwice, name.start);
    seen = true;
    advance();
    expectSymbol("=", "= after WHERE");
    expectSymbol("(", "the condition in parentheses, as in WHERE=(x > 1)");
    w_.root_ = orExpr();
    expectSymbol(")", "an operator such as AND, OR, = or +, or ) to end the condition");
    const Node &root = w_.nodes_[static_cast<size_t>(w_.root_)];
    if (!root.numeric) fault(kMsgWhereCondition, root.start, {written(root)});
  }
  return seen;
}

int WhereParser::orExpr() {
  std::vector<int> items{andExpr()};
  while (isWord("OR")) {
    requireNumeric(items.back(), "OR");
    advance();
    items.push_back(andExpr());
    requireNumeric(items.back(), "OR");
  }
  return list(Op::kOr, items);
}

int WhereParser::andExpr() {
  std::vector<int> items{notExpr()};
  while (isWord("AND")) {
    requireNumeric(items.back(), "AND");
    advance();
    items.push_back(notExpr());
    requireNumeric(items.back(), "AND");
  }
  return list(Op::kAnd, items);
}

int WhereParser::notExpr() {
  if (!isWord("NOT")) return comparison();
  const size_t start = tok_.start;
  advance();
  const int operand = nested(start, &WhereParser::notExpr);
  requireNumeric(operand, "NOT");
  return binary(Op::kNot, operand, -1, start, w_.nodes_[static_cast<size_t>(operand)].end);
}

bool WhereParser::relation(Rel &rel) const {
  static const std::pair<const char *, Rel> kRelations[] = {
      {"=", Rel::kEq},  {"EQ", Rel::kEq}, {"^=", Rel::kNe}, {"~=", Rel::kNe}, {"NE", Rel::kNe},
      {"<", Rel::kLt},  {"LT", Rel::kLt}, {"<=", Rel::kLe}, {"LE", Rel::kLe}, {">", Rel::kGt},
      {"GT", Rel::kGt}, {">=", Rel::kGe}, {"GE", Rel::kGe}};
  if (tok_.kind != Kind::kSymbol && tok_.kind != Kind::kName) return false;
  for (const auto &[word, r] : kRelations) {
    if (tok_.word == word) {
      rel = r;
      return true;
    }
  }
  return false;
}

// "a < b < c" means "a < b and b < c".
int WhereParser::comparison() {
  const int left = sum();
  if (isWord("IS")) {
    advance();
    const bool negated = isWord("NOT");
    if (negated) advance();
    if (!isWord("MISSING")) unexpected("MISSING or NOT MISSING");
    const Node l = w_.nodes_[static_cast<size_t>(left)];  // a copy: adding nodes moves them
    const int test =
        binary(l.numeric ? Op::kMissingNumber : Op::kMissingChars, left, -1, l.start, tok_.end);
    advance();
    return negated ? binary(Op::kNot, test, -1, l.start, w_.nodes_.back().end) : test;
  }
  if (isWord("NOT") || isWord("IN")) {
    const bool negated = isWord("NOT");
    if (negated) {
      advance();
      if (!isWord("IN")) unexpected("IN after NOT");
    }
    advance();
    const int test = inList(left, negated);
    const Node &t = w_.nodes_[static_cast<size_t>(test)];
    return negated ? binary(Op::kNot, test, -1, t.start, t.end) : test;
  }
  std::vector<int> tests;
  int operand = left;
  Rel rel;
  while (relation(rel)) {
    const Token op = tok_;
    advance();
    const int right = sum();
    requireSameType(operand, right, written(op), op.start);
    const bool numeric = w_.nodes_[static_cast<size_t>(operand)].numeric;
    Node n{numeric ? Op::kCompareNumbers : Op::kCompareChars};
    n.rel = rel;
    n.a = operand;
    n.b = right;
    n.start = w_.nodes_[static_cast<size_t>(operand)].start;
    n.end = w_.nodes_[static_cast<size_t>(right)].end;
    tests.push_back(add(n));
    operand = right;
  }
  return tests.empty() ? left : list(Op::kAnd, tests);
}

// The values of "x in (1, 2, 3)": constants, separated by commas or blanks.
int WhereParser::inList(int left, bool negated) {
  const std::string op = negated ? "NOT IN" : "IN";
  expectSymbol("(", "a list of values in parentheses, such as (1, 2)");
  const Node l = w_.nodes_[static_cast<size_t>(left)];  // a copy: adding nodes moves them
  Node n{l.numeric ? Op::kInNumbers : Op::kInChars};
  n.a = left;
  n.start = l.start;
  n.from = static_cast<uint32_t>(w_.elements_.size());
  std::vector<int> values;
  do {
    if (isSymbol(",")) advance();
    const size_t start = tok_.start;
    const int value = constant();
    requireSameType(left, value, op, start);
    values.push_back(value);
  } while (!isSymbol(")"));
  n.end = tok_.end;
  advance();
  n.count = static_cast<uint32_t>(values.size());
  w_.elements_.insert(w_.elements_.end(), values.begin(), values.end());
  return add(n);
}

int WhereParser::constant() {
  Node n{Op::kNumber};
  n.start = tok_.start;
  double sign = 1;
  if (isSymbol("-") || isSymbol("+")) {
    sign = isSymbol("-") ? -1 : 1;
    advance();
    if (tok_.kind != Kind::kNumber) unexpected("a number after the sign");
  }
  switch (tok_.kind) {
    case Kind::kNumber:
      n.value = sign * tok_.value;
      break;
    case Kind::kMissing:
      n.value = tok_.value;
      break;
    case Kind::kString:
      n.op = Op::kChars;
      n.numeric = false;
      n.from = static_cast<uint32_t>(w_.literals_.size());
      n.count = static_cast<uint32_t>(tok_.chars.size());
      w_.literals_ += tok_.chars;
      break;
    default:
      unexpected("a number, a missing value or a quoted string");
  }
  n.end = tok_.end;
  advance();
  return add(n);
}

int WhereParser::sum() {
  int left = product();
  while (isSymbol("+") || isSymbol("-")) {
    const std::string op = tok_.word;
    requireNumeric(left, op);
    advance();
    const int right = product();
    requireNumeric(right, op);
    left = binary(op == "+" ? Op::kAdd : Op::kSubtract, left, right,
                  w_.nodes_[static_cast<size_t>(left)].start,
                  w_.nodes_[static_cast<size_t>(right)].end);
  }
  return left;
}

int WhereParser::product() {
  int left = unary();
  while (isSymbol("*") || isSymbol("/")) {
    const std::string op = tok_.word;
    requireNumeric(left, op);
    advance();
    const int right = unary();
    requireNumeric(right, op);
    left = binary(op == "*" ? Op::kMultiply : Op::kDivide, left, right,
                  w_.nodes_[static_cast<size_t>(left)].start,
                  w_.nodes_[static_cast<size_t>(right)].end);
  }
  return left;
}

int WhereParser::unary() {
  if (!isSymbol("-") && !isSymbol("+")) return primary();
  const Token sign = tok_;
  advance();
  const int operand = nested(sign.start, &WhereParser::unary);
  requireNumeric(operand, sign.word);
  if (sign.word == "+") return operand;
  return binary(Op::kNegate, operand, -1, sign.start, w_.nodes_[static_cast<size_t>(operand)].end);
}

int WhereParser::primary() {
  static const char *const kReserved[] = {"AND", "OR", "NOT", "IN", "IS", "EQ",
                                          "NE",  "LT", "LE",  "GT", "GE"};
  if (isSymbol("(")) {
    const size_t start = tok_.start;
    advance();
    const int inner = nested(start, &WhereParser::orExpr);
    expectSymbol(")", "an operator such as AND, OR, = or +, or ) to close the parenthesis");
    return inner;
  }
  const bool reserved =
      tok_.kind == Kind::kName && !tok_.literal &&
      std::find(std::begin(kReserved), std::end(kReserved), tok_.word) != std::end(kReserved);
  if (tok_.kind != Kind::kName || reserved) {
    if (tok_.kind == Kind::kNumber || tok_.kind == Kind::kMissing || tok_.kind == Kind::kString)
      return constant();
    unexpected("a variable, a number, a missing value or a quoted string");
  }
  const WhereVariable v = tok_.literal
                              ? find_(tok_.chars, true)
                              : find_(text_.substr(tok_.start, tok_.end - tok_.start), false);
  if (v.number < 0) fault(kMsgWhereUnknown, tok_.start, {written(tok_)});
  Node n{v.numeric ? Op::kNumVar : Op::kCharVar};
  n.numeric = v.numeric;
  n.var = v.number;
  n.start = tok_.start;
  n.end = tok_.end;
  if (read_.insert(v.number).second) w_.columns_.push_back(v.number);
  advance();
  return add(n);
}

std::unique_ptr<Where> Where::fromOptions(std::string_view options, const WhereLookup &find) {
  std::unique_ptr<Where> where(new Where());
  if (!WhereParser(options, find, *where).options()) return nullptr;
  return where;
}

// ---------------------------------------------------------------- testing rows

double Where::number(int node, const Cursor &row) const {
  const Node &n = nodes_[static_cast<size_t>(node)];
  switch (n.op) {
    case Op::kNumVar:
      return row.number(n.var);
    case Op::kNumber:
      return n.value;
    case Op::kNegate: {
      const double v = number(n.a, row);
      return isMissing(v) ? kDot : -v;
    }
    case Op::kAdd:
    case Op::kSubtract:
    case Op::kMultiply:
    case Op::kDivide:
      return arithmetic(n.op, number(n.a, row), number(n.b, row));
    case Op::kCompareNumbers:
      return relationHolds(n.rel, compareNumbers(number(n.a, row), number(n.b, row)));
    case Op::kCompareChars:
      return relationHolds(n.rel, compareBlankPadded(text(n.a, row), text(n.b, row)));
    case Op::kInNumbers: {
      const double v = number(n.a, row);
      for (uint32_t i = 0; i < n.count; ++i) {
        if (compareNumbers(v, nodes_[static_cast<size_t>(elements_[n.from + i])].value) == 0)
          return 1;
      }
      return 0;
    }
    case Op::kInChars: {
      const std::string_view v = text(n.a, row);
      for (uint32_t i = 0; i < n.count; ++i) {
        if (compareBlankPadded(v, text(elements_[n.from + i], row)) == 0) return 1;
      }
      return 0;
    }
    case Op::kMissingNumber:
      return isMissing(number(n.a, row));
    case Op::kMissingChars:
      return isBlankText(text(n.a, row));
    case Op::kNot:
      return !truth(number(n.a, row));
    case Op::kAnd:
    case Op::kOr: {
      const bool stopAt = n.op == Op::kOr;  // the value that decides
      for (uint32_t i = 0; i < n.count; ++i) {
        if (truth(number(elements_[n.from + i], row)) == stopAt) return stopAt;
      }
      return !stopAt;
    }
    default:
      return kDot;
  }
}

std::string_view Where::text(int node, const Cursor &row) const {
  const Node &n = nodes_[static_cast<size_t>(node)];
  if (n.op == Op::kCharVar) return row.text(n.var);
  return std::string_view(literals_).substr(n.from, n.count);
}

bool Where::holds(const Cursor &row) const {
  return truth(number(root_, row));
}

bool Where::keep(const Cursor &row) {
  const bool kept = holds(row);
  if (row.rowNumber() > lastRow_) {
    lastRow_ = row.rowNumber();
    ++tested_;
    kept_ += kept ? 1 : 0;
  }
  return kept;
}

// ---------------------------------------------------------------- SQL

void Where::countApplied(int64_t rows, bool lastKept) {
  if (rows <= lastRow_) return;
  tested_ += rows - lastRow_;
  kept_ += lastKept ? 1 : 0;
  lastRow_ = rows;
}

namespace {

const char *sqlRelation(Rel rel) {
  static const char *const kWritten[] = {"=", "<>", "<", "<=", ">", ">="};
  return kWritten[static_cast<size_t>(rel)];
}

}  // namespace

std::string Where::sql(const std::function<std::string(int)> &column, std::vector<SqlValue> &values,
                       int first) const {
  const size_t before = values.size();
  std::string text = sqlTest(root_, column, values, first);
  if (text.empty()) values.resize(before);
  return text;
}

// A character operand: the value without trailing blanks, '' for NULL.
std::string Where::sqlText(int node, const std::function<std::string(int)> &column,
                           std::vector<SqlValue> &values, int first) const {
  const Node &n = nodes_[static_cast<size_t>(node)];
  if (n.op == Op::kChars) {
    const std::string_view literal = std::string_view(literals_).substr(n.from, n.count);
    values.push_back({false, 0, std::string(withoutTrailingBlanks(literal))});
    return "?" + std::to_string(first + static_cast<int>(values.size()));
  }
  const std::string c = n.op == Op::kCharVar ? column(n.var) : std::string();
  return c.empty() ? c : "coalesce(rtrim(CAST(" + c + " AS TEXT), ' '), '')";
}

// A test as 1 or 0. A numeric variable is compared only with numbers, where
// a missing value (NULL) orders below every number, so coalesce() gives what
// the test makes of it.
std::string Where::sqlTest(int node, const std::function<std::string(int)> &column,
                           std::vector<SqlValue> &values, int first) const {
  const Node &n = nodes_[static_cast<size_t>(node)];
  auto numericColumn = [&](int i) -> std::string {
    const Node &m = nodes_[static_cast<size_t>(i)];
    return m.op == Op::kNumVar ? column(m.var) : std::string();
  };
  auto number = [&](int i) -> std::string {
    const Node &m = nodes_[static_cast<size_t>(i)];
    if (m.op != Op::kNumber || isMissing(m.value)) return {};
    values.push_back({true, m.value, {}});
    return "?" + std::to_string(first + static_cast<int>(values.size()));
  };
  auto joined = [&](Op each, uint32_t from, uint32_t count, const char *between) -> std::string {
    std::string out;
    for (uint32_t i = 0; i < count; ++i) {
      const int item = elements_[from + i];
      const std::string part =
          each == Op::kNumber ? number(item) : sqlText(item, column, values, first);
      if (part.empty()) return {};
      out += (i > 0 ? between : "") + part;
    }
    return out;
  };
  switch (n.op) {
    case Op::kCompareNumbers: {
      const bool variableFirst = nodes_[static_cast<size_t>(n.a)].op == Op::kNumVar;
      const std::string c = numericColumn(variableFirst ? n.a : n.b);
      const std::string constant = c.empty() ? c : number(variableFirst ? n.b : n.a);
      if (constant.empty()) return {};
      const std::string value = "CAST(" + c + " AS REAL)";
      const std::string relation = std::string(" ") + sqlRelation(n.rel) + " ";
      const std::string test =
          variableFirst ? value + relation + constant : constant + relation + value;
      return "coalesce(" + test + ", " +
             (relationHolds(n.rel, variableFirst ? -1 : 1) ? "1" : "0") + ")";
    }
    case Op::kCompareChars: {
      if (n.rel != Rel::kEq && n.rel != Rel::kNe) return {};
      const std::string a = sqlText(n.a, column, values, first);
      const std::string b = a.empty() ? a : sqlText(n.b, column, values, first);
      return b.empty() ? b : "(" + a + " " + sqlRelation(n.rel) + " " + b + ")";
    }
    case Op::kInNumbers: {
      const std::string c = numericColumn(n.a);
      const std::string list = c.empty() ? c : joined(Op::kNumber, n.from, n.count, ", ");
      return list.empty() ? list : "coalesce(CAST(" + c + " AS REAL) IN (" + list + "), 0)";
    }
    case Op::kInChars: {
      const std::string a = sqlText(n.a, column, values, first);
      const std::string list = a.empty() ? a : joined(Op::kChars, n.from, n.count, ", ");
      return list.empty() ? list : "(" + a + " IN (" + list + "))";
    }
    case Op::kMissingNumber: {
      const std::string c = numericColumn(n.a);
      return c.empty() ? c : "(" + c + " IS NULL)";
    }
    case Op::kMissingChars: {
      const std::string a = sqlText(n.a, column, values, first);
      return a.empty() ? a : "(" + a + " = '')";
    }
    case Op::kNot: {
      const std::string a = sqlTest(n.a, column, values, first);
      return a.empty() ? a : "(NOT " + a + ")";
    }
    case Op::kAnd:
    case Op::kOr: {
      std::string out;
      for (uint32_t i = 0; i < n.count; ++i) {
        const std::string part = sqlTest(elements_[n.from + i], column, values, first);
        if (part.empty()) return {};
        out += (i > 0 ? (n.op == Op::kAnd ? " AND " : " OR ") : "") + part;
      }
      return "(" + out + ")";
    }
    default:
      return {};
  }
}

}  // namespace vyn::data

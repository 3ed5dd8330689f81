// Inputs large enough that any linear step per token or per name would take
// minutes; each must still give the exact result, worked out by hand.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "src/krvstg.h"
#include "vyn/data/dataset.h"
#include "vyn/data/error.h"
#include "vyn/data/where.h"
#include "vyn/parse/parser.h"

namespace {

constexpr size_t kWide = 100000;

// Numeric variables x1..xN (numbers 0..N-1).
class WideData : public vyn::ParseHost {
 public:
  explicit WideData(size_t columns) {
    for (size_t i = 1; i <= columns; ++i) vars_.push_back({"x" + std::to_string(i), true});
  }
  void *openDataSet(std::string_view, bool) override { return this; }
  void *defaultDataSet() override { return this; }
  const std::vector<vyn::VariableRef> &variables(void *) override { return vars_; }
  void setByRequest(void *, const vyn::ByRequest &) override {}
  void setWhere(void *, std::unique_ptr<vyn::data::Where>) override {}

 private:
  std::vector<vyn::VariableRef> vars_;
};

struct WideCase {
  const char *what;
  std::function<std::string()> statement;  // a VAR statement
  size_t count;                            // variables it puts in the VAR list
  std::function<int(size_t)> element;      // the i-th of them
  const char *message;                     // the one message expected, or ""
};

// The statement starts at line 3, column 9 of the program.
std::string longStatement() {
  std::string text = "VAR";
  for (size_t i = 0; i < 2 * kWide; ++i) {
    if (i % 10 == 0) text += '\n';
    text += " x" + std::to_string(i * 7919 % kWide + 1);
  }
  return text + "\n  x0";
}

const WideCase kWideCases[] = {
    // 20,000 lines of ten names, then "x0" on the next line after two blanks.
    {"200,000 scattered names", longStatement, 2 * kWide,
     [](size_t i) { return static_cast<int>(i * 7919 % kWide); },
     "Line 20004, column 3: variable x0 is not in the input data set. Check its spelling or the "
     "DATA= option."},
    {"a numbered range over every column", [] { return "VAR x1-X100000"; }, kWide,
     [](size_t i) { return static_cast<int>(i); }, ""},
    {"a numbered range past the last column", [] { return "VAR x2-x100001"; }, 0, nullptr,
     "Line 3, column 13: variable x100001 is not in the input data set. Check its spelling or the "
     "DATA= option."},
    // x1000, x10000..x10009 and x100000, in data set order (not in the
    // order of their names).
    {"a prefix", [] { return "VAR X1000:"; }, 12,
     [](size_t i) { return i == 0    ? 999
                           : i == 11 ? 99999
                                     : static_cast<int>(9998 + i); }, ""},
    {"_ALL_", [] { return "var _all_"; }, kWide, [](size_t i) { return static_cast<int>(i); }, ""},
};

TEST(WideInputs, ExpandExactlyAndReportWhereTheFaultIs) {
  WideData data(kWide);
  for (const WideCase &c : kWideCases) {
    SCOPED_TRACE(c.what);
    vyn::StepContext step;
    step.parseHost = &data;
    step.statements = {{"PROC KRAVO", 1, 1}, {c.statement(), 3, 9}};
    vyn::StepParse parse;
    const int status = vyn::parseStep(step, parse, krv_pc, 0);
    std::vector<std::string> log;
    for (const vyn::LogEntry &e : step.log.entries()) log.push_back(e.text);
    EXPECT_EQ(status, *c.message == '\0' ? 0 : 1008);
    EXPECT_EQ(
        log, *c.message == '\0' ? std::vector<std::string>{} : std::vector<std::string>{c.message});
    const vynstmt::StmtSlot &list = parse.block().slots[1];
    ASSERT_EQ(static_cast<size_t>(list.count), c.count);
    size_t wrong = 0;
    for (size_t i = 0; i < c.count; ++i) wrong += list.elements[i] != c.element(i);
    EXPECT_EQ(wrong, 0u);
  }
}

std::string header(size_t columns, const std::string &last) {
  std::string text;
  for (size_t i = 1; i <= columns; ++i) text += "c" + std::to_string(i) + ",";
  return text + last + "\n";
}

TEST(WideHeader, FindsEveryNameAndTheOneDuplicate) {
  const auto ds = vyn::data::DataSet::fromText("w.csv", header(kWide, "last") + header(kWide, "1"));
  EXPECT_EQ(ds->variableCount(), static_cast<int>(kWide + 1));
  EXPECT_EQ(ds->findVariable("C100000"), 99999);
  EXPECT_EQ(ds->findVariable("LAST"), 100000);
  EXPECT_EQ(ds->findVariable("c0"), -1);
  const auto dup = vyn::data::DataSet::fromText("d.csv", header(kWide, "C99999"));
  EXPECT_EQ(dup->variable(static_cast<int>(kWide)).name, "C99999_2");
}

}  // namespace

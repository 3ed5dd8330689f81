// The WHERE= condition on the rows of where.csv: the rows each condition
// keeps (where_cases.inc, from where_cases.R), BY groups of the kept rows,
// and the place and message of each fault.
#include "vyn/data/where.h"

#include <gtest/gtest.h>

#include "vyn/data/cursor.h"
#include "vyn/data/dataset.h"

namespace {

using namespace vyn::data;

std::unique_ptr<DataSet> whereData() {
  return DataSet::open(std::string(VYN_SOURCE_DIR) + "/tests/data/where.csv");
}

std::unique_ptr<Where> compile(const DataSet &ds, const std::string &options) {
  return Where::fromOptions(options, [&ds](std::string_view name, bool) {
    const int v = ds.findVariable(name);
    return WhereVariable{v, v < 0 || ds.variable(v).numeric};
  });
}

struct Kept {
  const char *condition;
  std::vector<int64_t> rows;
};

TEST(Where, KeepsTheRowsEachConditionHoldsFor) {
  const Kept cases[] = {
#include "tests/data/where_cases.inc"
  };
  const auto ds = whereData();
  for (const Kept &c : cases) {
    std::unique_ptr<Where> where;
    try {
      where = compile(*ds, std::string("where=(") + c.condition + ")");
    } catch (const WhereFault &f) {
      ADD_FAILURE() << c.condition << ": fault " << f.message << " at " << f.offset;
      continue;
    }
    Cursor cursor(*ds, {}, {.where = where.get()});
    std::vector<int64_t> rows;
    while (cursor.next()) rows.push_back(cursor.rowNumber());
    EXPECT_EQ(rows, c.rows) << c.condition;
    EXPECT_EQ(where->kept(), static_cast<int64_t>(c.rows.size())) << c.condition;
  }
}

// x is not sorted in the file (1, 2, ., ...), but it is in the rows kept; a
// group read again is not counted again.
TEST(Where, ByGroupsFormFromTheKeptRowsAndCountEachOnce) {
  const auto ds = whereData();
  const auto where = compile(*ds, " WHERE = ( x >= 1 ) ");
  ByGroups groups(*ds, {{0, false}}, false, {}, {.where = where.get()});
  std::vector<double> keys;
  while (groups.nextGroup()) {
    keys.push_back(groups.byNumber(0));
    while (groups.nextRow()) {
    }
    groups.rewindGroup();
    EXPECT_TRUE(groups.nextRow());
  }
  EXPECT_EQ(keys, (std::vector<double>{1, 2}));
  EXPECT_EQ(where->kept(), 2);
  EXPECT_EQ(where->tested(), 8);
  const auto none = compile(*ds, "where=(x > 99)");
  EXPECT_FALSE(ByGroups(*ds, {}, false, {}, {.where = none.get()}).nextGroup());
  EXPECT_EQ(compile(*ds, ""), nullptr);
}

struct Fault {
  std::string options;
  int message;
  size_t offset;
  std::string insert;  // the first insert after line and column
};

TEST(Where, FaultsNameTheirPlace) {
  const std::string deep = "where=(" + std::string(300, '(') + "x" + std::string(300, ')') + ")";
  std::string chained = "where=(x";
  std::string ors = "where=(x = 0";
  for (int i = 0; i < 300; ++i) {
    chained += " + x";
    ors += " or x = " + std::to_string(i);
  }
  const Fault cases[] = {
      {"where=(zz > 1)", kMsgWhereUnknown, 7, "zz"},
      {"where=(s = 1)", kMsgWhereMixed, 9, "="},
      {"where=(x in (1, 'a'))", kMsgWhereMixed, 16, "IN"},
      {"where=(1 < x < s)", kMsgWhereMixed, 13, "<"},
      {"where=(s + 1 > 0)", kMsgWhereNotNumeric, 7, "s"},
      {"where=(-s = 1)", kMsgWhereNotNumeric, 8, "s"},
      {"where=(x > 1 and s)", kMsgWhereNotNumeric, 17, "s"},
      {"where=(not s)", kMsgWhereNotNumeric, 11, "s"},
      {"where=(s)", kMsgWhereCondition, 7, "s"},
      {"where=(x >)", kMsgWhereSyntax, 10, "\")\""},
      {"where=(x > 1", kMsgWhereSyntax, 12, "the end of the data set options"},
      {"where=(x is 1)", kMsgWhereSyntax, 12, "\"1\""},
      {"where=(x not 1)", kMsgWhereSyntax, 13, "\"1\""},
      {"where=(x in 1)", kMsgWhereSyntax, 12, "\"1\""},
      {"where=(x in ())", kMsgWhereSyntax, 13, "\")\""},
      {"where=(x in (y))", kMsgWhereSyntax, 13, "\"y\""},
      {"where=(and > 1)", kMsgWhereSyntax, 7, "\"and\""},
      {"where=(2x > 1)", kMsgWhereSyntax, 7, "\"2x\""},
      {"where=(x = .ab)", kMsgWhereSyntax, 11, "\".ab\""},
      {"where=(x = 'a)", kMsgWhereSyntax, 11, "a string without its closing quote"},
      {"where=(x # 1)", kMsgWhereSyntax, 9, "\"#\""},
      {"where=x>1", kMsgWhereSyntax, 6, "\"x\""},
      {"where (x>1)", kMsgWhereSyntax, 6, "\"(\""},
      {"(x>1)", kMsgWhereSyntax, 0, "\"(\""},
      {"where=(x = 1e999)", kMsgWhereNumber, 11, "1e999"},
      {"keep=a", kMsgWhereOption, 0, "KEEP"},
      {"where=(x > 1) obs=5", kMsgWhereOption, 14, "OBS"},
      {"where=(x > 1)\n where=(y > 1)", kMsgWhereTwice, 15, ""},
      {deep, kMsgWhereDeep, 263, "256"},
      {chained, kMsgWhereDeep, 7, "256"}};
  const auto ds = whereData();
  for (const Fault &c : cases) {
    try {
      compile(*ds, c.options);
      ADD_FAILURE() << c.options << ": no fault";
    } catch (const WhereFault &f) {
      EXPECT_EQ(f.message, c.message) << c.options;
      EXPECT_EQ(f.offset, c.offset) << c.options;
      EXPECT_EQ(f.inserts.empty() ? "" : f.inserts[0], c.insert) << c.options;
    }
  }
  EXPECT_NE(compile(*ds, ors + ")"), nullptr);  // one OR of many conditions is not deep
}

}  // namespace

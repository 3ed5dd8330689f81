// Every cell of the one-sample, paired and two-sample tables of whole
// programs against goldens.R: the tables a program emits and their order,
// each cell found by row and column name, the confidence levels and p-value
// headers, and which columns print. A column without golden cells fails, so
// nothing emitted goes unchecked. Then the edge cases derived by hand.
#include <cmath>
#include <cstring>
#include <map>

#include "tests/program/harness.h"

namespace {

struct GoldenRun {
  const char *id, *program, *tables;  // tables: names in emission order, blank-separated
};
// kind: '#' number, '$' text, 'b' boolean (number 0 or 1), else a missing value's letter.
struct GoldenCell {
  const char *run, *table;
  int row;
  const char *column;
  char kind;
  double number;
  const char *text;
};
struct GoldenAttr {
  const char *run, *table, *column, *name;  // column "" for the table's own attributes
  char kind;
  double number;
  const char *text;
};

#include "tests/program/golden_cells.inc"

void PrintTo(const GoldenRun &run, std::ostream *out) {
  *out << run.program;
}

using harness::Table;

// A cell or attribute as the goldens write it.
struct Value {
  char kind;
  double number;
  std::string text;
};

Value valueOf(const harness::Cell &c) {
  if (const auto *d = std::get_if<double>(&c)) return {'#', *d, ""};
  if (const auto *i = std::get_if<long long>(&c)) return {'#', static_cast<double>(*i), ""};
  if (const auto *s = std::get_if<std::string>(&c)) return {'$', 0, *s};
  return {std::get<harness::Missing>(c).letter, 0, ""};
}

Value valueOf(const vyn::output::AttrValue &a) {
  if (const auto *d = std::get_if<double>(&a)) return {'#', *d, ""};
  if (const auto *i = std::get_if<long long>(&a)) return {'#', static_cast<double>(*i), ""};
  if (const auto *b = std::get_if<bool>(&a)) return {'b', *b ? 1.0 : 0.0, ""};
  return {'$', 0, std::get<std::string>(a)};
}

// Numbers agree to `rel`; attributes are held to a few units in the last
// place, so a level that leaves out its 1000 epsilon is a different level.
::testing::AssertionResult same(const Value &got, char kind, double number, const char *text,
                                double rel, double abs = 0.0) {
  if (got.kind == kind && got.text == text &&
      std::fabs(got.number - number) <= rel * std::fabs(number) + abs) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "got " << got.kind << " " << got.number << " \"" << got.text << "\", want " << kind
         << " " << number << " \"" << text << '"';
}

bool in(const char *run, const char *id) {
  return std::strcmp(run, id) == 0;
}

std::string joined(const std::vector<std::string> &names) {
  std::string all;
  for (const std::string &n : names) all += (all.empty() ? "" : " ") + n;
  return all;
}

class Cells : public ::testing::TestWithParam<GoldenRun> {};

TEST_P(Cells, MatchR) {
  const GoldenRun &run = GetParam();
  const harness::StepRecord step = harness::runStep(run.program);
  EXPECT_EQ(step.rc, 0);
  ASSERT_EQ(joined(harness::tableNames(step)), run.tables);
  for (const Table *t : harness::tables(step)) {
    size_t golden = 0;
    for (const GoldenCell &g : kCells) {
      if (!in(g.run, run.id) || t->name != g.table) continue;
      ++golden;
      EXPECT_TRUE(
          same(valueOf(harness::cell(*t, g.row, g.column)), g.kind, g.number, g.text, 1e-9, 1e-12))
          << t->name << " row " << g.row << " " << g.column;
    }
    EXPECT_EQ(golden, t->rows.size() * t->columns.size()) << t->name << " has unchecked cells";
  }
  // Attributes of tables and columns; "print" is false for the columns
  // listed, true for every other.
  for (const Table *t : harness::tables(step)) {
    for (const harness::Column &c : t->columns) {
      bool shown = true;
      for (const GoldenAttr &g : kAttrs) {
        shown = shown && !(in(g.run, run.id) && t->name == g.table && c.name == g.column &&
                           in(g.name, "print"));
      }
      EXPECT_EQ(c.print, shown) << t->name << " " << c.name;
    }
  }
  for (const GoldenAttr &g : kAttrs) {
    if (!in(g.run, run.id) || in(g.name, "print")) continue;
    const Table &t = harness::table(step, g.table);
    const auto &attrs = *g.column == '\0' ? t.attributes : harness::column(t, g.column).attributes;
    const auto it = attrs.find(g.name);
    ASSERT_NE(it, attrs.end()) << g.table << " " << g.column << " " << g.name;
    EXPECT_TRUE(same(valueOf(it->second), g.kind, g.number, g.text, 1e-15))
        << g.table << " " << g.column << " " << g.name;
  }
}

INSTANTIATE_TEST_SUITE_P(WholePrograms, Cells, ::testing::ValuesIn(kRuns),
                         [](const ::testing::TestParamInfo<GoldenRun> &info) {
                           std::string name = info.param.id;
                           for (char &ch : name) ch = std::isalnum(ch) ? ch : '_';
                           return name;
                         });

// Cases without a distribution to ask, derived by hand on edge.csv: a single
// value, equal values (at, above and below H0), three values (UMPU limits are
// the equal-tailed ones; chi-square on 2 df has closed-form quantiles),
// constant groups, one observation against two, and a ratio whose second mean
// is zero.
constexpr const char *kOne = "proc kravo data=edge; var one; run;";
constexpr const char *kOneTost = "proc kravo data=edge tost(-1, 1); var one; run;";
constexpr const char *kSameAt = "proc kravo data=edge h0=3.25; var same; run;";
constexpr const char *kSameAbove = "proc kravo data=edge h0=3; var same; run;";
constexpr const char *kSameAboveL = "proc kravo data=edge h0=3 sides=l; var same; run;";
constexpr const char *kSameBelowU = "proc kravo data=edge h0=4 sides=u; var same; run;";
constexpr const char *kThree = "proc kravo data=edge; var three; run;";
constexpr const char *kFlat = "proc kravo data=edge; class c; var flat; run;";
constexpr const char *kFew = "proc kravo data=edge cochran; class c; var few; run;";
constexpr const char *kPos = "proc kravo data=edge test=ratio dist=normal; class c; var pos; run;";
constexpr const char *kPosTost =
    "proc kravo data=edge test=ratio dist=normal tost(0.8, 1.25); class c; var pos; run;";
const double kCss3 = 14.0 / 3.0;  // 1, 2, 4
const double kSdLow3 = std::sqrt(kCss3 / (-2.0 * std::log(0.025)));
const double kSdHigh3 = std::sqrt(kCss3 / (-2.0 * std::log(0.975)));

// d = 5 - 2, pooled variance 2 on 1 df: t = 3 / sqrt(3); on 1 df (Cauchy)
// P(|T| > sqrt 3) = 1 - (2 / pi) atan(sqrt 3) = 1/3.
const GoldenCell kEdges[] = {
    {kOne, "Statistics", 0, "N", '#', 1, ""},
    {kOne, "Statistics", 0, "Mean", '#', 4.5, ""},
    {kOne, "Statistics", 0, "Minimum", '#', 4.5, ""},
    {kOne, "Statistics", 0, "StdDev", '.', 0, ""},
    {kOne, "Statistics", 0, "StdErr", '.', 0, ""},
    {kOne, "Statistics", 0, "LowerCLMean", '.', 0, ""},
    {kOne, "Statistics", 0, "UMPUUpperCLStdDev", '.', 0, ""},
    {kOne, "Kravos", 0, "tValue", '.', 0, ""},
    {kOne, "Kravos", 0, "DF", '#', 0, ""},
    {kOne, "Kravos", 0, "Probt", '.', 0, ""},
    {kOneTost, "EquivLimits", 0, "LowerCLMean", '.', 0, ""},
    {kOneTost, "EquivLimits", 0, "LowerComparator", '$', 0, ""},
    {kOneTost, "EquivLimits", 0, "UpperComparator", '$', 0, ""},
    {kOneTost, "EquivLimits", 0, "Assessment", '$', 0, "Not assessed"},
    {kOneTost, "EquivTests", 0, "tValue", '.', 0, ""},
    {kOneTost, "EquivTests", 1, "Probt", '.', 0, ""},
    {kOneTost, "EquivTests", 2, "Probt", '.', 0, ""},
    {kSameAt, "Statistics", 0, "StdDev", '#', 0, ""},
    {kSameAt, "Statistics", 0, "StdErr", '#', 0, ""},
    {kSameAt, "Statistics", 0, "LowerCLMean", '#', 3.25, ""},
    {kSameAt, "Statistics", 0, "UpperCLMean", '#', 3.25, ""},
    {kSameAt, "Statistics", 0, "LowerCLStdDev", '.', 0, ""},
    {kSameAt, "Statistics", 0, "UMPUUpperCLStdDev", '.', 0, ""},
    {kSameAt, "Kravos", 0, "tValue", '.', 0, ""},
    {kSameAt, "Kravos", 0, "DF", '#', 4, ""},
    {kSameAt, "Kravos", 0, "Probt", '.', 0, ""},
    {kSameAbove, "Kravos", 0, "tValue", 'I', 0, ""},
    {kSameAbove, "Kravos", 0, "Probt", '#', 0, ""},
    {kSameAboveL, "Kravos", 0, "tValue", 'I', 0, ""},
    {kSameAboveL, "Kravos", 0, "Probt", '#', 1, ""},
    {kSameBelowU, "Kravos", 0, "tValue", 'M', 0, ""},
    {kSameBelowU, "Kravos", 0, "Probt", '#', 1, ""},
    {kThree, "Statistics", 0, "LowerCLStdDev", '#', kSdLow3, ""},
    {kThree, "Statistics", 0, "UMPULowerCLStdDev", '#', kSdLow3, ""},
    {kThree, "Statistics", 0, "UpperCLStdDev", '#', kSdHigh3, ""},
    {kThree, "Statistics", 0, "UMPUUpperCLStdDev", '#', kSdHigh3, ""},
    {kFlat, "Kravos", 0, "tValue", 'I', 0, ""},
    {kFlat, "Kravos", 0, "Probt", '#', 0, ""},
    {kFlat, "Kravos", 1, "tValue", 'I', 0, ""},
    {kFlat, "Kravos", 1, "DF", '#', 2, ""},
    {kFlat, "Kravos", 1, "Probt", '#', 0, ""},
    {kFew, "Kravos", 0, "tValue", '#', std::sqrt(3.0), ""},
    {kFew, "Kravos", 0, "DF", '#', 1, ""},
    {kFew, "Kravos", 0, "Probt", '#', 1.0 / 3.0, ""},
    {kFew, "Kravos", 1, "tValue", '.', 0, ""},
    {kFew, "Kravos", 1, "DF", '#', 0, ""},
    {kFew, "Kravos", 1, "Probt", '.', 0, ""},
    {kFew, "Kravos", 2, "DF", '#', 0, ""},
    {kFew, "Kravos", 2, "Probt", '.', 0, ""},
    {kFew, "Equality", 0, "NumDF", '#', 1, ""},
    {kFew, "Equality", 0, "DenDF", '#', 0, ""},
    {kFew, "Equality", 0, "FValue", '.', 0, ""},
    {kFew, "Equality", 0, "ProbF", '.', 0, ""},
    {kPos, "Statistics", 2, "Mean", 'I', 0, ""},
    {kPos, "Statistics", 2, "LowerCLMean", 'M', 0, ""},
    {kPos, "Statistics", 2, "UpperCLMean", 'I', 0, ""},
    {kPosTost, "EquivLimits", 0, "LowerCLMean", 'M', 0, ""},
    {kPosTost, "EquivLimits", 0, "UpperCLMean", 'I', 0, ""},
    {kPosTost, "EquivLimits", 0, "LowerComparator", '$', 0, ">"},
    {kPosTost, "EquivLimits", 0, "UpperComparator", '$', 0, ">"},
    {kPosTost, "EquivLimits", 0, "Assessment", '$', 0, "Not equivalent"},
};

TEST(EdgeCells, MatchTheirDerivations) {
  std::map<std::string, harness::StepRecord> runs;
  for (const GoldenCell &g : kEdges) {
    auto it = runs.find(g.run);
    if (it == runs.end()) {
      it = runs.emplace(g.run, harness::runStep(g.run)).first;
      EXPECT_EQ(it->second.rc, 0) << g.run;
    }
    const Table &t = harness::table(it->second, g.table);
    EXPECT_TRUE(
        same(valueOf(harness::cell(t, g.row, g.column)), g.kind, g.number, g.text, 1e-9, 1e-12))
        << g.run << " " << g.table << " row " << g.row << " " << g.column;
  }
}

}  // namespace

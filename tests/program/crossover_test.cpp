// Whole AB/BA crossover programs against crossover.R: the tables each emits
// with their row counts in order, and their cells by table, occurrence, row
// and column. A run marked full has a golden for every cell it emits.
#include <cmath>
#include <cstring>
#include <map>

#include "tests/program/harness.h"

namespace {

struct XoRun {
  const char *id, *program, *tables;  // tables: "Name:rows" in emission order
  bool full;
};
// kind: '#' number, '$' text, else a missing value's letter.
struct XoCell {
  const char *run, *table;
  int n, row;
  const char *column;
  char kind;
  double number;
  const char *text;
};

#include "tests/program/crossover_golden.inc"

void PrintTo(const XoRun &run, std::ostream *out) {
  *out << run.program;
}

std::string shape(const harness::StepRecord &step) {
  std::string all;
  for (const harness::Table *t : harness::tables(step))
    all += (all.empty() ? "" : " ") + t->name + ":" + std::to_string(t->rows.size());
  return all;
}

::testing::AssertionResult matches(const harness::Cell &c, const XoCell &g) {
  if (const auto *d = std::get_if<double>(&c)) {
    if (g.kind == '#' && std::fabs(*d - g.number) <= 1e-9 * std::fabs(g.number) + 1e-12)
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << *d << ", want " << g.kind << g.number;
  }
  if (const auto *s = std::get_if<std::string>(&c)) {
    if (g.kind == '$' && *s == g.text) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got \"" << *s << "\", want " << g.kind << g.text;
  }
  const char letter = std::get<harness::Missing>(c).letter;
  if (g.kind == letter) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "got missing " << letter << ", want " << g.kind << g.number << g.text;
}

class Crossover : public ::testing::TestWithParam<XoRun> {};

TEST_P(Crossover, MatchesR) {
  const XoRun &run = GetParam();
  const harness::StepRecord step = harness::runStep(run.program);
  EXPECT_EQ(step.rc, 0);
  ASSERT_EQ(shape(step), run.tables);
  std::map<const harness::Table *, size_t> checked;
  for (const XoCell &g : kXoCells) {
    if (std::strcmp(g.run, run.id) != 0) continue;
    const harness::Table &t = harness::table(step, g.table, g.n);
    ++checked[&t];
    EXPECT_TRUE(matches(harness::cell(t, g.row, g.column), g))
        << g.table << " " << g.n << " row " << g.row << " " << g.column;
  }
  if (!run.full) return;
  for (const harness::Table *t : harness::tables(step))
    EXPECT_EQ(checked[t], t->rows.size() * t->columns.size()) << t->name << " has unchecked cells";
}

INSTANTIATE_TEST_SUITE_P(WholePrograms, Crossover, ::testing::ValuesIn(kXoRuns),
                         [](const ::testing::TestParamInfo<XoRun> &info) {
                           std::string name = info.param.id;
                           for (char &ch : name) ch = std::isalnum(ch) ? ch : '_';
                           return name;
                         });

// Attributes of tables (column "") and columns as numbers; "print" is the
// column's print flag and -1 stands for an attribute that is absent.
struct XoAttr {
  const char *program, *table, *column, *name;
  double want;
};
constexpr const char *kXo = "proc kravo data=xo; var y1 y2 / crossover=(t1 t2); run;";
constexpr const char *kXoLog =
    "proc kravo data=xo dist=lognormal alpha=0.1 tost(0.8, 1.25); var y1 y2 / crossover=(t1 t2); "
    "run;";
constexpr const char *kXoNobyvar =
    "proc kravo data=xo nobyvar; var y1 y2 / crossover=(t1 t2); run;";
const double kEps1000 = 1000.0 * 0x1p-53;
const XoAttr kAttrs[] = {
    {kXo, "ConfLimits", "", "confmean", 95.0 + kEps1000},
    {kXo, "ConfLimits", "", "confstd", 95.0 + kEps1000},
    {kXo, "ConfLimits", "", "reqspace", -1},
    {kXo, "Statistics", "ResponseVariables", "print", 0},
    {kXo, "Statistics", "ResponseVariables", "MinimumWidth", 5},
    {kXo, "Statistics", "Sequence", "MaximumWidth", 4},
    {kXo, "Statistics", "Treatment", "MinimumWidth", 10},
    {kXo, "CrossoverVarInfo", "Treatment", "MinimumWidth", 2},
    {kXo, "CrossoverVarInfo", "Period", "MaximumWidth", 1},
    {kXoNobyvar, "Kravos", "ResponseVariables", "print", 1},
    {kXoLog, "ConfLimits", "", "confcv", 90.0 + kEps1000},
    {kXoLog, "EquivLimits", "", "confequiv", 80},
    {kXoLog, "EquivTests", "Period", "MinimumWidth", 11},
};

double attribute(const harness::Table &t, const XoAttr &a) {
  if (*a.column != '\0' && std::strcmp(a.name, "print") == 0)
    return harness::column(t, a.column).print ? 1 : 0;
  const auto &attrs = *a.column == '\0' ? t.attributes : harness::column(t, a.column).attributes;
  const auto it = attrs.find(a.name);
  if (it == attrs.end()) return -1;
  if (const auto *d = std::get_if<double>(&it->second)) return *d;
  if (const auto *i = std::get_if<long long>(&it->second)) return static_cast<double>(*i);
  if (const auto *b = std::get_if<bool>(&it->second)) return *b ? 1 : 0;
  return -2;
}

TEST(CrossoverAttributes, FollowTheOptions) {
  for (const XoAttr &a : kAttrs) {
    const harness::StepRecord step = harness::runStep(a.program);
    EXPECT_EQ(attribute(harness::table(step, a.table), a), a.want)
        << a.program << " " << a.table << " " << a.column << " " << a.name;
  }
}

}  // namespace

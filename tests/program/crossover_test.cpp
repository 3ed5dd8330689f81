// Whole AB/BA crossover programs against crossover.R: the tables each emits
// with their row counts in order, their cells by table, occurrence, row and
// column, and attributes. A run marked full has a golden for every cell.
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
// column "" for the table's own; name "print" for the print flag; -1 absent.
struct XoAttr {
  const char *run, *table, *column, *name;
  double want;
};

#include "tests/program/crossover_golden.inc"

bool matches(const harness::Cell &c, const XoCell &g) {
  if (const auto *d = std::get_if<double>(&c))
    return g.kind == '#' && std::fabs(*d - g.number) <= 1e-9 * std::fabs(g.number) + 1e-12;
  if (const auto *s = std::get_if<std::string>(&c)) return g.kind == '$' && *s == g.text;
  return std::get<harness::Missing>(c).letter == g.kind;
}

double attribute(const harness::Table &t, const XoAttr &a) {
  const bool own = *a.column == '\0';
  if (!own && std::strcmp(a.name, "print") == 0) return harness::column(t, a.column).print;
  const auto &attrs = own ? t.attributes : harness::column(t, a.column).attributes;
  const auto it = attrs.find(a.name);
  if (it == attrs.end()) return -1;
  if (const auto *d = std::get_if<double>(&it->second)) return *d;
  return static_cast<double>(std::get<long long>(it->second));
}

class Crossover : public ::testing::TestWithParam<XoRun> {};

TEST_P(Crossover, MatchesR) {
  const XoRun &run = GetParam();
  const harness::StepRecord step = harness::runStep(run.program);
  EXPECT_EQ(step.rc, 0);
  std::string shape;
  for (const harness::Table *t : harness::tables(step))
    shape += (shape.empty() ? "" : " ") + t->name + ":" + std::to_string(t->rows.size());
  ASSERT_EQ(shape, run.tables);
  std::map<const harness::Table *, size_t> checked;
  for (const XoCell &g : kXoCells) {
    if (std::strcmp(g.run, run.id) != 0) continue;
    const harness::Table &t = harness::table(step, g.table, g.n);
    ++checked[&t];
    EXPECT_TRUE(matches(harness::cell(t, g.row, g.column), g))
        << g.table << " " << g.n << " row " << g.row << " " << g.column << " want " << g.kind
        << g.number << g.text;
  }
  for (const harness::Table *t : harness::tables(step))
    EXPECT_TRUE(!run.full || checked[t] == t->rows.size() * t->columns.size()) << t->name;
  for (const XoAttr &a : kXoAttrs) {
    if (std::strcmp(a.run, run.id) != 0) continue;
    EXPECT_EQ(attribute(harness::table(step, a.table), a), a.want)
        << a.table << " " << a.column << " " << a.name;
  }
}

INSTANTIATE_TEST_SUITE_P(WholePrograms, Crossover, ::testing::ValuesIn(kXoRuns),
                         [](const ::testing::TestParamInfo<XoRun> &info) {
                           std::string name = info.param.id;
                           for (char &ch : name) ch = std::isalnum(ch) ? ch : '_';
                           return name;
                         });

// One pair over BY groups: the pair's output group, opened again in each,
// writes its own text where the responses are shown from, and every row of
// every table still shows the two responses joined by a blank: 2, 8, 10, 4
// and 1 rows in each of the two groups.
TEST(CrossoverByGroups, EveryRowShowsTheResponsesOfThePair) {
  const harness::StepRecord step =
      harness::runStep("proc kravo data=xoby; by site; var y1 y2 / crossover=(t1 t2); run;");
  size_t shown = 0;
  for (const harness::Table *t : harness::tables(step)) {
    for (const std::string &responses : harness::texts(*t, "ResponseVariables")) {
      EXPECT_EQ(responses, "y1 y2") << t->name;
      ++shown;
    }
  }
  EXPECT_EQ(shown, 50u);
}

}  // namespace

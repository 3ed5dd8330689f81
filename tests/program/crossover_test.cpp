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

}  // namespace

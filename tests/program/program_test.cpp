// Option checks, PAIRED lists, step outcomes and table order, through whole programs.
#include <algorithm>
#include <string>
#include <vector>

#include "tests/program/harness.h"

namespace {

using harness::messages;
using harness::tableNames;
using RunRecord = vyn::output::Run;
using vyn::output::Table;

RunRecord runText(const std::string &text) {
  return harness::run(text);
}

struct ErrorCase {
  const char *program;
  int message;
  int rc;
};

// One error message, its code and no table.
TEST(OptionErrors, EndTheStepWithTheirMessageAndCode) {
  const struct {
    const char *program;
    int message, rc;
  } cases[] = {
      {"proc kravo; var math; run;", 1, 1008},
      {"proc kravo data=chars; run;", 4, 1008},
      {"proc kravo data=scores; var math; paired math*reading; run;", 33, 3000},
      {"proc kravo data=scores; class grp; paired math*reading; run;", 34, 3000},
      {"proc kravo data=summary; freq y; run;", 35, 1008},
      {"proc kravo data=summary; paired y*y; run;", 35, 1008},
      {"proc kravo data=scores; paired (math reading):(f); run;", 36, 3000},
      {"proc kravo data=scores alpha=1.5; var math; run;", 47, 3000},
      {"proc kravo data=scores alpha=0; var math; run;", 47, 3000},
      {"proc kravo data=xover; var y1 y2 / crossover=(t1 t2); paired y1*y2; run;", 60, 3000},
      {"proc kravo data=xover; class t1; var y1 y2 / crossover=(t1 t2); run;", 61, 3000},
      {"proc kravo data=chars; var / crossover=(name city); run;", 62, 1008},
      {"proc kravo data=xover; var y1 y2 y3 / crossover=(t1 t2); run;", 63, 3000},
      {"proc kravo data=xover; var y1 y2 / crossover=(t1 tn); run;", 64, 3000},
      {"proc kravo data=xover; var y1 y2 / crossover=(t1 t3); run;", 65, 3000},
      {"proc kravo data=scores sides=3; var math; run;", 69, 3000},
      {"proc kravo data=scores sides=1; var math; run;", 69, 3000},
      {"proc kravo data=xover test=ratio dist=normal; var y1 y2 / crossover=(t1 t2); run;", 72,
       3000},
      {"proc kravo data=scores tost(2, 1); var math; run;", 103, 3000},
      {"proc kravo data=scores h0=0 tost(-0.2); var math; run;", 104, 3000},
      {"proc kravo data=scores tost(-0.2); var math; run;", 105, 3000},
      {"proc kravo data=scores test=diff test=ratio; paired math*reading; run;", 106, 3000},
      {"proc kravo data=scores dist=normal dist=lognormal; var math; run;", 107, 3000},
      {"proc kravo data=scores dist=lognormal test=diff; paired math*reading; run;", 108, 3000},
      {"proc kravo data=scores test=ratio h0=0; paired math*reading; run;", 109, 3000},
      {"proc kravo data=scores test=ratio tost(0, 1.25); paired math*reading; run;", 110, 3000},
      {"proc kravo data=scores test=ratio; var math; run;", 111, 3000},
      {"proc kravo data=scores test=ratio h0=2 tost(1.2); paired math*reading; run;", 112, 3000},
      {"proc kravo data=scores test=ratio tost(0.8); paired math*reading; run;", 113, 3000},
      {"proc kravo data=summary dist=lognormal; var y; run;", 120, 3000},
  };
  for (const auto &c : cases) {
    const RunRecord run = runText(c.program);
    ASSERT_EQ(run.size(), 1u);
    EXPECT_EQ(run[0].rc, c.rc) << c.program;
    EXPECT_EQ(messages(run[0], vyn::LogLevel::kError), std::vector<int>{c.message}) << c.program;
    EXPECT_TRUE(tableNames(run[0]).empty()) << c.program;
  }
}

// Logged, and the code raised to four.
TEST(OptionWarnings, AreLoggedAndRaiseTheCodeToFour) {
  const std::pair<const char *, int> cases[] = {
      {"proc kravo data=scores cochran; var math; run;", 30},
      {"proc kravo data=scores sides=l tost(5); var math; run;", 101},
      {"proc kravo data=scores h0=1 tost(-1, 1); var math; run;", 102},
      {"proc kravo data=scores test=ratio dist=normal ci=equal; paired math*reading; run;", 114},
      {"proc kravo data=scores test=ratio dist=normal ci=umpu; paired math*reading; run;", 115},
      {"proc kravo data=scores cochran; class grp; weight w; var math; run;", 301},
      {"proc kravo data=scores cochran sides=u; class grp; var math; run;", 302},
      {"proc kravo data=scores cochran tost(5); class grp; var math; run;", 303},
  };
  for (const auto &[program, message] : cases) {
    const RunRecord run = runText(program);
    ASSERT_EQ(run.size(), 1u);
    EXPECT_GE(run[0].rc, 4) << program;
    const std::vector<int> warnings = messages(run[0], vyn::LogLevel::kWarning);
    EXPECT_NE(std::find(warnings.begin(), warnings.end(), message), warnings.end()) << program;
  }
}

// The code, the tables and the errors of the last step of a run. Group B of
// "overflow" overflows the accumulation (a deviation of 1e200 from its first
// value): that group fails, groups A and C are analysed, in either mode.
TEST(StepOutcomes, CodesTablesAndErrors) {
  const struct {
    const char *program;
    int rc;
    size_t tables;
    std::vector<int> errors;
  } cases[] = {
      {"proc kravo data=scores cochran; var math; run;", 4, 3, {}},
      {"proc kravo data=scores sides=2; var math; run;", 0, 3, {}},
      {"proc kravo data=scores; var math / cochran; run;", 3000, 0, {}},
      {"proc kravo data=scores; by site; var math reading; run;", 0, 12, {}},
      {"proc kravo data=unsorted; by site; var y; run;", 1008, 3, {}},
      {"proc kravo data=unsorted; by site notsorted; var y; run;", 0, 9, {}},
      {"proc kravo data=scores; var math; run; proc kravo; var reading; run;", 0, 3, {}},
      {"proc kravo data=overflow; by site; var y; run;", 112, 6, {7}},
      {"proc kravo data=overflow nobyvar; by site; var y; run;", 112, 6, {7}},
  };
  for (const auto &c : cases) {
    const RunRecord run = runText(c.program);
    ASSERT_FALSE(run.empty());
    EXPECT_EQ(run.back().rc, c.rc) << c.program;
    EXPECT_EQ(tableNames(run.back()).size(), c.tables) << c.program;
    EXPECT_EQ(messages(run.back(), vyn::LogLevel::kError), c.errors) << c.program;
  }
  const RunRecord one = runText("proc kravo data=scores cochran; var math; run;");
  EXPECT_EQ(tableNames(one[0]), (std::vector<std::string>{"Statistics", "ConfLimits", "Kravos"}));
  const RunRecord unsorted = runText("proc kravo data=unsorted; by site; var y; run;");
  bool named = false;  // the unsorted data set is named
  for (const auto &e : unsorted[0].log)
    named = named || e.text.find("unsorted") != std::string::npos;
  EXPECT_TRUE(named);
}

// The Statistics rows of a NOBYVAR run name the pairs in the order of the
// analyses.
TEST(PairedLists, BecomeTheirPairsInOrder) {
  const std::pair<const char *, std::vector<std::string>> cases[] = {
      {"(math reading)*(math f)", {"math-f", "reading-math", "reading-f"}},  // no self pairs
      {"(math reading):(math f)", {"reading-f"}},                            // by position
      {"reading*math f:w", {"reading-math", "f-w"}}};
  for (const auto &[list, want] : cases) {
    const vyn::output::StepRecord step =
        harness::runStep(std::string("proc kravo data=scores nobyvar; paired ") + list + "; run;");
    EXPECT_EQ(step.rc, 0);
    const Table &t = harness::table(step, "Statistics");
    std::vector<std::string> pairs;
    for (size_t r = 0; r < t.rows.size(); ++r) {
      pairs.push_back(harness::text(t, r, "Variable1") + "-" + harness::text(t, r, "Variable2"));
    }
    EXPECT_EQ(pairs, want) << list;
  }
}

// Each table once per analysis in the per-variable mode, and a FREQ and a
// WEIGHT note for each of the two variables.
TEST(TableOrder, OnePerAnalysisAndNotesInEveryOutputGroup) {
  const RunRecord byRun = runText("proc kravo data=scores; by site; var math reading; run;");
  for (const auto &item : byRun[0].output) {
    ASSERT_EQ(item.by.size(), 1u);
    const auto *t = std::get_if<Table>(&item.content);
    EXPECT_TRUE(t == nullptr || t->rows.size() == 1u);
  }
  const RunRecord run = runText("proc kravo data=scores; freq f; weight w; var math reading; run;");
  EXPECT_EQ(run[0].rc, 0);
  int notes = 0;
  for (const auto &item : run[0].output)
    notes += std::holds_alternative<vyn::output::Note>(item.content) ? 1 : 0;
  EXPECT_EQ(notes, 4);
}

// A PAIRED list longer than its 16-bit positions can address is refused.
TEST(PairedLists, AListBeyondTheLimitIsRefusedWithAMessage) {
  std::string names, values;
  for (int i = 0; i < 16384; ++i) {
    names += (i ? ",v" : "v") + std::to_string(i);
    values += (i ? "," : "") + std::to_string(i);
  }
  const std::string path = harness::dataFile("wide.csv", names + "\n" + values + "\n");
  const RunRecord run = runText("proc kravo data='" + path + "'; paired (_all_)*(_all_); run;");
  EXPECT_EQ(run[0].rc, 3000);
  EXPECT_EQ(messages(run[0], vyn::LogLevel::kError), std::vector<int>{900});
}

}  // namespace

// Whole programs through the host and the linked module: every check of the
// options record reached from a statement, with its message and return code;
// PAIRED lists as the analyses they become; the tables of a step and their
// order in both BY modes.
#include <algorithm>
#include <fstream>
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

class OptionErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(OptionErrors, EndTheStepWithTheirMessageAndCode) {
  const ErrorCase &c = GetParam();
  const RunRecord run = runText(c.program);
  ASSERT_EQ(run.size(), 1u);
  EXPECT_EQ(run[0].rc, c.rc) << c.program;
  EXPECT_EQ(messages(run[0], vyn::LogLevel::kError), std::vector<int>{c.message}) << c.program;
  EXPECT_TRUE(run[0].output.empty() || tableNames(run[0]).empty()) << c.program;
}

INSTANTIATE_TEST_SUITE_P(
    EveryCheck, OptionErrors,
    ::testing::Values(
        ErrorCase{"proc kravo; var math; run;", 1, 1008},
        ErrorCase{"proc kravo data=chars; run;", 4, 1008},
        ErrorCase{"proc kravo data=scores; var math; paired math*reading; run;", 33, 3000},
        ErrorCase{"proc kravo data=scores; class grp; paired math*reading; run;", 34, 3000},
        ErrorCase{"proc kravo data=summary; freq y; run;", 35, 1008},
        ErrorCase{"proc kravo data=summary; paired y*y; run;", 35, 1008},
        ErrorCase{"proc kravo data=scores; paired (math reading):(f); run;", 36, 3000},
        ErrorCase{"proc kravo data=scores alpha=1.5; var math; run;", 47, 3000},
        ErrorCase{"proc kravo data=scores alpha=0; var math; run;", 47, 3000},
        ErrorCase{"proc kravo data=xover; var y1 y2 / crossover=(t1 t2); paired y1*y2; run;", 60,
                  3000},
        ErrorCase{"proc kravo data=xover; class t1; var y1 y2 / crossover=(t1 t2); run;", 61, 3000},
        ErrorCase{"proc kravo data=chars; var / crossover=(name city); run;", 62, 1008},
        ErrorCase{"proc kravo data=xover; var y1 y2 y3 / crossover=(t1 t2); run;", 63, 3000},
        ErrorCase{"proc kravo data=xover; var y1 y2 / crossover=(t1 tn); run;", 64, 3000},
        ErrorCase{"proc kravo data=xover; var y1 y2 / crossover=(t1 t3); run;", 65, 3000},
        ErrorCase{"proc kravo data=scores sides=3; var math; run;", 69, 3000},
        ErrorCase{"proc kravo data=scores sides=1; var math; run;", 69, 3000},
        ErrorCase{
            "proc kravo data=xover test=ratio dist=normal; var y1 y2 / crossover=(t1 t2); run;", 72,
            3000},
        ErrorCase{"proc kravo data=scores tost(2, 1); var math; run;", 103, 3000},
        ErrorCase{"proc kravo data=scores h0=0 tost(-0.2); var math; run;", 104, 3000},
        ErrorCase{"proc kravo data=scores tost(-0.2); var math; run;", 105, 3000},
        ErrorCase{"proc kravo data=scores test=diff test=ratio; paired math*reading; run;", 106,
                  3000},
        ErrorCase{"proc kravo data=scores dist=normal dist=lognormal; var math; run;", 107, 3000},
        ErrorCase{"proc kravo data=scores dist=lognormal test=diff; paired math*reading; run;", 108,
                  3000},
        ErrorCase{"proc kravo data=scores test=ratio h0=0; paired math*reading; run;", 109, 3000},
        ErrorCase{"proc kravo data=scores test=ratio tost(0, 1.25); paired math*reading; run;", 110,
                  3000},
        ErrorCase{"proc kravo data=scores test=ratio; var math; run;", 111, 3000},
        ErrorCase{"proc kravo data=scores test=ratio h0=2 tost(1.2); paired math*reading; run;",
                  112, 3000},
        ErrorCase{"proc kravo data=scores test=ratio tost(0.8); paired math*reading; run;", 113,
                  3000},
        ErrorCase{"proc kravo data=summary dist=lognormal; var y; run;", 120, 3000}));

struct WarningCase {
  const char *program;
  int message;
};

class OptionWarnings : public ::testing::TestWithParam<WarningCase> {};

TEST_P(OptionWarnings, AreLoggedAndRaiseTheCodeToFour) {
  const WarningCase &c = GetParam();
  const RunRecord run = runText(c.program);
  ASSERT_EQ(run.size(), 1u);
  EXPECT_GE(run[0].rc, 4) << c.program;
  const std::vector<int> warnings = messages(run[0], vyn::LogLevel::kWarning);
  EXPECT_NE(std::find(warnings.begin(), warnings.end(), c.message), warnings.end()) << c.program;
}

INSTANTIATE_TEST_SUITE_P(
    EveryCheck, OptionWarnings,
    ::testing::Values(
        WarningCase{"proc kravo data=scores cochran; var math; run;", 30},
        WarningCase{"proc kravo data=scores sides=l tost(5); var math; run;", 101},
        WarningCase{"proc kravo data=scores h0=1 tost(-1, 1); var math; run;", 102},
        WarningCase{
            "proc kravo data=scores test=ratio dist=normal ci=equal; paired math*reading; run;",
            114},
        WarningCase{
            "proc kravo data=scores test=ratio dist=normal ci=umpu; paired math*reading; run;",
            115},
        WarningCase{"proc kravo data=scores cochran; class grp; weight w; var math; run;", 301},
        WarningCase{"proc kravo data=scores cochran sides=u; class grp; var math; run;", 302},
        WarningCase{"proc kravo data=scores cochran tost(5); class grp; var math; run;", 303}));

TEST(OptionDefaults, CochranInAOneSampleRunGoesOnWithCodeFour) {
  const RunRecord run = runText("proc kravo data=scores cochran; var math; run;");
  ASSERT_EQ(run.size(), 1u);
  EXPECT_EQ(run[0].rc, 4);
  EXPECT_EQ(tableNames(run[0]), (std::vector<std::string>{"Statistics", "ConfLimits", "Kravos"}));
}

TEST(OptionDefaults, SidesTwoIsAccepted) {
  const RunRecord run = runText("proc kravo data=scores sides=2; var math; run;");
  EXPECT_EQ(run[0].rc, 0);
  EXPECT_TRUE(messages(run[0], vyn::LogLevel::kError).empty());
}

TEST(OptionDefaults, ASyntaxErrorEndsTheStepWithTheParserStatus) {
  const RunRecord run = runText("proc kravo data=scores; var math / cochran; run;");
  ASSERT_EQ(run.size(), 1u);
  EXPECT_NE(run[0].rc, 0);
  EXPECT_TRUE(tableNames(run[0]).empty());
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

TEST(TableOrder, PerVariableModeWritesEachTableOncePerAnalysis) {
  const RunRecord run = runText("proc kravo data=scores; by site; var math reading; run;");
  ASSERT_EQ(run.size(), 1u);
  EXPECT_EQ(run[0].rc, 0);
  // two BY groups, two variables, three tables each
  EXPECT_EQ(tableNames(run[0]).size(), 12u);
  for (const auto &item : run[0].output) {
    ASSERT_EQ(item.by.size(), 1u);
    if (const auto *t = std::get_if<Table>(&item.content)) {
      EXPECT_EQ(t->rows.size(), 1u);
    }
  }
}

TEST(TableOrder, FreqAndWeightNotesAppearInEveryOutputGroup) {
  const RunRecord run = runText("proc kravo data=scores; freq f; weight w; var math reading; run;");
  EXPECT_EQ(run[0].rc, 0);
  int notes = 0;
  for (const auto &item : run[0].output) {
    notes += std::holds_alternative<vyn::output::Note>(item.content) ? 1 : 0;
  }
  EXPECT_EQ(notes, 4);  // a FREQ and a WEIGHT note for each of the two variables
}

TEST(DataErrors, AnUnsortedDataSetEndsTheStepBeforeAnyTable) {
  const RunRecord run = runText("proc kravo data=unsorted; by site; var y; run;");
  EXPECT_EQ(run[0].rc, 1008);
  EXPECT_TRUE(tableNames(run[0]).empty());
  bool named = false;
  for (const auto &e : run[0].log) named = named || e.text.find("unsorted") != std::string::npos;
  EXPECT_TRUE(named);
}

TEST(DataErrors, NotsortedTakesEachRunOfValuesAsAGroup) {
  const RunRecord run = runText("proc kravo data=unsorted; by site notsorted; var y; run;");
  EXPECT_EQ(run[0].rc, 0);
  EXPECT_EQ(tableNames(run[0]).size(), 9u);
}

TEST(DataErrors, TheDefaultDataSetIsTheOneReadLast) {
  const RunRecord run =
      runText("proc kravo data=scores; var math; run; proc kravo; var reading; run;");
  ASSERT_EQ(run.size(), 2u);
  EXPECT_EQ(run[1].rc, 0);
  EXPECT_EQ(tableNames(run[1]).size(), 3u);
}

// Group B overflows the accumulation (a deviation of 1e200 from its first
// value): that group fails, groups A and C are analysed, in either mode.
TEST(ReturnCodes, AFailedGroupRaisesTheCode) {
  for (const char *mode : {"", " nobyvar"}) {
    const RunRecord run =
        runText(std::string("proc kravo data=overflow") + mode + "; by site; var y; run;");
    EXPECT_EQ(run[0].rc, 112) << mode;
    EXPECT_EQ(messages(run[0], vyn::LogLevel::kError), std::vector<int>{7});
    EXPECT_EQ(tableNames(run[0]).size(), 6u);
  }
}

// A PAIRED list longer than its 16-bit positions can address is refused.
TEST(PairedLists, AListBeyondTheLimitIsRefusedWithAMessage) {
  const std::string path = ::testing::TempDir() + "wide.csv";
  {
    std::ofstream out(path);
    for (int i = 0; i < 16384; ++i) out << (i ? "," : "") << "v" << i;
    out << "\n";
    for (int i = 0; i < 16384; ++i) out << (i ? "," : "") << i;
    out << "\n";
  }
  const RunRecord run = runText("proc kravo data='" + path + "'; paired (_all_)*(_all_); run;");
  EXPECT_EQ(run[0].rc, 3000);
  EXPECT_EQ(messages(run[0], vyn::LogLevel::kError), std::vector<int>{900});
}

}  // namespace

// Statements written twice, long BY lists and CLASS levels, through whole programs.
#include <string>
#include <vector>

#include "tests/program/harness.h"
#include "vyn/output/render.h"

namespace {

using namespace std::string_literals;
using namespace harness;

// One error, said once, a failing code and no table.
TEST(RefusedStatements, EndTheStepWithOneErrorAndAFailingCode) {
  const struct {
    const char *program;
    int group, message;
  } cases[] = {
      {"proc kravo data=scores; paired math*math; run;", 181, 46},
      {"proc kravo data=scores; paired (math reading):(math reading); run;", 181, 46},
      {"proc kravo data=scores; class grp; class site; var math; run;", 210, 290},
      {"proc kravo data=scores; class grp; var math; class grp; run;", 210, 290},
      {"proc kravo data=scores; freq f; freq w; var math; run;", 210, 290},
      {"proc kravo data=scores; weight w; var math; weight f; run;", 210, 290},
      {"proc kravo data=scores; by site; by grp; var math; run;", 210, 290},
      {"proc kravo data=xover; var y1 y2 / crossover=(t1 t2) crossover=(t1 t2); run;", 210, 290},
      {"proc kravo data=scores h0=60 h0=70; var math; run;", 210, 291},
      {"proc kravo data=scores alpha=0.1 alpha=0.05; var math; run;", 210, 291},
      {"proc kravo data=scores sides=2 sides=2; var math; run;", 210, 291},
      {"proc kravo data=scores tost(60, 80) tost(5); var math; run;", 210, 291},
      {"proc kravo data=scores data=scores; var math; run;", 210, 291},
  };
  for (const auto &c : cases) {
    const StepRecord step = runStep(c.program);
    EXPECT_EQ(step.rc, 3000) << c.program;
    EXPECT_EQ(errors(step), (std::vector<std::pair<int, int>>{{c.group, c.message}})) << c.program;
    EXPECT_TRUE(tables(step, "Statistics").empty()) << c.program;
  }
}

// The rows of every table of a NOBYVAR step, in order.
std::vector<std::vector<Cell>> allRows(const StepRecord &step) {
  std::vector<std::vector<Cell>> rows;
  for (const Table *t : tables(step)) rows.insert(rows.end(), t->rows.begin(), t->rows.end());
  return rows;
}

// VAR and PAIRED written twice give what one statement with both lists gives.
TEST(JoinedStatements, GiveWhatOneStatementWithBothListsGives) {
  const std::pair<const char *, const char *> cases[] = {
      {"proc kravo data=scores nobyvar; var math; var reading; run;",
       "proc kravo data=scores nobyvar; var math reading; run;"},
      {"proc kravo data=scores nobyvar; paired math*reading; paired f*w; run;",
       "proc kravo data=scores nobyvar; paired math*reading f*w; run;"},
      {"proc kravo data=scores nobyvar; paired (math reading):(f w); paired w*math; run;",
       "proc kravo data=scores nobyvar; paired (math reading):(f w) w*math; run;"},
  };
  for (const auto &[twice, once] : cases) {
    const StepRecord repeated = runStep(twice);
    EXPECT_EQ(repeated.rc, 0) << twice;
    EXPECT_TRUE(errors(repeated).empty()) << twice;
    EXPECT_GT(tables(repeated, "Statistics").front()->rows.size(), 1u) << twice;
    EXPECT_EQ(allRows(repeated), allRows(runStep(once))) << twice;
  }
}

// Seventy BY variables and one more numeric variable: only that one is an
// analysis variable, however many names the exclusion list holds.
TEST(DefaultVariables, EveryByVariableIsLeftOutOfALongList) {
  std::string csv;
  for (int i = 1; i <= 70; ++i) csv += "v" + std::to_string(i) + ",";
  csv += "y\n";
  for (int row = 0; row < 3; ++row) {
    for (int i = 1; i <= 70; ++i) csv += std::to_string(i) + ",";
    csv += std::to_string(row + 1) + "\n";
  }
  const std::string path = dataFile("wideby.csv", csv);
  const StepRecord step = runStep("proc kravo data='" + path + "' nobyvar; by v1-v70; run;");
  EXPECT_EQ(step.rc, 0);
  ASSERT_EQ(tables(step, "Statistics").size(), 1u);
  const Table &stats = *tables(step, "Statistics").front();
  EXPECT_EQ(texts(stats, "Variable"), std::vector<std::string>{"y"});
  EXPECT_EQ(cells(stats, "Mean"), std::vector<Cell>{2.0});  // (1 + 2 + 3) / 3
}

// CLASS values that differ only in NUL or control bytes, or only beyond 256
// characters, or hold 300 leading blanks, are two levels with their own counts and means, and their
// texts reach the table whole. Order: the default formatted order compares
// the blank-padded texts, so a NUL or tab (below the blank) sorts first.
struct LevelCase {
  std::string first, second;       // the two values, each on two rows
  std::string shownFirst;          // the first level in the listing
  std::string jsonEscape;          // how the JSON document writes the control byte
  std::vector<std::string> order;  // Class texts of the Statistics rows
  double firstMean;                // mean of the first row
};

std::string levelCsv(const LevelCase &c) {
  const auto quoted = [](const std::string &s) { return "\"" + s + "\""; };
  return "g,y\n" + quoted(c.first) + ",1\n" + quoted(c.first) + ",2\n" + quoted(c.second) + ",3\n" +
         quoted(c.second) + ",5\n";
}

class ClassLevels : public ::testing::TestWithParam<LevelCase> {};

TEST_P(ClassLevels, StayTwoLevelsAndReachEveryRenderingWhole) {
  const LevelCase &c = GetParam();
  const std::string path = dataFile("levels.csv", levelCsv(c));
  const StepRecord step = runStep("proc kravo data='" + path + "'; class g; var y; run;");
  ASSERT_EQ(step.rc, 0);
  ASSERT_EQ(tables(step, "Statistics").size(), 1u);
  const Table &stats = *tables(step, "Statistics").front();
  EXPECT_EQ(texts(stats, "Class"), c.order);
  // the first value holds 1 and 2 (mean 1.5), the second 3 and 5 (mean 4)
  const double other = c.firstMean == 1.5 ? 4.0 : 1.5;
  EXPECT_EQ(cells(stats, "Mean"), (std::vector<Cell>{c.firstMean, other, c.firstMean - other}));
  const auto width = static_cast<long long>(std::max(c.order[0].size(), c.order[1].size()));
  EXPECT_EQ(intAttribute(column(stats, "Class").attributes, "MaximumWidth"), std::max(width, 10LL));
  const std::string listing = vyn::output::renderListing({step});
  EXPECT_NE(listing.find(c.shownFirst), std::string::npos);
  EXPECT_EQ(listing.find('\0'), std::string::npos);
  EXPECT_EQ(vyn::output::renderHtml({step}).find('\0'), std::string::npos);
  EXPECT_NE(vyn::output::renderJson({step}).find(c.jsonEscape), std::string::npos);
}

const std::string kK = std::string(299, 'k'), kBlanks(300, ' ');

INSTANTIATE_TEST_SUITE_P(
    ControlBytesAndLength, ClassLevels,
    ::testing::Values(
        LevelCase{"a\0x"s, "a\0y"s, "a\\x00x", "a\\u0000x", {"a\0x"s, "a\0y"s, "Diff (1-2)"}, 1.5},
        LevelCase{"a"s, "a\0"s, "a\\x00", "a\\u0000", {"a\0"s, "a", "Diff (1-2)"}, 4.0},
        LevelCase{"b"s, "b\t"s, "b\\t", "b\\t", {"b\t"s, "b", "Diff (1-2)"}, 4.0},
        LevelCase{kK + "2", kK + "1", kK + "1", kK + "1", {kK + "1", kK + "2", "Diff (1-2)"}, 4.0},
        // not missing though the first 256 characters are blank
        LevelCase{kBlanks + "x", kBlanks + "y", "x", "x", {"x", "y", "Diff (1-2)"}, 1.5}));

// Group A has levels "a" and "b", group B "first level long" and "second
// level long": each group's Class column is as wide as its own levels.
TEST(ClassColumn, EachByGroupIsSizedForItsOwnLevelsInTheDefaultMode) {
  const std::string path = dataFile(
      "bylevels.csv",
      "s,g,y\nA,a,1\nA,a,2\nA,b,3\nA,b,5\n"
      "B,first level long,1\nB,first level long,2\nB,second level long,4\nB,second level long,3\n"
      "C,c,1\nC,c,2\nC,d,3\nC,d,4\n");
  const StepRecord step = runStep("proc kravo data='" + path + "'; by s; class g; var y; run;");
  ASSERT_EQ(step.rc, 0);
  const std::vector<const Table *> stats = tables(step, "Statistics");
  ASSERT_EQ(stats.size(), 3u);
  const std::vector<long long> widths = {10, 17, 10};  // "Diff (1-2)" is 10 characters
  for (size_t g = 0; g < 3; ++g) {
    EXPECT_EQ(intAttribute(column(*stats[g], "Class").attributes, "MinimumWidth"), widths[g]) << g;
    EXPECT_EQ(intAttribute(column(*stats[g], "Class").attributes, "MaximumWidth"), widths[g]) << g;
  }
  EXPECT_EQ(texts(*stats[1], "Class"),
            (std::vector<std::string>{"first level long", "second level long", "Diff (1-2)"}));
  EXPECT_EQ(texts(*tables(step, "ConfLimits")[1], "Class")[1], "second level long");
}

}  // namespace

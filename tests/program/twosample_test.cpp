// What the two-sample cell goldens leave out: labels, widths, formats, SIDES, CI=, WEIGHT, BY.
#include "tests/program/harness.h"

namespace {

using namespace harness;

long long maxWidth(const Table &t, const std::string &col) {
  return intAttribute(column(t, col).attributes, "MaximumWidth");
}

TEST(TwoSampleLayout, LabelsWidthsAndFormats) {
  const StepRecord step = runStep("proc kravo data=plants; class group; var weight; run;");
  const Table &stats = table(step, "Statistics");
  const Table &equality = table(step, "Equality");
  EXPECT_EQ(equality.label, "Equality of Variances");
  EXPECT_EQ(column(equality, "ProbF").format.rfind("PVALUE", 0), 0u);
  // "Diff (1-2)" is longer than both levels; "Satterthwaite" than "Pooled".
  EXPECT_EQ(maxWidth(stats, "Class"), 10);
  EXPECT_EQ(maxWidth(table(step, "ConfLimits"), "Method"), 13);
  EXPECT_EQ(maxWidth(equality, "Method"), 8);
  const StepRecord log =
      runStep("proc kravo data=plants dist=lognormal; class group; var weight; run;");
  EXPECT_EQ(column(table(log, "ConfLimits"), "CVs").label, "CVs");
  EXPECT_EQ(table(log, "Equality").label, "Equality of Coefficients of Variation");
}

TEST(TwoSampleLayout, SidesNameThePValueAndCiChoosesTheShownLimits) {
  const StepRecord step =
      runStep("proc kravo data=plants sides=l ci=umpu; class group; var weight; run;");
  const Column &probt = column(table(step, "Kravos"), "Probt");
  EXPECT_EQ(std::get<std::string>(probt.attributes.at("ProbtHeader")), "Pr < t");
  const Table &limits = table(step, "ConfLimits");
  EXPECT_TRUE(column(limits, "StdDev").print);
  EXPECT_FALSE(column(limits, "LowerCLStdDev").print);
  EXPECT_TRUE(column(limits, "UMPULowerCLStdDev").print);
  EXPECT_TRUE(missing(limits, 2, "LowerCLMean", 'M'));   // SIDES=L opens the lower side
  EXPECT_FALSE(missing(limits, 0, "LowerCLMean", 'M'));  // levels keep both sides
}

// With WEIGHT, ConfLimits asks for less space and Cochran has no row, though
// the method width still allows for it.
TEST(TwoSampleLayout, AWeightVariableDropsTheCochranRow) {
  const StepRecord step =
      runStep("proc kravo data=levels cochran; by site; class grp; weight w; var x; run;");
  EXPECT_EQ(step.rc, 4);  // warning 301
  EXPECT_EQ(intAttribute(table(step, "ConfLimits").attributes, "reqspace"), 5);
  EXPECT_EQ(texts(table(step, "Kravos"), "Method"),
            (std::vector<std::string>{"Pooled", "Satterthwaite"}));
  EXPECT_EQ(maxWidth(table(step, "Kravos"), "Method"), 13);
}

// Two constant groups have no standard error: the Cochran-Cox degrees of
// freedom and p-value are not worked out and show as missing, while the
// pooled test has its n1 + n2 - 2 = 3 degrees of freedom.
TEST(TwoSampleLayout, ConstantGroupsLeaveTheCochranTestMissing) {
  const std::string path = dataFile("constant.csv", "g,x\n1,5\n1,5\n2,7\n2,7\n2,7\n");
  const StepRecord step = runStep("proc kravo data='" + path + "' cochran; class g; var x; run;");
  const Table &tests = table(step, "Kravos");
  EXPECT_EQ(texts(tests, "Method"),
            (std::vector<std::string>{"Pooled", "Satterthwaite", "Cochran"}));
  EXPECT_EQ(std::get<double>(cell(tests, 0, "DF")), 3.0);
  EXPECT_TRUE(missing(tests, 2, "DF", '.'));
  EXPECT_TRUE(missing(tests, 2, "Probt", '.'));
}

// Only the blanks common to both levels go, so right-aligned numbers keep
// their alignment.
TEST(TwoSampleLevels, ANumericClassShowsItsFormattedLevels) {
  const StepRecord step = runStep("proc kravo data=teeth; class dose; var len; run;");
  EXPECT_EQ(step.rc, 0);
  const Table &s = table(step, "Statistics");
  EXPECT_EQ(column(s, "Class").label, "dose");  // the CLASS variable's own name
  EXPECT_EQ(texts(s, "Class"), (std::vector<std::string>{"0.5", "  2", "Diff (1-2)"}));
}

// A character format narrower than the values cuts them, never inside a
// UTF-8 sequence: "alpha" and "alps" are one level, "abé" shows as "ab".
TEST(TwoSampleLevels, ACharacterFormatCutsTheLevels) {
  const std::string path = dataFile("cut.csv", "g,x\nalpha,1\nalps,2\nab\u00e9,4\nab\u00e9,7\n");
  dataFile("cut.schema.json", R"({"fields": [{"name": "g", "format": "$3."}]})");
  const StepRecord step = runStep("proc kravo data='" + path + "'; class g; var x; run;");
  EXPECT_EQ(step.rc, 0);
  EXPECT_EQ(texts(table(step, "Statistics"), "Class"),
            (std::vector<std::string>{"ab", "alp", "Diff (1-2)"}));
}

// A CLASS value met again keeps its level across blank values, values its
// format cuts to one text, and the start of the next BY group, which begins
// with the value the group before ended on (ORDER=DATA: levels as they come).
TEST(TwoSampleLevels, ValuesMetAgainKeepTheirLevelsAcrossBlanksAndByGroups) {
  const std::string path = dataFile("again.csv",
                                    "s,g,x\n1,alpha,1\n1,,50\n1,b,2\n1,alps,3\n1,alpha,5\n1,b,4\n"
                                    "2,b,6\n2,alpha,7\n2,,70\n2,b,8\n2,alps,9\n");
  dataFile("again.schema.json", R"({"fields": [{"name": "g", "format": "$3."}]})");
  const StepRecord step =
      runStep("proc kravo data='" + path + "' order=data; by s; class g; var x; run;");
  const struct {
    std::vector<std::string> levels;
    double n[2], mean[2];
  } groups[] = {{{"alp", "b", "Diff (1-2)"}, {3, 2}, {3, 3}},
                {{"b", "alp", "Diff (1-2)"}, {2, 2}, {7, 8}}};
  for (size_t g = 0; g < std::size(groups); ++g) {
    const Table &stats = table(step, "Statistics", g);
    EXPECT_EQ(texts(stats, "Class"), groups[g].levels) << g;
    for (size_t level = 0; level < 2; ++level) {
      EXPECT_EQ(cell(stats, level, "N"), Cell(groups[g].n[level])) << g << level;
      EXPECT_EQ(cell(stats, level, "Mean"), Cell(groups[g].mean[level])) << g << level;
    }
  }
}

// A level shorter than the one read before it is the value blank-filled, not
// the end of the longer one: "abc" is a level of its own, and in internal
// (byte) order the blank after "abc" puts it before the longer level.
TEST(TwoSampleLevels, AShortLevelAfterALongOneIsBlankFilled) {
  const std::string long21 = "abcdefghijklmnopqrstu";
  const std::string path =
      dataFile("lengths.csv", "g,x\n" + long21 + ",1\n" + long21 + ",2\nabc,4\nabc,7\n");
  const StepRecord step =
      runStep("proc kravo data='" + path + "' order=internal; class g; var x; run;");
  EXPECT_EQ(step.rc, 0);
  std::vector<std::string> levels = texts(table(step, "Statistics"), "Class");
  for (std::string &level : levels) level.erase(level.find_last_not_of(' ') + 1);
  EXPECT_EQ(levels, (std::vector<std::string>{"abc", long21, "Diff (1-2)"}));
}

TEST(TwoSampleByGroups, OneOutputModeMeasuresEachGroupAndCollectsEveryVariable) {
  const StepRecord step =
      runStep("proc kravo data=levels nobyvar; by site; class grp; var x y; run;");
  EXPECT_EQ(step.rc, 0);
  EXPECT_EQ(tableNames(step),
            (std::vector<std::string>{"Statistics", "ConfLimits", "Kravos", "Equality",
                                      "Statistics", "ConfLimits", "Kravos", "Equality"}));
  const Table &second = table(step, "Statistics", 1);
  EXPECT_EQ(maxWidth(table(step, "Statistics", 0), "Class"), 10);
  EXPECT_EQ(maxWidth(second, "Class"), 17);
  EXPECT_TRUE(column(second, "Variable").print);
  EXPECT_EQ(texts(second, "Class"),
            (std::vector<std::string>{"first level long", "second level long", "Diff (1-2)",
                                      "first level long", "second level long", "Diff (1-2)"}));
  EXPECT_EQ(texts(second, "Variable"), (std::vector<std::string>{"x", "x", "x", "y", "y", "y"}));
  EXPECT_EQ(table(step, "Kravos", 1).rows.size(), 4u);
  EXPECT_EQ(table(step, "ConfLimits", 1).rows.size(), 8u);
  EXPECT_EQ(table(step, "Equality", 1).rows.size(), 2u);
}

}  // namespace

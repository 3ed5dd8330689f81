// The two-sample tables through the host and the linked module: which tables
// a step emits and in what order, their columns, labels and widths, the rows
// by level, difference and method, the lognormal and normal-ratio variants,
// BY groups in both output modes, and the key cells of PlantGrowth (ctrl
// against trt1) against R.
#include <gtest/gtest.h>

#include "tests/program/harness.h"

namespace {

#include "tests/program/golden_two.inc"

using namespace harness;

std::vector<std::string> columnNames(const Table &t) {
  std::vector<std::string> names;
  for (const Column &c : t.columns) names.push_back(c.name);
  return names;
}

long long widthAttribute(const Column &c, const std::string &name) {
  return intAttribute(c.attributes, name);
}

constexpr double kTol = 1e-9;
const std::string kPlants = "proc kravo data=plants ";

TEST(TableOrder, WithoutTostKravosThenEquality) {
  const StepRecord step = runStep(kPlants + "; class group; var weight; run;");
  EXPECT_EQ(step.rc, 0);
  EXPECT_EQ(tableNames(step),
            (std::vector<std::string>{"Statistics", "ConfLimits", "Kravos", "Equality"}));
}

TEST(TableOrder, WithTostTheEquivalenceTablesReplaceKravos) {
  const StepRecord step = runStep(kPlants + "tost(-1, 1); class group; var weight; run;");
  EXPECT_EQ(step.rc, 0);
  EXPECT_EQ(tableNames(step), (std::vector<std::string>{"Statistics", "ConfLimits", "EquivLimits",
                                                        "EquivTests", "Equality"}));
}

TEST(Layout, ColumnsLabelsAndTemplatePaths) {
  const StepRecord step = runStep(kPlants + "; class group; var weight; run;");
  const Table &stats = table(step, "Statistics");
  EXPECT_EQ(stats.path, "Stat.Kravo.Statistics");
  EXPECT_EQ(columnNames(stats), (std::vector<std::string>{
                                    "Variable", "Class", "N", "Mean", "LowerCLMean", "UpperCLMean",
                                    "StdDev", "LowerCLStdDev", "UpperCLStdDev", "UMPULowerCLStdDev",
                                    "UMPUUpperCLStdDev", "StdErr", "Minimum", "Maximum"}));
  EXPECT_EQ(column(stats, "Class").label, "group");  // the CLASS variable's own name
  EXPECT_EQ(column(stats, "Variable").label, "Variable");
  EXPECT_FALSE(column(stats, "Variable").print);  // one analysis per output object
  const Table &limits = table(step, "ConfLimits");
  EXPECT_EQ(columnNames(limits),
            (std::vector<std::string>{"Variable", "Class", "Method", "Variances", "Mean",
                                      "LowerCLMean", "UpperCLMean", "StdDev", "LowerCLStdDev",
                                      "UpperCLStdDev", "UMPULowerCLStdDev", "UMPUUpperCLStdDev"}));
  EXPECT_EQ(intAttribute(limits.attributes, "reqspace"), 6);
  EXPECT_EQ(columnNames(table(step, "Kravos")),
            (std::vector<std::string>{"Variable", "Method", "Variances", "tValue", "DF", "Probt"}));
  const Table &equality = table(step, "Equality");
  EXPECT_EQ(equality.path, "Stat.Kravo.Equality");
  EXPECT_EQ(equality.label, "Equality of Variances");
  EXPECT_EQ(columnNames(equality),
            (std::vector<std::string>{"Variable", "Method", "NumDF", "DenDF", "FValue", "ProbF"}));
  EXPECT_EQ(column(equality, "ProbF").format.rfind("PVALUE", 0), 0u);
  // "Diff (1-2)" is longer than both levels; "Satterthwaite" than "Pooled".
  EXPECT_EQ(widthAttribute(column(stats, "Class"), "MaximumWidth"), 10);
  EXPECT_EQ(widthAttribute(column(limits, "Method"), "MaximumWidth"), 13);
  EXPECT_EQ(widthAttribute(column(equality, "Method"), "MaximumWidth"), 8);
}

TEST(Layout, AWeightVariableAsksForLessSpace) {
  const StepRecord step =
      runStep("proc kravo data=levels; by site; class grp; weight w; var x; run;");
  EXPECT_EQ(step.rc, 0);
  EXPECT_EQ(intAttribute(table(step, "ConfLimits").attributes, "reqspace"), 5);
}

TEST(Layout, SidesNameThePValueAndCiChoosesTheShownLimits) {
  const StepRecord step = runStep(kPlants + "sides=l ci=umpu; class group; var weight; run;");
  const Column &probt = column(table(step, "Kravos"), "Probt");
  const auto header = probt.attributes.find("ProbtHeader");
  ASSERT_NE(header, probt.attributes.end());
  EXPECT_EQ(std::get<std::string>(header->second), "Pr < t");
  const Table &limits = table(step, "ConfLimits");
  EXPECT_TRUE(column(limits, "StdDev").print);
  EXPECT_FALSE(column(limits, "LowerCLStdDev").print);
  EXPECT_TRUE(column(limits, "UMPULowerCLStdDev").print);
  EXPECT_TRUE(missing(limits, 2, "LowerCLMean", 'M'));  // SIDES=L opens the lower side
}

void expectNear(const Table &t, size_t row, const std::vector<std::string> &cols,
                const std::vector<double> &want) {
  for (size_t i = 0; i < cols.size(); ++i) {
    EXPECT_NEAR(number(t, row, cols[i]), want[i], kTol)
        << t.name << " row " << row << " " << cols[i];
  }
}

TEST(PlantGrowth, StatisticsRowsByLevelAndDifference) {
  const StepRecord step = runStep(kPlants + "; class group; var weight; run;");
  const Table &t = table(step, "Statistics");
  ASSERT_EQ(t.rows.size(), 3u);
  EXPECT_EQ(texts(t, "Class"), (std::vector<std::string>{"ctrl", "trt1", "Diff (1-2)"}));
  EXPECT_EQ(texts(t, "Variable"), (std::vector<std::string>{"weight", "weight", "weight"}));
  const std::vector<std::string> cols = {"N", "Mean", "LowerCLMean", "UpperCLMean", "StdDev"};
  expectNear(t, 0, cols, {kLevel1[0], kLevel1[1], kLevel1[2], kLevel1[3], kLevel1[4]});
  expectNear(t, 1, cols, {kLevel2[0], kLevel2[1], kLevel2[2], kLevel2[3], kLevel2[4]});
  expectNear(t, 2,
             {"Mean", "LowerCLMean", "UpperCLMean", "StdDev", "LowerCLStdDev", "UpperCLStdDev"},
             {kPooled[0], kPooled[1], kPooled[2], kPooled[3], kPooled[4], kPooled[5]});
  EXPECT_NEAR(number(t, 0, "Minimum"), 4.17, kTol);
  EXPECT_NEAR(number(t, 1, "Maximum"), 6.03, kTol);
  EXPECT_TRUE(missing(t, 2, "N", '_'));
  EXPECT_TRUE(missing(t, 2, "Minimum", '_'));
}

TEST(PlantGrowth, ConfLimitsPooledAndSatterthwaiteRows) {
  const StepRecord step = runStep(kPlants + "; class group; var weight; run;");
  const Table &t = table(step, "ConfLimits");
  ASSERT_EQ(t.rows.size(), 4u);
  EXPECT_EQ(texts(t, "Class"),
            (std::vector<std::string>{"ctrl", "trt1", "Diff (1-2)", "Diff (1-2)"}));
  EXPECT_EQ(texts(t, "Method"), (std::vector<std::string>{"", "", "Pooled", "Satterthwaite"}));
  EXPECT_EQ(texts(t, "Variances"), (std::vector<std::string>{"", "", "Equal", "Unequal"}));
  expectNear(t, 2, {"Mean", "LowerCLMean", "UpperCLMean", "StdDev"},
             {kPooled[0], kPooled[1], kPooled[2], kPooled[3]});
  expectNear(t, 3, {"Mean", "LowerCLMean", "UpperCLMean"}, {kPooled[0], kWelch[0], kWelch[1]});
  EXPECT_TRUE(missing(t, 3, "StdDev", '_'));
  EXPECT_TRUE(missing(t, 3, "UMPUUpperCLStdDev", '_'));
}

TEST(PlantGrowth, KravosAndEquality) {
  const StepRecord step = runStep(kPlants + "; class group; var weight; run;");
  const Table &k = table(step, "Kravos");
  ASSERT_EQ(k.rows.size(), 2u);  // no Cochran row without COCHRAN
  EXPECT_EQ(texts(k, "Method"), (std::vector<std::string>{"Pooled", "Satterthwaite"}));
  expectNear(k, 0, {"tValue", "DF", "Probt"}, {kPooled[6], kPooled[7], kPooled[8]});
  expectNear(k, 1, {"tValue", "DF", "Probt"}, {kWelch[2], kWelch[3], kWelch[4]});
  const Table &e = table(step, "Equality");
  ASSERT_EQ(e.rows.size(), 1u);
  EXPECT_EQ(text(e, 0, "Method"), "Folded F");
  expectNear(e, 0, {"NumDF", "DenDF", "FValue", "ProbF"},
             {kFolded[0], kFolded[1], kFolded[2], kFolded[3]});
}

TEST(Cochran, ARowOnlyWithCochranAndNoWeight) {
  const StepRecord step = runStep(kPlants + "cochran; class group; var weight; run;");
  const Table &k = table(step, "Kravos");
  ASSERT_EQ(k.rows.size(), 3u);
  EXPECT_EQ(text(k, 2, "Method"), "Cochran");
  EXPECT_EQ(text(k, 2, "Variances"), "Unequal");
  expectNear(k, 2, {"tValue", "DF", "Probt"}, {kWelch[2], kCochran[0], kCochran[1]});
  const StepRecord weighted =
      runStep("proc kravo data=levels cochran; by site; class grp; weight w; var x; run;");
  for (const Table *t : tables(weighted)) {
    if (t->name == "Kravos") {
      EXPECT_EQ(t->rows.size(), 2u);
    }
  }
}

TEST(Equivalence, LimitsAndSixTestRows) {
  const StepRecord step = runStep(kPlants + "tost(-1, 1); class group; var weight; run;");
  const Table &l = table(step, "EquivLimits");
  ASSERT_EQ(l.rows.size(), 2u);
  EXPECT_EQ(intAttribute(l.attributes, "confequiv"), 90);
  EXPECT_EQ(texts(l, "Class"), (std::vector<std::string>{"Diff (1-2)", "Diff (1-2)"}));
  EXPECT_EQ(texts(l, "Method"), (std::vector<std::string>{"Pooled", "Satterthwaite"}));
  expectNear(l, 0, {"Mean", "LowerBound", "LowerCLMean", "UpperCLMean", "UpperBound"},
             {kPooled[0], -1, kTostPooled[2], kTostPooled[3], 1});
  expectNear(l, 1, {"LowerCLMean", "UpperCLMean"}, {kTostWelch[2], kTostWelch[3]});
  EXPECT_EQ(texts(l, "LowerComparator"), (std::vector<std::string>{"<", "<"}));
  EXPECT_EQ(texts(l, "Assessment"), (std::vector<std::string>{"Equivalent", "Equivalent"}));
  const Table &t = table(step, "EquivTests");
  ASSERT_EQ(t.rows.size(), 6u);
  EXPECT_EQ(texts(t, "Test"),
            (std::vector<std::string>{"Lower", "Upper", "Overall", "Lower", "Upper", "Overall"}));
  EXPECT_EQ(texts(t, "Method"),
            (std::vector<std::string>{"Pooled", "Pooled", "Pooled", "Satterthwaite",
                                      "Satterthwaite", "Satterthwaite"}));
  const std::vector<double> p = {kTostPooled[0], kTostPooled[1], kTostPooled[1],
                                 kTostWelch[0],  kTostWelch[1],  kTostWelch[1]};
  for (size_t r = 0; r < 6; ++r) EXPECT_NEAR(number(t, r, "Probt"), p[r], kTol) << r;
  EXPECT_NEAR(number(t, 4, "DF"), kWelch[3], kTol);
  EXPECT_TRUE(missing(t, 2, "Null", '_'));
  EXPECT_TRUE(missing(t, 5, "DF", '_'));
}

TEST(Variants, LognormalUsesTheGeometricColumnsAndCvs) {
  const StepRecord step = runStep(kPlants + "dist=lognormal; class group; var weight; run;");
  const Table &s = table(step, "Statistics");
  EXPECT_EQ(columnNames(s),
            (std::vector<std::string>{"Variable", "Class", "N", "GeomMean", "LowerCLGeomMean",
                                      "UpperCLGeomMean", "CV", "LowerCLCV", "UpperCLCV",
                                      "UMPULowerCLCV", "UMPUUpperCLCV", "Minimum", "Maximum"}));
  EXPECT_EQ(text(s, 2, "Class"), "Ratio (1/2)");
  expectNear(s, 2, {"GeomMean", "LowerCLGeomMean", "UpperCLGeomMean", "CV"},
             {kLog[0], kLog[1], kLog[2], kLog[5]});
  const Table &c = table(step, "ConfLimits");
  EXPECT_EQ(column(c, "CVs").label, "CVs");
  expectNear(c, 3, {"GeomMean", "LowerCLGeomMean", "UpperCLGeomMean"}, {kLog[0], kLog[3], kLog[4]});
  const Table &k = table(step, "Kravos");
  expectNear(k, 0, {"tValue", "Probt"}, {kLog[6], kLog[7]});
  EXPECT_EQ(table(step, "Equality").label, "Equality of Coefficients of Variation");
}

TEST(Variants, NormalRatioHasNoDispersionOfItsOwn) {
  const StepRecord step =
      runStep(kPlants + "test=ratio dist=normal; class group; var weight; run;");
  EXPECT_EQ(step.rc, 0);
  const Table &s = table(step, "Statistics");
  EXPECT_EQ(text(s, 2, "Class"), "Ratio (1/2)");
  expectNear(s, 2, {"Mean", "LowerCLMean", "UpperCLMean"}, {kRatio[0], kRatio[1], kRatio[2]});
  for (const char *col : {"StdDev", "LowerCLStdDev", "UMPUUpperCLStdDev", "StdErr"}) {
    EXPECT_TRUE(missing(s, 2, col, '_')) << col;
  }
  const Table &c = table(step, "ConfLimits");
  expectNear(c, 2, {"Mean", "LowerCLMean", "UpperCLMean"}, {kRatio[0], kRatio[1], kRatio[2]});
  EXPECT_TRUE(missing(c, 2, "StdDev", '_'));
  expectNear(table(step, "Kravos"), 0, {"tValue", "Probt"}, {kRatio[3], kRatio[4]});
}

// Only the blanks common to both levels go, so right-aligned numbers keep
// their alignment.
TEST(ClassLevels, ANumericClassShowsItsFormattedLevels) {
  const StepRecord step = runStep("proc kravo data=teeth; class dose; var len; run;");
  EXPECT_EQ(step.rc, 0);
  const Table &s = table(step, "Statistics");
  EXPECT_EQ(column(s, "Class").label, "dose");
  EXPECT_EQ(texts(s, "Class"), (std::vector<std::string>{"0.5", "  2", "Diff (1-2)"}));
}

// Group A has levels "a" and "b", group B "first level long" and "second
// level long", longer than the difference text.
TEST(ByGroups, TheDefaultModeKeepsTheWidthsOfTheFirstGroup) {
  const StepRecord step = runStep("proc kravo data=levels; by site; class grp; var x; run;");
  EXPECT_EQ(step.rc, 0);
  const Table &second = table(step, "Statistics", 1);
  EXPECT_EQ(widthAttribute(column(second, "Class"), "MaximumWidth"), 10);
  EXPECT_EQ(texts(second, "Class"),
            (std::vector<std::string>{"first leve", "second lev", "Diff (1-2)"}));
}

TEST(ByGroups, OneOutputModeMeasuresEachGroupAndCollectsEveryVariable) {
  const StepRecord step =
      runStep("proc kravo data=levels nobyvar; by site; class grp; var x y; run;");
  EXPECT_EQ(step.rc, 0);
  EXPECT_EQ(tableNames(step),
            (std::vector<std::string>{"Statistics", "ConfLimits", "Kravos", "Equality",
                                      "Statistics", "ConfLimits", "Kravos", "Equality"}));
  const Table &first = table(step, "Statistics", 0);
  const Table &second = table(step, "Statistics", 1);
  EXPECT_EQ(widthAttribute(column(first, "Class"), "MaximumWidth"), 10);
  EXPECT_EQ(widthAttribute(column(second, "Class"), "MaximumWidth"), 17);
  EXPECT_TRUE(column(second, "Variable").print);
  ASSERT_EQ(second.rows.size(), 6u);
  EXPECT_EQ(texts(second, "Class"),
            (std::vector<std::string>{"first level long", "second level long", "Diff (1-2)",
                                      "first level long", "second level long", "Diff (1-2)"}));
  EXPECT_EQ(texts(second, "Variable"), (std::vector<std::string>{"x", "x", "x", "y", "y", "y"}));
  EXPECT_EQ(table(step, "Kravos", 1).rows.size(), 4u);
  EXPECT_EQ(table(step, "ConfLimits", 1).rows.size(), 8u);
  EXPECT_EQ(table(step, "Equality", 1).rows.size(), 2u);
}

}  // namespace

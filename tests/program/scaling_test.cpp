// Whole programs on data whose sums leave the range of a double: one data set
// scaled by powers of two gives the same tests at every scale, and the groups
// whose squares, weights or limits overflow or underflow keep every result
// that fits. Expected values come from scaling_goldens.R.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/program/harness.h"

namespace {

#include "tests/program/scaling_golden.inc"

using namespace harness;

std::string exact(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

// Writes `csv` as name.csv into a fresh data folder of its own; returns the folder.
std::string dataDir(const std::string &name, const std::string &csv) {
  const std::string dir = harness::scratchDir() + "scaling_" + name;
  std::filesystem::create_directories(dir);
  std::ofstream(dir + "/" + name + ".csv") << csv;
  return dir;
}

// The numbers of the named tables, row by row, missing values left out.
std::vector<double> numbers(const StepRecord &step, std::initializer_list<const char *> names) {
  std::vector<double> values;
  for (const char *name : names) {
    for (const Table *t : tables(step, name)) {
      for (const auto &row : t->rows) {
        for (const Cell &c : row) {
          if (const auto *v = std::get_if<double>(&c)) values.push_back(*v);
          if (const auto *v = std::get_if<long long>(&c)) values.push_back(static_cast<double>(*v));
        }
      }
    }
  }
  return values;
}

// The scaled data set: values and null value times 2^k, weights times 2^-k.
std::string scaledData(int k) {
  std::string csv = "g,x,a,b,w,f\n";
  for (size_t i = 0; i < std::size(kScaleX); ++i) {
    csv += exact(kScaleG[i]) + "," + exact(std::ldexp(kScaleX[i], k)) + "," +
           exact(std::ldexp(kScaleA[i], k)) + "," + exact(std::ldexp(kScaleB[i], k)) + "," +
           exact(std::ldexp(kScaleW[i], -k)) + "," + exact(kScaleF[i]) + "\n";
  }
  return dataDir("scale", csv);
}

// Every cell of the descriptive tables at scale k against the same cell at
// scale 0: N stays, a weighted standard deviation scales by 2^(k/2), every
// other number by 2^k.
void expectScaledTables(const StepRecord &at, const StepRecord &base, int k, bool weighted) {
  for (const char *name : {"Statistics", "ConfLimits"}) {
    const Table &t = table(at, name), &b = table(base, name);
    ASSERT_EQ(t.rows.size(), b.rows.size()) << name;
    for (size_t r = 0; r < t.rows.size(); ++r) {
      for (size_t c = 0; c < t.columns.size(); ++c) {
        const std::string &column = t.columns[c].name;
        const auto *v = std::get_if<double>(&b.rows[r][c]);
        if (v == nullptr) {
          EXPECT_EQ(t.rows[r][c], b.rows[r][c]) << name << " " << column;
          continue;
        }
        const bool spread = column.find("StdDev") != std::string::npos;
        const int e = column == "N" ? 0 : (spread && weighted ? k / 2 : k);
        EXPECT_EQ(std::get<double>(t.rows[r][c]), std::ldexp(*v, e))
            << name << " row " << r << " " << column << " at 2^" << k;
      }
    }
  }
}

TEST(Scaling, TestsDoNotChangeWhenTheDataScaleByPowersOfTwo) {
  const double *t = kScaleTwo, *w = kScaleTwoWeighted;
  const struct {
    const char *name;
    double h0;                     // the null value at scale 0
    const char *statements;        // after PROC KRAVO DATA=scale H0=h
    bool weighted;                 // the standard deviations scale by 2^(k/2)
    std::vector<double> expected;  // the Kravos and Equality numbers, row by row
    double tolerance;              // relative, against R
  } cases[] = {
      {"one", 6.0, "; var x;", false, {kScaleOne, kScaleOne + 3}, 1e-12},
      {"weight", 6.0, "; var x; weight w;", true, {kScaleWeighted, kScaleWeighted + 3}, 1e-12},
      {"freq", 6.0, "; var x; freq f;", false, {kScaleFreq, kScaleFreq + 3}, 1e-12},
      {"paired", 0.0, "; paired a*b;", false, {kScalePaired, kScalePaired + 3}, 1e-12},
      // the Cochran-Cox search stops within 1e-8 of the critical value
      {"two",
       0.0,
       " cochran; class g; var x;",
       false,
       {t[0], t[1], t[2], t[3], t[4], t[5], t[3], t[10], t[6], t[7], t[8], t[9]},
       1e-6},
      {"twoweight", 0.0, "; class g; var x; weight w;", true, {w, w + 10}, 1e-12},
  };
  for (const auto &c : cases) {
    StepRecord base;
    for (int k : {0, -1000, -538, -100, 2, 78, 300, 500}) {
      SCOPED_TRACE(std::string(c.name) + " at 2^" + std::to_string(k));
      const StepRecord step =
          runStep("proc kravo data=scale h0=" + exact(std::ldexp(c.h0, k)) + c.statements + " run;",
                  scaledData(k));
      ASSERT_EQ(step.rc, 0);
      const std::vector<double> tests = numbers(step, {"Kravos", "Equality"});
      ASSERT_EQ(tests.size(), c.expected.size());
      for (size_t i = 0; i < tests.size(); ++i)
        EXPECT_NEAR(tests[i], c.expected[i], c.tolerance * std::fabs(c.expected[i])) << i;
      if (k == 0) {
        base = step;
        continue;
      }
      EXPECT_EQ(tests, numbers(base, {"Kravos", "Equality"}));
      expectScaledTables(step, base, k, c.weighted);
    }
  }
}

// A cell of the first row of a table that must hold a number (within a
// relative tolerance) or a missing value.
struct Expect {
  const char *table;
  const char *column;
  Cell value;
};

// 0 and 99 values of 1e153: SS - S^2/W would overflow where S*(S/W) does not.
std::string bigCsv() {
  std::string csv = "x\n0";
  for (int i = 0; i < 99; ++i) csv += "\n1e153";
  return csv;
}

// Groups read from a CSV: the cells they must show, or, with none, the
// overflow error that ends them.
TEST(Scaling, GroupsKeepEveryResultThatFits) {
  const Missing infinite{'I'}, missing{'.'};
  const Expect t123{"Kravos", "tValue", kT123[0]}, p123{"Kravos", "Probt", kT123[2]};
  const struct {
    std::string csv;
    const char *statements;  // after PROC KRAVO DATA=edge
    std::vector<Expect> cells;
    double tolerance = 1e-12;  // relative
  } cases[] = {
      {"x,w\n1,1e300\n2,1e300\n3,1e300", "; var x; weight w;", {t123, p123}},
      // the t distribution has no more than 2^31 degrees of freedom: no p-value
      {"x,f\n1,1e300\n2,1e300\n3,1e300",
       "; var x; freq f;",
       {{"Statistics", "StdDev", kFreqHuge[0]},
        {"Kravos", "tValue", kFreqHuge[1]},
        {"Kravos", "Probt", missing}}},
      {"x\n1e-320\n2e-320\n3e-320", "; var x;", {t123, p123}},
      // sums about the first value, 0, cancel to two digits: the SD keeps about 13
      {bigCsv(),
       "; var x;",
       {{"Statistics", "Mean", kBig[0]},
        {"Statistics", "StdDev", kBig[1]},
        {"Kravos", "tValue", kBig[2]},
        {"Kravos", "Probt", kBig[3]}},
       1e-10},
      {"g,x\n1,1.7e308\n1,1.6e308\n2,-1.7e308\n2,-1.6e308", "; class g; var x;", {}},
      {"g,x\n1,1e308\n1,1.1e308\n2,1e-12\n2,2e-12", " dist=lognormal; class g; var x;", {}},
      {"x\n1\n4",
       " dist=lognormal; var x;",
       {{"Statistics", "GeomMean", kLog14[0]},
        {"Statistics", "CV", kLog14[1]},
        {"ConfLimits", "LowerCLCV", kLog14[2]},
        {"ConfLimits", "UpperCLCV", infinite},
        {"ConfLimits", "UMPUUpperCLCV", infinite}}},
      {"x\n1e300\n1e308", " dist=lognormal; var x;", {{"ConfLimits", "UpperCLGeomMean", infinite}}},
      {"x\n1\n2\n4\n7\n11",
       " alpha=0.9; var x;",
       {{"ConfLimits", "UMPULowerCLStdDev", kUmpu90[0]},
        {"ConfLimits", "UMPUUpperCLStdDev", kUmpu90[1]}}},
  };
  for (const auto &c : cases) {
    const std::string text = std::string("proc kravo data=edge") + c.statements + " run;";
    SCOPED_TRACE(text);
    const StepRecord step = runStep(text, dataDir("edge", c.csv + "\n"));
    const bool fails = c.cells.empty();
    EXPECT_EQ(step.rc, fails ? 112 : 0);
    EXPECT_EQ(messages(step, vyn::LogLevel::kError),
              fails ? std::vector<int>{7} : std::vector<int>{});
    EXPECT_EQ(tables(step, "Statistics").empty(), fails);
    for (const Expect &e : c.cells) {
      const Cell &got = cell(table(step, e.table), 0, e.column);
      const auto *want = std::get_if<double>(&e.value);
      if (want == nullptr) {
        EXPECT_EQ(got, e.value) << e.column;
        continue;
      }
      ASSERT_TRUE(std::holds_alternative<double>(got)) << e.column;
      EXPECT_NEAR(std::get<double>(got), *want, c.tolerance * std::fabs(*want)) << e.column;
    }
  }
}

}  // namespace

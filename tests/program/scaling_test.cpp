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

// A fresh data folder for one run.
std::string dataDir(const std::string &name) {
  const std::string dir = ::testing::TempDir() + "scaling_" + name;
  std::filesystem::create_directories(dir);
  return dir;
}

// The first table of that name, or none.
const Table *tableOf(const StepRecord &step, const std::string &name) {
  const std::vector<const Table *> found = tables(step, name);
  return found.empty() ? nullptr : found.front();
}

// The numbers of the named tables, row by row, missing values left out.
std::vector<double> numbers(const StepRecord &step, std::initializer_list<const char *> names) {
  std::vector<double> values;
  for (const char *name : names) {
    const Table *t = tableOf(step, name);
    if (t == nullptr) continue;
    for (const auto &row : t->rows) {
      for (const Cell &c : row) {
        if (const auto *v = std::get_if<double>(&c)) values.push_back(*v);
        if (const auto *v = std::get_if<long long>(&c)) values.push_back(static_cast<double>(*v));
      }
    }
  }
  return values;
}

// The scaled data set: values and null value times 2^k, weights times 2^-k.
std::string scaledData(int k) {
  const std::string dir = dataDir(std::to_string(k));
  std::ofstream out(dir + "/scale.csv");
  out << "g,x,a,b,w,f\n";
  for (size_t i = 0; i < std::size(kScaleX); ++i) {
    out << exact(kScaleG[i]) << "," << exact(std::ldexp(kScaleX[i], k)) << ","
        << exact(std::ldexp(kScaleA[i], k)) << "," << exact(std::ldexp(kScaleB[i], k)) << ","
        << exact(std::ldexp(kScaleW[i], -k)) << "," << exact(kScaleF[i]) << "\n";
  }
  return dir;
}

struct ScaleCase {
  const char *name;
  double h0;                     // the null value at scale 0
  const char *statements;        // after PROC KRAVO DATA=scale H0=h
  bool weighted;                 // the standard deviations scale by 2^(k/2)
  std::vector<double> expected;  // the Kravos and Equality numbers, row by row
  double tolerance;              // relative, against R
};

std::vector<ScaleCase> scaleCases() {
  const double *t = kScaleTwo, *w = kScaleTwoWeighted;
  return {
      {"one", 6.0, "; var x;", false, {kScaleOne, kScaleOne + 3}, 1e-12},
      {"weight", 6.0, "; var x; weight w;", true, {kScaleWeighted, kScaleWeighted + 3}, 1e-12},
      {"freq", 6.0, "; var x; freq f;", false, {kScaleFreq, kScaleFreq + 3}, 1e-12},
      {"paired", 0.0, "; paired a*b;", false, {kScalePaired, kScalePaired + 3}, 1e-12},
      {"two",
       0.0,
       " cochran; class g; var x;",
       false,
       {t[0], t[1], t[2], t[3], t[4], t[5], t[3], t[10], t[6], t[7], t[8], t[9]},
       1e-6},  // the Cochran-Cox search stops within 1e-8 of the critical value
      {"twoweight", 0.0, "; class g; var x; weight w;", true, {w, w + 10}, 1e-12},
  };
}

// Of a table cell, the power of two it scales by when the data scale by 2^k.
int cellScale(const std::string &column, int k, bool weighted) {
  if (column == "N") return 0;
  const bool spread = column.find("StdDev") != std::string::npos;
  return spread && weighted ? k / 2 : k;
}

// Every cell of the descriptive tables at scale k against the same cell at scale 0.
void expectScaledTables(const StepRecord &at, const StepRecord &base, int k, bool weighted) {
  for (const char *name : {"Statistics", "ConfLimits"}) {
    const Table *t = tableOf(at, name), *b = tableOf(base, name);
    ASSERT_TRUE(t != nullptr && b != nullptr) << name;
    ASSERT_EQ(t->rows.size(), b->rows.size()) << name;
    for (size_t r = 0; r < t->rows.size(); ++r) {
      for (size_t c = 0; c < t->columns.size(); ++c) {
        const Cell &got = t->rows[r][c], &want = b->rows[r][c];
        const auto *v = std::get_if<double>(&want);
        if (v == nullptr) {
          EXPECT_EQ(got, want) << name << " " << t->columns[c].name;
          continue;
        }
        const int e = cellScale(t->columns[c].name, k, weighted);
        EXPECT_EQ(std::get<double>(got), std::ldexp(*v, e))
            << name << " row " << r << " " << t->columns[c].name << " at 2^" << k;
      }
    }
  }
}

TEST(Scaling, TestsDoNotChangeWhenTheDataScaleByPowersOfTwo) {
  const int scales[] = {0, -1000, -538, -100, 2, 78, 300, 500};
  for (const ScaleCase &c : scaleCases()) {
    StepRecord base;
    for (int k : scales) {
      const std::string text =
          "proc kravo data=scale h0=" + exact(std::ldexp(c.h0, k)) + c.statements + " run;";
      const StepRecord step = runStep(text, scaledData(k));
      ASSERT_EQ(step.rc, 0) << c.name << " at 2^" << k;
      const std::vector<double> tests = numbers(step, {"Kravos", "Equality"});
      ASSERT_EQ(tests.size(), c.expected.size()) << c.name << " at 2^" << k;
      for (size_t i = 0; i < tests.size(); ++i) {
        EXPECT_NEAR(tests[i], c.expected[i], c.tolerance * std::fabs(c.expected[i]))
            << c.name << " number " << i << " at 2^" << k;
      }
      if (k == 0) {
        base = step;
        continue;
      }
      EXPECT_EQ(tests, numbers(base, {"Kravos", "Equality"})) << c.name << " at 2^" << k;
      expectScaledTables(step, base, k, c.weighted);
    }
  }
}

// A cell of a table that must hold a number (within a relative tolerance) or
// a missing value.
struct Expect {
  const char *table;
  const char *column;
  Cell value;
};

// A group read from `csv`: the cells it must show, or, with none, the
// overflow error that ends it.
struct EdgeCase {
  std::string csv;
  const char *statements;  // after PROC KRAVO DATA=edge
  std::vector<Expect> cells;
  double tolerance = 1e-12;  // relative
};

// 0 and 99 values of 1e153: SS - S^2/W would overflow where S*(S/W) does not.
std::string bigCsv() {
  std::string csv = "x\n0";
  for (int i = 0; i < 99; ++i) csv += "\n1e153";
  return csv;
}

std::vector<EdgeCase> edgeCases() {
  const Missing infinite{'I'}, missing{'.'};
  const Expect t123{"Kravos", "tValue", kT123[0]}, p123{"Kravos", "Probt", kT123[2]};
  return {
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
}

const Cell *cellOf(const StepRecord &step, const Expect &e) {
  const Table *t = tableOf(step, e.table);
  if (t == nullptr || t->rows.empty()) return nullptr;
  for (size_t c = 0; c < t->columns.size(); ++c) {
    if (t->columns[c].name == e.column) return &t->rows[0][c];
  }
  return nullptr;
}

TEST(Scaling, GroupsKeepEveryResultThatFits) {
  for (const EdgeCase &c : edgeCases()) {
    const std::string dir = dataDir("edge");
    std::ofstream(dir + "/edge.csv") << c.csv << "\n";
    const std::string text = std::string("proc kravo data=edge") + c.statements + " run;";
    const StepRecord step = runStep(text, dir);
    const std::vector<int> errors = messages(step, vyn::LogLevel::kError);
    const bool fails = c.cells.empty();
    EXPECT_EQ(step.rc, fails ? 112 : 0) << text;
    EXPECT_EQ(errors, fails ? std::vector<int>{7} : std::vector<int>{}) << text;
    EXPECT_EQ(tableOf(step, "Statistics") == nullptr, fails) << text;
    for (const Expect &e : c.cells) {
      const Cell *got = cellOf(step, e);
      ASSERT_NE(got, nullptr) << text << " " << e.column;
      const auto *want = std::get_if<double>(&e.value);
      if (want == nullptr) {
        EXPECT_EQ(*got, e.value) << text << " " << e.column;
        continue;
      }
      ASSERT_TRUE(std::holds_alternative<double>(*got)) << text << " " << e.column;
      EXPECT_NEAR(std::get<double>(*got), *want, c.tolerance * std::fabs(*want))
          << text << " " << e.column;
    }
  }
}

}  // namespace

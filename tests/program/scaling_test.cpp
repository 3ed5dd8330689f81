// Whole programs on data whose sums leave the range of a double: one data set
// scaled by powers of two gives the same tests at every scale, and the groups
// whose squares, weights or limits overflow or underflow keep every result
// that fits. Expected values come from scaling_goldens.R.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/vynmod.h"
#include "vyn/cli/run.h"
#include "vyn/core/host.h"
#include "vyn/core/program.h"

extern "C" const mcn_desc *mcn_main(void **connection, void *module_handle);

namespace {

#include "tests/program/scaling_golden.inc"

using vyn::output::Cell;
using vyn::output::Missing;
using vyn::output::StepRecord;
using vyn::output::Table;

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

void writeCsv(const std::string &dir, const std::string &name, const std::string &header,
              const std::vector<std::string> &rows) {
  std::ofstream out(dir + "/" + name + ".csv");
  out << header << "\n";
  for (const std::string &row : rows) out << row << "\n";
}

StepRecord runIn(const std::string &dir, const std::string &text) {
  vyn::Host host;
  host.useLinkedModule(&mcn_main);
  vyn::RunOptions options;
  options.dataDir = dir;
  const vyn::Program program = vyn::readProgram(text);
  EXPECT_FALSE(program.failed) << text;
  const vyn::output::Run run = vyn::runProgram(program, host, options);
  EXPECT_EQ(run.size(), 1u);
  return run.empty() ? StepRecord{} : run[0];
}

const Table *tableOf(const StepRecord &step, const std::string &name) {
  for (const auto &item : step.output) {
    const auto *t = std::get_if<Table>(&item.content);
    if (t != nullptr && t->name == name) return t;
  }
  return nullptr;
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
  std::vector<std::string> rows;
  for (size_t i = 0; i < std::size(kScaleX); ++i) {
    rows.push_back(exact(kScaleG[i]) + "," + exact(std::ldexp(kScaleX[i], k)) + "," +
                   exact(std::ldexp(kScaleA[i], k)) + "," + exact(std::ldexp(kScaleB[i], k)) + "," +
                   exact(std::ldexp(kScaleW[i], -k)) + "," + exact(kScaleF[i]));
  }
  writeCsv(dir, "scale", "g,x,a,b,w,f", rows);
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
      const StepRecord step = runIn(scaledData(k), text);
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

struct EdgeCase {
  const char *name;
  const char *header;
  std::vector<std::string> rows;
  const char *statements;  // after PROC KRAVO DATA=edge
  int rc;
  std::vector<int> errors;  // message numbers of group 181
  std::vector<Expect> cells;
  double tolerance = 1e-12;  // relative
};

// 0 and 99 values of 1e153: SS - S^2/W would overflow where S*(S/W) does not.
std::vector<std::string> bigRows() {
  std::vector<std::string> rows{"0"};
  rows.insert(rows.end(), 99, "1e153");
  return rows;
}

std::vector<EdgeCase> edgeCases() {
  const Missing infinite{'I'}, missing{'.'};
  return {
      {"weight 1e300 on 1, 2, 3",
       "x,w",
       {"1,1e300", "2,1e300", "3,1e300"},
       "; var x; weight w;",
       0,
       {},
       {{"Kravos", "tValue", kT123[0]}, {"Kravos", "Probt", kT123[2]}}},
      {"frequency 1e300 on 1, 2, 3",
       "x,f",
       {"1,1e300", "2,1e300", "3,1e300"},
       "; var x; freq f;",
       0,
       {},
       // the t distribution has no more than 2^31 degrees of freedom: no p-value
       {{"Statistics", "StdDev", kFreqHuge[0]},
        {"Kravos", "tValue", kFreqHuge[1]},
        {"Kravos", "Probt", missing}}},
      {"subnormal 1e-320, 2e-320, 3e-320",
       "x",
       {"1e-320", "2e-320", "3e-320"},
       "; var x;",
       0,
       {},
       {{"Kravos", "tValue", kT123[0]}, {"Kravos", "Probt", kT123[2]}}},
      {"0 and 99 values of 1e153",
       "x",
       bigRows(),
       "; var x;",
       0,
       {},
       {{"Statistics", "Mean", kBig[0]},
        {"Statistics", "StdDev", kBig[1]},
        {"Kravos", "tValue", kBig[2]},
        {"Kravos", "Probt", kBig[3]}},
       // sums about the first value, 0, cancel to two digits: the SD keeps about 13
       1e-10},
      {"a deviation beyond the square root of the largest double",
       "x",
       {"0", "2e154"},
       "; var x;",
       112,
       {7},
       {}},
      {"means of 1.7e308 and -1.7e308",
       "g,x",
       {"1,1.7e308", "1,1.6e308", "2,-1.7e308", "2,-1.6e308"},
       "; class g; var x;",
       112,
       {7},
       {}},
      {"a ratio of geometric means beyond the doubles",
       "g,x",
       {"1,1e308", "1,1.1e308", "2,1e-12", "2,2e-12"},
       " dist=lognormal; class g; var x;",
       112,
       {7},
       {}},
      {"lognormal 1 and 4",
       "x",
       {"1", "4"},
       " dist=lognormal; var x;",
       0,
       {},
       {{"Statistics", "GeomMean", kLog14[0]},
        {"Statistics", "CV", kLog14[1]},
        {"ConfLimits", "LowerCLCV", kLog14[2]},
        {"ConfLimits", "UpperCLCV", infinite},
        {"ConfLimits", "UMPUUpperCLCV", infinite}}},
      {"lognormal limits of the geometric mean beyond the doubles",
       "x",
       {"1e300", "1e308"},
       " dist=lognormal; var x;",
       0,
       {},
       {{"ConfLimits", "UpperCLGeomMean", infinite}}},
      {"UMPU limits at alpha 0.9",
       "x",
       {"1", "2", "4", "7", "11"},
       " alpha=0.9; var x;",
       0,
       {},
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
    writeCsv(dir, "edge", c.header, c.rows);
    const StepRecord step =
        runIn(dir, std::string("proc kravo data=edge") + c.statements + " run;");
    EXPECT_EQ(step.rc, c.rc) << c.name;
    std::vector<int> errors;
    for (const vyn::LogEntry &e : step.log) {
      if (e.group == 181 && e.level == vyn::LogLevel::kError) errors.push_back(e.number);
    }
    EXPECT_EQ(errors, c.errors) << c.name;
    if (c.rc != 0) {
      EXPECT_EQ(tableOf(step, "Statistics"), nullptr) << c.name;
    }
    for (const Expect &e : c.cells) {
      const Cell *got = cellOf(step, e);
      ASSERT_NE(got, nullptr) << c.name << " " << e.column;
      const auto *want = std::get_if<double>(&e.value);
      if (want == nullptr) {
        EXPECT_EQ(*got, e.value) << c.name << " " << e.column;
        continue;
      }
      ASSERT_TRUE(std::holds_alternative<double>(*got)) << c.name << " " << e.column;
      EXPECT_NEAR(std::get<double>(*got), *want, c.tolerance * std::fabs(*want))
          << c.name << " " << e.column;
    }
  }
}

}  // namespace

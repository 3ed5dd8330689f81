// Summary-statistics input (_STAT_ or _TYPE_ data sets): the same program on
// the raw data and on its summary from R's aggregate() gives the same tables,
// the key cells agree with R's t.test and var.test (summary.R), and every
// unusable record or data set ends in its note or error.
#include <cmath>
#include <limits>
#include <map>

#include "tests/program/harness.h"

namespace {

using namespace harness;

struct SummaryRun {
  const char *name, *program, *raw, *summary;  // "@" in the program stands for the data set
};
struct SummaryKey {
  const char *run, *table;
  int occurrence, row;
  const char *column;
  double value;
};
#include "tests/program/summary_golden.inc"

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string program(const SummaryRun &r, const std::string &data) {
  std::string text = r.program;
  return text.replace(text.find('@'), 1, data);
}

// A number cell as a double; any missing value as NaN.
double number(const Cell &c) {
  if (const auto *d = std::get_if<double>(&c)) return *d;
  if (const auto *i = std::get_if<long long>(&c)) return static_cast<double>(*i);
  return kNaN;
}

bool close(double expected, double actual) {
  if (std::isnan(expected)) return std::isnan(actual);
  return std::fabs(actual - expected) <= 1e-9 * std::fmax(1.0, std::fabs(expected));
}

bool isSdLimit(const std::string &column) {
  return column.find("CLStdDev") != std::string::npos;
}

// A row of a level (or of the one sample), not of the difference.
bool levelRow(const Table &t, size_t row) {
  for (const Column &c : t.columns) {
    if (c.name == "Class") return text(t, row, "Class").rfind("Diff", 0) != 0;
  }
  return true;
}

// Every cell alike, numbers to 1e-9 relative; only the limits of a level's
// standard deviation, which a summary cannot give, are missing instead.
void expectSameTable(const Table &raw, const Table &sum, const std::string &where) {
  ASSERT_EQ(raw.columns.size(), sum.columns.size()) << where;
  ASSERT_EQ(raw.rows.size(), sum.rows.size()) << where;
  for (size_t row = 0; row < raw.rows.size(); ++row) {
    for (size_t col = 0; col < raw.columns.size(); ++col) {
      const std::string &name = raw.columns[col].name;
      const Cell &a = raw.rows[row][col];
      const Cell &b = sum.rows[row][col];
      const std::string at = where + " row " + std::to_string(row) + " " + name;
      EXPECT_EQ(name, sum.columns[col].name) << at;
      if (isSdLimit(name) && levelRow(raw, row)) {
        EXPECT_TRUE(std::holds_alternative<Missing>(b)) << at;
      } else if (std::holds_alternative<std::string>(a)) {
        EXPECT_EQ(a, b) << at;
      } else {
        EXPECT_TRUE(close(number(a), number(b))) << at << ": " << number(a) << " " << number(b);
      }
    }
  }
}

TEST(SummaryInput, GivesTheTablesOfTheRawData) {
  for (const SummaryRun &r : kSummaryRuns) {
    const StepRecord raw = runStep(program(r, r.raw));
    const StepRecord sum = runStep(program(r, r.summary));
    EXPECT_EQ(raw.rc, sum.rc) << r.name;
    EXPECT_EQ(messages(raw, vyn::LogLevel::kWarning), messages(sum, vyn::LogLevel::kWarning));
    ASSERT_EQ(tableNames(raw), tableNames(sum)) << r.name;
    const std::vector<const Table *> a = tables(raw), b = tables(sum);
    for (size_t i = 0; i < a.size(); ++i)
      expectSameTable(*a[i], *b[i], r.name + (" " + a[i]->name));
  }
}

TEST(SummaryInput, AgreesWithRsTests) {
  std::map<std::string, StepRecord> steps;
  for (const SummaryRun &r : kSummaryRuns) steps[r.name] = runStep(program(r, r.summary));
  for (const SummaryKey &k : kSummaryKeys) {
    const Table &t = table(steps[k.run], k.table, k.occurrence);
    EXPECT_TRUE(close(k.value, number(cell(t, k.row, k.column))))
        << k.run << " " << k.table << " " << k.occurrence << " row " << k.row << " " << k.column;
  }
}

// One record per column, each fixed as its values require (hand derived):
// the note, then N, mean, standard deviation, standard error, minimum and
// maximum as the Statistics table shows them.
struct RecordFix {
  const char *variable;
  int note;
  double n, mean, sd, se, min, max;
};

TEST(SummaryInput, FixesEveryUnusableRecordWithItsNote) {
  const std::string path = dataFile("fixes.csv",
                                    "_STAT_,none,non,neg,frac,zero,nomean,one,nostd,negstd,ok\n"
                                    "N,.,.,-2,10.5,0,10,1,5,5,3\n"
                                    "MEAN,.,4,4,4,4,.,4,4,4,2\n"
                                    "STD,.,1,1,1,1,1,2,.,-1,1\n"
                                    "MIN,1,1,1,1,1,1,1,1,1,1\n"
                                    "MAX,9,9,9,9,9,9,9,9,9,9\n"
                                    "MEDIAN,5,5,5,5,5,5,5,5,5,5\n");
  const RecordFix fixes[] = {
      {"none", 137, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN},
      {"non", 39, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN},
      {"neg", 40, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN},
      {"frac", 41, 10, 4, 1, 1 / std::sqrt(10.0), 1, 9},
      {"zero", 42, 0, kNaN, kNaN, kNaN, kNaN, kNaN},
      {"nomean", 43, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN},
      {"one", 44, 1, 4, kNaN, kNaN, 4, 4},
      {"nostd", 45, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN},
      {"negstd", 45, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN},
      {"ok", 0, 3, 2, 1, 1 / std::sqrt(3.0), 1, 9},
  };
  const StepRecord step = runStep("proc kravo data='" + path + "' nobyvar; run;");
  EXPECT_EQ(step.rc, 4);
  std::vector<int> notes;
  for (const RecordFix &f : fixes) {
    if (f.note != 0) notes.push_back(f.note);
  }
  EXPECT_EQ(messages(step, vyn::LogLevel::kNote), notes);
  const Table &stats = table(step, "Statistics");
  ASSERT_EQ(stats.rows.size(), std::size(fixes));
  const char *columns[] = {"N", "Mean", "StdDev", "StdErr", "Minimum", "Maximum"};
  for (size_t row = 0; row < std::size(fixes); ++row) {
    const RecordFix &f = fixes[row];
    EXPECT_EQ(text(stats, row, "Variable"), f.variable);
    const double expected[] = {f.n, f.mean, f.sd, f.se, f.min, f.max};
    for (size_t c = 0; c < std::size(columns); ++c) {
      EXPECT_TRUE(close(expected[c], number(cell(stats, row, columns[c]))))
          << f.variable << " " << columns[c];
    }
  }
}

// A data set that cannot be analysed: the error of the failing BY group (or
// of the step), and the Statistics tables of the groups that could be.
struct SummaryError {
  const char *name, *csv, *program;  // "@" in the program stands for the data set
  int error, rc;
  size_t analysed;
};

TEST(SummaryInput, EndsAnUnusableGroupWithItsError) {
  const char *two = "g,_TYPE_,y\na,N,3\na,MEAN,1\na,STD,1\nb,N,3\nb,MEAN,2\nb,STD,1\n";
  const SummaryError cases[] = {
      {"twice", "_TYPE_,y\nN,3\nMEAN,1\nMEAN,2\nSTD,1\n", "proc kravo data=@;", 32, 112, 0},
      {"twice-in-level", "g,_TYPE_,y\na,N,3\nb,N,3\na,MEAN,1\na,N,3\n",
       "proc kravo data=@; class g;", 32, 112, 0},
      {"no-std", "_TYPE_,y\nN,3\nMEAN,1\nMAX,2\n", "proc kravo data=@;", 31, 112, 0},
      {"unknown-only", "_STAT_,y\nQ1,3\nMEDIAN,1\n", "proc kravo data=@;", 31, 112, 0},
      {"level-lacks-std", "g,_TYPE_,y\na,N,3\na,MEAN,1\na,STD,1\nb,N,3\nb,MEAN,2\n",
       "proc kravo data=@; class g;", 31, 112, 0},
      {"one-level", "g,_TYPE_,y\na,N,3\na,MEAN,1\na,STD,1\n", "proc kravo data=@; class g;", 10,
       112, 0},
      {"third-level", "g,_TYPE_,y\na,N,3\nb,N,3\nc,N,3\n", "proc kravo data=@; class g;", 8, 112,
       0},
      {"huge-std", "_TYPE_,y\nN,3\nMEAN,1\nSTD,1.35e154\n", "proc kravo data=@;", 7, 112, 0},
      {"by-group", "b,_TYPE_,y\n1,N,3\n1,MEAN,1\n1,STD,1\n2,N,3\n2,MEAN,1\n",
       "proc kravo data=@; by b;", 31, 112, 1},
      {"ratio-is-lognormal", two, "proc kravo data=@ test=ratio; class g;", 120, 3000, 0},
  };
  for (const SummaryError &c : cases) {
    std::string text = std::string(c.program) + " run;";
    text.replace(text.find('@'), 1, "'" + dataFile(std::string(c.name) + ".csv", c.csv) + "'");
    const StepRecord step = runStep(text);
    EXPECT_EQ(step.rc, c.rc) << c.name;
    EXPECT_EQ(errors(step), (std::vector<std::pair<int, int>>{{181, c.error}})) << c.name;
    EXPECT_EQ(tables(step, "Statistics").size(), c.analysed) << c.name;
  }
}

}  // namespace

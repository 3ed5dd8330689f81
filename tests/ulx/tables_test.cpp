// One-sample and paired tables through the host's real output objects: the
// tables are defined and filled from hand-made statistics and results
// records, emitted as the driver does, and checked in the emitted document.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/vynsvc.h"
#include "hostcm/wob.h"
#include "stat/src/krvstat.h"
#include "vyn/core/host.h"
#include "vyn/data/missing.h"
#include "vyn/output/session.h"
#include "xob/krvprocs.h"

void **mcn_connection = nullptr;

namespace {

using vyn::output::AttrValue;
using vyn::output::Cell;
using vyn::output::Column;
using vyn::output::Missing;
using vyn::output::Table;

std::vector<std::string> varNames;

// Names of the analysis variables, by number, in place of a data set.
int32_t namedVariable(void *, int32_t number, xvinfo *out) {
  *out = xvinfo{};
  const std::string &n = varNames.at(static_cast<size_t>(number));
  std::memcpy(out->name, n.data(), n.size());
  out->namelen = static_cast<uint16_t>(n.size());
  out->type = 1;
  return 0;
}

double missing(char letter) {
  return vyn::data::missingValue(letter);
}

class Tables : public ::testing::Test {
 protected:
  void SetUp() override {
    mcn_connection = host.connection().words();
    static_cast<void ***>(mcn_connection[vynconn::kServiceTables])[39][42] =
        reinterpret_cast<void *>(&namedVariable);
    vyn::output::beginStep("KRAVO");
    xobinit(&opts.objroot, 0);
    wobprop create[3] = {wobp_str(kKeyNameSpace, "ulx", 3), wobp_str(kKeyKind, "manager", 7),
                         wobp_ptr(kKeyCreated, kWobObject, nullptr)};
    ASSERT_EQ(wobmth(opts.objroot, nullptr, kMthCreate, 3, create), 0);
    opts.outmgr = create[2].v.p;
    opts.alpha = 0.05;
    opts.ci_equal = 1;
    opts.tost_lower = -0.5;
    opts.tost_upper = 0.5;
    varNames = {"unused", "A", "LONGNAME"};
    opts.maxnamelen = 8;
    opts.maxpairlen = 9;
    sets[0].resize(1);
    sets[1].resize(1);
    krvset(&opts, 0) = sets[0].data();
    krvset(&opts, 19) = sets[1].data();
    results.resize(1);
    opts.results = results.data();
    opts.nanalyses = 1;
    fillRecords();
  }
  void TearDown() override {
    if (vyn::output::stepActive()) vyn::output::endStep();
  }

  // Text buffers of one kind: 66, then 33 or 68 for a pair's names.
  void buffers(bool paired) {
    const int32_t sizes[kKrvLabels] = {
        66, 0, paired ? 33 : 0, paired ? 68 : 0, paired ? 68 : 0, 0, 33, 33, 33, 33, 33, 5};
    for (int i = 0; i < kKrvLabels; ++i) {
      text[i].assign(static_cast<size_t>(sizes[i]), '\0');
      opts.label[i] = sizes[i] > 0 ? text[i].data() : nullptr;
      opts.label_size[i] = sizes[i];
    }
  }

  // Every field a different number, so each column shows where it reads.
  void fillRecords() {
    krvstat &s = sets[0][0];
    s.varnum[0] = 1;
    s.varnum[1] = 2;
    s.n = 10, s.mean = 1, s.lclm = 2, s.uclm = 3, s.std = 4, s.lclstd = 5, s.uclstd = 6;
    s.lclstd_umpu = 7, s.uclstd_umpu = 8, s.stderr_mean = 9, s.min = 11, s.max = 12;
    s.gmean = 21, s.lclgm = 22, s.uclgm = 23, s.cv = 24, s.lclcv = 25, s.uclcv = 26;
    s.lclcv_umpu = 27, s.uclcv_umpu = 28;
    sets[1][0].n = 10, sets[1][0].min = 0.25, sets[1][0].max = 4;
    krvresult &r = results[0];
    r.test = {2.5, 9, kNotComputed};
    r.equiv = {3, -4, 9, 0.01, 0.002, 0.5, -0.3, 1, 0, 0};
  }

  // Defines the tables, then emits every defined one as the driver does.
  std::vector<Table> run(bool paired) {
    buffers(paired);
    EXPECT_GE(paired ? krvop0(&opts) : krvo10(&opts), 0);
    EXPECT_EQ(opts.ntables, 5);
    for (int32_t t = 0; t < 5; ++t) {
      if (opts.table_tmpl[t] == nullptr) continue;
      wobprop out[5] = {wobp_ptr(kKeyNone, kWobObject, nullptr),
                        wobp_ptr(kKeyNone, kWobObject, opts.table_tmpl[t]),
                        wobp_ptr(kKeyPath, kWobText, ulxtxt(opts.table_path[t], -1)),
                        wobp_ptr(kKeyAttribute, kWobText, ulxtxt("TOPSPACE", 8)),
                        wobp_int(kKeyValue, 1)};
      EXPECT_EQ(wobmth(opts.outmgr, nullptr, kMthOutput, 5, out), 0);
      EXPECT_EQ(paired ? krvop1(&opts, t) : krvo11(&opts, t), 0);
      wobprop emit[1] = {wobp_ptr(kKeyNone, kWobObject, out[0].v.p)};
      EXPECT_EQ(wobmth(opts.outmgr, nullptr, kMthEmit, 1, emit), 0);
    }
    std::vector<Table> tables;
    for (auto &item : vyn::output::endStep()) {
      if (auto *t = std::get_if<Table>(&item.content)) tables.push_back(*t);
    }
    return tables;
  }

  vyn::Host host;
  krvopts opts{};
  std::vector<krvstat> sets[2];
  std::vector<krvresult> results;
  std::string text[kKrvLabels];
};

std::vector<std::string> names(const std::vector<Table> &tables) {
  std::vector<std::string> out;
  for (const Table &t : tables) out.push_back(t.name);
  return out;
}

std::vector<std::string> columns(const Table &t) {
  std::vector<std::string> out;
  for (const Column &c : t.columns) out.push_back(c.name);
  return out;
}

const Column &column(const Table &t, const std::string &name) {
  for (const Column &c : t.columns) {
    if (c.name == name) return c;
  }
  throw std::runtime_error("no column " + name);
}

Cell cell(const Table &t, const std::string &name, size_t row = 0) {
  for (size_t i = 0; i < t.columns.size(); ++i) {
    if (t.columns[i].name == name) return t.rows.at(row).at(i);
  }
  throw std::runtime_error("no column " + name);
}

using Names = std::vector<std::string>;

TEST_F(Tables, OneSampleWithoutTostWritesStatisticsConfLimitsAndTests) {
  const auto tables = run(false);
  ASSERT_EQ(names(tables), (Names{"Statistics", "ConfLimits", "Kravos"}));
  const Table &stats = tables[0];
  EXPECT_EQ(stats.path, "Stat.Kravo.Statistics");
  EXPECT_EQ(stats.label, "Statistics");
  EXPECT_EQ(columns(stats), (Names{"Variable", "N", "Mean", "LowerCLMean", "UpperCLMean", "StdDev",
                                   "LowerCLStdDev", "UpperCLStdDev", "UMPULowerCLStdDev",
                                   "UMPUUpperCLStdDev", "StdErr", "Minimum", "Maximum"}));
  EXPECT_EQ(column(stats, "LowerCLMean").label, "Lower CL Mean");
  EXPECT_EQ(column(stats, "Mean").width, 5);
  const Column &variable = column(stats, "Variable");
  EXPECT_EQ(variable.attributes.at("MinimumWidth"), AttrValue(8LL));
  EXPECT_EQ(variable.attributes.at("MaximumWidth"), AttrValue(8LL));
  EXPECT_FALSE(variable.print);  // one analysis per output group: the group names it
  ASSERT_EQ(stats.rows.size(), 1u);
  const std::vector<Cell> expected = {
      std::string("A"), 10.0, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, 9.0, 11.0, 12.0};
  EXPECT_EQ(stats.rows[0], expected);

  const Table &tests = tables[2];
  EXPECT_EQ(columns(tests), (Names{"Variable", "tValue", "DF", "Probt"}));
  EXPECT_EQ(column(tests, "Probt").attributes.at("ProbtHeader"),
            AttrValue(std::string("Pr > |t|")));
  EXPECT_EQ(cell(tests, "tValue"), Cell(2.5));
  EXPECT_EQ(cell(tests, "DF"), Cell(9.0));
  EXPECT_EQ(cell(tests, "Probt"), Cell(Missing{'.'}));  // never computed
}

TEST_F(Tables, ConfLimitsCarryTheLevelsAndFollowTheCiOptions) {
  opts.ci_equal = 0;
  opts.ci_umpu = 1;
  const auto tables = run(false);
  const Table &limits = tables.at(1);
  ASSERT_EQ(limits.name, "ConfLimits");
  // 100 (1 - 0.05) is 95 in doubles; 1000 units of 2^-53 add 7.8125 steps of
  // 2^-46 at 95, which rounds to 8 steps: 2^-43
  EXPECT_EQ(limits.attributes.at("confmean"), AttrValue(95.0 + std::ldexp(1.0, -43)));
  EXPECT_EQ(limits.attributes.at("confstd"), limits.attributes.at("confmean"));
  EXPECT_EQ(limits.attributes.at("reqspace"), AttrValue(3LL));
  EXPECT_EQ(columns(limits),
            (Names{"Variable", "Mean", "LowerCLMean", "UpperCLMean", "StdDev", "LowerCLStdDev",
                   "UpperCLStdDev", "UMPULowerCLStdDev", "UMPUUpperCLStdDev"}));
  for (const char *shown : {"StdDev", "UMPULowerCLStdDev", "UMPUUpperCLStdDev"}) {
    EXPECT_TRUE(column(limits, shown).print) << shown;
  }
  EXPECT_FALSE(column(limits, "LowerCLStdDev").print);
  EXPECT_FALSE(column(limits, "UpperCLStdDev").print);
  EXPECT_EQ(cell(limits, "UMPUUpperCLStdDev"), Cell(8.0));
}

TEST_F(Tables, NoCiHidesEveryDispersionColumn) {
  opts.ci_equal = 0;
  const auto tables = run(false);
  for (const char *hidden :
       {"StdDev", "LowerCLStdDev", "UpperCLStdDev", "UMPULowerCLStdDev", "UMPUUpperCLStdDev"}) {
    EXPECT_FALSE(column(tables.at(1), hidden).print) << hidden;
  }
}

TEST_F(Tables, OneSidedTestsNameTheirTail) {
  opts.sides = 1;
  EXPECT_EQ(column(run(false).at(2), "Probt").attributes.at("ProbtHeader"),
            AttrValue(std::string("Pr < t")));
}

TEST_F(Tables, LognormalTablesShowTheGeometricMeanAndCv) {
  opts.lognormal = 1;
  opts.tost = 1;
  const auto tables = run(false);
  EXPECT_EQ(columns(tables.at(0)), (Names{"Variable", "N", "GeomMean", "LowerCLGeomMean",
                                          "UpperCLGeomMean", "CV", "LowerCLCV", "UpperCLCV",
                                          "UMPULowerCLCV", "UMPUUpperCLCV", "Minimum", "Maximum"}));
  const std::vector<Cell> expected = {
      std::string("A"), 10.0, 21.0, 22.0, 23.0, 24.0, 25.0, 26.0, 27.0, 28.0, 11.0, 12.0};
  EXPECT_EQ(tables[0].rows.at(0), expected);
  EXPECT_EQ(column(tables[0], "GeomMean").label, "Geometric Mean");
  const Table &limits = tables.at(1);
  EXPECT_TRUE(limits.attributes.contains("confcv"));
  EXPECT_FALSE(limits.attributes.contains("confstd"));
  const Table &equiv = tables.at(2);
  EXPECT_EQ(columns(equiv),
            (Names{"Variable", "GeomMean", "LowerBound", "LowerComparator", "LowerCLGeomMean",
                   "UpperCLGeomMean", "UpperComparator", "UpperBound", "Assessment"}));
  EXPECT_EQ(cell(equiv, "GeomMean"), Cell(21.0));
  EXPECT_EQ(cell(equiv, "LowerCLGeomMean"), Cell(-0.3));  // the equivalence interval's limit
}

TEST_F(Tables, TostReplacesTheTestsByEquivalenceLimitsAndTests) {
  opts.tost = 1;
  opts.nobyvar = 1;
  const auto tables = run(false);
  ASSERT_EQ(names(tables), (Names{"Statistics", "ConfLimits", "EquivLimits", "EquivTests"}));
  EXPECT_TRUE(column(tables[0], "Variable").print);  // one table for every analysis

  const Table &limits = tables[2];
  EXPECT_EQ(limits.attributes.at("confequiv"), AttrValue(90LL));
  EXPECT_EQ(columns(limits),
            (Names{"Variable", "Mean", "LowerBound", "LowerComparator", "LowerCLMean",
                   "UpperCLMean", "UpperComparator", "UpperBound", "Assessment"}));
  const std::vector<Cell> row = {std::string("A"), 1.0,  -0.5,
                                 std::string(">"), -0.3, 0.5,
                                 std::string("<"), 0.5,  std::string("Not equivalent")};
  EXPECT_EQ(limits.rows.at(0), row);
  // the widest assessment text, "Not equivalent"
  EXPECT_EQ(column(limits, "Assessment").attributes.at("MinimumWidth"), AttrValue(14LL));

  const Table &tests = tables[3];
  EXPECT_EQ(columns(tests), (Names{"Variable", "Test", "Null", "tValue", "DF", "Probt"}));
  EXPECT_EQ(column(tests, "Probt").attributes.at("ProbtHeader"), AttrValue(std::string("P-Value")));
  ASSERT_EQ(tests.rows.size(), 3u);
  const Missing blank{'_'};
  EXPECT_EQ(tests.rows[0],
            (std::vector<Cell>{std::string("A"), std::string("Lower"), -0.5, 3.0, 9.0, 0.01}));
  EXPECT_EQ(tests.rows[1],
            (std::vector<Cell>{std::string("A"), std::string("Upper"), 0.5, -4.0, 9.0, 0.002}));
  EXPECT_EQ(tests.rows[2], (std::vector<Cell>{std::string("A"), std::string("Overall"), blank,
                                              blank, blank, 0.01}));
}

TEST_F(Tables, OverallPIsMissingWhenEitherTestIsAndFlagsMayBeUnknown) {
  opts.tost = 1;
  opts.alpha = 0.025;
  results[0].equiv.p_upper = missing('.');
  results[0].equiv.t_lower = missing('I');
  results[0].equiv.lower_inside = -1;
  results[0].equiv.equivalent = -1;
  const auto tables = run(false);
  const Table &limits = tables.at(2);
  EXPECT_EQ(limits.attributes.at("confequiv"), AttrValue(95LL));
  EXPECT_EQ(cell(limits, "LowerComparator"), Cell(std::string()));
  EXPECT_EQ(cell(limits, "Assessment"), Cell(std::string("Not assessed")));
  const Table &tests = tables.at(3);
  EXPECT_EQ(cell(tests, "tValue", 0), Cell(Missing{'I'}));  // a missing value passes unchanged
  EXPECT_EQ(cell(tests, "Probt", 2), Cell(Missing{'.'}));
}

TEST_F(Tables, PairedDifferenceNamesBothVariablesAndTheirDifference) {
  const auto tables = run(true);
  ASSERT_EQ(names(tables), (Names{"Statistics", "ConfLimits", "Kravos"}));
  const Table &stats = tables[0];
  EXPECT_EQ(columns(stats).size(), 15u);
  EXPECT_EQ(column(stats, "Variable1").label, "Variable 1");
  const Column &difference = column(stats, "Difference");
  EXPECT_EQ(difference.attributes.at("MinimumWidth"), AttrValue(12LL));
  EXPECT_TRUE(difference.attributes.contains("_printDifference"));
  EXPECT_EQ(cell(stats, "Variable1"), Cell(std::string("A")));
  EXPECT_EQ(cell(stats, "Variable2"), Cell(std::string("LONGNAME")));
  EXPECT_EQ(cell(stats, "Difference"), Cell(std::string("A - LONGNAME")));
  EXPECT_EQ(cell(stats, "Maximum"), Cell(12.0));
  EXPECT_EQ(cell(tables[2], "tValue"), Cell(2.5));
}

TEST_F(Tables, NormalRatioSetsKeepOnlyCountAndRangeOfTheRatios) {
  opts.ratio = 1;
  opts.normal_ratio = 1;
  opts.ratio_sets = 1;
  auto tables = run(true);
  ASSERT_EQ(names(tables), (Names{"Statistics", "Kravos"}));
  EXPECT_EQ(columns(tables[0]),
            (Names{"Variable1", "Variable2", "Ratio", "N", "Minimum", "Maximum"}));
  EXPECT_EQ(tables[0].rows.at(0),
            (std::vector<Cell>{std::string("A"), std::string("LONGNAME"),
                               std::string("A / LONGNAME"), 10.0, 0.25, 4.0}));
}

TEST_F(Tables, NormalRatioSetsWithTostWriteOnlyTheEquivalenceTests) {
  opts.ratio = 1;
  opts.ratio_sets = 1;
  opts.tost = 1;
  EXPECT_EQ(names(run(true)), (Names{"Statistics", "EquivTests"}));
}

}  // namespace

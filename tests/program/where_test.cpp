// WHERE= on DATA=: a program on R's ToothGrowth with a WHERE= condition gives
// the tables of the same program on the subset that R chose (where.R), and
// the log says how many observations were kept.
#include "tests/program/harness.h"
#include "vyn/output/render.h"

namespace {

// The JSON of the step's tables without its log, which names the files.
std::string tablesOf(vyn::output::StepRecord step) {
  step.log.clear();
  return vyn::output::renderJson({step});
}

struct SameTables {
  std::string withWhere;
  std::string onSubset;
  std::string keptNote;
};

TEST(WhereProgram, TablesEqualThoseOfRsSubset) {
  const SameTables cases[] = {
      {"proc kravo data=toothgrowth(where=(dose in (0.5, 2) and supp = 'VC')); class dose; "
       "var len; run;",
       "proc kravo data=toothgrowth_vc; class dose; var len; run;", "kept 20 of the 60"},
      {"proc kravo data=toothgrowth(where=(dose ne 1)) tost(-3, 3); by supp; class dose; "
       "var len; run;",
       "proc kravo data=toothgrowth_no1 tost(-3, 3); by supp; class dose; var len; run;",
       "kept 40 of the 60"},
      // keeping nothing is an empty data set: no group, no error
      {"proc kravo data=toothgrowth(where=(dose > 5)); var len; run;",
       "proc kravo data=toothgrowth_none; var len; run;", "kept 0 of the 60"}};
  for (const SameTables &c : cases) {
    const auto filtered = harness::runStep(c.withWhere);
    const auto subset = harness::runStep(c.onSubset);
    EXPECT_EQ(filtered.rc, subset.rc) << c.withWhere;
    EXPECT_EQ(tablesOf(filtered), tablesOf(subset)) << c.withWhere;
    ASSERT_FALSE(filtered.log.empty());
    EXPECT_EQ(filtered.log.back().number, 309);
    EXPECT_NE(filtered.log.back().text.find(c.keptNote), std::string::npos)
        << filtered.log.back().text;
  }
}

}  // namespace

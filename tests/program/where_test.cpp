// WHERE= on DATA=: a program on R's ToothGrowth with a WHERE= condition gives
// the tables of the same program on the subset that R chose (where.R), and
// the log says how many observations were kept.
#include <algorithm>
#include <cstdlib>

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
    const auto note = std::find_if(filtered.log.begin(), filtered.log.end(),
                                   [](const auto &e) { return e.number == 321; });
    ASSERT_NE(note, filtered.log.end()) << c.withWhere;
    EXPECT_NE(note->text.find(c.keptNote), std::string::npos) << note->text;
  }
}

// A file of two pieces of work or more, read on one thread and with workers.
// A planted row with y = 0.25 is one the condition drops: when unsorted it
// never reaches the BY-order check; when it has a data error (in the column the
// condition reads or in another the step uses) the step still ends with it;
// a BY value that is not a number reads as missing, out of order.
TEST(WhereProgram, DroppedRowsSkipTheByOrderCheckButNotTheirDataErrors) {
  constexpr int kRows = 200000, kPlanted = 100000;  // about 1.4 MB
  const struct {
    const char *row;
    int error;  // of group 210, 0 for none
  } cases[] = {{"0,0.25", 0}, {"4,x", 203}, {"x,0.25", 216}, {"6", 201}};
  for (const char *threads : {"1", "2"}) {
    ::setenv("VYN_THREADS", threads, 1);
    for (const auto &c : cases) {
      SCOPED_TRACE(std::string(c.row) + ", threads " + threads);
      std::string csv = "g,y\n";
      for (int i = 0; i < kRows; ++i)
        csv += i == kPlanted ? std::string(c.row) + "\n"
                             : std::to_string(i / 40000) + "," + std::to_string(i % 89) + ".5\n";
      const std::string path = harness::dataFile("planted.csv", csv);
      harness::dataFile("planted.schema.json", R"({"fields": [{"name": "g", "type": "integer"},
                                                              {"name": "y", "type": "number"}]})");
      const auto step =
          harness::runStep("proc kravo data='" + path + "'(where=(y ne 0.25)); by g; var y; run;");
      const auto entry = [&](auto holds) {
        const auto at = std::find_if(step.log.begin(), step.log.end(), holds);
        return at == step.log.end() ? std::string() : at->text;
      };
      EXPECT_NE(entry([](const auto &e) {
                  return e.number == 321;
                }).find(c.error == 0 ? "kept 199999 of the 200000" : "kept 100000 of "),
                std::string::npos);
      if (c.error == 0) {
        EXPECT_EQ(step.rc, 0);
      } else {
        ASSERT_EQ(harness::errors(step), (std::vector<std::pair<int, int>>{{210, c.error}}));
        EXPECT_NE(entry([](const auto &e) {
                    return e.level == vyn::LogLevel::kError;
                  }).find("line 100002"),
                  std::string::npos);
      }
    }
  }
  ::unsetenv("VYN_THREADS");
}

}  // namespace

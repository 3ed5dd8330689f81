// Data errors found while a step reads a large file, on one thread and with
// workers: the step ends with the error's line, the groups before the failing
// one keep their tables and nothing of it is written; a program types a file
// once.
#include <cctype>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "tests/program/harness.h"
#include "vyn/data/dataset.h"

namespace {

constexpr int kGroups = 10, kPerGroup = 20000;  // about 1.5 MB: two pieces of work or more
const char *const kSchema = R"({"fields": [{"name": "by", "type": "integer"},
                                          {"name": "y", "type": "number"}]})";

// by,y with kGroups sorted groups; `change` may rewrite row i (from 0).
std::string rows(const std::function<void(int, std::string &)> &change) {
  std::string csv = "by,y\n";
  for (int i = 0; i < kGroups * kPerGroup; ++i) {
    std::string row = std::to_string(i / kPerGroup) + "," + std::to_string(i % 97) + ".25";
    change(i, row);
    csv += row + "\n";
  }
  return csv;
}

size_t tableCount(const vyn::output::StepRecord &step) {
  return harness::tables(step).size();
}

TEST(ReadingErrors, EndTheStepWhereTheFailingGroupStarts) {
  const int late = 9 * kPerGroup;
  const struct {
    const char *name;
    int row;              // the bad row, from 0
    const char *content;  // what it holds
    int number;           // the error of group 210
    int groupsDone;       // groups with their tables
  } cases[] = {
      {"unsorted", late + 5, "3,1", 216, 10},
      {"not a number", late + 500, "9,x", 203, 9},
      {"bad first row of a group", late, "9,x", 203, 9},
      {"short row", 4 * kPerGroup + 7, "4", 201, 4},
  };
  const int64_t typed = vyn::data::DataSet::typingPasses();
  const std::string clean = harness::dataFile("clean.csv", rows([](int, std::string &) {}));
  harness::dataFile("clean.schema.json", kSchema);
  for (const char *threads : {"1", "2"}) {
    ::setenv("VYN_THREADS", threads, 1);
    const auto all = harness::run("proc kravo data='" + clean + "'; by by; var y; run;");
    const size_t perGroup = tableCount(all.back()) / kGroups;
    ASSERT_GT(perGroup, 0u);
    for (const auto &c : cases) {
      SCOPED_TRACE(std::string(c.name) + ", threads " + threads);
      const std::string path =
          harness::dataFile(std::string(c.name) + ".csv", rows([&](int i, std::string &row) {
                              if (i == c.row) row = c.content;
                            }));
      harness::dataFile(std::string(c.name) + ".schema.json", kSchema);
      const auto run = harness::run("proc kravo data='" + path + "'; by by; var y; run;");
      ASSERT_EQ(run.size(), 1u);
      EXPECT_EQ(run[0].rc, 1008);
      EXPECT_EQ(harness::errors(run[0]), (std::vector<std::pair<int, int>>{{210, c.number}}));
      const std::string &text = run[0].log.back().text, line = "line " + std::to_string(c.row + 2);
      const size_t at = text.find(line);
      EXPECT_TRUE(at != std::string::npos && !std::isdigit(text[at + line.size()])) << text;
      EXPECT_EQ(tableCount(run[0]), perGroup * static_cast<size_t>(c.groupsDone));
    }
  }
  ::unsetenv("VYN_THREADS");
  EXPECT_EQ(vyn::data::DataSet::typingPasses(), typed);  // the schema declares every column
}

TEST(ReadingErrors, AProgramTypesAFileOnce) {
  const std::string path = harness::dataFile("d.csv", rows([](int, std::string &) {}));
  const int64_t before = vyn::data::DataSet::typingPasses();
  const auto run =
      harness::run("proc kravo data='" + path + "'; var y; run; proc kravo; by by; var y; run;");
  ASSERT_EQ(run.size(), 2u);
  EXPECT_EQ(run[1].rc, 0);
  EXPECT_EQ(vyn::data::DataSet::typingPasses() - before, 1);
}

}  // namespace

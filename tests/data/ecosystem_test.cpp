// Whole programs on a file as R's write.csv writes it (ecosystem.R makes it and
// ecosystem_golden.inc): row names under an empty name, a dotted name, NA, Inf,
// a level "NA". dataset_test.cpp reads such cells alone (ecosystem_cases.inc).
#include <gtest/gtest.h>

#include <span>

#include "tests/program/harness.h"

namespace vyn::data {
namespace {

TEST(Ecosystem, WholeProgramsOnAFileAsRWritesIt) {
  const std::pair<const char *, double> golden[] = {
#include "tests/data/ecosystem_golden.inc"
  };
  const struct {
    std::string statements;
    int error;           // 0: the step runs
    std::string logged;  // a text its log holds
  } cases[] = {
      {"h0=5; var Sepal_Length", 0, "'' as _row_, 'Sepal.Length' as Sepal_Length"},
      {"; var ratio", 340, "line 3, column 4: 'Inf' is an infinite value in ratio"},
      {"; var Country", 343, "line 2, column 3 holds 'Namibia'"},
  };
  for (const auto &c : cases) {
    const auto step = harness::runStep("proc kravo data=ecosystem " + c.statements + "; run;");
    EXPECT_EQ(harness::errors(step),
              decltype(harness::errors(step))(c.error ? 1 : 0, {210, c.error}));
    std::string log;
    for (const LogEntry &e : step.log) log += e.text + "\n";
    EXPECT_NE(log.find(c.logged), std::string::npos) << log;
    for (const auto &[name, want] : c.error ? std::span(golden, 0) : std::span(golden)) {
      const harness::Cell got = harness::cell(harness::table(step, "Kravos"), 0, name);
      const double value =
          std::holds_alternative<long long>(got) ? std::get<long long>(got) : std::get<double>(got);
      EXPECT_NEAR(value, want, 1e-12 * std::abs(want)) << name;
    }
  }
}

}  // namespace
}  // namespace vyn::data

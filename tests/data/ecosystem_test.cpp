// Whole programs on a file as R's write.csv writes it (ecosystem.R makes it and
// ecosystem_golden.inc) and as pandas' to_csv writes the same data, in UTF-8
// and in Latin-1 (ecosystem.py): row names under an empty name, a dotted name,
// NA or empty cells, Inf or inf, a level "NA". dataset_test.cpp reads such
// cells alone (ecosystem_cases.inc).
#include <gtest/gtest.h>

#include <span>

#include "tests/program/harness.h"
#include "vyn/output/render.h"

namespace vyn::data {
namespace {

TEST(Ecosystem, WholeProgramsOnAFileAsRAndPandasWriteIt) {
  const std::pair<const char *, double> golden[] = {
#include "tests/data/ecosystem_golden.inc"
  };
  const struct {
    std::string statements;  // after "proc kravo data=FILE"
    int error;               // 0: the step runs
    std::string logged;      // a text its log holds
  } cases[] = {
      {" h0=5; var Sepal_Length", 0, "'' as _row_, 'Sepal.Length' as Sepal_Length"},
      {"(where=('sepal.length'N > 0)) h0=5; var 'SEPAL.LENGTH'n", 0, "WHERE= kept 7 of the 9"},
      {" h0=5; var \"Sepal_Length\"n", 0, "as Sepal_Length"},
      {";\nvar 'Sepal.Lenght'n", 271, "Line 2, column 5: variable Sepal.Lenght is not"},
      {"\n(where=('ratio.x'n > 0)); var ratio", 301, "Line 2, column 9: variable 'ratio.x'n in"},
      {"; var ratio", 340, "line 3, column 4: "},
      {"; var Country", 343, "line 2, column 3 holds 'Namibia'"},
  };
  const struct {
    const char *name;
    std::string logged;  // a text the log of every step holds
  } files[] = {{"ecosystem", ""},
               {"ecosystem_pandas", ""},
               {"ecosystem_latin1", "line 6, column 3: the text of Country is not valid UTF-8"}};
  for (const auto &f : files) {
    for (const auto &c : cases) {
      const auto step =
          harness::runStep("proc kravo data=" + std::string(f.name) + c.statements + "; run;");
      EXPECT_EQ(harness::errors(step),
                decltype(harness::errors(step))(c.error ? 1 : 0, {210, c.error}));
      std::string log;
      for (const LogEntry &e : step.log) log += e.text + "\n";
      for (const std::string &text : {c.logged, f.logged})
        EXPECT_NE(log.find(text), std::string::npos) << f.name << ": " << log;
      for (const auto &[name, want] : c.error ? std::span(golden, 0) : std::span(golden)) {
        const harness::Cell got = harness::cell(harness::table(step, "Kravos"), 0, name);
        const double value = std::holds_alternative<long long>(got) ? std::get<long long>(got)
                                                                    : std::get<double>(got);
        EXPECT_NEAR(value, want, 1e-12 * std::abs(want)) << f.name << ": " << name;
      }
    }
  }
}

TEST(Ecosystem, TextThatIsNotUtf8IsShownWithReplacementCharacters) {
  const output::Run run = harness::run(
      "proc kravo data=ecosystem_latin1; var Sepal_Length; by 'country'n notsorted; run;");
  for (const std::string &text :
       {output::renderListing(run), output::renderHtml(run), output::renderJson(run)}) {
    EXPECT_NE(text.find("Per\uFFFD"), std::string::npos);
    EXPECT_EQ(text.find('\xFA'), std::string::npos);
  }
}

}  // namespace
}  // namespace vyn::data

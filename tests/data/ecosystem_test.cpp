// Files as other programs write them, through the data layer (cases in
// ecosystem_cases.inc) and through whole programs on the file R's write.csv
// wrote (ecosystem.R makes ecosystem.csv and ecosystem_golden.inc).
#include <gtest/gtest.h>

#include <charconv>
#include <numeric>
#include <span>

#include "tests/data/test_util.h"
#include "tests/program/harness.h"
#include "vyn/data/cursor.h"
#include "vyn/data/missing.h"

namespace vyn::data {
namespace {

std::string cellText(const DataSet &ds, const Cursor &c, int var) {
  if (!ds.variable(var).numeric) return "'" + std::string(c.text(var)) + "'";
  if (char letter = missingLetter(c.number(var)))
    return letter == '.' ? "." : std::string(".") + letter;
  char buf[32];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, c.number(var)).ptr);
}

std::string read(const std::string &csv, const std::string &schema, int columns) {
  testing::TempDir dir;
  try {
    if (!schema.empty()) dir.write("t.schema.json", schema);
    auto ds = DataSet::open(dir.write("t.csv", csv));
    std::vector<int> vars(columns > 0 ? columns : ds->variableCount());
    std::iota(vars.begin(), vars.end(), 0);
    Cursor c(*ds, vars);
    std::string out;
    while (c.next())
      for (int v : vars) out += (v ? "|" : out.empty() ? "" : "/") + cellText(*ds, c, v);
    return out;
  } catch (const DataError &e) {
    std::string out = "E" + std::to_string(e.number()) + " " + std::to_string(e.line()) + ":" +
                      std::to_string(e.column());
    for (size_t i = 0; i < e.inserts().size(); ++i)
      out += (i ? "|" : " ") + e.inserts()[i].substr(e.inserts()[i].rfind('/') + 1);
    return out;
  }
}

TEST(Ecosystem, CellsReadAsMissingNumbersTextOrAnError) {
  const struct {
    std::string csv, schema;
    int columns;
    std::string expected;
  } cases[] = {
#include "tests/data/ecosystem_cases.inc"
  };
  for (const auto &c : cases) EXPECT_EQ(read(c.csv, c.schema, c.columns), c.expected) << c.csv;
}

TEST(Ecosystem, WholeProgramsOnAFileAsRWritesIt) {
  const std::pair<const char *, double> golden[] = {
#include "tests/data/ecosystem_golden.inc"
  };
  const struct {
    std::string statements;
    int error;                        // 0: the step runs
    std::vector<std::string> logged;  // texts its log holds
  } cases[] = {
      {"h0=5; var Sepal_Length", 0, {"'Sepal.Length' as Sepal_Length", "'' as _row_"}},
      {"; var ratio", 340, {"line 3, column 4: 'Inf' is an infinite value in ratio"}},
      {"; var Country", 343, {"line 2, column 3 holds 'Namibia'"}},
  };
  for (const auto &c : cases) {
    const auto step = harness::runStep("proc kravo data=ecosystem " + c.statements + "; run;",
                                       VYN_SOURCE_DIR "/tests/data");
    using Errors = std::vector<std::pair<int, int>>;
    EXPECT_EQ(harness::errors(step), (c.error ? Errors{{210, c.error}} : Errors{})) << c.statements;
    std::string log;
    for (const LogEntry &e : step.log) log += std::to_string(e.number) + " " + e.text + "\n";
    for (const std::string &text : c.logged) EXPECT_NE(log.find(text), std::string::npos) << log;
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

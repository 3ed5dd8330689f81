// Cells as other programs write them: the words for a missing number, the
// infinite values, and a character level that only looks like one of them.
#include <gtest/gtest.h>

#include <charconv>

#include "tests/data/test_util.h"
#include "tests/program/harness.h"
#include "vyn/data/cursor.h"
#include "vyn/data/dataset.h"
#include "vyn/data/error.h"
#include "vyn/data/missing.h"

namespace vyn::data {
namespace {

std::string cellText(const DataSet &ds, const Cursor &c, int var) {
  if (!ds.variable(var).numeric) return "'" + std::string(c.text(var)) + "'";
  const double v = c.number(var);
  if (char letter = missingLetter(v)) return letter == '.' ? "." : std::string(".") + letter;
  char buf[32];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

// The cells of the selected columns joined by '|' per row and by '/' between
// rows, a character cell in quotes; or "E<number>
// <line>:<column> <inserts joined by '|'>".
// With a schema beside the file unless it is empty.
std::string read(const std::string &csv, std::vector<int> columns, const std::string &schema = "") {
  testing::TempDir dir;
  try {
    const std::string path = dir.write("t.csv", csv);
    if (!schema.empty()) dir.write("t.schema.json", schema);
    auto ds = DataSet::open(path);
    std::erase_if(columns, [&](int var) { return var >= ds->variableCount(); });
    Cursor c(*ds, columns);
    std::string out;
    while (c.next()) {
      out += out.empty() ? "" : "/";
      for (size_t i = 0; i < columns.size(); ++i)
        out += (i ? "|" : "") + cellText(*ds, c, columns[i]);
    }
    return out;
  } catch (const DataError &e) {
    std::string out = "E" + std::to_string(e.number()) + " " + std::to_string(e.line()) + ":" +
                      std::to_string(e.column()) + " ";
    for (size_t i = 0; i < e.inserts().size(); ++i)
      out += (i ? "|" : "") + e.inserts()[i].substr(e.inserts()[i].rfind('/') + 1);
    return out;
  }
}

TEST(Ecosystem, NumericCellsReadAsMissingNumberOrInfiniteError) {
  const struct {
    std::string cell, expected;  // the cell on line 3 of "x,y" beside 1 and 2 on line 2
  } cases[] = {
      {"NA", "1|2/.|9"},
      {"NaN", "1|2/.|9"},
      {"nan", "1|2/.|9"},
      {"N/A", "1|2/.|9"},
      {"NULL", "1|2/.|9"},
      {"null", "1|2/.|9"},
      {"\"NA\"", "1|2/.|9"},
      {" NA ", "1|2/.|9"},
      {"", "1|2/.|9"},
      {".", "1|2/.|9"},
      {".A", "1|2/.A|9"},
      {".z", "1|2/.Z|9"},
      {"._", "1|2/._|9"},
      {"-0.5e1", "1|2/-5|9"},
      {"+7", "1|2/7|9"},
      {"na", "'1'|2/'na'|9"},
      {"NAN", "'1'|2/'NAN'|9"},
      {"Infinity", "'1'|2/'Infinity'|9"},
      {"Inf", "E340 3:1 t.csv|3|1|'Inf'|x"},
      {"-inf", "E340 3:1 t.csv|3|1|'-inf'|x"},
      {"\"-Inf\"", "E340 3:1 t.csv|3|1|'-Inf'|x"},
      {"inf", "E340 3:1 t.csv|3|1|'inf'|x"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(read("x,y\n1,2\n" + c.cell + ",9\n", {0, 1}), c.expected) << c.cell;
}

TEST(Ecosystem, CharacterLevelsThatLookMissingAreKept) {
  const std::string csv = "c,n\nNamibia,1\nNA,NA\n,2\nnull,3\nN/A,4\n";
  EXPECT_EQ(read(csv, {0, 1}), "'Namibia'|1/'NA'|./''|2/'null'|3/'N/A'|4");
}

TEST(Ecosystem, AnInfiniteCellFailsOnlyTheStepThatUsesIt) {
  const std::string csv = "a,b\n1,2\n3,4\n5,Inf\n";
  EXPECT_EQ(read(csv, {0}), "1/3/5");
  EXPECT_EQ(read(csv, {0, 1}), "E340 4:2 t.csv|4|2|'Inf'|b");
}

TEST(Ecosystem, SchemaMissingValuesReplaceTheDefaultWordsInEveryColumn) {
  const struct {
    std::string csv, schema, expected;
  } cases[] = {
      {"x,c\n1,-\nn/a,\" n/a\"\n.,NA\n", R"js({"missingValues": ["-", "n/a"], "fields": []})js",
       "1|''/.|''/.|'NA'"},
      {"x\n1\nNA\n", R"js({"missingValues": [""], "fields": []})js", "'1'/'NA'"},
      {"x\n1\nNA\n", R"js({"missingValues": "NA", "fields": []})js",
       "E341 0:0 t.schema.json|\"NA\""},
      {"x\n1\n", R"js({"missingValues": ["NA", 9], "fields": []})js", "E341 0:0 t.schema.json|9"},
      {"x\n1\n", R"js({"missingValues": ["-99"], "fields": []})js", "E342 0:0 t.schema.json|'-99'"},
      {"x\n1\n", R"js({"missingValues": [" Inf"], "fields": []})js",
       "E342 0:0 t.schema.json|' Inf'"},
  };
  for (const auto &c : cases) EXPECT_EQ(read(c.csv, {0, 1}, c.schema), c.expected) << c.schema;
}

// A file as R's write.csv writes it (ecosystem.R): the row names under an
// empty header name, a dotted name, NA, Inf and a level "NA".

TEST(Ecosystem, WholeProgramOnAFileAsRWritesIt) {
  const auto step = harness::runStep("proc kravo data=ecosystem h0=5; var Sepal_Length; run;",
                                     VYN_SOURCE_DIR "/tests/data");
  EXPECT_TRUE(harness::errors(step).empty());
  const harness::Table &tests = harness::table(step, "Kravos");
  const std::pair<const char *, double> golden[] = {
#include "tests/data/ecosystem_golden.inc"
  };
  for (const auto &[name, want] : golden) {
    const harness::Cell &got = harness::cell(tests, 0, name);
    const double value = std::holds_alternative<double>(got) ? std::get<double>(got)
                         : std::holds_alternative<long long>(got)
                             ? static_cast<double>(std::get<long long>(got))
                             : -1;
    EXPECT_NEAR(value, want, 1e-12 * std::abs(want)) << name;
  }
  bool noted = false;
  for (const LogEntry &e : step.log)
    noted = noted || (e.number == 344 &&
                      e.text.find("'Sepal.Length' as Sepal_Length") != std::string::npos &&
                      e.text.find("'' as _row_") != std::string::npos);
  EXPECT_TRUE(noted);
}

TEST(Ecosystem, AStepNamesTheCellThatItCannotUse) {
  const struct {
    const char *var;
    int number;
    const char *where;
  } cases[] = {{"ratio", 340, "line 3, column 4: 'Inf'"},
               {"Country", 343, "line 2, column 3 holds 'Namibia'"}};
  for (const auto &c : cases) {
    const auto step =
        harness::runStep(std::string("proc kravo data=ecosystem; var ") + c.var + "; run;",
                         VYN_SOURCE_DIR "/tests/data");
    EXPECT_EQ(harness::errors(step), (std::vector<std::pair<int, int>>{{210, c.number}})) << c.var;
    bool placed = false;
    for (const LogEntry &e : step.log)
      placed = placed || (e.number == c.number && e.text.find(c.where) != std::string::npos);
    EXPECT_TRUE(placed) << c.var;
  }
}

}  // namespace
}  // namespace vyn::data

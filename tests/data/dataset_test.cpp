// CSV files and schema sidecars, each with what it must read as, worked out by hand.
#include "vyn/data/dataset.h"

#include <gtest/gtest.h>

#include <charconv>

#include "tests/data/test_util.h"
#include "vyn/core/utf8.h"
#include "vyn/data/block_scan.h"
#include "vyn/data/cursor.h"
#include "vyn/data/error.h"
#include "vyn/data/missing.h"

namespace vyn::data {
namespace {

using testing::TempDir;

std::string numberText(double v) {
  if (char letter = missingLetter(v)) return letter == '.' ? "." : std::string(".") + letter;
  char buf[32];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

// Variables as "name", "name$length" (character) or "name#" (integer), then
// "=format" when it is not the default and "'label'"; then one "line:cells"
// per row, cells joined by '|'. Items are joined by '/'. Then " !line:column"
// of the first text that is not UTF-8.
std::string dump(const DataSet &ds) {
  std::string out;
  std::vector<int> all;
  for (int i = 0; i < ds.variableCount(); ++i) {
    const Variable &v = ds.variable(i);
    const Format usual = v.numeric ? kBest12 : Format{Format::Kind::kChar, v.length, 0};
    out += (i ? " " : "") + v.name + (v.numeric ? "" : "$" + std::to_string(v.length)) +
           (v.integer ? "#" : "") + (v.format == usual ? "" : "=" + formatName(v.format)) +
           (v.label.empty() ? "" : "'" + v.label + "'");
    all.push_back(i);
  }
  Cursor c(ds, all);
  while (c.next()) {
    out += "/" + std::to_string(c.line()) + ":";
    for (int i = 0; i < ds.variableCount(); ++i)
      out += (i ? "|" : "") +
             (ds.variable(i).numeric ? numberText(c.number(i)) : std::string(c.text(i)));
  }
  const TextPlace &bad = ds.badText();
  return bad.line ? out + " !" + std::to_string(bad.line) + ":" + std::to_string(bad.column) : out;
}

// "E<number> <line>:<column> <inserts joined by '|'>", folder prefixes cut.
std::string dump(const DataError &e, const std::string &folder) {
  std::string out = "E" + std::to_string(e.number()) + " " + std::to_string(e.line()) + ":" +
                    std::to_string(e.column()) + " ";
  for (size_t i = 0; i < e.inserts().size(); ++i) {
    std::string s = e.inserts()[i];
    if (!folder.empty() && s.rfind(folder + "/", 0) == 0) s.erase(0, folder.size() + 1);
    out += (i ? "|" : "") + s;
  }
  return out;
}

// Opens s.csv, with s.schema.json beside it unless the schema is empty.
std::string read(const std::string &csv, const std::string &schema = "", char delimiter = ',') {
  TempDir dir;
  const std::string path = dir.write("s.csv", csv);
  if (!schema.empty()) dir.write("s.schema.json", schema);
  try {
    return dump(*DataSet::open(path, delimiter));
  } catch (const DataError &e) {
    return dump(e, dir.path());
  }
}

TEST(Csv, ReadsEachFileAsWritten) {
  const std::string longText(40000, 'q');
  const struct {
    std::string csv, expected;
  } cases[] = {
      {"a,b\n1,2\n3.5,-4e2\n", "a b/2:1|2/3:3.5|-400"},
      {"id,note\n1,\"a, b\"\n2,\"say \"\"hi\"\"\"\n3,\"two\nlines\"\n4,plain\n",
       "id note$9/2:1|a, b/3:2|say \"hi\"/4:3|two\nlines/6:4|plain"},
      {"\xEF\xBB\xBFx,name\r\n1,ab\r\n2,\"c\r\nd\"\r\n", "x name$4/2:1|ab/3:2|c\r\nd"},
      {"a,b\n1,2\n3,4", "a b/2:1|2/3:3|4"},
      {"a,b\n1,", "a b/2:1|."},
      {"\n\na,b\n\n1,2\r\n\r\n3,4\n\n", "a b/5:1|2/7:3|4"},
      {"a,b\n", "a b"},
      {"\"a\", b ,c\n1,2,3\n", "a b c/2:1|2|3"},
      {"a,b\n1,ab\"c\n", "a b$4/2:1|ab\"c"},
      {"a,b\n1,\"ab\"cd\n", "a b$4/2:1|abcd"},
      {"a,b\n1,x\ry\n", "a b$3/2:1|x\ry"},
      {"_x,a123456789012345678901234567890\n", "_x a123456789012345678901234567890"},
      // missing values keep a column numeric; "." is the blank of a character column
      {"a,b\n1,.\n,.A\n.z,._\n . ,2\n", "a b/2:1|./3:.|.A/4:.Z|._/5:.|2"},
      {"a\n+5\n5.\n-.5\n1e3\n 7 \n\"8\"\n0012\n", "a/2:5/3:5/4:-0.5/5:1000/6:7/7:8/8:12"},
      {"a\nx\n12345\nxyz\n", "a$5/2:x/3:12345/4:xyz"},
      {"a,b\nx,\n", "a$1 b/2:x|."},
      {"a,b\n\"\",x\n", "a b$1/2:.|x"},
      {"a\nx\n.\n\".\"\n", "a$1/2:x/3:/4:."},
      // the shortest form of the double nearest 60 ones: Python's repr(float("1" * 60))
      {"a\n" + std::string(60, '1') + "\n", "a/2:1.1111111111111112e+59"},
      {"a\n1" + std::string(400, '0') + "\n", "a$401/2:1" + std::string(400, '0')},
      {"a\n" + longText + "\n", "a$32767/2:" + longText.substr(0, 32767)},
      // a field cut by the typing pass's 64-byte blocks: letter or bad UTF-8 before the cut
      {"a,b\n" + std::string(58, 'x') + ",12z45678\n",
       "a$58 b$8/2:" + std::string(58, 'x') + "|12z45678"},
      {"a,b\n1," + std::string(70, 'w') + "\n2," + std::string(52, 'x') + "\xE9yy\n",
       "a b$70/2:1|" + std::string(70, 'w') + "/3:2|" + std::string(52, 'x') + "\xE9yy !3:2"},
      // errors: ragged rows, open quotes, empty files, names
      {"a,b,c\n1,2,3\n4,5\n", "E201 3:3 s.csv|3|3|2|3"},
      {"a,b\n1,2\n\n4,5,6\n", "E201 4:3 s.csv|4|3|3|2"},
      {"a,b\n\"x\ny\",2\n4\n", "E201 4:2 s.csv|4|2|1|2"},
      {"a,b\n1,2\n3", "E201 3:2 s.csv|3|2|1|2"},
      {"a,b\n1,2\n3,\"abc\n4,5\n", "E202 3:2 s.csv|3|2"},
      {"a,\"b\n1,2\n", "E202 1:2 s.csv|1|2"},
      {"a,b\n\"x\ny\",\"abc\n", "E202 3:2 s.csv|3|2"},
      {"", "E205 0:0 s.csv"},
      {"\xEF\xBB\xBF", "E205 0:0 s.csv"},
      {"\n\r\n\n", "E205 0:0 s.csv"},
      // header names mapped to valid, distinct names, each keeping its own as the label
      {"Site,x,SITE\n1,2,3\n", "Site x SITE_2'SITE'/2:1|2|3"},
      {",a,1b,,b c,b-c,\"\"\n", "_row_ a _1b'1b' _col4 b_c'b c' b_c_2'b-c' _col7"},
      {"a,abcdefghijklmnopqrstuvwxyz0123456\n",
       "a abcdefghijklmnopqrstuvwxyz012345'abcdefghijklmnopqrstuvwxyz0123456'"},
      {"a,caf\xC3\xA9\n", "a caf__'caf\xC3\xA9'"},
  };
  for (const auto &c : cases) EXPECT_EQ(read(c.csv), c.expected) << c.csv;
}

TEST(Csv, ReadsFilesAsOtherProgramsWriteThem) {
  const struct {
    std::string csv, schema, expected;
    char delimiter = ',';  // the command line's
  } cases[] = {
#include "tests/data/ecosystem_cases.inc"
  };
  for (const auto &c : cases) EXPECT_EQ(read(c.csv, c.schema, c.delimiter), c.expected) << c.csv;
}

TEST(Csv, OneTextCellMakesACharacterColumn) {
  for (const char *cell : {"abc", "Infinity", "na", "1.2.3", "--1", "-", "+", "1e", "0x10", "1e999",
                           ".AB", "-.", "1-2", "\"5,\"", "1 2", "\"1\"\"\""}) {
    auto ds = DataSet::fromText("t.csv", std::string("a,b\n1,1\n") + cell + ",3\n4444,4\n");
    EXPECT_FALSE(ds->variable(0).numeric) << cell;
    EXPECT_TRUE(ds->variable(1).numeric) << cell;
  }
}

TEST(Schema, DeclaresTypesLengthsLabelsAndFormatsOrIsRefused) {
  const std::string ab = "a,b\n1,2\n3,x y\n", a = "a\n1\n";
  const struct {
    std::string csv, schema, expected;
  } cases[] = {
      {"id,height,site,code\n1,170.25,north,7\n2,180,south,8\n",
       R"js({"fields": [{"name": "id", "type": "string", "length": 4},
           {"name": "HEIGHT", "type": "number", "title": "Height (cm)", "format": "8.2"},
           {"name": "site", "type": "string", "format": "$10."}, {"name": "code", "type": "integer"}]})js",
       "id$4 height=8.2'Height (cm)' site$5=$10. code#/2:1|170.25|north|7/3:2|180|south|8"},
      {"s\nabcdef\n", R"js({"fields": [{"name": "s", "length": 3}]})js", "s$3/2:abc"},
      {"s\n\xC3\xA9\xC3\xA9\n", R"js({"fields": [{"name": "s", "length": 3}]})js",
       "s$3/2:\xC3\xA9"},
      {"s\nabcdef\n", R"js({"fields": [{"name": "s", "constraints": {"maxLength": 2}}]})js",
       "s$2/2:ab"},
      {"zip\n01234\n", R"js({"fields": [{"name": "zip", "type": "string"}]})js", "zip$5/2:01234"},
      {"a,b\n1,x\n", R"js({"fields": [{"name": "a", "title": "A"}]})js", "a'A' b$1/2:1|x"},
      {"a,b\n1,x\n", R"js({"fields": [{"name": "a", "type": "number", "format": "default"},
           {"name": "b", "type": "string", "format": "email"}]})js",
       "a b$1/2:1|x"},
      {"a\n.\n.B\n\n\"\"\n4\n", R"js({"fields": [{"name": "a", "type": "number"}]})js",
       "a/2:./3:.B/5:./6:4"},
      {"a\n1\n2.0\n.\n", R"js({"fields": [{"name": "a", "type": "integer"}]})js", "a#/2:1/3:2/4:."},
      {ab, R"js({"fields": [{"name": "b", "type": "number"}]})js",
       "E203 3:2 s.csv|3|2|'x y'|b|number"},
      {"a,b\n1,2\n3,\"x\"\"\"\n", R"js({"fields": [{"name": "b", "type": "number"}]})js",
       "E203 3:2 s.csv|3|2|'x\"'|b|number"},
      {"a\n1\n2.5\n", R"js({"fields": [{"name": "a", "type": "integer"}]})js",
       "E220 3:1 s.csv|3|1|'2.5'|a"},
      {"a\n1\nx\n", R"js({"fields": [{"name": "a", "type": "integer"}]})js",
       "E203 3:1 s.csv|3|1|'x'|a|integer"},
      {a, "{\n  \"fields\": [\n    {\"name\": \"a\",}\n  ]\n}", "E208 3:18 s.schema.json|3|18|*"},
      {a, "[]", "E209 0:0 s.schema.json"},
      {a, R"js({"fields": {}})js", "E209 0:0 s.schema.json"},
      {a, R"js({"fields": [{"type": "number"}]})js", "E210 0:0 s.schema.json|1"},
      {a, R"js({"fields": [{"name": "b"}]})js", "E211 0:0 s.schema.json|b|s.csv"},
      {a, R"js({"fields": [{"name": "a"}, {"name": "A"}]})js", "E217 0:0 s.schema.json|A"},
      {a, R"js({"fields": [{"name": "a", "type": "date"}]})js",
       "E212 0:0 s.schema.json|a|\"date\""},
      {a, R"js({"fields": [{"name": "a", "format": "8.2.1"}]})js",
       "E213 0:0 s.schema.json|a|\"8.2.1\""},
      {a, R"js({"fields": [{"name": "a", "type": "number", "format": "$5."}]})js",
       "E214 0:0 s.schema.json|a|number|\"$5.\""},
      {a, R"js({"fields": [{"name": "a", "type": "string", "format": "5."}]})js",
       "E214 0:0 s.schema.json|a|string|\"5.\""},
      {a, R"js({"fields": [{"name": "a", "length": 0}]})js", "E215 0:0 s.schema.json|a|0"},
      {a, R"js({"fields": [{"name": "a", "length": 40000}]})js", "E215 0:0 s.schema.json|a|40000"},
      {a, R"js({"fields": [{"name": "a", "length": "5"}]})js", "E215 0:0 s.schema.json|a|\"5\""},
      {a, R"js({"fields": [{"name": "a", "title": 5}]})js",
       "E219 0:0 s.schema.json|title|a|a text"},
  };
  for (const auto &c : cases) {
    const std::string got = read(c.csv, c.schema);
    // a '*' at the end stands for words of the system or the JSON parser
    const size_t n = c.expected.back() == '*' ? c.expected.size() - 1 : std::string::npos;
    EXPECT_EQ(got.substr(0, n), c.expected.substr(0, n)) << c.csv << " " << c.schema;
  }
}

TEST(Paths, SchemaBesideTheDataAndDataSetNames) {
  TempDir dir;
  dir.write("class.csv", "a\n1\n");
  dir.write("lib/trial.csv", "a\n1\n");
  const struct {
    std::string folder, name;
    bool quoted;
    std::string expected;
  } cases[] = {
      {dir.path(), "class", false, dir.file("class.csv")},
      {dir.path(), "CLASS", false, dir.file("class.csv")},
      {dir.path(), "Lib.Trial", false, dir.file("lib/trial.csv")},
      {dir.path(), "Other", false, dir.file("Other.csv")},
      {dir.path(), "sub/x.csv", true, dir.file("sub/x.csv")},
      {dir.path(), "/abs/x.csv", true, "/abs/x.csv"},
      {"", "x", false, "x.csv"},
      {"d/", "x", false, "d/x.csv"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(resolveDataSetPath(c.folder, c.name, c.quoted), c.expected) << c.name;
  for (const auto &[path, schema] : {std::pair{"d/x.csv", "d/x.schema.json"},
                                     {"x.txt", "x.schema.json"},
                                     {"d.v/x", "d.v/x.schema.json"},
                                     {"d/.hidden", "d/.hidden.schema.json"}})
    EXPECT_EQ(schemaPathFor(path), schema) << path;
}

// ---------------------------------------------------------------- the typing pass, cell by cell

// The value of a cell as written: without its quotes, a doubled quote made one.
std::string valueOf(const std::string &written) {
  if (written.empty() || written[0] != '"') return written;
  std::string value;
  for (size_t i = 1; i + 1 < written.size(); ++i) {
    value += written[i];
    if (written[i] == '"') ++i;
  }
  return value;
}

// Columns pad, v1, v2, ...: three rows of filler cells, then a row with the
// odd cell in column `column` (from 1) after a pad of `shift` bytes, then
// one more row of filler cells.
std::string oddFile(const std::string &odd, size_t column, size_t shift,
                    const std::vector<std::string> &filler, const std::string &bom,
                    const std::string &eol, bool lastEol, char delimiter) {
  const auto row = [&](const std::string &pad, size_t oddAt) {
    std::string r = pad;
    for (size_t c = 1; c <= filler.size(); ++c) r += delimiter + (c == oddAt ? odd : filler[c - 1]);
    return r;
  };
  std::string csv = bom + "pad";
  for (size_t c = 1; c <= filler.size(); ++c) csv += delimiter + ("v" + std::to_string(c));
  csv += eol;
  for (int i = 0; i < 3; ++i) csv += row("q", 0) + eol;
  return csv + row(std::string(shift, 'p'), column) + eol + row("q", 0) + (lastEol ? eol : "");
}

// What the typing pass must find in the column of the odd cell (line 5):
// the rule of parseNumericCell applied to each of its cells.
void expectTyping(const DataSet &ds, const std::string &written, size_t column,
                  const std::string &filler, char decimal, const std::string &where) {
  const auto number = [decimal](const std::string &text) {
    return parseNumericCell(text, nullptr, decimal).kind != CellKind::kNotNumber;
  };
  const std::string odd = valueOf(written);
  const bool fillerNumber = number(filler), numeric = fillerNumber && number(odd);
  const Variable &v = ds.variable(static_cast<int>(column));
  EXPECT_EQ(v.numeric, numeric) << where;
  if (!numeric) {
    EXPECT_EQ(static_cast<size_t>(v.length), std::max<size_t>({filler.size(), odd.size(), 1}))
        << where;
    EXPECT_EQ(v.firstText, fillerNumber ? odd : filler) << where;
    EXPECT_EQ(v.firstTextLine, fillerNumber ? 5 : 2) << where;
  }
  const bool bad = !numeric && invalidUtf8At(odd) != std::string_view::npos;
  EXPECT_EQ(ds.badText().line, bad ? 5 : 0) << where;
  EXPECT_EQ(ds.badText().column, bad ? static_cast<int64_t>(column) + 1 : 0) << where;
  EXPECT_EQ(ds.observations(), 5) << where;
}

// Every odd cell in the first columns and the last, at every place of a
// 64-byte block (and across one), after fillers short and long and among
// more than eight columns: the typing pass decides and measures the column
// as the cell check does, with the widest block scan and the baseline one,
// and at some places in pieces on two threads.
TEST(Typing, DecidesEachColumnAsTheCellCheck) {
  // clang-format off
  const std::string written[] = {
      "1.", ".5", "-", "-.", "1e5", "1e", "+1", "--1", "1.2.3", "-0", "00", "+", "1-", ".", "",
      "\xD9\xA1", "inf", "-Inf", "NaN", "NA", ".A", "._", " 1", "1 ", "\"12\"", "\"1\"\"\"", "x",
      "1\r2", "\xE9", "..5", std::string(41, '7'), "1.5e-3"};
  // clang-format on
  const struct {
    std::string bom, eol;
    bool lastEol;
  } layouts[] = {{"", "\n", true}, {"\xEF\xBB\xBF", "\r\n", false}};
  const std::vector<std::string> fillers[] = {
      {"x", "7", "8"},
      {"xyz", "-1234.5678", "0.25"},
      {"x", "7", "8", "1", "2", "3", "4", "5", "6", "7", "8", "9.5"}};  // two eights of columns
  for (const std::string &odd : written) {
    for (const auto &layout : layouts)
      for (const auto &filler : fillers)
        for (const size_t column : {size_t{1}, size_t{2}, filler.size()})
          for (size_t shift = 0; shift < 66; ++shift) {
            const std::string csv =
                oddFile(odd, column, shift, filler, layout.bom, layout.eol, layout.lastEol, ',');
            for (const bool widest : {true, false}) {
              scan::useWidestScan(widest);
              for (const TypingOptions &options : {TypingOptions{}, TypingOptions{2, 9}}) {
                if (options.threads > 1 && (!widest || shift % 16 != 0)) continue;
                const auto ds = DataSet::fromText("t.csv", csv, ',', options);
                expectTyping(*ds, odd, column, filler[column - 1], '.', csv);
                EXPECT_EQ(ds->variable(0).length, std::max<int>(static_cast<int>(shift), 1));
              }
            }
            scan::useWidestScan(true);
            if (HasFailure()) return;
          }
  }
}

// The same with a decimal comma, fields separated by ';' as the schema says.
TEST(Typing, DecidesADecimalCommaColumnAsTheCellCheck) {
  TempDir dir;
  dir.write("t.schema.json",
            R"({"fields": [], "dialect": {"delimiter": ";", "decimalChar": ","}})");
  const std::vector<std::string> filler = {"x", "-12,5", "3"};
  for (const char *odd : {"1,5", "1.5", ",5", "1,", "1,2,3", "-,5", ",", "1e5", "NA", "\"2,5\""}) {
    for (size_t column = 1; column <= 3; ++column)
      for (const size_t shift : {0, 1, 30, 55, 60, 63}) {
        const std::string path =
            dir.write("t.csv", oddFile(odd, column, shift, filler, "", "\n", true, ';'));
        expectTyping(*DataSet::open(path), odd, column, filler[column - 1], ',', path);
      }
  }
}

}  // namespace
}  // namespace vyn::data

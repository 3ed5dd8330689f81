// The three renderings of a small run: JSON per the output contract, the
// aligned listing, and the HTML page; number formats on their own.
#include "vyn/output/render.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <random>

#include "vyn/output/format.h"
#include "vyn/output/layout.h"
#include "vyn/output/templates.h"

namespace {

using namespace vyn::output;

using enum ColumnType;

const double kConf = 95 + 1.1102230246251565e-13;

Run smallRun() {
  Table conf{"ConfLimits",
             "Stat.Kravo.ConfLimits",
             "Confidence Limits",
             {{"confmean", kConf}, {"reqspace", 3LL}},
             {},
             {}};
  conf.columns = {{"Variable", "Variable", kChar, "", 0, false, {}},
                  {"Mean", "Mean", kNum, "12.4", 0, true, {}},
                  {"LowerCLMean", "Lower CL Mean", kNum, "12.4", 0, true, {}},
                  {"UpperCLMean", "Upper CL Mean", kNum, "12.4", 0, true, {}},
                  {"StdDev", "Std Dev", kNum, "12.4", 0, false, {}}};
  conf.rows = {{std::string("y <&\"\\\n"), 5.5, 3.3341, 7.6659, 3.02}};
  Table t{"Kravos", "Stat.Kravo.Kravos", "T Tests", {}, {}, {}};
  t.columns = {{"tValue", "t Value", kNum, "8.2", 0, true, {}},
               {"DF", "DF", kNum, "BEST8.", 0, true, {}},
               {"Probt", "", kNum, "PVALUE6.4", 0, true, {}}};
  t.columns[2].attributes["ProbtHeader"] = std::string("Pr > |t|");
  t.rows = {{5.74, 9.0, 0.00002},
            {Missing{'I'}, Missing{'M'}, Missing{'_'}},
            {0.1, Missing{'.'}, 0.0432}};
  const std::vector<std::string> titles{"The KRAVO Procedure", "Variable: y"};
  const GroupRef group{"y", "Variable: y", 1};
  const std::vector<ByValue> by{{"site", "A", "A"}};
  StepRecord step{"KRAVO", 4, {}, {}};
  step.log = {{vyn::LogLevel::kNote, 181, 116, "Zero values were found."},
              {vyn::LogLevel::kError, 0, 0, "Expected one of: ;"}};
  step.output = {{conf, titles, group, by},
                 {t, titles, group, by},
                 {Note{"KravoFreqNote", "The FREQ variable is f."}, titles, group, by},
                 {Note{"N", "The FREQ variable is <f&g> \"x\"."}, titles, group, by}};
  Table special{"T", "X.T", "T", {{"level", std::nan("")}, {"n", "C:\\d"}}, {}, {}};
  special.columns = {{"a", "a", kNum, "", 0, true, {}}};
  special.rows = {{Missing{'Z'}}, {Missing{'.'}}, {HUGE_VAL}, {-HUGE_VAL}};
  return {step, {"P", 0, {}, {{special, {}, {}, {}}}}};
}

TEST(RenderJson, FollowsTheContract) {
  const std::string text = renderJson(smallRun());
  const auto doc = nlohmann::json::parse(text);
  using nlohmann::json;
  // (JSON pointer, the value there); 17 significant digits as printf "%.17g" gives them
  const std::pair<const char *, json> expected[] = {
      {"/format", "vyn-output/1"},
      {"/steps/0/proc", "KRAVO"},
      {"/steps/0/rc", 4},
      {"/steps/0/log/0",
       {{"level", "note"}, {"group", 181}, {"number", 116}, {"text", "Zero values were found."}}},
      {"/steps/0/log/1", {{"level", "error"}, {"text", "Expected one of: ;"}}},
      {"/steps/0/output/0/text", "The KRAVO Procedure"},  // the headings come first
      {"/steps/0/output/1",
       {{"type", "heading"},
        {"text", "Variable: y"},
        {"group", {{"name", "y"}, {"label", "Variable: y"}}},
        {"by", json::array({{{"name", "site"}, {"value", "A"}, {"formatted", "A"}}})}}},
      {"/steps/0/output/2/type", "table"},
      {"/steps/0/output/2/name", "ConfLimits"},
      {"/steps/0/output/2/path", "Stat.Kravo.ConfLimits"},
      {"/steps/0/output/2/group", {{"name", "y"}, {"label", "Variable: y"}}},
      {"/steps/0/output/2/by",
       json::array({{{"name", "site"}, {"value", "A"}, {"formatted", "A"}}})},
      {"/steps/0/output/2/attributes/confmean", 95.000000000000114},
      {"/steps/0/output/2/attributes/reqspace", 3},
      {"/steps/0/output/2/columns/0/type", "char"},
      {"/steps/0/output/2/columns/1/format", "12.4"},
      {"/steps/0/output/2/columns/4/print", false},
      {"/steps/0/output/2/rows/0/0", "y <&\"\\\n"},
      {"/steps/0/output/3/columns/2/attributes/ProbtHeader", "Pr > |t|"},
      {"/steps/0/output/3/rows/0/1", 9},
      {"/steps/0/output/3/rows/1", {".I", ".M", "._"}},
      {"/steps/0/output/3/rows/2/1", "."},
      {"/steps/0/output/4/type", "note"},
      {"/steps/1/output/0/rows", {{".Z"}, {"."}, {".I"}, {".M"}}},
      {"/steps/1/output/0/attributes/level", "."},
      {"/steps/1/output/0/attributes/n", "C:\\d"},
      {"/steps/1/output/0/by", json::array()},
  };
  for (const auto &[pointer, value] : expected)
    EXPECT_EQ(doc.value(json::json_pointer(pointer), json()), value) << pointer;
  EXPECT_FALSE(doc["steps"][0]["output"][2]["columns"][0].contains("format"));
  for (const char *digits : {"95.000000000000114", "0.10000000000000001", "0.043200000000000002"})
    EXPECT_NE(text.find(digits), std::string::npos) << digits;
  const StepRecord warned{"KRAVO", 4, {{vyn::LogLevel::kWarning, 0, 0, "w"}}, {}};
  EXPECT_EQ(json::parse(renderJson({warned}))["steps"][0]["log"][0]["level"], "warning");
}

std::string centred(const std::string &s) {
  return std::string((80 - s.size()) / 2, ' ') + s + "\n";
}

// Tables are centred on the 80-column page: 22 columns wide (indent 29), 23 (indent 28).
TEST(RenderListing, AlignsColumnsUnderTheirHeadersAndSpans) {
  vyn::output::Run run = smallRun();
  run.resize(1);
  const std::string a(29, ' '), b(28, ' ');
  const std::string expected =
      centred("The KRAVO Procedure") + "\n" + centred("----- site=A -----") + "\n" +
      centred("Variable: y") + "\n" +      //
      a + "         95% CL Mean\n" +       //
      a + "  Mean   Lower   Upper\n" +     //
      a + "5.5000  3.3341  7.6659\n\n" +   //
      b + "t Value    DF  Pr > |t|\n" +    //
      b + "   5.74     9    <.0001\n" +    //
      b + "    Inf  -Inf\n" +              //
      b + "   0.10     .    0.0432\n\n" +  //
      "The FREQ variable is f.\n\n" + "The FREQ variable is <f&g> \"x\".\n\n";
  EXPECT_EQ(renderListing(run), expected);
}

TEST(RenderListing, ANewByGroupRepeatsItsLineAndTheTitlesBelowTheFirst) {
  vyn::output::Run run = smallRun();
  run.resize(1);
  run[0].output.resize(1);
  Item second = run[0].output[0];
  second.by = {{"site", "B", "B"}};
  std::get<Table>(second.content).attributes["confmean"] = 90.0;  // the same path, a new span
  run[0].output.push_back(second);
  const std::string listing = renderListing(run);
  const size_t b = listing.find("site=B");
  ASSERT_NE(b, std::string::npos);
  EXPECT_NE(listing.find("Variable: y", b), std::string::npos);
  EXPECT_NE(listing.find("90% CL Mean", b), std::string::npos);
  EXPECT_EQ(listing.find("The KRAVO Procedure", b), std::string::npos);
}

// Titles and BY values equal but for one byte, at each place in texts of
// lengths about the words they are compared in, come again; equal ones do not.
TEST(Preamble, TextsThatDifferInOneByteComeAgain) {
  for (const size_t n : {0, 1, 3, 4, 5, 7, 8, 9, 15, 16, 17, 24, 31, 32, 33, 40}) {
    const std::string text(n, 'a');
    for (size_t i = 0; i <= n; ++i) {
      std::string other = text;
      if (i < n) other[i] = 'b';
      const bool differ = i < n;
      const Item before{Note{"N", "x"}, {"T", text}, {}, {{"s", text, text}}};
      const Item title{Note{"N", "x"}, {"T", other}, {}, {{"s", text, text}}};
      EXPECT_EQ(preambleOf(title, &before).below.size(), differ ? 1u : 0u) << n << " " << i;
      const Item by{Note{"N", "x"}, {"T", text}, {}, {{"s", other, other}}};
      EXPECT_EQ(preambleOf(by, &before).byLine, differ) << n << " " << i;
    }
  }
}

// One step of one-column tables of path "X.T", each in its own BY group.
// `cases` gives each table's header, format, shape and value.
struct OneCell {
  const char *header, *format;
  uint64_t shape;
  double value;
};
Run oneCellTables(const std::vector<OneCell> &cases) {
  StepRecord step{"P", 0, {}, {}};
  for (size_t g = 0; g < cases.size(); ++g) {
    Table t{"T", "X.T", "T", {}, {}, {}};
    t.columns = {{"x", cases[g].header, kNum, cases[g].format, 0, true, {}}};
    t.rows = {{cases[g].value}};
    t.shape = cases[g].shape;
    const std::string value = std::to_string(g + 1);
    step.output.push_back({t, {}, {}, {{"g", value, value}}});
  }
  return {step};
}

// A table drawn again under the same shape takes the widths of its values:
// widened by a wide value, narrow again after it; a new format or header
// draws a new head even at widths drawn before. A header wider than its
// value widens the column; a number BEST writes with a fraction shows too,
// and one of more than 16 bytes whole.
TEST(RenderListing, EachTableDrawnAtItsOwnWidthsAndHeaders) {
  const vyn::output::Run run = oneCellTables({{"x", "8.2", 7, 1.5},
                                              {"x", "8.2", 7, 12345.25},
                                              {"x", "8.2", 7, 2.25},
                                              {"x", "8.3", 8, 2.25},
                                              {"y", "8.3", 9, 2.25},
                                              {"width", "8.1", 10, 2.5},
                                              {"x", "BEST8.", 11, 2.5},
                                              {"x", "20.8", 12, 12345678.12345678}});
  const auto group = [](int g, const std::string &lines) {
    return centred("----- g=" + std::to_string(g) + " -----") + "\n" + lines + "\n";
  };
  const std::string in4(38, ' '), in5(37, ' '), in8(36, ' '), in17(31, ' ');
  const std::string expected =
      group(1, in4 + "   x\n" + in4 + "1.50\n") +
      group(2, in8 + "       x\n" + in8 + "12345.25\n") +
      group(3, in4 + "   x\n" + in4 + "2.25\n") + group(4, in5 + "    x\n" + in5 + "2.250\n") +
      group(5, in5 + "    y\n" + in5 + "2.250\n") + group(6, in5 + "width\n" + in5 + "  2.5\n") +
      group(7, in4 + "  x\n" + in4 + "2.5\n") +
      group(8, in17 + std::string(16, ' ') + "x\n" + in17 + "12345678.12345678\n");
  EXPECT_EQ(renderListing(run), expected);
}

// Cells longer than a page, shown control bytes, bytes that are not UTF-8 and
// missing values, left and right aligned, on a table wider than the page.
TEST(RenderListing, CellsOfEveryKindAlignedInTheirColumns) {
  Table t{"T", "X.T", "T", {}, {}, {}};
  t.columns = {{"name", "name", kChar, "", 0, true, {}}, {"n", "n", kNum, "BEST8.", 0, true, {}}};
  t.rows = {{std::string(100, 'w'), 3.0},
            {std::string("a\tb\x1f"), Missing{'.'}},
            {std::string("\xff"), 2.5}};
  const vyn::output::Run run = {{"P", 0, {}, {{t, {}, {}, {}}}}};
  const std::string expected = "name" + std::string(100, ' ') + "n\n" + std::string(100, 'w') +
                               "    3\n" + "a\\tb\\x1f" + std::string(96, ' ') + ".\n" +
                               "\xEF\xBF\xBD" + std::string(101, ' ') + "2.5\n\n";
  EXPECT_EQ(renderListing(run), expected);
}

// A one-row table whose text takes more bytes than columns ("\xc3\xa9" is
// one column): the columns after it move on by the bytes beyond.
TEST(RenderListing, ARowOfMoreBytesThanColumns) {
  Table t{"T", "X.T", "T", {}, {}, {}};
  t.columns = {{"name", "name", kChar, "", 0, true, {}}, {"n", "n", kNum, "BEST8.", 0, true, {}}};
  t.rows = {{std::string("\xc3\xa9t\xc3\xa9"), 12.0}};
  const vyn::output::Run run = {{"P", 0, {}, {{t, {}, {}, {}}}}};
  const std::string in(36, ' ');
  EXPECT_EQ(renderListing(run), in + "name   n\n" + in + "\xc3\xa9t\xc3\xa9   12\n\n");
}

// A one-row table whose row stops short of its last column shows that
// column blank.
TEST(RenderListing, AOneRowTableShorterThanItsColumns) {
  Table t{"T", "X.T", "T", {}, {}, {}};
  t.columns = {{"a", "a", kNum, "BEST8.", 0, true, {}}, {"b", "b", kNum, "BEST8.", 0, true, {}}};
  t.rows = {{2.0}};
  const vyn::output::Run run = {{"P", 0, {}, {{t, {}, {}, {}}}}};
  const std::string in(38, ' ');
  EXPECT_EQ(renderListing(run), in + "a  b\n" + in + "2\n\n");
}

// A number in a column of text stands to the left, in a one-row table as in
// one of more rows.
TEST(RenderListing, ANumberInATextColumnStandsLeft) {
  Table t{"T", "X.T", "T", {}, {}, {}};
  t.columns = {{"code", "code", kChar, "BEST8.", 0, true, {}},
               {"x", "x", kNum, "8.2", 0, true, {}}};
  const std::string in(35, ' ');
  const std::string one = in + "code     x\n" + in + "7     2.50\n";
  for (size_t rows = 1; rows <= 2; ++rows) {
    t.rows.assign(rows, {7.0, 2.5});
    const vyn::output::Run run = {{"P", 0, {}, {{t, {}, {}, {}}}}};
    std::string expected = one;
    if (rows == 2) expected += in + "7     2.50\n";
    EXPECT_EQ(renderListing(run), expected + "\n") << rows;
  }
}

// A BY line is due where the line would read differently: values that differ
// only as bytes and show alike ("a<TAB>b" shows as "a\tb") make no new one.
// The values of two BY variables stand apart.
TEST(RenderListing, ANewByLineWhereTheLineReadsDifferently) {
  StepRecord step{"P", 0, {}, {}};
  const char *values[] = {"a\tb", "a\\tb", "b"};
  for (const char *v : values) step.output.push_back({Note{"N", v}, {"T"}, {}, {{"s", v, v}}});
  step.output.push_back({Note{"N", "c"}, {"T"}, {}, {{"s", "b", "b"}, {"t", "1", "1"}}});
  const std::string expected = centred("T") + "\n" + centred("----- s=a\\tb -----") + "\n" +
                               "a\tb\n\n" + "a\\tb\n\n" + centred("----- s=b -----") + "\n" +
                               "b\n\n" + centred("----- s=b t=1 -----") + "\n" + "c\n\n";
  EXPECT_EQ(renderListing({step}), expected);
}

// A BY line of one value is centred by its columns ("\xc3\xa9" is one), a
// name of more than 32 bytes whole in it; a line of 79 columns or more
// starts at the margin.
TEST(RenderListing, ByLinesCentredByTheirColumns) {
  const std::string name(40, 'n');
  const std::pair<ByValue, std::string> cases[] = {
      {{"st", "\xc3\xa9", "\xc3\xa9"}, std::string(32, ' ') + "----- st=\xc3\xa9 -----"},
      {{name, "1", "1"}, std::string(13, ' ') + "----- " + name + "=1 -----"},
      {{name, "v", std::string(25, 'v')}, " ----- " + name + "=" + std::string(25, 'v') + " -----"},
      {{name, "v", std::string(26, 'v')}, "----- " + name + "=" + std::string(26, 'v') + " -----"},
      {{name, "v", std::string(30, 'v')}, "----- " + name + "=" + std::string(30, 'v') + " -----"},
  };
  for (const auto &[by, line] : cases) {
    const StepRecord step{"P", 0, {}, {{Note{"N", "x"}, {}, {}, {by}}}};
    EXPECT_EQ(renderListing({step}), line + "\n\nx\n\n") << line;
  }
}

// Items of one place: under a title nothing comes before the second; without
// titles each repeats its BY line.
TEST(RenderListing, ItemsOfOnePlaceRepeatTheByLineOnlyWithoutTitles) {
  const std::string by = centred("----- s=a -----") + "\n";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"T"}, centred("T") + "\n" + by + "x\n\n" + "y\n\n"},
      {{}, by + "x\n\n" + by + "y\n\n"},
  };
  for (const auto &[titles, expected] : cases) {
    StepRecord step{"P", 0, {}, {}};
    for (const char *text : {"x", "y"}) {
      step.output.push_back({Note{"N", text}, titles, {}, {{"s", "a", "a"}}, 7});
    }
    EXPECT_EQ(renderListing({step}), expected);
  }
}

// BY groups whose values and group headings have as many bytes as the ones
// before them, more headings than the listing keeps lines of: each heading
// and BY line comes where it changes, and only there.
TEST(RenderListing, HeadingsAndByValuesOfOneLengthInTurn) {
  StepRecord step{"P", 0, {}, {}};
  std::string expected = centred("T") + "\n";
  int serial = 0;
  for (const char *by : {"10", "11"}) {
    expected += centred(std::string("----- b=") + by + " -----") + "\n";
    for (int v = 1; v <= 9; ++v) {
      const std::string name = "y" + std::to_string(v), label = "Variable: " + name;
      ++serial;
      const Item item{Note{"N", name}, {"T"}, {name, label, serial}, {{"b", by, by}}};
      step.output.push_back(item);
      step.output.back().place = static_cast<uint64_t>(serial);
      expected += centred(label) + "\n" + name + "\n\n";
    }
  }
  EXPECT_EQ(renderListing({step}), expected);
}

// BY values with control bytes at either end of texts of every length the
// look in words takes apart, and bytes about the control ones that show as
// they are.
TEST(Layout, ByValuesShowTheirControlBytes) {
  const std::pair<std::string, std::string> cases[] = {
      {"abcd\x1f", "abcd\\x1f"},
      {"\x7f"
       "bcdefgh",
       "\\x7fbcdefgh"},
      {"abcdefgh\tz", "abcdefgh\\tz"},
      {"abcdefghijklmnop\n", "abcdefghijklmnop\\n"},
      {"\rbcdefghijklmnopq", "\\rbcdefghijklmnopq"},
      {" ~\x80\xff\xc3\xa9xyz", " ~\x80\xff\xc3\xa9xyz"},
      {"abcdefghijklmnopq", "abcdefghijklmnopq"},
  };
  for (const auto &[value, shown] : cases) {
    EXPECT_EQ(byText({{"v", value, value}}, " "), "v=" + shown) << shown;
  }
}

TEST(RenderHtml, TablesContentsAndEscapes) {
  const std::string html = renderHtml(smallRun());
  const std::pair<const char *, bool> parts[] = {
      {"<tr><th rowspan=\"2\" class=\"n\">Mean</th><th colspan=\"2\" class=\"span\">95% CL "
       "Mean</th></tr>\n<tr><th class=\"n\">Lower</th>",
       true},
      {"<th class=\"n\">Pr &gt; |t|</th>", true},
      {"<li>site=A\n<ul>\n<li>Variable: y\n<ul>\n<li><a href=\"#s1i1\">", true},
      {"id=\"s1i2\"", true},
      {"<td class=\"n\">-Inf</td>", true},
      {"ERROR: Expected one of: ;", true},
      {"\">The FREQ variable is &lt;f&amp;g&gt; &quot;x&quot;.</p>", true},
      {"Std Dev", false},  // a hidden column
      {"<f&g>", false},
  };
  for (const auto &[part, present] : parts)
    EXPECT_EQ(html.find(part) != std::string::npos, present) << part;
}

TEST(Formats, NumbersInTheirDisplayFormats) {
  const struct {
    double value;
    const char *format, *expected;
  } cases[] = {
      {1.0 / 3, "BEST8.", "0.333333"},   {10, "BEST8.", "10"},
      {17.776543, "BEST6.", "17.777"},   {1e-10, "BEST8.", "1e-10"},
      {5.5, "12.4", "5.5000"},           {-0.00001, "12.4", "0.0000"},
      {123456789.5, "8.2", "1.23e+08"},  {0.00005, "PVALUE6.4", "<.0001"},
      {0.0001, "PVALUE6.4", "0.0001"},   {0.00009999, "PVALUE6.4", "<.0001"},
      {0.04321, "PVALUE", "0.0432"},     {0.004, "PVALUE5.2", "<.01"},
      {0.01, "PVALUE5.2", "0.01"},       {2.5, "NOSUCH", "2.5"},
      {-12345678, "BEST8.", "-1.2e+07"}, {1e15, "BEST16.", "1e+15"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(formatNumber(c.value, c.format), c.expected) << c.value << " " << c.format;
  // more decimals than the 64 bytes a number takes otherwise
  EXPECT_EQ(formatNumber(1e-200, "PVALUE.120"), "<." + std::string(119, '0') + "1");
  EXPECT_EQ(missingText('_'), "");
  EXPECT_EQ(missingText('B'), "B");
}

// One string written over cell after cell, longer and shorter texts in turn,
// as a column's cells are laid out group after group.
TEST(Formats, CellTextsWrittenOverTheOneBefore) {
  const struct {
    Cell cell;
    const char *format, *expected;
  } cases[] = {
      {-1234.5678, "12.2", "-1234.57"},
      {0.5, "12.4", "0.5000"},
      {-0.00004, "12.4", "0.0000"},
      {0.00001, "PVALUE6.4", "<.0001"},
      {0.04321, "PVALUE6.4", "0.0432"},
      {123456789.5, "8.2", "1.23e+08"},
      {42LL, "12.4", "42"},
      {-7LL, "BEST8.", "-7"},
      {Missing{'.'}, "12.4", "."},
      {Missing{'_'}, "12.4", ""},
      {std::string("a\xff"), "", "a\xEF\xBF\xBD"},
      {2.0, "BEST8.", "2"},
      {-42.0, "BEST8.", "-42"},
      {100.0, "BEST8.", "100"},
  };
  std::string text = "a text longer than any of the cells";
  for (const auto &c : cases) {
    cellTextInto(c.cell, numberFormat(c.format), text);
    EXPECT_EQ(text, c.expected) << c.format;
  }
}

// Fixed decimals against printf's "%.*f" over magnitudes, binary ties (such as
// 0.125 to two decimals), values nearest a half of the fourth decimal, and
// their neighbours, of both signs; a value that rounds to zero loses its sign.
TEST(Formats, FixedDecimalsAsPrintfHasThem) {
  std::mt19937_64 rng(11);
  std::vector<double> values = {0.0, 2.5, 0.125, 1.0005, 9.5e-5, 1e15, 0x1p53 / 1e4, 1e300};
  for (int k = 0; k < 3000; ++k) {
    const double tie = static_cast<double>(rng() % 100000) / static_cast<double>(2 << (rng() % 12));
    const double wide =
        std::ldexp(static_cast<double>(rng() >> 11), -70 + static_cast<int>(rng() % 70));
    const double half = (static_cast<double>(rng() % 1000000) + 0.5) / 1e4;
    values.insert(values.end(), {tie, std::nextafter(tie, 0.0), std::nextafter(tie, 1e9), wide,
                                 half, std::nextafter(half, 0.0), std::nextafter(half, 1e9)});
  }
  char text[400];
  for (const double v : values) {
    for (const double signed_v : {v, -v}) {
      for (int d = 0; d <= 10; ++d) {
        std::snprintf(text, sizeof text, "%.*f", d, signed_v);
        std::string expected = text;
        if (expected.find_first_not_of("-0.") == std::string::npos && expected[0] == '-')
          expected.erase(0, 1);
        if (expected.size() > 60) continue;
        ASSERT_EQ(formatNumber(signed_v, "60." + std::to_string(d)), expected)
            << signed_v << " " << d;
      }
    }
  }
}

// Fixed decimals at the edges of their exact integer rounding, the texts from Python's decimal
// module (the exact binary value rounded half to even; tests/output/fixed_decimals.py prints
// them): binary ties, values just off a tie, carries into a new digit, the eight-digit and
// eight-decimal limits, the magnitudes 2^-11 and 2^37 where the integer way begins and ends, a
// value whose product with 10^8 would pass 2^64, zero of either sign, text too wide (BEST, by
// hand), and two or four decimals about the one and two whole digits written in pairs, four
// in the least width that takes every number below 100 and in one less.
TEST(Formats, FixedDecimalsAtTheEdgesOfExactRounding) {
  const struct {
    double value;
    const char *format, *expected;
  } cases[] = {
      {0.125, "20.2", "0.12"},
      {0.375, "20.2", "0.38"},
      {2.5, "20.0", "2"},
      {3.5, "20.0", "4"},
      {-0.5, "20.0", "0"},
      {-7.25, "20.1", "-7.2"},
      {-7.35, "20.1", "-7.3"},
      {0.45, "20.1", "0.5"},
      {1.0005, "20.3", "1.000"},
      {2.675, "20.2", "2.67"},
      {0.0005, "20.3", "0.001"},
      {99.995, "20.2", "100.00"},
      {0.99995, "20.4", "1.0000"},
      {9999999.95, "20.1", "9999999.9"},
      {1.23456785, "20.7", "1.2345678"},
      {0.123456785, "20.8", "0.12345678"},
      {0.5e-8, "20.8", "0.00000001"},
      {12345.6789, "20.4", "12345.6789"},
      {99999999.5, "20.0", "100000000"},
      {137438953471.5, "20.0", "137438953472"},
      {0x1.fffffffffffffp36, "20.0", "137438953472"},
      {137438953472.5, "20.0", "137438953472"},
      {0x1p-11, "20.4", "0.0005"},
      {0x1p-11, "20.8", "0.00048828"},
      {0x1.fffffffffffffp-12, "20.4", "0.0005"},
      {-0x1p-12, "20.3", "0.000"},
      {-0.0, "20.2", "0.00"},
      {-0.005, "20.2", "-0.01"},
      {5e-324, "20.8", "0.00000000"},
      {1e10, "25.8", "10000000000.00000000"},
      {184517440737.1, "25.8", "184517440737.10000610"},
      {0.1, "20.9", "0.100000000"},
      {12345.678, "6.2", "12346"},
      {99.99995, "20.4", "99.9999"},
      {100.0, "20.4", "100.0000"},
      {9.99995, "20.4", "10.0000"},
      {0.0001, "20.4", "0.0001"},
      {-0.00005, "20.4", "-0.0001"},
      {99.99, "20.2", "99.99"},
      {9.995, "20.2", "9.99"},
      {-12.5, "20.2", "-12.50"},
      {-99.9999, "8.4", "-99.9999"},
      {-99.9999, "7.4", "-100"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(formatNumber(c.value, c.format), c.expected) << c.value << " " << c.format;
}

// Laid-out cells of every kind in turn, numbers of the common fixed-decimal
// kind between cells of other kinds and a short row, over enough rows that
// the buffer grows mid-table; then a table of one row written over them.
// Texts by hand from printf's "%.*f" and "%.*g".
TEST(Layout, CellsOfEveryKindInTurnAndTheirWidths) {
  Table t{"T", "X.T", "T", {}, {}, {}};
  t.columns = {{"name", "name", kChar, "", 0, true, {}},
               {"a", "a", kNum, "8.2", 0, true, {}},
               {"p", "p", kNum, "PVALUE6.4", 0, true, {}},
               {"b", "b", kNum, "BEST8.", 0, true, {}},
               {"k", "k", kNum, "6.1", 0, true, {}}};
  const std::vector<Cell> kinds[] = {
      {std::string("x"), 1.005, 0.00002, 2.5, 12.25},
      {std::string("a\tb"), 123456789.5, 0.04321, 42LL, Missing{'.'}},
      {std::string("y"), -0.004},
      {std::string(), -7.25, 1.0, -0.5, 99999.95},
  };
  const std::vector<std::string> texts[] = {
      {"x", "1.00", "<.0001", "2.5", "12.2"},
      {"a\\tb", "1.23e+08", "0.0432", "42", "."},
      {"y", "0.00", "", "", ""},
      {"", "-7.25", "1.0000", "-0.5", "1e+05"},
  };
  constexpr size_t kRows = 400;
  for (size_t r = 0; r < kRows; ++r) t.rows.push_back(kinds[r % 4]);
  LayoutCache cache;
  const TableLayout &all = cache.layout(t);
  ASSERT_EQ(all.rows, kRows);
  for (size_t r = 0; r < kRows; ++r) {
    for (size_t k = 0; k < 5; ++k) ASSERT_EQ(all.cells.text(5 * r + k), texts[r % 4][k]) << r;
  }
  EXPECT_EQ(all.cellWidths, (std::vector<size_t>{4, 8, 6, 4, 5}));
  t.rows = {kinds[3]};
  const TableLayout &one = cache.layout(t);
  for (size_t k = 0; k < 5; ++k) EXPECT_EQ(one.cells.text(k), texts[3][k]);
  EXPECT_EQ(one.cellWidths, (std::vector<size_t>{4, 5, 6, 4, 5}));
}

TEST(Templates, KnownPathsAndTheDefault) {
  const TableTemplate &conf = tableTemplate("Stat.Kravo.ConfLimits");
  ASSERT_FALSE(conf.spans.empty());
  EXPECT_EQ(conf.spans[0].attribute, "confmean");
  EXPECT_EQ(columnFormat(tableTemplate("Stat.Kravo.Kravos"), "Probt", "", true), "PVALUE6.4");
  const TableTemplate &other = tableTemplate("No.Such.Path");
  EXPECT_TRUE(other.spans.empty());
  EXPECT_EQ(columnFormat(other, "x", "", true), "BEST12.");
  EXPECT_EQ(columnFormat(other, "x", "PVALUE", true), "PVALUE");
  EXPECT_EQ(columnFormat(other, "x", "", false), "");
}

}  // namespace

// A title is centred by its code points, not its bytes: "Größe" is 5 columns
// in 7 bytes, (80 - 5) / 2 = 37 blanks before it.
TEST(RenderListing, ATitleCentredByItsCodePoints) {
  const std::string title = "Gr\u00f6\u00dfe";
  StepRecord step{"P", 0, {}, {}};
  step.output.push_back({Note{"N", "x"}, {title}, {}, {}});
  EXPECT_EQ(renderListing({step}), std::string(37, ' ') + title + "\n\nx\n\n");
}

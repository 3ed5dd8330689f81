// The three renderings of a small run: JSON per the output contract, the
// aligned listing, and the HTML page; number formats on their own.
#include "vyn/output/render.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "vyn/output/format.h"
#include "vyn/output/templates.h"

namespace {

using namespace vyn::output;

Column column(const char *name, const char *label, ColumnType type, const char *format,
              bool print = true) {
  Column c;
  c.name = name;
  c.label = label;
  c.type = type;
  c.format = format;
  c.print = print;
  return c;
}

const double kConf = 95 + 1.1102230246251565e-13;

Run smallRun() {
  Table conf{"ConfLimits",
             "Stat.Kravo.ConfLimits",
             "Confidence Limits",
             {{"confmean", kConf}, {"reqspace", 3LL}},
             {},
             {}};
  conf.columns = {column("Variable", "Variable", ColumnType::kChar, "", false),
                  column("Mean", "Mean", ColumnType::kNum, "12.4"),
                  column("LowerCLMean", "Lower CL Mean", ColumnType::kNum, "12.4"),
                  column("UpperCLMean", "Upper CL Mean", ColumnType::kNum, "12.4"),
                  column("StdDev", "Std Dev", ColumnType::kNum, "12.4", false)};
  conf.rows = {{std::string("y"), 5.5, 3.3341, 7.6659, 3.02}};
  Table t{"Kravos", "Stat.Kravo.Kravos", "T Tests", {}, {}, {}};
  t.columns = {column("tValue", "t Value", ColumnType::kNum, "8.2"),
               column("DF", "DF", ColumnType::kNum, "BEST8."),
               column("Probt", "", ColumnType::kNum, "PVALUE6.4")};
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
                 {Note{"KravoFreqNote", "The FREQ variable is f."}, titles, group, by}};
  return {step};
}

TEST(RenderJson, FollowsTheContract) {
  const std::string text = renderJson(smallRun());
  const auto doc = nlohmann::json::parse(text);
  EXPECT_EQ(doc["format"], "vyn-output/1");
  ASSERT_EQ(doc["steps"].size(), 1u);
  const auto &step = doc["steps"][0];
  EXPECT_EQ(step["proc"], "KRAVO");
  EXPECT_EQ(step["rc"], 4);
  EXPECT_EQ(step["log"][0], nlohmann::json::parse(R"({"level": "note", "group": 181,
            "number": 116, "text": "Zero values were found."})"));
  EXPECT_EQ(step["log"][1],
            nlohmann::json::parse(R"({"level": "error", "text": "Expected one of: ;"})"));
  ASSERT_EQ(step["output"].size(), 3u);
  const auto &conf = step["output"][0];
  EXPECT_EQ(conf["type"], "table");
  EXPECT_EQ(conf["name"], "ConfLimits");
  EXPECT_EQ(conf["path"], "Stat.Kravo.ConfLimits");
  EXPECT_EQ(conf["group"], nlohmann::json::parse(R"({"name": "y", "label": "Variable: y"})"));
  EXPECT_EQ(conf["by"],
            nlohmann::json::parse(R"([{"name": "site", "value": "A", "formatted": "A"}])"));
  EXPECT_EQ(conf["attributes"]["confmean"].get<double>(), kConf);
  EXPECT_EQ(conf["attributes"]["reqspace"], 3);
  EXPECT_EQ(conf["columns"][0]["type"], "char");
  EXPECT_FALSE(conf["columns"][0].contains("format"));
  EXPECT_EQ(conf["columns"][1]["format"], "12.4");
  EXPECT_EQ(conf["columns"][4]["print"], false);
  EXPECT_EQ(conf["rows"][0][0], "y");
  const auto &t = step["output"][1];
  EXPECT_EQ(t["rows"][1], nlohmann::json::parse(R"([".I", ".M", "._"])"));
  EXPECT_EQ(t["rows"][2][1], ".");
  EXPECT_EQ(t["rows"][0][1], 9);
  EXPECT_EQ(t["columns"][2]["attributes"]["ProbtHeader"], "Pr > |t|");
  EXPECT_EQ(step["output"][2]["type"], "note");
  // 17 significant digits (from printf "%.17g" in an independent tool)
  EXPECT_NE(text.find("95.000000000000114"), std::string::npos);
  EXPECT_NE(text.find("0.10000000000000001"), std::string::npos);
  EXPECT_NE(text.find("0.043200000000000002"), std::string::npos);
}

TEST(RenderJson, SpecialMissingLettersAndInfinities) {
  Table t{"T", "X.T", "T", {{"level", std::nan("")}}, {}, {}};
  t.columns = {column("a", "a", ColumnType::kNum, "")};
  t.rows = {{Missing{'Z'}}, {Missing{'.'}}};
  const auto doc = nlohmann::json::parse(renderJson({{"P", 0, {}, {{t, {}, {}, {}}}}}));
  const auto &out = doc["steps"][0]["output"][0];
  EXPECT_EQ(out["rows"], nlohmann::json::parse(R"([[".Z"], ["."]])"));
  EXPECT_EQ(out["attributes"]["level"], ".");
  EXPECT_EQ(out["by"], nlohmann::json::array());
}

std::string centred(const std::string &s) {
  return std::string((80 - s.size()) / 2, ' ') + s + "\n";
}

// Tables are centred on the 80-column page: 22 columns wide (indent 29), 23 (indent 28).
TEST(RenderListing, AlignsColumnsUnderTheirHeadersAndSpans) {
  const std::string a(29, ' '), b(28, ' ');
  const std::string expected = centred("The KRAVO Procedure") + "\n" +
                               centred("----- site=A -----") + "\n" + centred("Variable: y") +
                               "\n" +                               //
                               a + "         95% CL Mean\n" +       //
                               a + "  Mean   Lower   Upper\n" +     //
                               a + "5.5000  3.3341  7.6659\n\n" +   //
                               b + "t Value    DF  Pr > |t|\n" +    //
                               b + "   5.74     9    <.0001\n" +    //
                               b + "    Inf  -Inf\n" +              //
                               b + "   0.10     .    0.0432\n\n" +  //
                               "The FREQ variable is f.\n\n";
  EXPECT_EQ(renderListing(smallRun()), expected);
}

TEST(RenderListing, ANewByGroupRepeatsItsLineAndTheTitlesBelowTheFirst) {
  vyn::output::Run run = smallRun();
  run[0].output.resize(1);
  Item second = run[0].output[0];
  second.by = {{"site", "B", "B"}};
  run[0].output.push_back(second);
  const std::string listing = renderListing(run);
  const size_t b = listing.find("site=B");
  ASSERT_NE(b, std::string::npos);
  EXPECT_NE(listing.find("Variable: y", b), std::string::npos);
  EXPECT_EQ(listing.find("The KRAVO Procedure", b), std::string::npos);
}

TEST(RenderHtml, TablesContentsAndEscapes) {
  const std::string html = renderHtml(smallRun());
  EXPECT_NE(html.find("<tr><th rowspan=\"2\" class=\"n\">Mean</th><th colspan=\"2\" "
                      "class=\"span\">95% CL Mean</th></tr>\n<tr><th class=\"n\">Lower</th>"),
            std::string::npos);
  EXPECT_NE(html.find("<th class=\"n\">Pr &gt; |t|</th>"), std::string::npos);
  EXPECT_NE(html.find("<li>site=A\n<ul>\n<li>Variable: y\n<ul>\n<li><a href=\"#s1i1\">"),
            std::string::npos);
  EXPECT_NE(html.find("id=\"s1i2\""), std::string::npos);
  EXPECT_NE(html.find("<td class=\"n\">-Inf</td>"), std::string::npos);
  EXPECT_EQ(html.find("Std Dev"), std::string::npos);  // hidden column
  EXPECT_NE(html.find("ERROR: Expected one of: ;"), std::string::npos);
}

TEST(Formats, NumbersInTheirDisplayFormats) {
  EXPECT_EQ(formatNumber(1.0 / 3, "BEST8."), "0.333333");
  EXPECT_EQ(formatNumber(10, "BEST8."), "10");
  EXPECT_EQ(formatNumber(17.776543, "BEST6."), "17.777");
  EXPECT_EQ(formatNumber(1e-10, "BEST8."), "1e-10");
  EXPECT_EQ(formatNumber(5.5, "12.4"), "5.5000");
  EXPECT_EQ(formatNumber(-0.00001, "12.4"), "0.0000");
  EXPECT_EQ(formatNumber(123456789.5, "8.2"), "1.23e+08");
  EXPECT_EQ(formatNumber(0.00005, "PVALUE6.4"), "<.0001");
  EXPECT_EQ(formatNumber(0.0001, "PVALUE6.4"), "0.0001");
  EXPECT_EQ(formatNumber(0.04321, "PVALUE"), "0.0432");
  EXPECT_EQ(formatNumber(0.004, "PVALUE5.2"), "<.01");
  EXPECT_EQ(formatNumber(2.5, "NOSUCH"), "2.5");
  EXPECT_EQ(missingText('_'), "");
  EXPECT_EQ(missingText('B'), "B");
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

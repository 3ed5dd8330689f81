// Which graphs each analysis draws, with their templates, data objects and
// dynamic variables, read from the JSON document and the emitted Graph items
// of whole programs.
// Expected values are the rules of the graphs or derived by hand from
// data/lab.csv (Weight: minimum 50, maximum 70).
#include "vyn/output/render.h"

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/program/harness.h"

namespace {

using vyn::output::Graph;
using vyn::output::Item;

// The graphs of a program's steps; `workLimit` bounds one block of the work pool.
std::vector<Item> graphItems(const std::string &text,
                             std::vector<vyn::output::StepRecord> *steps = nullptr,
                             size_t workLimit = 0) {
  vyn::Host host;
  host.useLinkedModule(&mcn_main);
  if (workLimit > 0) host.connection().workPool().setLimit(workLimit);
  vyn::RunOptions options;
  options.dataDir = GRAPHS_DATA;
  options.graphics = true;
  const vyn::output::Run run = vyn::runProgram(vyn::readProgram(text), host, options);
  if (steps != nullptr) *steps = run;
  std::vector<Item> found;
  for (const auto &step : run)
    for (const Item &item : step.output)
      if (std::holds_alternative<Graph>(item.content)) found.push_back(item);
  return found;
}

// "name template-without-path data,objects,[@group]" per graph, in order,
// read from the JSON document of the run.
std::vector<std::string> describe(const std::string &text, bool withGroup) {
  std::vector<vyn::output::StepRecord> steps;
  graphItems(text, &steps);
  std::vector<std::string> out;
  const auto document = nlohmann::json::parse(vyn::output::renderJson(steps));
  for (const auto &step : document["steps"]) {
    for (const auto &item : step["output"]) {
      if (item["type"] != "graph") continue;
      const std::string path = item["template"];
      std::string s =
          item["name"].get<std::string>() + " " + path.substr(path.rfind('.') + 1) + " ";
      for (const auto &d : item["data"]) s += d.get<std::string>() + ",";
      if (withGroup) s += "@" + item["group"].value("name", std::string());
      out.push_back(s);
    }
  }
  return out;
}

TEST(GraphRender, GraphsOfEachRequest) {
  const struct {
    const char *program;
    std::vector<std::string> graphs;
  } cases[] = {
      {"; var Weight;",
       {"SummaryPanel Summary1 GraphData1Sample,GraphDataStats,", "QQPlot QQ1 GraphData1Sample,"}},
      {"plots=all; var Weight;",
       {"SummaryPanel Summary1 GraphData1Sample,GraphDataStats,",
        "Histogram HistDens1 GraphData1Sample,", "BoxPlot Box1 GraphData1Sample,GraphDataStats,",
        "Interval Interval GraphDataStats,", "QQPlot QQ1 GraphData1Sample,"}},
      {"plots=none; var Weight;", {}},
      {"; paired a*b;",
       {"SummaryPanel Summary1 GraphDataPairedPaired,GraphDataStats,",
        "ProfilesPlot ProfilesP GraphDataPairedStacked,",
        "AgreementPlot AgreementP GraphDataPairedPaired,", "QQPlot QQ1 GraphDataPairedPaired,"}},
      {"plots(only)=(box interval); paired a*b;",
       {"BoxPlot Box1 GraphDataPairedPaired,GraphDataStats,", "Interval Interval GraphDataStats,"}},
      {"plots=all; class g; var Weight;",
       {"SummaryPanel Summary2 "
        "GraphData2SampleClass1,GraphData2SampleClass2,GraphData2SampleStacked,",
        "Histogram HistDens2 GraphData2SampleClass1,GraphData2SampleClass2,",
        "BoxPlot Box2 GraphData2SampleStacked,", "Interval Interval GraphDataStats,",
        "QQPlot QQ2 GraphData2SampleClass1,GraphData2SampleClass2,"}},
      // Z has no observation in class B: no summary panel for it
      {"; class g; var Y Z;",
       {"SummaryPanel Summary2 "
        "GraphData2SampleClass1,GraphData2SampleClass2,GraphData2SampleStacked,",
        "QQPlot QQ2 GraphData2SampleClass1,GraphData2SampleClass2,",
        "QQPlot QQ2 GraphData2SampleClass1,GraphData2SampleClass2,"}},
      {"plots(only)=interval(type=pergroup); class g; var Weight;",
       {"Interval Interval GraphDataStats,"}},
      {"; var a b / crossover=(p1 p2);",
       {"Histogram HistDensC GraphDataABBASeq1,GraphDataABBASeq2,",
        "BoxPlot BoxC GraphDataABBAStacked,",
        "ProfilesOverTrt ProfilesOverTreatmentC "
        "GraphDataABBAStacked,",
        "AgreementOfTreatments AgreementOfTreatments "
        "GraphDataABBASemistacked,",
        "QQPlot QQC GraphDataABBASeq1,GraphDataABBASeq2,"}},
      {"plots(only)=(interval(type=period) profiles(type=period) agreement(type=period)); "
       "var a b / crossover=(p1 p2);",
       {"Interval Interval GraphDataStats,",
        "ProfilesOverPrd ProfilesOverPeriodC "
        "GraphDataABBAStacked,",
        "AgreementOfPeriods AgreementOfPeriods "
        "GraphDataABBASemistacked,"}},
  };
  for (const auto &c : cases) {
    const std::string program = std::string("proc kravo data=lab ") + c.program + " run;";
    EXPECT_EQ(describe(program, false), c.graphs) << program;
  }
}

// SUMMARY(UNPACK) draws the histogram and box plot once, in a group of their
// own inside the variable's group, and the other graphs after it.
TEST(GraphRender, UnpackedSummaryIsAGroup) {
  const std::vector<std::string> perVariable = {
      "Histogram HistDens1 GraphData1Sample,@SummaryPanel",
      "BoxPlot Box1 GraphData1Sample,GraphDataStats,@SummaryPanel",
      "QQPlot QQ1 GraphData1Sample,@"};
  std::vector<std::string> expected;
  for (const char *var : {"Weight", "Q"})
    for (const std::string &s : perVariable) expected.push_back(s + (s.back() == '@' ? var : ""));
  EXPECT_EQ(
      describe("proc kravo data=lab plots=(summary(unpack) histogram); var Weight Q; run;", true),
      expected);
}

// A BY group without a usable observation draws nothing.
TEST(GraphRender, EmptyByGroupDrawsNothing) {
  const auto items = graphItems("proc kravo data=lab; by s; var Weight; run;");
  ASSERT_EQ(items.size(), 2u);
  for (const Item &item : items) EXPECT_EQ(item.by.at(0).value, "1");
}

// No memory for the graphs: a warning, the tables and no graph.
TEST(GraphRender, NoMemoryForGraphs) {
  std::vector<vyn::output::StepRecord> steps;
  const auto items = graphItems("proc kravo data=lab; var Weight; run;", &steps, 1500);
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_TRUE(items.empty());
  EXPECT_EQ(harness::messages(steps[0], vyn::LogLevel::kWarning), std::vector<int>{832});
  EXPECT_EQ(steps[0].rc, 4);
  EXPECT_EQ(harness::tableNames(steps[0]),
            (std::vector<std::string>{"Statistics", "ConfLimits", "Kravos"}));
}

std::string show(const vyn::output::DynamicValue &v) {
  if (const auto *s = std::get_if<std::string>(&v)) return "'" + *s + "'";
  return std::to_string(std::get<double>(v));
}

TEST(GraphRender, DynamicVariables) {
  const std::string kAbsent = "absent";
  const struct {
    const char *program;  // after "proc kravo data=lab "
    const char *graph;
    const char *name;
    std::string value;  // quoted text, a number as std::to_string gives it, or absent
  } cases[] = {
      {"; var Weight;", "SummaryPanel", "_XLAB", "'Weight'"},
      {"; var Weight;", "SummaryPanel", "_SHORTXLAB", "'Weight'"},
      {"; var Y;", "SummaryPanel", "_XLAB", "'Yield of every plot in kilograms per row'"},
      {"; var Y;", "SummaryPanel", "_SHORTXLAB", "'Y'"},
      {"; var Q;", "SummaryPanel", "_XLAB", "'q'"},
      {"; var Q;", "SummaryPanel", "_SHORTXLAB", "'q'"},
      {"; var Weight;", "SummaryPanel", "_CONFIDENCE", "'95      '"},
      {"; var Weight;", "SummaryPanel", "_CONFLAB", "'95% Confidence'"},
      {"; var Weight;", "SummaryPanel", "_TITLE", "'Summary Panel'"},
      {"; var Weight;", "SummaryPanel", "_LCL", "'CIBandLCL1'"},
      {"; var Weight;", "SummaryPanel", "_TOST", kAbsent},
      {"; var Q Weight;", "QQPlot", "_Y", "'Y2'"},
      {"tost(50, 70); var Weight;", "SummaryPanel", "_CONFIDENCE", "'90      '"},
      {"tost(50, 70); var Weight;", "SummaryPanel", "_LEQB", "'LEB'"},
      {"tost(50, 70); var Weight;", "SummaryPanel", "_TOST", "'y'"},
      {"sides=l; var Weight;", "SummaryPanel", "_LCL", std::to_string(40.0)},
      {"sides=l; var Weight;", "SummaryPanel", "_VIEWMIN", std::to_string(46.0)},
      {"sides=l; var Weight;", "SummaryPanel", "_UCL", "'CIBandUCL1'"},
      {"sides=l; var Weight;", "SummaryPanel", "_ISLOWER", "'y'"},
      {"sides=l tost(50, 70); var Weight;", "SummaryPanel", "_LCL", "'CIBandLCL1'"},
      {"sides=l tost(50, 70); var Weight;", "SummaryPanel", "_VIEWMIN", kAbsent},
      {"sides=u plots=box; var Weight;", "BoxPlot", "_UCL", std::to_string(80.0)},
      {"sides=u plots=box; var Weight;", "BoxPlot", "_VIEWMAX", std::to_string(74.0)},
      {"dist=lognormal; var Weight;", "QQPlot", "_VARNAME", "'log(Weight)'"},
      {"dist=lognormal; var Weight;", "QQPlot", "_YLAB", "'log(Weight)'"},
      {"dist=lognormal; var Weight;", "QQPlot", "_SHORTYLAB", "'log(Weight)'"},
      {"dist=lognormal; var Weight;", "QQPlot", "_LOGNORMAL", "'y'"},
      {"; var Weight;", "QQPlot", "_YLAB", "'Weight'"},
      {"plots(showh0)=interval; var Weight;", "Interval", "_H01", "'H0'"},
      {"plots=interval; var Weight;", "Interval", "_MEAN1", "'CIMainMean1'"},
      {"plots=interval; var Weight;", "Interval", "_IS2SIDED1", "'y'"},
      {"sides=u plots=interval; var Weight;", "Interval", "_ISUPPER1", "'y'"},
      {"tost(50, 70) plots=interval; var Weight;", "Interval", "_UCL2", "'UEB'"},
      {"tost(50, 70) plots=interval; var Weight;", "Interval", "_ISEQB2", "'y'"},
      {"dist=lognormal; paired a*b;", "QQPlot", "_VARNAME", "'log(a / b)'"},
      {"dist=lognormal; paired a*b;", "QQPlot", "_YLAB", "'log(Ratio)'"},
      {"; paired a*b;", "SummaryPanel", "_VARNAME", "'a - b'"},
      {"; paired a*b;", "SummaryPanel", "_Y", "'Ydif1'"},
      {"; paired a*b;", "SummaryPanel", "_PAIRED", "'y'"},
      {"; paired a*b;", "AgreementPlot", "_LAB2", "'After'"},
      {"; paired a*b;", "AgreementPlot", "_SHORTLAB2", "'b'"},
      {"test=ratio; paired a*b;", "SummaryPanel", "_Y", "'Yratio1'"},
      {"; class g; var Y;", "SummaryPanel", "_CLASS2", "'B'"},
      {"; class g; var Y;", "SummaryPanel", "_CLASSNAME", "'g'"},
      {"; class g; var Y;", "QQPlot", "_OBSVAR2", "'ObservationClass2NoMiss'"},
      {"plots=interval; class g; var Y;", "Interval", "_LABEL2", "'CISattLabel'"},
      {"plots=interval; class g; var Y;", "Interval", "_VARNAME", "'Difference of Y (A - B)'"},
      {"tost(-1, 1) plots=interval(type=pergroup); class g; var Y;", "Interval", "_CONFIDENCE",
       "'95      '"},
      {"tost(-1, 1) plots=interval(type=pergroup); class g; var Y;", "Interval", "_UCL3", kAbsent},
      {"plots=interval; var a b / crossover=(p1 p2);", "Interval", "_MEAN2", "'CITrtSattMean1'"},
      {"plots=interval; var a b / crossover=(p1 p2);", "Interval", "_XLAB",
       "'Treatment Difference'"},
      {"tost(-1, 1) plots=interval; var a b / crossover=(p1 p2) ignoreperiod;", "Interval",
       "_VARNAME", "'Treatment Difference of a, b (R - T)'"},
      {"tost(-1, 1) plots=interval; var a b / crossover=(p1 p2) ignoreperiod;", "Interval",
       "_MEAN1", "'CITrtTestMean1'"},
      {"tost(-1, 1) plots=interval; var a b / crossover=(p1 p2) ignoreperiod;", "Interval",
       "_ISEQB2", "'y'"},
      {"tost(-1, 1) plots=interval(type=pergroup); var a b / crossover=(p1 p2);", "Interval",
       "_CONFIDENCE", "'95      '"},
      {"plots=interval(type=pergroup); var a b / crossover=(p1 p2);", "Interval", "_LABEL4",
       "'CITrtBPrd2Label'"},
      {"plots=interval(type=period); var a b / crossover=(p1 p2);", "Interval", "_XLAB",
       "'Period Difference'"},
      {"dist=lognormal; var a b / crossover=(p1 p2);", "QQPlot", "_YLAB1", "'log(Before)'"},
      {"dist=lognormal; var a b / crossover=(p1 p2);", "QQPlot", "_SHORTYLAB1", "'log(a)'"},
      {"; var a b / crossover=(p1 p2);", "Histogram", "_TRTB", "'T'"},
      {"; var a b / crossover=(p1 p2);", "BoxPlot", "_TRTPRDLABEL", "'Treatment, Period'"},
  };
  for (const auto &c : cases) {
    const std::string program = std::string("proc kravo data=lab ") + c.program + " run;";
    std::string found = "no graph";
    for (const Item &item : graphItems(program)) {
      const Graph &g = std::get<Graph>(item.content);
      if (g.name != c.graph) continue;
      found = kAbsent;  // the last graph of that name: the last analysis
      for (const auto &[name, value] : g.dynamics)
        if (name == c.name) found = show(value);
    }
    EXPECT_EQ(found, c.value) << program << " " << c.graph << " " << c.name;
  }
}

}  // namespace

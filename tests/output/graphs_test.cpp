// Graphs in every rendering; SVG files of --graphs-dir written or refused.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <tuple>

#include "vyn/cli/run.h"
#include "vyn/output/render.h"

namespace {

using namespace vyn::output;
using nlohmann::json;

Item graphItem(const std::string &name, const std::string &title) {
  Graph g{name, "G." + name, title, "Contents " + title, "Label", {}, {nullptr, nullptr, nullptr}};
  g.data[1] = std::make_shared<const DataObject>(DataObject{"Stats", "", {}});
  g.dynamics = {{"_Y", std::string("Y1 ")}, {"_A", 0.05}};
  return {g, {}, {"y", "Variable: y", 1}, {}};
}

StepRecord step(std::vector<Item> items) {
  return {"KRAVO", 0, {}, std::move(items)};
}

// Step 1: a note, two graphs of one name and one whose name is no file name.
const Item kNote{Note{"N", "A note."}, {}, {"y", "Variable: y", 1}, {}};
const vyn::output::Run kRun{
    step({kNote, graphItem("Panel", "A"), graphItem("Panel", "B"), graphItem("../a b", "C")}),
    step({graphItem("Panel", "D")})};

TEST(Graphs, RenderedWrittenOrRefused) {
  const auto files = graphFiles(kRun, "g/");
  const std::vector<Item> elevenA(11, graphItem("A", ""));  // "A" + 11 meets "A1" + 1
  EXPECT_EQ(graphFiles({step(elevenA), step({graphItem("A1", "")})}, "")[1][0], "A12.svg");

  const std::string html = renderHtml(kRun);
  size_t at = 0;
  for (const char *part :
       {"<a href=\"#s1i2\">Contents A</a>", "<figure class=\"graph\" id=\"s1i2\">\n<svg",
        "<figcaption>Label</figcaption>", "<title>B</title>", "<title>D</title>"})
    ASSERT_NE(at = html.find(part, at), std::string::npos) << part;

  const json graph = json::parse(renderJson(kRun, {files, true}))["steps"][1]["output"][1];
  EXPECT_EQ(graph, json::parse(R"({"type": "graph", "name": "Panel", "template": "G.Panel",
      "label": "Label", "title": "D", "dynamics": {"_Y": "Y1 ", "_A": 0.05},
      "data": ["Stats"], "file": "g/Panel3.svg", "by": [],
      "group": {"name": "y", "label": "Variable: y"}})"));
  EXPECT_FALSE(json::parse(renderJson(kRun))["steps"][1]["output"][1].contains("file"));

  const std::pair<GraphPlaces, const char *> lines[] = {
      {{files, true}, "\nGraph Panel: g/Panel2.svg\n\nGraph ../a b: g/___a_b1.svg\n"},
      {{{}, true}, "\nGraph Panel: in the HTML report\n"},
      {{}, "\nGraph Panel: not drawn (no HTML report or graphs folder)\n"}};
  for (const auto &[places, line] : lines)
    EXPECT_NE(renderListing(kRun, places).find(line), std::string::npos) << line;

  // folder, report, input (in a fresh folder with "f"); writing status or -1: refused early
  const std::tuple<const char *, const char *, const char *, int> cases[] = {
      {"new/sub", "r.html", "f", 0},
      {"f", "", "f", -1},
      {"r.html", "r.html", "f", -1},
      {".", "", "Panel2.svg", vyn::kExitRefused},
      {".", "Panel1.svg", "f", vyn::kExitRefused},
  };
  for (const auto &[sub, report, input, status] : cases) {
    std::string dir = (std::filesystem::temp_directory_path() / "vyn-graphs-XXXXXX").string();
    ASSERT_NE(::mkdtemp(dir.data()), nullptr);
    std::ofstream(dir + "/f") << "input";
    const vyn::RunOptions options{
        dir, "", dir + "/log", *report ? dir + "/" + report : "", "", dir + "/" + sub};
    vyn::Log problems;
    EXPECT_EQ(vyn::checkOutputPaths(options, "", problems), status >= 0) << sub;
    EXPECT_EQ(status < 0 ? status : writeOutputs(kRun, {}, options, {dir + "/" + input}, problems),
              status);
    EXPECT_EQ(std::filesystem::exists(options.graphsDir + "/Panel3.svg"), status == 0) << sub;
    std::filesystem::remove_all(dir);
  }
}

}  // namespace

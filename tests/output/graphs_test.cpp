// Graphs in every rendering; SVG files of --graphs-dir written or refused.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>

#include "vyn/cli/run.h"
#include "vyn/output/render.h"

namespace {

using namespace vyn::output;
using nlohmann::json;

Item graphItem(const std::string &name, const std::string &title) {
  auto stats = std::make_shared<const DataObject>(DataObject{"Stats", "", {}});
  Graph g{name, "G." + name, title, "Contents " + title, "Label", {}, {stats, nullptr}};
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

TEST(GraphRenderings, HtmlJsonListingAndFileNames) {
  const auto files = graphFiles(kRun, "g/");
  StepRecord many = step(std::vector<Item>(11, graphItem("A", "")));
  many.output.push_back(graphItem("A1", ""));  // "A" + 11 and "A1" + 1 meet
  const auto names = graphFiles({many}, ".")[0];
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 12u);

  const std::string html = renderHtml(kRun);
  size_t at = 0;
  for (const char *part :
       {"<a href=\"#s1i2\">Contents A</a>", "<figure class=\"graph\" id=\"s1i2\">\n<svg",
        "<title>A</title>", "<figcaption>Label</figcaption>", "<title>B</title>",
        "<title>C</title>", "<title>D</title>"})
    ASSERT_NE(at = html.find(part, at), std::string::npos) << part;

  const json graph = json::parse(renderJson(kRun, {files, true}))["steps"][1]["output"][0];
  EXPECT_EQ(graph, json::parse(R"({"type": "graph", "name": "Panel", "template": "G.Panel",
      "label": "Label", "title": "D", "dynamics": {"_Y": "Y1 ", "_A": 0.05},
      "data": ["Stats", null], "file": "g/Panel3.svg", "by": [],
      "group": {"name": "y", "label": "Variable: y"}})"));
  EXPECT_FALSE(json::parse(renderJson(kRun))["steps"][1]["output"][0].contains("file"));

  const std::pair<GraphPlaces, const char *> lines[] = {
      {{files, true},
       "A note.\n\nGraph Panel: g/Panel1.svg\n\nGraph Panel: g/Panel2.svg\n\nGraph ../a b: "
       "g/___a_b1.svg\n"},
      {{{}, true}, "\nGraph Panel: in the HTML report\n"},
      {{}, "\nGraph Panel: not drawn (no HTML report or graphs folder)\n"}};
  for (const auto &[places, line] : lines)
    EXPECT_NE(renderListing(kRun, places).find(line), std::string::npos) << line;
}

TEST(GraphFiles, WrittenOneByGraphOrRefused) {
  const struct {
    const char *dir, *html, *input;  // in a fresh folder that holds the file "f"
    int status;                      // of the writing; -1: refused before the steps
  } cases[] = {
      {"new/sub", "r.html", "f", 0},
      {"f", "", "f", -1},
      {"f/sub", "", "f", -1},
      {"r.html", "r.html", "f", -1},
      {".", "", "Panel2.svg", vyn::kExitRefused},
      {".", "Panel1.svg", "f", vyn::kExitRefused},
  };
  for (const auto &c : cases) {
    std::string dir = (std::filesystem::temp_directory_path() / "vyn-graphs-XXXXXX").string();
    ASSERT_NE(::mkdtemp(dir.data()), nullptr);
    std::ofstream(dir + "/f") << "input";
    const vyn::RunOptions options{
        dir, "", dir + "/log", *c.html ? dir + "/" + c.html : "", "", dir + "/" + c.dir};
    vyn::Log problems;
    EXPECT_EQ(vyn::checkOutputPaths(options, "", problems), c.status >= 0) << c.dir;
    if (c.status >= 0) {
      EXPECT_EQ(vyn::writeOutputs(kRun, {}, options, {dir + "/" + c.input}, problems), c.status);
    }
    EXPECT_EQ(std::filesystem::exists(options.graphsDir + "/Panel3.svg"), c.status == 0) << c.dir;
    std::filesystem::remove_all(dir);
  }
}

}  // namespace

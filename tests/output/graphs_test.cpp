// Graphs in every rendering: inline SVG in the HTML page in emission order,
// graph items of the JSON contract, the listing line, and the SVG files of
// --graphs-dir with the paths that are refused before and after the steps.
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
namespace fs = std::filesystem;

Item graphItem(const std::string &name, const std::string &title, const std::string &label) {
  auto stats = std::make_shared<const DataObject>(DataObject{"GraphDataStats", "", {}});
  Graph g{name, "Stat.Kravo.Graphics." + name, title, "Contents " + title, label, {}, {}};
  g.dynamics = {{"_Y", std::string("Y1")}, {"_CONFIDENCE", std::string("95      ")}, {"_A", 0.05}};
  g.data = {stats, nullptr, stats};
  return {g, {"The KRAVO Procedure"}, {"y", "Variable: y", 1}, {}};
}

// Step 1: a note, two graphs of one name and one whose name is no file name;
// step 2: a third graph of the first name.
Run graphRun() {
  StepRecord one{"KRAVO", 0, {}, {}}, two = one;
  one.output = {{Note{"N", "A note."}, {}, {"y", "Variable: y", 1}, {}},
                graphItem("SummaryPanel", "First", "Summary Panel"),
                graphItem("SummaryPanel", "Second", "SummaryPanel"),
                graphItem("../a b", "Third", "")};
  two.output = {graphItem("SummaryPanel", "Fourth", "Summary")};
  return {one, two};
}

TEST(GraphRenderings, HtmlJsonListingAndFileNames) {
  const vyn::output::Run run = graphRun();
  const auto files = graphFiles(run, "g/");
  EXPECT_EQ(files, (std::vector<std::vector<std::string>>{
                       {"", "g/SummaryPanel1.svg", "g/SummaryPanel2.svg", "g/___a_b1.svg"},
                       {"g/SummaryPanel3.svg"}}));
  // names ending in a digit meet the counts of others: "A1" + 1 and "A" + 11
  StepRecord many{"KRAVO", 0, {}, {graphItem("A1", "", "")}};
  for (int k = 0; k < 11; ++k) many.output.push_back(graphItem("A", "", ""));
  const auto manyFiles = graphFiles({many}, ".")[0];
  EXPECT_EQ(std::set<std::string>(manyFiles.begin(), manyFiles.end()).size(), manyFiles.size());

  const std::string html = renderHtml(run);
  size_t at = 0;
  for (const char *part :
       {"<li><a href=\"#s1i2\">Contents First</a>", "<figure class=\"graph\"",
        "<title>First</title>", "<figcaption>Summary Panel</figcaption>", "<title>Second</title>",
        "<title>Third</title>", "<title>Fourth</title>"}) {
    at = html.find(part, at);
    ASSERT_NE(at, std::string::npos) << part;
  }

  using nlohmann::json;
  const GraphPlaces places{files, true};
  const auto doc = json::parse(renderJson(run, places));
  const std::pair<const char *, json> expected[] = {
      {"/steps/0/output/1/type", "graph"},
      {"/steps/0/output/1/name", "SummaryPanel"},
      {"/steps/0/output/1/template", "Stat.Kravo.Graphics.SummaryPanel"},
      {"/steps/0/output/1/label", "Summary Panel"},
      {"/steps/0/output/1/title", "First"},
      {"/steps/0/output/1/group", {{"name", "y"}, {"label", "Variable: y"}}},
      {"/steps/0/output/1/by", json::array()},
      {"/steps/0/output/1/dynamics", {{"_Y", "Y1"}, {"_CONFIDENCE", "95      "}, {"_A", 0.05}}},
      {"/steps/0/output/1/data", {"GraphDataStats", nullptr, "GraphDataStats"}},
      {"/steps/0/output/1/file", "g/SummaryPanel1.svg"},
      {"/steps/1/output/0/file", "g/SummaryPanel3.svg"},
  };
  for (const auto &[pointer, value] : expected)
    EXPECT_EQ(doc.value(json::json_pointer(pointer), json()), value) << pointer;
  EXPECT_FALSE(json::parse(renderJson(run))["steps"][0]["output"][1].contains("file"));

  const struct {
    GraphPlaces places;
    const char *line;
  } lines[] = {
      {places, "\nGraph SummaryPanel: g/SummaryPanel1.svg\n\nGraph SummaryPanel: g/SummaryPanel2"},
      {{files, false}, "\nGraph ../a b: g/___a_b1.svg\n"},
      {{{}, true}, "\nGraph SummaryPanel: in the HTML report\n"},
      {{}, "\nGraph SummaryPanel: not drawn (no HTML report or graphs folder)\n"},
  };
  for (const auto &l : lines)
    EXPECT_NE(renderListing(run, l.places).find(l.line), std::string::npos) << l.line;
}

// A fresh folder holding the file "f", removed with its contents.
struct Folder {
  fs::path path;
  Folder() {
    std::string tmpl = (fs::temp_directory_path() / "vyn-graphs-XXXXXX").string();
    path = ::mkdtemp(tmpl.data());
    std::ofstream(path / "f") << "input";
  }
  ~Folder() { fs::remove_all(path); }
  std::string at(const char *name) const { return (path / name).string(); }
};

TEST(GraphFiles, WrittenOneByGraphOrRefused) {
  const struct {
    const char *dir, *html, *input;  // under the folder; html and input may be empty
    bool refused;                    // by the check before the steps
    int written;                     // the status of the writing
    const char *file;                // a file that is then there
  } cases[] = {
      {"new/sub", "", "", false, 0, "new/sub/SummaryPanel3.svg"},
      {".", "r.html", "", false, 0, "r.html"},
      {"f", "", "", true, 0, ""},
      {"f/sub", "", "", true, 0, ""},
      {".", "", "SummaryPanel2.svg", false, vyn::kExitRefused, ""},
      {".", "SummaryPanel1.svg", "", false, vyn::kExitRefused, ""},
  };
  const vyn::output::Run run = graphRun();
  for (const auto &c : cases) {
    SCOPED_TRACE(c.dir);
    Folder dir;
    vyn::Command command;
    command.options.graphsDir = dir.at(c.dir);
    if (*c.html) command.options.html = dir.at(c.html);
    command.options.log = dir.at("log.txt");
    vyn::Log problems;
    EXPECT_EQ(vyn::checkOutputPaths(command.options, "", problems), !c.refused);
    if (c.refused) continue;
    const std::vector<std::string> inputs{dir.at(*c.input ? c.input : "f")};
    EXPECT_EQ(vyn::writeOutputs(run, {}, command.options, inputs, problems), c.written);
    EXPECT_EQ(
        fs::exists(dir.at("new/sub/SummaryPanel1.svg")) || fs::exists(dir.at("SummaryPanel1.svg")),
        c.written == 0);
    if (*c.file) {
      EXPECT_EQ(std::ifstream(dir.at(c.file)).get(), '<') << c.file;
    }
  }
}

}  // namespace

// The three renderings of a run: a text listing, an HTML page and the JSON
// document of the output contract.
#pragma once

#include <string>
#include <vector>

#include "vyn/output/document.h"

namespace vyn::output {

// Builds one visitor out of lambdas, one per kind of item; std::visit then
// refuses to compile while a kind has no lambda.
template <class... Handlers>
struct Overloaded : Handlers... {
  using Handlers::operator()...;
};
template <class... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;

// Where the drawings of the graphs of a run went besides the JSON.
struct GraphPlaces {
  std::vector<std::vector<std::string>> files;  // per step and item: its SVG file, or empty
  bool html = false;                            // an HTML report shows them

  // The file of item `item` of step `step`; empty when none was written.
  std::string fileOf(size_t step, size_t item) const;
};

// The SVG file of every graph of a run in folder `dir`, per step and item
// (empty for other items): the graph's name, made safe for a file name, and
// its count among the run's graphs of that name, such as "SummaryPanel2.svg".
std::vector<std::vector<std::string>> graphFiles(const Run &run, const std::string &dir);

// Aligned text: headings and BY lines where they change, each table with its
// spanning headers, headers and rows, each note as a line, each graph as a
// line that says where its drawing went.
std::string renderListing(const Run &run, const GraphPlaces &graphs = {});

// One HTML page: a contents list by step, BY group and output group, then
// every table, note and graph (drawn inline as SVG), then each step's log.
std::string renderHtml(const Run &run);

// The JSON document "vyn-output/1"; numbers with 17 significant digits. A
// graph names its SVG file when one was written.
std::string renderJson(const Run &run, const GraphPlaces &graphs = {});

}  // namespace vyn::output

// The three renderings of a run: a text listing, an HTML page and the JSON
// document of the output contract.
#pragma once

#include <string>

#include "vyn/output/document.h"

namespace vyn::output {

// Aligned text: headings and BY lines where they change, each table with its
// spanning headers, headers and rows, each note as a line.
std::string renderListing(const Run &run);

// One HTML page: a contents list by step, BY group and output group, then
// every table and note, then each step's log.
std::string renderHtml(const Run &run);

// The JSON document "vyn-output/1"; numbers with 17 significant digits.
std::string renderJson(const Run &run);

}  // namespace vyn::output

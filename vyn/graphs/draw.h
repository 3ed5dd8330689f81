// The host's drawing of graphs: each graph template of the procedure drawn as
// an SVG document from the graph's dynamic variables and data objects.
#pragma once

#include <string>

#include "vyn/output/document.h"

namespace vyn::graphs {

// The graph as a standalone SVG document (UTF-8, with <title> and <desc>).
std::string drawSvg(const output::Graph &graph);

}  // namespace vyn::graphs

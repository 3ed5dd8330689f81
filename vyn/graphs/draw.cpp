// Until the templates are drawn, a graph is an empty frame with its title.
#include "vyn/graphs/draw.h"

namespace vyn::graphs {

std::string drawSvg(const output::Graph &graph) {
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"640\" height=\"480\"><title>" +
         graph.title + "</title></svg>\n";
}

}  // namespace vyn::graphs

// Graphs: the plot requests of the step, the graph data objects of a BY group
// and the graphs of each analysis.
#pragma once

#include "xob/kravo.h"

// Resolves PLOTS= and allocates the graphics work area.
void krvGraphicsParseAlloc(krvopts *opts);
// Produces the graph data objects of the BY group.
void krvProduceGraphDataObjects(krvopts *opts);
// Draws the requested graphs of analysis `cur`.
void krvRenderGraphs(krvopts *opts);
// Frees the graphics work area.
void krvGraphicsRelease(krvopts *opts);

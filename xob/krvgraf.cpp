// Graphs are not drawn yet: no plot request is resolved, so none is produced.
#include "xob/krvgraf.h"

void krvGraphicsParseAlloc(krvopts *opts) {
  opts->graphics.produce = 0;
}

void krvProduceGraphDataObjects(krvopts *) {}

void krvGraphicsRelease(krvopts *opts) {
  opts->graphics.work = nullptr;
}

// Graph data objects of a BY group.
#include "xob/krvgraf.h"

void krvProduceGraphDataObjects(krvopts *) {}

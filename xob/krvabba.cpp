// Crossover tables: defined once, filled per analysis.
#include "xob/krvprocs.h"

int32_t krvoc0(krvopts *) {
  return 0;
}
int32_t krvoc1(krvopts *, int32_t) {
  return 0;
}

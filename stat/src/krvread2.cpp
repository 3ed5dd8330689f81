// Crossover and summary-statistics input. Neither reader is available yet:
// a crossover subject is never assigned a sequence, so a crossover group
// ends with the no-observation-used error, and a summary group leaves every
// statistic not computed.
#include "stat/src/krvread.h"

int32_t krvread_special(krvopts *opts) {
  krvread_initstat(opts);
  return krvread_finish(opts);
}

int32_t krvread_xo_sequence(krvopts *) {
  return 0;
}

int32_t krvread_xo_pair(krvopts *, int32_t, int32_t, double, double, krvexcl *) {
  return 0;
}

void krvread_xo_order(krvopts *) {}

// Folded F test of equal variances. Not available yet: its results stay not
// computed.
#include "xob/krvanal.h"

int32_t krvqvar(krvopts *, krvstat *, krvstat *, krvresult *, int32_t) {
  return 0;
}

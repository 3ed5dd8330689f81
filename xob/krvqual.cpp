// Two-sample comparison under equal variances. Not available yet: its
// results stay not computed.
#include "xob/krvanal.h"

int32_t krvqual(krvopts *, krvstat *, krvstat *, krvstat *, krvresult *, int32_t) {
  return 0;
}

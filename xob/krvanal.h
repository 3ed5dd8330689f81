// The analyses of one variable or pair: each turns statistics records into
// the test results of the analysis's results record and never fails.
#pragma once

#include <cstdint>

#include "stat/src/krvstat.h"
#include "xob/kravo.h"

// One-sample, paired, crossover-with-IGNOREPERIOD and normal-ratio t test or
// TOST: `a` serves the test and the lower-bound test, `b` the upper-bound test.
int32_t krvone(krvopts *opts, krvstat *a, krvstat *b, krvresult *result, int32_t index);
// Two groups under equal variances; fills the difference record.
int32_t krvqual(krvopts *opts, krvstat *first, krvstat *second, krvstat *diff, krvresult *result,
                int32_t index);
// Two groups under unequal variances; adds to the difference record.
int32_t krvuneq(krvopts *opts, krvstat *first, krvstat *second, krvstat *diff, krvresult *result,
                int32_t index);
// Folded F test of equal variances.
int32_t krvqvar(krvopts *opts, krvstat *first, krvstat *second, krvresult *result, int32_t index);

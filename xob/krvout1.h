// One-sample and paired tables: the two phases behind krvo10/krvop0 (define)
// and krvo11/krvop1 (fill), with `paired` 0 for one-sample and 1 for paired.
#pragma once

#include <cstdint>

#include "xob/kravo.h"

// Creates the tables the options call for; the status of the last table end.
int32_t krvo_0(krvopts *opts, int32_t paired);
// Fills and emits the rows of table `slot` for analysis `cur`; the status of
// the last row emitted.
int32_t krvo_1(krvopts *opts, int32_t slot, int32_t paired);

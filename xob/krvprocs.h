// The procedures of the step, in the order the driver calls them.
#pragma once

#include <cstdint>

#include "xob/kravo.h"

extern "C" {
// The procedure entry: runs one step and ends it through xexit.
void vynkravo();
}

// statements, options record and work areas
void krvparse(krvopts *opts);
// Input kind: 2 with a character _TYPE_, 1 with a character _STAT_, else 0.
int32_t krvdstype(void *data, int32_t *var);
void krvalloc(krvopts *opts);
int32_t krvinit(krvopts *opts);
// one BY group: reading, analyses and graph data
int32_t krvproc(krvopts *opts);
// table definitions and rows per analysis kind
int32_t krvo10(krvopts *opts);
int32_t krvo11(krvopts *opts, int32_t table);
int32_t krvo20(krvopts *opts);
int32_t krvo21(krvopts *opts, int32_t table);
int32_t krvop0(krvopts *opts);
int32_t krvop1(krvopts *opts, int32_t table);
int32_t krvoc0(krvopts *opts);
int32_t krvoc1(krvopts *opts, int32_t table);

// The driver's calls on the output manager: the manager itself, the output
// group of an analysis, the FREQ and WEIGHT notes and one table's output.
#pragma once

#include <cstdint>

#include "xob/kravo.h"

// Creates the output manager with its heading.
void krvinito(krvopts *opts);
// Makes the texts of the output group of every analysis of a single
// variable; made before the first BY group, they last the whole step.
void krv_group_texts(krvopts *opts);
// Opens the output group of analysis `cur` (name, label and heading).
void krv_open_group(krvopts *opts);
// Releases the current output group, if any.
void krv_release_group(krvopts *opts);
// Releases a host object through its class; null is ignored.
void krv_release_object(void *object);
// The FREQ and WEIGHT notes of the current output group.
void krv_out_fw(krvopts *opts);
// One note on the FREQ or WEIGHT variable.
void krvnote(krvopts *opts, int32_t varnum, int32_t message);
// Table `table` for analysis `cur`: created when first, emitted when last.
void krv_out(krvopts *opts, int32_t table, int32_t first, int32_t last);

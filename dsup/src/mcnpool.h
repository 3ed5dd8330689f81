// The module's two memory pools: the step pool for what lives the whole step
// and the work pool for work areas. Blocks are zero-filled (flags 0x3006).
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/vynconn.h"

vynconn::Pool *mcn_step_pool();
vynconn::Pool *mcn_work_pool();

// A zero-filled block of the step or work pool; null when the pool has none.
void *mcn_step_alloc(size_t size);
void *mcn_work_alloc(size_t size);

// Frees a block through the pool it came from; null is ignored.
void mcn_step_free(void *block);
void mcn_work_free(void *block);

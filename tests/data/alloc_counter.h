// Counts calls of the global operator new (replaced in alloc_counter.cpp).
#pragma once

namespace vyn::data::testing {
long allocationCount();
}

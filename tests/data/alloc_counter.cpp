// Replaces the global operator new to count allocations, so a test can show
// that reading rows allocates nothing. The standard library's array forms
// call these.
#include "tests/data/alloc_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

static std::atomic<long> gAllocations{0};

void *operator new(std::size_t n) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void *p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void *p) noexcept {
  std::free(p);
}
void operator delete(void *p, std::size_t) noexcept {
  std::free(p);
}

namespace vyn::data::testing {
long allocationCount() {
  return gAllocations.load(std::memory_order_relaxed);
}
}  // namespace vyn::data::testing

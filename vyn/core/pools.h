// The host's memory pools. Each counts what it hands out, so a test can show
// that a step leaves nothing allocated, and can be told to fail the n-th
// allocation to exercise the module's out-of-memory paths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>

#include "host/vynconn.h"

namespace vyn {

class CountingPool {
 public:
  explicit CountingPool(const char *name);
  ~CountingPool();
  CountingPool(const CountingPool &) = delete;
  CountingPool &operator=(const CountingPool &) = delete;

  // The record the module sees; its entries lead back to this pool.
  vynconn::Pool *record() { return &record_; }

  size_t liveBlocks() const { return live_.size(); }
  size_t liveBytes() const { return liveBytes_; }
  size_t allocations() const { return allocations_; }
  // True once an allocation failed since the last reset.
  bool failedSinceReset() const { return failed_; }

  // Fails the n-th allocation from now (1 = the next one); 0 never fails.
  void failAllocation(size_t n) { failAt_ = n == 0 ? 0 : allocations_ + n; }
  // A request above this many bytes fails, as a real pool would.
  void setLimit(size_t bytes) { limit_ = bytes; }
  // Frees every live block (the end of a step) and clears the failure mark.
  void releaseAll();

  const char *name() const { return name_; }

 private:
  static void *allocate(vynconn::Pool *pool, size_t size, uint32_t flags);
  static void release(vynconn::Pool *pool, void *block, int zero, int code);

  vynconn::Pool record_;
  const char *name_;
  std::unordered_map<void *, size_t> live_;
  size_t liveBytes_ = 0;
  size_t allocations_ = 0;
  size_t failAt_ = 0;
  size_t limit_ = size_t{1} << 32;
  bool failed_ = false;
};

}  // namespace vyn

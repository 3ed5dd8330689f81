#include "vyn/core/pools.h"

#include <cstdlib>
#include <cstring>

namespace vyn {

CountingPool::CountingPool(const char *name) : name_(name) {
  record_.allocate = &CountingPool::allocate;
  record_.release = &CountingPool::release;
  record_.host = this;
}

CountingPool::~CountingPool() {
  releaseAll();
}

void *CountingPool::allocate(vynconn::Pool *pool, size_t size, uint32_t flags) {
  auto *self = static_cast<CountingPool *>(pool->host);
  ++self->allocations_;
  if (self->allocations_ == self->failAt_ || size > self->limit_) {
    self->failed_ = true;
    return nullptr;
  }
  void *block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) {
    self->failed_ = true;
    return nullptr;
  }
  // Every request is zero-filled: a module that forgets the flag still sees
  // defined memory, never the previous step's data.
  (void)flags;
  std::memset(block, 0, size == 0 ? 1 : size);
  self->live_.emplace(block, size);
  self->liveBytes_ += size;
  return block;
}

void CountingPool::release(vynconn::Pool *pool, void *block, int, int) {
  auto *self = static_cast<CountingPool *>(pool->host);
  auto it = self->live_.find(block);
  if (it == self->live_.end()) return;  // not ours, or freed twice: ignore rather than corrupt
  self->liveBytes_ -= it->second;
  self->live_.erase(it);
  std::free(block);
}

void CountingPool::releaseAll() {
  for (auto &[block, size] : live_) std::free(block);
  live_.clear();
  liveBytes_ = 0;
  failed_ = false;
}

}  // namespace vyn

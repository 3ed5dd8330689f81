// The connection the host hands to a module: the service tables built from
// the registered services, the status array, the pools, the missing-value
// and character-class tables and the process block chain.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "host/vynconn.h"
#include "vyn/core/pools.h"

namespace vyn {

class Connection {
 public:
  Connection();
  Connection(const Connection &) = delete;
  Connection &operator=(const Connection &) = delete;

  void **words() { return words_.data(); }
  CountingPool &stepPool() { return stepPool_; }
  CountingPool &workPool() { return workPool_; }
  // Status byte of a service group; a stub clears it on every call.
  uint8_t status(int group) const { return status_[group]; }
  void setStatus(int group, uint8_t value) { status_[group] = value; }
  // Points connection word 4 at the process block of a step.
  void setProcessBlock(void *block) { words_[vynconn::kProcessBlock] = block; }

 private:
  std::array<void *, vynconn::kConnectionWords> words_{};
  std::vector<std::vector<void *>> slots_;
  std::vector<void **> tables_;
  std::vector<uint8_t> status_;
  CountingPool stepPool_{"step"};
  CountingPool workPool_{"work"};
  std::array<uint8_t, 64> kernel_{};
};

}  // namespace vyn

// The addresses of a step's objects, for telling a handle the host made from
// anything else the procedure may pass. Open addressing with linear probing
// over a power-of-two table kept at most half full; an erased entry pulls
// back the ones after it that would no longer be found, so the table needs no
// markers of deleted entries. Nothing is allocated per address, and a lookup
// reads one or two neighbouring words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vyn::output {

class HandleSet {
 public:
  bool contains(const void *address) const {
    if (slots_.empty() || address == nullptr) return false;
    for (size_t i = home(address);; i = next(i)) {
      if (slots_[i] == address) return true;
      if (slots_[i] == nullptr) return false;
    }
  }

  void insert(const void *address) {
    if (address == nullptr || contains(address)) return;
    if (2 * (count_ + 1) > slots_.size()) grow();
    place(address);
    ++count_;
  }

  void erase(const void *address) {
    if (!contains(address)) return;
    size_t hole = home(address);
    while (slots_[hole] != address) hole = next(hole);
    for (size_t i = next(hole); slots_[i] != nullptr; i = next(i)) {
      if (staysBetween(home(slots_[i]), hole, i)) continue;
      slots_[hole] = slots_[i];
      hole = i;
    }
    slots_[hole] = nullptr;
    --count_;
  }

  size_t size() const { return count_; }

 private:
  static constexpr size_t kFirstSize = 64;

  // Fibonacci hashing: the top bits of the address times 2^64 / phi.
  size_t home(const void *address) const {
    const auto bits = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(address));
    return static_cast<size_t>((bits * 0x9E3779B97F4A7C15ull) >> shift_);
  }
  size_t next(size_t i) const { return (i + 1) & (slots_.size() - 1); }

  // An entry at `at` whose home is `from` may stay when the hole lies
  // outside the probe run from its home to it.
  static bool staysBetween(size_t from, size_t hole, size_t at) {
    return hole <= at ? hole < from && from <= at : hole < from || from <= at;
  }

  void place(const void *address) {
    size_t i = home(address);
    while (slots_[i] != nullptr) i = next(i);
    slots_[i] = address;
  }

  void grow() {
    std::vector<const void *> old(slots_.empty() ? kFirstSize : 2 * slots_.size(), nullptr);
    old.swap(slots_);
    shift_ = 64;
    for (size_t n = slots_.size(); n > 1; n /= 2) --shift_;
    for (const void *address : old) {
      if (address != nullptr) place(address);
    }
  }

  std::vector<const void *> slots_;
  size_t count_ = 0;
  unsigned shift_ = 64;
};

}  // namespace vyn::output

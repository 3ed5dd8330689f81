// The handles of a step's objects, for telling a handle the host made from anything else the
// procedure may pass, each with the object it stands for (the object itself, or one whose handles
// change from use to use). Open addressing with linear probing over a power-of-two table kept at
// most half full; an erased entry pulls back the ones after it that would no longer be found, so
// the table needs no markers of deleted entries. Nothing is allocated per address, and a lookup
// reads one or two neighbouring words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vyn::output {

class HandleSet {
 public:
  bool contains(const void *address) const { return find(address) != nullptr; }

  // The object a handle stands for; null when the handle is not in the set.
  void *find(const void *address) const {
    if (slots_.empty() || address == nullptr) return nullptr;
    for (size_t i = home(address);; i = next(i)) {
      if (slots_[i].address == address) return slots_[i].object;
      if (slots_[i].address == nullptr) return nullptr;
    }
  }

  // Adds a handle that stands for the object at its own address.
  void insert(void *address) { insert(address, address); }

  // Adds a handle standing for `object`, unless the handle is there already.
  void insert(const void *address, void *object) {
    if (address == nullptr || contains(address)) return;
    if (2 * (count_ + 1) > slots_.size()) grow();
    place({address, object});
    ++count_;
  }

  void erase(const void *address) {
    if (!contains(address)) return;
    size_t hole = home(address);
    while (slots_[hole].address != address) hole = next(hole);
    for (size_t i = next(hole); slots_[i].address != nullptr; i = next(i)) {
      if (staysBetween(home(slots_[i].address), hole, i)) continue;
      slots_[hole] = slots_[i];
      hole = i;
    }
    slots_[hole] = Entry{};
    --count_;
  }

  size_t size() const { return count_; }

 private:
  static constexpr size_t kFirstSize = 64;

  struct Entry {
    const void *address = nullptr;
    void *object = nullptr;
  };

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

  void place(const Entry &entry) {
    size_t i = home(entry.address);
    while (slots_[i].address != nullptr) i = next(i);
    slots_[i] = entry;
  }

  void grow() {
    std::vector<Entry> old(slots_.empty() ? kFirstSize : 2 * slots_.size());
    old.swap(slots_);
    shift_ = 64;
    for (size_t n = slots_.size(); n > 1; n /= 2) --shift_;
    for (const Entry &entry : old) {
      if (entry.address != nullptr) place(entry);
    }
  }

  std::vector<Entry> slots_;
  size_t count_ = 0;
  unsigned shift_ = 64;
};

}  // namespace vyn::output

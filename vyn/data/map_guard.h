// Guarding reads through a file map. When a mapped file is cut short, touching
// a page past its new end raises SIGBUS. While a map is watched, the handler
// maps zero pages over the rest of it, so the read in progress finishes on
// zeros, and marks the map damaged; the reader checks the mark and reports
// the changed file instead of dying.
#pragma once

#include <cstddef>

namespace vyn::data {

class MapWatch {
 public:
  MapWatch() = default;
  MapWatch(const MapWatch &) = delete;
  MapWatch &operator=(const MapWatch &) = delete;
  MapWatch(MapWatch &&other) noexcept : slot_(other.slot_) { other.slot_ = -1; }
  MapWatch &operator=(MapWatch &&other) noexcept {
    if (this != &other) {
      unwatch();
      slot_ = other.slot_;
      other.slot_ = -1;
    }
    return *this;
  }
  ~MapWatch() { unwatch(); }

  // Watches the map [base, base + size) (installs the handler at first use).
  // Up to 256 maps are watched at once; a map beyond them is read unguarded.
  void watch(const void *base, size_t size);
  // Stops watching; call before the map is unmapped.
  void unwatch();
  // True once a read ran past the end of the file cut short.
  bool damaged() const;

 private:
  int slot_ = -1;
};

}  // namespace vyn::data

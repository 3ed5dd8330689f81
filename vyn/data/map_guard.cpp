#include "vyn/data/map_guard.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <mutex>

namespace vyn::data {
namespace {

// A watched map; begin 0 marks a free slot. The handler reads the slots
// without locks, so each field is a lock-free atomic.
struct Slot {
  std::atomic<uintptr_t> begin{0};
  std::atomic<size_t> size{0};
  std::atomic<bool> damaged{false};
};

constexpr int kSlots = 256;
Slot slots[kSlots];
struct sigaction previous {};
uintptr_t pageSize = 4096;

// Hands a fault that is not in a watched map to the handler installed before
// ours, or to the default action (the faulting access runs again and ends the
// process as it would have without us).
void passOn(int sig, siginfo_t *info, void *context) {
  if ((previous.sa_flags & SA_SIGINFO) != 0 && previous.sa_sigaction != nullptr) {
    previous.sa_sigaction(sig, info, context);
  } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
    previous.sa_handler(sig);
  } else {
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    ::sigaction(sig, &fallback, nullptr);
  }
}

// Maps zeros from the faulting page to the end of the map; false when the
// fault is outside every watched map or the zeros cannot be mapped.
bool patchWatchedMap(uintptr_t at) {
  for (Slot &s : slots) {
    const uintptr_t begin = s.begin.load(std::memory_order_acquire);
    const size_t size = s.size.load(std::memory_order_acquire);
    if (begin == 0 || at < begin || at - begin >= size) continue;
    const uintptr_t from = at & ~(pageSize - 1);
    const uintptr_t to = (begin + size + pageSize - 1) & ~(pageSize - 1);
    void *zeros = ::mmap(reinterpret_cast<void *>(from), to - from, PROT_READ,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
    if (zeros == MAP_FAILED) return false;
    s.damaged.store(true, std::memory_order_release);
    return true;
  }
  return false;
}

void onBusError(int sig, siginfo_t *info, void *context) {
  if (!patchWatchedMap(reinterpret_cast<uintptr_t>(info->si_addr))) passOn(sig, info, context);
}

void installHandler() {
  static std::once_flag once;
  std::call_once(once, [] {
    pageSize = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    struct sigaction action {};
    action.sa_sigaction = &onBusError;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &previous);
  });
}

}  // namespace

void MapWatch::watch(const void *base, size_t size) {
  unwatch();
  installHandler();
  for (int i = 0; i < kSlots; ++i) {
    uintptr_t expected = 0;
    Slot &s = slots[i];
    if (!s.begin.compare_exchange_strong(expected, reinterpret_cast<uintptr_t>(base))) continue;
    s.damaged.store(false, std::memory_order_release);
    s.size.store(size, std::memory_order_release);
    slot_ = i;
    return;
  }
}

void MapWatch::unwatch() {
  if (slot_ < 0) return;
  Slot &s = slots[slot_];
  s.size.store(0, std::memory_order_release);
  s.begin.store(0, std::memory_order_release);
  slot_ = -1;
}

bool MapWatch::damaged() const {
  return slot_ >= 0 && slots[slot_].damaged.load(std::memory_order_acquire);
}

}  // namespace vyn::data

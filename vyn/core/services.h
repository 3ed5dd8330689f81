// Registration of the host services: each service is one record with its
// group, slot and name; slots nobody registered lead to a trap that logs the
// missing service and ends the step.
#pragma once

#include <cstdint>
#include <vector>

#include "host/vynsvc.h"

namespace vyn {

// One registered service.
struct ServiceEntry {
  xsvcid id;         // group and slot
  void *fn;          // the host function
  const char *name;  // its name, for the trap and for tests
};

// Registers a service; a second registration of the same slot is a fault of
// the host and aborts at start-up with both names.
void registerService(xsvcid id, void *fn, const char *name);

template <typename Fn>
void registerService(xsvcid id, Fn *fn, const char *name) {
  registerService(id, reinterpret_cast<void *>(fn), name);
}

// The registered service at a slot, or nullptr.
const ServiceEntry *findService(xsvcid id);

// Registers every service of the host once; the connection calls it first.
void registerAllServices();

// Registration hooks of the host's parts.
void registerCoreServices();
void registerDataServices();
void registerParseServices();
void registerOutputServices();

}  // namespace vyn

namespace vyn {
// Every registered service, in registration order.
const std::vector<ServiceEntry> &registeredServices();
}  // namespace vyn

#include "vyn/core/services.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "host/vynconn.h"

namespace vyn {
namespace {

std::vector<ServiceEntry> &registry() {
  static std::vector<ServiceEntry> entries;
  return entries;
}

bool validId(xsvcid id) {
  return id.group >= 0 && id.group < vynconn::kServiceGroups && id.slot >= 0 &&
         id.slot < vynconn::kServiceSlots;
}

}  // namespace

void registerService(xsvcid id, void *fn, const char *name) {
  if (!validId(id)) {
    std::fprintf(stderr, "vyn: service %s has an invalid slot %d/%d\n", name, id.group, id.slot);
    std::abort();
  }
  if (const ServiceEntry *old = findService(id)) {
    std::fprintf(stderr, "vyn: services %s and %s both claim slot %d/%d\n", old->name, name,
                 id.group, id.slot);
    std::abort();
  }
  registry().push_back({id, fn, name});
}

const ServiceEntry *findService(xsvcid id) {
  for (const ServiceEntry &e : registry()) {
    if (e.id.group == id.group && e.id.slot == id.slot) return &e;
  }
  return nullptr;
}

const std::vector<ServiceEntry> &registeredServices() {
  return registry();
}

}  // namespace vyn

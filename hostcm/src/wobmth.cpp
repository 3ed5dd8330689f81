// The method call on a host object: walk the class chain, hash the method
// number into the class's buckets, call the first entry that matches.
#include "hostcm/wob.h"

namespace {

const wobment *findMethod(const wobclass *cls, int32_t method) {
  for (; cls != nullptr; cls = cls->parent) {
    if (cls->buckets == nullptr) continue;
    const uintptr_t bucket = static_cast<uint32_t>(method) & cls->mask;
    for (const wobment *entry = cls->buckets[bucket]; entry != nullptr; entry = entry->next) {
      if (entry->method == method) return entry;
    }
  }
  return nullptr;
}

}  // namespace

int32_t wobmth(void *object, wobclass *cls, int32_t method, int32_t count, wobprop *props) {
  if (cls == nullptr && object != nullptr) cls = static_cast<wobobj *>(object)->cls;
  const wobment *entry = findMethod(cls, method);
  if (entry == nullptr) return kWobNoMethod;
  return entry->impl->fn(object, entry->data, entry->impl->classdata, count, props);
}

int32_t wobrelease(void *object) {
  if (object == nullptr) return 0;
  const wobclass *cls = static_cast<wobobj *>(object)->cls;
  if (cls == nullptr || cls->release == nullptr) return 0;
  return cls->release(object, cls->release_data, 4, 0, 0);
}

// Host services of the output-object system: the object root, text objects
// from the catalogue or from characters, and the control block of an object.
#include "vyn/core/services.h"

#include <charconv>
#include <cstring>
#include <string>
#include <vector>

#include "host/vynsvc.h"
#include "vyn/core/catalog.h"
#include "vyn/output/objects.h"

namespace vyn::output {
namespace {

void *handle(TextObject *text) {
  return static_cast<HostObject *>(text);
}

void hostXobinit(void **root, int32_t) {
  if (root == nullptr) return;
  StepState *state = stepState();
  *root = state == nullptr ? nullptr
                           : static_cast<HostObject *>(makeObject<HostObject>(
                                 *state, ObjKind::kRoot, rootClass(), nullptr));
}

void *hostUlxmsg(int32_t group, int32_t number) {
  return handle(makeText(catalogMessage(group, number)));
}

void *hostUlxmsgs(int32_t group, int32_t number, int32_t count, const xins *list) {
  return handle(makeText(catalogMessage(group, number, catalogInserts(count, list))));
}

// A length of -1 means up to the terminating NUL; any other negative length
// gives no text.
void *hostUlxtxt(const char *text, int32_t length) {
  if (text == nullptr || length < -1) return nullptr;
  const size_t n = length == -1 ? std::strlen(text) : static_cast<size_t>(length);
  return handle(makeText(std::string(text, n)));
}

void *hostUlxtxts(const char *format, int32_t count, const xins *list) {
  if (format == nullptr) return nullptr;
  return handle(makeText(fillCatalogInserts(format, catalogInserts(count, list))));
}

void *hostUlxggcb(void *object) {
  StepState *state = stepState();
  HostObject *host = state == nullptr ? nullptr : objectOf(*state, object);
  return host == nullptr || host->released ? nullptr : host->control;
}

}  // namespace
}  // namespace vyn::output

void vyn::registerOutputServices() {
  using namespace vyn::output;
  registerService(vynsvc::kXobinit, &hostXobinit, "xobinit");
  registerService(vynsvc::kUlxmsg, &hostUlxmsg, "ulxmsg");
  registerService(vynsvc::kUlxmsgs, &hostUlxmsgs, "ulxmsgs");
  registerService(vynsvc::kUlxtxt, &hostUlxtxt, "ulxtxt");
  registerService(vynsvc::kUlxtxts, &hostUlxtxts, "ulxtxts");
  registerService(vynsvc::kUlxggcb, &hostUlxggcb, "ulxggcb");
}

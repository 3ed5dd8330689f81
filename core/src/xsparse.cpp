#include "core/src/xsparse.h"

#include "core/src/xinit.h"
#include "dsup/src/mcnglob.h"
#include "host/vynsvc.h"

namespace {

constexpr int32_t kCatalogHost = 129;
constexpr int32_t kMsgNoRoutine = 54;
constexpr int32_t kCodeConnection = 1012;

// The host routine behind a service slot; ends the run when there is none.
void *resolveRoutine(xsvcid id, const char *name) {
  void *routine = vir2g(mcn_module, id.group, id.slot);
  if (routine == nullptr) {
    const xins insert{0, -1, name, 0};
    xpmlog(kCatalogHost, kMsgNoRoutine, 1, &insert);
    xexit(kCodeConnection, 0);
  }
  return routine;
}

}  // namespace

int32_t xsparse(vynstmt::GrammarDescriptor *descriptor, int32_t options) {
  if (descriptor->token_routine == nullptr || descriptor->semantic_routine == nullptr) {
    descriptor->token_routine = resolveRoutine(vynsvc::kXttk, "xttk");
    descriptor->semantic_routine = resolveRoutine(vynsvc::kXsem, "xsem");
    descriptor->anchor = xtanch();
  }
  const xstepblk *step = xstep();
  const int32_t trace = step == nullptr ? 0 : step->trace;
  return xsproc(descriptor, mcn_connection[vynconn::kProcessBlock], trace, options, 0, 0);
}

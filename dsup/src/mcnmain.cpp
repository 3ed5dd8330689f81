// The module entry and the procedure connection list.
#include "dsup/src/mcnglob.h"
#include "host/vynconn.h"
#include "host/vynmod.h"
#include "xob/krvprocs.h"

void **mcn_connection = nullptr;
void *mcn_module = nullptr;
void *mcn_kernel = nullptr;

namespace {

// The connect hook of the support libraries; nothing to connect here.
void himodcn() {}

const mcn_pcn pcn_VYNKRAVO = {
    0xFFFF0000u, 1024,      1024, {'v', 'y', 'n', 'k', 'r', 'a', 'v', 'o'},
    0,           &vynkravo, 3,    {9683, 1297887, 15}};

}  // namespace

extern "C" {

const mcn_pcn *const mcn_pcns[] = {&pcn_VYNKRAVO, nullptr};

const mcn_desc *mcn_main(void **connection, void *module_handle) {
  static const mcn_desc descriptor = {"kravo 1", mcn_pcns};
  mcn_connection = connection;
  mcn_module = module_handle;
  mcn_kernel = connection[vynconn::kKernelBlock];
  himodcn();
  return &descriptor;
}

}  // extern "C"

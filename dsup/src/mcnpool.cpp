#include "dsup/src/mcnpool.h"

#include "dsup/src/mcnglob.h"
#include "host/vynsvc.h"

vynconn::Pool *mcn_step_pool() {
  return static_cast<vynconn::Pool *>(mcn_connection[vynconn::kStepPool]);
}
vynconn::Pool *mcn_work_pool() {
  return static_cast<vynconn::Pool *>(mcn_connection[vynconn::kWorkPool]);
}

void *mcn_step_alloc(size_t size) {
  return xpalloc(mcn_step_pool(), size, vynconn::kAllocZeroFill);
}
void *mcn_work_alloc(size_t size) {
  return xpalloc(mcn_work_pool(), size, vynconn::kAllocZeroFill);
}
void mcn_step_free(void *block) {
  xpfree(mcn_step_pool(), block);
}
void mcn_work_free(void *block) {
  xpfree(mcn_work_pool(), block);
}

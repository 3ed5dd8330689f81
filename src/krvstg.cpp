#include "src/krvstg.h"

#include <cstring>

#include "dsup/src/mcnglob.h"
#include "host/vynsvc.h"

namespace {

constexpr int32_t kCodeMemory = 1016;

}  // namespace

int32_t krvsymbytes(const vynstmt::GrammarDescriptor *descriptor) {
  const vynstmt::GrammarTables &t = descriptor->tables;
  const int32_t last = t.symndx[descriptor->nterminals - 1];
  return last + 1 + t.symtbl[last];
}

vynstmt::GrammarDescriptor *krvstg() {
  auto *pool = static_cast<vynconn::Pool *>(mcn_connection[vynconn::kStepPool]);
  void *block = pool->allocate(pool, sizeof(vynstmt::GrammarDescriptor), kAllocDescriptor);
  if (block == nullptr) {
    xmemmsg(0);  // say why the step ends
    xexit(kCodeMemory, 0);
  }
  std::memcpy(block, &krv_pc, sizeof krv_pc);
  if (wztxdotr() != 0) {
    xsfixsym(krv_pc.nclasses, krv_pc.nterminals, krvsymbytes(&krv_pc), &block);
  }
  return static_cast<vynstmt::GrammarDescriptor *>(block);
}

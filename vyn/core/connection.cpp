#include "vyn/core/connection.h"

#include "vyn/core/services.h"
#include "vyn/data/missing.h"

namespace vyn {

namespace {

// Registration runs before the tables are filled, whichever object comes first.
int registeredServiceCount() {
  registerAllServices();
  return vynconn::kServiceGroups;
}

}  // namespace

Connection::Connection()
    : slots_(registeredServiceCount(), std::vector<void *>(vynconn::kServiceSlots, nullptr)),
      tables_(vynconn::kServiceGroups),
      status_(vynconn::kServiceGroups, 0) {
  for (const ServiceEntry &e : registeredServices()) slots_[e.id.group][e.id.slot] = e.fn;
  for (int g = 0; g < vynconn::kServiceGroups; ++g) tables_[g] = slots_[g].data();
  words_[vynconn::kServiceTables] = tables_.data();
  words_[vynconn::kStatusArray] = status_.data();
  words_[vynconn::kStepPool] = stepPool_.record();
  words_[vynconn::kWorkPool] = workPool_.record();
  words_[vynconn::kCharClasses] = const_cast<uint16_t *>(data::characterClassTable());
  words_[vynconn::kMissingTable] = const_cast<double *>(data::missingValueTable());
  words_[vynconn::kKernelBlock] = kernel_.data();
}

}  // namespace vyn

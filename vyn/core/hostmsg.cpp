#include "vyn/core/hostmsg.h"

#include "vyn/core/catalog.h"

namespace vyn {

void logHostMessage(Log &log, int number, const std::vector<std::string> &inserts) {
  log.add({catalogLevel(kHostGroup, number), kHostGroup, number,
           catalogMessage(kHostGroup, number, inserts)});
}

void logDataError(Log &log, const data::DataError &e) {
  log.add({catalogLevel(e.group(), e.number()), e.group(), e.number(),
           catalogMessage(e.group(), e.number(), e.inserts())});
}

}  // namespace vyn

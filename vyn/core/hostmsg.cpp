#include "vyn/core/hostmsg.h"

#include "vyn/core/catalog.h"

namespace vyn {

void logHostMessage(Log &log, int number, const std::vector<std::string> &inserts) {
  log.add({catalogLevel(kHostGroup, number), kHostGroup, number,
           catalogMessage(kHostGroup, number, inserts)});
}

}  // namespace vyn

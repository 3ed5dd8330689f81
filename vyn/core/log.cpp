#include "vyn/core/log.h"

namespace vyn {

const char *levelName(LogLevel level) {
  switch (level) {
    case LogLevel::kNote:
      return "note";
    case LogLevel::kWarning:
      return "warning";
    case LogLevel::kError:
      return "error";
    default:
      return "note";  // free text such as traces reads as a note
  }
}

}  // namespace vyn

#include "stat/src/krvmiss.h"

#include "dsup/src/mcnglob.h"
#include "host/vynconn.h"

double krvmissing(char letter) {
  const auto *table = static_cast<const double *>(mcn_connection[vynconn::kMissingTable]);
  return table[static_cast<unsigned char>(letter)];
}

bool krvblank(char c) {
  const auto *classes = static_cast<const uint16_t *>(mcn_connection[vynconn::kCharClasses]);
  return (classes[static_cast<unsigned char>(c)] & vynconn::kClassBlank) != 0;
}

const uint16_t *krvcharclasses() {
  return static_cast<const uint16_t *>(mcn_connection[vynconn::kCharClasses]);
}

bool krvallblank(const char *text, int32_t len) {
  return krvallblank(krvcharclasses(), text, len);
}

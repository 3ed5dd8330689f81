// Property slots for tests, with key, type and value visible at the call site.
#pragma once

#include <cstring>

#include "hostcm/wob.h"

namespace testprops {

inline wobprop slot(uint16_t key, uint16_t type) {
  wobprop p;
  std::memset(&p, 0, sizeof p);
  p.key = key;
  p.type = type;
  return p;
}
inline wobprop integer(uint16_t key, int32_t v, uint16_t type = kWobInt) {
  wobprop p = slot(key, type);
  p.v.i = v;
  return p;
}
inline wobprop real(uint16_t key, double v) {
  wobprop p = slot(key, kWobDouble);
  p.v.d = v;
  return p;
}
inline wobprop boolean(uint16_t key, bool v) {
  wobprop p = slot(key, kWobBool);
  p.v.b.value = v ? 1 : 0;
  return p;
}
inline wobprop pointer(uint16_t key, uint16_t type, void *v) {
  wobprop p = slot(key, type);
  p.v.p = v;
  return p;
}
inline wobprop counted(uint16_t key, const char *text) {
  wobprop p = slot(key, kWobString);
  p.count = static_cast<uint16_t>(std::strlen(text));
  p.v.p = const_cast<char *>(text);
  return p;
}

}  // namespace testprops

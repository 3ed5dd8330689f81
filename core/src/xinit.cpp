#include "core/src/xinit.h"

#include <cctype>
#include <cstring>

#include "host/vynsvc.h"

namespace {

const xstepblk *current_step = nullptr;

// Trace flags from the DEBUG text: "SYN" asks for the syntax trace, "SEM"
// for the semantic trace, in any case.
int32_t traceFlags(const char *debug) {
  char upper[256];
  size_t n = 0;
  for (; debug[n] != '\0' && n + 1 < sizeof upper; ++n) {
    upper[n] = static_cast<char>(std::toupper(static_cast<unsigned char>(debug[n])));
  }
  upper[n] = '\0';
  int32_t flags = 0;
  if (std::strstr(upper, "SYN") != nullptr) flags |= kTraceSyntax;
  if (std::strstr(upper, "SEM") != nullptr) flags |= kTraceSemantics;
  return flags;
}

}  // namespace

int32_t xinit(xstepblk *step) {
  step->streams = xpopen();
  xpoutl();
  xpprnl();
  xplogl();
  xpmsgl();
  xpselec();
  char debug[256] = {0};
  xoptcgt("DEBUG", debug, sizeof debug);
  step->trace = traceFlags(debug);
  current_step = step;
  return step->streams;
}

const xstepblk *xstep() {
  return current_step;
}

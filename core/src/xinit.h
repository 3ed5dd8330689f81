// Step set-up with the host: the output streams and the DEBUG option.
#pragma once

#include <cstdint>

// Parser trace flags taken from the DEBUG system option.
enum xtrace : int32_t { kTraceSemantics = 1, kTraceSyntax = 2 };

// What xinit sets up for one step.
struct xstepblk {
  int32_t streams;  // the host's stream status after opening (0 ok)
  int32_t trace;    // xtrace bits for the statement parser
};

// Opens the step's streams and reads DEBUG; the block lives for the step.
int32_t xinit(xstepblk *step);

// The block of the step being run (set by xinit).
const xstepblk *xstep();

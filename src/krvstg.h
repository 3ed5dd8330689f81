// The grammar descriptor of PROC KRAVO: the constant template `krv_pc`
// generated from src/kravo.grammar, and krvstg, which builds a run's copy.
#pragma once

#include <cstdint>

#include "host/vynstmt.h"

// The template: counts and the addresses of the fifteen generated tables.
extern const vynstmt::GrammarDescriptor krv_pc;

// Flags of the descriptor's allocation from the step pool.
inline constexpr uint32_t kAllocDescriptor = 0x2004;

// Bytes of the symbol table of a descriptor.
int32_t krvsymbytes(const vynstmt::GrammarDescriptor *descriptor);

// The run's grammar descriptor, taken from the step pool; ends the run with
// code 1016 when the pool cannot give it.
vynstmt::GrammarDescriptor *krvstg();

// The parse driver: hands a grammar descriptor to the host's parser.
#pragma once

#include <cstdint>

#include "host/vynstmt.h"

// Connects the descriptor to the host's token and semantic routines on its
// first use (message 54 of catalogue 129 and code 1012 when the host cannot
// give them), then runs the host's parser over the step's statements with
// the DEBUG trace flags. Returns the parser's result.
int32_t xsparse(vynstmt::GrammarDescriptor *descriptor, int32_t options);

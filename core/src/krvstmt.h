// The statement block the host's parser filled for this step.
// Reached from connection word 4 through the process block chain.
#pragma once

#include <cstdint>

#include "host/vynstmt.h"

vynstmt::StatementBlock *krvstmt();
// The parse status of the step: 0 when every statement parsed.
int32_t krvparse_status();

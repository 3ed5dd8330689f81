// Reading a program: statements split at semicolons outside quotes and
// comments, grouped into procedure steps (PROC name ...; ...; RUN; or QUIT;).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "vyn/core/log.h"
#include "vyn/core/step.h"

namespace vyn {

// One step of a program.
struct ProgramStep {
  std::string proc;                         // procedure name, upper case
  std::vector<SourceStatement> statements;  // the PROC statement first
  std::string debug;                        // DEBUG= of the last OPTIONS statement before it
};

// A program split into steps, with the problems found while splitting.
struct Program {
  std::vector<ProgramStep> steps;
  Log log;              // errors and warnings of the program text itself
  bool failed = false;  // a problem that stops the program from running
};

// Splits program text into statements (comments blanked, positions kept).
std::vector<SourceStatement> splitStatements(std::string_view text, Log &log, bool *failed);

// Groups statements into steps.
Program readProgram(std::string_view text);

}  // namespace vyn

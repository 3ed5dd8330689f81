// Running a whole program: each step through the host, its output collected,
// then the listing, HTML report and JSON written.
#pragma once

#include <string>

#include "vyn/core/host.h"
#include "vyn/core/program.h"
#include "vyn/output/document.h"

namespace vyn {

// Where the output of a run goes; an empty path means "not wanted".
struct RunOptions {
  std::string dataDir = ".";  // where DATA= names are looked up
  std::string listing;        // text listing ("-" for standard output)
  std::string log;            // the log ("-" for standard error)
  std::string html;           // HTML report
  std::string json;           // JSON document
  bool graphics = false;      // graphs are produced
};

// Runs every step of a program and returns what each delivered.
output::Run runProgram(const Program &program, Host &host, const RunOptions &options);

// Exit status of a run: 0 when every step returned 0, 1 when the worst was a
// warning, 2 when any step ended in an error.
int exitStatus(const output::Run &run, const Program &program);

// Writes the requested renderings; false (with the reason logged to `problems`)
// when a file could not be written.
bool writeOutputs(const output::Run &run, const Program &program, const RunOptions &options,
                  Log &problems);

}  // namespace vyn

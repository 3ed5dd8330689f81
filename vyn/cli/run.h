// Running a whole program: the output paths checked, each step through the
// host, its output collected, then the listing, HTML report, JSON and log
// written.
#pragma once

#include <exception>
#include <new>
#include <string>
#include <vector>

#include "vyn/core/host.h"
#include "vyn/core/program.h"
#include "vyn/output/document.h"
#include "vyn/output/sink.h"

namespace vyn {

// Exit statuses of a run.
inline constexpr int kExitWarning = 1;  // the worst was a warning
inline constexpr int kExitError = 2;    // an error: in a step, in the log, writing, memory
inline constexpr int kExitRefused = 3;  // a usage error, or an output path refused

// Where the output of a run goes. Listing, HTML and JSON: empty means "not
// written", "-" standard output. The log: empty means standard error, "-"
// standard output.
struct RunOptions {
  std::string dataDir = ".";   // where DATA= names are looked up
  std::string listing;         // text listing
  std::string log;             // the log
  std::string html;            // HTML report
  std::string json;            // JSON document
  std::string graphsDir = {};  // folder of one SVG file per graph; empty: none written
  bool graphics = false;       // graphs are produced
  std::string tablesDir = {};  // folder of one CSV file per step and table name; empty: none
  char delimiter = ',';        // of the data files; a schema's "dialect" wins for its file
};

// A whole command: the program from a file (or its text) and where its
// output goes.
struct Command {
  RunOptions options;
  std::string programFile;  // empty when the text is given
  std::string programText;
};

// Runs every step of a program and returns what each delivered; stops after a
// step that ran out of memory. With a `sink`, every item and log entry goes
// to it as it comes and the steps returned hold only their code and the
// tally of their log.
output::Run runProgram(const Program &program, Host &host, const RunOptions &options,
                       output::ItemSink *sink = nullptr);

// Exit status of a run: 2 when a step returned an error code (above 4 or
// negative) or an error was logged (the tallies say), else 1 after a
// warning, else 0.
int exitStatus(const output::Run &run, const Program &program);

// Checks every output path before anything runs: its folder exists and is
// writable, it is not the program file, no two outputs go to the same place
// (the folders of the graph and table files included), and those folders are
// writable folders or can be made. False with the reasons logged to `problems`.
bool checkOutputPaths(const RunOptions &options, const std::string &programFile, Log &problems);

// Writes the requested renderings, graph files and table files; refuses,
// before writing any, an output that is one of `inputs` and a graph or table
// file that another output names. Returns 0, kExitError after a failed
// write or kExitRefused, with the reasons logged to `problems`.
int writeOutputs(const output::Run &run, const Program &program, const RunOptions &options,
                 const std::vector<std::string> &inputs, Log &problems);

// The whole command with a loaded host: reads the program, checks the output
// paths, runs the steps, writes the outputs and returns the exit status.
// The host's own problems go to standard error.
int runCommand(const Command &command, Host &host);

// Fills the message that reportOutOfMemory writes, while memory is there, and
// makes std::terminate report it (or an unexpected problem) and exit with 2.
void prepareFailureReports();
// Writes the prepared message to standard error without allocating;
// returns kExitError.
int reportOutOfMemory() noexcept;
// Writes message 117 with the text to standard error; returns kExitError.
int reportUnexpected(const char *what) noexcept;

// Runs `body` so that no exception leaves it: each ends in a message on
// standard error and kExitError.
template <class Body>
int runGuarded(Body &&body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc &) {
    return reportOutOfMemory();
  } catch (const std::exception &e) {
    return reportUnexpected(e.what());
  } catch (...) {
    return reportUnexpected("an exception that is not a standard one");
  }
}

}  // namespace vyn

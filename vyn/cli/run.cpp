#include "vyn/cli/run.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>

#include "vyn/core/catalog.h"
#include "vyn/core/files.h"
#include "vyn/core/hostmsg.h"
#include "vyn/graphs/draw.h"
#include "vyn/output/render.h"
#include "vyn/output/session.h"

namespace vyn {
namespace {

// The log of a whole run as text, one line per entry.
std::string logText(const output::Run &run, const Program &program) {
  std::string text;
  auto line = [&text](const LogEntry &e) {
    switch (e.level) {
      case LogLevel::kError:
        text += "ERROR: ";
        break;
      case LogLevel::kWarning:
        text += "WARNING: ";
        break;
      case LogLevel::kNote:
        text += "NOTE: ";
        break;
      default:
        break;
    }
    text += e.text + "\n";
  };
  for (const LogEntry &e : program.log.entries()) line(e);
  for (const output::StepRecord &step : run) {
    for (const LogEntry &e : step.log) line(e);
  }
  return text;
}

// One output of a run and where it goes.
enum class Place { kNone, kStandardOutput, kStandardError, kFile };
enum class Rendering { kListing, kHtml, kJson, kLog, kGraph };
struct Output {
  Rendering rendering;
  const char *option;  // the command-line option that names it
  const char *what;    // for messages
  Place place;
  std::string path;                      // kFile: the path as given
  const output::Graph *graph = nullptr;  // kGraph: the graph drawn into the file
};

Place placeOf(const std::string &path, Place whenEmpty) {
  if (path.empty()) return whenEmpty;
  return path == "-" ? Place::kStandardOutput : Place::kFile;
}

std::vector<Output> outputsOf(const RunOptions &o) {
  return {
      {Rendering::kListing, "--listing", "listing", placeOf(o.listing, Place::kNone), o.listing},
      {Rendering::kHtml, "--html", "HTML report", placeOf(o.html, Place::kNone), o.html},
      {Rendering::kJson, "--json", "JSON document", placeOf(o.json, Place::kNone), o.json},
      {Rendering::kLog, "--log", "log", placeOf(o.log, Place::kStandardError), o.log},
  };
}

// One output per graph file of the run.
std::vector<Output> graphOutputsOf(const output::Run &run, const output::GraphPlaces &places) {
  std::vector<Output> outputs;
  for (size_t s = 0; s < run.size(); ++s) {
    for (size_t i = 0; i < run[s].output.size(); ++i) {
      std::string file = places.fileOf(s, i);
      if (file.empty()) continue;
      outputs.push_back({Rendering::kGraph, "--graphs-dir", "graph", Place::kFile, std::move(file),
                         &std::get<output::Graph>(run[s].output[i].content)});
    }
  }
  return outputs;
}

const char *streamName(Place place) {
  return place == Place::kStandardOutput ? "standard output" : "standard error";
}

// Where two outputs both go, for message 113.
std::string sharedPlace(const Output &out) {
  if (out.place == Place::kFile) return out.path;
  return "standard output (where the listing goes unless --listing names a file)";
}

// Two outputs that would overwrite or cut off each other: the same standard
// stream, or the same regular file or FIFO (a terminal or /dev/null takes
// any number).
bool samePlace(const Output &a, const Output &b) {
  if (a.place != b.place || a.place == Place::kNone) return false;
  if (a.place != Place::kFile) return true;
  const FileIdentity ia = identify(a.path), ib = identify(b.path);
  return (ia.regular || ia.fifo) && ia.sameAs(ib);
}

std::string render(const Output &out, const output::Run &run, const Program &program,
                   const output::GraphPlaces &places) {
  switch (out.rendering) {
    case Rendering::kListing:
      return output::renderListing(run, places);
    case Rendering::kHtml:
      return output::renderHtml(run);
    case Rendering::kJson:
      return output::renderJson(run, places);
    case Rendering::kGraph:
      return graphs::drawSvg(*out.graph);
    case Rendering::kLog:
      break;
  }
  return logText(run, program);
}

bool writeStream(std::FILE *stream, const std::string &content, std::string *error) {
  errno = 0;
  const bool written = std::fwrite(content.data(), 1, content.size(), stream) == content.size();
  if (written && std::fflush(stream) == 0 && std::ferror(stream) == 0) return true;
  *error = std::strerror(errno != 0 ? errno : EIO);
  return false;
}

bool emit(const Output &out, const std::string &content, Log &problems) {
  std::string error;
  if (out.place == Place::kFile) {
    if (writeOutputFile(out.path, content, &error)) return true;
    logHostMessage(problems, kHostOutputWrite, {out.path, error});
    return false;
  }
  std::FILE *stream = out.place == Place::kStandardOutput ? stdout : stderr;
  if (writeStream(stream, content, &error)) return true;
  logHostMessage(problems, kHostStreamWrite, {out.what, streamName(out.place), error});
  return false;
}

// An output that names an input of the run; logged, and true when one does.
bool overwritesInput(const std::vector<Output> &outputs, const std::vector<std::string> &inputs,
                     Log &problems) {
  bool found = false;
  for (const std::string &input : inputs) {
    const FileIdentity in = identify(input);
    for (const Output &out : outputs) {
      if (out.place != Place::kFile || !in.sameAs(identify(out.path))) continue;
      logHostMessage(problems, kHostOutputIsInput, {out.option, out.path, input});
      found = true;
    }
  }
  return found;
}

// Two outputs that go to the same place, each pair logged; true when one does.
bool clash(const std::vector<Output> &outputs, Log &problems) {
  bool found = false;
  for (size_t i = 0; i < outputs.size(); ++i) {
    for (size_t j = i + 1; j < outputs.size(); ++j) {
      if (!samePlace(outputs[i], outputs[j])) continue;
      const Output &a = outputs[i];
      logHostMessage(problems, kHostOutputTwice, {a.option, outputs[j].option, sharedPlace(a)});
      found = true;
    }
  }
  return found;
}

// A graph file that another output names, logged; true when one does. The
// graph files differ from each other by their names.
bool graphFileTaken(const std::vector<Output> &graphs, const std::vector<Output> &outputs,
                    Log &problems) {
  bool found = false;
  for (const Output &graph : graphs) {
    for (const Output &out : outputs) found = clash({out, graph}, problems) || found;
  }
  return found;
}

// Writes the graph files, stopping at the first that fails; false then.
bool writeGraphFiles(const std::vector<Output> &graphs, const std::string &dir,
                     const output::Run &run, const Program &program,
                     const output::GraphPlaces &places, Log &problems) {
  std::string error;
  if (!makeFolder(dir, &error)) {
    logHostMessage(problems, kHostGraphsFolder, {dir, error});
    return false;
  }
  return std::all_of(graphs.begin(), graphs.end(), [&](const Output &graph) {
    return emit(graph, render(graph, run, program, places), problems);
  });
}

bool worseThanWarning(int rc) {
  return rc < 0 || rc > 4;
}

bool logHasError(const std::vector<LogEntry> &log) {
  return std::any_of(log.begin(), log.end(),
                     [](const LogEntry &e) { return e.level == LogLevel::kError; });
}

bool logHasWarning(const std::vector<LogEntry> &log) {
  return std::any_of(log.begin(), log.end(),
                     [](const LogEntry &e) { return e.level == LogLevel::kWarning; });
}

void printProblems(const Log &problems) {
  for (const LogEntry &e : problems.entries()) std::fprintf(stderr, "vyn: %s\n", e.text.c_str());
}

char outOfMemoryText[512] = "vyn: out of memory\n";
size_t outOfMemoryLength = std::strlen(outOfMemoryText);

// Writes to standard error without allocating: the last word of a run out of
// memory.
void writeRaw(const char *text, size_t length) {
  writeAll(STDERR_FILENO, {text, length});
}

// The last resort: an exception thrown where none may be (a library's
// destructor that allocates while memory is short) still ends the run with
// a message and exit status 2, not an abort.
[[noreturn]] void onTerminate() {
  bool memory = false;
  if (const std::exception_ptr current = std::current_exception()) {
    try {
      std::rethrow_exception(current);
    } catch (const std::bad_alloc &) {
      memory = true;
    } catch (...) {
    }
  }
  if (memory) {
    writeRaw(outOfMemoryText, outOfMemoryLength);
  } else {
    static const char kStopped[] = "vyn: the run stopped on an unexpected problem\n";
    writeRaw(kStopped, sizeof kStopped - 1);
  }
  ::_exit(kExitError);
}

int runChecked(const Command &command, Host &host, Log &problems) {
  RunOptions options = command.options;
  std::string source = command.programText;
  if (!command.programFile.empty()) {
    std::string error;
    if (!readWholeFile(command.programFile, &source, &error)) {
      logHostMessage(problems, kHostProgramRead, {command.programFile, error});
      return kExitError;
    }
    if (options.dataDir == ".") {
      const auto folder = std::filesystem::path(command.programFile).parent_path();
      if (!folder.empty()) options.dataDir = folder.string();
    }
  }
  if (!checkOutputPaths(options, command.programFile, problems)) return kExitRefused;
  const Program program = readProgram(source);
  const output::Run run = runProgram(program, host, options);
  std::vector<std::string> inputs = host.inputFiles();
  if (!command.programFile.empty()) inputs.push_back(command.programFile);
  const int written = writeOutputs(run, program, options, inputs, problems);
  return std::max(exitStatus(run, program), written);
}

}  // namespace

output::Run runProgram(const Program &program, Host &host, const RunOptions &options) {
  output::Run run;
  for (const ProgramStep &ps : program.steps) {
    StepContext step;
    step.proc = ps.proc;
    step.statements = ps.statements;
    step.dataDir = options.dataDir;
    step.debug = ps.debug;
    output::beginStep(ps.proc, &step.log, options.graphics);
    const StepOutcome outcome = host.runStep(step);
    output::StepRecord record;
    record.proc = ps.proc;
    record.rc = outcome.rc;
    record.output = output::endStep();
    if (outcome.outOfMemory) logHostMessage(step.log, kHostRunOutOfMemory);
    record.log = step.log.take();
    run.push_back(std::move(record));
    if (outcome.outOfMemory) break;
  }
  return run;
}

int exitStatus(const output::Run &run, const Program &program) {
  if (program.failed || logHasError(program.log.entries())) return kExitError;
  bool warned = logHasWarning(program.log.entries());
  for (const output::StepRecord &step : run) {
    if (worseThanWarning(step.rc) || logHasError(step.log)) return kExitError;
    warned = warned || step.rc > 0 || logHasWarning(step.log);
  }
  return warned ? kExitWarning : 0;
}

bool checkOutputPaths(const RunOptions &options, const std::string &programFile, Log &problems) {
  const std::vector<Output> outputs = outputsOf(options);
  bool ok = true;
  for (const Output &out : outputs) {
    if (out.place != Place::kFile) continue;
    const std::string problem = outputPathProblem(out.path);
    if (!problem.empty()) {
      logHostMessage(problems, kHostOutputPath, {out.what, out.path, problem});
      ok = false;
    } else if (!programFile.empty() && identify(out.path).sameAs(identify(programFile))) {
      logHostMessage(problems, kHostOutputIsInput, {out.option, out.path, programFile});
      ok = false;
    }
  }
  std::vector<Output> places = outputs;
  if (!options.graphsDir.empty()) {
    const std::string problem = outputFolderProblem(options.graphsDir);
    if (!problem.empty()) {
      logHostMessage(problems, kHostGraphsFolder, {options.graphsDir, problem});
      ok = false;
    }
    places.push_back(
        {Rendering::kGraph, "--graphs-dir", "graphs", Place::kFile, options.graphsDir});
  }
  return !clash(places, problems) && ok;
}

int writeOutputs(const output::Run &run, const Program &program, const RunOptions &options,
                 const std::vector<std::string> &inputs, Log &problems) {
  output::GraphPlaces places{{}, !options.html.empty()};
  if (!options.graphsDir.empty()) places.files = output::graphFiles(run, options.graphsDir);
  const std::vector<Output> outputs = outputsOf(options);
  const std::vector<Output> graphs = graphOutputsOf(run, places);
  bool refused = overwritesInput(outputs, inputs, problems);
  refused = overwritesInput(graphs, inputs, problems) || refused;
  refused = graphFileTaken(graphs, outputs, problems) || refused;
  if (refused) return kExitRefused;
  bool ok = options.graphsDir.empty() ||
            writeGraphFiles(graphs, options.graphsDir, run, program, places, problems);
  for (const Output &out : outputs) {
    if (out.place == Place::kNone) continue;
    ok = emit(out, render(out, run, program, places), problems) && ok;
  }
  return ok ? 0 : kExitError;
}

int runCommand(const Command &command, Host &host) {
  Log problems;
  const int status = runChecked(command, host, problems);
  printProblems(problems);
  return status;
}

void prepareFailureReports() {
  const std::string text = "vyn: " + catalogMessage(kHostGroup, kHostRunOutOfMemory) + "\n";
  outOfMemoryLength = std::min(text.size(), sizeof outOfMemoryText - 1);
  std::memcpy(outOfMemoryText, text.data(), outOfMemoryLength);
  outOfMemoryText[outOfMemoryLength] = '\0';
  std::set_terminate(&onTerminate);
}

int reportOutOfMemory() noexcept {
  writeRaw(outOfMemoryText, outOfMemoryLength);
  return kExitError;
}

int reportUnexpected(const char *what) noexcept {
  try {
    const std::string text = catalogMessage(kHostGroup, kHostUnexpected, {what});
    std::fprintf(stderr, "vyn: %s\n", text.c_str());
  } catch (...) {
    return reportOutOfMemory();
  }
  return kExitError;
}

}  // namespace vyn

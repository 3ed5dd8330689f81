#include "vyn/cli/run.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>

#include "vyn/core/catalog.h"
#include "vyn/core/files.h"
#include "vyn/core/hostmsg.h"
#include "vyn/graphs/draw.h"
#include "vyn/output/render.h"
#include "vyn/output/session.h"
#include "vyn/output/tables_csv.h"

namespace vyn {
namespace {

// One output of a run and where it goes.
enum class Place { kNone, kStandardOutput, kStandardError, kFile };
enum class Rendering { kListing, kHtml, kJson, kLog, kGraph, kTable };
struct Output {
  Rendering rendering;
  const char *option;  // the command-line option that names it
  const char *what;    // for messages
  Place place;
  std::string path;  // kFile: the path as given
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

// Where one rendering goes while the run goes on: a file written as
// OutputFile says, or standard output or error written straight into.
class Destination : public output::TextOut {
 public:
  explicit Destination(const Output &out) : out_(out) {
    if (out.place == Place::kFile) file_.emplace(out.path);
  }

  void put(std::string_view text) override {
    if (!error_.empty()) return;
    if (file_) {
      file_->write(text);
    } else if (!writeAll(out_.place == Place::kStandardOutput ? STDOUT_FILENO : STDERR_FILENO,
                         text)) {
      fail(std::strerror(errno != 0 ? errno : EIO));
    }
  }
  void fail(const std::string &reason) override {
    if (error_.empty()) error_ = reason;
  }

  // Puts the file in place; a failure is logged.
  bool finish(Log &problems) {
    if (file_ && error_.empty() && !file_->commit()) error_ = file_->error();
    if (error_.empty()) return true;
    if (out_.place == Place::kFile) {
      logHostMessage(problems, kHostOutputWrite, {out_.path, error_});
    } else {
      logHostMessage(problems, kHostStreamWrite, {out_.what, streamName(out_.place), error_});
    }
    return false;
  }

 private:
  const Output &out_;
  std::optional<OutputFile> file_;
  std::string error_;
};

// The log of a run as text, one line per entry, written as the entries
// come: into its file, put in place with the other outputs; for a standard
// stream held in an unnamed file and written at the end, after the other
// outputs, where it has always come.
class LogWriter : public LineBatch {
 public:
  explicit LogWriter(const Output &out)
      : to_(out), held_(out.place == Place::kFile ? nullptr : output::fileScratch()) {}

  // Writes what is held and puts the file in place; a failure is logged.
  bool finish(Log &problems) {
    flush();
    if (held_) held_->replay(to_);
    return to_.finish(problems);
  }

 private:
  void put(std::string_view text) override {
    if (held_) {
      held_->put(text);
    } else {
      to_.put(text);
    }
  }

  Destination to_;
  std::unique_ptr<output::Scratch> held_;
};

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

// A graph or table file that another output names, logged; true when one
// does. The files of one folder differ from each other by their names.
bool graphFileTaken(const std::vector<Output> &graphs, const std::vector<Output> &outputs,
                    Log &problems) {
  bool found = false;
  for (const Output &graph : graphs) {
    for (const Output &out : outputs) found = clash({out, graph}, problems) || found;
  }
  return found;
}

bool worseThanWarning(int rc) {
  return rc < 0 || rc > 4;
}

void printProblems(const Log &problems) {
  for (const LogEntry &e : problems.entries()) std::fprintf(stderr, "vyn: %s\n", e.text.c_str());
}

// Files written into one output folder during a run: each into a temporary
// file, all put in place with the other outputs at the end. The folder is
// made when the first file needs it; writing stops at the first failure.
class FolderFiles {
 public:
  FolderFiles(std::string dir, HostMessage folderMessage, Log &problems)
      : dir_(std::move(dir)), folderMessage_(folderMessage), problems_(problems) {}

  const std::string &dir() const { return dir_; }
  const std::vector<Output> &outputs() const { return outputs_; }

  // Writes the file at path from `fill`, which puts its pieces and returns why
  // it could not make them whole (empty when it could); false once writing
  // has failed.
  bool write(const Output &output, const output::CsvFill &fill) {
    outputs_.push_back(output);
    if (failed_ || !folderReady()) return false;
    OutputFile &file = files_.emplace_back(output.path);
    std::string error = fill([&](std::string_view piece) { file.write(piece); });
    file.close();
    if (error.empty()) error = file.error();
    if (error.empty()) return true;
    logHostMessage(problems_, kHostOutputWrite, {output.path, error});
    failed_ = true;
    return false;
  }
  bool write(const Output &output, std::string_view content) {
    return write(output, [&](const output::CsvPut &put) {
      put(content);
      return std::string();
    });
  }

  // Renames every file into place; false after a failure.
  bool commit() {
    if (!folderReady()) return false;
    for (size_t i = 0; i < files_.size() && !failed_; ++i) {
      if (files_[i].commit()) continue;
      logHostMessage(problems_, kHostOutputWrite, {outputs_[i].path, files_[i].error()});
      failed_ = true;
    }
    return !failed_;
  }

  bool folderReady() {
    if (made_) return !failed_;
    made_ = true;
    std::string error;
    if (makeFolder(dir_, &error)) return true;
    logHostMessage(problems_, folderMessage_, {dir_, error});
    failed_ = true;
    return false;
  }

 private:
  std::string dir_;
  HostMessage folderMessage_;  // the message when the folder cannot take the files
  Log &problems_;
  std::vector<Output> outputs_;  // every file named, in order
  std::vector<OutputFile> files_;
  bool made_ = false;
  bool failed_ = false;
};

// The graph files of a run: each drawn when its graph is emitted.
class GraphFiles {
 public:
  GraphFiles(std::string dir, Log &problems)
      : files_(std::move(dir), kHostGraphsFolder, problems), namer_(files_.dir()) {}

  // Writes the graph and returns the name of its file.
  std::string write(const output::Graph &graph) {
    std::string path = namer_.next(graph.name);
    files_.write({Rendering::kGraph, "--graphs-dir", "graph", Place::kFile, path},
                 graphs::drawSvg(graph));
    return path;
  }

  const std::vector<Output> &outputs() const { return files_.outputs(); }
  bool commit() { return files_.commit(); }

 private:
  FolderFiles files_;
  output::GraphNamer namer_;
};

// The table files of a run: each step's written when the step ends.
class TableFiles : public output::ItemSink {
 public:
  TableFiles(std::string dir, Log &problems)
      : files_(std::move(dir), kHostTablesFolder, problems),
        csv_(files_.dir(), [this](const std::string &path, const output::CsvFill &fill) {
          return files_.write({Rendering::kTable, "--tables-dir", "table", Place::kFile, path},
                              fill);
        }) {}

  void beginStep(const std::string &) override {}
  void logged(const LogEntry &) override {}
  void item(const output::Item &item, const output::ItemPlace &place) override {
    if (std::holds_alternative<output::Table>(item.content) && files_.folderReady())
      csv_.item(item, place);
  }
  void endStep(const output::StepRecord &step) override { csv_.endStep(step); }

  const std::vector<Output> &outputs() const { return files_.outputs(); }
  bool commit() { return files_.commit(); }

 private:
  FolderFiles files_;
  output::TablesCsv csv_;
};

// The outputs of a run written while it goes on: the listing, HTML report
// and JSON document item by item, the log entry by entry after those of the
// program, the graph files as graphs are emitted; at the end the checks
// that need the run's inputs, then every file put in place.
class RunWriter : public output::ItemSink {
 public:
  RunWriter(const RunOptions &options, const Log &programLog, Log &problems)
      : outputs_(outputsOf(options)), problems_(problems), log_(outputs_.back()) {
    for (const Output &out : outputs_) {
      if (out.place == Place::kNone || out.rendering == Rendering::kLog) continue;
      Destination &to = *destinations_.emplace_back(std::make_unique<Destination>(out));
      writers_.push_back(writerOf(out.rendering, to, !options.html.empty()));
      showsLog_ = showsLog_ || showsLog(out.rendering);
    }
    if (!options.graphsDir.empty()) graphs_.emplace(options.graphsDir, problems);
    if (!options.tablesDir.empty()) tables_.emplace(options.tablesDir, problems);
    for (const LogEntry &e : programLog.entries()) log_.add(e.level, e.text);
  }

  void logged(const LogEntry &entry) override {
    log_.add(entry.level, entry.text);
    for (auto &writer : writers_) writer->logged(entry);
  }
  // The log's lines straight, when no document shows the log.
  LineBatch *lineBatch() override { return showsLog_ ? nullptr : &log_; }

  void beginStep(const std::string &proc) override {
    for (auto &writer : writers_) writer->beginStep(proc);
  }
  void item(const output::Item &item, const output::ItemPlace &place) override {
    const auto *graph = std::get_if<output::Graph>(&item.content);
    if (graph != nullptr && graphs_) {
      writeGraph(item, *graph, place);
    } else {
      writeItem(item, place);
    }
    if (tables_) tables_->item(item, place);
  }
  void endStep(const output::StepRecord &step) override {
    for (auto &writer : writers_) writer->endStep(step);
    if (tables_) tables_->endStep(step);
  }

  // Ends every output: 0, kExitError after a failed write, or kExitRefused
  // (nothing put in place) when an output would replace one of `inputs`.
  int finish(const std::vector<std::string> &inputs) {
    for (auto &writer : writers_) writer->finish();
    const std::vector<Output> none;
    const std::vector<Output> &graphs = graphs_ ? graphs_->outputs() : none;
    const std::vector<Output> &tables = tables_ ? tables_->outputs() : none;
    std::vector<Output> others = outputs_;
    others.insert(others.end(), graphs.begin(), graphs.end());
    bool refused = overwritesInput(outputs_, inputs, problems_);
    refused = overwritesInput(graphs, inputs, problems_) || refused;
    refused = overwritesInput(tables, inputs, problems_) || refused;
    refused = graphFileTaken(graphs, outputs_, problems_) || refused;
    refused = graphFileTaken(tables, others, problems_) || refused;
    if (refused) return kExitRefused;
    bool ok = !graphs_ || graphs_->commit();
    ok = (!tables_ || tables_->commit()) && ok;
    for (auto &to : destinations_) ok = to->finish(problems_) && ok;
    ok = log_.finish(problems_) && ok;
    return ok ? 0 : kExitError;
  }

 private:
  // The item to every document; a graph's place names the file it went to.
  void writeItem(const output::Item &item, const output::ItemPlace &place) {
    for (auto &writer : writers_) writer->item(item, place);
  }

  // A graph's drawing to its file, and the graph to every document.
  [[gnu::noinline]] void writeGraph(const output::Item &item, const output::Graph &graph,
                                    const output::ItemPlace &place) {
    output::ItemPlace placed = place;
    placed.graphFile = graphs_->write(graph);
    writeItem(item, placed);
  }

  // The HTML report and JSON document show the log; the listing does not.
  static bool showsLog(Rendering rendering) {
    return rendering == Rendering::kHtml || rendering == Rendering::kJson;
  }

  static std::unique_ptr<output::DocumentWriter> writerOf(Rendering rendering, output::TextOut &to,
                                                          bool html) {
    switch (rendering) {
      case Rendering::kListing:
        return output::listingWriter(to, html);
      case Rendering::kHtml:
        return output::htmlWriter(to, &output::fileScratch);
      default:
        return output::jsonWriter(to, &output::fileScratch);
    }
  }

  const std::vector<Output> outputs_;  // listing, HTML, JSON, log
  Log &problems_;
  LogWriter log_;
  std::vector<std::unique_ptr<Destination>> destinations_;
  std::vector<std::unique_ptr<output::DocumentWriter>> writers_;
  bool showsLog_ = false;  // some document takes the log's entries
  std::optional<GraphFiles> graphs_;
  std::optional<TableFiles> tables_;
};

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
  RunWriter writer(options, program.log, problems);
  const output::Run run = runProgram(program, host, options, &writer);
  std::vector<std::string> inputs = host.inputFiles();
  if (!command.programFile.empty()) inputs.push_back(command.programFile);
  const int written = writer.finish(inputs);
  return std::max(exitStatus(run, program), written);
}

}  // namespace

output::Run runProgram(const Program &program, Host &host, const RunOptions &options,
                       output::ItemSink *sink) {
  output::Run run;
  for (const ProgramStep &ps : program.steps) {
    StepContext step;
    step.proc = ps.proc;
    step.statements = ps.statements;
    step.dataDir = options.dataDir;
    step.delimiter = options.delimiter;
    step.debug = ps.debug;
    if (sink != nullptr) {
      step.log.sendTo(sink);
      sink->beginStep(ps.proc);
    }
    output::beginStep(ps.proc, &step.log, options.graphics, sink, run.size());
    const StepOutcome outcome = host.runStep(step);
    output::StepRecord record;
    record.proc = ps.proc;
    record.rc = outcome.rc;
    record.output = output::endStep();
    if (outcome.outOfMemory) logHostMessage(step.log, kHostRunOutOfMemory);
    record.log = step.log.take();
    record.tally = step.log.tally();
    if (sink != nullptr) sink->endStep(record);
    run.push_back(std::move(record));
    if (outcome.outOfMemory) break;
  }
  return run;
}

int exitStatus(const output::Run &run, const Program &program) {
  if (program.failed || program.log.tally().errors > 0) return kExitError;
  bool warned = program.log.tally().warnings > 0;
  for (const output::StepRecord &step : run) {
    if (worseThanWarning(step.rc) || step.tally.errors > 0) return kExitError;
    warned = warned || step.rc > 0 || step.tally.warnings > 0;
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
  if (!options.tablesDir.empty()) {
    const std::string problem = outputFolderProblem(options.tablesDir);
    if (!problem.empty()) {
      logHostMessage(problems, kHostTablesFolder, {options.tablesDir, problem});
      ok = false;
    }
    places.push_back(
        {Rendering::kTable, "--tables-dir", "tables", Place::kFile, options.tablesDir});
  }
  return !clash(places, problems) && ok;
}

int writeOutputs(const output::Run &run, const Program &program, const RunOptions &options,
                 const std::vector<std::string> &inputs, Log &problems) {
  RunWriter writer(options, program.log, problems);
  output::replayRun(run, {}, writer);
  return writer.finish(inputs);
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

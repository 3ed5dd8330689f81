// vyn: runs a program of procedure steps against CSV data and renders every
// table and graph as a text listing, an HTML report and JSON.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "vyn/cli/run.h"
#include "vyn/core/catalog.h"
#include "vyn/core/hostmsg.h"
#include "vyn/data/csv.h"

namespace {

constexpr const char *kVersion = "vyn 0.1.0 (procedure KRAVO)";

struct Arguments {
  vyn::Command command;
  bool graphics = false;
  bool noGraphics = false;
};

// The help and version texts go to standard output too: a failed write there
// is an error like any other.
int flushedStatus(int status) {
  const bool flushed = std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
  return flushed ? status : std::max(status, vyn::kExitError);
}

// The delimiter of --delimiter into the run's options; a message and false
// when it cannot separate fields.
bool takeDelimiter(const std::string &written, vyn::RunOptions &run) {
  const std::optional<char> delimiter = vyn::data::delimiterFrom(written);
  if (!delimiter) {
    const std::string text = vyn::catalogMessage(vyn::kHostGroup, vyn::data::kMsgBadDelimiter,
                                                 {vyn::data::quoteInsert(written)});
    std::fprintf(stderr, "vyn: %s\n", text.c_str());
    return false;
  }
  run.delimiter = *delimiter;
  return true;
}

int runArguments(int argc, char **argv) {
  Arguments args;
  vyn::RunOptions &run = args.command.options;
  CLI::App app{"Runs a program of procedure steps against CSV data."};
  app.set_version_flag("--version", kVersion);
  app.add_option("--data-dir", run.dataDir, "Folder of the data sets (default: the program's)");
  std::string delimiter;
  auto *delimiterGiven =
      app.add_option("--delimiter", delimiter,
                     "Field delimiter of the data files, such as ';', '|' or tab (default ','); "
                     "a schema's \"dialect\" wins for its file");
  app.add_option("--listing", run.listing, "Write the text listing here (default and -: stdout)");
  app.add_option("--log", run.log, "Write the log here (default: stderr; -: stdout)");
  app.add_option("--html", run.html, "Write the HTML report here (-: stdout)");
  app.add_option("--json", run.json, "Write the JSON document here (-: stdout)");
  app.add_option("--graphs-dir", run.graphsDir, "Write one SVG file per graph into this folder");
  app.add_option("--tables-dir", run.tablesDir,
                 "Write one CSV file per step and table name into this folder");
  auto *on = app.add_flag("--graphics", args.graphics,
                          "Produce graphs (default with --html or --graphs-dir)");
  app.add_flag("--no-graphics", args.noGraphics, "Produce no graphs")
      ->excludes(on)
      ->excludes("--graphs-dir");
  bool quiet = false;
  app.add_flag("--quiet", quiet, "Show no progress of long reads on standard error");
  auto *text =
      app.add_option("-e", args.command.programText, "Run this program text instead of a file");
  app.add_option("PROGRAM", args.command.programFile, "The program file")->excludes(text);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError &e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : vyn::kExitRefused;
  }
  if (args.command.programFile.empty() && args.command.programText.empty()) {
    std::fprintf(stderr, "vyn: give a PROGRAM file or -e TEXT (see --help)\n");
    return vyn::kExitRefused;
  }
  if (delimiterGiven->count() > 0 && !takeDelimiter(delimiter, run)) return vyn::kExitRefused;
  if (run.listing.empty()) run.listing = "-";
  run.graphics =
      args.graphics || (!args.noGraphics && (!run.html.empty() || !run.graphsDir.empty()));

  vyn::Host host;
  host.showProgress() = !quiet && ::isatty(STDERR_FILENO) == 1;
  std::string error;
  if (!host.loadModule(vyn::defaultModulePath(), &error)) {
    vyn::Log problems;
    vyn::logHostMessage(problems, vyn::kHostModuleLoad, {error});
    std::fprintf(stderr, "vyn: %s\n", problems.entries().front().text.c_str());
    return vyn::kExitError;
  }
  return vyn::runCommand(args.command, host);
}

}  // namespace

int main(int argc, char **argv) {
  const int status = vyn::runGuarded([&] {
    vyn::prepareFailureReports();
    return runArguments(argc, argv);
  });
  return flushedStatus(status);
}

// vyn: runs a program of procedure steps against CSV data and renders every
// table as a text listing, an HTML report and JSON.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <string>

#include "vyn/cli/run.h"
#include "vyn/core/files.h"
#include "vyn/core/hostmsg.h"

namespace {

constexpr const char *kVersion = "vyn 0.1.0 (procedure KRAVO)";

struct Arguments {
  vyn::RunOptions run;
  std::string program;
  std::string text;
  bool graphics = false;
  bool noGraphics = false;
};

int reportProblems(const vyn::Log &log, int status) {
  for (const vyn::LogEntry &e : log.entries()) std::fprintf(stderr, "vyn: %s\n", e.text.c_str());
  return status;
}

}  // namespace

int main(int argc, char **argv) {
  Arguments args;
  CLI::App app{"Runs a program of procedure steps against CSV data."};
  app.set_version_flag("--version", kVersion);
  app.add_option("--data-dir", args.run.dataDir,
                 "Folder of the data sets (default: the program's)");
  app.add_option("--listing", args.run.listing, "Write the text listing here (default: stdout)");
  app.add_option("--log", args.run.log, "Write the log here (default: stderr)");
  app.add_option("--html", args.run.html, "Write the HTML report here");
  app.add_option("--json", args.run.json, "Write the JSON document here");
  auto *on = app.add_flag("--graphics", args.graphics, "Produce graphs");
  app.add_flag("--no-graphics", args.noGraphics, "Produce no graphs")->excludes(on);
  auto *text = app.add_option("-e", args.text, "Run this program text instead of a file");
  app.add_option("PROGRAM", args.program, "The program file")->excludes(text);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError &e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : 3;
  }
  if (args.program.empty() && args.text.empty()) {
    std::fprintf(stderr, "vyn: give a PROGRAM file or -e TEXT (see --help)\n");
    return 3;
  }

  vyn::Log problems;
  std::string source = args.text;
  if (!args.program.empty()) {
    std::string error;
    if (!vyn::readWholeFile(args.program, &source, &error)) {
      vyn::logHostMessage(problems, vyn::kHostProgramRead, {args.program, error});
      return reportProblems(problems, 2);
    }
    if (args.run.dataDir == ".") {
      const auto folder = std::filesystem::path(args.program).parent_path();
      if (!folder.empty()) args.run.dataDir = folder.string();
    }
  }
  if (args.run.listing.empty()) args.run.listing = "-";
  if (args.run.log.empty()) args.run.log = "-";
  args.run.graphics = args.graphics || (!args.noGraphics && !args.run.html.empty());

  const vyn::Program program = vyn::readProgram(source);
  vyn::Host host;
  std::string error;
  if (!host.loadModule(vyn::defaultModulePath(), &error)) {
    vyn::logHostMessage(problems, vyn::kHostModuleLoad, {error});
    return reportProblems(problems, 2);
  }
  const vyn::output::Run run = vyn::runProgram(program, host, args.run);
  const bool written = vyn::writeOutputs(run, program, args.run, problems);
  const int status = vyn::exitStatus(run, program);
  return written ? status : reportProblems(problems, 2);
}

#include "vyn/cli/run.h"

#include <cstdio>
#include <iostream>

#include "vyn/core/files.h"
#include "vyn/core/hostmsg.h"
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
    text +=
        "NOTE: PROC " + step.proc + " ended with return code " + std::to_string(step.rc) + ".\n";
  }
  return text;
}

bool emit(const std::string &path, const std::string &content, FILE *console, Log &problems) {
  if (path.empty()) return true;
  if (path == "-") {
    std::fwrite(content.data(), 1, content.size(), console);
    return true;
  }
  std::string error;
  if (writeFileAtomically(path, content, &error)) return true;
  logHostMessage(problems, kHostOutputWrite, {path, error});
  return false;
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
    output::beginStep(ps.proc, &step.log);
    const StepOutcome outcome = host.runStep(step);
    output::StepRecord record;
    record.proc = ps.proc;
    record.rc = outcome.rc;
    record.output = output::endStep();
    record.log = step.log.entries();
    run.push_back(std::move(record));
  }
  return run;
}

int exitStatus(const output::Run &run, const Program &program) {
  if (program.failed) return 2;
  int worst = 0;
  for (const output::StepRecord &step : run) worst = std::max(worst, step.rc);
  for (const LogEntry &e : program.log.entries()) {
    if (e.level == LogLevel::kWarning) worst = std::max(worst, 4);
  }
  if (worst == 0) return 0;
  return worst <= 4 ? 1 : 2;
}

bool writeOutputs(const output::Run &run, const Program &program, const RunOptions &options,
                  Log &problems) {
  bool ok = emit(options.listing, output::renderListing(run), stdout, problems);
  ok = emit(options.html, output::renderHtml(run), stdout, problems) && ok;
  ok = emit(options.json, output::renderJson(run), stdout, problems) && ok;
  ok = emit(options.log, logText(run, program), stderr, problems) && ok;
  return ok;
}

}  // namespace vyn

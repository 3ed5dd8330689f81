// The host: the connection and the loaded module, and the run of one step
// from the procedure entry to the exit service.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "vyn/core/connection.h"
#include "vyn/core/module.h"
#include "vyn/core/step.h"

namespace vyn::data {
class DataSet;
}

namespace vyn {

// Thrown by the exit service: unwinds the module to the step runner.
struct StepExit {
  int code;  // the step's return code
};

// What a finished step left behind.
struct StepOutcome {
  int rc = 0;                 // return code passed to the exit service
  size_t leftStepBlocks = 0;  // step-pool blocks still allocated when the step ended
  size_t leftWorkBlocks = 0;  // work-pool blocks still allocated when the step ended
  bool outOfMemory = false;   // an allocation failed: the run should stop
};

class Host {
 public:
  Host();
  ~Host();
  Host(const Host &) = delete;
  Host &operator=(const Host &) = delete;

  // Loads the module from a file; false with a reason in `error` on failure.
  bool loadModule(const std::string &path, std::string *error);
  // Uses a module linked into the program.
  void useLinkedModule(mcn_main_fn entry);
  // True when the module has a procedure of that name.
  bool hasProcedure(const std::string &proc) const;

  // Runs one step; the step's log receives everything the step wrote. An
  // exception that ends the step is logged (a data error by its catalogue
  // message, running out of memory as message 101 with return code 1016).
  // Only a failure to allocate that very log entry leaves as std::bad_alloc.
  StepOutcome runStep(StepContext &step);

  Connection &connection() { return connection_; }
  // The host running a step now (the services reach it through here).
  static Host &current();
  StepContext &step() { return *step_; }
  // The data set most recently read: the default input of a later step.
  std::string &lastDataPath() { return lastDataPath_; }
  // Every file that the steps have read (data files and their schemas).
  std::vector<std::string> &inputFiles() { return inputFiles_; }
  // The data sets opened by the steps so far: a later step on the same
  // unchanged file reads it without typing its columns again.
  std::vector<std::shared_ptr<data::DataSet>> &dataSets() { return dataSets_; }
  // Long reads show their progress on standard error (a terminal, no --quiet).
  bool &showProgress() { return showProgress_; }

 private:
  Connection connection_;
  std::unique_ptr<Module> module_;
  StepContext *step_ = nullptr;
  std::string lastDataPath_;
  std::vector<std::string> inputFiles_;
  std::vector<std::shared_ptr<data::DataSet>> dataSets_;
  bool showProgress_ = false;
};

// The parser's view of the data sets of the step being run.
ParseHost &stepParseHost();

}  // namespace vyn

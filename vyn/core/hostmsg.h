// The host's own messages (group 210) and the helper that logs them.
#pragma once

#include <string>
#include <vector>

#include "vyn/core/log.h"
#include "vyn/data/error.h"

namespace vyn {

inline constexpr int kHostGroup = 210;

enum HostMessage : int {
  kHostMissingService = 100,    // the module called a service the host does not offer
  kHostOutOfMemory = 101,       // an allocation failed
  kHostHostStatus = 102,        // a host call failed with a status
  kHostUnknownProcedure = 103,  // no module has the procedure
  kHostStrayStatement = 104,    // a statement outside any step
  kHostNoExit = 105,            // the procedure returned without the exit service
  kHostStepFault = 106,         // the step failed inside the host
  kHostModuleLoad = 107,        // the module could not be loaded
  kHostProgramRead = 108,       // the program file could not be read
  kHostUnterminated = 109,      // the program ended inside a step
  kHostUnclosedComment = 110,   // a comment is not closed
  kHostOutputWrite = 111,       // an output file could not be written
  kHostOutputPath = 112,        // an output path cannot be written
  kHostOutputTwice = 113,       // two outputs name the same place
  kHostOutputIsInput = 114,     // an output path is an input of the run
  kHostStreamWrite = 115,       // standard output or standard error could not be written
  kHostRunOutOfMemory = 116,    // the run itself ran out of memory
  kHostUnexpected = 117,        // an exception reached the command's entry
  kHostGraphsFolder = 118,      // the folder of the graph files cannot take them
  kHostTablesFolder = 119,      // the folder of the table files cannot take them
  kHostStepRead = 320,          // what a step read
  kHostStepReadWhere = 321,     // what a step read and WHERE= kept
  kHostStepTime = 322,          // how long a step took
  kHostStepCode = 323,          // the return code of a step, in words
  kHostStepClean = 324,         // a step that ended with return code 0
  kHostCodeWarning = 330,       // the words of the return codes
  kHostCodeGroup = 331,
  kHostCodeData = 332,
  kHostCodeHost = 333,
  kHostCodeMemory = 334,
  kHostCodeStatement = 335,
  kHostCodeFailed = 336,
  kHostMappedNames = 344,    // %1 file, %2 the mapped names (vyn/catalog/ecosystem.msg)
  kHostBadText = 349,        // %1 file, %2 line, %3 column, %4 variable: text that is not UTF-8
  kHostMappedColumns = 362,  // %1 data set, %2 the mapped names (vyn/catalog/sqlite.msg)
};

// Logs a group-210 message with its catalogue level and inserts.
void logHostMessage(Log &log, int number, const std::vector<std::string> &inserts = {});

// Logs the catalogue message of a data-set error.
void logDataError(Log &log, const data::DataError &e);

// Ends the services' per-step state (data sets, read requests).
void endStepServices();

}  // namespace vyn

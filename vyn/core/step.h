// One procedure step as the host runs it: its statements, its log, the data
// set the parser opened and the BY request, and the services the parser
// needs from the rest of the host.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vyn/core/log.h"

namespace vyn::data {
class Where;
}

namespace vyn {

// One statement of the program text, without its closing semicolon.
struct SourceStatement {
  std::string text;  // as written; comments blanked and newlines kept, so a position in
                     // the text maps to a line and column of the program
  int line = 1;      // line of the text's first character in the program, from 1
  int column = 1;    // column of the text's first character, from 1
};

// What the BY statement asked for.
struct ByRequest {
  std::vector<int> vars;         // variable numbers, in order
  std::vector<bool> descending;  // per variable: DESCENDING written before it
  bool notsorted = false;        // NOTSORTED written anywhere in the statement
};

// A variable as the parser sees it when it expands variable lists.
struct VariableRef {
  std::string name;  // as written in the data set's header
  bool numeric;      // numeric or character
  // For a column found to be character by its cells: the file, line and
  // column of its first cell that is not a number, and that cell quoted;
  // empty otherwise.
  std::vector<std::string> firstText = {};
  // The column's name in the header when it was mapped to a valid name
  // ("Sepal.Length" for Sepal_Length); empty when it is the name.
  std::string header = {};
};

// Services of the host that the statement parser calls while it runs.
class ParseHost {
 public:
  virtual ~ParseHost() = default;
  // Opens the data set named by DATA=; logs a clear error and returns
  // nullptr when it cannot be opened. `quoted` is true for a quoted path.
  virtual void *openDataSet(std::string_view name, bool quoted) = 0;
  // The default input data set (the most recently read one), or nullptr.
  virtual void *defaultDataSet() = 0;
  // The variables of an open data set in data-set order; numbers count from 0.
  virtual const std::vector<VariableRef> &variables(void *data) = 0;
  // Records the BY request for the BY-group service.
  virtual void setByRequest(void *data, const ByRequest &request) = 0;
  // Keeps only the rows of an open data set that the WHERE= condition holds for.
  virtual void setWhere(void *data, std::unique_ptr<data::Where> where) = 0;
};

// What a step read: the data set and how many observations it gave.
struct StepInput {
  std::string dataSet;                 // path of the data set read; empty when none was read
  long long read = 0;                  // observations in the data set
  std::optional<long long> whereKept;  // observations that WHERE= kept; none without WHERE=
};

// The step being run.
struct StepContext {
  std::string proc;                         // procedure name, upper case
  std::vector<SourceStatement> statements;  // PROC statement first, RUN/QUIT excluded
  std::string dataDir;                      // where DATA= names are looked up
  char delimiter = ',';                     // of the data files, unless a schema gives another
  std::string debug;                        // the DEBUG system option text
  Log log;                                  // notes, warnings and errors of the step
  ParseHost *parseHost = nullptr;           // the parser's view of the data
  StepInput input;                          // what the step read, for its closing notes
};

// The step being run now; only valid while a step runs.
StepContext &currentStep();

}  // namespace vyn

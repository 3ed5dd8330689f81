// Fuzz target: arbitrary program text, cut into statements at semicolons,
// through the scanner, the LR engine with error repair and the semantic
// routine of the PROC KRAVO grammar, against a small in-memory data set.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "src/krvstg.h"
#include "vyn/data/where.h"
#include "vyn/parse/parser.h"

namespace {

class FuzzData : public vyn::ParseHost {
 public:
  void *openDataSet(std::string_view name, bool) override {
    return name.empty() ? nullptr : &handle_;
  }
  void *defaultDataSet() override { return &handle_; }
  const std::vector<vyn::VariableRef> &variables(void *) override { return vars_; }
  void setByRequest(void *, const vyn::ByRequest &) override {}
  void setWhere(void *, std::unique_ptr<vyn::data::Where>) override {}

 private:
  int handle_ = 0;
  std::vector<vyn::VariableRef> vars_ = {{"y1", true},  {"y2", true},  {"x1", true},
                                         {"x2", true},  {"g", false},  {"data", true},
                                         {"t1", false}, {"t2", false}, {"w", true}};
};

// Statements end at semicolons outside quotes, as the step runner cuts them.
std::vector<vyn::SourceStatement> statements(const std::string &text) {
  std::vector<vyn::SourceStatement> out;
  vyn::SourceStatement current{"", 1, 1};
  int line = 1, column = 1;
  char quote = 0;
  for (char c : text) {
    if (quote == 0 && c == ';') {
      out.push_back(current);
      current = {"", line, column + 1};
    } else {
      if (c == '\'' || c == '"') quote = quote == 0 ? c : (quote == c ? 0 : quote);
      current.text += c;
    }
    if (c == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  out.push_back(current);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FuzzData host;
  vyn::StepContext step;
  step.proc = "KRAVO";
  step.parseHost = &host;
  step.statements = statements(std::string(reinterpret_cast<const char *>(data), size));
  vyn::StepParse parse;
  vyn::parseStep(step, parse, krv_pc, vyn::kTraceSyntax | vyn::kTraceSemantic);
  return 0;
}

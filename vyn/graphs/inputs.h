// What a graph template reads from its graph: the dynamic variables (texts
// and numbers) and the columns of the attached data objects, with missing
// cells as NaN, and label patterns such as "{_XLAB|_VARNAME} ({_CLASS1})".
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "vyn/output/document.h"

namespace vyn::graphs {

class Inputs {
 public:
  explicit Inputs(const output::Graph &graph) : graph_(graph) {}

  // The text of a dynamic variable, trailing blanks removed; empty when absent.
  std::string text(std::string_view name) const;
  bool flag(std::string_view name) const { return text(name) == "y"; }
  // A dynamic number, or the first valid value of the column the dynamic
  // variable names in data object `data`; NaN when neither gives one.
  double scalar(std::string_view name, size_t data) const;
  bool has(std::string_view name) const;

  // The column that the dynamic variable `name` names in data object `data`,
  // or the column called `name` itself when name has no leading underscore.
  const output::DataColumn *column(size_t data, std::string_view name) const;
  // Its cells as numbers (NaN for missing or text) and as texts.
  std::vector<double> numbers(size_t data, std::string_view name) const;
  std::vector<std::string> texts(size_t data, std::string_view name) const;

  // The pattern with each {A|B|...} replaced by the first of those dynamic
  // variables that has a text.
  std::string fill(std::string_view pattern) const;

 private:
  const output::Graph &graph_;
};

}  // namespace vyn::graphs

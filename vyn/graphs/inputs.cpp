// Reading a graph's dynamic variables and data columns.
#include "vyn/graphs/inputs.h"

#include <cmath>
#include <cstdio>

namespace vyn::graphs {
namespace {

const output::DynamicValue *dynamic(const output::Graph &g, std::string_view name) {
  for (const auto &[key, value] : g.dynamics)
    if (key == name) return &value;
  return nullptr;
}

double cellNumber(const output::Cell &cell) {
  if (const double *d = std::get_if<double>(&cell)) return *d;
  if (const long long *i = std::get_if<long long>(&cell)) return double(*i);
  return NAN;
}

std::string cellText(const output::Cell &cell) {
  if (const std::string *s = std::get_if<std::string>(&cell)) return *s;
  if (const long long *i = std::get_if<long long>(&cell)) return std::to_string(*i);
  if (const double *d = std::get_if<double>(&cell)) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.12g", *d);
    return buf;
  }
  return "";
}

}  // namespace

std::string Inputs::text(std::string_view name) const {
  const output::DynamicValue *v = dynamic(graph_, name);
  const std::string *s = v ? std::get_if<std::string>(v) : nullptr;
  if (!s) return "";
  return s->substr(0, s->find_last_not_of(' ') + 1);
}

bool Inputs::has(std::string_view name) const {
  return dynamic(graph_, name) != nullptr;
}

double Inputs::scalar(std::string_view name, size_t data) const {
  const output::DynamicValue *v = dynamic(graph_, name);
  if (!v) return NAN;
  if (const double *d = std::get_if<double>(v)) return *d;
  for (double x : numbers(data, name))
    if (std::isfinite(x)) return x;
  return NAN;
}

const output::DataColumn *Inputs::column(size_t data, std::string_view name) const {
  if (data >= graph_.data.size() || !graph_.data[data]) return nullptr;
  const std::string columnName = name.starts_with('_') ? text(name) : std::string(name);
  for (const output::DataColumn &c : graph_.data[data]->columns)
    if (c.column.name == columnName) return &c;
  return nullptr;
}

std::vector<double> Inputs::numbers(size_t data, std::string_view name) const {
  std::vector<double> out;
  if (const output::DataColumn *c = column(data, name))
    for (const output::Cell &cell : c->cells) out.push_back(cellNumber(cell));
  return out;
}

std::vector<std::string> Inputs::texts(size_t data, std::string_view name) const {
  std::vector<std::string> out;
  if (const output::DataColumn *c = column(data, name))
    for (const output::Cell &cell : c->cells) out.push_back(cellText(cell));
  return out;
}

std::string Inputs::fill(std::string_view pattern) const {
  std::string out;
  size_t pos = 0;
  while (pos < pattern.size()) {
    const size_t open = pattern.find('{', pos), close = pattern.find('}', open);
    if (open == std::string_view::npos || close == std::string_view::npos) break;
    out += pattern.substr(pos, open - pos);
    std::string_view names = pattern.substr(open + 1, close - open - 1);
    for (std::string value; !names.empty() && value.empty();) {
      const size_t bar = std::min(names.find('|'), names.size());
      value = text(names.substr(0, bar));
      out += value;
      names.remove_prefix(std::min(bar + 1, names.size()));
    }
    pos = close + 1;
  }
  return out + std::string(pattern.substr(std::min(pos, pattern.size())));
}

}  // namespace vyn::graphs

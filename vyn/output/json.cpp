// The JSON document of a run, per the output contract "vyn-output/1".
#include <cstdio>
#include <limits>
#include <nlohmann/json.hpp>

#include "vyn/data/missing.h"
#include "vyn/output/layout.h"
#include "vyn/output/render.h"

namespace vyn::output {
namespace {

using json = nlohmann::ordered_json;

std::string missingString(char letter) {
  return letter == '.' ? std::string(".") : std::string(".") + letter;
}

json numberJson(double value) {
  if (value != value) return missingString(vyn::data::missingLetter(value));
  if (value == std::numeric_limits<double>::infinity()) return missingString('I');
  if (value == -std::numeric_limits<double>::infinity()) return missingString('M');
  return value;
}

json cellJson(const Cell &cell) {
  if (const auto *d = std::get_if<double>(&cell)) return numberJson(*d);
  if (const auto *i = std::get_if<long long>(&cell)) return *i;
  if (const auto *m = std::get_if<Missing>(&cell)) return missingString(m->letter);
  return std::get<std::string>(cell);
}

json attributeJson(const AttrValue &value) {
  if (const auto *d = std::get_if<double>(&value)) return numberJson(*d);
  if (const auto *i = std::get_if<long long>(&value)) return *i;
  if (const auto *b = std::get_if<bool>(&value)) return *b;
  return std::get<std::string>(value);
}

json attributesJson(const Attributes &attributes) {
  json out = json::object();
  for (const auto &[name, value] : attributes) out[name] = attributeJson(value);
  return out;
}

const char *typeName(ColumnType type) {
  switch (type) {
    case ColumnType::kInt:
      return "int";
    case ColumnType::kChar:
      return "char";
    default:
      return "num";
  }
}

json columnJson(const Column &c) {
  json out = {{"name", c.name}, {"label", c.label}, {"type", typeName(c.type)}};
  if (!c.format.empty()) out["format"] = c.format;
  out["print"] = c.print;
  if (!c.attributes.empty()) out["attributes"] = attributesJson(c.attributes);
  return out;
}

json byJson(const std::vector<ByValue> &by) {
  json out = json::array();
  for (const ByValue &b : by) {
    out.push_back({{"name", b.name}, {"value", b.value}, {"formatted", b.formatted}});
  }
  return out;
}

json tableJson(const Table &t) {
  json out = {{"type", "table"}, {"name", t.name}, {"path", t.path}, {"label", t.label}};
  out["attributes"] = attributesJson(t.attributes);
  json columns = json::array();
  for (const Column &c : t.columns) columns.push_back(columnJson(c));
  out["columns"] = std::move(columns);
  json rows = json::array();
  for (const auto &row : t.rows) {
    json r = json::array();
    for (const Cell &cell : row) r.push_back(cellJson(cell));
    rows.push_back(std::move(r));
  }
  out["rows"] = std::move(rows);
  return out;
}

json dynamicJson(const DynamicValue &value) {
  if (const auto *d = std::get_if<double>(&value)) return numberJson(*d);
  return std::get<std::string>(value);
}

// The names of the data objects attached, in the order of their positions.
json dataNamesJson(const std::vector<std::shared_ptr<const DataObject>> &data) {
  json out = json::array();
  for (const auto &object : data) {
    if (object) out.push_back(object->name);
  }
  return out;
}

json graphJson(const Graph &g, const std::string &file) {
  json out = {{"type", "graph"},
              {"name", g.name},
              {"template", g.path},
              {"label", g.label},
              {"title", g.title}};
  json dynamics = json::object();
  for (const auto &[name, value] : g.dynamics) dynamics[name] = dynamicJson(value);
  out["dynamics"] = std::move(dynamics);
  out["data"] = dataNamesJson(g.data);
  if (!file.empty()) out["file"] = file;
  return out;
}

json itemJson(const Item &item, const std::string &file) {
  json out = std::visit(Overloaded{
                            [](const Table &t) { return tableJson(t); },
                            [](const Note &n) {
                              return json{{"type", "note"}, {"name", n.name}, {"text", n.text}};
                            },
                            [&](const Graph &g) { return graphJson(g, file); },
                        },
                        item.content);
  out["group"] = {{"name", item.group.name}, {"label", item.group.label}};
  out["by"] = byJson(item.by);
  return out;
}

// A heading that the listing shows before `item`, under the item's group and BY group.
json headingJson(const std::string &text, const Item &item) {
  return {{"type", "heading"},
          {"text", text},
          {"group", {{"name", item.group.name}, {"label", item.group.label}}},
          {"by", byJson(item.by)}};
}

const char *levelText(LogLevel level) {
  switch (level) {
    case LogLevel::kWarning:
      return "warning";
    case LogLevel::kError:
      return "error";
    default:
      return "note";
  }
}

json logJson(const std::vector<LogEntry> &log) {
  json out = json::array();
  for (const LogEntry &e : log) {
    json entry = {{"level", levelText(e.level)}};
    if (e.group != 0) {
      entry["group"] = e.group;
      entry["number"] = e.number;
    }
    entry["text"] = e.text;
    out.push_back(std::move(entry));
  }
  return out;
}

json runJson(const Run &run, const GraphPlaces &graphs) {
  json steps = json::array();
  for (size_t s = 0; s < run.size(); ++s) {
    const StepRecord &step = run[s];
    json output = json::array();
    for (size_t i = 0; i < step.output.size(); ++i) {
      const Item &item = step.output[i];
      const Preamble p = preambleOf(item, i == 0 ? nullptr : &step.output[i - 1]);
      for (const auto *titles : {&p.above, &p.below}) {
        for (const std::string &t : *titles) output.push_back(headingJson(t, item));
      }
      output.push_back(itemJson(item, graphs.fileOf(s, i)));
    }
    steps.push_back(
        {{"proc", step.proc}, {"rc", step.rc}, {"log", logJson(step.log)}, {"output", output}});
  }
  return {{"format", "vyn-output/1"}, {"steps", std::move(steps)}};
}

// ---- writing: 17 significant digits, arrays of scalars on one line ----

bool scalarArray(const json &j) {
  for (const json &e : j) {
    if (e.is_structured()) return false;
  }
  return true;
}

void writeScalar(std::string &out, const json &j) {
  if (j.is_number_float()) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", j.get<double>());
    out += buf;
  } else {
    out += j.dump(-1, ' ', false, json::error_handler_t::replace);
  }
}

void writeValue(std::string &out, const json &j, int depth) {
  const std::string inner(static_cast<size_t>(2 * (depth + 1)), ' ');
  const std::string outer(static_cast<size_t>(2 * depth), ' ');
  if (j.is_object()) {
    if (j.empty()) {
      out += "{}";
      return;
    }
    out += "{\n";
    bool first = true;
    for (const auto &[key, value] : j.items()) {
      out += first ? "" : ",\n";
      first = false;
      out += inner + json(key).dump(-1, ' ', false, json::error_handler_t::replace) + ": ";
      writeValue(out, value, depth + 1);
    }
    out += "\n" + outer + "}";
  } else if (j.is_array()) {
    const bool flat = scalarArray(j);
    out += flat ? "[" : "[\n";
    for (size_t i = 0; i < j.size(); ++i) {
      if (i > 0) out += flat ? ", " : ",\n";
      if (!flat) out += inner;
      writeValue(out, j[i], depth + 1);
    }
    out += flat || j.empty() ? "]" : "\n" + outer + "]";
  } else {
    writeScalar(out, j);
  }
}

}  // namespace

std::string renderJson(const Run &run, const GraphPlaces &graphs) {
  std::string out;
  writeValue(out, runJson(run, graphs), 0);
  out += '\n';
  return out;
}

}  // namespace vyn::output

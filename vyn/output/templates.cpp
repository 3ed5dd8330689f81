// Table templates, read once from the embedded templates.json.
#include "vyn/output/templates.h"

#include <nlohmann/json.hpp>

extern const char vyn_templates_json[];

namespace vyn::output {
namespace {

using nlohmann::json;

ColumnTemplate readColumn(const json &j) {
  ColumnTemplate c;
  if (j.contains("header")) {
    c.hasHeader = true;
    c.header = j["header"].get<std::string>();
  }
  c.headerAttribute = j.value("headerAttribute", "");
  c.format = j.value("format", "");
  c.hidden = j.value("hide", false);
  return c;
}

TableTemplate readTable(const json &j, const TableTemplate &base) {
  TableTemplate t = base;
  t.numberFormat = j.value("numberFormat", base.numberFormat);
  if (j.contains("columns")) {
    for (const auto &[name, column] : j["columns"].items()) t.columns[name] = readColumn(column);
  }
  if (j.contains("spans")) {
    for (const json &s : j["spans"]) {
      t.spans.push_back({s.value("attribute", ""), s.value("text", ""),
                         s.value("columns", std::vector<std::string>{})});
    }
  }
  return t;
}

struct Templates {
  TableTemplate fallback;
  std::map<std::string, TableTemplate> byPath;
};

// A template file that does not read leaves every path with the built-in default.
Templates loadTemplates() {
  const json doc = json::parse(vyn_templates_json, nullptr, false);
  if (!doc.is_object()) return {};
  try {
    Templates all;
    if (doc.contains("default")) all.fallback = readTable(doc["default"], all.fallback);
    if (doc.contains("templates")) {
      for (const auto &[path, t] : doc["templates"].items()) {
        all.byPath[path] = readTable(t, all.fallback);
      }
    }
    return all;
  } catch (const json::exception &) {
    return {};
  }
}

const Templates &templates() {
  static const Templates all = loadTemplates();
  return all;
}

}  // namespace

const TableTemplate &tableTemplate(const std::string &path) {
  const Templates &all = templates();
  auto it = all.byPath.find(path);
  return it == all.byPath.end() ? all.fallback : it->second;
}

std::string columnFormat(const TableTemplate &tmpl, const std::string &column,
                         const std::string &ownFormat, bool numeric) {
  auto it = tmpl.columns.find(column);
  if (it != tmpl.columns.end() && !it->second.format.empty()) return it->second.format;
  if (!ownFormat.empty()) return ownFormat;
  return numeric ? tmpl.numberFormat : std::string();
}

}  // namespace vyn::output

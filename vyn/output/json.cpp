// The JSON document of a run, per the output contract "vyn-output/1".
#include <algorithm>
#include <charconv>
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

json logJson(const LogEntry &e) {
  json entry = {{"level", levelText(e.level)}};
  if (e.group != 0) {
    entry["group"] = e.group;
    entry["number"] = e.number;
  }
  entry["text"] = e.text;
  return entry;
}

// ---- writing: 17 significant digits, arrays of scalars on one line ----

bool scalarArray(const json &j) {
  for (const json &e : j) {
    if (e.is_structured()) return false;
  }
  return true;
}

// A string as the library writes it: printable ASCII without quotes or
// backslashes goes between quotes as it is; anything else takes the
// library's escapes (invalid UTF-8 replaced).
void writeString(std::string &out, const std::string &s) {
  const bool plain = std::all_of(
      s.begin(), s.end(), [](char c) { return c >= 0x20 && c < 0x7F && c != '"' && c != '\\'; });
  if (!plain) {
    out += json(s).dump(-1, ' ', false, json::error_handler_t::replace);
    return;
  }
  out += '"';
  out += s;
  out += '"';
}

void writeScalar(std::string &out, const json &j) {
  char buf[40];
  if (j.is_number_float()) {  // the characters of printf's "%.17g"
    out.append(
        buf,
        std::to_chars(buf, buf + sizeof buf, j.get<double>(), std::chars_format::general, 17).ptr);
  } else if (j.is_number_unsigned()) {
    out.append(buf, std::to_chars(buf, buf + sizeof buf, j.get<unsigned long long>()).ptr);
  } else if (j.is_number_integer()) {
    out.append(buf, std::to_chars(buf, buf + sizeof buf, j.get<long long>()).ptr);
  } else if (j.is_string()) {
    writeString(out, j.get_ref<const std::string &>());
  } else {
    out += j.dump(-1, ' ', false, json::error_handler_t::replace);
  }
}

void writeValue(std::string &out, const json &j, int depth) {
  const auto inner = static_cast<size_t>(2 * (depth + 1)), outer = static_cast<size_t>(2 * depth);
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
      out.append(inner, ' ');
      writeString(out, key);
      out += ": ";
      writeValue(out, value, depth + 1);
    }
    out += '\n';
    out.append(outer, ' ');
    out += '}';
  } else if (j.is_array()) {
    const bool flat = scalarArray(j);
    out += flat ? "[" : "[\n";
    for (size_t i = 0; i < j.size(); ++i) {
      if (i > 0) out += flat ? ", " : ",\n";
      if (!flat) out.append(inner, ' ');
      writeValue(out, j[i], depth + 1);
    }
    if (!flat && !j.empty()) {
      out += '\n';
      out.append(outer, ' ');
    }
    out += ']';
  } else {
    writeScalar(out, j);
  }
}

std::string written(const json &j, int depth) {
  std::string out;
  writeValue(out, j, depth);
  return out;
}

// The document as the run goes on, laid out as the whole document would be
// written at once. A step's log entries and items are held back apart until
// its code, which comes before both, is known.
class JsonWriter : public DocumentWriter {
 public:
  JsonWriter(TextOut &out, ScratchMaker scratch) : out_(out), log_(scratch()), items_(scratch()) {
    out_.put("{\n  \"format\": \"vyn-output/1\",\n  \"steps\": ");
  }

  void beginStep(const std::string &) override {
    logCount_ = 0;
    itemCount_ = 0;
    previous_.forget();
  }

  void logged(const LogEntry &entry) override {
    log_->put((logCount_++ == 0 ? "        " : ",\n        ") + written(logJson(entry), 4));
  }

  // The item, preceded by the headings that the listing shows before it.
  void item(const Item &item, const ItemPlace &place) override {
    const Preamble p = preambleOf(item, previous_.get());
    for (const auto *titles : {&p.above, &p.below}) {
      for (const std::string &t : *titles) put(headingJson(t, item));
    }
    put(itemJson(item, place.graphFile));
    previous_.remember(item);
  }

  void endStep(const StepRecord &step) override {
    out_.put((stepCount_++ == 0 ? "[\n    {\n      \"proc\": " : ",\n    {\n      \"proc\": ") +
             written(step.proc, 3) + ",\n      \"rc\": " + written(step.rc, 3) +
             ",\n      \"log\": ");
    replayArray(*log_, logCount_);
    out_.put(",\n      \"output\": ");
    replayArray(*items_, itemCount_);
    out_.put("\n    }");
  }

  void finish() override { out_.put(stepCount_ == 0 ? "[]\n}\n" : "\n  ]\n}\n"); }

 private:
  void put(const json &j) {
    items_->put((itemCount_++ == 0 ? "        " : ",\n        ") + written(j, 4));
  }

  // An array of the step whose `count` elements `held` holds.
  void replayArray(Scratch &held, size_t count) {
    if (count == 0) {
      out_.put("[]");
      return;
    }
    out_.put("[\n");
    held.replay(out_);
    out_.put("\n      ]");
  }

  TextOut &out_;
  std::unique_ptr<Scratch> log_, items_;
  size_t logCount_ = 0;
  size_t itemCount_ = 0;
  size_t stepCount_ = 0;
  LastPlace previous_;  // where the last item stood: its headings, group and BY group
};

}  // namespace

std::unique_ptr<DocumentWriter> jsonWriter(TextOut &out, ScratchMaker scratch) {
  return std::make_unique<JsonWriter>(out, scratch);
}

std::string renderJson(const Run &run, const GraphPlaces &graphs) {
  StringOut out;
  JsonWriter writer(out, &memoryScratch);
  replayRun(run, graphs, writer);
  writer.finish();
  return out.take();
}

}  // namespace vyn::output

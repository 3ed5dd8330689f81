// The JSON document of a run, per the output contract "vyn-output/1".
#include <algorithm>
#include <charconv>
#include <limits>
#include <nlohmann/json.hpp>

#include "vyn/core/log.h"
#include "vyn/data/missing.h"
#include "vyn/output/layout.h"
#include "vyn/output/render.h"

namespace vyn::output {
namespace {

using json = nlohmann::ordered_json;

// A string as the library writes it: printable ASCII without quotes or
// backslashes goes between quotes as it is; anything else takes the
// library's escapes (invalid UTF-8 replaced).
void writeString(std::string &out, std::string_view s) {
  const bool plain = std::all_of(
      s.begin(), s.end(), [](char c) { return c >= 0x20 && c < 0x7F && c != '"' && c != '\\'; });
  if (!plain) {
    out += json(std::string(s)).dump(-1, ' ', false, json::error_handler_t::replace);
    return;
  }
  out += '"';
  out += s;
  out += '"';
}

// JSON text written as it goes, laid out as a pretty printer with two spaces
// would lay out the same document, except that an array of scalars stays on
// one line: each member of an object on its own line, the elements of an
// array of objects or arrays likewise, numbers with 17 significant digits.
// The caller says of each array whether it holds only scalars.
class JsonText {
 public:
  // The text goes to `out`; the value written first stands at `depth`.
  JsonText(std::string &out, int depth) : out_(out), depth_(depth) {}

  JsonText &key(std::string_view name) {
    separate();
    writeString(out_, name);
    out_ += ": ";
    afterKey_ = true;
    return *this;
  }
  JsonText &beginObject() { return open('{', false); }
  JsonText &endObject() { return close('}'); }
  JsonText &beginArray(bool scalars) { return open('[', scalars); }
  JsonText &endArray() { return close(']'); }

  JsonText &string(std::string_view s) {
    value();
    writeString(out_, s);
    return *this;
  }
  // A number; a missing or infinite value as its missing-value notation.
  JsonText &number(double v) {
    if (v != v) return missing(vyn::data::missingLetter(v));
    if (v == std::numeric_limits<double>::infinity()) return missing('I');
    if (v == -std::numeric_limits<double>::infinity()) return missing('M');
    char buf[40];  // the characters of printf's "%.17g"
    value();
    out_.append(buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 17).ptr);
    return *this;
  }
  JsonText &integer(long long v) {
    char buf[24];
    value();
    out_.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
    return *this;
  }
  JsonText &boolean(bool v) {
    value();
    out_ += v ? "true" : "false";
    return *this;
  }
  JsonText &missing(char letter) {
    const char text[] = {'.', letter};
    return string(std::string_view(text, letter == '.' ? 1 : 2));
  }

 private:
  struct Level {
    bool scalars;      // an array of scalars, on one line; false for objects
    bool any = false;  // a member or element has been written
    int depth;
  };

  JsonText &open(char bracket, bool scalars) {
    value();
    out_ += bracket;
    levels_.push_back({scalars, false, levels_.empty() ? depth_ : levels_.back().depth + 1});
    return *this;
  }
  JsonText &close(char bracket) {
    const Level l = levels_.back();
    levels_.pop_back();
    if (l.any && !l.scalars) {
      out_ += '\n';
      out_.append(static_cast<size_t>(2 * l.depth), ' ');
    }
    out_ += bracket;
    return *this;
  }
  // Before a value: the separator of an array's element; a member's comes with its key.
  void value() {
    if (afterKey_) {
      afterKey_ = false;
    } else if (!levels_.empty()) {
      separate();
    }
  }
  void separate() {
    Level &l = levels_.back();
    if (l.scalars) {
      if (l.any) out_ += ", ";
    } else {
      out_ += l.any ? ",\n" : "\n";
      out_.append(static_cast<size_t>(2 * (l.depth + 1)), ' ');
    }
    l.any = true;
  }

  std::string &out_;
  int depth_;
  std::vector<Level> levels_;
  bool afterKey_ = false;
};

// A table cell or an attribute value.
template <class Scalar>
void writeScalar(JsonText &j, const Scalar &value) {
  std::visit(Overloaded{
                 [&](double v) { j.number(v); },
                 [&](long long v) { j.integer(v); },
                 [&](bool v) { j.boolean(v); },
                 [&](const Missing &m) { j.missing(m.letter); },
                 [&](const std::string &s) { j.string(s); },
             },
             value);
}

void writeAttributes(JsonText &j, const Attributes &attributes) {
  j.beginObject();
  for (const auto &[name, value] : attributes) writeScalar(j.key(name), value);
  j.endObject();
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

void writeColumn(JsonText &j, const Column &c) {
  j.beginObject().key("name").string(c.name).key("label").string(c.label);
  j.key("type").string(typeName(c.type));
  if (!c.format.empty()) j.key("format").string(c.format);
  j.key("print").boolean(c.print);
  if (!c.attributes.empty()) writeAttributes(j.key("attributes"), c.attributes);
  j.endObject();
}

void writeTable(JsonText &j, const Table &t) {
  j.key("type").string("table").key("name").string(t.name).key("path").string(t.path);
  j.key("label").string(t.label);
  writeAttributes(j.key("attributes"), t.attributes);
  j.key("columns").beginArray(t.columns.empty());
  for (const Column &c : t.columns) writeColumn(j, c);
  j.endArray();
  j.key("rows").beginArray(t.rows.empty());
  for (const auto &row : t.rows) {
    j.beginArray(true);
    for (const Cell &cell : row) writeScalar(j, cell);
    j.endArray();
  }
  j.endArray();
}

// The graph's dynamic variables in the order first set, each with its last value.
void writeDynamics(JsonText &j, const Graph &g) {
  j.beginObject();
  const auto &d = g.dynamics;
  for (auto it = d.begin(); it != d.end(); ++it) {
    const auto same = [&](const auto &e) { return e.first == it->first; };
    if (std::any_of(d.begin(), it, same)) continue;
    const DynamicValue &value = std::find_if(d.rbegin(), d.rend(), same)->second;
    j.key(it->first);
    if (const auto *v = std::get_if<double>(&value)) {
      j.number(*v);
    } else {
      j.string(std::get<std::string>(value));
    }
  }
  j.endObject();
}

void writeGraph(JsonText &j, const Graph &g, const std::string &file) {
  j.key("type").string("graph").key("name").string(g.name).key("template").string(g.path);
  j.key("label").string(g.label).key("title").string(g.title);
  writeDynamics(j.key("dynamics"), g);
  // the names of the data objects attached, in the order of their positions
  j.key("data").beginArray(true);
  for (const auto &object : g.data) {
    if (object) j.string(object->name);
  }
  j.endArray();
  if (!file.empty()) j.key("file").string(file);
}

// The item's group and BY group, which close every item.
void writePlace(JsonText &j, const Item &item) {
  j.key("group").beginObject().key("name").string(item.group.name);
  j.key("label").string(item.group.label).endObject();
  j.key("by").beginArray(item.by.empty());
  for (const ByValue &b : item.by) {
    j.beginObject().key("name").string(b.name).key("value").string(b.value);
    j.key("formatted").string(b.formatted).endObject();
  }
  j.endArray();
}

void writeItem(JsonText &j, const Item &item, const std::string &file) {
  j.beginObject();
  std::visit(Overloaded{
                 [&](const Table &t) { writeTable(j, t); },
                 [&](const Note &n) {
                   j.key("type").string("note").key("name").string(n.name);
                   j.key("text").string(n.text);
                 },
                 [&](const Graph &g) { writeGraph(j, g, file); },
             },
             item.content);
  writePlace(j, item);
  j.endObject();
}

// A heading that the listing shows before `item`, under the item's group and BY group.
void writeHeading(JsonText &j, const std::string &text, const Item &item) {
  j.beginObject().key("type").string("heading").key("text").string(text);
  writePlace(j, item);
  j.endObject();
}

void writeLogEntry(JsonText &j, const LogEntry &e) {
  j.beginObject().key("level").string(levelName(e.level));
  if (e.group != 0) j.key("group").integer(e.group).key("number").integer(e.number);
  j.key("text").string(e.text).endObject();
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
    text_.assign(logCount_++ == 0 ? "        " : ",\n        ");
    JsonText j(text_, 4);
    writeLogEntry(j, entry);
    log_->put(text_);
  }

  // The item, preceded by the headings that the listing shows before it.
  void item(const Item &item, const ItemPlace &place) override {
    const Preamble p = preambleOf(item, previous_.get());
    text_.clear();
    for (const auto *titles : {&p.above, &p.below}) {
      for (const std::string *t : *titles) {
        JsonText j = nextItem();
        writeHeading(j, *t, item);
      }
    }
    JsonText j = nextItem();
    writeItem(j, item, place.graphFile);
    items_->put(text_);
    previous_.remember(item);
  }

  void endStep(const StepRecord &step) override {
    text_.assign(stepCount_++ == 0 ? "[\n    {\n      \"proc\": " : ",\n    {\n      \"proc\": ");
    JsonText(text_, 3).string(step.proc);
    text_ += ",\n      \"rc\": ";
    JsonText(text_, 3).integer(step.rc);
    text_ += ",\n      \"log\": ";
    out_.put(text_);
    replayArray(*log_, logCount_);
    out_.put(",\n      \"output\": ");
    replayArray(*items_, itemCount_);
    out_.put("\n    }");
  }

  void finish() override { out_.put(stepCount_ == 0 ? "[]\n}\n" : "\n  ]\n}\n"); }

 private:
  // The writer of the next element of the step's output, after its separator; the
  // item and its headings gather in text_.
  JsonText nextItem() {
    text_ += itemCount_++ == 0 ? "        " : ",\n        ";
    return JsonText(text_, 4);
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
  std::string text_;    // the text being put, kept for its capacity
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

// The HTML page of a run: contents by step, BY group and output group, the
// tables, notes and graphs, and each step's log.
#include <algorithm>
#include <string>
#include <string_view>

#include "vyn/core/log.h"
#include "vyn/core/utf8.h"
#include "vyn/graphs/draw.h"
#include "vyn/output/layout.h"
#include "vyn/output/render.h"

namespace vyn::output {
namespace {

std::string escaped(const std::string &text) {
  std::string out;
  for (char c : validUtf8(text)) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string anchor(size_t step, size_t item) {
  return "s" + std::to_string(step + 1) + "i" + std::to_string(item + 1);
}

// The item's entry in the contents.
std::string itemName(const Item &item) {
  return std::visit(
      Overloaded{
          [](const Table &t) { return t.label.empty() ? t.name : t.label; },
          [](const Note &n) { return n.name; },
          [](const Graph &g) {
            return !g.contentsLabel.empty() ? g.contentsLabel : !g.label.empty() ? g.label : g.name;
          },
      },
      item.content);
}

std::string groupName(const GroupRef &group) {
  return group.label.empty() ? group.name : group.label;
}

std::string cellTag(const char *tag, const std::string &text, bool numeric) {
  return std::string("<") + tag + (numeric ? " class=\"n\">" : ">") + escaped(text) + "</" + tag +
         ">";
}

const Span *spanAt(const TableLayout &layout, size_t k) {
  for (const Span &s : layout.spans) {
    if (s.first == k) return &s;
  }
  return nullptr;
}

// With spanning headers: a first row of the spans, where every column
// outside a span takes both rows; the second row holds the spanned headers.
void writeHeaderRows(std::string &out, const TableLayout &layout) {
  const size_t n = layout.headers.size();
  if (layout.spans.empty()) {
    out += "<tr>";
    for (size_t k = 0; k < n; ++k) out += cellTag("th", layout.headers[k], layout.numeric[k]);
    out += "</tr>\n</thead>\n<tbody>\n";
    return;
  }
  std::string second;
  out += "<tr>";
  for (size_t k = 0; k < n;) {
    const Span *span = spanAt(layout, k);
    if (span == nullptr) {
      out += std::string("<th rowspan=\"2\"") + (layout.numeric[k] ? " class=\"n\">" : ">") +
             escaped(layout.headers[k]) + "</th>";
      ++k;
      continue;
    }
    out += "<th colspan=\"" + std::to_string(span->count) + "\" class=\"span\">" +
           escaped(span->text) + "</th>";
    for (size_t j = 0; j < span->count; ++j, ++k) {
      second += cellTag("th", layout.headers[k], layout.numeric[k]);
    }
  }
  out += "</tr>\n<tr>" + second + "</tr>\n</thead>\n<tbody>\n";
}

void writeTable(std::string &out, const Table &table, const TableLayout &layout,
                const std::string &id) {
  out += "<table id=\"" + id + "\">\n<caption>" + escaped(table.label) + "</caption>\n<thead>\n";
  writeHeaderRows(out, layout);

  const size_t n = layout.headers.size();
  for (size_t r = 0, first = 0; r < layout.rows; ++r, first += n) {
    out += "<tr>";
    for (size_t k = 0; k < n; ++k) {
      out += cellTag("td", std::string(layout.cells.text(first + k)), layout.numeric[k]);
    }
    out += "</tr>\n";
  }
  out += "</tbody>\n</table>\n";
}

// The drawing without what only a standalone file needs: the XML
// declaration and a document type before the <svg> element.
std::string_view inlineSvg(std::string_view svg) {
  const size_t start = svg.find("<svg");
  return start == std::string_view::npos ? svg : svg.substr(start);
}

void writeGraph(std::string &out, const Graph &graph, const std::string &id) {
  out += "<figure class=\"graph\" id=\"" + id + "\">\n";
  const std::string svg = graphs::drawSvg(graph);
  out += inlineSvg(svg);
  if (out.back() != '\n') out += '\n';
  if (!graph.label.empty()) out += "<figcaption>" + escaped(graph.label) + "</figcaption>\n";
  out += "</figure>\n";
}

void writeTitles(std::string &out, const std::vector<const std::string *> &titles,
                 const char *tag) {
  for (const std::string *t : titles) {
    out += std::string("<") + tag + ">" + escaped(*t) + "</" + tag + ">\n";
  }
}

void writeItem(std::string &out, const Item &item, const Item *previous, const std::string &id,
               LayoutCache &layouts) {
  const Preamble p = preambleOf(item, previous);
  writeTitles(out, p.above, "h2");
  if (p.byLine) out += "<p class=\"by\">" + escaped(byText(item.by, ", ")) + "</p>\n";
  writeTitles(out, p.below, "h3");
  std::visit(Overloaded{
                 [&](const Table &t) { writeTable(out, t, layouts.layout(t), id); },
                 [&](const Note &n) {
                   out += "<p class=\"note\" id=\"" + id + "\">" + escaped(n.text) + "</p>\n";
                 },
                 [&](const Graph &g) { writeGraph(out, g, id); },
             },
             item.content);
}

// A line of a step's log as the page shows it.
std::string logLine(const LogEntry &e) {
  const LinePrefix &prefix = linePrefix(e.level);
  return escaped(std::string(prefix.run, prefix.length) + e.text) + "\n";
}

const char *kStyle =
    "body{font-family:sans-serif;margin:2em;}table{border-collapse:collapse;margin:1em 0;}"
    "th,td{border:1px solid #bbb;padding:2px 8px;}td.n,th.n{text-align:right;}"
    "th.span{text-align:center;}caption{font-weight:bold;text-align:left;}"
    "p.by{font-weight:bold;border-top:1px solid #888;}h2,h3{text-align:center;}"
    "figure.graph{margin:1em 0;}figcaption{font-weight:bold;}"
    "figure.graph svg{display:block;max-width:100%;height:auto;border:1px solid #ddd;}";

// The page as the run goes on: the body and the contents list (nested by
// step, BY group and output group) are held back apart, and put together
// at the end with the contents first. A step's log, shown after its items,
// is held back apart until the step ends.
class HtmlWriter : public DocumentWriter {
 public:
  HtmlWriter(TextOut &out, ScratchMaker scratch)
      : out_(out), contents_(scratch()), body_(scratch()), log_(scratch()) {}

  void beginStep(const std::string &proc) override {
    contents_->put("<li>" + escaped(proc) + "\n<ul>\n");
    body_->put("<section class=\"step\">\n");
    by_ = kNone;
    serial_ = -1;
    logged_ = false;
    previous_.forget();
  }

  void logged(const LogEntry &entry) override {
    logged_ = true;
    log_->put(logLine(entry));
  }

  void item(const Item &item, const ItemPlace &place) override {
    const std::string id = anchor(place.step, place.index);
    std::string text;
    const std::string itemBy = byText(item.by, ", ");
    if (itemBy != by_) {
      if (by_ != kNone) text += serial_ >= 0 ? "</ul></li>\n</ul></li>\n" : "</ul></li>\n";
      by_ = itemBy;
      serial_ = -1;
      text += "<li>" + escaped(by_.empty() ? "All observations" : by_) + "\n<ul>\n";
    }
    if (item.group.serial != serial_) {
      if (serial_ >= 0) text += "</ul></li>\n";
      serial_ = item.group.serial;
      const std::string group = groupName(item.group);
      text += "<li>" + escaped(group.empty() ? "Output" : group) + "\n<ul>\n";
    }
    text += "<li><a href=\"#" + id + "\">" + escaped(itemName(item)) + "</a></li>\n";
    contents_->put(text);
    text.clear();
    writeItem(text, item, previous_.get(), id, layouts_);
    body_->put(text);
    previous_.remember(item);
  }

  void endStep(const StepRecord &) override {
    std::string text;
    if (serial_ >= 0) text += "</ul></li>\n";
    if (by_ != kNone) text += "</ul></li>\n";
    contents_->put(text + "</ul></li>\n");
    if (logged_) {
      body_->put("<details class=\"log\"><summary>Log</summary>\n<pre>");
      log_->replay(*body_);
      body_->put("</pre></details>\n");
    }
    body_->put("</section>\n");
  }

  void finish() override {
    out_.put(
        "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>vyn output</title>\n"
        "<style>");
    out_.put(kStyle);
    out_.put("</style>\n</head>\n<body>\n<nav><h2>Contents</h2>\n<ul>\n");
    contents_->replay(out_);
    out_.put("</ul></nav>\n");
    body_->replay(out_);
    out_.put("</body>\n</html>\n");
  }

 private:
  static constexpr const char *kNone = "\x01";  // before the first BY group of a step

  TextOut &out_;
  std::unique_ptr<Scratch> contents_, body_, log_;
  std::string by_ = kNone;
  int serial_ = -1;
  bool logged_ = false;  // the step has a log to show
  LastPlace previous_;
  LayoutCache layouts_;
};

}  // namespace

std::unique_ptr<DocumentWriter> htmlWriter(TextOut &out, ScratchMaker scratch) {
  return std::make_unique<HtmlWriter>(out, scratch);
}

std::string renderHtml(const Run &run) {
  StringOut out;
  HtmlWriter writer(out, &memoryScratch);
  replayRun(run, {}, writer);
  writer.finish();
  return out.take();
}

}  // namespace vyn::output

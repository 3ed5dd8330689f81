// The text listing of a run.
#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <numeric>
#include <string_view>

#include "vyn/core/utf8.h"
#include "vyn/output/layout.h"
#include "vyn/output/render.h"

namespace vyn::output {
namespace {

constexpr size_t kPageWidth = 80;
constexpr size_t kGap = 2;

std::string centred(const std::string &text, size_t width) {
  const size_t w = displayWidth(text);
  if (w >= width) return text;
  const size_t left = (width - w) / 2;
  return std::string(left, ' ') + text + std::string(width - w - left, ' ');
}

// Whether a line is known to be UTF-8 already (its pieces were made so).
enum class Utf8 { kUnchecked, kKnown };

// Ends the line that begins at `start` of `out`: trailing blanks go, bytes
// that are not UTF-8 become U+FFFD, a newline follows.
void endLine(std::string &out, size_t start, Utf8 utf8 = Utf8::kUnchecked) {
  size_t end = out.size();
  while (end > start && out[end - 1] == ' ') --end;
  out.resize(end);
  const std::string_view line(out.data() + start, end - start);
  if (utf8 == Utf8::kUnchecked && invalidUtf8At(line) != std::string_view::npos) {
    const std::string valid = validUtf8(line);
    out.resize(start);
    out += valid;
  }
  out += '\n';
}

void addLine(std::string &out, std::string_view line) {
  const size_t start = out.size();
  out += line;
  endLine(out, start);
}

// The display widths of the headers (`headers`), then those of each row's
// cells, row by row, in `widths`.
void cellWidths(const TableLayout &layout, const std::vector<size_t> &headers,
                std::vector<size_t> &widths) {
  widths.assign(headers.begin(), headers.end());
  widths.insert(widths.end(), layout.cellWidths.begin(), layout.cellWidths.end());
}

void columnWidths(const TableLayout &layout, const std::vector<size_t> &cells,
                  std::vector<size_t> &widths) {
  const size_t n = layout.headers.size();
  widths.resize(n);
  for (size_t k = 0; k < n; ++k) {
    widths[k] = static_cast<size_t>(std::max(layout.minimumWidth[k], 0));
    for (size_t at = k; at < cells.size(); at += n) widths[k] = std::max(widths[k], cells[at]);
  }
  for (const Span &s : layout.spans) {
    const size_t inside = std::accumulate(widths.begin() + static_cast<long>(s.first),
                                          widths.begin() + static_cast<long>(s.first + s.count),
                                          kGap * (s.count - 1));
    const size_t need = displayWidth(s.text);
    if (need > inside) widths[s.first + s.count - 1] += need - inside;
  }
}

std::string spanLine(const TableLayout &layout, const std::vector<size_t> &widths) {
  std::string line;
  for (size_t k = 0; k < widths.size();) {
    if (k > 0) line += std::string(kGap, ' ');
    auto span = std::find_if(layout.spans.begin(), layout.spans.end(),
                             [k](const Span &s) { return s.first == k; });
    if (span == layout.spans.end()) {
      line += std::string(widths[k], ' ');
      ++k;
      continue;
    }
    size_t inside = kGap * (span->count - 1);
    for (size_t j = 0; j < span->count; ++j) inside += widths[k + j];
    line += centred(span->text, inside);
    k += span->count;
  }
  return line;
}

// One row of cells of display widths `cellWidth`, after `indent` blanks: the
// line is laid down in blanks at once and each cell copied to its place.
// A row of cells padded to the column widths; `utf8` tells whether its
// cells are UTF-8 already.
void addRow(std::string &out, size_t indent, const std::vector<std::string> &cells,
            const size_t *cellWidth, const TableLayout &layout, const std::vector<size_t> &widths,
            Utf8 utf8) {
  const size_t start = out.size();
  size_t length = indent;
  for (size_t k = 0; k < cells.size(); ++k) {
    const size_t fill = cellWidth[k] >= widths[k] ? 0 : widths[k] - cellWidth[k];
    length += (k > 0 ? kGap : 0) + fill + cells[k].size();
  }
  out.resize(start + length, ' ');
  char *at = out.data() + start + indent;
  for (size_t k = 0; k < cells.size(); ++k) {
    const size_t fill = cellWidth[k] >= widths[k] ? 0 : widths[k] - cellWidth[k];
    at += (k > 0 ? kGap : 0) + (layout.numeric[k] ? fill : 0);
    std::memcpy(at, cells[k].data(), cells[k].size());
    at += cells[k].size() + (layout.numeric[k] ? 0 : fill);
  }
  endLine(out, start, utf8);
}

// A table head drawn at some column widths: the spanning headers and the
// headers over columns of those widths.
struct DrawnHead {
  std::vector<size_t> columnWidths;  // the widths it was drawn at; empty: none drawn
  size_t indent = 0;                 // blanks before each line
  std::string lines;                 // its lines
};

// The last few drawings of a layout head. A table emitted again and again
// mostly comes with widths it has had lately and takes the lines as they are.
struct DrawnHeads {
  static constexpr size_t kKept = 8;
  uint64_t head = 0;                   // the layout head drawn
  std::vector<size_t> headerWidths;    // display widths of its headers
  std::array<DrawnHead, kKept> drawn;  // the drawings kept
  size_t next = 0;                     // the one that a new drawing replaces
};

void drawHead(const TableLayout &layout, const std::vector<size_t> &headerWidths,
              DrawnHead &drawn) {
  const std::vector<size_t> &widths = drawn.columnWidths;
  const size_t total = std::accumulate(widths.begin(), widths.end(), kGap * (widths.size() - 1));
  drawn.indent = total < kPageWidth ? (kPageWidth - total) / 2 : 0;
  drawn.lines.clear();
  if (!layout.spans.empty())
    addLine(drawn.lines, std::string(drawn.indent, ' ') + spanLine(layout, widths));
  addRow(drawn.lines, drawn.indent, layout.headers, headerWidths.data(), layout, widths,
         Utf8::kUnchecked);
}

// The head of `layout` drawn at `widths`: one kept, or a new drawing in
// place of the oldest.
const DrawnHead &headAt(const TableLayout &layout, const std::vector<size_t> &widths,
                        DrawnHeads &heads) {
  for (const DrawnHead &drawn : heads.drawn) {
    if (drawn.columnWidths == widths) return drawn;
  }
  DrawnHead &drawn = heads.drawn[heads.next];
  heads.next = (heads.next + 1) % DrawnHeads::kKept;
  drawn.columnWidths = widths;
  drawHead(layout, heads.headerWidths, drawn);
  return drawn;
}

// Draws tables centred on the page, keeping what the next table may reuse.
class TableDrawer {
 public:
  void draw(std::string &out, const TableLayout &layout) {
    if (layout.headers.empty()) return;
    DrawnHeads &heads = heads_[&layout];
    if (heads.head != layout.head) {
      heads = DrawnHeads{};
      heads.head = layout.head;
      for (const std::string &h : layout.headers) heads.headerWidths.push_back(displayWidth(h));
    }
    cellWidths(layout, heads.headerWidths, cells_);
    columnWidths(layout, cells_, widths_);
    const DrawnHead &drawn = headAt(layout, widths_, heads);
    out += drawn.lines;
    const size_t n = widths_.size();
    // the layout makes every cell UTF-8
    for (size_t r = 0; r < layout.cells.size(); ++r) {
      addRow(out, drawn.indent, layout.cells[r], cells_.data() + (r + 1) * n, layout, widths_,
             Utf8::kKnown);
    }
    out += '\n';
  }

 private:
  std::map<const TableLayout *, DrawnHeads> heads_;  // layouts live as long as their cache
  std::vector<size_t> cells_;
  std::vector<size_t> widths_;
};

void writeTitles(std::string &out, const std::vector<std::string> &titles) {
  if (titles.empty()) return;
  for (const std::string &t : titles) {
    const size_t start = out.size();
    const size_t w = displayWidth(t);
    if (w < kPageWidth) out.append((kPageWidth - w) / 2, ' ');
    out += t;
    endLine(out, start);
  }
  out += '\n';
}

// Where the drawing of a graph went: its file, else the HTML report.
std::string graphPlace(const std::string &file, bool html) {
  if (!file.empty()) return file;
  return html ? "in the HTML report" : "not drawn (no HTML report or graphs folder)";
}

// One line, such as "Graph SummaryPanel: graphs/SummaryPanel1.svg".
void writeGraphLine(std::string &out, const Graph &graph, const std::string &place) {
  addLine(out, "Graph " + visibleText(graph.name) + ": " + visibleText(place));
  out += '\n';
}

// An item after the one before it in its step (null at the start).
void writeItem(std::string &out, const Item &item, const Item *previous, const ItemPlace &place,
               bool html, LayoutCache &layouts, TableDrawer &tables) {
  const Preamble p = preambleOf(item, previous);
  writeTitles(out, p.above);
  if (p.byLine) writeTitles(out, {"----- " + byText(item.by, " ") + " -----"});
  writeTitles(out, p.below);
  std::visit(Overloaded{
                 [&](const Table &table) { tables.draw(out, layouts.layout(table)); },
                 [&](const Note &note) {
                   addLine(out, note.text);
                   out += '\n';
                 },
                 [&](const Graph &graph) {
                   writeGraphLine(out, graph, graphPlace(place.graphFile, html));
                 },
             },
             item.content);
}

// Writes each item as it comes, gathered into pieces of about kPiece bytes
// so that a run of many small tables costs few writes; a step's text is all
// out by the end of the step.
class ListingWriter : public DocumentWriter {
 public:
  ListingWriter(TextOut &out, bool htmlShowsGraphs) : out_(out), html_(htmlShowsGraphs) {}

  void beginStep(const std::string &) override { previous_.forget(); }
  void item(const Item &item, const ItemPlace &place) override {
    writeItem(pending_, item, previous_.get(), place, html_, layouts_, tables_);
    if (pending_.size() >= kPiece) flush();
    previous_.remember(item);
  }
  void logged(const LogEntry &) override {}  // the listing shows no log
  void endStep(const StepRecord &) override { flush(); }
  void finish() override { flush(); }

 private:
  static constexpr size_t kPiece = 1 << 16;

  void flush() {
    if (!pending_.empty()) out_.put(pending_);
    pending_.clear();
  }

  TextOut &out_;
  bool html_;
  std::string pending_;
  LastPlace previous_;
  LayoutCache layouts_;
  TableDrawer tables_;
};

}  // namespace

std::unique_ptr<DocumentWriter> listingWriter(TextOut &out, bool htmlShowsGraphs) {
  return std::make_unique<ListingWriter>(out, htmlShowsGraphs);
}

std::string renderListing(const Run &run, const GraphPlaces &graphs) {
  StringOut out;
  ListingWriter writer(out, graphs.html);
  replayRun(run, graphs, writer);
  writer.finish();
  return out.take();
}

}  // namespace vyn::output

// The text listing of a run.
#include <algorithm>
#include <array>
#include <cstring>
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

// The width of each column: the width its cells make, the last column under
// a span widened to the span's text.
std::vector<size_t> columnWidths(const TableLayout &layout, const std::vector<size_t> &cellWidths) {
  std::vector<size_t> widths = cellWidths;
  for (const Span &s : layout.spans) {
    const size_t inside = std::accumulate(widths.begin() + static_cast<long>(s.first),
                                          widths.begin() + static_cast<long>(s.first + s.count),
                                          kGap * (s.count - 1));
    if (s.width > inside) widths[s.first + s.count - 1] += s.width - inside;
  }
  return widths;
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

// Copies a cell's text to its place in a row; the short texts most cells
// have go in two moves of a fixed size that may overlap, without a call.
inline void copyText(char *to, const char *from, size_t n) {
  if (n >= 4 && n < 8) {
    std::memcpy(to, from, 4);
    std::memcpy(to + n - 4, from + n - 4, 4);
  } else if (n >= 8 && n <= 16) {
    std::memcpy(to, from, 8);
    std::memcpy(to + n - 8, from + n - 8, 8);
  } else if (n >= 2 && n < 4) {
    std::memcpy(to, from, 2);
    std::memcpy(to + n - 2, from + n - 2, 2);
  } else if (n == 1) {
    *to = *from;
  } else {
    std::memcpy(to, from, n);
  }
}

// Where a column of a drawn table stands in its lines, the indent included.
struct ColumnPlace {
  size_t start = 0;  // of the column in a line of ASCII
  size_t width = 0;
  size_t right = 0;  // all ones for texts set to the right, else 0
};

// The places of columns of `widths` after `indent` blanks, `kGap` apart.
std::vector<ColumnPlace> columnPlaces(const TableLayout &layout, const std::vector<size_t> &widths,
                                      size_t indent) {
  std::vector<ColumnPlace> places(widths.size());
  for (size_t k = 0, at = indent; k < widths.size(); at += widths[k++] + kGap) {
    places[k] = {at, widths[k], layout.numeric[k] != 0 ? ~size_t{0} : 0};
  }
  return places;
}

// Writes one row of texts over blanks from `line` on, each in its column:
// text k lies in `texts` from bounds[k] to bounds[k + 1], and cellWidth[k] is
// its display width. A text has at least as many bytes as its width; those
// beyond move the columns after it on. Returns the end of the row's last
// column.
[[gnu::always_inline]] inline char *placeRow(char *line, const ColumnPlace *places, size_t n,
                                             const char *texts, const size_t *bounds,
                                             const size_t *cellWidth) {
  size_t shift = 0;  // the bytes of the texts before beyond their widths
  for (size_t k = 0; k < n; ++k) {
    const size_t bytes = bounds[k + 1] - bounds[k];
    const ColumnPlace &c = places[k];
    copyText(line + shift + c.start + ((c.width - cellWidth[k]) & c.right), texts + bounds[k],
             bytes);
    shift += bytes - cellWidth[k];
  }
  return line + shift + places[n - 1].start + places[n - 1].width;
}

// A text of a row of common numbers of this many bytes or fewer goes to its
// place in one move of this many bytes: the text and blanks after it, which
// fall in the gap and the columns after it, placed later, or in room past the
// row.
inline constexpr size_t kBlankedText = 16;

// The room a text of a row of common numbers has: for the text and the
// blanks after a text of kBlankedText bytes or fewer.
inline constexpr size_t kTextSlot = 2 * kBlankedText;
static_assert(kTextSlot >= kCommonNumberRoom);

// Writes one row of ASCII texts over blanks from `line` on, each in its
// column, left to right, as placeRow does texts whose bytes are their widths:
// text k lies at texts + k kTextSlot, has bytes[k] bytes and, when they are
// no more than kBlankedText, blanks after them to kBlankedText. The row has
// room for kBlankedText bytes past its last column. Returns the end of the
// row's last column.
[[gnu::always_inline]] inline char *placeAsciiRow(char *line, const ColumnPlace *places, size_t n,
                                                  const char *texts, const size_t *bytes) {
  for (size_t k = 0; k < n; ++k, texts += kTextSlot) {
    const ColumnPlace &c = places[k];
    char *to = line + c.start + ((c.width - bytes[k]) & c.right);
    if (bytes[k] <= kBlankedText) {
      std::memcpy(to, texts, kBlankedText);
    } else {
      std::memcpy(to, texts, bytes[k]);
    }
  }
  return line + places[n - 1].start + places[n - 1].width;
}

// Ends a row written from `line` to `end`: the blanks at its end go and a
// newline follows. Returns where the next line starts.
char *endRow(const char *line, char *end) {
  while (end > line && end[-1] == ' ') --end;
  *end = '\n';
  return end + 1;
}

// A table head drawn at some column widths: the spanning headers and the
// headers over columns of those widths.
struct DrawnHead {
  std::vector<size_t> cellWidths;   // the widths of the cells it was drawn for; empty: none drawn
  size_t indent = 0;                // blanks before each line
  size_t width = 0;                 // of the columns and the gaps between them
  std::vector<ColumnPlace> places;  // of the columns in a line
  std::string lines;                // its lines, then blanks for a row and the blank line after
  size_t rowsAt = 0;                // where the blanks start in `lines`
};

// The last few drawings of a layout head. A table emitted again and again
// mostly comes with widths it has had lately and takes the lines as they are.
struct DrawnHeads {
  static constexpr size_t kKept = 8;
  uint64_t head = 0;                   // the layout head drawn
  uint64_t shape = 0;                  // of the table drawn last under it; 0: none known
  std::array<DrawnHead, kKept> drawn;  // the drawings kept
  size_t next = 0;                     // the one that a new drawing replaces
  size_t last = 0;                     // the one taken last
};

void drawHead(const TableLayout &layout, DrawnHead &drawn) {
  const std::vector<size_t> widths = columnWidths(layout, drawn.cellWidths);
  drawn.width = std::accumulate(widths.begin(), widths.end(), kGap * (widths.size() - 1));
  drawn.indent = drawn.width < kPageWidth ? (kPageWidth - drawn.width) / 2 : 0;
  drawn.places = columnPlaces(layout, widths, drawn.indent);
  drawn.lines.clear();
  if (!layout.spans.empty())
    addLine(drawn.lines, std::string(drawn.indent, ' ') + spanLine(layout, widths));
  std::string headers;
  std::vector<size_t> ends = {0};
  for (const std::string &h : layout.headers) ends.push_back((headers += h).size());
  const size_t start = drawn.lines.size();
  drawn.lines.resize(start + drawn.indent + drawn.width + headers.size(), ' ');
  char *line = drawn.lines.data() + start;
  const char *end = placeRow(line, drawn.places.data(), widths.size(), headers.data(), ends.data(),
                             layout.headerWidths.data());
  drawn.lines.resize(static_cast<size_t>(end - drawn.lines.data()));
  endLine(drawn.lines, start);
  drawn.rowsAt = drawn.lines.size();
  drawn.lines.append(drawn.indent + drawn.width + 2 + kBlankedText, ' ');
}

// Whether a head was drawn over `n` cells of `cellWidths`; the widths are
// few and compared in the caller.
inline bool drawnFor(const DrawnHead &drawn, const size_t *cellWidths, size_t n) {
  if (drawn.cellWidths.size() != n) return false;
  const size_t *drawnWidths = drawn.cellWidths.data();
  for (size_t k = 0; k < n; ++k) {
    if (drawnWidths[k] != cellWidths[k]) return false;
  }
  return true;
}

// The head of `layout` drawn over `n` cells of `cellWidths`, other than the
// one taken last: another kept, or a new drawing in place of the oldest.
[[gnu::noinline]] const DrawnHead &otherHeadAt(const TableLayout &layout, const size_t *cellWidths,
                                               size_t n, DrawnHeads &heads) {
  for (size_t i = 0; i < DrawnHeads::kKept; ++i) {
    if (drawnFor(heads.drawn[i], cellWidths, n)) {
      heads.last = i;
      return heads.drawn[i];
    }
  }
  heads.last = heads.next;
  heads.next = (heads.next + 1) % DrawnHeads::kKept;
  DrawnHead &drawn = heads.drawn[heads.last];
  drawn.cellWidths.assign(cellWidths, cellWidths + n);
  drawHead(layout, drawn);
  return drawn;
}

// The head of `layout` drawn over `n` cells of `cellWidths`: the one taken
// last, another kept, or a new drawing in place of the oldest.
inline const DrawnHead &headAt(const TableLayout &layout, const size_t *cellWidths, size_t n,
                               DrawnHeads &heads) {
  const DrawnHead &last = heads.drawn[heads.last];
  return drawnFor(last, cellWidths, n) ? last : otherHeadAt(layout, cellWidths, n, heads);
}

// The texts of a row of common numbers, each in a slot of its own, as
// placeAsciiRow takes them, and what the columns of a head need to show them.
// The texts are ASCII: as many bytes as columns.
struct RowTexts {
  static constexpr size_t kMostCells = 16;
  char texts[kMostCells * kTextSlot];
  size_t bytes[kMostCells];    // of each text
  size_t columns[kMostCells];  // the width of each column: its least, or its text's if wider
};

// The texts of the shown cells of `row` under `head`, when each is a number
// that writeCommonNumber writes; false for any other row. What the loop reads
// is held in locals of its own, as the bytes it writes may alias the rest; a
// function of its own, and without a call, the loop keeps them in registers.
[[gnu::noinline]] bool commonRowTexts(const std::vector<Cell> &row, const TableLayout &head,
                                      RowTexts &texts) {
  const size_t n = head.source.size();
  if (n > RowTexts::kMostCells || row.size() < head.sourceEnd) return false;
  const Cell *cells = row.data();
  const size_t *source = head.source.data();
  const NumberFormat *formats = head.formats.data();
  const size_t *least = head.leastWidths.data();
  static constexpr char kBlanks[] = "                ";
  static_assert(sizeof kBlanks > kBlankedText);
  char *at = texts.texts;
  for (size_t k = 0; k < n; ++k, at += kTextSlot) {
    const Cell &cell = cells[source[k]];
    if (!std::holds_alternative<double>(cell)) return false;
    char *end = writeCommonNumber(std::get<double>(cell), formats[k], at);
    if (end == nullptr) return false;
    const auto width = static_cast<size_t>(end - at);
    if (width <= kBlankedText) std::memcpy(end, kBlanks, kBlankedText);
    texts.bytes[k] = width;
    texts.columns[k] = std::max(least[k], width);
  }
  return true;
}

// Draws tables centred on the page, keeping what the next table may reuse.
class TableDrawer {
 public:
  // A table of the shape drawn last at the place looked at first takes that
  // place's head and drawings without a look in the cache, unless the head
  // was laid out again since.
  void draw(std::string &out, const Table &table, LayoutCache &layouts) {
    const size_t guess = next_ < heads_.size() ? next_ : 0;
    if (guess < heads_.size() && table.shape != 0) {
      auto &[layout, heads] = heads_[guess];
      if (heads.shape == table.shape && heads.head == layout->head) {
        next_ = guess + 1;
        drawUnder(out, table, *layout, heads, layouts);
        return;
      }
    }
    const TableLayout &head = layouts.head(table);
    if (head.headers.empty()) return;
    drawUnder(out, table, head, headsOf(head), layouts);
  }

 private:
  // Draws `table` under its layout head and the drawings of it: a table of
  // one row of common numbers from their texts as they are made, any other
  // laid out whole first.
  [[gnu::always_inline]] void drawUnder(std::string &out, const Table &table,
                                        const TableLayout &head, DrawnHeads &heads,
                                        LayoutCache &layouts) {
    const size_t n = head.headers.size();
    heads.shape = table.shape;
    if (table.rows.size() == 1 && commonRowTexts(table.rows[0], head, row_)) {
      drawAsciiRow(out, headAt(head, row_.columns, n, heads), n, row_.texts, row_.bytes);
      return;
    }
    const TableLayout &layout = layouts.layout(table);
    const DrawnHead &drawn = headAt(layout, layout.cellWidths.data(), n, heads);
    const CellTexts &cells = layout.cells;
    drawRows(out, drawn, layout.rows, n, cells.texts(), cells.ends(), cells.widths(),
             cells.ends()[layout.rows * n]);
  }

  // The head's lines, `rows` rows of `n` texts and a blank line, laid down in
  // blanks at once: the drawing's lines hold room for one row whose texts
  // have as many bytes as their widths; more rows, or `beyond` bytes of the
  // texts beyond their widths, take more. The texts are UTF-8; they, their
  // ends and widths are as placeRow has them, row after row.
  static void drawRows(std::string &out, const DrawnHead &drawn, size_t rows, size_t n,
                       const char *texts, const size_t *ends, const size_t *widths, size_t beyond) {
    const size_t start = out.size();
    const size_t rowRoom = drawn.indent + drawn.width + 1;
    out += drawn.lines;
    if (rows > 1 || beyond > 0) out.resize(out.size() + (rows - 1) * rowRoom + beyond, ' ');
    char *at = out.data() + start + drawn.rowsAt;
    const ColumnPlace *places = drawn.places.data();
    for (size_t r = 0, first = 0; r < rows; ++r, first += n) {
      at = endRow(at, placeRow(at, places, n, texts, ends + first, widths + first));
    }
    *at++ = '\n';
    out.resize(static_cast<size_t>(at - out.data()));
  }

  // The head's lines, one row of `n` ASCII texts and a blank line, laid down
  // as drawRows lays them; the drawing's lines hold room for the row and the
  // blanks placeAsciiRow copies past it. The texts and their bytes are as
  // placeAsciiRow has them.
  static void drawAsciiRow(std::string &out, const DrawnHead &drawn, size_t n, const char *texts,
                           const size_t *bytes) {
    const size_t start = out.size();
    out += drawn.lines;
    char *at = out.data() + start + drawn.rowsAt;
    at = endRow(at, placeAsciiRow(at, drawn.places.data(), n, texts, bytes));
    *at++ = '\n';
    out.resize(static_cast<size_t>(at - out.data()));
  }

  // The drawings of the layout's head; none yet when the head is new.
  DrawnHeads &headsOf(const TableLayout &layout) {
    DrawnHeads &heads = heads_[placeOf(layout)].second;
    if (heads.head != layout.head) forgetDrawings(heads, layout.head);
    return heads;
  }

  // No drawings yet of a new head.
  [[gnu::noinline]] static void forgetDrawings(DrawnHeads &heads, uint64_t head) {
    heads = DrawnHeads{};
    heads.head = head;
  }

  // The place of the layout's drawings in heads_, made if it has none. The
  // tables of a BY group come in the order of the group before, so the place
  // after the one taken last is looked at first.
  size_t placeOf(const TableLayout &layout) {
    const size_t guess = next_ < heads_.size() ? next_ : 0;
    const size_t at =
        guess < heads_.size() && heads_[guess].first == &layout ? guess : searchPlace(layout);
    next_ = at + 1;
    return at;
  }

  // The place of the layout's drawings in heads_ looked for, made if it has none.
  [[gnu::noinline]] size_t searchPlace(const TableLayout &layout) {
    const auto kept = std::find_if(heads_.begin(), heads_.end(),
                                   [&layout](const auto &h) { return h.first == &layout; });
    if (kept != heads_.end()) return static_cast<size_t>(kept - heads_.begin());
    heads_.emplace_back(&layout, DrawnHeads{});
    return heads_.size() - 1;
  }

  // per layout, few: one per table path; layouts live as long as their cache
  std::vector<std::pair<const TableLayout *, DrawnHeads>> heads_;
  size_t next_ = 0;  // the place after the one taken last
  RowTexts row_;     // the texts of a one-row table while it is drawn
};

// The blanks that centre a title on the page and whether it is UTF-8 for
// sure. A title in ASCII, as most are, is measured by its length and needs no
// look for bytes that are not UTF-8.
struct TitlePlace {
  size_t margin = 0;
  Utf8 utf8 = Utf8::kUnchecked;
};

TitlePlace placeTitle(std::string_view title) {
  const bool ascii = isAscii(title);
  const size_t w = ascii ? title.size() : displayWidth(title);
  return {w < kPageWidth ? (kPageWidth - w) / 2 : 0, ascii ? Utf8::kKnown : Utf8::kUnchecked};
}

// A title centred on the page.
void writeTitle(std::string &out, std::string_view title) {
  const size_t start = out.size();
  const TitlePlace place = placeTitle(title);
  out.resize(start + place.margin + title.size(), ' ');
  std::memcpy(out.data() + start + place.margin, title.data(), title.size());
  endLine(out, start, place.utf8);
}

// Centres the title written from `start` of `out` and ends its line.
void centreTitle(std::string &out, size_t start) {
  const TitlePlace place = placeTitle(std::string_view(out.data() + start, out.size() - start));
  out.insert(start, place.margin, ' ');
  endLine(out, start, place.utf8);
}

// Writes `n` bytes of `text` at `at`, without a call when they are few;
// returns their end.
inline char *putText(char *at, const char *text, size_t n) {
  copyText(at, text, n);
  return at + n;
}

// The BY line of one value whose name is ASCII and whose value shows as it
// is in ASCII, as most are, written at once in its place on the page; false
// for any other, `out` as it was.
bool writeAsciiByLine(std::string &out, const std::vector<ByValue> &by) {
  static constexpr char kDashes[] = "----- ";
  constexpr size_t kDashesSize = sizeof kDashes - 1;
  if (by.size() != 1) return false;
  const std::string &name = by[0].name;
  const std::string &value = by[0].formatted;
  if (!isAscii(name) || !isAscii(value) || hasControlBytes(value)) return false;
  const size_t width = 2 * kDashesSize + name.size() + 1 + value.size();
  const size_t margin = width < kPageWidth ? (kPageWidth - width) / 2 : 0;
  const size_t start = out.size();
  out.resize(start + margin + width + 2, ' ');
  char *at = out.data() + start + margin;
  at = putText(at, kDashes, kDashesSize);
  at = putText(at, name.data(), name.size());
  *at++ = '=';
  at = putText(at, value.data(), value.size());
  *at++ = ' ';
  at = putText(at, kDashes, kDashesSize - 1);
  at[0] = '\n';
  at[1] = '\n';
  return true;
}

// The BY line of a new BY group, such as "----- by=3 -----", and a blank line.
void writeByLine(std::string &out, const std::vector<ByValue> &by) {
  if (writeAsciiByLine(out, by)) return;
  const size_t start = out.size();
  out += "----- ";
  appendByText(out, by, " ");
  out += " -----";
  centreTitle(out, start);
  out += '\n';
}

// The lines of the titles written lately, each centred on the page. A title
// met again, as the heading of each variable is BY group after BY group,
// takes its line as it was.
class TitleLines {
 public:
  void write(std::string &out, const std::string &title) { out += lineOf(title); }

 private:
  static constexpr size_t kKept = 8;
  struct Kept {
    std::string title;
    std::string line;
    size_t next = 0;  // the place of the title that came after it last
  };

  // The titles mostly come in the order they came before, so the one that
  // came after the last taken is looked at first.
  const std::string &lineOf(const std::string &title) {
    if (!kept_.empty()) {
      const size_t guess = kept_[last_].next;
      if (sameText(kept_[guess].title, title)) {
        last_ = guess;
        return kept_[guess].line;
      }
    }
    return searchLine(title);
  }

  // The line of a title other than the one looked at first: a kept one, or a
  // new line in place of the oldest.
  [[gnu::noinline]] const std::string &searchLine(const std::string &title) {
    for (size_t i = 0; i < kept_.size(); ++i) {
      if (sameText(kept_[i].title, title)) return take(i);
    }
    if (kept_.size() < kKept) kept_.emplace_back();
    const size_t made = oldest_;
    oldest_ = (oldest_ + 1) % kKept;
    kept_[made].title = title;
    kept_[made].line.clear();
    writeTitle(kept_[made].line, title);
    return take(made);
  }

  // The line at place `i`, the title after the last taken.
  const std::string &take(size_t i) {
    kept_[last_].next = i;
    last_ = i;
    return kept_[i].line;
  }

  std::vector<Kept> kept_;
  size_t last_ = 0;    // the place taken last
  size_t oldest_ = 0;  // the place a new title takes
};

[[gnu::always_inline]] inline void writeTitles(std::string &out,
                                               const std::vector<const std::string *> &titles,
                                               TitleLines &lines) {
  if (titles.empty()) return;
  for (const std::string *t : titles) lines.write(out, *t);
  out += '\n';
}

// What the listing keeps from item to item.
struct ListingState {
  LayoutCache layouts;
  TableDrawer tables;
  TitleLines titles;
  Preamble preamble;  // the last item's, written over by the next
};

// The titles and BY line that come before `item` after `previous`.
void writePreamble(std::string &out, const Item &item, const Item *previous, ListingState &s) {
  Preamble &p = s.preamble;
  preambleInto(item, previous, p);
  writeTitles(out, p.above, s.titles);
  if (p.byLine) writeByLine(out, item.by);
  writeTitles(out, p.below, s.titles);
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
               bool html, ListingState &s) {
  if (!samePlaceUnderTitles(item, previous)) writePreamble(out, item, previous, s);
  std::visit(Overloaded{
                 [&](const Table &table) { s.tables.draw(out, table, s.layouts); },
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
    writeItem(pending_, item, previous_.get(), place, html_, state_);
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
  ListingState state_;
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

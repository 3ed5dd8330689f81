#include "vyn/output/layout.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <charconv>
#include <cstring>

#include "vyn/output/format.h"
#include "vyn/output/templates.h"

namespace vyn::output {
namespace {

std::string attributeString(const Attributes &attributes, const std::string &name) {
  auto it = attributes.find(name);
  if (it == attributes.end()) return {};
  return attributeText(it->second);
}

// The header of a column with its template (null when the template has none).
std::string headerOf(const Column &column, const ColumnTemplate *ct) {
  if (ct != nullptr && ct->hasHeader) return ct->header;
  if (!column.label.empty()) return column.label;
  if (ct != nullptr && !ct->headerAttribute.empty()) {
    std::string text = attributeString(column.attributes, ct->headerAttribute);
    if (!text.empty()) return text;
  }
  return column.name;
}

std::string spanText(const std::string &pattern, const std::string &value) {
  std::string out;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == '1') {
      out += value;
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

// Shown position of a column name, or -1.
long shownIndex(const std::vector<const Column *> &shown, const std::string &name) {
  for (size_t i = 0; i < shown.size(); ++i) {
    if (shown[i]->name == name) return static_cast<long>(i);
  }
  return -1;
}

// A span applies when the table has its attribute and its columns are shown
// next to each other in its order.
bool placeSpan(const SpanTemplate &s, const Table &table, const std::vector<const Column *> &shown,
               Span *out) {
  auto attr = table.attributes.find(s.attribute);
  if (attr == table.attributes.end() || s.columns.empty()) return false;
  const long first = shownIndex(shown, s.columns.front());
  if (first < 0) return false;
  for (size_t k = 1; k < s.columns.size(); ++k) {
    if (shownIndex(shown, s.columns[k]) != first + static_cast<long>(k)) return false;
  }
  *out = {spanText(s.text, attributeText(attr->second)), static_cast<size_t>(first),
          s.columns.size()};
  return true;
}

int minimumWidthOf(const Column &column) {
  auto it = column.attributes.find("MinimumWidth");
  if (it == column.attributes.end()) return 0;
  if (const auto *i = std::get_if<long long>(&it->second)) return static_cast<int>(*i);
  return 0;
}

// Whether a byte is one that visibleText writes out.
bool isControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

// Whether a word has a byte that visibleText writes out: one below 0x20,
// found as a byte that borrows when 0x20 is taken from it and had its top
// bit clear, or 0x7F, found as a byte that is zero after an exclusive or
// with it.
inline bool controlInWord(uint64_t word) {
  constexpr uint64_t kOnes = 0x0101010101010101;
  constexpr uint64_t kTops = 0x8080808080808080;
  const uint64_t below = (word - 0x20 * kOnes) & ~word & kTops;
  const uint64_t del = word ^ (0x7F * kOnes);
  return (below | ((del - kOnes) & ~del & kTops)) != 0;
}

}  // namespace

// The texts are mostly short and looked at in words that may overlap,
// without a call.
bool hasControlBytes(std::string_view text) {
  const size_t n = text.size();
  const char *p = text.data();
  if (n < 4) return std::any_of(text.begin(), text.end(), isControl);
  if (n < 8)
    return controlInWord(wordAt<uint32_t>(p) | uint64_t{wordAt<uint32_t>(p + n - 4)} << 32);
  size_t i = 0;
  for (; i + 8 < n; i += 8) {
    if (controlInWord(wordAt<uint64_t>(p + i))) return true;
  }
  return controlInWord(wordAt<uint64_t>(p + n - 8));
}

namespace {

// The same BY group: equal values give equal BY lines without building them,
// and so do unequal values of one variable that show as they are.
bool sameByGroup(const std::vector<ByValue> &a, const std::vector<ByValue> &b) {
  const auto equal = [](const ByValue &x, const ByValue &y) {
    return sameText(x.name, y.name) && sameText(x.formatted, y.formatted);
  };
  if (a.size() == 1 && b.size() == 1 && sameText(a[0].name, b[0].name)) {
    if (sameText(a[0].formatted, b[0].formatted)) return true;
    if (!hasControlBytes(a[0].formatted) && !hasControlBytes(b[0].formatted)) return false;
  } else if (std::equal(a.begin(), a.end(), b.begin(), b.end(), equal)) {
    return true;
  }
  return byText(a, " ") == byText(b, " ");
}

}  // namespace

Preamble preambleOf(const Item &item, const Item *previous) {
  Preamble p;
  preambleInto(item, previous, p);
  return p;
}

void preambleInto(const Item &item, const Item *previous, Preamble &p) {
  p.above.clear();
  p.byLine = false;
  p.below.clear();
  if (samePlaceUnderTitles(item, previous)) return;
  const bool samePlace = previous != nullptr && item.place != 0 && item.place == previous->place;
  size_t from = samePlace ? item.titles.size() : 0;
  if (previous != nullptr) {
    const std::vector<std::string> &before = previous->titles;
    while (from < before.size() && from < item.titles.size() &&
           sameText(before[from], item.titles[from])) {
      ++from;
    }
  }
  const bool sameBy = samePlace || (previous != nullptr && sameByGroup(previous->by, item.by));
  p.byLine = !item.by.empty() && (!sameBy || from == 0);
  if (p.byLine) from = std::min<size_t>(from, 1);
  const size_t split = std::min<size_t>(1, item.titles.size());
  for (size_t i = from; i < split; ++i) p.above.push_back(&item.titles[i]);
  for (size_t i = std::max(from, split); i < item.titles.size(); ++i) {
    p.below.push_back(&item.titles[i]);
  }
  // a group that no heading names gets its label as a title
  const GroupRef &g = item.group;
  const std::string &label = g.label.empty() ? g.name : g.label;
  const bool newGroup = previous == nullptr || previous->group.serial != g.serial || p.byLine;
  if (newGroup && !label.empty() &&
      std::none_of(item.titles.begin(), item.titles.end(),
                   [&label](const std::string &t) { return sameText(t, label); })) {
    p.below.push_back(&label);
  }
}

std::string byText(const std::vector<ByValue> &by, const char *separator) {
  std::string text;
  appendByText(text, by, separator);
  return text;
}

void appendByText(std::string &out, const std::vector<ByValue> &by, const char *separator) {
  for (size_t i = 0; i < by.size(); ++i) {
    if (i > 0) out += separator;
    out += by[i].name;
    out += '=';
    appendVisible(out, by[i].formatted);
  }
}

std::string visibleText(const std::string &text) {
  std::string out;
  out.reserve(text.size());
  appendVisible(out, text);
  return out;
}

void appendVisible(std::string &out, std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  // a text without control bytes, as most are, goes at once; else the bytes
  // up to the first
  if (!hasControlBytes(text)) {
    out.append(text);
    return;
  }
  const auto plain = std::find_if(text.begin(), text.end(), isControl);
  out.append(text.begin(), plain);
  for (unsigned char c : text.substr(static_cast<size_t>(plain - text.begin()))) {
    if (c == '\t') {
      out += "\\t";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (isControl(static_cast<char>(c))) {
      out += {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
    } else {
      out += static_cast<char>(c);
    }
  }
}

size_t displayWidth(std::string_view text) {
  constexpr uint64_t kTopBits = 0x8080808080808080;
  size_t n = 0;
  size_t i = 0;
  // eight bytes at a time: a byte whose top bits are 10 continues a code point
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    n += 8 - static_cast<size_t>(std::popcount(word & ~(word << 1) & kTopBits));
  }
  for (; i < text.size(); ++i) n += (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
  return n;
}

namespace {

// Makes a cell's text visible in place, when it has anything to write out.
void makeVisible(std::string &text) {
  if (hasControlBytes(text)) text = visibleText(text);
}

}  // namespace

namespace {

// The layout without its cells.
TableLayout layoutHead(const Table &table) {
  static std::atomic<uint64_t> heads = 0;
  const TableTemplate &tmpl = tableTemplate(table.path);
  TableLayout layout;
  layout.head = ++heads;
  std::vector<const Column *> shown;
  std::vector<const ColumnTemplate *> shownTemplate;  // null where the template has none
  for (size_t i = 0; i < table.columns.size(); ++i) {
    auto it = tmpl.columns.find(table.columns[i].name);
    const ColumnTemplate *ct = it == tmpl.columns.end() ? nullptr : &it->second;
    if (!table.columns[i].print || (ct != nullptr && ct->hidden)) continue;
    shown.push_back(&table.columns[i]);
    shownTemplate.push_back(ct);
    layout.source.push_back(i);
    layout.sourceEnd = i + 1;
  }
  for (size_t k = 0; k < shown.size(); ++k) {
    layout.headers.push_back(headerOf(*shown[k], shownTemplate[k]));
    layout.numeric.push_back(shown[k]->type != ColumnType::kChar);
    layout.formats.push_back(numberFormat(shown[k]->format));
  }
  std::vector<bool> covered(shown.size(), false);
  for (const SpanTemplate &s : tmpl.spans) {
    Span span;
    if (!placeSpan(s, table, shown, &span)) continue;
    bool free = true;
    for (size_t k = 0; k < span.count; ++k) free = free && !covered[span.first + k];
    if (!free) continue;
    for (size_t k = 0; k < span.count; ++k) {
      covered[span.first + k] = true;
      const ColumnTemplate *ct = shownTemplate[span.first + k];
      if (ct == nullptr || !ct->hasHeader) layout.headers[span.first + k].clear();
    }
    layout.spans.push_back(std::move(span));
  }
  std::sort(layout.spans.begin(), layout.spans.end(),
            [](const Span &a, const Span &b) { return a.first < b.first; });
  for (Span &span : layout.spans) span.width = displayWidth(span.text);
  for (size_t k = 0; k < shown.size(); ++k) {
    layout.headerWidths.push_back(displayWidth(layout.headers[k]));
    const auto least = static_cast<size_t>(std::max(minimumWidthOf(*shown[k]), 0));
    layout.leastWidths.push_back(std::max(least, layout.headerWidths[k]));
  }
  layout.cellWidths = layout.leastWidths;
  return layout;
}

// The text of a cell that commonNumberCellAt leaves out, after the cells before
// it; returns its display width.
[[gnu::noinline]] size_t layoutOtherCell(const Cell &cell, const NumberFormat &format,
                                         CellTexts &cells, std::string &scratch) {
  if (const auto *d = std::get_if<double>(&cell)) {
    char *at = cells.room(numberRoom(format));
    char *end = writeNumber(*d, format, at);
    const auto width = static_cast<size_t>(end - at);
    cells.add(end, width);
    return width;
  }
  if (const auto *i = std::get_if<long long>(&cell)) {
    constexpr size_t kDigits = 24;
    char *at = cells.room(kDigits);
    char *end = std::to_chars(at, at + kDigits, *i).ptr;
    const auto width = static_cast<size_t>(end - at);
    cells.add(end, width);
    return width;
  }
  cellTextInto(cell, format, scratch);
  makeVisible(scratch);
  const size_t width = displayWidth(scratch);
  cells.add(scratch, width);
  return width;
}

// A number of the kinds writeCommonNumber writes, written at the cursor,
// which has room for it, and its display width in `width`; false for any
// other cell, the cursor left as it was.
inline bool commonNumberCellAt(const Cell &cell, const NumberFormat &format,
                               CellTexts::Cursor &cursor, size_t &width) {
  const auto *d = std::get_if<double>(&cell);
  if (d == nullptr || cursor.size - cursor.used < numberRoom(format)) return false;
  char *at = cursor.at();
  char *end = writeCommonNumber(*d, format, at);
  if (end == nullptr) return false;
  width = static_cast<size_t>(end - at);
  cursor.add(end, width);
  return true;
}

// The cells of the table's rows under a head made for its columns, written
// over the previous table's cells, and the width of each column they make;
// `scratch` holds the text of a cell that is not a number while it is made.
void layoutCells(const Table &table, TableLayout *layout, std::string &scratch) {
  const size_t n = layout->source.size();
  const size_t *source = layout->source.data();
  const NumberFormat *formats = layout->formats.data();
  CellTexts &cells = layout->cells;
  layout->rows = table.rows.size();
  cells.clear(table.rows.size() * n);
  size_t *widest = layout->cellWidths.data();
  // what each column is at least: its least width, after a row its widest cell
  const size_t *least = layout->leastWidths.data();
  if (table.rows.empty()) std::copy(least, least + n, widest);
  constexpr size_t kCellRoom = 64;
  CellTexts::Cursor cursor = cells.cursor(kCellRoom);
  for (const auto &row : table.rows) {
    const Cell *cell = row.data();
    const size_t m = row.size();
    for (size_t k = 0; k < n; ++k) {
      const size_t i = source[k];
      size_t width = 0;
      if (i >= m) {
        cursor.add(cursor.at(), 0);
      } else if (!commonNumberCellAt(cell[i], formats[k], cursor, width)) {
        cells.keep(cursor);
        width = layoutOtherCell(cell[i], formats[k], cells, scratch);
        cursor = cells.cursor(kCellRoom);
      }
      widest[k] = std::max(least[k], width);
    }
    least = widest;
  }
  cells.keep(cursor);
}

}  // namespace

inline LayoutCache::Entry &LayoutCache::entryOf(const Table &table) {
  for (const auto &[shape, entry] : byShape_) {
    if (shape == table.shape) return *entry;
  }
  return entryByPath(table);
}

LayoutCache::Entry &LayoutCache::entryByPath(const Table &table) {
  Entry &entry = byPath_[table.path];
  if (table.shape == 0) return entry;
  if (byShape_.size() == kShapesKept) byShape_.clear();
  byShape_.emplace_back(table.shape, &entry);
  return entry;
}

void CellTexts::grow(size_t n) {
  buffer_.resize(std::max(2 * buffer_.size(), used_ + n));
}

void LayoutCache::renewHead(Entry &entry, const Table &table) {
  if (entry.columns == table.columns && entry.attributes == table.attributes &&
      !entry.layout.source.empty()) {
    return;
  }
  entry.columns = table.columns;
  entry.attributes = table.attributes;
  entry.layout = layoutHead(table);
}

inline LayoutCache::Entry &LayoutCache::entryWithHead(const Table &table) {
  Entry &entry = entryOf(table);
  const bool sameShape = table.shape != 0 && table.shape == entry.shape;
  entry.shape = table.shape;
  if (!sameShape) renewHead(entry, table);
  return entry;
}

const TableLayout &LayoutCache::head(const Table &table) {
  return entryWithHead(table).layout;
}

const TableLayout &LayoutCache::layout(const Table &table) {
  TableLayout &layout = entryWithHead(table).layout;
  layoutCells(table, &layout, scratch_);
  return layout;
}

}  // namespace vyn::output

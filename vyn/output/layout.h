// A table laid out for display: the columns that are shown, their headers,
// the spanning headers above them and every cell as text. The listing and
// the HTML page draw from the same layout.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vyn/output/document.h"
#include "vyn/output/format.h"

namespace vyn::output {

// A header over `count` shown columns starting at shown column `first`.
struct Span {
  std::string text;
  size_t first = 0;
  size_t count = 0;
  size_t width = 0;  // display width of the text
};

// The texts of a table's cells, row after row, in one buffer that the next
// table's cells are written over, with the display width of each.
class CellTexts {
 public:
  // Empty, for `count` cells to be added.
  void clear(size_t count) {
    used_ = 0;
    added_ = 0;
    ends_.resize(count + 1);
    widths_.resize(count);
  }
  size_t size() const { return widths_.size(); }
  std::string_view text(size_t i) const {
    return {buffer_.data() + ends_[i], ends_[i + 1] - ends_[i]};
  }
  // The display widths of all cells.
  const size_t *widths() const { return widths_.data(); }
  // The texts of all cells, one after another, and where each ends in them
  // after where the first starts (at 0).
  const char *texts() const { return buffer_.data(); }
  const size_t *ends() const { return ends_.data(); }

  // Where the next cell goes, with room for `n` bytes; valid until the next call.
  char *room(size_t n) {
    if (buffer_.size() - used_ < n) grow(n);
    return buffer_.data() + used_;
  }
  // The next cell: written from room() up to `end`, of display width `width`.
  void add(const char *end, size_t width) {
    used_ = static_cast<size_t>(end - buffer_.data());
    widths_[added_] = width;
    ends_[++added_] = used_;
  }
  void add(std::string_view text, size_t width) {
    char *at = room(text.size());
    std::copy(text.begin(), text.end(), at);
    add(at + text.size(), width);
  }

  // The state of adding cells, held by a loop as its own: the bytes of a
  // cell's text may alias whatever it reaches through this object, while a
  // cursor of its own stays in registers. Valid until the next other call;
  // given back by keep().
  struct Cursor {
    char *base;      // the buffer
    size_t used;     // its bytes used
    size_t size;     // its size
    size_t *ends;    // where each cell ends
    size_t *widths;  // the display width of each cell
    size_t added;    // cells added

    char *at() const { return base + used; }
    // The next cell: written from at() up to `end`, of display width `width`.
    void add(const char *end, size_t width) {
      used = static_cast<size_t>(end - base);
      widths[added] = width;
      ends[++added] = used;
    }
  };
  // A cursor with room for `n` bytes at its next cell.
  Cursor cursor(size_t n) {
    room(n);
    return {buffer_.data(), used_, buffer_.size(), ends_.data(), widths_.data(), added_};
  }
  void keep(const Cursor &cursor) {
    used_ = cursor.used;
    added_ = cursor.added;
  }

 private:
  void grow(size_t n);

  std::string buffer_;
  size_t used_ = 0;
  size_t added_ = 0;                // cells added since clear()
  std::vector<size_t> ends_ = {0};  // where each cell ends, after the 0 the first one starts at
  std::vector<size_t> widths_;
};

struct TableLayout {
  uint64_t head = 0;                  // tells this head from every other one laid out
  std::vector<size_t> source;         // per shown column: its column in the table
  size_t sourceEnd = 0;               // the columns a row needs for them all: the last one's, + 1
  std::vector<std::string> headers;   // one per shown column
  std::vector<size_t> headerWidths;   // display width of each header
  std::vector<char> numeric;          // right-aligned columns
  std::vector<size_t> leastWidths;    // per column: its header's width, or "MinimumWidth" if wider
  std::vector<size_t> cellWidths;     // per column: its least width, widened to its widest cell
  std::vector<NumberFormat> formats;  // one per shown column
  std::vector<Span> spans;            // left to right, not overlapping
  size_t rows = 0;                    // rows of cells
  CellTexts cells;                    // row after row, each UTF-8
};

// What comes before an item: the titles that changed (those above the BY
// line, then those below it) and whether a BY line is due. A new BY group
// repeats every title below the first; an output group that no heading
// names gets its label as a title. The titles are the item's own, not copied.
struct Preamble {
  std::vector<const std::string *> above;  // titles before the BY line
  bool byLine = false;                     // the item starts a new BY group
  std::vector<const std::string *> below;  // titles after the BY line
};

// Whether nothing comes before `item` after `previous`: the same place (the
// same titles, group and BY group, known without comparing them) under titles.
// Without titles the same place repeats its BY line.
inline bool samePlaceUnderTitles(const Item &item, const Item *previous) {
  return previous != nullptr && item.place != 0 && item.place == previous->place &&
         !item.titles.empty();
}

// The preamble of `item` after `previous` (null at the start of a step).
Preamble preambleOf(const Item &item, const Item *previous);
// The same, written over `p`.
void preambleInto(const Item &item, const Item *previous, Preamble &p);

// The BY line text: "name=value" pairs joined by `separator`.
std::string byText(const std::vector<ByValue> &by, const char *separator);
// The same, appended to `out`.
void appendByText(std::string &out, const std::vector<ByValue> &by, const char *separator);

// Whether visibleText writes anything of the text out.
bool hasControlBytes(std::string_view text);

// Text with its control bytes written out (\t, \n, \r, \xNN), so that values
// that differ only in them look different on a page.
std::string visibleText(const std::string &text);
// The same, appended to `out`.
void appendVisible(std::string &out, std::string_view text);

// Tables laid out through the templates of their paths. Per path, the part
// that comes from the columns, the table's attributes and the template is
// worked out again only when they change, so that a table emitted in BY
// group after BY group is laid out once; the cells are laid out every time.
class LayoutCache {
 public:
  // The layout of `table`, valid until the next call.
  const TableLayout &layout(const Table &table);
  // The same without laying out the cells: what `layout` gives but the rows,
  // the cells and the column widths they make, which are an earlier table's.
  const TableLayout &head(const Table &table);

 private:
  struct Entry {
    uint64_t shape = 0;  // of the table laid out last
    std::vector<Column> columns;
    Attributes attributes;
    TableLayout layout;
  };
  // The entry of the table's path, found by its shape when it is one seen lately.
  Entry &entryOf(const Table &table);
  // The same for a shape not seen lately: the entry of the table's path.
  [[gnu::noinline]] Entry &entryByPath(const Table &table);
  // The entry's head laid out again for the table unless it has its columns
  // and attributes already.
  [[gnu::noinline]] static void renewHead(Entry &entry, const Table &table);
  // The entry of the table's path with its head laid out for the table.
  Entry &entryWithHead(const Table &table);

  static constexpr size_t kShapesKept = 16;
  std::map<std::string, Entry> byPath_;
  std::vector<std::pair<uint64_t, Entry *>> byShape_;  // a shape's table has the entry's path
  std::string scratch_;                                // a cell's text while it is made
};

// The word of `Word` bytes at `p`.
template <typename Word>
inline Word wordAt(const char *p) {
  Word word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// Whether two texts are equal. Titles and BY values are mostly short, and
// those of up to 32 bytes are compared in words that may overlap, without a
// call.
inline bool sameText(std::string_view a, std::string_view b) {
  const size_t n = a.size();
  if (n != b.size()) return false;
  const char *x = a.data();
  const char *y = b.data();
  if (n < 4) {
    for (size_t i = 0; i < n; ++i) {
      if (x[i] != y[i]) return false;
    }
    return true;
  }
  if (n < 8) {
    using Word = uint32_t;
    return ((wordAt<Word>(x) ^ wordAt<Word>(y)) |
            (wordAt<Word>(x + n - 4) ^ wordAt<Word>(y + n - 4))) == 0;
  }
  if (n > 32) return std::memcmp(x, y, n) == 0;
  using Word = uint64_t;
  Word differ =
      (wordAt<Word>(x) ^ wordAt<Word>(y)) | (wordAt<Word>(x + n - 8) ^ wordAt<Word>(y + n - 8));
  if (n > 16) {
    differ |= (wordAt<Word>(x + 8) ^ wordAt<Word>(y + 8)) |
              (wordAt<Word>(x + n - 16) ^ wordAt<Word>(y + n - 16));
  }
  return differ == 0;
}

// Display width of UTF-8 text: its code points.
size_t displayWidth(std::string_view text);

}  // namespace vyn::output

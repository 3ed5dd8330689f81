// A table laid out for display: the columns that are shown, their headers,
// the spanning headers above them and every cell as text. The listing and
// the HTML page draw from the same layout.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "vyn/output/document.h"
#include "vyn/output/format.h"

namespace vyn::output {

// A header over `count` shown columns starting at shown column `first`.
struct Span {
  std::string text;
  size_t first = 0;
  size_t count = 0;
};

struct TableLayout {
  uint64_t head = 0;                            // tells this head from every other one laid out
  std::vector<size_t> source;                   // per shown column: its column in the table
  std::vector<std::string> headers;             // one per shown column
  std::vector<bool> numeric;                    // right-aligned columns
  std::vector<int> minimumWidth;                // from "MinimumWidth", 0 when unset
  std::vector<NumberFormat> formats;            // one per shown column
  std::vector<Span> spans;                      // left to right, not overlapping
  std::vector<std::vector<std::string>> cells;  // rows of shown cells, each UTF-8
  std::vector<size_t> cellWidths;               // display width of each cell, row after row
};

// What comes before an item: the titles that changed (those above the BY
// line, then those below it) and whether a BY line is due. A new BY group
// repeats every title below the first; an output group that no heading
// names gets its label as a title.
struct Preamble {
  std::vector<std::string> above;  // titles before the BY line
  bool byLine = false;             // the item starts a new BY group
  std::vector<std::string> below;  // titles after the BY line
};

// The preamble of `item` after `previous` (null at the start of a step).
Preamble preambleOf(const Item &item, const Item *previous);

// The BY line text: "name=value" pairs joined by `separator`.
std::string byText(const std::vector<ByValue> &by, const char *separator);

// Text with its control bytes written out (\t, \n, \r, \xNN), so that values
// that differ only in them look different on a page.
std::string visibleText(const std::string &text);

// Tables laid out through the templates of their paths. Per path, the part
// that comes from the columns, the table's attributes and the template is
// worked out again only when they change, so that a table emitted in BY
// group after BY group is laid out once; the cells are laid out every time.
class LayoutCache {
 public:
  // The layout of `table`, valid until the next call.
  const TableLayout &layout(const Table &table);

 private:
  struct Entry {
    uint64_t shape = 0;  // of the table laid out last
    std::vector<Column> columns;
    Attributes attributes;
    TableLayout layout;
  };
  std::map<std::string, Entry> byPath_;
};

// Display width of UTF-8 text: its code points.
size_t displayWidth(const std::string &text);

}  // namespace vyn::output

// Table templates: how the tables of a template path are shown. They are
// data (templates.json, embedded at build time); a path without a template
// gets the default one.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace vyn::output {

// How one column is shown.
struct ColumnTemplate {
  bool hasHeader = false;  // `header` replaces the column's label
  std::string header;      // the header text (may be empty)
  std::string
      headerAttribute;  // a column attribute whose text is the header when there is no label
  std::string format;   // display format, such as "PVALUE6.4"; empty: the table's
  bool hidden = false;  // kept in the data (JSON) but not shown in the listing or HTML
};

// A header spanning adjacent columns, shown when the table has the attribute;
// %1 in the text is the attribute's value.
struct SpanTemplate {
  std::string attribute;             // such as "confmean"
  std::string text;                  // such as "%1% CL Mean"
  std::vector<std::string> columns;  // the columns it spans, in table order
};

struct TableTemplate {
  std::string numberFormat = "BEST12.";  // format of numeric columns without their own
  std::map<std::string, ColumnTemplate> columns;
  std::vector<SpanTemplate> spans;
};

// The template of a path; the default template for an unknown path.
const TableTemplate &tableTemplate(const std::string &path);

// The display format of a column of a table: the template's, else the
// procedure's own format name, else the table's number format (empty for
// character columns).
std::string columnFormat(const TableTemplate &tmpl, const std::string &column,
                         const std::string &ownFormat, bool numeric);

}  // namespace vyn::output

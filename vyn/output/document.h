// What a run delivered through the output-object system: per step its log
// and the tables and notes it emitted, in order. The renderers turn a run
// into a listing, an HTML page or JSON.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "vyn/core/log.h"

namespace vyn::output {

// One BY variable of the current BY group.
struct ByValue {
  std::string name;       // the BY variable's name
  std::string value;      // its value, unformatted (numbers in shortest exact form)
  std::string formatted;  // its formatted value
};

// The output group an item belongs to; both empty outside any group.
struct GroupRef {
  std::string name;   // name of the group (the variable or pair)
  std::string label;  // its title, as the procedure headed it
  int serial = 0;     // distinguishes groups of the same name; 0 outside any group
};

// A dynamic attribute value: number, integer, string or boolean.
using AttrValue = std::variant<double, long long, std::string, bool>;
using Attributes = std::map<std::string, AttrValue, std::less<>>;

enum class ColumnType { kNum, kInt, kChar };

// One column of an emitted table.
struct Column {
  std::string name;       // column name
  std::string label;      // column label; empty when the column has none
  ColumnType type;        // num, int or char
  std::string format;     // display format name, empty when none was set
  int width = 0;          // display width the procedure asked for; 0 when none
  bool print = true;      // false when "PrintIt" or a "_print*" attribute hides it
  Attributes attributes;  // the column's own attributes (MinimumWidth, ProbtHeader, ...)

  bool operator==(const Column &) const = default;
};

// One cell: a number, an integer, a missing value (by its letter: '.', 'I',
// 'M', '_', 'A'..'Z') or characters with trailing blanks removed.
struct Missing {
  char letter;
  bool operator==(const Missing &) const = default;
};
using Cell = std::variant<double, long long, Missing, std::string>;

// A table as it was emitted.
struct Table {
  std::string name;                     // table name, such as "Statistics"
  std::string path;                     // template path, such as "Stat.Kravo.Statistics"
  std::string label;                    // table label
  Attributes attributes;                // dynamic attributes of the table and its output
  std::vector<Column> columns;          // in definition order
  std::vector<std::vector<Cell>> rows;  // one cell per column
  // Nonzero: tables of the same shape have equal columns and attributes, so
  // what was worked out from those of one serves the next.
  uint64_t shape = 0;
};

// A note written into the output (not the log).
struct Note {
  std::string name;  // such as "KravoFreqNote"
  std::string text;  // the finished text
};

// One column of a graph data object: its definition and one cell per row.
struct DataColumn {
  Column column;            // name, label, type, format as defined
  std::string tmpl;         // column template ("Statistic", "GenericString", "Y"), empty when none
  std::vector<Cell> cells;  // the column's values, one per row
};

// A data object that graphs draw from; never shown as a table.
struct DataObject {
  std::string name;                 // such as "GraphDataStats"
  std::string label;                // its label
  std::vector<DataColumn> columns;  // in definition order, all of the same length
};

// The value of a graph's dynamic variable: a text or a number.
using DynamicValue = std::variant<std::string, double>;

// A graph as the procedure asked for it: the host draws it from its template.
struct Graph {
  std::string name;           // graph name, such as "SummaryPanel"
  std::string path;           // full template name, such as "Stat.Kravo.Graphics.Summary1"
  std::string title;          // title
  std::string contentsLabel;  // table-of-contents label
  std::string label;          // label
  std::vector<std::pair<std::string, DynamicValue>> dynamics;  // in the order they were set
  std::vector<std::shared_ptr<const DataObject>> data;         // by position; null: none attached
};

// What can be emitted.
using Content = std::variant<Table, Note, Graph>;

// One emitted object with where it stands: headings, output group, BY group.
struct Item {
  Content content;
  std::vector<std::string> titles;  // the headings in force, outermost first
  GroupRef group;                   // the output group
  std::vector<ByValue> by;          // the BY group; empty without a BY statement
  // Nonzero: items of the same place have equal titles, group and BY group,
  // so what was taken from those of one serves the next.
  uint64_t place = 0;
};

// One procedure step of a program.
struct StepRecord {
  std::string proc;           // procedure name, upper case
  int rc = 0;                 // the code the step passed to the exit service
  std::vector<LogEntry> log;  // notes, warnings and errors in order
  std::vector<Item> output;   // emitted objects in emission order
  LogTally tally = {};        // the warnings and errors of the log, counted as they came
};

using Run = std::vector<StepRecord>;

}  // namespace vyn::output

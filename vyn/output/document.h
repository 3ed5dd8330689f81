// What a run delivered through the output-object system: per step its log
// and the tables and notes it emitted, in order. The renderers turn a run
// into a listing, an HTML page or JSON.
#pragma once

#include <map>
#include <string>
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
using Attributes = std::map<std::string, AttrValue>;

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
};

// A note written into the output (not the log).
struct Note {
  std::string name;  // such as "KravoFreqNote"
  std::string text;  // the finished text
};

// One emitted object with where it stands: headings, output group, BY group.
struct Item {
  std::variant<Table, Note> content;
  std::vector<std::string> titles;  // the headings in force, outermost first
  GroupRef group;                   // the output group
  std::vector<ByValue> by;          // the BY group; empty without a BY statement
};

// One procedure step of a program.
struct StepRecord {
  std::string proc;           // procedure name, upper case
  int rc = 0;                 // the code the step passed to the exit service
  std::vector<LogEntry> log;  // notes, warnings and errors in order
  std::vector<Item> output;   // emitted objects in emission order
};

using Run = std::vector<StepRecord>;

}  // namespace vyn::output

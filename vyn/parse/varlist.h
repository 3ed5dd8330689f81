// Expansion of variable-list items to the variable numbers of a data set.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "vyn/core/step.h"

namespace vyn {

// The forms of a variable-list item, as the grammar's item action numbers them.
enum ItemForm : int {
  kItemSingle = 1,        // x
  kItemNumbered = 2,      // x1-x5
  kItemDataOrder = 3,     // a--d
  kItemNumericRange = 4,  // a-NUMERIC-d
  kItemCharRange = 5,     // a-CHARACTER-d
  kItemPrefix = 6,        // abc:
  kItemNumeric = 7,       // _NUMERIC_
  kItemCharacter = 8,     // _CHARACTER_
  kItemAll = 9,           // _ALL_
};

// A fault of an item: a group-210 message number and its inserts.
struct ItemError {
  int message;
  std::vector<std::string> inserts;
};

// The variables of a data set with their names indexed, so that expanding
// an item costs about what it expands to, not a pass over every variable.
class VariableIndex {
 public:
  explicit VariableIndex(const std::vector<VariableRef> &vars);

  const std::vector<VariableRef> &variables() const { return *vars_; }
  // The number of the variable called `name` (any case), or -1.
  int find(std::string_view name) const;
  // The variable a name literal ('Sepal.Length'n) stands for: the one whose
  // header name is `written` (any case), else the one called so; -1 when none.
  int findLiteral(std::string_view written) const;
  // The variables whose names begin with `prefix` (any case), in data-set order.
  std::vector<int> withPrefix(std::string_view prefix) const;
  // The numeric or the character variables, in data-set order.
  const std::vector<int> &ofType(bool numeric) const { return numeric ? numeric_ : character_; }

 private:
  const std::vector<VariableRef> *vars_;
  std::unordered_map<std::string, int> numberOf_;    // upper-case name -> first variable
  std::vector<std::pair<std::string, int>> byName_;  // upper-case names, sorted
  std::vector<int> numeric_, character_;
  // upper-case header name -> first variable; made at the first name literal
  mutable std::unordered_map<std::string, int> headerOf_;
  mutable bool headersIndexed_ = false;
};

// Expands an item written with `names` (none, one or two names, as its form
// needs) against the indexed variables, appending variable numbers to `out`.
// Returns the fault when the item names variables the data set does not have.
std::optional<ItemError> expandItem(int form, const std::vector<std::string> &names,
                                    const VariableIndex &vars, std::vector<int> &out);

}  // namespace vyn

// Expansion of variable-list items to the variable numbers of a data set.
#pragma once

#include <optional>
#include <string>
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

// Expands an item written with `names` (none, one or two names, as its form
// needs) against `vars`, appending variable numbers to `out`. Returns the
// fault when the item names variables the data set does not have.
std::optional<ItemError> expandItem(int form, const std::vector<std::string> &names,
                                    const std::vector<VariableRef> &vars, std::vector<int> &out);

// The number of the variable called `name` (any case), or -1.
int findVariable(const std::vector<VariableRef> &vars, const std::string &name);

}  // namespace vyn

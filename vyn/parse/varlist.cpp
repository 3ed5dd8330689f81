#include "vyn/parse/varlist.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "vyn/parse/parsemsg.h"

namespace vyn {
namespace {

std::string upper(std::string s) {
  for (char &c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

ItemError missing(const std::string &name) {
  return {kMsgNoVariable, {name}};
}

// A name split into its prefix and trailing digits ("x01" -> "x", "01").
struct NumberedName {
  std::string prefix;
  std::string digits;
};

NumberedName splitNumbered(const std::string &name) {
  size_t cut = name.size();
  while (cut > 0 && std::isdigit(static_cast<unsigned char>(name[cut - 1]))) --cut;
  return {name.substr(0, cut), name.substr(cut)};
}

// Digits beyond this many cannot name a variable of a real data set.
constexpr size_t kMaxSuffixDigits = 9;

std::optional<ItemError> expandNumbered(const std::string &first, const std::string &last,
                                        const std::vector<VariableRef> &vars,
                                        std::vector<int> &out) {
  const NumberedName a = splitNumbered(first), b = splitNumbered(last);
  const ItemError bad{kMsgBadNumbered, {first, last}};
  if (a.digits.empty() || b.digits.empty() || upper(a.prefix) != upper(b.prefix)) return bad;
  if (a.digits.size() > kMaxSuffixDigits || b.digits.size() > kMaxSuffixDigits) return bad;
  const int64_t from = std::stoll(a.digits), to = std::stoll(b.digits);
  if (from > to) return bad;
  const bool padded = a.digits.size() > 1 && a.digits[0] == '0';
  std::vector<int> found;
  for (int64_t k = from; k <= to; ++k) {
    std::string digits = std::to_string(k);
    if (padded && digits.size() < a.digits.size()) {
      digits.insert(0, a.digits.size() - digits.size(), '0');
    }
    const std::string name = a.prefix + digits;
    const int v = findVariable(vars, name);
    if (v < 0) return missing(name);  // stops within the data set's size
    found.push_back(v);
  }
  out.insert(out.end(), found.begin(), found.end());
  return std::nullopt;
}

std::optional<ItemError> expandOrdered(int form, const std::string &first, const std::string &last,
                                       const std::vector<VariableRef> &vars,
                                       std::vector<int> &out) {
  const int a = findVariable(vars, first), b = findVariable(vars, last);
  if (a < 0) return missing(first);
  if (b < 0) return missing(last);
  if (a > b) return ItemError{kMsgReversedRange, {first, last}};
  for (int v = a; v <= b; ++v) {
    const bool numeric = vars[v].numeric;
    if (form == kItemNumericRange && !numeric) continue;
    if (form == kItemCharRange && numeric) continue;
    out.push_back(v);
  }
  return std::nullopt;
}

std::optional<ItemError> expandPrefix(const std::string &prefix,
                                      const std::vector<VariableRef> &vars, std::vector<int> &out) {
  const std::string p = upper(prefix);
  const size_t before = out.size();
  for (size_t v = 0; v < vars.size(); ++v) {
    if (upper(vars[v].name).compare(0, p.size(), p) == 0) out.push_back(static_cast<int>(v));
  }
  if (out.size() == before) return ItemError{kMsgNoPrefix, {prefix}};
  return std::nullopt;
}

void expandByType(int form, const std::vector<VariableRef> &vars, std::vector<int> &out) {
  for (size_t v = 0; v < vars.size(); ++v) {
    if (form == kItemAll || (form == kItemNumeric) == vars[v].numeric) {
      out.push_back(static_cast<int>(v));
    }
  }
}

}  // namespace

int findVariable(const std::vector<VariableRef> &vars, const std::string &name) {
  const std::string key = upper(name);
  for (size_t v = 0; v < vars.size(); ++v) {
    if (vars[v].name.size() == key.size() && upper(vars[v].name) == key) {
      return static_cast<int>(v);
    }
  }
  return -1;
}

std::optional<ItemError> expandItem(int form, const std::vector<std::string> &names,
                                    const std::vector<VariableRef> &vars, std::vector<int> &out) {
  const size_t needed = form == kItemSingle || form == kItemPrefix        ? 1
                        : form >= kItemNumbered && form <= kItemCharRange ? 2
                                                                          : 0;
  if (names.size() != needed || form < kItemSingle || form > kItemAll) {
    return ItemError{kMsgUnknownAction, {"10 (" + std::to_string(form) + ")"}};
  }
  switch (form) {
    case kItemSingle: {
      const int v = findVariable(vars, names[0]);
      if (v < 0) return missing(names[0]);
      out.push_back(v);
      return std::nullopt;
    }
    case kItemNumbered:
      return expandNumbered(names[0], names[1], vars, out);
    case kItemDataOrder:
    case kItemNumericRange:
    case kItemCharRange:
      return expandOrdered(form, names[0], names[1], vars, out);
    case kItemPrefix:
      return expandPrefix(names[0], vars, out);
    default:
      expandByType(form, vars, out);
      return std::nullopt;
  }
}

}  // namespace vyn

#include "vyn/parse/varlist.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "vyn/parse/parsemsg.h"

namespace vyn {
namespace {

std::string upper(std::string_view s) {
  std::string out(s);
  for (char &c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
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
                                        const VariableIndex &vars, std::vector<int> &out) {
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
    const int v = vars.find(name);
    if (v < 0) return missing(name);  // stops within the data set's size
    found.push_back(v);
  }
  out.insert(out.end(), found.begin(), found.end());
  return std::nullopt;
}

std::optional<ItemError> expandOrdered(int form, const std::string &first, const std::string &last,
                                       const VariableIndex &vars, std::vector<int> &out) {
  const int a = vars.find(first), b = vars.find(last);
  if (a < 0) return missing(first);
  if (b < 0) return missing(last);
  if (a > b) return ItemError{kMsgReversedRange, {first, last}};
  for (int v = a; v <= b; ++v) {
    const bool numeric = vars.variables()[v].numeric;
    if (form == kItemNumericRange && !numeric) continue;
    if (form == kItemCharRange && numeric) continue;
    out.push_back(v);
  }
  return std::nullopt;
}

std::optional<ItemError> expandPrefix(const std::string &prefix, const VariableIndex &vars,
                                      std::vector<int> &out) {
  const std::vector<int> found = vars.withPrefix(prefix);
  if (found.empty()) return ItemError{kMsgNoPrefix, {prefix}};
  out.insert(out.end(), found.begin(), found.end());
  return std::nullopt;
}

}  // namespace

VariableIndex::VariableIndex(const std::vector<VariableRef> &vars) : vars_(&vars) {
  byName_.reserve(vars.size());
  numberOf_.reserve(vars.size());
  for (size_t v = 0; v < vars.size(); ++v) {
    const int number = static_cast<int>(v);
    byName_.emplace_back(upper(vars[v].name), number);
    numberOf_.emplace(byName_.back().first, number);
    (vars[v].numeric ? numeric_ : character_).push_back(number);
  }
  std::sort(byName_.begin(), byName_.end());
}

int VariableIndex::find(std::string_view name) const {
  const auto found = numberOf_.find(upper(name));
  return found == numberOf_.end() ? -1 : found->second;
}

int VariableIndex::findLiteral(std::string_view written) const {
  if (!headersIndexed_) {
    for (size_t v = 0; v < vars_->size(); ++v) {
      const VariableRef &ref = (*vars_)[v];
      headerOf_.emplace(upper(ref.header.empty() ? ref.name : ref.header), static_cast<int>(v));
    }
    headersIndexed_ = true;
  }
  const auto found = headerOf_.find(upper(written));
  return found != headerOf_.end() ? found->second : find(written);
}

std::vector<int> VariableIndex::withPrefix(std::string_view prefix) const {
  const std::string p = upper(prefix);
  std::vector<int> out;
  auto it = std::lower_bound(byName_.begin(), byName_.end(), std::make_pair(p, -1));
  for (; it != byName_.end() && it->first.compare(0, p.size(), p) == 0; ++it) {
    out.push_back(it->second);
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::optional<ItemError> expandItem(int form, const std::vector<std::string> &names,
                                    const VariableIndex &vars, std::vector<int> &out) {
  const size_t needed = form == kItemSingle || form == kItemPrefix        ? 1
                        : form >= kItemNumbered && form <= kItemCharRange ? 2
                                                                          : 0;
  if (names.size() != needed || form < kItemSingle || form > kItemAll) {
    return ItemError{kMsgUnknownAction, {"10 (" + std::to_string(form) + ")"}};
  }
  switch (form) {
    case kItemSingle: {
      const int v = vars.find(names[0]);
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
    case kItemAll:
      for (size_t v = 0; v < vars.variables().size(); ++v) out.push_back(static_cast<int>(v));
      return std::nullopt;
    default: {
      const std::vector<int> &typed = vars.ofType(form == kItemNumeric);
      out.insert(out.end(), typed.begin(), typed.end());
      return std::nullopt;
    }
  }
}

}  // namespace vyn

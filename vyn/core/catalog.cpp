#include "vyn/core/catalog.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <utility>

extern const char vyn_catalog_text[];

namespace vyn {
namespace {

struct Message {
  LogLevel level;
  std::string text;
};

LogLevel levelOf(char code) {
  switch (code) {
    case 'E':
      return LogLevel::kError;
    case 'W':
      return LogLevel::kWarning;
    case 'N':
      return LogLevel::kNote;
    default:
      return LogLevel::kText;
  }
}

// Lines are "GROUP NUMBER LEVEL TEXT"; blank lines and lines starting with #
// are skipped.
std::map<std::pair<int, int>, Message> parseCatalog() {
  std::map<std::pair<int, int>, Message> messages;
  std::istringstream in(vyn_catalog_text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    int group = 0, number = 0;
    std::string level;
    if (!(fields >> group >> number >> level) || level.size() != 1) continue;
    std::string text;
    std::getline(fields >> std::ws, text);
    messages[{group, number}] = {levelOf(level[0]), text};
  }
  return messages;
}

const std::map<std::pair<int, int>, Message> &catalog() {
  static const auto messages = parseCatalog();
  return messages;
}

const Message *find(int group, int number) {
  auto it = catalog().find({group, number});
  return it == catalog().end() ? nullptr : &it->second;
}

}  // namespace

const char *catalogText(int group, int number) {
  const Message *m = find(group, number);
  return m == nullptr ? nullptr : m->text.c_str();
}

std::string catalogMessage(int group, int number, const std::vector<std::string> &inserts) {
  const Message *m = find(group, number);
  if (m == nullptr) {
    std::string text = "Message " + std::to_string(number) + " of group " + std::to_string(group) +
                       " is not in the catalogue.";
    for (const std::string &s : inserts) text += " [" + s + "]";
    return text;
  }
  return fillCatalogInserts(m->text, inserts);
}

void appendCatalogInserts(std::string &out, std::string_view t,
                          const std::vector<std::string> &inserts) {
  size_t from = 0;
  for (size_t at = t.find('%'); at != std::string_view::npos; at = t.find('%', at + 1)) {
    if (at + 1 >= t.size() || t[at + 1] < '1' || t[at + 1] > '9') continue;
    out.append(t, from, at - from);
    const size_t k = static_cast<size_t>(t[at + 1] - '1');
    if (k < inserts.size()) out += inserts[k];
    from = at + 2;
    ++at;
  }
  out.append(t, from);
}

std::string fillCatalogInserts(std::string_view t, const std::vector<std::string> &inserts) {
  std::string out;
  appendCatalogInserts(out, t, inserts);
  return out;
}

namespace {

// A number in its shortest exact form; a whole number below 10^4 in magnitude
// is its digits, which the shortest form always is for it.
void numberText(double value, std::string &out) {
  char buf[32];
  const bool small =
      std::trunc(value) == value && std::fabs(value) < 1e4 && !(value == 0 && std::signbit(value));
  auto [end, ec] = small ? std::to_chars(buf, buf + sizeof buf, static_cast<int>(value))
                         : std::to_chars(buf, buf + sizeof buf, value);
  if (ec == std::errc()) {
    out.assign(buf, end);
  } else {
    out.assign(".");
  }
}

}  // namespace

void catalogInsertsInto(std::vector<std::string> &texts, int32_t count, const xins *inserts) {
  texts.resize(inserts != nullptr && count > 0 ? static_cast<size_t>(count) : 0);
  for (size_t i = 0; i < texts.size(); ++i) {
    const xins &in = inserts[i];
    if (in.kind == 1) {
      numberText(in.value, texts[i]);
    } else if (in.text == nullptr) {
      texts[i].clear();
    } else {
      texts[i].assign(in.text, in.len < 0 ? std::strlen(in.text) : static_cast<size_t>(in.len));
    }
  }
}

std::vector<std::string> catalogInserts(int32_t count, const xins *inserts) {
  std::vector<std::string> texts;
  catalogInsertsInto(texts, count, inserts);
  return texts;
}

LogLevel catalogLevel(int group, int number) {
  const Message *m = find(group, number);
  return m == nullptr ? LogLevel::kError : m->level;
}

const char *catalogTextAndLevel(int group, int number, LogLevel *level) {
  const Message *m = find(group, number);
  if (m == nullptr) return nullptr;
  *level = m->level;
  return m->text.c_str();
}

}  // namespace vyn

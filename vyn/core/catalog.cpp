#include "vyn/core/catalog.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <unordered_map>
#include <utility>

#include "vyn/core/copy_short.h"
#include "vyn/core/digit_pairs.h"

extern const char vyn_catalog_text[];

namespace vyn {
namespace {

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

// The most bytes a piece is copied in at once: a literal as that many bytes of
// its padded text, any other text in two runs that may overlap.
constexpr size_t kChunk = kShortCopy;

// The bytes from `from` to `to` as literal pieces of at most kChunk bytes.
void addLiteral(CatalogEntry &entry, size_t from, size_t to) {
  for (; from < to; from += kChunk) {
    const size_t n = std::min(kChunk, to - from);
    entry.pieces.push_back(
        {CatalogPiece::kLiteral, 0, static_cast<uint32_t>(from), static_cast<uint32_t>(n)});
  }
}

void cutIntoPieces(CatalogEntry &entry) {
  const std::string &t = entry.text;
  size_t from = 0;
  for (size_t at = t.find('%'); at != std::string::npos && at + 1 < t.size();
       at = t.find('%', at + 1)) {
    const char c = t[at + 1];
    const bool by = c == 'B';
    if (!by && (c < '1' || c > '9')) continue;
    addLiteral(entry, from, at);
    if (by) {
      entry.pieces.push_back({CatalogPiece::kByGroup, 0, 0, 0});
    } else {
      entry.pieces.push_back({CatalogPiece::kInsert, static_cast<uint8_t>(c - '1'), 0, 0});
    }
    entry.namesByGroup = entry.namesByGroup || by;
    from = at + 2;
    ++at;
  }
  addLiteral(entry, from, t.size());
}

using Catalog = std::unordered_map<uint64_t, CatalogEntry>;

uint64_t keyOf(int group, int number) {
  return static_cast<uint64_t>(static_cast<uint32_t>(group)) << 32 | static_cast<uint32_t>(number);
}

// Lines are "GROUP NUMBER LEVEL TEXT"; blank lines and lines starting with #
// are skipped.
Catalog parseCatalog() {
  Catalog messages;
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
    messages[keyOf(group, number)] = catalogEntryOf(levelOf(level[0]), std::move(text));
  }
  return messages;
}

const Catalog &catalog() {
  static const Catalog messages = parseCatalog();
  return messages;
}

const CatalogEntry *find(int group, int number) {
  const Catalog &messages = catalog();
  auto it = messages.find(keyOf(group, number));
  return it == messages.end() ? nullptr : &it->second;
}

// A whole number from 0 to 99999, not -0: the counts a log note names mostly are.
inline bool smallWhole(double value) {
  return value >= 0 && value < 100000 && !std::signbit(value) &&
         static_cast<double>(static_cast<uint32_t>(value)) == value;
}

// The digits of a whole number below 100000 written at `out`, two at a time
// from the last; their count.
size_t smallWholeDigits(uint32_t value, char *out) {
  const size_t n = value < 10 ? 1 : value < 100 ? 2 : value < 1000 ? 3 : value < 10000 ? 4 : 5;
  for (char *at = out + n; value >= 100; value /= 100) {
    at -= 2;
    pairAt(value % 100, at);
  }
  belowHundredAt(value, out);
  return n;
}

// Room for a message as long as most are.
constexpr size_t kGathered = 512;

// The pieces of a message gathered in a buffer on the stack and appended to
// `out` at once; a piece longer than kChunk is appended by itself after what
// is gathered before it.
class Gathered {
 public:
  explicit Gathered(std::string &out) : out_(out) {}
  Gathered(const Gathered &) = delete;
  Gathered &operator=(const Gathered &) = delete;

  [[gnu::always_inline]] void put(std::string_view t) {
    if (t.size() > kChunk) return putLong(t);
    copyShort(room(), t.data(), t.size());
    used_ += t.size();
  }
  // A literal piece, at most kChunk bytes, whose kChunk bytes from its start
  // can be read.
  void putPadded(std::string_view t) {
    std::memcpy(room(), t.data(), kChunk);
    used_ += t.size();
  }
  // A whole number below 100000 (smallWhole) in its digits.
  void putWhole(uint32_t value) { used_ += smallWholeDigits(value, room()); }
  void flush() {
    out_.append(buffer_, used_);
    used_ = 0;
  }

 private:
  // Where kChunk more bytes fit.
  char *room() {
    if (used_ > kGathered - kChunk) flush();
    return buffer_ + used_;
  }
  void putLong(std::string_view t) {
    flush();
    out_ += t;
  }

  std::string &out_;
  char buffer_[kGathered];
  size_t used_ = 0;
};

// The text of an insert; a number is written into `digits`.
std::string_view insertText(const xins &in, char (&digits)[32]) {
  if (in.kind == 1) return shortestNumberText(in.value, digits);
  if (in.text == nullptr) return {};
  return {in.text, in.len < 0 ? std::strlen(in.text) : static_cast<size_t>(in.len)};
}

// An insert of a service call put in its text; a small whole number is
// written straight in.
[[gnu::always_inline]] inline void putInsert(Gathered &gathered, const xins &in) {
  if (in.kind == 1 && smallWhole(in.value))
    return gathered.putWhole(static_cast<uint32_t>(in.value));
  char digits[32];
  gathered.put(insertText(in, digits));
}

// The entry's pieces appended to `out`: `byPhrase` at each %B and insert k
// as `putInsertAt(gathered, k)` puts it (nothing when not given).
template <typename PutInsert>
void appendPieces(std::string &out, const CatalogEntry &entry, std::string_view byPhrase,
                  PutInsert putInsertAt) {
  Gathered gathered(out);
  for (const CatalogPiece &p : entry.pieces) {
    if (p.kind == CatalogPiece::kLiteral) {
      gathered.putPadded({entry.padded.data() + p.from, p.length});
    } else if (p.kind == CatalogPiece::kByGroup) {
      gathered.put(byPhrase);
    } else {
      putInsertAt(gathered, p.insert);
    }
  }
  gathered.flush();
}

// The entry with the given texts as its inserts; a %B is no place of a BY
// group here: it stays as written.
std::string withTextInserts(const CatalogEntry &entry, const std::vector<std::string> &inserts) {
  std::string out;
  appendPieces(out, entry, "%B", [&](Gathered &gathered, uint8_t k) {
    if (k < inserts.size()) gathered.put(inserts[k]);
  });
  return out;
}

}  // namespace

CatalogEntry catalogEntryOf(LogLevel level, std::string text) {
  CatalogEntry entry{level, std::move(text), {}, {}};
  entry.padded = entry.text;
  entry.padded.append(kChunk, '\0');
  cutIntoPieces(entry);
  return entry;
}

// A whole number below 10^15 is its digits unless trailing zeros make its E
// form shorter: never with five digits or fewer ("1e+05" has five
// characters) nor when its last digit is not 0. The counts a log note names
// are mostly below 100000 and not negative: their digits are written at once.
std::string_view shortestNumberText(double value, char (&buf)[32]) {
  if (smallWhole(value)) return {buf, smallWholeDigits(static_cast<uint32_t>(value), buf)};
  if (std::fabs(value) < 1e15 && !(value == 0 && std::signbit(value))) {
    const auto whole = static_cast<int64_t>(value);
    const auto magnitude = static_cast<uint64_t>(whole < 0 ? -whole : whole);
    if (static_cast<double>(whole) == value && (magnitude < 100000 || magnitude % 10 != 0))
      return {buf, static_cast<size_t>(std::to_chars(buf, buf + sizeof buf, whole).ptr - buf)};
  }
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  return {buf, ec == std::errc() ? static_cast<size_t>(end - buf) : 0};
}

// The entries found lately, by the low bits of their numbers: a step logs
// the same few messages again and again.
const CatalogEntry *catalogEntry(int group, int number) {
  struct Found {
    uint64_t key = ~uint64_t{0};
    const CatalogEntry *entry = nullptr;
  };
  thread_local std::array<Found, 16> recent;
  const uint64_t key = keyOf(group, number);
  Found &f = recent[static_cast<uint32_t>(number) % recent.size()];
  if (f.key != key) f = {key, find(group, number)};
  return f.entry;
}

void appendCatalogEntry(std::string &out, const CatalogEntry &entry, int32_t count,
                        const xins *inserts, std::string_view byPhrase) {
  const int32_t given = inserts == nullptr ? 0 : count;
  appendPieces(out, entry, byPhrase, [&](Gathered &gathered, uint8_t k) {
    if (k < given) putInsert(gathered, inserts[k]);
  });
}

const char *catalogText(int group, int number) {
  const CatalogEntry *m = find(group, number);
  return m == nullptr ? nullptr : m->text.c_str();
}

std::string catalogMessage(int group, int number, const std::vector<std::string> &inserts) {
  const CatalogEntry *m = find(group, number);
  if (m == nullptr) {
    std::string text = "Message " + std::to_string(number) + " of group " + std::to_string(group) +
                       " is not in the catalogue.";
    for (const std::string &s : inserts) text += " [" + s + "]";
    return text;
  }
  return withTextInserts(*m, inserts);
}

std::string fillCatalogInserts(std::string_view t, const std::vector<std::string> &inserts) {
  return withTextInserts(catalogEntryOf(LogLevel::kNote, std::string(t)), inserts);
}

std::vector<std::string> catalogInserts(int32_t count, const xins *inserts) {
  std::vector<std::string> texts;
  char digits[32];
  for (int32_t i = 0; inserts != nullptr && i < count; ++i) {
    texts.emplace_back(insertText(inserts[i], digits));
  }
  return texts;
}

LogLevel catalogLevel(int group, int number) {
  const CatalogEntry *m = find(group, number);
  return m == nullptr ? LogLevel::kError : m->level;
}

}  // namespace vyn

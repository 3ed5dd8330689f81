#include "vyn/core/catalog.h"

#include <algorithm>
#include <bit>
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

// The most bytes a run is copied in at once, as that many bytes of its padded
// text; an insert or BY phrase of at most as many bytes is copied in two runs
// that may overlap.
constexpr size_t kChunk = kShortCopy;

// The bytes from `from` to `to` as runs of at most kChunk bytes, the last
// followed by `place`.
void addPiece(CatalogEntry &entry, size_t from, size_t to, uint8_t place) {
  for (; to - from > kChunk; from += kChunk) {
    entry.pieces.push_back({static_cast<uint32_t>(from), kChunk, CatalogPiece::kNoPlace});
  }
  entry.pieces.push_back({static_cast<uint32_t>(from), static_cast<uint8_t>(to - from), place});
}

void cutIntoPieces(CatalogEntry &entry) {
  const std::string &t = entry.text;
  size_t from = 0;
  for (size_t at = t.find('%'); at != std::string::npos && at + 1 < t.size();
       at = t.find('%', at + 1)) {
    const char c = t[at + 1];
    const bool by = c == 'B';
    if (!by && (c < '1' || c > '9')) continue;
    addPiece(entry, from, at, static_cast<uint8_t>(by ? CatalogPiece::kByGroup : c - '1'));
    entry.namesByGroup = entry.namesByGroup || by;
    from = at + 2;
    ++at;
  }
  if (from < t.size()) addPiece(entry, from, t.size(), CatalogPiece::kNoPlace);
}

using Catalog = std::unordered_map<uint64_t, CatalogEntry>;

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
    messages[catalogKey(group, number)] = catalogEntryOf(levelOf(level[0]), std::move(text));
  }
  return messages;
}

const Catalog &catalog() {
  static const Catalog messages = parseCatalog();
  return messages;
}

const CatalogEntry *find(uint64_t key) {
  const Catalog &messages = catalog();
  auto it = messages.find(key);
  return it == messages.end() ? nullptr : &it->second;
}

// A whole number from 0 to 99999, not -0: the counts a log note names mostly
// are. The bits of a double without its sign grow with its value, and -0, a
// negative number or a NaN with the sign has bits above those of 100000.
inline bool smallWhole(double value) {
  return std::bit_cast<uint64_t>(value) < std::bit_cast<uint64_t>(100000.0) &&
         static_cast<double>(static_cast<uint32_t>(value)) == value;
}

// The digits of a whole number below 100000 written at `out`, two at a time
// from the last; their count.
[[gnu::always_inline]] inline size_t smallWholeDigits(uint32_t value, char *out) {
  const size_t n = value < 10 ? 1 : value < 100 ? 2 : value < 1000 ? 3 : value < 10000 ? 4 : 5;
  for (char *at = out + n; value >= 100; value /= 100) {
    at -= 2;
    pairAt(value % 100, at);
  }
  belowHundredAt(value, out);
  return n;
}

// Whether `value` is a whole number below 10^15 in magnitude, not -0, and
// then `whole` is it.
bool wholeBelowE15(double value, int64_t &whole) {
  if (!(std::fabs(value) < 1e15) || (value == 0 && std::signbit(value))) return false;
  whole = static_cast<int64_t>(value);
  return static_cast<double>(whole) == value;
}

// The digits of `whole`, written in `buf`.
std::string_view wholeDigits(int64_t whole, char (&buf)[32]) {
  return {buf, static_cast<size_t>(std::to_chars(buf, buf + sizeof buf, whole).ptr - buf)};
}

// A count reads as its digits however many zeros it ends in: a whole number
// below 10^15 in magnitude, not -0, is written in full ("1000000", not
// "1e+06"), any other number in its shortest exact form. The counts a log
// note names are mostly below 100000 and not negative: their digits are
// written at once.
std::string_view insertNumberText(double value, char (&buf)[32]) {
  if (smallWhole(value)) return {buf, smallWholeDigits(static_cast<uint32_t>(value), buf)};
  int64_t whole = 0;
  return wholeBelowE15(value, whole) ? wholeDigits(whole, buf) : shortestNumberText(value, buf);
}

// Room for a message as long as most are.
constexpr size_t kGathered = 512;

// The text of an insert that is not a number.
[[gnu::always_inline]] inline std::string_view insertChars(const xins &in) {
  if (in.text == nullptr) return {};
  return {in.text, in.len < 0 ? std::strlen(in.text) : static_cast<size_t>(in.len)};
}

// The text of an insert; a number is written into `digits`.
std::string_view insertText(const xins &in, char (&digits)[32]) {
  if (in.kind == 1) return insertNumberText(in.value, digits);
  return insertChars(in);
}

// The entry's pieces written from `at`, short of `end`: `byPhrase` at each
// %B, and at the place of insert k what `insertAt(at, k, digits)` gives, a
// text (in `digits` if it likes) or nothing after it has written at `at` and
// moved it on by at most kChunk. The end of the text, or nullptr when it
// does not fit: a run is copied as kChunk bytes whatever its length.
template <typename InsertAt>
char *writePieces(char *at, char *end, const CatalogEntry &entry, std::string_view byPhrase,
                  InsertAt insertAt) {
  if (end - at < static_cast<ptrdiff_t>(2 * kChunk)) return nullptr;
  char *const full = end - 2 * kChunk;  // past it a run and its place may not fit
  char digits[32];
  const char *const padded = entry.padded.data();
  for (const CatalogPiece &p : entry.pieces) {
    if (at > full) return nullptr;
    std::memcpy(at, padded + p.from, kChunk);
    at += p.length;
    if (p.place == CatalogPiece::kNoPlace) continue;
    const std::string_view t =
        p.place == CatalogPiece::kByGroup ? byPhrase : insertAt(at, p.place, digits);
    if (t.size() <= kChunk) {
      copyShort(at, t.data(), t.size());
    } else if (t.size() <= static_cast<size_t>(end - at)) {
      std::memcpy(at, t.data(), t.size());
    } else {
      return nullptr;
    }
    at += t.size();
  }
  return at;
}

// What `write(at, end)` writes appended to `out`, in room made twice as large
// each time it does not fit.
template <typename Write>
void appendWritten(std::string &out, Write write) {
  const size_t size = out.size();
  for (size_t room = kGathered;; room *= 2) {
    out.resize(size + room);
    char *const at = out.data() + size;
    if (char *const end = write(at, at + room)) {
      out.resize(static_cast<size_t>(end - out.data()));
      return;
    }
  }
}

// The entry with the given texts as its inserts; a %B is no place of a BY
// group here: it stays as written.
std::string withTextInserts(const CatalogEntry &entry, const std::vector<std::string> &inserts) {
  std::string out;
  appendWritten(out, [&](char *at, char *end) {
    return writePieces(at, end, entry, "%B", [&](char *, uint8_t k, char(&)[32]) {
      return k < inserts.size() ? std::string_view(inserts[k]) : std::string_view();
    });
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
  if (int64_t whole = 0; wholeBelowE15(value, whole)) {
    const auto magnitude = static_cast<uint64_t>(whole < 0 ? -whole : whole);
    if (magnitude < 100000 || magnitude % 10 != 0) return wholeDigits(whole, buf);
  }
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  return {buf, ec == std::errc() ? static_cast<size_t>(end - buf) : 0};
}

const CatalogEntry *findCatalogEntry(uint64_t key, CatalogFound &found) {
  found = {key, find(key)};
  return found.entry;
}

char *writeCatalogEntry(char *at, char *end, const CatalogEntry &entry, int32_t count,
                        const xins *inserts, std::string_view byPhrase) {
  const int32_t given = inserts == nullptr ? 0 : count;
  return writePieces(at, end, entry, byPhrase, [&](char *&to, uint8_t k, char(&digits)[32]) {
    if (k >= given) return std::string_view();
    const xins &in = inserts[k];
    if (in.kind != 1) return insertChars(in);
    if (smallWhole(in.value)) {
      to += smallWholeDigits(static_cast<uint32_t>(in.value), to);
      return std::string_view();
    }
    return insertNumberText(in.value, digits);
  });
}

void appendCatalogEntry(std::string &out, const CatalogEntry &entry, int32_t count,
                        const xins *inserts, std::string_view byPhrase) {
  appendWritten(out, [&](char *at, char *end) {
    return writeCatalogEntry(at, end, entry, count, inserts, byPhrase);
  });
}

const char *catalogText(int group, int number) {
  const CatalogEntry *m = find(catalogKey(group, number));
  return m == nullptr ? nullptr : m->text.c_str();
}

std::string catalogMessage(int group, int number, const std::vector<std::string> &inserts) {
  const CatalogEntry *m = find(catalogKey(group, number));
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
  const CatalogEntry *m = find(catalogKey(group, number));
  return m == nullptr ? LogLevel::kError : m->level;
}

}  // namespace vyn

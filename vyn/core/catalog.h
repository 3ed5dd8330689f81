// The message catalogue of the host: groups 181 (the procedure), 129 and 210
// (host conditions). Texts carry inserts %1, %2, ...; the first word of a
// text says its level ("ERROR:", "WARNING:", "NOTE:"), or it is a label.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/vynsvc.h"
#include "vyn/core/log.h"

namespace vyn {

// One step of a catalogue text: a run of at most kShortCopy bytes written
// as they are, then the place of an insert (%1 to %9), the place of the BY
// group (%B), or nothing.
struct CatalogPiece {
  enum Place : uint8_t { kByGroup = 9, kNoPlace = 10 };  // below 9: the insert's index, from 0
  uint32_t from;                                         // where the run's bytes start in the text
  uint8_t length;                                        // how many bytes the run has
  uint8_t place;
};

// A message of the catalogue, its text cut into pieces once when the
// catalogue is read.
struct CatalogEntry {
  LogLevel level;
  std::string text;
  std::string padded;  // the text and some bytes more, so a literal piece is copied in one run
  std::vector<CatalogPiece> pieces;
  bool namesByGroup = false;  // some piece is the place of the BY group
};

// An entry of `text`, cut into its pieces: a place is % and B or one digit
// 1-9; any other % stays as written.
CatalogEntry catalogEntryOf(LogLevel level, std::string text);

// A message's group and number as one key.
inline uint64_t catalogKey(int group, int number) {
  return static_cast<uint64_t>(static_cast<uint32_t>(group)) << 32 | static_cast<uint32_t>(number);
}

// A message looked up lately: its group and number as one key, and the entry.
struct CatalogFound {
  uint64_t key = ~uint64_t{0};
  const CatalogEntry *entry = nullptr;
};

// The message of `key` looked up in the catalogue and kept in `found`.
const CatalogEntry *findCatalogEntry(uint64_t key, CatalogFound &found);

// The message, or nullptr when the catalogue has none. The entries found
// lately are kept by the low bits of their numbers: a step logs the same few
// messages again and again, and one found again costs no call.
inline const CatalogEntry *catalogEntry(int group, int number) {
  thread_local CatalogFound recent[16];
  const uint64_t key = catalogKey(group, number);
  CatalogFound &f = recent[static_cast<uint32_t>(number) % 16];
  return f.key == key ? f.entry : findCatalogEntry(key, f);
}

// The entry's text with the `count` inserts of a service call and `byPhrase`
// at each %B, written from `at` short of `end`: the end of the text, or
// nullptr when it does not fit (it may need up to 64 bytes more than its
// length). An insert not given is left out.
char *writeCatalogEntry(char *at, char *end, const CatalogEntry &entry, int32_t count,
                        const xins *inserts, std::string_view byPhrase);

// The same appended to `out`, whatever its length.
void appendCatalogEntry(std::string &out, const CatalogEntry &entry, int32_t count,
                        const xins *inserts, std::string_view byPhrase);

// The raw text of a message, or nullptr when the catalogue has none.
const char *catalogText(int group, int number);

// The text with its inserts filled in and the level word removed; an unknown
// message gives a text that names its group and number.
std::string catalogMessage(int group, int number, const std::vector<std::string> &inserts = {});

// A number in its shortest exact form, as std::to_chars writes it, written
// somewhere in `buf`.
std::string_view shortestNumberText(double value, char (&buf)[32]);

// The inserts of a service call as texts: whole numbers below 10^15 in full,
// other numbers in their shortest exact form, texts of the given length (or
// up to their NUL).
std::vector<std::string> catalogInserts(int32_t count, const xins *inserts);

// `text` with %1, %2, ... replaced by the inserts; an insert not given is left out.
std::string fillCatalogInserts(std::string_view text, const std::vector<std::string> &inserts);

// The level a message is logged at, from its level word (notes by default).
LogLevel catalogLevel(int group, int number);

}  // namespace vyn

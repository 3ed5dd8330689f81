// The message catalogue of the host: groups 181 (the procedure), 129 and 210
// (host conditions). Texts carry inserts %1, %2, ...; the first word of a
// text says its level ("ERROR:", "WARNING:", "NOTE:"), or it is a label.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/vynsvc.h"
#include "vyn/core/log.h"

namespace vyn {

// The raw text of a message, or nullptr when the catalogue has none.
const char *catalogText(int group, int number);

// The text with its inserts filled in and the level word removed; an unknown
// message gives a text that names its group and number.
std::string catalogMessage(int group, int number, const std::vector<std::string> &inserts = {});

// The inserts of a service call as texts: numbers in their shortest exact
// form, texts of the given length (or up to their NUL).
std::vector<std::string> catalogInserts(int32_t count, const xins *inserts);
// The same written over `texts`, whose strings keep their room.
void catalogInsertsInto(std::vector<std::string> &texts, int32_t count, const xins *inserts);

// `text` with %1, %2, ... replaced by the inserts; an insert not given is left out.
std::string fillCatalogInserts(std::string_view text, const std::vector<std::string> &inserts);
// The same, appended to `out`.
void appendCatalogInserts(std::string &out, std::string_view text,
                          const std::vector<std::string> &inserts);

// The level a message is logged at, from its level word (notes by default).
LogLevel catalogLevel(int group, int number);

// The raw text of a message and its level in one lookup; nullptr (and the
// level untouched) when the catalogue has none.
const char *catalogTextAndLevel(int group, int number, LogLevel *level);

}  // namespace vyn

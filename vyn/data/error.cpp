#include "vyn/data/error.h"

#include <utility>

namespace vyn::data {

namespace {

struct MessageText {
  int number;
  const char *text;
};

// The texts of vyn/catalog/data.msg, ecosystem.msg and sqlite.msg (a test keeps the two the same).
constexpr MessageText kTexts[] = {
    {200, "File %1 does not exist. Check the data set name and the data folder (--data-dir)."},
    {201,
     "File %1, line %2, column %3: the row has %4 fields, but the header has %5. Give every row "
     "one field per header name, and quote fields that contain commas."},
    {202,
     "File %1, line %2, column %3: the quoted field is not closed. Add the closing double quote, "
     "and write a quote inside a quoted field as two quotes (\"\")."},
    {203,
     "File %1, line %2, column %3: %4 is not a number, but the schema declares %5 as %6. Correct "
     "the value, or declare the field as a string."},
    {204, "File %1 cannot be read: %2."},
    {205, "File %1 is empty. A data set needs a header row with the variable names."},
    {208, "Schema %1, line %2, column %3: the JSON is not valid: %4."},
    {209,
     "Schema %1 has no \"fields\" list. Write it as {\"fields\": [{\"name\": \"x\", \"type\": "
     "\"number\"}, ...]}."},
    {210,
     "Schema %1: field %2 has no \"name\". Give each field the name of a column of the data file."},
    {211,
     "Schema %1: field %2 is not a column of %3. Correct the name, or remove the field from the "
     "schema."},
    {212, "Schema %1: field %2 has the type %3. Use \"number\", \"integer\" or \"string\"."},
    {213,
     "Schema %1: field %2 has the format %3, which is not a display format. Use w.d (8.2), BESTw. "
     "(BEST12.) or, for strings, $w. ($10.)."},
    {214,
     "Schema %1: field %2 is a %3 field but has the format %4. Use w.d or BESTw. for numbers and "
     "$w. for strings."},
    {215, "Schema %1: field %2 has the length %3. Use a whole number from 1 to 32767."},
    {216,
     "File %1, line %2: the data set is not sorted by %3: %4 comes after %5. Sort the file by "
     "these variables, or add NOTSORTED to the BY statement."},
    {217, "Schema %1: field %2 is listed twice. Keep one entry per column."},
    {218, "Schema %1 cannot be read: %2."},
    {219, "Schema %1: the %2 of field %3 must be %4."},
    {220,
     "File %1, line %2, column %3: %4 is not a whole number, but the schema declares %5 as "
     "integer. Correct the value, or declare the field as a number."},
    {221,
     "File %1 changed while it was read: %2. Run the step again once nothing else writes to the "
     "file."},
    {222,
     "Schema %1: the JSON nests values more than %2 levels deep. A schema needs only a few levels, "
     "as in {\"fields\": [{\"name\": \"x\"}]}."},
    {340,
     "File %1, line %2, column %3: %4 is an infinite value in %5, which the step cannot use. "
     "Replace it with a number, or with NA or . for a missing value."},
    {341,
     "Schema %1: \"missingValues\" must be a list of texts, but holds %2. Write it as "
     "{\"missingValues\": [\"\", \"NA\"], \"fields\": [...]}."},
    {342,
     "Schema %1: the missing value %2 reads as a number, so it cannot mark a missing value. Recode "
     "those cells in the data file as NA or ., or leave them out of the list."},
    {350, "Database %1 cannot be opened: %2."},
    {351,
     "Database %1 is locked by another program (%2). Run the step again once that program has "
     "finished writing."},
    {352,
     "File %1 is not a SQLite database, or it is damaged (%2). Check the file, or restore it from "
     "a copy."},
    {353, "Database %1 has no table %2. Its tables: %3."},
    {354,
     "Data set %1, row %2, column %3: %4 is not a number, but %5 is numeric (declared %6). Correct "
     "the value, or declare the column as TEXT."},
    {355,
     "Data set %1, row %2, column %3: %4 holds binary data (a BLOB), which the step cannot read. "
     "Store the value as a number or as text."},
    {356,
     "Data set %1, row %2, column %3: %4 is an infinite value in %5, which the step cannot use. "
     "Replace it with a number, or with NULL for a missing value."},
    {357,
     "Data set %1, row %2: the data set is not sorted by %3: %4 comes after %5. Sort the table by "
     "these variables (its rows are read in rowid order), or add NOTSORTED to the BY statement."},
    {358, "Database %1 cannot be read: %2."},
    {359,
     "Database %1: table %2 has no rowid (WITHOUT ROWID), so its rows have no order to read them "
     "in. Copy it into a table with a rowid."},
    {360,
     "Data set %1, row %2, column %3: %4 is not a whole number, but the schema declares %5 as "
     "integer. Correct the value, or declare the field as a number."},
    {361,
     "Database %1 changed while it was read: %2. Run the step again once nothing else writes to "
     "the database."},
    {363,
     "Data set %1: neither the file %2 nor a database %3.sqlite or %3.db exists. Check the data "
     "set name and the data folder (--data-dir)."},
    {345,
     "--delimiter %1 cannot separate fields. Give one character that is not a letter, a digit, "
     "'_', '.', '+', '-', a double quote or a line end, such as ';', '|' or a tab (written as tab "
     "or \\t)."},
    {346,
     "Schema %1: the delimiter %2 in \"dialect\" cannot separate fields. Give one character that "
     "is not a letter, a digit, '_', '.', '+', '-', a double quote or a line end, such as \";\", "
     "\"|\" or \"tab\"."},
    {347,
     "Schema %1: \"dialect\" must be an object such as {\"delimiter\": \";\", \"decimalChar\": "
     "\",\"}, but holds %2."},
    {348,
     "Schema %1: the \"decimalChar\" of %2 is %3, but it must be \".\" or \",\" and differ from "
     "the delimiter %4. Give another delimiter in \"dialect\", as in {\"delimiter\": \";\", "
     "\"decimalChar\": \",\"}."},
};

}  // namespace

const char *dataMessageText(int number) {
  for (const MessageText &m : kTexts)
    if (m.number == number) return m.text;
  return nullptr;
}

std::string fillInserts(const char *text, const std::vector<std::string> &inserts) {
  std::string out;
  for (const char *p = text; *p; ++p) {
    if (*p == '%' && p[1] >= '1' && p[1] <= '9') {
      size_t i = static_cast<size_t>(p[1] - '1');
      if (i < inserts.size()) out += inserts[i];
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

std::string quoteInsert(std::string_view text) {
  std::string out = "'";
  size_t n = text.size() > 40 ? 40 : text.size();
  // do not cut a UTF-8 sequence
  if (n < text.size())
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    out += (c < 0x20 || c == 0x7F) ? ' ' : static_cast<char>(c);
  }
  if (n < text.size()) out += "...";
  out += "'";
  return out;
}

static std::string composeMessage(int number, const std::vector<std::string> &inserts) {
  const char *text = dataMessageText(number);
  if (text == nullptr) return "message 210/" + std::to_string(number);
  return fillInserts(text, inserts);
}

DataError::DataError(int number, std::vector<std::string> inserts, std::string file, int64_t line,
                     int64_t column)
    : std::runtime_error(composeMessage(number, inserts)),
      number_(number),
      inserts_(std::move(inserts)),
      file_(std::move(file)),
      line_(line),
      column_(column) {}

}  // namespace vyn::data

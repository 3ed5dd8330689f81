// CSV files of the tables of a run.
#include "vyn/output/tables_csv.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "vyn/core/utf8.h"

namespace vyn::output {
namespace {

// A text as one CSV field: bytes that are no UTF-8 become U+FFFD, and a
// text with a comma, quote or line break is quoted with its quotes doubled.
std::string textField(std::string_view text) {
  const std::string valid = validUtf8(text);
  if (valid.find_first_of(",\"\r\n") == std::string::npos) return valid;
  std::string quoted = "\"";
  for (char c : valid) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

// A number in its shortest exact form; missing and infinite values (the
// special missing values I and M) are empty.
std::string numberField(double value) {
  if (!std::isfinite(value)) return {};
  char buf[32];
  return {buf, std::to_chars(buf, buf + sizeof buf, value).ptr};
}

// A BY value: as text, except that a numeric missing value (".", ".A" to
// ".Z", "._") is empty like every other missing cell.
std::string byField(const std::string &value) {
  const bool missing = value == "." || (value.size() == 2 && value[0] == '.' &&
                                        ((value[1] >= 'A' && value[1] <= 'Z') || value[1] == '_'));
  return missing ? std::string() : textField(value);
}

std::string cellField(const Cell &cell) {
  if (const auto *d = std::get_if<double>(&cell)) return numberField(*d);
  if (const auto *i = std::get_if<long long>(&cell)) return std::to_string(*i);
  if (const auto *s = std::get_if<std::string>(&cell)) return textField(*s);
  return {};
}

// The table name with every byte but letters, digits, '_' and '-' replaced
// by '_', so that no name climbs out of the folder or needs quoting.
std::string fileStem(const std::string &name) {
  std::string stem = name.empty() ? std::string("Table") : name;
  for (char &c : stem) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '_' || c == '-';
    if (!plain) c = '_';
  }
  return stem;
}

// The position of `name` among `columns`, appended when it is new.
size_t unionIndex(std::vector<std::string> &columns, const std::string &name) {
  const auto found = std::find(columns.begin(), columns.end(), name);
  if (found != columns.end()) return static_cast<size_t>(found - columns.begin());
  columns.push_back(name);
  return columns.size() - 1;
}

// One record. A lone empty field is written NA: a blank line is skipped by
// data-frame readers, and NA is what they read as missing.
std::string record(const std::vector<std::string> &fields) {
  if (fields.size() == 1 && fields[0].empty()) return "NA\r\n";
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) line += (i ? "," : "") + fields[i];
  return line + "\r\n";
}

// An unlinked file in folder `dir` that holds rows until their file is
// written; null with errno set when none can be made.
std::FILE *openSpool(const std::string &dir) {
  std::string name = (std::filesystem::path(dir) / ".vyn-rows-XXXXXX").string();
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return nullptr;
  ::unlink(name.c_str());
  std::FILE *spool = ::fdopen(fd, "w+b");
  if (spool == nullptr) ::close(fd);
  return spool;
}

// Puts the records of `spool` after one another, each record of a run of
// rows widened by the empty fields its table lacks (a line end inside quotes
// is part of a field); the reason of a read failure, empty without one.
std::string copyRecords(std::FILE *spool, const std::vector<TablesCsv::Rows> &runs, size_t width,
                        const CsvPut &put) {
  std::rewind(spool);
  char buf[1 << 16];
  std::string out;  // whole records not yet put, then the start of the next one
  size_t run = 0, left = runs.empty() ? 0 : runs[0].count;
  bool quoted = false;
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, spool)) > 0) {
    size_t from = 0;
    for (size_t i = 0; i < n; ++i) {
      if (buf[i] == '"') quoted = !quoted;
      if (buf[i] != '\n' || quoted) continue;
      while (left == 0 && run + 1 < runs.size()) left = runs[++run].count;
      out.append(buf + from, i - from);
      out.pop_back();  // the CR, which may have come with the piece before
      out.append(width - runs[run].width, ',').append("\r\n");
      --left;
      from = i + 1;
    }
    out.append(buf + from, n - from);
    if (out.size() >= sizeof buf) {  // all but a CR whose LF is still to come
      const size_t ready = out.size() - (out.back() == '\r' ? 1 : 0);
      put(std::string_view(out).substr(0, ready));
      out.erase(0, ready);
    }
  }
  if (std::ferror(spool) != 0) return std::strerror(errno != 0 ? errno : EIO);
  put(out);
  return {};
}

}  // namespace

TablesCsv::TablesCsv(std::string dir, CsvFileWriter write)
    : dir_(std::move(dir)), write_(std::move(write)) {}

std::string TablesCsv::fileOf(const std::string &dir, size_t step, const std::string &table) {
  const std::string file = "step" + std::to_string(step) + "_" + fileStem(table) + ".csv";
  return (std::filesystem::path(dir) / file).generic_string();
}

void TablesCsv::item(const Item &item, const ItemPlace &place) {
  const auto *table = std::get_if<Table>(&item.content);
  if (table == nullptr) return;
  const size_t step = place.step + 1;
  if (step != step_) endStep({});
  step_ = step;
  const std::string path = fileOf(dir_, step, table->name);
  auto [at, fresh] = files_.try_emplace(path);
  File &file = at->second;
  if (fresh) {
    for (const ByValue &b : item.by) file.by.push_back(b.name);
    errno = 0;
    file.spool.reset(openSpool(dir_));
    if (!file.spool) file.failure = std::strerror(errno != 0 ? errno : EIO);
  }
  if (file.failure.empty()) writeRows(file, *table, item.by);
}

void TablesCsv::writeRows(File &file, const Table &table, const std::vector<ByValue> &by) {
  std::vector<size_t> place;
  for (const Column &c : table.columns) place.push_back(unionIndex(file.columns, c.name));
  const size_t width = file.columns.size();
  for (const auto &row : table.rows) {
    std::vector<std::string> fields(file.by.size() + width);
    for (size_t i = 0; i < file.by.size() && i < by.size(); ++i) fields[i] = byField(by[i].value);
    for (size_t i = 0; i < row.size() && i < place.size(); ++i)
      fields[file.by.size() + place[i]] = cellField(row[i]);
    const std::string line = record(fields);
    errno = 0;
    if (std::fwrite(line.data(), 1, line.size(), file.spool.get()) != line.size()) {
      file.failure = std::strerror(errno != 0 ? errno : EIO);
      return;
    }
    if (file.rows.empty() || file.rows.back().width != width) file.rows.push_back({0, width});
    ++file.rows.back().count;
  }
}

bool TablesCsv::writeFile(const std::string &path, File &file) {
  return write_(path, [&](const CsvPut &put) -> std::string {
    errno = 0;
    if (file.failure.empty() && std::fflush(file.spool.get()) != 0)
      file.failure = std::strerror(errno != 0 ? errno : EIO);
    if (!file.failure.empty()) return file.failure;
    std::vector<std::string> header;
    for (const std::string &name : file.by) header.push_back(textField(name));
    for (const std::string &name : file.columns) header.push_back(textField(name));
    put(record(header));
    return copyRecords(file.spool.get(), file.rows, file.columns.size(), put);
  });
}

void TablesCsv::endStep(const StepRecord &) {
  for (auto &[path, file] : files_) ok_ = writeFile(path, file) && ok_;
  files_.clear();
}

}  // namespace vyn::output

#include "vyn/data/sqlite_source.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <nlohmann/json.hpp>

#include "vyn/data/missing.h"
#include "vyn/data/where.h"

namespace vyn::data {

namespace {

// How long a statement waits for a lock that another program holds.
constexpr int kBusyMilliseconds = 2000;

constexpr const char *kExtensions[] = {".sqlite", ".db"};

// Tables named in the message about a missing table; the rest are left out.
constexpr size_t kTablesNamed = 10;

bool isRegularFile(const std::string &path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string identifier(std::string_view name) {
  std::string out = "\"";
  for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

// A cut to at most n bytes that does not end inside a UTF-8 sequence.
size_t cutLength(const char *s, size_t length, size_t n) {
  if (length <= n) return length;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  return n;
}

// The kind of a column by the affinity of its declared type: INT first,
// then CHAR, CLOB or TEXT, then REAL, FLOA or DOUB; the rest (NUMERIC,
// BLOB, none) by the values.
SqliteTable::Column::Kind kindOf(std::string_view declared) {
  using Kind = SqliteTable::Column::Kind;
  const std::string type = upperCase(declared);
  auto has = [&type](const char *word) { return type.find(word) != std::string::npos; };
  if (has("INT")) return Kind::kNumeric;
  if (has("CHAR") || has("CLOB") || has("TEXT")) return Kind::kText;
  if (has("REAL") || has("FLOA") || has("DOUB")) return Kind::kNumeric;
  return Kind::kInferred;
}

std::string numberText(double v) {
  char buf[32];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, ec == std::errc() ? end : buf);
}

}  // namespace

// ---------------------------------------------------------------- paths

std::string sqliteTablePath(std::string_view database, std::string_view table) {
  return std::string(database) + "/" + std::string(table);
}

std::string sqliteDatabaseOf(std::string_view path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return {};
  const std::string database(path.substr(0, slash));
  for (const char *extension : kExtensions) {
    if (database.ends_with(extension) && isRegularFile(database)) return database;
  }
  return {};
}

std::string sqliteDatabaseIn(std::string_view dir, std::string_view lib) {
  for (const std::string &name : {std::string(lib), lowerCase(lib)}) {
    for (const char *extension : kExtensions) {
      const std::string path = joinPath(dir, name + extension);
      if (isRegularFile(path)) return path;
    }
  }
  return {};
}

std::string sqliteSchemaPathFor(std::string_view path) {
  const std::string database = sqliteDatabaseOf(path);
  if (database.empty()) return {};
  const std::string stem = database.substr(0, database.rfind('.'));
  return stem + "." + std::string(path.substr(database.size() + 1)) + ".schema.json";
}

// ---------------------------------------------------------------- the database

SqliteTable::SqliteTable(std::string database, std::string table)
    : database_(std::move(database)), table_(std::move(table)) {
  const int rc =
      sqlite3_open_v2(database_.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    const std::string why = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    sqlite3_close_v2(db_);
    db_ = nullptr;
    throw DataError(kMsgDbOpen, {database_, why}, database_);
  }
  sqlite3_busy_timeout(db_, kBusyMilliseconds);
  ::stat(database_.c_str(), &stamp_);
  try {
    beginRead();  // ended by the data set once it is typed
    findTable();
    readColumns();
  } catch (const DataError &) {
    sqlite3_close_v2(db_);
    throw;
  }
}

SqliteTable::~SqliteTable() {
  sqlite3_close_v2(db_);
}

void SqliteTable::fail(int rc) const {
  const std::string why = sqlite3_errmsg(db_);
  switch (rc & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      throw DataError(kMsgDbLocked, {database_, why}, database_);
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      throw DataError(kMsgDbDamaged, {database_, why}, database_);
    default:
      throw DataError(kMsgDbUnreadable, {database_, why}, database_);
  }
}

void SqliteTable::exec(const char *sql) const {
  const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) fail(rc);
}

sqlite3_stmt *SqliteTable::prepare(const std::string &sql) const {
  sqlite3_stmt *stmt = nullptr;
  const int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt);
    fail(rc);
  }
  return stmt;
}

// The read transaction starts with the first read, which is also where a
// lock or a file that is no database shows.
void SqliteTable::beginRead() {
  if (readers_ == 0) {
    exec("BEGIN");
    try {
      exec("SELECT count(*) FROM sqlite_schema");
    } catch (const DataError &) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
  }
  ++readers_;
}

void SqliteTable::endRead() {
  if (readers_ > 0 && --readers_ == 0) sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
}

int64_t SqliteTable::dataVersion() const {
  sqlite3_stmt *stmt = prepare("PRAGMA data_version");
  const int rc = sqlite3_step(stmt);
  const int64_t version = rc == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : 0;
  sqlite3_finalize(stmt);
  if (rc != SQLITE_ROW) fail(rc);
  return version;
}

bool SqliteTable::unchanged() const {
  struct stat now {};
  if (::stat(database_.c_str(), &now) != 0 || now.st_dev != stamp_.st_dev ||
      now.st_ino != stamp_.st_ino)
    return false;
  try {
    return dataVersion() == version_;
  } catch (const DataError &) {
    return false;
  }
}

void SqliteTable::checkUnchangedInRead() const {
  if (dataVersion() != version_)
    throw DataError(kMsgDbChanged, {database_, "another program wrote to it"}, database_);
}

void SqliteTable::findTable() {
  sqlite3_stmt *stmt = prepare(
      "SELECT name FROM sqlite_schema WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
      "ESCAPE '\\' ORDER BY name");
  std::string found, names;
  size_t count = 0;
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
    const std::string name = text != nullptr ? text : "";
    if (equalNoCase(name, table_)) found = name;
    if (++count <= kTablesNamed) names += (count > 1 ? ", " : "") + name;
  }
  sqlite3_finalize(stmt);
  if (rc != SQLITE_DONE) fail(rc);
  if (found.empty()) {
    if (count > kTablesNamed) names += ", ...";
    throw DataError(kMsgDbNoTable, {database_, table_, count == 0 ? "none" : names}, database_);
  }
  table_ = found;
}

void SqliteTable::readColumns() {
  sqlite3_stmt *stmt = prepare("PRAGMA table_info(" + identifier(table_) + ")");
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    const auto *name = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 1));
    const auto *type = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 2));
    Column c;
    c.name = name != nullptr ? name : "";
    c.declared = type != nullptr ? type : "";
    c.kind = kindOf(c.declared);
    columns_.push_back(std::move(c));
  }
  sqlite3_finalize(stmt);
  if (rc != SQLITE_DONE) fail(rc);
  // the first name of the rowid that no column takes
  for (const char *alias : {"rowid", "_rowid_", "oid"}) {
    if (std::none_of(columns_.begin(), columns_.end(),
                     [alias](const Column &c) { return equalNoCase(c.name, alias); })) {
      rowid_ = alias;
      break;
    }
  }
  sqlite3_stmt *probe = nullptr;
  const std::string sql = "SELECT " + rowid_ + " FROM " + identifier(table_);
  const bool hasRowid =
      !rowid_.empty() && sqlite3_prepare_v2(db_, sql.c_str(), -1, &probe, nullptr) == SQLITE_OK;
  sqlite3_finalize(probe);
  if (!hasRowid) throw DataError(kMsgDbNoRowid, {database_, table_}, database_);
}

std::string SqliteTable::quoted(int column) const {
  return identifier(columns_[static_cast<size_t>(column)].name);
}

void SqliteTable::measure(const std::vector<bool> &text, const std::vector<bool> &longest,
                          std::vector<bool> &hasText, std::vector<int64_t> &longestBytes) {
  hasText.assign(columns_.size(), false);
  longestBytes.assign(columns_.size(), 0);
  const bool utf8 = storedInUtf8();
  std::string list;
  for (size_t c = 0; c < columns_.size(); ++c) {
    const std::string q = quoted(static_cast<int>(c));
    if (text[c]) list += (list.empty() ? "" : ", ") + ("max(typeof(" + q + ") = 'text')");
    if (longest[c] && utf8)
      list += (list.empty() ? "" : ", ") + ("max(length(CAST(" + q + " AS BLOB)))");
  }
  if (!list.empty()) {
    sqlite3_stmt *stmt = prepare("SELECT " + list + " FROM " + identifier(table_));
    const int rc = sqlite3_step(stmt);
    int at = 0;
    for (size_t c = 0; rc == SQLITE_ROW && c < columns_.size(); ++c) {
      if (text[c]) hasText[c] = sqlite3_column_int(stmt, at++) != 0;
      if (longest[c] && utf8) longestBytes[c] = sqlite3_column_int64(stmt, at++);
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_ROW) fail(rc);
  }
  if (!utf8) readLongest(longest, longestBytes);
  version_ = dataVersion();
}

bool SqliteTable::storedInUtf8() const {
  sqlite3_stmt *stmt = prepare("PRAGMA encoding");
  const int rc = sqlite3_step(stmt);
  const auto *text = rc == SQLITE_ROW ? sqlite3_column_text(stmt, 0) : nullptr;
  const bool utf8 =
      text != nullptr && std::string_view(reinterpret_cast<const char *>(text)) == "UTF-8";
  sqlite3_finalize(stmt);
  if (rc != SQLITE_ROW) fail(rc);
  return utf8;
}

// A database in UTF-16 stores other bytes than the UTF-8 that is read: the
// values are read to measure them.
void SqliteTable::readLongest(const std::vector<bool> &longest,
                              std::vector<int64_t> &longestBytes) const {
  std::string list;
  std::vector<size_t> measured;
  for (size_t c = 0; c < columns_.size(); ++c) {
    if (!longest[c]) continue;
    list += (list.empty() ? "" : ", ") + quoted(static_cast<int>(c));
    measured.push_back(c);
  }
  if (list.empty()) return;
  sqlite3_stmt *stmt = prepare("SELECT " + list + " FROM " + identifier(table_));
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    for (size_t i = 0; i < measured.size(); ++i) {
      const int at = static_cast<int>(i);
      sqlite3_column_text(stmt, at);
      longestBytes[measured[i]] =
          std::max<int64_t>(longestBytes[measured[i]], sqlite3_column_bytes(stmt, at));
    }
  }
  sqlite3_finalize(stmt);
  if (rc != SQLITE_DONE) fail(rc);
}

void SqliteTable::markWhole(size_t column) {
  columns_[column].whole = true;
}

// ---------------------------------------------------------------- the data set

std::unique_ptr<DataSet> DataSet::openSqlite(const std::string &path) {
  const std::string database = sqliteDatabaseOf(path);
  std::unique_ptr<DataSet> ds(new DataSet());
  ds->path_ = path;
  ds->sqlite_ = std::make_shared<SqliteTable>(database, path.substr(database.size() + 1));
  int64_t column = 0;
  for (const SqliteTable::Column &c : ds->sqlite_->columns()) {
    ++column;
    std::string name = ds->uniqueName(isValidName(c.name) ? c.name : validNameFor(c.name, column));
    ds->numberOf_.emplace(upperCase(name), static_cast<int>(ds->vars_.size()));
    Variable v;
    if (name != c.name) v.label = c.name.substr(0, cutLength(c.name.data(), c.name.size(), 256));
    v.header = c.name;
    v.name = std::move(name);
    ds->vars_.push_back(std::move(v));
  }
  ds->declared_.assign(ds->vars_.size(), 0);
  ds->schemaLength_.assign(ds->vars_.size(), 0);
  nlohmann::json schema;  // labels, formats and lengths; a dialect has no meaning here
  if (ds->loadSchema(schema)) ds->readSchema(schema);
  ds->typeSqliteColumns();
  ds->sqlite_->endRead();  // the names and types come from one snapshot
  return ds;
}

// Types from the schema, else from the declared types, else from the values;
// lengths from the schema, else from the longest value.
void DataSet::typeSqliteColumns() {
  using Kind = SqliteTable::Column::Kind;
  SqliteTable &table = *sqlite_;
  const size_t n = vars_.size();
  std::vector<Kind> kind(n);
  std::vector<bool> text(n), longest(n);
  for (size_t c = 0; c < n; ++c) {
    kind[c] = vars_[c].declaredNumeric ? Kind::kNumeric
              : declaredString(c)      ? Kind::kText
                                       : table.columns()[c].kind;
    text[c] = kind[c] == Kind::kInferred;
    longest[c] = kind[c] != Kind::kNumeric && schemaLength_[c] == 0;
  }
  std::vector<bool> hasText;
  std::vector<int64_t> bytes;
  table.measure(text, longest, hasText, bytes);
  for (size_t c = 0; c < n; ++c) {
    Variable &v = vars_[c];
    v.numeric = kind[c] == Kind::kNumeric || (kind[c] == Kind::kInferred && !hasText[c]);
    if (v.numeric) {
      v.length = 8;
      if (!v.formatGiven) v.format = kBest12;
      continue;
    }
    v.length = schemaLength_[c] > 0
                   ? schemaLength_[c]
                   : static_cast<int>(std::clamp<int64_t>(bytes[c], 1, kMaxCharLength));
    if (schemaLength_[c] == 0 && bytes[c] <= kMaxCharLength) table.markWhole(c);
    if (!v.formatGiven) v.format = Format{Format::Kind::kChar, v.length, 0};
    if (v.format.width == 0) v.format.width = v.length;
  }
}

// ---------------------------------------------------------------- the rows

SqliteRows::SqliteRows(const DataSet &ds, std::span<const int> selected, Where *where)
    : ds_(ds), table_(*ds.sqlite()), where_(where), vars_(selected.begin(), selected.end()) {
  table_.beginRead();
  try {
    table_.checkUnchangedInRead();
    std::vector<SqlValue> values;
    rows_ = table_.prepare(statement(values));
    for (size_t i = 0; i < values.size(); ++i) {
      const int at = static_cast<int>(i) + 2;
      if (values[i].numeric) {
        sqlite3_bind_double(rows_, at, values[i].number);
      } else {
        sqlite3_bind_text(rows_, at, values[i].text.data(), static_cast<int>(values[i].text.size()),
                          SQLITE_TRANSIENT);
      }
    }
    if (whereInSql_)
      count_ = table_.prepare("SELECT count(*) FROM " + identifier(table_.table()) + " WHERE " +
                              table_.rowid() + " BETWEEN ?1 AND ?2");
  } catch (const DataError &) {
    sqlite3_finalize(rows_);
    table_.endRead();
    throw;
  }
}

SqliteRows::~SqliteRows() {
  sqlite3_finalize(rows_);
  sqlite3_finalize(count_);
  table_.endRead();
}

// SELECT rowid, [kept,] columns FROM table WHERE rowid >= ?1 [AND (kept OR
// a data error)] ORDER BY rowid. A row that may have a data error passes, so
// its error is found as without a condition; `kept` tells the others apart.
std::string SqliteRows::statement(std::vector<SqlValue> &values) {
  const std::string &rowid = table_.rowid();
  std::string columns, faults;
  bool integer = false;
  for (const int var : vars_) {
    const Variable &v = ds_.variable(var);
    const std::string q = table_.quoted(var);
    columns += ", " + q;
    faults += faults.empty() ? "" : " OR ";
    faults += v.numeric ? "typeof(" + q + ") IN ('text', 'blob') OR " + q + " IN (9e999, -9e999)"
                        : "typeof(" + q + ") = 'blob'";
    integer = integer || v.integer;
  }
  std::string condition;
  if (where_ != nullptr && !integer) {
    condition = where_->sql(
        [this](int var) {
          const Variable &v = ds_.variable(var);
          return v.numeric || table_.columns()[static_cast<size_t>(var)].whole ? table_.quoted(var)
                                                                               : std::string();
        },
        values, 1);
  }
  whereInSql_ = !condition.empty();
  const std::string from = " FROM " + identifier(table_.table()) + " WHERE " + rowid + " >= ?1";
  if (!whereInSql_) return "SELECT " + rowid + columns + from + " ORDER BY " + rowid;
  return "SELECT " + rowid + ", " + condition + columns + from + " AND (" + condition + " OR " +
         (faults.empty() ? "0" : faults) + ") ORDER BY " + rowid;
}

void SqliteRows::seek(const RowPosition &at) {
  sqlite3_reset(rows_);
  const int64_t from = at.row > 0 ? at.line : INT64_MIN;
  sqlite3_bind_int64(rows_, 1, from);
  place_ = at.row > 0 ? at.row - 1 : 0;
  countFrom_ = from;
  countedAll_ = false;
  done_ = false;
}

// Rows from the first not yet counted through `rowid`, in rowid order; a row
// just read (`read`) right after the last one counted is the only one.
int64_t SqliteRows::rowsThrough(int64_t rowid, bool read) {
  if (countedAll_) return 0;
  int64_t rows = 1;
  if (!read || rowid != countFrom_) {
    sqlite3_bind_int64(count_, 1, countFrom_);
    sqlite3_bind_int64(count_, 2, rowid);
    const int rc = sqlite3_step(count_);
    rows = rc == SQLITE_ROW ? sqlite3_column_int64(count_, 0) : 0;
    sqlite3_reset(count_);
    if (rc != SQLITE_ROW) table_.fail(rc);
  }
  countedAll_ = rowid == INT64_MAX;
  if (!countedAll_) countFrom_ = rowid + 1;
  return rows;
}

bool SqliteRows::next(double *numbers, std::string_view *texts, RowPosition &current,
                      RowFault &fault) {
  const int first = whereInSql_ ? 2 : 1;
  while (!done_) {
    const int rc = sqlite3_step(rows_);
    if (rc == SQLITE_DONE) {
      done_ = true;
      if (whereInSql_) where_->countApplied(place_ + rowsThrough(INT64_MAX, false), false);
      break;
    }
    if (rc != SQLITE_ROW) table_.fail(rc);
    const int64_t rowid = sqlite3_column_int64(rows_, 0);
    place_ += whereInSql_ ? rowsThrough(rowid, true) : 1;
    current = RowPosition{static_cast<size_t>(rowid), rowid, place_};
    fault = RowFault{};
    for (size_t s = 0; s < vars_.size(); ++s) readSlot(s, first, numbers, texts, fault);
    if (!whereInSql_) return true;
    if (fault.number != 0) {  // handed on untested, as without a condition
      where_->countApplied(place_ - 1, false);
      return true;
    }
    if (sqlite3_column_int(rows_, 1) != 0) {
      where_->countApplied(place_, true);
      return true;
    }
  }
  return false;
}

void SqliteRows::slotFault(size_t slot, int number, RowFault &fault) {
  if (fault.number != 0) return;
  fault = RowFault{number, 0, vars_[slot] + 1, 0, nullptr};
}

void SqliteRows::readSlot(size_t slot, int first, double *numbers, std::string_view *texts,
                          RowFault &fault) {
  const int at = first + static_cast<int>(slot);
  const Variable &v = ds_.variable(vars_[slot]);
  const int type = sqlite3_column_type(rows_, at);
  if (type == SQLITE_BLOB) {
    slotFault(slot, kMsgDbBlob, fault);
    numbers[slot] = missingValue('.');
    texts[slot] = {};
    return;
  }
  if (!v.numeric) {
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(rows_, at));
    const size_t bytes = static_cast<size_t>(sqlite3_column_bytes(rows_, at));
    texts[slot] = text == nullptr ? std::string_view()
                                  : std::string_view(text, cutLength(text, bytes, v.length));
    return;
  }
  numbers[slot] = missingValue('.');
  if (type == SQLITE_NULL) return;
  if (type == SQLITE_TEXT) {
    if (fault.number == 0)
      faultText_ = reinterpret_cast<const char *>(sqlite3_column_text(rows_, at));
    slotFault(slot, kMsgDbNotNumber, fault);
    return;
  }
  const double value = type == SQLITE_INTEGER ? static_cast<double>(sqlite3_column_int64(rows_, at))
                                              : sqlite3_column_double(rows_, at);
  if (std::isinf(value) || (v.integer && value != std::trunc(value))) {
    if (fault.number == 0)
      faultText_ = std::isinf(value) ? (value > 0 ? "Inf" : "-Inf") : numberText(value);
    slotFault(slot, std::isinf(value) ? kMsgDbInfinite : kMsgDbNotInteger, fault);
    return;
  }
  numbers[slot] = value;
}

DataError SqliteRows::error(const RowFault &fault, int64_t rowid) const {
  const Variable &v = ds_.variable(static_cast<int>(fault.column - 1));
  std::vector<std::string> inserts{ds_.path(), std::to_string(rowid), std::to_string(fault.column)};
  if (fault.number != kMsgDbBlob) inserts.push_back(quoteInsert(faultText_));
  inserts.push_back(v.name);
  if (fault.number == kMsgDbNotNumber) {
    const std::string &declared = table_.columns()[static_cast<size_t>(fault.column - 1)].declared;
    inserts.push_back(v.declaredNumeric  ? "number in the schema"
                      : declared.empty() ? "without a type"
                                         : declared);
  }
  return DataError(fault.number, std::move(inserts), ds_.path(), rowid, fault.column);
}

}  // namespace vyn::data

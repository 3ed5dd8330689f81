// SQLite data sets: the same programs on a table and on the CSV file of its
// rows give the same output, and bad databases and values are reported.
#include <sqlite3.h>

#include <regex>

#include "tests/data/test_util.h"
#include "tests/program/harness.h"
#include "vyn/data/sqlite_source.h"
#include "vyn/data/where.h"
#include "vyn/output/render.h"

namespace vyn::data {
namespace {

const char kTrial[] = R"(
PRAGMA encoding = 'UTF-16le';
CREATE TABLE trial (site TEXT, arm CHAR(1), n INTEGER, w REAL, y REAL, z NUMERIC);
INSERT INTO trial VALUES ('N日本','A',1,0.84,4.17,66), ('N日本','A',2,1.39,5.58,72), ('N日本','A',1,1.36,NULL,64),
  ('N日本','B',3,0.62,6.11,84), ('N日本','B',1,1,4.5,NULL), ('N日本','B',2,0.5,5.01,70), ('N日本','A',1,1.2,4.81,61),
  ('S','A',2,0.9,3.9,58), ('S','A',1,1.1,4.4,77), ('S','B',1,0.7,5.9,69), ('S','B',2,1.3,NULL,75),
  ('S','B',0,1,6.3,71), ('S','A',1,-1,4,70), ('S','A',1,1,7.2,NULL), ('S','B',1,1,5.5,80);
DELETE FROM trial WHERE rowid = 3;
)";

sqlite3 *openDatabase(const std::string &path) {
  sqlite3 *db = nullptr;
  EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  return db;
}

void execute(sqlite3 *db, const std::string &sql) {
  char *error = nullptr;
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << error;
  sqlite3_free(error);
}

// The rows of the table as CSV, NULL as an empty cell.
std::string tableAsCsv(sqlite3 *db, const std::string &table) {
  sqlite3_stmt *stmt = nullptr;
  sqlite3_prepare_v2(db, ("SELECT * FROM " + table + " ORDER BY rowid").c_str(), -1, &stmt,
                     nullptr);
  std::string csv;
  for (int c = 0; c < sqlite3_column_count(stmt); ++c)
    csv += (c > 0 ? "," : "") + std::string(sqlite3_column_name(stmt, c));
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    csv += "\n";
    for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
      const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, c));
      csv += (c > 0 ? "," : "") + std::string(text != nullptr ? text : "");
    }
  }
  sqlite3_finalize(stmt);
  return csv + "\n";
}

output::Run runWithGraphs(const std::string &program, const std::string &dataDir) {
  Host host;
  host.useLinkedModule(&mcn_main);
  RunOptions options;
  options.dataDir = dataDir;
  options.graphics = true;
  return runProgram(readProgram(program), host, options);
}

// The JSON and HTML of a run with the data set's path as "#" and no times.
std::string rendered(const output::Run &run, const std::string &path) {
  std::string text = output::renderJson(run) + output::renderHtml(run);
  for (size_t at; (at = text.find(path)) != std::string::npos;) text.replace(at, path.size(), "#");
  return std::regex_replace(text, std::regex("took [0-9.]+ seconds"), "took t seconds");
}

TEST(SqliteDataSet, ProgramsGiveTheSameOutputAsOnTheCsvFileOfItsRows) {
  const testing::TempDir dir;
  sqlite3 *db = openDatabase(dir.file("lib.sqlite"));
  execute(db, kTrial);
  dir.write("trial.csv", tableAsCsv(db, "trial"));
  sqlite3_close(db);
  const struct {
    const char *where;  // WHERE= condition, "" for none
    bool translated;    // it becomes part of the statement
    const char *rest;
  } cases[] = {
      {"", false, "; by site; class arm; freq n; weight w; var y z;"},
      {"y < 5 and arm in ('A', 'B ')", true, "; by site; class arm; var y;"},
      {"z + 0 >= 64", false, "; class arm; var y z;"},
      {"not (y is missing) and site ^= 'X' and 60 < z <= 80", true, "; paired y*z;"},
      {"arm = 'B' or z = .", false, " plots=all; var y;"},
      {"n ^= 2 and not (arm is missing) and y in (4.17, 5.9, 4)", true,
       " plots=all; class arm; var y;"},
  };
  const auto ds = DataSet::open(sqliteTablePath(dir.file("lib.sqlite"), "trial"));
  for (const auto &c : cases) {
    auto program = [&](const std::string &name) {
      const std::string where = *c.where ? "(where=(" + std::string(c.where) + "))" : "";
      return "proc kravo data=" + name + where + c.rest + " run;";
    };
    EXPECT_EQ(
        rendered(runWithGraphs(program("lib.trial"), dir.path()), dir.file("lib.sqlite/trial")),
        rendered(runWithGraphs(program("trial"), dir.path()), dir.file("trial.csv")))
        << c.where;
    if (!*c.where) continue;
    const auto where =
        Where::fromOptions("where=(" + std::string(c.where) + ")", [&](auto name, bool) {
          const int v = ds->findVariable(name);
          return WhereVariable{v, v >= 0 && ds->variable(v).numeric};
        });
    EXPECT_EQ(SqliteRows(*ds, where->columns(), where.get()).appliesWhere(), c.translated)
        << c.where;
  }
}

// The conditions of where_test.cpp on where.csv with its special missing
// values made NULL (the only missing value of SQLite) keep the same rows from
// the table as from the file, whether they become SQL or not.
TEST(SqliteDataSet, WhereKeepsTheRowsItKeepsInTheCsvFile) {
  const struct {
    const char *condition;
    std::vector<int64_t> rows;  // for where.csv, not used here
  } cases[] = {
#include "tests/data/where_cases.inc"
  };
  const testing::TempDir dir;
  const auto csv = DataSet::open(dir.write(
      "w.csv", "x,y,s\n1,2,a\n2,0,b\n.,1,\n.,3,c\n.,.,\"a \"\n.,2,\"  \"\n-1,.,A\n0.5,4,\" b\"\n"));
  sqlite3 *db = openDatabase(dir.file("lib.db"));
  execute(db,
          "CREATE TABLE w (x REAL, y REAL, s TEXT); INSERT INTO w VALUES (1, 2, 'a'), (2, 0, "
          "'b'), (NULL, 1, NULL), (NULL, 3, 'c'), (NULL, NULL, 'a '), (NULL, 2, '  '), (-1, "
          "NULL, 'A'), (0.5, 4, ' b');");
  sqlite3_close(db);
  const auto table = DataSet::open(sqliteTablePath(dir.file("lib.db"), "w"));
  int translated = 0;
  for (const auto &c : cases) {
    std::vector<int64_t> rows[2], counts[2];
    for (int i = 0; i < 2; ++i) {
      const DataSet &ds = i == 0 ? *csv : *table;
      const auto where =
          Where::fromOptions("where=(" + std::string(c.condition) + ")", [&](auto n, bool) {
            return WhereVariable{ds.findVariable(n), ds.findVariable(n) != 2};
          });
      Cursor cursor(ds, {}, {.where = where.get()});
      while (cursor.next()) rows[i].push_back(cursor.rowNumber());
      counts[i] = {where->kept(), where->tested()};
      translated += i == 1 && SqliteRows(ds, where->columns(), where.get()).appliesWhere();
    }
    EXPECT_EQ(rows[1], rows[0]) << c.condition;
    EXPECT_EQ(counts[1], counts[0]) << c.condition;
  }
  EXPECT_GE(translated, 20);
}

TEST(SqliteDataSet, BadDatabasesAndValuesAreReported) {
  const struct {
    const char *sql;  // nullptr: the file is no database; "": there is no file
    const char *statements;
    int message;  // of group 210
    const char *text;
  } cases[] = {
      {nullptr, "; var y;", kMsgDbDamaged, "lib.sqlite is not a SQLite database"},
      {"", "; var y;", kMsgNoMember, "neither the file"},
      {"CREATE TABLE other (y REAL);", "; var y;", kMsgDbNoTable, "no table t. Its tables: other."},
      {"CREATE TABLE t (y REAL); INSERT INTO t VALUES (1), ('2x');", "; var y;", kMsgDbNotNumber,
       "t, row 2, column 1: '2x' is not a number, but y is numeric (declared REAL)"},
      {"CREATE TABLE t (s TEXT, y INT); INSERT INTO t VALUES ('a', 1), ('b', 'x');",
       "(where=(s = 'a')); var y;", kMsgDbNotNumber, "row 2, column 2: 'x' is not a number"},
      {"CREATE TABLE t (y REAL); INSERT INTO t VALUES (1), (9e999);", "(where=(y < 2)); var y;",
       kMsgDbInfinite, "row 2, column 1: 'Inf' is an infinite value in y"},
      {"CREATE TABLE t (y); INSERT INTO t VALUES (1), (x'00');", "; var y;", kMsgDbBlob,
       "row 2, column 1: y holds binary data"},
      {"CREATE TABLE t (s TEXT, y REAL); INSERT INTO t VALUES ('b', 1), ('a', 2);",
       "; by s; var y;", kMsgDbNotSorted,
       "row 2: the data set is not sorted by s: s=a comes after s=b"},
      {"CREATE TABLE t (y REAL PRIMARY KEY) WITHOUT ROWID;", "; var y;", kMsgDbNoRowid,
       "table t has no rowid"},
  };
  for (const auto &c : cases) {
    const testing::TempDir dir;
    if (c.sql == nullptr) {
      dir.write("lib.sqlite", "SQLite format 2 is not what this file holds\n");
    } else if (*c.sql != '\0') {
      sqlite3 *db = openDatabase(dir.file("lib.sqlite"));
      execute(db, c.sql);
      sqlite3_close(db);
    }
    const auto step =
        harness::runStep("proc kravo data=lib.t" + std::string(c.statements) + " run;", dir.path());
    EXPECT_EQ(harness::errors(step), (std::vector<std::pair<int, int>>{{210, c.message}}));
    EXPECT_EQ(step.rc, 1008) << c.text;
    std::string log;
    for (const LogEntry &e : step.log) log += e.text + "\n";
    EXPECT_NE(log.find(c.text), std::string::npos) << log;
  }
}

TEST(SqliteDataSet, ALockedOrChangedDatabaseIsSeen) {
  const testing::TempDir dir;
  sqlite3 *db = openDatabase(dir.file("libz.db"));
  execute(db, "CREATE TABLE t (y REAL); INSERT INTO t VALUES (1), (2);");
  const auto ds = DataSet::open(resolveDataSetPath(dir.path(), "libz.T", false));
  EXPECT_EQ(resolveDataSetPath(dir.path(), "LIBZ.t", false),
            sqliteTablePath(dir.file("libz.db"), "t"));
  EXPECT_TRUE(ds->unchangedSinceOpen());
  execute(db, "INSERT INTO t VALUES (3);");
  EXPECT_FALSE(ds->unchangedSinceOpen());
  execute(db, "BEGIN EXCLUSIVE; INSERT INTO t VALUES (4);");
  const auto step = harness::runStep("proc kravo data=libz.t; var y; run;", dir.path());
  EXPECT_EQ(harness::errors(step), (std::vector<std::pair<int, int>>{{210, kMsgDbLocked}}));
  EXPECT_EQ(step.rc, 1008);
  execute(db, "COMMIT;");
  sqlite3_close(db);
}

}  // namespace
}  // namespace vyn::data

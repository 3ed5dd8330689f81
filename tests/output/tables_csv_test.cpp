// The table files of --tables-dir: read back as RFC 4180 and compared with
// the JSON document of the same run; quoting, missing values and the union
// of columns byte for byte; refused folders.
#include "vyn/output/tables_csv.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <tuple>

#include "tests/program/harness.h"

namespace {

using namespace vyn::output;
using nlohmann::json;

std::string slurp(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The records of a CSV text; a record that does not end in CRLF fails.
std::vector<std::vector<std::string>> readCsv(const std::string &text) {
  std::vector<std::vector<std::string>> records(1, std::vector<std::string>(1));
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
      records.back().back() += text[++i];
    } else if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && c == ',') {
      records.back().emplace_back();
    } else if (!quoted && c == '\r') {
      EXPECT_EQ(text[++i], '\n');
      records.emplace_back(1);
    } else {
      records.back().back() += c;
    }
  }
  EXPECT_EQ(records.back(), std::vector<std::string>(1)) << "no CRLF at the end";
  records.pop_back();
  return records;
}

// A JSON cell or BY value as the CSV holds it: numbers compared by value,
// missing values empty.
std::string expectedField(const json &cell) {
  if (!cell.is_string()) return cell.dump();
  const std::string s = cell.get<std::string>();
  return s.size() <= 2 && !s.empty() && s[0] == '.' ? std::string() : s;
}

bool sameField(const std::string &csv, const json &cell) {
  if (cell.is_number() && !csv.empty()) return std::stod(csv) == cell.get<double>();
  return csv == expectedField(cell);
}

struct TempDir {
  std::string path = (std::filesystem::temp_directory_path() / "vyn-tables-XXXXXX").string();
  TempDir() { EXPECT_NE(::mkdtemp(path.data()), nullptr); }
  ~TempDir() { std::filesystem::remove_all(path); }
};

int runCommand(const std::string &program, const vyn::RunOptions &options) {
  vyn::Host host;
  host.useLinkedModule(&mcn_main);
  return vyn::runCommand({options, "", program}, host);
}

// BY groups of a text with a comma, quotes and a line break and of a number
// with a missing value; two variables; a second step without BY.
TEST(TablesCsv, WholeRunMatchesItsJson) {
  TempDir dir;
  std::ofstream(dir.path + "/d.csv") << "g,k,c,x,y\n"
                                        "\"a,1\",.,p,1,2\n\"a,1\",.,p,2,3.5\n\"a,1\",.,q,3,1\n"
                                        "\"a,1\",.,q,5,2\n\"a,1\",2.5,p,1,1\n\"a,1\",2.5,q,2,2\n"
                                        "\"b \"\"é\"\"\nz\",1,p,1,\n\"b \"\"é\"\"\nz\",1,p,4,2\n"
                                        "\"b \"\"é\"\"\nz\",1,q,2,7\n\"b \"\"é\"\"\nz\",1,q,6,1\n";
  vyn::RunOptions options{dir.path, "", dir.path + "/log", "", dir.path + "/r.json"};
  options.tablesDir = dir.path + "/t";
  ASSERT_EQ(runCommand("proc kravo data=d; class c; var x y; by g k; run;"
                       "proc kravo data=d tost(0, 2); var x; run;",
                       options),
            0);

  std::map<std::string, std::vector<std::vector<std::string>>> files;
  std::map<std::string, size_t> used;  // rows of each file compared so far
  const json steps = json::parse(slurp(dir.path + "/r.json"))["steps"];
  size_t tables = 0, missing = 0;
  for (size_t s = 0; s < steps.size(); ++s) {
    for (const json &item : steps[s]["output"]) {
      if (item["type"] != "table") continue;
      ++tables;
      const std::string path = TablesCsv::fileOf(options.tablesDir, s + 1, item["name"]);
      if (!files.count(path)) files[path] = readCsv(slurp(path));
      const auto &records = files[path];
      ASSERT_FALSE(records.empty()) << path;
      const std::vector<std::string> &header = records[0];
      std::vector<std::string> names;
      for (const json &b : item["by"]) names.push_back(b["name"]);
      for (const json &c : item["columns"]) names.push_back(c["name"]);
      EXPECT_EQ(header, names) << path;
      for (const json &row : item["rows"]) {
        const size_t r = ++used[path];
        ASSERT_LT(r, records.size()) << path;
        ASSERT_EQ(records[r].size(), names.size()) << path << " row " << r;
        std::vector<json> cells;
        for (const json &b : item["by"]) cells.push_back(b["value"]);
        cells.insert(cells.end(), row.begin(), row.end());
        for (size_t i = 0; i < cells.size(); ++i) {
          EXPECT_TRUE(sameField(records[r][i], cells[i]))
              << path << " row " << r << " " << names[i] << ": " << records[r][i] << " vs "
              << cells[i];
          missing += records[r][i].empty();
        }
      }
    }
  }
  for (const auto &[path, records] : files) EXPECT_EQ(used[path] + 1, records.size()) << path;
  EXPECT_EQ(files.size(), std::distance(std::filesystem::directory_iterator(options.tablesDir),
                                        std::filesystem::directory_iterator()));
  EXPECT_GT(tables, files.size());
  EXPECT_GT(missing, 0u);
  EXPECT_TRUE(files.count(options.tablesDir + "/step2_EquivLimits.csv"));
  EXPECT_EQ(files[options.tablesDir + "/step1_Statistics.csv"].back()[0], "b \"é\"\nz");
}

Item tableItem(const std::string &name, std::vector<Column> columns,
               std::vector<std::vector<Cell>> rows) {
  return {Table{name, "T." + name, "", {}, std::move(columns), std::move(rows)}, {}, {}, {}};
}

// Step 1: two tables of one name with other columns; step 2: a name that
// is no file name. Then the refused and the accepted folders.
TEST(TablesCsv, QuotedUnitedOrRefused) {
  const Column a{"A", "", ColumnType::kChar, "", 0, true, {}},
      b{"B", "", ColumnType::kNum, "", 0, true, {}}, c{"C", "", ColumnType::kInt, "", 0, true, {}};
  const double inf = std::numeric_limits<double>::infinity();
  const std::pair<size_t, Item> items[] = {
      {1, tableItem("T", {a, b}, {{std::string("a,b"), 0.1}, {std::string("q\"\r\n"), inf}})},
      {1, tableItem("T", {c, a}, {{7LL, std::string("\xff")}, {Missing{'_'}, std::string(" x")}})},
      {2, tableItem("../u v", {b}, {{-1e300}, {Missing{'.'}}})}};
  std::map<std::string, std::string> written;
  const TempDir spool;
  TablesCsv csv(spool.path,
                [&](const std::string &path, std::string_view content, const std::string &) {
                  return written.emplace(path.substr(spool.path.size()), content).second;
                });
  for (const auto &[step, item] : items) csv.add(step, item);
  EXPECT_TRUE(csv.finish());
  EXPECT_EQ(written,
            (std::map<std::string, std::string>{
                {"/step1_T.csv",
                 "A,B,C\r\n\"a,b\",0.1,\r\n\"q\"\"\r\n\",,\r\n\xEF\xBF\xBD,,7\r\n x,,\r\n"},
                {"/step2____u_v.csv", "B\r\n-1e+300\r\n\r\n"}}));

  // folder, graphs folder, JSON, input (in a fresh folder with "f"); exit status
  const std::tuple<const char *, const char *, const char *, const char *, int> cases[] = {
      {"new/sub", "", "", "f", 0},
      {"f", "", "", "f", vyn::kExitRefused},
      {"g", "g", "", "f", vyn::kExitRefused},
      {".", "", "", "step1_Kravos.csv", vyn::kExitRefused},
      {".", "", "step1_Statistics.csv", "f", vyn::kExitRefused},
  };
  const auto in = [](const TempDir &dir, const char *sub) {
    return *sub ? dir.path + "/" + sub : std::string();
  };
  for (const auto &[sub, graphs, report, input, status] : cases) {
    TempDir dir;
    std::ofstream(dir.path + "/f") << "y\n1\n2\n3\n";
    std::filesystem::copy_file(dir.path + "/f", dir.path + "/step1_Kravos.csv");
    vyn::RunOptions options{dir.path, "", in(dir, "log"), "", in(dir, report), in(dir, graphs)};
    options.tablesDir = in(dir, sub);
    const std::string data = std::string("'") + dir.path + "/" + input + "'";
    EXPECT_EQ(runCommand("proc kravo data=" + data + "; var y; run;", options), status) << sub;
    EXPECT_EQ(std::filesystem::exists(options.tablesDir + "/step1_ConfLimits.csv"), status == 0)
        << sub;
  }
}

}  // namespace

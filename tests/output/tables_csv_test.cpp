// The table files of --tables-dir: read back as RFC 4180 and compared with
// the JSON of the same run; quoting, missing cells and the union of columns
// byte for byte against data/; refused folders.
#include "vyn/output/tables_csv.h"

#include <stdlib.h>

#include <charconv>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>

#include "tests/program/harness.h"

namespace {

using namespace vyn::output;
using Records = std::vector<std::vector<std::string>>;
const std::string kData = VYN_TABLES_DATA;

std::string slurp(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The fields of a CSV text; every byte must belong to a field and every
// record must end in CRLF.
Records readCsv(const std::string &text) {
  static const std::regex field("(\"(?:[^\"]|\"\")*\"|[^,\"\r\n]*)(,|\r\n)"), twice("\"\"");
  Records records(1);
  size_t read = 0;
  for (std::sregex_iterator m(text.begin(), text.end(), field), end; m != end; ++m) {
    const std::string f = (*m)[1], quoted = f.empty() ? f : f.substr(1, f.size() - 2);
    records.back().push_back(f[0] == '"' ? std::regex_replace(quoted, twice, "\"") : f);
    if ((*m)[2] == "\r\n") records.emplace_back();
    read += static_cast<size_t>(m->length());
  }
  EXPECT_EQ(read, text.size());
  records.pop_back();
  return records;
}

// A JSON cell or BY value as a CSV field: a number in shortest exact form, a
// missing value empty.
std::string field(const nlohmann::json &cell) {
  char buf[32];
  if (cell.is_number_float()) return {buf, std::to_chars(buf, buf + 32, cell.get<double>()).ptr};
  if (!cell.is_string()) return cell.dump();
  const std::string s = cell;
  return s.size() <= 2 && s.rfind('.', 0) == 0 ? "" : s;
}

struct TempDir {
  std::string path = (std::filesystem::temp_directory_path() / "vyn-tables-XXXXXX").string();
  TempDir() { EXPECT_NE(::mkdtemp(path.data()), nullptr); }
  ~TempDir() { std::filesystem::remove_all(path); }
  std::string in(const char *name) const { return *name ? path + "/" + name : ""; }
};

int runCommand(const std::string &program, const vyn::RunOptions &options) {
  vyn::Host host;
  host.useLinkedModule(&mcn_main);
  return vyn::runCommand({options, "", program}, host);
}

// BY groups of a text with a comma, quotes and a line break and of a number
// that is missing; two variables; a second step without BY.
TEST(TablesCsv, WholeRunMatchesItsJson) {
  TempDir dir;
  vyn::RunOptions options{kData, "", dir.in("log"), "", dir.in("r.json")};
  options.tablesDir = dir.in("t");
  ASSERT_EQ(runCommand("proc kravo data=bygroups; class c; var x y; by g k; run; proc kravo "
                       "data=bygroups tost(0, 2); var x; run;",
                       options),
            0);
  std::map<std::string, Records> expected;  // by file: the header, then the rows
  const nlohmann::json steps = nlohmann::json::parse(slurp(dir.in("r.json")))["steps"];
  for (size_t s = 0; s < steps.size(); ++s) {
    for (const nlohmann::json &t : steps[s]["output"]) {
      if (t["type"] != "table") continue;
      Records &file = expected[TablesCsv::fileOf(options.tablesDir, s + 1, t["name"])];
      std::vector<std::string> header, by;
      for (const auto &b : t["by"]) header.push_back(b["name"]), by.push_back(field(b["value"]));
      for (const auto &c : t["columns"]) header.push_back(c["name"]);
      EXPECT_EQ(file.empty() ? header : file[0], header);
      if (file.empty()) file.push_back(header);
      for (const auto &row : t["rows"]) {
        file.push_back(by);
        for (const auto &cell : row) file.back().push_back(field(cell));
      }
    }
  }
  for (const auto &[path, records] : expected) EXPECT_EQ(readCsv(slurp(path)), records) << path;
  const auto made = std::filesystem::directory_iterator(options.tablesDir);
  EXPECT_EQ(std::distance(made, {}), 8) << "a file per step and name, no spool left";
}

Item tableItem(const std::string &name, std::vector<ColumnType> types,
               std::vector<std::vector<Cell>> rows) {
  std::vector<Column> columns;
  for (ColumnType type : types)
    columns.push_back({{char('A' + int(type))}, "", type, "", 0, true, {}});
  return {Table{name, "T." + name, "", {}, std::move(columns), std::move(rows)}, {}, {}, {}};
}

// Two tables of one name with other columns (A num, B int, C char), then a
// name that is no file name with a lone missing cell; then whole runs whose
// tables go to a file, the graphs folder, the JSON or an input, or not.
TEST(TablesCsv, QuotedUnitedOrRefused) {
  using enum ColumnType;
  const TempDir spool;
  std::map<std::string, std::string> written;
  TablesCsv csv(spool.path, [&](const std::string &path, const CsvFill &fill) {
    std::string content;
    return fill([&](std::string_view piece) { content += piece; }).empty() &&
           written.emplace(path.substr(spool.path.size()), content).second;
  });
  csv.item(tableItem("T", {kChar, kNum}, {{"a,b", 0.1}, {"q\"", 1 / 0.0}}), {0, 0, ""});
  csv.item(tableItem("T", {kInt, kChar}, {{7LL, "\xff\r"}, {Missing{'_'}, "\n x"}}), {0, 0, ""});
  csv.item(tableItem("../u v", {kNum}, {{-1e300}, {Missing{'.'}}}), {1, 0, ""});
  csv.endStep({});
  EXPECT_TRUE(csv.ok());
  EXPECT_EQ(written.size(), 2u);
  for (const auto &[file, content] : written) EXPECT_EQ(content, slurp(kData + file)) << file;

  // Widened rows past the spool's 64 KB pieces: the CR of "7\r\n" ends the second piece.
  std::vector<std::vector<Cell>> sevens(50000, {7LL});
  csv.item(tableItem("W", {kInt}, sevens), {2, 0, ""});
  csv.item(tableItem("W", {kInt, kChar}, {{7LL, "x\r\ny"}}), {2, 0, ""});
  csv.endStep({});
  std::string wide = "B,C\r\n";
  for (size_t i = 0; i < sevens.size(); ++i) wide += "7,\r\n";
  EXPECT_EQ(written["/step3_W.csv"], wide + "7,\"x\r\ny\"\r\n");

  const std::tuple<const char *, const char *, const char *, const char *, int> cases[] = {
#include "folders.inc"
  };
  for (const auto &[tables, graphs, report, input, status] : cases) {
    TempDir dir;
    std::ofstream(dir.in("f")) << "y\n1\n2\n3\n";
    std::filesystem::copy_file(dir.in("f"), dir.in("step1_Kravos.csv"));
    vyn::RunOptions options{dir.path, "", dir.in("log"), "", dir.in(report), dir.in(graphs)};
    options.tablesDir = dir.in(tables);
    EXPECT_EQ(runCommand("proc kravo data='" + dir.in(input) + "'; var y; run;", options), status);
    EXPECT_EQ(std::filesystem::exists(options.tablesDir + "/step1_ConfLimits.csv"), status == 0);
  }
}

}  // namespace

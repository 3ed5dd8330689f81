// Whole programs through the host and the linked module, and what they
// emitted: the steps, their messages, their tables by name and the cells of a
// table by column name.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "host/vynmod.h"
#include "vyn/cli/run.h"
#include "vyn/core/host.h"
#include "vyn/core/program.h"

extern "C" const mcn_desc *mcn_main(void **connection, void *module_handle);

namespace harness {

using vyn::output::Cell;
using vyn::output::Column;
using vyn::output::Missing;
using vyn::output::StepRecord;
using vyn::output::Table;

// Runs a program whose DATA= names are looked up in `dataDir`, by default the
// tests' data folder.
inline vyn::output::Run run(const std::string &text,
                            const std::string &dataDir = VYN_PROGRAM_DATA) {
  vyn::Host host;
  host.useLinkedModule(&mcn_main);
  vyn::RunOptions options;
  options.dataDir = dataDir;
  const vyn::Program program = vyn::readProgram(text);
  EXPECT_FALSE(program.failed) << text;
  return vyn::runProgram(program, host, options);
}

// Runs a program of one step.
inline StepRecord runStep(const std::string &text, const std::string &dataDir = VYN_PROGRAM_DATA) {
  vyn::output::Run steps = run(text, dataDir);
  EXPECT_EQ(steps.size(), 1u) << text;
  return steps.empty() ? StepRecord{} : steps[0];
}

// A folder of the temporary folder that this process alone writes in, removed
// when it ends: test runs of two checkouts at once share no file.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = ::testing::TempDir() + "vyn-test-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern + "/";
  }
  ~ScratchDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir &) = delete;
  ScratchDir &operator=(const ScratchDir &) = delete;
  // The folder with its closing slash, or the temporary folder itself when none could be made.
  std::string path() const { return path_.empty() ? ::testing::TempDir() : path_; }

 private:
  std::string path_;
};

inline std::string scratchDir() {
  static const ScratchDir dir;
  return dir.path();
}

// Writes `content` to a file of the scratch folder named after the running
// test, so that tests run side by side never share one; returns its path.
inline std::string dataFile(const std::string &name, const std::string &content) {
  const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string unique = std::string(test->test_suite_name()) + "." + test->name() + "." + name;
  std::replace(unique.begin(), unique.end(), '/', '_');
  const std::string path = scratchDir() + unique;
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

// The errors of the step as (group, number), in order.
inline std::vector<std::pair<int, int>> errors(const StepRecord &step) {
  std::vector<std::pair<int, int>> found;
  for (const vyn::LogEntry &e : step.log)
    if (e.level == vyn::LogLevel::kError) found.emplace_back(e.group, e.number);
  return found;
}

// The message numbers of group 181 that a step logged at this level, in order.
inline std::vector<int> messages(const StepRecord &step, vyn::LogLevel level) {
  std::vector<int> numbers;
  for (const vyn::LogEntry &e : step.log)
    if (e.group == 181 && e.level == level) numbers.push_back(e.number);
  return numbers;
}

inline std::vector<const Table *> tables(const StepRecord &step) {
  std::vector<const Table *> found;
  for (const auto &item : step.output)
    if (const auto *t = std::get_if<Table>(&item.content)) found.push_back(t);
  return found;
}

// Every table of that name in the step, in order.
inline std::vector<const Table *> tables(const StepRecord &step, const std::string &name) {
  std::vector<const Table *> found;
  for (const Table *t : tables(step))
    if (t->name == name) found.push_back(t);
  return found;
}

inline std::vector<std::string> tableNames(const StepRecord &step) {
  std::vector<std::string> names;
  for (const Table *t : tables(step)) names.push_back(t->name);
  return names;
}

// The n-th table of that name in the step; fails the test when there is none.
inline const Table &table(const StepRecord &step, const std::string &name, int n = 0) {
  for (const Table *t : tables(step))
    if (t->name == name && n-- == 0) return *t;
  ADD_FAILURE() << "no table " << name;
  static const Table none;
  return none;
}

// The column of that name; fails the test when there is none.
inline const Column &column(const Table &t, const std::string &name) {
  for (const Column &c : t.columns)
    if (c.name == name) return c;
  ADD_FAILURE() << "no column " << name << " in " << t.name;
  static const Column none{};
  return none;
}

// The cell of that column in that row; fails the test when there is none.
inline const Cell &cell(const Table &t, size_t row, const std::string &name) {
  for (size_t i = 0; i < t.columns.size(); ++i)
    if (t.columns[i].name == name && row < t.rows.size()) return t.rows[row][i];
  ADD_FAILURE() << t.name << " has no cell " << name << " in row " << row;
  static const Cell none = Missing{'?'};
  return none;
}

inline std::string text(const Table &t, size_t row, const std::string &name) {
  const Cell &c = cell(t, row, name);
  return std::holds_alternative<std::string>(c) ? std::get<std::string>(c) : "<not text>";
}

inline std::vector<std::string> texts(const Table &t, const std::string &name) {
  std::vector<std::string> all;
  for (size_t r = 0; r < t.rows.size(); ++r) all.push_back(text(t, r, name));
  return all;
}

// Every cell of that column, row by row.
inline std::vector<Cell> cells(const Table &t, const std::string &name) {
  std::vector<Cell> all;
  for (size_t r = 0; r < t.rows.size(); ++r) all.push_back(cell(t, r, name));
  return all;
}

inline bool missing(const Table &t, size_t row, const std::string &name, char letter) {
  const Cell &c = cell(t, row, name);
  return std::holds_alternative<Missing>(c) && std::get<Missing>(c).letter == letter;
}

// An integer attribute of a table or column, or -1.
inline long long intAttribute(const vyn::output::Attributes &attributes, const std::string &name) {
  const auto it = attributes.find(name);
  if (it == attributes.end() || !std::holds_alternative<long long>(it->second)) return -1;
  return std::get<long long>(it->second);
}

}  // namespace harness

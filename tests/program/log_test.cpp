// What the log tells of a step: per analysis the observations used and why
// the others were left out, per step what was read, its time and its return
// code; and the headings that the JSON document lists.
#include <cstring>
#include <nlohmann/json.hpp>
#include <regex>

#include "tests/program/harness.h"
#include "vyn/output/render.h"

namespace {

struct LogCase {
  const char *program;
  std::vector<std::string> log;  // "GROUP NUMBER text" per entry
};

const LogCase kCases[] = {
#include "tests/program/log_cases.inc"
};

// The log as "GROUP NUMBER text" lines, the data folder as "#", the seconds as "t.tt".
std::vector<std::string> logLines(const harness::StepRecord &step) {
  const std::regex seconds("took [0-9]+\\.[0-9]{2} seconds");
  std::vector<std::string> lines;
  for (const vyn::LogEntry &e : step.log) {
    std::string text = std::regex_replace(e.text, seconds, "took t.tt seconds");
    if (const size_t at = text.find(VYN_PROGRAM_DATA); at != std::string::npos)
      text.replace(at, std::strlen(VYN_PROGRAM_DATA), "#");
    lines.push_back(std::to_string(e.group) + " " + std::to_string(e.number) + " " + text);
  }
  return lines;
}

TEST(StepLog, UsedAndLeftOutPerAnalysisAndWhatTheStepRead) {
  for (const LogCase &c : kCases)
    EXPECT_EQ(logLines(harness::runStep(c.program)), c.log) << c.program;
}

TEST(StepLog, JsonListsTheHeadingsWhereTheListingShowsThem) {
  const auto doc = nlohmann::json::parse(
      vyn::output::renderJson(harness::run("proc kravo data=usage tost(0, 5); var y; run;")));
  std::vector<std::string> items;
  for (const auto &item : doc["steps"][0]["output"])
    items.push_back(item["type"].get<std::string>() + ": " +
                    item.value("text", item.value("name", std::string())));
  const std::vector<std::string> expected = {"heading: The KRAVO Procedure",
                                             "heading: Variable: y",
                                             "table: Statistics",
                                             "table: ConfLimits",
                                             "heading: Equivalence Analysis (alpha = 0.05)",
                                             "table: EquivLimits",
                                             "table: EquivTests"};
  EXPECT_EQ(items, expected);
}

// Each item names its own BY group, the value as read and as formatted,
// also from the third group on, when the values of a group before are
// written over.
TEST(StepLog, JsonItemsNameTheirOwnByGroup) {
  const auto doc = nlohmann::json::parse(
      vyn::output::renderJson(harness::run("proc kravo data=usage; by g; var y; run;")));
  std::vector<std::string> groups;
  for (const auto &item : doc["steps"][0]["output"]) {
    const auto &b = item["by"][0];
    const std::string named = b["name"].get<std::string>() + "=" + b["value"].get<std::string>() +
                              " " + b["formatted"].get<std::string>();
    if (groups.empty() || groups.back() != named) groups.push_back(named);
  }
  EXPECT_EQ(groups, (std::vector<std::string>{"g=1 1", "g=2 2", "g=3 3"}));
}

}  // namespace

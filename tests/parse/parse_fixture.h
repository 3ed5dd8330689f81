// A step of statements parsed with the generated grammar against an
// in-memory data set, and what the parser left behind.
#pragma once

#include <cctype>
#include <charconv>
#include <cstdio>
#include <string>
#include <vector>

#include "host/vynstmt.h"
#include "src/krvstg.h"
#include "vyn/core/step.h"
#include "vyn/parse/parser.h"

namespace parsetest {

// Each catalogue message of a log as "E<number>", with "@line:column" when its
// text begins with a place; joined by blanks.
inline std::string messages(const vyn::Log &log) {
  std::string out;
  for (const vyn::LogEntry &e : log.entries()) {
    if (e.number == 0) continue;
    int line = 0, column = 0;
    out += (out.empty() ? "E" : " E") + std::to_string(e.number);
    if (std::sscanf(e.text.c_str(), "Line %d, column %d:", &line, &column) == 2)
      out += "@" + std::to_string(line) + ":" + std::to_string(column);
  }
  return out;
}

// Variables of the in-memory data set, in data-set order (numbers from 0).
inline std::vector<vyn::VariableRef> defaultVariables() {
  return {{"y1", true},     {"y2", true},  {"a", true},         {"b", true},      {"c", true},
          {"d", true},      {"e", true},   {"trt1", false},     {"trt2", false},  {"x1", true},
          {"x2", true},     {"x3", true},  {"s", false},        {"data", true},   {"type", true},
          {"period", true}, {"l", true},   {"u", true},         {"weight", true}, {"my var", true},
          {"x01", true},    {"x02", true}, {"descending", true}};
}

class FakeData : public vyn::ParseHost {
 public:
  void *openDataSet(std::string_view name, bool quoted) override {
    openedName = std::string(name);
    openedQuoted = quoted;
    return failOpen ? nullptr : &opened;
  }
  void *defaultDataSet() override { return haveDefault ? &fallback : nullptr; }
  const std::vector<vyn::VariableRef> &variables(void *) override { return vars; }
  void setByRequest(void *data, const vyn::ByRequest &request) override {
    by = request;
    byData = data;
  }

  std::vector<vyn::VariableRef> vars = defaultVariables();
  int opened = 0, fallback = 0;  // their addresses are the data set handles
  std::string openedName;
  bool openedQuoted = false;
  bool failOpen = false;
  bool haveDefault = true;
  vyn::ByRequest by;
  void *byData = nullptr;
};

// The statements parsed as one step, each on its own line from line 1. A
// step that does not start with PROC gets "PROC KRAVO" (line 0) before it,
// which opens the default data set.
class Parsed {
 public:
  explicit Parsed(const std::vector<std::string> &statements, int32_t trace = 0,
                  FakeData data = FakeData())
      : data_(std::move(data)) {
    step_.proc = "KRAVO";
    step_.parseHost = &data_;
    if (statements.empty() || !startsWithProc(statements[0])) {
      step_.statements.push_back({"PROC KRAVO", 0, 1});
    }
    int line = 1;
    for (const std::string &s : statements) step_.statements.push_back({s, line++, 1});
    status = vyn::parseStep(step_, parse_, krv_pc, trace);
  }

  bool flag(int k) const { return vynstmt::stmtFlag(parse_.block(), k); }
  const vynstmt::StmtSlot &slot(int k) const { return parse_.block().slots[k]; }
  bool present(int k) const { return slot(k).present != 0; }
  double number(int k) const { return vynstmt::slotNumber(slot(k)); }
  std::vector<int> list(int k) const {
    return std::vector<int>(slot(k).elements, slot(k).elements + slot(k).count);
  }
  // Flags 1..47 that are set.
  std::vector<int> flags() const {
    std::vector<int> out;
    for (int k = 0; k < 48; ++k) {
      if (flag(k)) out.push_back(k);
    }
    return out;
  }
  std::vector<std::string> messages(int number) const {
    std::vector<std::string> out;
    for (const vyn::LogEntry &e : step_.log.entries()) {
      if (e.number == number) out.push_back(e.text);
    }
    return out;
  }
  std::string log() const {
    std::string out;
    for (const vyn::LogEntry &e : step_.log.entries()) out += e.text + "\n";
    return out;
  }
  // The outcome in one line: "rc=N" when the status is not 0; the flags set
  // ("f=1,2"); every present slot but the default data set, lists as
  // "L<k>=" with variable names and negative codes, numbers as "N<k>=", the
  // data set as "data=name" ("data='name'" when quoted, "nodata" when none);
  // then each catalogue message as "E<number>" with "@line:column" when its
  // text begins with a place.
  std::string dump() const {
    std::string out = status ? "rc=" + std::to_string(status) : "";
    auto item = [&out](const std::string &s) { out += (out.empty() ? "" : " ") + s; };
    std::string f;
    for (int k : flags()) f += (f.empty() ? "f=" : ",") + std::to_string(k);
    if (!f.empty()) item(f);
    for (int k = 0; k < vynstmt::kStmtSlots; ++k) {
      if (k == kDataSlot || !present(k)) continue;
      if (isNumberSlot(k)) {
        char buf[32];
        item("N" + std::to_string(k) + "=" +
             std::string(buf, std::to_chars(buf, buf + sizeof buf, number(k)).ptr));
        continue;
      }
      std::string l = "L" + std::to_string(k) + "=";
      const auto vars = data_.vars;
      for (int e : list(k)) {
        if (l.back() != '=') l += ',';
        l += e >= 0 && e < static_cast<int>(vars.size()) ? vars[e].name : std::to_string(e);
      }
      item(l);
    }
    if (!present(kDataSlot)) {
      item("nodata");
    } else if (slot(kDataSlot).handle == &data_.opened) {
      item(data_.openedQuoted ? "data='" + data_.openedName + "'" : "data=" + data_.openedName);
    }
    if (const std::string m = parsetest::messages(step_.log); !m.empty()) item(m);
    return out;
  }
  FakeData &data() { return data_; }
  vyn::StepParse &parse() { return parse_; }

  int status = 0;

 private:
  static constexpr int kDataSlot = 4;
  static bool isNumberSlot(int k) { return k == 8 || k == 9 || k == 11 || k == 12 || k == 16; }
  static bool startsWithProc(const std::string &s) {
    std::string head = s.substr(0, 4);
    for (char &c : head) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return head == "PROC";
  }

  FakeData data_;
  vyn::StepContext step_;
  vyn::StepParse parse_;
};

// Variable numbers of names in the default data set.
inline int var(const std::string &name) {
  const auto vars = defaultVariables();
  for (size_t i = 0; i < vars.size(); ++i) {
    if (vars[i].name == name) return static_cast<int>(i);
  }
  return -1000;
}

}  // namespace parsetest

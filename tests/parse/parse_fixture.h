// A step of statements parsed with the generated grammar against an
// in-memory data set, and what the parser left behind.
#pragma once

#include <strings.h>

#include <charconv>
#include <cstdio>
#include <string>
#include <vector>

#include "host/vynstmt.h"
#include "src/krvstg.h"
#include "vyn/core/step.h"
#include "vyn/data/where.h"
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
  std::vector<vyn::VariableRef> vars;
  for (const char *name : {"y1",   "y2", "a",      "b",      "c",   "d",    "e",         "trt1",
                           "trt2", "x1", "x2",     "x3",     "s",   "data", "type",      "period",
                           "l",    "u",  "weight", "my var", "x01", "x02",  "descending"})
    vars.push_back({name, std::string_view(name) != "trt1" && std::string_view(name) != "trt2" &&
                              std::string_view(name) != "s"});  // the character ones
  return vars;
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
  void setByRequest(void *, const vyn::ByRequest &request) override { by = request; }
  void setWhere(void *, std::unique_ptr<vyn::data::Where>) override {}

  std::vector<vyn::VariableRef> vars = defaultVariables();
  int opened = 0, fallback = 0;  // their addresses are the data set handles
  std::string openedName;
  bool openedQuoted = false, failOpen = false, haveDefault = true;
  vyn::ByRequest by;
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
    const std::string head = statements.empty() ? "" : statements[0].substr(0, 4);
    if (head.size() < 4 || ::strncasecmp(head.c_str(), "PROC", 4) != 0)
      step_.statements.push_back({"PROC KRAVO", 0, 1});
    int line = 1;
    for (const std::string &s : statements) step_.statements.push_back({s, line++, 1});
    status = vyn::parseStep(step_, parse_, krv_pc, trace);
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
  // then the catalogue messages as messages() gives them.
  std::string dump() const {
    std::string out = status ? "rc=" + std::to_string(status) : "";
    auto item = [&out](const std::string &s) { out += (out.empty() ? "" : " ") + s; };
    std::string f;
    for (int k = 0; k < 48; ++k)
      if (vynstmt::stmtFlag(parse_.block(), k)) f += (f.empty() ? "f=" : ",") + std::to_string(k);
    if (!f.empty()) item(f);
    for (int k = 0; k < vynstmt::kStmtSlots; ++k) {
      const vynstmt::StmtSlot &slot = parse_.block().slots[k];
      if (k == kDataSlot || !slot.present) continue;
      if (k == 8 || k == 9 || k == 11 || k == 12 || k == 16) {  // the number slots
        char buf[32];
        const double v = vynstmt::slotNumber(slot);
        item("N" + std::to_string(k) + "=" + std::string(buf, std::to_chars(buf, buf + 32, v).ptr));
        continue;
      }
      std::string l = "L" + std::to_string(k) + "=";
      for (int i = 0; i < slot.count; ++i) {
        const int e = slot.elements[i];
        l += (i ? "," : "") + (e >= 0 && e < static_cast<int>(data_.vars.size())
                                   ? data_.vars[e].name
                                   : std::to_string(e));
      }
      item(l);
    }
    const vynstmt::StmtSlot &data = parse_.block().slots[kDataSlot];
    if (!data.present) {
      item("nodata");
    } else if (data.handle == &data_.opened) {
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
  FakeData data_;
  vyn::StepContext step_;
  vyn::StepParse parse_;
};

}  // namespace parsetest

// Programs split into steps and statements, each outcome worked out by hand.
#include "vyn/core/program.h"

#include <gtest/gtest.h>

namespace {

// "failed" when the program cannot run, each logged message as "E<number>" or
// "W<number>", then each step as PROC{debug}[text@line:column|...].
std::string dump(const vyn::Program &p) {
  std::string out = p.failed ? "failed" : "";
  auto item = [&out](const std::string &s) { out += (out.empty() ? "" : " ") + s; };
  for (const vyn::LogEntry &e : p.log.entries())
    item((e.level == vyn::LogLevel::kWarning ? "W" : "E") + std::to_string(e.number));
  for (const vyn::ProgramStep &s : p.steps) {
    std::string step = s.proc + (s.debug.empty() ? "" : "{" + s.debug + "}") + "[";
    for (const vyn::SourceStatement &st : s.statements)
      step += (step.back() == '[' ? "" : "|") + st.text + "@" + std::to_string(st.line) + ":" +
              std::to_string(st.column);
    item(step + "]");
  }
  return out;
}

TEST(ProgramReader, StepsStatementsAndTheirPlaces) {
  const struct {
    const char *program, *expected, *mentioned;
  } cases[] = {
      {"proc kravo data=a; var x; run;\nPROC Kravo data=b; quit;\n",
       "KRAVO[proc kravo data=a@1:1|var x@1:20] KRAVO[PROC Kravo data=b@2:1]", ""},
      // semicolons in quotes and comments do not split; a comment is blanked in place
      {"proc kravo data='a;b.csv' /* c; d */ h0=1; run;",
       "KRAVO[proc kravo data='a;b.csv'            h0=1@1:1]", ""},
      {"proc kravo data='it''s;x'; run;", "KRAVO[proc kravo data='it''s;x'@1:1]", ""},
      {"* a comment, with words;\nproc kravo; *var x; run;", "KRAVO[proc kravo@2:1]", ""},
      {"/* head\n */\n  proc kravo;\n   var y;\nrun;", "KRAVO[proc kravo@3:3|var y@4:4]", ""},
      {"proc kravo; run; options debug=syn; proc kravo; run;",
       "KRAVO[proc kravo@1:1] KRAVO{SYN}[proc kravo@1:37]", ""},
      {"options debug='sem,syn'; proc kravo; run;", "KRAVO{SEM,SYN}[proc kravo@1:26]", ""},
      {"\xEF\xBB\xBFproc kravo;\r\nrun;\r\n", "KRAVO[proc kravo@1:1]", ""},
      {"proc kravo data=a; var x;", "W109 KRAVO[proc kravo data=a@1:1|var x@1:20]", "KRAVO"},
      {"proc kravo; /* never closed\n run;", "failed E110", "line 1"},
      {"var x; proc kravo; run;", "failed E104 KRAVO[proc kravo@1:8]", "var x"},
  };
  for (const auto &c : cases) {
    const vyn::Program p = vyn::readProgram(c.program);
    EXPECT_EQ(dump(p), c.expected) << c.program;
    if (*c.mentioned) {
      ASSERT_FALSE(p.log.entries().empty()) << c.program;
      EXPECT_NE(p.log.entries()[0].text.find(c.mentioned), std::string::npos) << c.program;
    }
  }
}

}  // namespace

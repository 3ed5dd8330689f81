#include "vyn/core/program.h"

#include <gtest/gtest.h>

namespace {

using vyn::LogLevel;
using vyn::readProgram;

TEST(ProgramReader, SplitsStepsAtRunAndQuit) {
  const auto p = readProgram(
      "proc kravo data=a; var x; run;\n"
      "PROC Kravo data=b; quit;\n");
  ASSERT_FALSE(p.failed);
  ASSERT_EQ(p.steps.size(), 2u);
  EXPECT_EQ(p.steps[0].proc, "KRAVO");
  ASSERT_EQ(p.steps[0].statements.size(), 2u);
  EXPECT_EQ(p.steps[0].statements[1].text, "var x");
  EXPECT_EQ(p.steps[1].statements.size(), 1u);
  EXPECT_TRUE(p.log.entries().empty());
}

TEST(ProgramReader, SemicolonsInsideQuotesAndCommentsDoNotSplit) {
  const auto p = readProgram("proc kravo data='a;b.csv' /* c; d */ h0=1; run;");
  ASSERT_EQ(p.steps.size(), 1u);
  ASSERT_EQ(p.steps[0].statements.size(), 1u);
  const std::string &t = p.steps[0].statements[0].text;
  EXPECT_NE(t.find("'a;b.csv'"), std::string::npos);
  EXPECT_EQ(t.find("c;"), std::string::npos);
  EXPECT_NE(t.find("h0=1"), std::string::npos);
  // the comment is blanked in place, so later columns stay where they were
  EXPECT_EQ(t.find("h0=1"), std::string("proc kravo data='a;b.csv' /* c; d */ ").size());
}

TEST(ProgramReader, DoubledQuotesStayInsideTheString) {
  const auto p = readProgram("proc kravo data='it''s;x'; run;");
  ASSERT_EQ(p.steps.size(), 1u);
  EXPECT_EQ(p.steps[0].statements.size(), 1u);
}

TEST(ProgramReader, StarCommentsAreDropped) {
  const auto p = readProgram("* a comment, with words;\nproc kravo; *var x; run;");
  ASSERT_FALSE(p.failed);
  ASSERT_EQ(p.steps.size(), 1u);
  EXPECT_EQ(p.steps[0].statements.size(), 1u);
}

TEST(ProgramReader, PositionsCountLinesAndColumns) {
  const auto p = readProgram("/* head\n */\n  proc kravo;\n   var y;\nrun;");
  ASSERT_EQ(p.steps.size(), 1u);
  EXPECT_EQ(p.steps[0].statements[0].line, 3);
  EXPECT_EQ(p.steps[0].statements[0].column, 3);
  EXPECT_EQ(p.steps[0].statements[1].line, 4);  // starts at its first word
  EXPECT_EQ(p.steps[0].statements[1].column, 4);
  EXPECT_EQ(p.steps[0].statements[1].text, "var y");
}

TEST(ProgramReader, UnclosedCommentIsAnError) {
  const auto p = readProgram("proc kravo; /* never closed\n run;");
  EXPECT_TRUE(p.failed);
  ASSERT_EQ(p.log.entries().size(), 1u);
  EXPECT_EQ(p.log.entries()[0].level, LogLevel::kError);
  EXPECT_NE(p.log.entries()[0].text.find("line 1"), std::string::npos);
}

TEST(ProgramReader, StrayStatementIsAnError) {
  const auto p = readProgram("var x; proc kravo; run;");
  EXPECT_TRUE(p.failed);
  ASSERT_FALSE(p.log.entries().empty());
  EXPECT_NE(p.log.entries()[0].text.find("var x"), std::string::npos);
}

TEST(ProgramReader, StepWithoutRunIsKeptWithAWarning) {
  const auto p = readProgram("proc kravo data=a; var x;");
  EXPECT_FALSE(p.failed);
  ASSERT_EQ(p.steps.size(), 1u);
  ASSERT_EQ(p.log.entries().size(), 1u);
  EXPECT_EQ(p.log.entries()[0].level, LogLevel::kWarning);
}

TEST(ProgramReader, OptionsDebugAppliesToLaterSteps) {
  const auto p = readProgram("proc kravo; run; options debug=syn; proc kravo; run;");
  ASSERT_EQ(p.steps.size(), 2u);
  EXPECT_EQ(p.steps[0].debug, "");
  EXPECT_EQ(p.steps[1].debug, "SYN");
}

TEST(ProgramReader, ByteOrderMarkAndCrlfAreAccepted) {
  const auto p = readProgram("\xEF\xBB\xBFproc kravo;\r\nrun;\r\n");
  EXPECT_FALSE(p.failed);
  ASSERT_EQ(p.steps.size(), 1u);
  EXPECT_EQ(p.steps[0].proc, "KRAVO");
}

}  // namespace

// The parser on the statements of PROC KRAVO: flags and slots of every
// option, synonyms, variable lists, names that spell keywords, and the
// faults it must report.
#include <gtest/gtest.h>

#include "tests/parse/parse_fixture.h"

namespace {

using parsetest::Parsed;
using parsetest::var;
using Flags = std::vector<int>;
using List = std::vector<int>;

TEST(ParseProc, PlotBoxplotSetsTheSameFlagsAsPlotsBox) {
  Parsed a({"PROC KRAVO PLOT=BOXPLOT"});
  Parsed b({"proc kravo plots=box"});
  EXPECT_EQ(a.status, 0) << a.log();
  EXPECT_EQ(a.flags(), (Flags{16, 21}));
  EXPECT_EQ(b.flags(), a.flags());
}

TEST(ParseProc, TostFillsOneOrTwoNumberSlots) {
  Parsed one({"PROC KRAVO TOST(0.8)"});
  EXPECT_EQ(one.flags(), (Flags{13}));
  EXPECT_TRUE(one.present(11));
  EXPECT_EQ(one.number(11), 0.8);
  EXPECT_FALSE(one.present(12));
  Parsed two({"PROC KRAVO TOST(0.8, 1.25)"});
  EXPECT_EQ(two.number(11), 0.8);
  EXPECT_TRUE(two.present(12));
  EXPECT_EQ(two.number(12), 1.25);
  Parsed negative({"PROC KRAVO TOST(-0.2) H0=-1e-3"});
  EXPECT_EQ(negative.status, 0) << negative.log();
  EXPECT_EQ(negative.number(11), -0.2);
  EXPECT_EQ(negative.number(8), -0.001);
}

TEST(ParseProc, ConfidenceLimitKinds) {
  EXPECT_EQ(Parsed({"PROC KRAVO CI=EQUAL UMPU"}).flags(), (Flags{1, 2}));
  EXPECT_EQ(Parsed({"PROC KRAVO CI=NONE"}).flags(), (Flags{3}));
  EXPECT_EQ(Parsed({"PROC KRAVO CL=NO"}).flags(), (Flags{3}));
  EXPECT_EQ(Parsed({"PROC KRAVO CI=UMP"}).flags(), (Flags{2}));
}

TEST(ParseProc, SidesNumberOrLetter) {
  Parsed two({"PROC KRAVO SIDES=2"});
  EXPECT_EQ(two.flags(), Flags{});
  EXPECT_TRUE(two.present(16));
  EXPECT_EQ(two.number(16), 2.0);
  EXPECT_EQ(Parsed({"PROC KRAVO SIDES=L"}).flags(), (Flags{7}));
  EXPECT_EQ(Parsed({"PROC KRAVO SIDED=UPPER"}).flags(), (Flags{8}));
  EXPECT_EQ(Parsed({"PROC KRAVO SIDE=LOWER"}).flags(), (Flags{7}));
  // The grammar admits an integer only.
  EXPECT_EQ(Parsed({"PROC KRAVO SIDES=2.0"}).status, 3000);
}

TEST(ParseProc, EveryOptionFlagAndSlot) {
  Parsed p(
      {"PROC KRAVO DATA=d COCHRAN BYVAR NOBYVAR H0=1.5 ALPHA=0.1 DIST=NORMAL "
       "DIST=LOGNORMAL TEST=DIFF TEST=RATIO XDEVTESTX ORDER=FORMATTED ORDER=DATA "
       "ORDER=FREQ ORDER=INTERNAL ORDER=MIXED"});
  EXPECT_EQ(p.status, 0) << p.log();
  EXPECT_EQ(p.flags(), (Flags{4, 5, 9, 10, 11, 12, 43}));
  EXPECT_EQ(p.number(8), 1.5);
  EXPECT_EQ(p.number(9), 0.1);
  EXPECT_EQ(p.list(15), (List{-38, -39, -40, -41, -42}));
  EXPECT_EQ(p.slot(4).handle, &p.data().opened);
  EXPECT_EQ(p.data().openedName, "d");
}

TEST(ParseProc, PlotRequestsAndTheirOptions) {
  Parsed p(
      {"PROC KRAVO PLOTS(UNPACK ONLY SHOWH0)=(HISTOGRAM BOX INTERVAL(TYPE=PERGROUP "
       "TYPE=TEST TYPE=TREATMENT TYPE=PERIOD) SUMMARY(UNPACK UNPACK) QQ "
       "PROFILES(TYPE=TREATMENT TYPE=PERIOD) AGREEMENT(TYPE=TREATMENT TYPE=PERIOD) ALL "
       "NONE)"});
  EXPECT_EQ(p.status, 0) << p.log();
  Flags expected;
  for (int k = 16; k <= 37; ++k) expected.push_back(k);
  EXPECT_EQ(p.flags(), expected);
  EXPECT_EQ(Parsed({"PROC KRAVO PLOTS"}).flags(), (Flags{16}));
}

TEST(ParseProc, NumbersOfEveryLiteralKind) {
  Parsed p({"PROC KRAVO H0='01jan2024'd TOST('10:30't, '01jan2024:10:30:00'dt) ALPHA=5e-2"});
  EXPECT_EQ(p.status, 0) << p.log();
  // 1960..2023: 64 years, 16 of them leap years.
  EXPECT_EQ(p.number(8), 64 * 365 + 16);
  EXPECT_EQ(p.number(11), 10 * 3600 + 30 * 60);
  EXPECT_EQ(p.number(12), (64 * 365 + 16) * 86400.0 + 37800);
  EXPECT_EQ(p.number(9), 0.05);
  // Leap days and the day before the epoch.
  EXPECT_EQ(Parsed({"PROC KRAVO H0='29feb2000'd"}).number(8), 40 * 365 + 10 + 59);
  EXPECT_EQ(Parsed({"PROC KRAVO H0='31dec1959'd"}).number(8), -1);
}

TEST(ParseProc, DataSetNamesAndTheDefault) {
  Parsed two({"PROC KRAVO DATA=lib.scores"});
  EXPECT_EQ(two.data().openedName, "lib.scores");
  EXPECT_FALSE(two.data().openedQuoted);
  Parsed path({"PROC KRAVO DATA='it''s.csv'"});
  EXPECT_EQ(path.data().openedName, "it's.csv");
  EXPECT_TRUE(path.data().openedQuoted);
  Parsed literal({"PROC KRAVO DATA='my data'n"});
  EXPECT_EQ(literal.data().openedName, "my data");
  Parsed dflt({"PROC KRAVO"});
  EXPECT_TRUE(dflt.present(4));
  EXPECT_EQ(dflt.slot(4).handle, &dflt.data().fallback);
  parsetest::FakeData none;
  none.haveDefault = false;
  Parsed missing({"PROC KRAVO", "VAR nosuch"}, 0, none);
  EXPECT_FALSE(missing.present(4));
  EXPECT_EQ(missing.status, 0) << "the procedure reports the missing data set itself";
  parsetest::FakeData failing;
  failing.failOpen = true;
  Parsed gone({"PROC KRAVO DATA=gone", "VAR nosuch"}, 0, failing);
  EXPECT_EQ(gone.status, 1008);
  EXPECT_FALSE(gone.present(4)) << "no fall back to the default data set";
  EXPECT_TRUE(gone.messages(271).empty()) << gone.log();
}

TEST(ParseProc, EverySynonymWhereItsKeywordIs) {
  struct Case {
    const char *statement;
    Flags flags;
    int slot;
  };
  const Case cases[] = {
      {"PROC KRAVO CL=EQUAL", {1}, -1},
      {"PROC KRAVO HO=3", {}, 8},
      {"PROC KRAVO SIDED=L", {7}, -1},
      {"PROC KRAVO SIDE=U", {8}, -1},
      {"PROC KRAVO SIDES=LOWER", {7}, -1},
      {"PROC KRAVO SIDES=UPPER", {8}, -1},
      {"PROC KRAVO CI=UMP", {2}, -1},
      {"PROC KRAVO CI=NO", {3}, -1},
      {"PROC KRAVO DISTRIBUTION=NORM", {9}, -1},
      {"PROC KRAVO DIST=LOG", {10}, -1},
      {"PROC KRAVO TEST=DIFFERENCE", {11}, -1},
      {"PROC KRAVO PLOT=HIST", {16, 20}, -1},
      {"PROC KRAVO PLOTS=HISTDENS", {16, 20}, -1},
      {"PROC KRAVO PLOTS=BOXPLOT", {16, 21}, -1},
      {"PROC KRAVO PLOTS=INTERVALPLOT(TYPE=PERGRP TYPE=PRD TYPE=TRT)", {16, 22, 29, 31, 32}, -1},
      {"PROC KRAVO PLOTS=SUMMARYPLOT(UNPACKPANEL UNPACKPANELS UNPANEL)", {16, 23, 33}, -1},
      {"PROC KRAVO PLOTS=QQPLOT", {16, 24}, -1},
      {"PROC KRAVO PLOTS=PROFILESPLOT(TYPE=TRT TYPE=PRD)", {16, 25, 34, 35}, -1},
      {"PROC KRAVO PLOTS=AGREEMENTPLOT(TYPE=TRT TYPE=PRD)", {16, 26, 36, 37}, -1},
      {"PROC KRAVO PLOTS(SHOWNULL UNPACKPANEL)", {16, 17, 19}, -1},
      {"VARIABLE y1", {}, 1},
      {"VARIABLES y1", {}, 1},
      {"CLASSES s", {}, 2},
      {"PAIR a*b", {}, 3},
      {"FREQUENCY a", {}, 5},
      {"WEIGHTS a", {}, 6},
  };
  for (const Case &c : cases) {
    Parsed p({c.statement});
    EXPECT_EQ(p.status, 0) << c.statement << "\n" << p.log();
    EXPECT_EQ(p.flags(), c.flags) << c.statement;
    if (c.slot >= 0) {
      EXPECT_TRUE(p.present(c.slot)) << c.statement;
    }
  }
  // A synonym is not accepted where its keyword is not: NO is NONE only in CI=.
  EXPECT_EQ(Parsed({"PROC KRAVO PLOTS=NO"}).status, 3000);
}

TEST(ParseStatements, PairedCodedList) {
  Parsed p({"PAIRED (a b)*c d:e"});
  EXPECT_EQ(p.status, 0) << p.log();
  EXPECT_EQ(p.list(3),
            (List{-3, var("a"), var("b"), -2, -4, var("c"), -3, var("d"), -1, -4, var("e"), -5}));
}

TEST(ParseStatements, VarWithCrossoverAndIgnoreperiod) {
  Parsed p({"VAR y1 y2 / CROSSOVER=(trt1 trt2) IGNOREPERIOD"});
  EXPECT_EQ(p.status, 0) << p.log();
  EXPECT_EQ(p.list(1), (List{var("y1"), var("y2")}));
  EXPECT_EQ(p.list(13), (List{var("trt1")}));
  EXPECT_EQ(p.list(14), (List{var("trt2")}));
  EXPECT_EQ(p.flags(), (Flags{14}));
}

TEST(ParseStatements, ClassFreqWeightBy) {
  Parsed p({"CLASS s", "FREQ a", "WEIGHT b", "BY NOTSORTED c DESCENDING s d NOTSORTED"});
  EXPECT_EQ(p.status, 0) << p.log();
  EXPECT_EQ(p.list(2), (List{var("s")}));
  EXPECT_EQ(p.list(5), (List{var("a")}));
  EXPECT_EQ(p.list(6), (List{var("b")}));
  EXPECT_EQ(p.list(0), (List{var("c"), var("s"), var("d")}));
  const vyn::ByRequest &by = p.data().by;
  EXPECT_EQ(by.vars, (std::vector<int>{var("c"), var("s"), var("d")}));
  EXPECT_EQ(by.descending, (std::vector<bool>{false, true, false}));
  EXPECT_TRUE(by.notsorted);
}

TEST(ParseStatements, EveryVariableListForm) {
  struct Case {
    const char *statement;
    List expected;
  };
  const Case cases[] = {
      {"BY y1", {var("y1")}},
      {"BY x1-x3", {var("x1"), var("x2"), var("x3")}},
      {"BY x01-x02", {var("x01"), var("x02")}},
      {"BY e--trt2", {var("e"), var("trt1"), var("trt2")}},
      {"BY e-numeric-x1", {var("e"), var("x1")}},
      {"BY e-character-x1", {var("trt1"), var("trt2")}},
      {"BY e-char-x1", {var("trt1"), var("trt2")}},
      {"BY x:", {var("x1"), var("x2"), var("x3"), var("x01"), var("x02")}},
      {"BY _character_", {var("trt1"), var("trt2"), var("s")}},
      {"BY _char_", {var("trt1"), var("trt2"), var("s")}},
      {"BY 'my var'n", {var("my var")}},
  };
  for (const Case &c : cases) {
    Parsed p({c.statement});
    EXPECT_EQ(p.status, 0) << c.statement << "\n" << p.log();
    EXPECT_EQ(p.list(0), c.expected) << c.statement;
  }
  Parsed all({"BY _ALL_"});
  EXPECT_EQ(all.list(0).size(), parsetest::defaultVariables().size());
  Parsed numeric({"VAR _NUMERIC_"});
  EXPECT_EQ(numeric.status, 0) << numeric.log();
  EXPECT_EQ(numeric.list(1).size(), parsetest::defaultVariables().size() - 3);
}

TEST(ParseStatements, KeywordsServeAsVariableNames) {
  Parsed p({"VAR data type period l u", "FREQ weight", "PAIRED data*type", "CLASS type"});
  EXPECT_EQ(p.status, 0) << p.log();
  EXPECT_EQ(p.list(1), (List{var("data"), var("type"), var("period"), var("l"), var("u")}));
  EXPECT_EQ(p.list(5), (List{var("weight")}));
  EXPECT_EQ(p.list(3), (List{-3, var("data"), -2, -4, var("type"), -5}));
  EXPECT_EQ(p.list(2), (List{var("type")}));
  Parsed d({"PROC KRAVO DATA=data"});
  EXPECT_EQ(d.data().openedName, "data");
}

TEST(ParseTrace, DebugOptionTracesSyntaxAndSemantics) {
  Parsed syn({"PROC KRAVO COCHRAN"}, vyn::kTraceSyntax);
  EXPECT_NE(syn.log().find("SYN: "), std::string::npos);
  EXPECT_EQ(syn.log().find("SEM: "), std::string::npos);
  Parsed sem({"PROC KRAVO COCHRAN"}, vyn::kTraceSemantic);
  EXPECT_NE(sem.log().find("SEM: action kind 5 (4)"), std::string::npos) << sem.log();
  EXPECT_EQ(sem.log().find("SYN: "), std::string::npos);
}

TEST(ParseErrors, KeywordOfAnotherStatementIsASyntaxError) {
  Parsed p({"PROC KRAVO", "VAR y1 / COCHRAN"});
  EXPECT_EQ(p.status, 3000);
  const auto m = p.messages(270);
  ASSERT_EQ(m.size(), 1u) << p.log();
  EXPECT_EQ(m[0],
            "Line 2, column 10: \"COCHRAN\" does not fit here. Write one of these instead: "
            "\";\", \"CROSSOVER\", \"IGNOREPERIOD\".");
  // Without the slash the word is read as a variable name, which is not there.
  Parsed q({"VAR y1 cochran"});
  EXPECT_EQ(q.status, 1008);
  ASSERT_EQ(q.messages(271).size(), 1u);
  EXPECT_EQ(q.messages(271)[0],
            "Line 1, column 8: variable cochran is not in the input data set. Check its "
            "spelling or the DATA= option.");
}

TEST(ParseErrors, MissingEqualsIsRepairedAndReportedOnce) {
  Parsed p({"PROC KRAVO H0 1 COCHRAN", "VAR y1 / COCHRAN"});
  EXPECT_EQ(p.status, 3000);
  const auto m = p.messages(270);
  ASSERT_EQ(m.size(), 2u) << p.log();
  EXPECT_EQ(m[0], "Line 1, column 15: \"1\" does not fit here. Write one of these instead: \"=\".");
  EXPECT_FALSE(p.flag(4)) << "nothing after the error is recorded";
  EXPECT_EQ(m[1].rfind("Line 2, column 10: \"COCHRAN\"", 0), 0u) << "the next statement is read";
}

TEST(ParseErrors, UnterminatedStringAndStrayCharacters) {
  Parsed p({"PROC KRAVO DATA='abc"});
  EXPECT_EQ(p.status, 3000);
  ASSERT_EQ(p.messages(278).size(), 1u) << p.log();
  EXPECT_EQ(p.messages(278)[0],
            "Line 1, column 17: the string is not closed. Add the closing ' before the end of "
            "the statement.");
  Parsed q({"PROC KRAVO # COCHRAN"});
  EXPECT_EQ(q.status, 3000);
  ASSERT_EQ(q.messages(279).size(), 1u) << q.log();
  EXPECT_NE(q.messages(279)[0].find("the character # cannot appear"), std::string::npos);
}

TEST(ParseErrors, ErrorsAtTheStatementsEnd) {
  Parsed p({"PROC KRAVO H0="});
  ASSERT_EQ(p.messages(270).size(), 1u) << p.log();
  EXPECT_NE(p.messages(270)[0].find("the end of the statement does not fit here"),
            std::string::npos);
  EXPECT_NE(p.messages(270)[0].find("an integer, a number, a date literal"), std::string::npos);
  EXPECT_EQ(Parsed({"TITLE 'x'"}).status, 3000);
  EXPECT_EQ(Parsed({""}).status, 3000);
}

TEST(ParseErrors, BadLiteralsAndNumbers) {
  Parsed date({"PROC KRAVO H0='31feb2024'd"});
  ASSERT_EQ(date.messages(280).size(), 1u) << date.log();
  EXPECT_EQ(date.status, 3000);
  Parsed big({"PROC KRAVO H0=1e999"});
  ASSERT_EQ(big.messages(281).size(), 1u) << big.log();
  Parsed alpha({"PROC KRAVO ALPHA='01jan2024'd"});
  ASSERT_EQ(alpha.messages(282).size(), 1u) << alpha.log();
  EXPECT_EQ(alpha.status, 3000);
}

TEST(ParseErrors, VariableListFaults) {
  Parsed wrong({"VAR y1 s"});
  EXPECT_EQ(wrong.status, 1008);
  ASSERT_EQ(wrong.messages(272).size(), 1u);
  EXPECT_EQ(wrong.messages(272)[0],
            "Variable s is character, but the VAR statement takes only numeric variables. "
            "Remove it from the list.");
  EXPECT_EQ(wrong.list(1), (List{var("y1")}));
  EXPECT_EQ(Parsed({"FREQ trt1"}).messages(272).size(), 1u);
  EXPECT_EQ(Parsed({"VAR x3-x1"}).messages(273).size(), 1u);
  EXPECT_EQ(Parsed({"VAR a-y1"}).messages(273).size(), 1u);
  EXPECT_EQ(Parsed({"VAR x1-x9"}).messages(271).size(), 1u);
  EXPECT_EQ(Parsed({"VAR x1-x999999999"}).messages(271).size(), 1u);
  EXPECT_EQ(Parsed({"BY c--a"}).messages(274).size(), 1u);
  EXPECT_EQ(Parsed({"VAR zz:"}).messages(275).size(), 1u);
  EXPECT_EQ(Parsed({"VAR _ALL_"}).messages(272).size(), 3u);
  Parsed options({"PROC KRAVO DATA=d(keep=a b)"});
  EXPECT_EQ(options.status, 3000);
  EXPECT_EQ(options.messages(277).size(), 1u) << options.log();
}

TEST(ParseErrors, PositionsCountLinesWithinAStatement) {
  vyn::StepContext step;
  parsetest::FakeData data;
  step.parseHost = &data;
  step.statements.push_back({"PROC KRAVO\n   ALPHA 0.1", 4, 3});
  vyn::StepParse parse;
  EXPECT_EQ(vyn::parseStep(step, parse, krv_pc, 0), 3000);
  ASSERT_FALSE(step.log.entries().empty());
  EXPECT_EQ(step.log.entries()[0].text.rfind("Line 5, column 10:", 0), 0u)
      << step.log.entries()[0].text;
}

TEST(ParseRecords, ReleaseClearsTheStatementBlockAndTheChainLeadsToTheHeader) {
  Parsed p({"VAR y1 y2"});
  vyn::StepParse &parse = p.parse();
  EXPECT_EQ(vyn::parseHeaderOf(parse.processBlock()), &parse.header());
  EXPECT_EQ(parse.header().statement_block, &parse.block());
  EXPECT_EQ(parse.block().slots[1].count, 2);
  parse.release();
  EXPECT_EQ(parse.block().slots[1].count, 0);
  EXPECT_EQ(parse.block().slots[1].present, 0);
}

}  // namespace

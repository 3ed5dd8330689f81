// The parser on the statements of PROC KRAVO: what each step leaves in the
// statement block (flags, number and list slots, the data set), and where
// each fault is reported, written out by hand from the grammar.
#include <gtest/gtest.h>

#include "tests/parse/parse_fixture.h"

namespace {

using parsetest::FakeData;
using parsetest::Parsed;

enum DataMode { kData, kNoDefault, kOpenFails };

struct Case {
  std::vector<std::string> statements;
  std::string expected;                     // Parsed::dump()
  std::vector<std::string> mentioned = {};  // words the messages must name (expected symbols)
  DataMode mode = kData;
};

void check(const Case &c) {
  FakeData data;
  data.haveDefault = c.mode != kNoDefault;
  data.failOpen = c.mode == kOpenFails;
  Parsed p(c.statements, 0, data);
  const std::string where = c.statements.back();
  EXPECT_EQ(p.dump(), c.expected) << where << "\n" << p.log();
  for (const std::string &word : c.mentioned)
    EXPECT_NE(p.log().find(word), std::string::npos) << where << ": " << word << "\n" << p.log();
}

TEST(ParseProc, OptionsSetTheirFlagsAndSlots) {
  const Case cases[] = {
      {{"PROC KRAVO PLOT=BOXPLOT"}, "f=16,21"},
      {{"proc kravo plots=box"}, "f=16,21"},
      {{"PROC KRAVO TOST(0.8)"}, "f=13 N11=0.8"},
      {{"PROC KRAVO TOST(0.8, 1.25)"}, "f=13 N11=0.8 N12=1.25"},
      {{"PROC KRAVO TOST(-0.2) H0=-1e-3"}, "f=13 N8=-0.001 N11=-0.2"},
      {{"PROC KRAVO CI=EQUAL UMPU"}, "f=1,2"},
      {{"PROC KRAVO CI=NONE"}, "f=3"},
      {{"PROC KRAVO SIDES=2"}, "N16=2"},
      {{"PROC KRAVO SIDES=L"}, "f=7"},
      {{"PROC KRAVO SIDES=2.0"}, "rc=3000 nodata E270@1:18", {"an integer", "\"L\"", "\"U\""}},
      {{"PROC KRAVO DATA=d COCHRAN BYVAR NOBYVAR H0=1.5 ALPHA=0.1 DIST=NORMAL DIST=LOGNORMAL "
        "TEST=DIFF TEST=RATIO XDEVTESTX ORDER=FORMATTED ORDER=DATA ORDER=FREQ ORDER=INTERNAL "
        "ORDER=MIXED"},
       "f=4,5,9,10,11,12,43 N8=1.5 N9=0.1 L15=-38,-39,-40,-41,-42 data=d"},
      {{"PROC KRAVO PLOTS(UNPACK ONLY SHOWH0)=(HISTOGRAM BOX INTERVAL(TYPE=PERGROUP TYPE=TEST "
        "TYPE=TREATMENT TYPE=PERIOD) SUMMARY(UNPACK UNPACK) QQ PROFILES(TYPE=TREATMENT "
        "TYPE=PERIOD) AGREEMENT(TYPE=TREATMENT TYPE=PERIOD) ALL NONE)"},
       "f=16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31,32,33,34,35,36,37"},
      {{"PROC KRAVO PLOTS"}, "f=16"},
      // dates count days from 1jan1960: 64 years to 2024, 16 of them leap years
      {{"PROC KRAVO H0='01jan2024'd TOST('10:30't, '01jan2024:10:30:00'dt) ALPHA=5e-2"},
       "f=13 N8=23376 N9=0.05 N11=37800 N12=2019724200"},
      {{"PROC KRAVO H0='29feb2000'd"}, "N8=14669"},
      {{"PROC KRAVO H0='31dec1959'd"}, "N8=-1"},
      {{"PROC KRAVO DATA=lib.scores"}, "data=lib.scores"},
      {{"PROC KRAVO DATA='it''s.csv'"}, "data='it's.csv'"},
      {{"PROC KRAVO DATA='my data'n"}, "data=my data"},
      {{"PROC KRAVO DATA=data"}, "data=data"},
      {{"PROC KRAVO"}, ""},
      // the procedure reports a missing default data set itself; a failed
      // DATA= does not fall back to the default
      {{"PROC KRAVO", "VAR nosuch"}, "L1= nodata", {}, kNoDefault},
      {{"PROC KRAVO DATA=gone", "VAR nosuch"}, "rc=1008 L1= nodata", {}, kOpenFails}};
  for (const Case &c : cases) check(c);
}

// Each synonym written once, several to a step.
TEST(ParseProc, SynonymsWhereTheirKeywordsAre) {
  const Case cases[] = {
      {{"PROC KRAVO CL=EQUAL CI=UMP HO=3 SIDED=L SIDE=U DISTRIBUTION=NORM DIST=LOG TEST=DIFFERENCE",
        "VARIABLE y1", "CLASSES s", "PAIR a*b", "FREQUENCY a", "WEIGHTS a"},
       "f=1,2,7,8,9,10,11 L1=y1 L2=s L3=-3,a,-2,-4,b,-5 L5=a L6=a N8=3"},
      {{"PROC KRAVO CL=NO SIDED=UPPER SIDE=LOWER PLOT=HIST", "VARIABLES y2"},
       "f=3,7,8,16,20 L1=y2"},
      {{"PROC KRAVO PLOTS(SHOWNULL UNPACKPANEL)=(HISTDENS INTERVALPLOT(TYPE=PERGRP TYPE=PRD "
        "TYPE=TRT) SUMMARYPLOT(UNPACKPANEL UNPACKPANELS UNPANEL) QQPLOT PROFILESPLOT(TYPE=TRT "
        "TYPE=PRD) AGREEMENTPLOT(TYPE=TRT TYPE=PRD))"},
       "f=16,17,19,20,22,23,24,25,26,29,31,32,33,34,35,36,37"},
      // NO stands for NONE in CI= only
      {{"PROC KRAVO PLOTS=NO"}, "rc=3000 nodata E270@1:18", {"\"NONE\""}}};
  for (const Case &c : cases) check(c);
}

TEST(ParseStatements, ListsOfEveryStatement) {
  const Case cases[] = {
      {{"PAIRED (a b)*c d:e"}, "L3=-3,a,b,-2,-4,c,-3,d,-1,-4,e,-5"},
      {{"VAR y1 y2 / CROSSOVER=(trt1 trt2) IGNOREPERIOD"}, "f=14 L1=y1,y2 L13=trt1 L14=trt2"},
      {{"CLASS s", "FREQ a", "WEIGHT b", "BY NOTSORTED c DESCENDING s d NOTSORTED"},
       "L0=c,s,d L2=s L5=a L6=b"},
      {{"VAR data type period l u", "FREQ weight", "PAIRED data*type", "CLASS type"},
       "L1=data,type,period,l,u L2=type L3=-3,data,-2,-4,type,-5 L5=weight"},
      {{"BY x1-x3"}, "L0=x1,x2,x3"},
      {{"BY x01-x02"}, "L0=x01,x02"},
      {{"BY e--trt2"}, "L0=e,trt1,trt2"},
      {{"BY e-numeric-x1"}, "L0=e,x1"},
      {{"BY e-character-x1"}, "L0=trt1,trt2"},
      {{"BY e-char-x1"}, "L0=trt1,trt2"},
      {{"BY x:"}, "L0=x1,x2,x3,x01,x02"},
      {{"BY _character_"}, "L0=trt1,trt2,s"},
      {{"BY _char_"}, "L0=trt1,trt2,s"},
      {{"BY 'my var'n"}, "L0=my var"},
      {{"BY _ALL_"},
       "L0=y1,y2,a,b,c,d,e,trt1,trt2,x1,x2,x3,s,data,type,period,l,u,weight,my var,x01,x02,"
       "descending"},
      {{"VAR _NUMERIC_"},
       "L1=y1,y2,a,b,c,d,e,x1,x2,x3,data,type,period,l,u,weight,my var,x01,x02,descending"}};
  for (const Case &c : cases) check(c);
  Parsed by({"BY NOTSORTED c DESCENDING s d NOTSORTED"});
  EXPECT_EQ(by.data().by.vars, (std::vector<int>{4, 12, 5}));  // c, s, d
  EXPECT_EQ(by.data().by.descending, (std::vector<bool>{false, true, false}));
  EXPECT_TRUE(by.data().by.notsorted);
}

TEST(ParseErrors, EachFaultAtItsPlace) {
  const Case cases[] = {
      {{"PROC KRAVO", "VAR y1 / COCHRAN"},
       "rc=3000 L1=y1 E270@2:10",
       {"\"COCHRAN\"", "\";\"", "\"CROSSOVER\"", "\"IGNOREPERIOD\""}},
      // without the slash the word is read as a variable name
      {{"VAR y1 cochran"}, "rc=1008 L1=y1 E271@1:8", {"cochran"}},
      // repaired by inserting "="; nothing after the error is recorded (not
      // even the default data set), and the next statement is read
      {{"PROC KRAVO H0 1 COCHRAN", "VAR y1 / COCHRAN"},
       "rc=3000 L1= nodata E270@1:15 E270@2:10",
       {"\"=\""}},
      {{"PROC KRAVO DATA='abc"}, "rc=3000 nodata E278@1:17", {"'"}},
      {{"PROC KRAVO # COCHRAN"}, "rc=3000 nodata E279@1:12", {"#"}},
      {{"PROC KRAVO H0="},
       "rc=3000 nodata E270@1:15",
       {"the end of the statement", "an integer, a number, a date literal"}},
      {{"TITLE 'x'"}, "rc=3000 E270@1:1 E270@1:7", {"TITLE"}},
      {{""}, "rc=3000 E270@1:1"},
      {{"PROC KRAVO H0='31feb2024'd"}, "rc=3000 nodata E280@1:15", {"'31feb2024'd"}},
      {{"PROC KRAVO H0='29feb1900'd"}, "rc=3000 nodata E280@1:15"},  // 1900 is no leap year
      {{"PROC KRAVO H0='10:60't"}, "rc=3000 nodata E280@1:15"},
      {{"PROC KRAVO H0=1e999"}, "rc=3000 nodata E281@1:15", {"1e999"}},
      {{"PROC KRAVO ALPHA='01jan2024'd"}, "rc=3000 N9=23376 E282@1:18"},
      {{"VAR y1 s"}, "rc=1008 L1=y1 E272", {"s is character", "VAR"}},
      {{"FREQ trt1"}, "rc=1008 L5= E272", {"trt1"}},
      {{"VAR x3-x1"}, "rc=1008 L1= E273@1:5", {"x3-x1"}},
      {{"VAR a-y1"}, "rc=1008 L1= E273@1:5", {"a-y1"}},
      {{"VAR x1-x9"}, "rc=1008 L1= E271@1:5", {"x4"}},
      {{"VAR x1-x999999999"}, "rc=1008 L1= E271@1:5"},
      {{"BY c--a"}, "rc=1008 L0= E274@1:4", {"c--a"}},
      {{"VAR zz:"}, "rc=1008 L1= E275@1:5", {"zz"}},
      {{"VAR _ALL_"},
       "rc=1008 L1=y1,y2,a,b,c,d,e,x1,x2,x3,data,type,period,l,u,weight,my var,x01,x02,"
       "descending E272 E272 E272",
       {"trt1", "trt2", "s is"}},
      {{"PROC KRAVO DATA=d(keep=a b)"}, "rc=3000 data=d E306@1:19", {"KEEP"}},
      {{"PROC KRAVO DATA=d (where=(y1 in (1, 2) and s = 'a;)')) COCHRAN"}, "f=4 data=d"},
      {{"PROC KRAVO DATA=d(where=(zz > 1))"}, "rc=1008 data=d E301@1:26", {"zz"}},
      {{"PROC KRAVO DATA=d(where=(a > 1 and\n  s + 1 > 2))"}, "rc=1008 data=d E303@2:3", {"+"}},
      {{"PROC KRAVO DATA=d(where=(a = 'x'))"}, "rc=1008 data=d E302@1:28"},
      {{"PROC KRAVO DATA=d(where=(a <))"}, "rc=3000 data=d E300@1:29", {"\")\""}}};
  for (const Case &c : cases) check(c);
}

TEST(ParseErrors, PlacesCountLinesAndColumnsFromTheStatementsStart) {
  vyn::StepContext step;
  FakeData data;
  step.parseHost = &data;
  step.statements.push_back({"PROC KRAVO H0 1\n   ALPHA 0.1", 4, 3});
  vyn::StepParse parse;
  EXPECT_EQ(vyn::parseStep(step, parse, krv_pc, 0), 3000);
  ASSERT_EQ(step.log.entries().size(), 2u);
  EXPECT_EQ(step.log.entries()[0].text.rfind("Line 4, column 17:", 0), 0u);
  EXPECT_EQ(step.log.entries()[1].text.rfind("Line 5, column 10:", 0), 0u);
}

TEST(ParseTrace, DebugOptionTracesSyntaxOrSemantics) {
  const std::string syn = Parsed({"PROC KRAVO COCHRAN"}, vyn::kTraceSyntax).log();
  EXPECT_NE(syn.find("SYN: "), std::string::npos);
  EXPECT_EQ(syn.find("SEM: "), std::string::npos);
  const std::string sem = Parsed({"PROC KRAVO COCHRAN"}, vyn::kTraceSemantic).log();
  EXPECT_NE(sem.find("SEM: action kind 5 (4)"), std::string::npos) << sem;
  EXPECT_EQ(sem.find("SYN: "), std::string::npos);
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

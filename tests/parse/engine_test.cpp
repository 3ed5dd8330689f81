// The host's engine on a toy grammar apart from the PROC KRAVO tables: the
// expression grammar, generated in the test, parsed with repair.
#include <gtest/gtest.h>

#include "tools/lalr.h"
#include "vyn/parse/parser.h"

namespace {

const char *const kToy = R"g(
%classes ENDJB NAMEX QS INT NBR ;
%symbols "+" "*" "(" ")" "$$$" ;
%delcost 10 ;
%inscost 1 ;
%inscost 127 "$$$" ;
start : e ENDJB ;
e : e "+" t | t ;
t : t "*" f | f ;
f : "(" e ")" | INT | NAMEX ;
)g";

class ToyEngine : public ::testing::Test {
 protected:
  ToyEngine()
      : grammar_(lalr::readGrammar(kToy)),
        tables_(lalr::buildTables(grammar_, lalr::buildAutomaton(grammar_))) {
    d_.version = 1;
    d_.first_nonterminal = static_cast<uint16_t>(grammar_.nterminals + 1);
    d_.nterminals = static_cast<uint16_t>(grammar_.nterminals);
    d_.nclasses = grammar_.nclasses;
    d_.max_cost = lalr::kMaxCost;
    d_.tables = {tables_.prdlst.data(),  tables_.prdndx.data(), tables_.lhstbl.data(),
                 tables_.prslst.data(),  tables_.prsndx.data(), tables_.actmap.data(),
                 tables_.argndx.data(),  tables_.argtbl.data(), tables_.symtbl.data(),
                 tables_.symndx.data(),  tables_.symmap.data(), tables_.delcost.data(),
                 tables_.inscost.data(), tables_.insndx.data(), tables_.instbl.data()};
  }

  int parse(const std::string &text, int32_t trace = 0) {
    step_.log.clear();
    step_.statements = {{text, 1, 1}};
    return vyn::parseStep(step_, parse_, d_, trace);
  }
  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    for (const vyn::LogEntry &e : step_.log.entries()) out.push_back(e.text);
    return out;
  }

  lalr::Grammar grammar_;
  lalr::Tables tables_;
  vynstmt::GrammarDescriptor d_{};
  vyn::StepContext step_;
  vyn::StepParse parse_;
};

TEST_F(ToyEngine, AcceptsWellFormedExpressions) {
  EXPECT_EQ(parse("1 + 2 * (x + 3)"), 0);
  EXPECT_TRUE(step_.log.entries().empty());
  EXPECT_EQ(parse("((((a))))"), 0);
}

TEST_F(ToyEngine, InsertsTheCheapestTokenAndReportsOnce) {
  EXPECT_EQ(parse("1 + * 2"), 3000);
  EXPECT_EQ(texts(), (std::vector<std::string>{
                         "Line 1, column 5: \"*\" does not fit here. Write one of these instead: "
                         "a name, an integer, \"(\"."}));
}

TEST_F(ToyEngine, ReportsWhatMayFollowACompleteOperand) {
  EXPECT_EQ(parse("1 2"), 3000);
  EXPECT_EQ(texts(), (std::vector<std::string>{
                         "Line 1, column 3: \"2\" does not fit here. Write one of these instead: "
                         "\";\", \"+\", \"*\"."}));
}

TEST_F(ToyEngine, GivesUpAfterFiveErrorsInAStatement) {
  EXPECT_EQ(parse("1 + * 2 + * 3 + * 4 + * 5 + * 6 + * 7"), 3000);
  const auto t = texts();
  ASSERT_EQ(t.size(), 7u);  // six errors reported, then the note
  EXPECT_EQ(t.back(),
            "There were too many errors in this statement; the rest of it was not checked.");
}

TEST_F(ToyEngine, AbandonsAStatementNoRepairWithinReachCanSave) {
  // A closing parenthesis cannot be mended by inserting after it, and more
  // than three deletions are never tried.
  EXPECT_EQ(parse("1 ) ) ) ) )"), 3000);
  EXPECT_EQ(texts().size(), 1u);
}

TEST_F(ToyEngine, SyntaxTraceShowsShiftsAndReductions) {
  parse("a", vyn::kTraceSyntax);
  const auto t = texts();
  ASSERT_GE(t.size(), 4u);
  EXPECT_EQ(t.front().rfind("SYN: state 0: shift NAMEX 'a', to state ", 0), 0u) << t.front();
  EXPECT_NE(t[1].find("reduce by production"), std::string::npos) << t[1];
  EXPECT_EQ(t.back(), "SYN: accept");
}

}  // namespace

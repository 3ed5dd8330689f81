// The host's engine on a toy grammar apart from the PROC KRAVO tables: the
// expression grammar, generated in the test, parsed with repair.
#include <gtest/gtest.h>

#include "tests/parse/parse_fixture.h"
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
  std::string log() const {
    std::string out;
    for (const vyn::LogEntry &e : step_.log.entries()) out += e.text + "\n";
    return out;
  }

  lalr::Grammar grammar_;
  lalr::Tables tables_;
  vynstmt::GrammarDescriptor d_{};
  vyn::StepContext step_;
  vyn::StepParse parse_;
};

TEST_F(ToyEngine, RepairsAtLeastCostAndReportsEachFaultOnce) {
  const struct {
    const char *text;
    int status;
    std::string messages;
    std::vector<std::string> mentioned;
  } cases[] = {
      {"1 + 2 * (x + 3)", 0, "", {}},
      {"((((a))))", 0, "", {}},
      // the cheapest insertion mends it; what may start an operand is named
      {"1 + * 2", 3000, "E270@1:5", {"\"*\"", "a name", "an integer", "\"(\""}},
      // what may follow a complete operand
      {"1 2", 3000, "E270@1:3", {"\";\"", "\"+\"", "\"*\""}},
      // six errors, then the statement is given up with a note
      {"1 + * 2 + * 3 + * 4 + * 5 + * 6 + * 7",
       3000,
       "E270@1:5 E270@1:11 E270@1:17 E270@1:23 E270@1:29 E270@1:35 E283",
       {}},
      // no insertion after ")" mends it, and more than three deletions are never tried
      {"1 ) ) ) ) )", 3000, "E270@1:3", {}},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(parse(c.text), c.status) << c.text;
    EXPECT_EQ(parsetest::messages(step_.log), c.messages) << c.text;
    for (const std::string &word : c.mentioned)
      EXPECT_NE(log().find(word), std::string::npos) << c.text << ": " << word;
  }
}

TEST_F(ToyEngine, SyntaxTraceShowsShiftsAndReductions) {
  parse("a", vyn::kTraceSyntax);
  std::vector<std::string> t;
  for (const vyn::LogEntry &e : step_.log.entries()) t.push_back(e.text);
  ASSERT_GE(t.size(), 4u);
  EXPECT_EQ(t.front().rfind("SYN: state 0: shift NAMEX 'a', to state ", 0), 0u) << t.front();
  EXPECT_NE(t[1].find("reduce by production"), std::string::npos) << t[1];
  EXPECT_EQ(t.back(), "SYN: accept");
}

}  // namespace

// The table generator on textbook grammars whose LALR(1) automata are known
// (Aho, Lam, Sethi, Ullman, "Compilers", 2nd ed., section 4.7). The build
// itself generates the statement grammar and fails on any conflict.
#include "tools/lalr.h"

#include <gtest/gtest.h>

namespace {

// The expression grammar 4.1: E -> E + T | T, T -> T * F | F, F -> ( E ) | id.
const char *const kExpression = R"g(
%classes ID ;
%symbols "+" "*" "(" ")" "$" ;
e : e "+" t | t ;
t : t "*" f | f ;
f : "(" e ")" | ID ;
)g";

// Grammar 4.49: S -> L = R | R, L -> * R | id, R -> L. LALR(1) but not SLR(1).
const char *const kAssignment = R"g(
%classes ID ;
%symbols "=" "*" "$" ;
s : l "=" r | r ;
l : "*" r | ID ;
r : l ;
)g";

// Ambiguous: E -> E + E | E * E | id.
const char *const kAmbiguous = R"g(
%classes ID ;
%symbols "+" "*" "$" ;
e : e "+" e | e "*" e | ID ;
)g";

// LR(1) but not LALR(1) (exercise 4.7.3 family): merging the two states
// holding A -> c . and B -> c . gives a reduce/reduce conflict on d and e.
const char *const kNotLalr = R"g(
%classes C ;
%symbols "a" "b" "d" "e" "$" ;
s : "a" a "d" | "b" b "d" | "a" b "e" | "b" a "e" ;
a : C ;
b : C ;
)g";

int symbol(const lalr::Grammar &g, const std::string &name) {
  for (int s = 1; s <= g.nsymbols(); ++s) {
    if (g.names[s] == name) return s;
  }
  return -1;
}

TEST(LalrGenerator, StatesAndConflictsOfTheTextbookGrammars) {
  const struct {
    const char *grammar;
    int states;
    size_t conflicts;
    const char *kind;
  } cases[] = {
      {kExpression, 12, 0, ""},
      {kAssignment, 10, 0, ""},
      {kAmbiguous, 7, 4, "shift/reduce"},  // E+E. and E*E., each on + and *
      {kNotLalr, 13, 2, "reduce/reduce"},  // A -> c . and B -> c . merged, on d and e
  };
  for (const auto &c : cases) {
    const lalr::Automaton a = lalr::buildAutomaton(lalr::readGrammar(c.grammar));
    EXPECT_EQ(a.nstates, c.states) << c.grammar;
    ASSERT_EQ(a.conflicts.size(), c.conflicts) << c.grammar;
    for (const lalr::Conflict &conflict : a.conflicts)
      EXPECT_NE(conflict.description.find(c.kind), std::string::npos) << conflict.description;
  }
}

TEST(LalrGenerator, LookaheadsAreLalrNotSlr) {
  // After id, F -> id . reduces on +, *, ) and the end marker only; state 0
  // shifts "(" and id and has gotos on e, t and f.
  lalr::Grammar g = lalr::readGrammar(kExpression);
  lalr::Automaton a = lalr::buildAutomaton(g);
  EXPECT_EQ(a.actions[0].size(), 5u);
  const int idState = a.actions[0].at(symbol(g, "ID")) - 1;
  ASSERT_EQ(a.actions[idState].size(), 4u);
  for (const char *t : {"+", "*", ")", "$"}) {
    const uint16_t act = a.actions[idState].at(symbol(g, t));
    ASSERT_GE(act, 32768);
    EXPECT_EQ(g.productions[act - 32768].lhs, symbol(g, "f"));
  }
  // The state after L shifts "=" and reduces R -> L only on the end marker
  // (an SLR table would also reduce on "=").
  g = lalr::readGrammar(kAssignment);
  a = lalr::buildAutomaton(g);
  const int lState = a.actions[0].at(symbol(g, "l")) - 1;
  EXPECT_EQ(a.actions[lState].size(), 2u);
  EXPECT_LT(a.actions[lState].at(symbol(g, "=")), 32768);
  EXPECT_GE(a.actions[lState].at(symbol(g, "$")), 32768);
}

TEST(LalrGenerator, MidRuleActionsBecomeSharedEmptyRules) {
  const lalr::Grammar g = lalr::readGrammar(R"g(
%classes ID ;
%symbols "x" "y" "$" ;
%kind mark 5
s : "x" @mark(1) ID @mark(2) | "y" @mark(1) ID ;
)g");
  // Two actions; one empty rule runs mark(1) for both alternatives.
  ASSERT_EQ(g.actions.size(), 2u);
  int empty = 0;
  for (const lalr::Production &p : g.productions)
    if (p.symbols().empty()) {
      ++empty;
      EXPECT_TRUE(p.elements.size() == 1 && p.elements[0].action);
    }
  EXPECT_EQ(empty, 1);
  const lalr::Automaton a = lalr::buildAutomaton(g);
  EXPECT_TRUE(a.conflicts.empty());
  const lalr::Tables t = lalr::buildTables(g, a);
  // s -> "x" @1 ID @mark(2): length 4, stored right to left, action 2 as 65534.
  const uint16_t *first = t.prdlst.data() + t.prdndx[1];
  EXPECT_EQ(std::vector<int>(first, first + 5),
            (std::vector<int>{4, 65536 - 2, symbol(g, "ID"), symbol(g, "@1"), symbol(g, "x")}));
}

TEST(LalrGenerator, NonterminalInsertionCostIsTheCheapestDerivation) {
  const lalr::Grammar g = lalr::readGrammar(R"g(
%classes NAME NUM ;
%symbols "(" ")" "$" ;
%inscost 10 ;
%inscost 1 NAME ;
%inscost 2 NUM ;
list : | list item ;
item : NAME | NUM NUM NUM | "(" list ")" ;
pair : item item ;
)g");
  const lalr::InsertionCosts c = lalr::insertionCosts(g, 127);
  EXPECT_EQ(c.cost[symbol(g, "list")], 0);
  EXPECT_EQ(c.cost[symbol(g, "item")], 1);
  EXPECT_EQ(c.cost[symbol(g, "pair")], 2);
  EXPECT_EQ(c.cheapest[symbol(g, "pair")], (std::vector<int>{1, 1}));
}

TEST(LalrGenerator, RejectsFaultyGrammarsWithTheirLine) {
  const std::pair<const char *, const char *> faulty[] = {
      {"%classes A ;\n%symbols \"$\" ;\ns : \"b\" ;\n", "line 3"},        // unknown symbol
      {"%classes A ;\n%symbols \"$\" ;\ns : t ;\n", "line 3"},            // no rule for t
      {"%classes A ;\n%symbols \"$\" ;\n\ns : A @nokind ;\n", "line 4"},  // unknown action kind
  };
  for (const auto &[grammar, line] : faulty) {
    try {
      lalr::readGrammar(grammar);
      ADD_FAILURE() << grammar;
    } catch (const std::runtime_error &e) {
      EXPECT_NE(std::string(e.what()).find(line), std::string::npos) << e.what();
    }
  }
}

}  // namespace

// LALR(1) table generator for the statement grammars: reads a grammar file
// (format described in src/kravo.grammar), builds the LR(0) automaton,
// computes LALR(1) lookaheads by propagation, reports every conflict and
// lays the result out as the fifteen tables of a grammar descriptor.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace lalr {

// One element of a right-hand side: a grammar symbol or an action number.
struct Element {
  bool action = false;
  int value = 0;  // symbol number, or action number (from 1)
};

struct Production {
  int lhs = 0;                    // nonterminal symbol number
  std::vector<Element> elements;  // right side, left to right
  std::vector<int> symbols() const;
};

struct Action {
  int kind = 0;
  std::vector<int> args;
  bool operator<(const Action &o) const { return kind != o.kind ? kind < o.kind : args < o.args; }
};

struct Grammar {
  std::vector<std::string> names;  // names[s] for symbol s; names[0] unused
  int nclasses = 0;                // token classes: symbols 1..nclasses
  int nterminals = 0;              // terminals 1..nterminals; the last is the end marker
  std::vector<int> delcost;        // per terminal (index = symbol)
  std::vector<int> inscost;        // per terminal (index = symbol)
  std::vector<Production> productions;
  std::vector<Action> actions;  // action n at index n-1
  int start = 0;                // start nonterminal
  int nsymbols() const { return static_cast<int>(names.size()) - 1; }
  int nnonterminals() const { return nsymbols() - nterminals; }
  bool isTerminal(int s) const { return s >= 1 && s <= nterminals; }
};

// Reads a grammar; throws std::runtime_error with "line N: ..." on a fault.
Grammar readGrammar(const std::string &text);

struct Conflict {
  int state = 0;
  int terminal = 0;
  std::string description;  // "shift/reduce ..." or "reduce/reduce ..."
};

// The LALR(1) automaton.
struct Automaton {
  int nstates = 0;
  // actions[state]: symbol -> encoded action (see host/vynstmt.h)
  std::vector<std::map<int, uint16_t>> actions;
  std::vector<Conflict> conflicts;
};

Automaton buildAutomaton(const Grammar &grammar);

// Least insertion cost of each nonterminal, capped (0 when it derives empty),
// and the cheapest terminal string it derives.
struct InsertionCosts {
  std::vector<int> cost;                   // index = symbol number
  std::vector<std::vector<int>> cheapest;  // index = symbol number
};
InsertionCosts insertionCosts(const Grammar &grammar, int cap);

// The fifteen tables and the descriptor's counts.
struct Tables {
  std::vector<uint16_t> prdlst, prdndx, lhstbl, prslst, prsndx, actmap, argndx, argtbl;
  std::vector<uint8_t> symtbl;
  std::vector<uint16_t> symndx, symmap;
  std::vector<uint8_t> delcost, inscost;
  std::vector<uint16_t> insndx, instbl;
};

inline constexpr int kMaxCost = 127;

Tables buildTables(const Grammar &grammar, const Automaton &automaton);

// The tables as a C++ source defining the descriptor template `name`.
std::string emitSource(const Grammar &grammar, const Tables &tables, const std::string &name,
                       const std::string &origin);

}  // namespace lalr

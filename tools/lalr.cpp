#include "tools/lalr.h"

#include <algorithm>
#include <bitset>
#include <cctype>
#include <set>
#include <sstream>
#include <stdexcept>
#include <unordered_map>

namespace lalr {

std::vector<int> Production::symbols() const {
  std::vector<int> out;
  for (const Element &e : elements) {
    if (!e.action) out.push_back(e.value);
  }
  return out;
}

namespace {

// ---------------------------------------------------------------------------
// Reading the grammar file

struct Token {
  enum Kind { kIdent, kQuoted, kNumber, kPunct, kDirective, kEnd } kind;
  std::string text;
  int line;
};

[[noreturn]] void fail(int line, const std::string &what) {
  throw std::runtime_error("line " + std::to_string(line) + ": " + what);
}

bool isIdentChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

std::vector<Token> tokenize(const std::string &text) {
  std::vector<Token> out;
  int line = 1;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\n') {
      ++line;
      ++i;
    } else if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (c == '#') {
      while (i < text.size() && text[i] != '\n') ++i;
    } else if (c == '"') {
      const size_t end = text.find('"', i + 1);
      if (end == std::string::npos || text.find('\n', i) < end) fail(line, "unterminated quote");
      out.push_back({Token::kQuoted, text.substr(i + 1, end - i - 1), line});
      i = end + 1;
    } else if (c == '%' || c == '@' || isIdentChar(c)) {
      size_t j = i + (c == '%' || c == '@' ? 1 : 0);
      while (j < text.size() && isIdentChar(text[j])) ++j;
      std::string word = text.substr(i, j - i);
      Token::Kind kind = Token::kIdent;
      if (c == '%') {
        kind = Token::kDirective;
      } else if (std::isdigit(static_cast<unsigned char>(c))) {
        kind = Token::kNumber;
      }
      out.push_back({kind, word, line});
      i = j;
    } else if (std::string(":|;(),").find(c) != std::string::npos) {
      out.push_back({Token::kPunct, std::string(1, c), line});
      ++i;
    } else {
      fail(line, std::string("unexpected character '") + c + "'");
    }
  }
  out.push_back({Token::kEnd, "", line});
  return out;
}

// A rule as written, before synonyms and mid-rule actions are resolved.
struct WrittenElement {
  bool action = false;
  std::string name;  // symbol text or action kind name
  bool quoted = false;
  std::vector<int> args;
  int line = 0;
};

struct WrittenRule {
  std::string lhs;
  std::vector<WrittenElement> elements;
  int line = 0;
};

class GrammarReader {
 public:
  explicit GrammarReader(const std::string &text) : tokens_(tokenize(text)) {}
  Grammar read();

 private:
  const Token &peek() const { return tokens_[pos_]; }
  const Token &next() { return tokens_[pos_ < tokens_.size() - 1 ? pos_++ : pos_]; }
  void expect(const std::string &punct);
  int number();
  int terminal(const Token &t);
  void directive(const Token &d);
  void rule();
  void symbolsDirective(bool classes);
  void costDirective(std::vector<int> &costs, int &fallback, int line);
  int nonterminal(const std::string &name);
  int symbolOf(const WrittenElement &e);
  int actionOf(const WrittenElement &e);
  void resolveRules();
  void addSynonymRules();

  std::vector<Token> tokens_;
  size_t pos_ = 0;
  Grammar g_;
  std::map<std::string, int> kinds_;
  std::map<std::string, std::vector<std::string>> synonyms_;  // main -> synonyms
  std::map<std::string, int> synonymNt_;                      // main -> nonterminal
  std::map<std::string, int> nonterminals_;
  std::vector<WrittenRule> rules_;
  std::map<Action, int> actionNumbers_;
  std::map<std::vector<int>, int> midRule_;  // action numbers -> nonterminal
  std::string startName_;
  int defaultDel_ = -1, defaultIns_ = -1;
  std::vector<int> delcost_, inscost_;
  bool symbolsDone_ = false;
};

void GrammarReader::expect(const std::string &punct) {
  const Token &t = next();
  if (t.kind != Token::kPunct || t.text != punct) fail(t.line, "expected '" + punct + "'");
}

int GrammarReader::number() {
  const Token &t = next();
  if (t.kind != Token::kNumber) fail(t.line, "expected a number");
  return std::stoi(t.text);
}

int GrammarReader::terminal(const Token &t) {
  for (int s = 1; s <= g_.nterminals; ++s) {
    if (g_.names[s] == t.text) return s;
  }
  fail(t.line, "unknown terminal " + t.text);
}

void GrammarReader::symbolsDirective(bool classes) {
  const bool first = g_.names.size() <= 1;
  if (classes != first) fail(peek().line, "%classes must come first, once");
  if (g_.names.empty()) g_.names.push_back("");
  while (peek().kind == (classes ? Token::kIdent : Token::kQuoted)) {
    g_.names.push_back(next().text);
  }
  expect(";");
  if (classes) {
    g_.nclasses = g_.nsymbols();
  } else {
    g_.nterminals = g_.nsymbols();
    symbolsDone_ = true;
    delcost_.assign(g_.nterminals + 1, -1);
    inscost_.assign(g_.nterminals + 1, -1);
  }
}

void GrammarReader::costDirective(std::vector<int> &costs, int &fallback, int line) {
  if (!symbolsDone_) fail(line, "costs need the symbols first");
  const int cost = number();
  if (cost < 0 || cost > kMaxCost) fail(line, "cost out of range");
  if (peek().kind == Token::kPunct) fallback = cost;
  while (peek().kind == Token::kIdent || peek().kind == Token::kQuoted) {
    costs[terminal(next())] = cost;
  }
  expect(";");
}

void GrammarReader::directive(const Token &d) {
  if (d.text == "%classes") {
    symbolsDirective(true);
  } else if (d.text == "%symbols") {
    symbolsDirective(false);
  } else if (d.text == "%synonym") {
    const Token &main = next();
    if (main.kind != Token::kQuoted) fail(main.line, "expected a keyword");
    terminal(main);
    auto &list = synonyms_[main.text];
    while (peek().kind == Token::kQuoted) list.push_back(g_.names[terminal(next())]);
    expect(";");
  } else if (d.text == "%delcost") {
    costDirective(delcost_, defaultDel_, d.line);
  } else if (d.text == "%inscost") {
    costDirective(inscost_, defaultIns_, d.line);
  } else if (d.text == "%kind") {
    const Token &name = next();
    if (name.kind != Token::kIdent) fail(name.line, "expected a kind name");
    kinds_[name.text] = number();
  } else if (d.text == "%start") {
    startName_ = next().text;
    expect(";");
  } else {
    fail(d.line, "unknown directive " + d.text);
  }
}

void GrammarReader::rule() {
  const Token &lhs = next();
  if (lhs.kind != Token::kIdent) fail(lhs.line, "expected a rule");
  expect(":");
  WrittenRule current{lhs.text, {}, lhs.line};
  for (;;) {
    const Token &t = next();
    if (t.kind == Token::kPunct && (t.text == "|" || t.text == ";")) {
      rules_.push_back(current);
      current.elements.clear();
      if (t.text == ";") return;
      continue;
    }
    WrittenElement e;
    e.line = t.line;
    if (t.kind == Token::kIdent && t.text[0] == '@') {
      e.action = true;
      e.name = t.text.substr(1);
      if (peek().kind == Token::kPunct && peek().text == "(") {
        next();
        for (;;) {
          e.args.push_back(number());
          const Token &sep = next();
          if (sep.text == ")") break;
          if (sep.text != ",") fail(sep.line, "expected ',' or ')'");
        }
      }
    } else if (t.kind == Token::kIdent || t.kind == Token::kQuoted) {
      e.name = t.text;
      e.quoted = t.kind == Token::kQuoted;
    } else {
      fail(t.line, "unexpected '" + t.text + "' in a rule");
    }
    current.elements.push_back(e);
  }
}

int GrammarReader::nonterminal(const std::string &name) {
  auto it = nonterminals_.find(name);
  if (it != nonterminals_.end()) return it->second;
  g_.names.push_back(name);
  nonterminals_[name] = g_.nsymbols();
  return g_.nsymbols();
}

int GrammarReader::symbolOf(const WrittenElement &e) {
  if (e.quoted) {
    auto syn = synonymNt_.find(e.name);
    if (syn != synonymNt_.end()) return syn->second;
    return terminal({Token::kQuoted, e.name, e.line});
  }
  for (int s = 1; s <= g_.nclasses; ++s) {
    if (g_.names[s] == e.name) return s;
  }
  auto it = nonterminals_.find(e.name);
  if (it == nonterminals_.end()) fail(e.line, "no rule defines " + e.name);
  return it->second;
}

int GrammarReader::actionOf(const WrittenElement &e) {
  auto kind = kinds_.find(e.name);
  if (kind == kinds_.end()) fail(e.line, "unknown action kind @" + e.name);
  Action a{kind->second, e.args};
  auto it = actionNumbers_.find(a);
  if (it != actionNumbers_.end()) return it->second;
  g_.actions.push_back(a);
  const int n = static_cast<int>(g_.actions.size());
  actionNumbers_[a] = n;
  return n;
}

// Each synonym group becomes a nonterminal deriving the main keyword and
// its synonyms, used wherever the main keyword is written.
void GrammarReader::addSynonymRules() {
  for (const auto &[main, list] : synonyms_) {
    const int nt = nonterminal("<" + main + ">");
    synonymNt_[main] = nt;
    Production p{nt, {{false, terminal({Token::kQuoted, main, 0})}}};
    g_.productions.push_back(p);
    for (const std::string &s : list) {
      g_.productions.push_back({nt, {{false, terminal({Token::kQuoted, s, 0})}}});
    }
  }
}

// Actions followed by a symbol become an empty-producing nonterminal that
// runs them; rules with the same leading actions share it.
void GrammarReader::resolveRules() {
  for (const WrittenRule &r : rules_) nonterminal(r.lhs);
  addSynonymRules();
  for (const WrittenRule &r : rules_) {
    Production p{nonterminals_[r.lhs], {}};
    std::vector<int> pending;
    for (const WrittenElement &e : r.elements) {
      if (e.action) {
        pending.push_back(actionOf(e));
        continue;
      }
      if (!pending.empty()) {
        auto it = midRule_.find(pending);
        int nt;
        if (it == midRule_.end()) {
          nt = nonterminal("@" + std::to_string(midRule_.size() + 1));
          midRule_[pending] = nt;
          Production mid{nt, {}};
          for (int a : pending) mid.elements.push_back({true, a});
          g_.productions.push_back(mid);
        } else {
          nt = it->second;
        }
        p.elements.push_back({false, nt});
        pending.clear();
      }
      p.elements.push_back({false, symbolOf(e)});
    }
    for (int a : pending) p.elements.push_back({true, a});
    g_.productions.push_back(p);
  }
}

Grammar GrammarReader::read() {
  while (peek().kind != Token::kEnd) {
    if (peek().kind == Token::kDirective) {
      const Token d = next();
      directive(d);
    } else {
      if (!symbolsDone_) fail(peek().line, "rules need %classes and %symbols first");
      rule();
    }
  }
  if (!symbolsDone_ || rules_.empty()) fail(peek().line, "no symbols or no rules");
  resolveRules();
  auto start = nonterminals_.find(startName_.empty() ? rules_[0].lhs : startName_);
  if (start == nonterminals_.end()) fail(0, "the start symbol has no rule");
  g_.start = start->second;
  g_.delcost.assign(g_.nterminals + 1, 0);
  g_.inscost.assign(g_.nterminals + 1, 0);
  for (int s = 1; s <= g_.nterminals; ++s) {
    g_.delcost[s] = delcost_[s] >= 0 ? delcost_[s] : std::max(defaultDel_, 0);
    g_.inscost[s] = inscost_[s] >= 0 ? inscost_[s] : std::max(defaultIns_, 0);
  }
  return g_;
}

// ---------------------------------------------------------------------------
// The automaton

using TermSet = std::bitset<256>;

struct Item {
  int prod;
  int dot;
  bool operator<(const Item &o) const { return prod != o.prod ? prod < o.prod : dot < o.dot; }
  bool operator==(const Item &o) const { return prod == o.prod && dot == o.dot; }
};

class Builder {
 public:
  explicit Builder(const Grammar &g);
  Automaton build();

 private:
  const std::vector<int> &rhs(int prod) const { return rhs_[prod]; }
  int symbolAfterDot(const Item &it) const {
    const auto &r = rhs(it.prod);
    return it.dot < static_cast<int>(r.size()) ? r[it.dot] : 0;
  }
  void computeFirst();
  TermSet firstOfRest(const Item &it, const TermSet &follow) const;
  std::vector<Item> closure0(const std::vector<Item> &kernel) const;
  std::map<Item, TermSet> closure1(int state) const;
  void buildStates();
  bool propagate();
  void fillActions(Automaton &a);
  void setAction(Automaton &a, int state, int sym, uint16_t act);
  std::string describe(uint16_t act) const;
  std::string productionText(int prod) const;

  const Grammar &g_;
  int augmented_;  // index of the production S' -> start
  std::vector<std::vector<int>> rhs_;
  std::vector<std::vector<int>> byLhs_;  // nonterminal -> its productions
  std::vector<bool> nullable_;
  std::vector<TermSet> first_;
  std::vector<std::vector<Item>> kernels_;
  std::vector<std::map<int, int>> gotos_;
  std::vector<std::map<Item, TermSet>> lookaheads_;
};

Builder::Builder(const Grammar &g) : g_(g) {
  if (g.nterminals >= 256) throw std::runtime_error("more than 255 terminals");
  for (const Production &p : g.productions) rhs_.push_back(p.symbols());
  augmented_ = static_cast<int>(rhs_.size());
  rhs_.push_back({g.start});
  byLhs_.resize(g.nsymbols() + 1);
  for (size_t p = 0; p < g.productions.size(); ++p) {
    byLhs_[g.productions[p].lhs].push_back(static_cast<int>(p));
  }
  for (int nt = g.nterminals + 1; nt <= g.nsymbols(); ++nt) {
    if (byLhs_[nt].empty()) throw std::runtime_error("no rule defines " + g.names[nt]);
  }
  computeFirst();
}

void Builder::computeFirst() {
  const int n = g_.nsymbols();
  nullable_.assign(n + 1, false);
  first_.assign(n + 1, TermSet());
  for (int t = 1; t <= g_.nterminals; ++t) first_[t].set(t);
  for (bool changed = true; changed;) {
    changed = false;
    for (size_t p = 0; p < g_.productions.size(); ++p) {
      const int lhs = g_.productions[p].lhs;
      bool allNullable = true;
      for (int s : rhs_[p]) {
        const TermSet before = first_[lhs];
        first_[lhs] |= first_[s];
        changed |= before != first_[lhs];
        if (!nullable_[s]) {
          allNullable = false;
          break;
        }
      }
      if (allNullable && !nullable_[lhs]) {
        nullable_[lhs] = true;
        changed = true;
      }
    }
  }
}

TermSet Builder::firstOfRest(const Item &it, const TermSet &follow) const {
  TermSet out;
  const auto &r = rhs(it.prod);
  for (size_t i = it.dot + 1; i < r.size(); ++i) {
    out |= first_[r[i]];
    if (!nullable_[r[i]]) return out;
  }
  return out | follow;
}

std::vector<Item> Builder::closure0(const std::vector<Item> &kernel) const {
  std::vector<Item> items = kernel;
  std::set<int> added;
  for (size_t i = 0; i < items.size(); ++i) {
    const int x = symbolAfterDot(items[i]);
    if (x <= g_.nterminals || !added.insert(x).second) continue;
    for (int p : byLhs_[x]) items.push_back({p, 0});
  }
  return items;
}

void Builder::buildStates() {
  std::map<std::vector<Item>, int> index;
  kernels_.push_back({{augmented_, 0}});
  index[kernels_[0]] = 0;
  for (size_t s = 0; s < kernels_.size(); ++s) {
    std::map<int, std::vector<Item>> next;
    for (const Item &it : closure0(kernels_[s])) {
      const int x = symbolAfterDot(it);
      if (x != 0) next[x].push_back({it.prod, it.dot + 1});
    }
    gotos_.emplace_back();
    for (auto &[x, kernel] : next) {
      std::sort(kernel.begin(), kernel.end());
      kernel.erase(std::unique(kernel.begin(), kernel.end()), kernel.end());
      auto [it, fresh] = index.emplace(kernel, static_cast<int>(kernels_.size()));
      if (fresh) kernels_.push_back(kernel);
      gotos_[s][x] = it->second;
    }
  }
  lookaheads_.resize(kernels_.size());
  for (size_t s = 0; s < kernels_.size(); ++s) {
    for (const Item &it : kernels_[s]) lookaheads_[s][it] = TermSet();
  }
  lookaheads_[0][{augmented_, 0}].set(g_.nterminals);
}

// The LR(1) closure of a state's kernel under the current lookaheads.
std::map<Item, TermSet> Builder::closure1(int state) const {
  std::map<Item, TermSet> items = lookaheads_[state];
  std::vector<Item> work;
  for (const auto &entry : items) work.push_back(entry.first);
  while (!work.empty()) {
    const Item it = work.back();
    work.pop_back();
    const int x = symbolAfterDot(it);
    if (x <= g_.nterminals) continue;
    const TermSet la = firstOfRest(it, items[it]);
    for (int p : byLhs_[x]) {
      auto [entry, fresh] = items.try_emplace({p, 0});
      const TermSet before = entry->second;
      entry->second |= la;
      if (fresh || entry->second != before) work.push_back({p, 0});
    }
  }
  return items;
}

bool Builder::propagate() {
  bool changed = false;
  for (size_t s = 0; s < kernels_.size(); ++s) {
    for (const auto &[it, la] : closure1(static_cast<int>(s))) {
      const int x = symbolAfterDot(it);
      if (x == 0) continue;
      TermSet &target = lookaheads_[gotos_[s].at(x)][{it.prod, it.dot + 1}];
      const TermSet before = target;
      target |= la;
      changed |= target != before;
    }
  }
  return changed;
}

std::string Builder::productionText(int prod) const {
  if (prod == augmented_) return "(start) : " + g_.names[g_.start];
  std::string text = g_.names[g_.productions[prod].lhs] + " :";
  for (int s : rhs_[prod]) text += " " + g_.names[s];
  return text;
}

std::string Builder::describe(uint16_t act) const {
  if (act >= 32768 && act != 65535) return "reduce " + productionText(act - 32768);
  if (act == 65535) return "accept";
  return "shift to state " + std::to_string(act - 1);
}

void Builder::setAction(Automaton &a, int state, int sym, uint16_t act) {
  auto [it, fresh] = a.actions[state].emplace(sym, act);
  if (fresh || it->second == act) return;
  const bool shift = it->second < 32768 || act < 32768;
  a.conflicts.push_back({state, sym,
                         std::string(shift ? "shift/reduce" : "reduce/reduce") +
                             " conflict in state " + std::to_string(state) + " on " +
                             g_.names[sym] + ": " + describe(it->second) + " / " + describe(act)});
}

void Builder::fillActions(Automaton &a) {
  a.actions.resize(kernels_.size());
  for (size_t s = 0; s < kernels_.size(); ++s) {
    for (const auto &[x, t] : gotos_[s]) {
      a.actions[s][x] = static_cast<uint16_t>(t + 1);
    }
  }
  for (size_t s = 0; s < kernels_.size(); ++s) {
    const int st = static_cast<int>(s);
    for (const auto &[it, la] : closure1(st)) {
      if (symbolAfterDot(it) != 0) continue;
      if (it.prod == augmented_) {
        setAction(a, st, g_.nterminals, 65535);
        continue;
      }
      for (int t = 1; t <= g_.nterminals; ++t) {
        if (la.test(t)) setAction(a, st, t, static_cast<uint16_t>(32768 + it.prod));
      }
    }
  }
}

Automaton Builder::build() {
  buildStates();
  while (propagate()) {
  }
  Automaton a;
  a.nstates = static_cast<int>(kernels_.size());
  if (a.nstates >= 32767) throw std::runtime_error("too many states");
  fillActions(a);
  return a;
}

std::string hexList(const std::vector<uint16_t> &v) {
  std::ostringstream out;
  for (size_t i = 0; i < v.size(); ++i) {
    out << (i % 12 == 0 ? "\n    " : " ") << v[i] << ",";
  }
  return out.str();
}

std::string byteList(const std::vector<uint8_t> &v) {
  std::vector<uint16_t> wide(v.begin(), v.end());
  return hexList(wide);
}

}  // namespace

Grammar readGrammar(const std::string &text) {
  return GrammarReader(text).read();
}

Automaton buildAutomaton(const Grammar &grammar) {
  return Builder(grammar).build();
}

InsertionCosts insertionCosts(const Grammar &g, int cap) {
  InsertionCosts c;
  const int n = g.nsymbols();
  c.cost.assign(n + 1, cap);
  c.cheapest.assign(n + 1, {});
  for (int t = 1; t <= g.nterminals; ++t) {
    c.cost[t] = g.inscost[t];
    c.cheapest[t] = {t};
  }
  std::vector<bool> known(n + 1, false);
  for (int t = 1; t <= g.nterminals; ++t) known[t] = true;
  for (bool changed = true; changed;) {
    changed = false;
    for (const Production &p : g.productions) {
      int sum = 0;
      std::vector<int> text;
      bool complete = true;
      for (int s : p.symbols()) {
        if (!known[s]) {
          complete = false;
          break;
        }
        sum += c.cost[s];
        text.insert(text.end(), c.cheapest[s].begin(), c.cheapest[s].end());
      }
      if (!complete) continue;
      sum = std::min(sum, cap);
      if (!known[p.lhs] || sum < c.cost[p.lhs]) {
        known[p.lhs] = true;
        c.cost[p.lhs] = sum;
        c.cheapest[p.lhs] = text;
        changed = true;
      }
    }
  }
  return c;
}

namespace {

void addProductions(const Grammar &g, Tables &t) {
  for (const Production &p : g.productions) {
    t.prdndx.push_back(static_cast<uint16_t>(t.prdlst.size()));
    t.lhstbl.push_back(static_cast<uint16_t>(p.lhs - g.nterminals - 1));
    t.prdlst.push_back(static_cast<uint16_t>(p.elements.size()));
    for (auto e = p.elements.rbegin(); e != p.elements.rend(); ++e) {
      t.prdlst.push_back(static_cast<uint16_t>(e->action ? 65536 - e->value : e->value));
    }
  }
}

void addActions(const Grammar &g, Tables &t) {
  for (const Action &a : g.actions) {
    t.actmap.push_back(static_cast<uint16_t>(a.kind));
    if (a.args.empty()) {
      t.argndx.push_back(65535);
      continue;
    }
    t.argndx.push_back(static_cast<uint16_t>(t.argtbl.size()));
    t.argtbl.push_back(static_cast<uint16_t>(a.args.size()));
    for (int v : a.args) t.argtbl.push_back(static_cast<uint16_t>(v));
  }
}

void addSymbols(const Grammar &g, Tables &t) {
  for (int s = 1; s <= g.nterminals; ++s) {
    t.symndx.push_back(static_cast<uint16_t>(t.symtbl.size()));
    t.symmap.push_back(static_cast<uint16_t>(s));
    t.symtbl.push_back(static_cast<uint8_t>(g.names[s].size()));
    t.symtbl.insert(t.symtbl.end(), g.names[s].begin(), g.names[s].end());
    t.delcost.push_back(static_cast<uint8_t>(g.delcost[s]));
  }
}

// Candidate insertions of a state: the terminals it shifts and the cheapest
// string of each nonterminal it has a goto on, cheapest first.
std::vector<std::vector<int>> candidates(const Grammar &g, const InsertionCosts &c,
                                         const std::map<int, uint16_t> &actions) {
  constexpr size_t kMaxCandidates = 8;
  std::set<std::pair<int, std::vector<int>>> found;
  for (const auto &[sym, act] : actions) {
    if (act == 0 || act >= 32768 || sym == g.nterminals) continue;
    if (c.cheapest[sym].empty() || c.cost[sym] >= kMaxCost) continue;
    found.insert({c.cost[sym], c.cheapest[sym]});
  }
  std::vector<std::vector<int>> out;
  for (const auto &entry : found) {
    if (out.size() == kMaxCandidates) break;
    out.push_back(entry.second);
  }
  return out;
}

}  // namespace

Tables buildTables(const Grammar &g, const Automaton &a) {
  Tables t;
  addProductions(g, t);
  addActions(g, t);
  addSymbols(g, t);
  const InsertionCosts c = insertionCosts(g, kMaxCost);
  for (int s = 1; s <= g.nsymbols(); ++s) t.inscost.push_back(static_cast<uint8_t>(c.cost[s]));
  for (int st = 0; st < a.nstates; ++st) {
    t.prsndx.push_back(static_cast<uint16_t>(t.prslst.size()));
    t.prslst.push_back(static_cast<uint16_t>(a.actions[st].size()));
    for (const auto &[sym, act] : a.actions[st]) {
      t.prslst.push_back(static_cast<uint16_t>(sym));
      t.prslst.push_back(act);
    }
    t.insndx.push_back(static_cast<uint16_t>(t.instbl.size()));
    const auto cands = candidates(g, c, a.actions[st]);
    t.instbl.push_back(static_cast<uint16_t>(cands.size()));
    for (const auto &str : cands) {
      t.instbl.push_back(static_cast<uint16_t>(str.size()));
      for (int s : str) t.instbl.push_back(static_cast<uint16_t>(s));
    }
  }
  if (t.prslst.size() > 65535 || t.prdlst.size() > 65535 || t.instbl.size() > 65535) {
    throw std::runtime_error("tables exceed 16-bit indexes");
  }
  return t;
}

std::string emitSource(const Grammar &g, const Tables &t, const std::string &name,
                       const std::string &origin) {
  std::ostringstream out;
  out << "// Generated by tools/lalrgen from " << origin << "; do not edit.\n"
      << "// " << t.prdndx.size() << " productions, " << t.prsndx.size() << " states, "
      << t.actmap.size() << " actions, " << g.nterminals << " terminals, " << g.nnonterminals()
      << " nonterminals.\n"
      << "// Encodings: host/vynstmt.h.\n\n"
      << "#include <cstdint>\n\n#include \"host/vynstmt.h\"\n\nnamespace {\n\n";
  auto words = [&](const char *n, const std::vector<uint16_t> &v) {
    out << "const uint16_t " << n << "[] = {" << hexList(v) << "\n};\n\n";
  };
  auto bytes = [&](const char *n, const std::vector<uint8_t> &v) {
    out << "const uint8_t " << n << "[] = {" << byteList(v) << "\n};\n\n";
  };
  words("prdlst", t.prdlst);
  words("prdndx", t.prdndx);
  words("lhstbl", t.lhstbl);
  words("prslst", t.prslst);
  words("prsndx", t.prsndx);
  words("actmap", t.actmap);
  words("argndx", t.argndx);
  words("argtbl", t.argtbl.empty() ? std::vector<uint16_t>{0} : t.argtbl);
  bytes("symtbl", t.symtbl);
  words("symndx", t.symndx);
  words("symmap", t.symmap);
  bytes("delcost", t.delcost);
  bytes("inscost", t.inscost);
  words("insndx", t.insndx);
  words("instbl", t.instbl);
  out << "}  // namespace\n\n"
      << "extern const vynstmt::GrammarDescriptor " << name << ";\n"
      << "const vynstmt::GrammarDescriptor " << name << " = {\n"
      << "    1, " << g.nterminals + 1 << ", " << g.nterminals << ", " << t.prslst.size() << ",\n"
      << "    {prdlst, prdndx, lhstbl, prslst, prsndx, actmap, argndx, argtbl, symtbl, symndx,\n"
      << "     symmap, delcost, inscost, insndx, instbl},\n"
      << "    " << kMaxCost << ", 63, " << t.instbl.size() << ", 0, nullptr, nullptr, {}, "
      << g.nclasses << ", {}, nullptr, {}};\n";
  return out.str();
}

}  // namespace lalr

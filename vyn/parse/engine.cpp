// The LR engine: runs the descriptor's tables over each statement, calling
// the token and semantic routines stored in the descriptor. A statement that
// does not fit is repaired at least cost (deleting up to three tokens,
// inserting up to two terminals or one candidate string of the state), so
// the error is reported once at the right token and the parse goes on.
#include "vyn/parse/engine.h"

#include <algorithm>
#include <cassert>
#include <cctype>

#include "vyn/core/hostmsg.h"
#include "vyn/parse/parsemsg.h"

namespace vyn {

using vynstmt::GrammarDescriptor;

void HostStatementBlock::clear() {
  block = vynstmt::StatementBlock{};
  for (int k = 0; k < vynstmt::kStmtSlots; ++k) {
    slots[k] = vynstmt::StmtSlot{};
    lists[k].clear();
  }
  block.slots = slots;
}

void HostStatementBlock::append(int slot, int32_t element) {
  assert(slot >= 0 && slot < vynstmt::kStmtSlots);
  lists[slot].push_back(element);
  slots[slot].count = static_cast<int32_t>(lists[slot].size());
  slots[slot].elements = lists[slot].data();
}

namespace {

constexpr int kMaxErrorsPerStatement = 5;
constexpr int kMaxDeletions = 3;
constexpr size_t kRepairLookahead = kMaxDeletions + 1;
// Reductions between two shifts cannot exceed this in any table we build;
// the bound keeps a damaged table from looping.
constexpr int kMaxReductions = 10000;

uint16_t lookupAction(const GrammarDescriptor &g, int state, int symbol) {
  const uint16_t *list = g.tables.prslst + g.tables.prsndx[state];
  int lo = 0, hi = list[0];
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    const int sym = list[1 + 2 * mid];
    if (sym == symbol) return list[2 + 2 * mid];
    if (sym < symbol) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return vynstmt::kActError;
}

int productionSymbols(const GrammarDescriptor &g, int prod) {
  const uint16_t *entry = g.tables.prdlst + g.tables.prdndx[prod];
  int n = 0;
  for (int i = 1; i <= entry[0]; ++i) n += entry[i] < vynstmt::kActionBase ? 1 : 0;
  return n;
}

int gotoState(const GrammarDescriptor &g, int state, int prod) {
  const int lhs = g.first_nonterminal + g.tables.lhstbl[prod];
  const uint16_t act = lookupAction(g, state, lhs);
  assert(act != vynstmt::kActError && act < vynstmt::kActReduceBase);
  return act - vynstmt::kActShiftBase;
}

// Moves `states` over `symbol`: the reductions it causes, then the shift.
// False when the symbol is an error there; true also on accept.
bool advance(const GrammarDescriptor &g, std::vector<int> &states, int symbol) {
  for (int n = 0; n < kMaxReductions; ++n) {
    const uint16_t act = lookupAction(g, states.back(), symbol);
    if (act == vynstmt::kActError) return false;
    if (act == vynstmt::kActAccept) return true;
    if (act < vynstmt::kActReduceBase) {
      states.push_back(act - vynstmt::kActShiftBase);
      return true;
    }
    const int prod = act - vynstmt::kActReduceBase;
    states.resize(states.size() - productionSymbols(g, prod));
    states.push_back(gotoState(g, states.back(), prod));
  }
  return false;
}

bool isSynonym(std::string_view name) {
  return name.size() > 1 && name != "$$$" && (name.front() == '$' || name.back() == '$');
}

// How a terminal is shown in "expected one of".
std::string describeTerminal(const ParserRun &run, int symbol) {
  static const char *const kClasses[] = {"",
                                         "\";\"",
                                         "a name",
                                         "a quoted string",
                                         "an integer",
                                         "a number",
                                         "a two-level name",
                                         "a format name",
                                         "a date literal",
                                         "a time literal",
                                         "a datetime literal",
                                         "a missing value",
                                         "a name literal"};
  if (symbol <= run.grammar.nclasses && symbol < static_cast<int>(std::size(kClasses))) {
    return kClasses[symbol];
  }
  std::string_view name = run.symbolName(symbol);
  while (!name.empty() && name.back() == '$') name.remove_suffix(1);
  return "\"" + std::string(name) + "\"";
}

class Engine {
 public:
  explicit Engine(ParserRun &run)
      : run_(run),
        g_(run.grammar),
        token_(reinterpret_cast<TokenRoutine>(run.grammar.token_routine)),
        semantic_(reinterpret_cast<SemanticRoutine>(run.grammar.semantic_routine)) {}
  void parse(const SourceStatement &statement, bool first);

 private:
  ScanToken next(bool resolve = true) {
    ScanToken t;
    token_(&run_, pos_, &t, resolve ? 1 : 0);
    return t;
  }
  bool screen(const ScanToken &t);
  bool fetch(ScanToken &t);
  bool tooManyErrors() {
    if (++errors_ <= kMaxErrorsPerStatement) return false;
    run_.logMessage(kMsgTooManyErrors, {}, kStatusSyntaxError);
    return true;
  }
  int deleteCost(int symbol) const {
    constexpr int kUnknownTokenCost = 10;
    return symbol >= 1 && symbol <= run_.endMarker() ? g_.tables.delcost[symbol - 1]
                                                     : kUnknownTokenCost;
  }
  void shift(int state, const ScanToken &t);
  void reduce(int prod);
  void runActions(int prod, const ScanToken *rhs, int nrhs);
  bool recover(const ScanToken &t);
  void reportSyntax(const ScanToken &t);
  std::vector<int> expected(const std::vector<int> &states) const;
  bool accepts(const std::vector<int> &states, const ScanToken &t) const {
    return run_.canShiftFrom(states, t.symbol) ||
           (t.keyword != 0 && run_.canShiftFrom(states, kTokName));
  }
  // Trace lines are only built when the syntax trace is on.
  bool tracing() const { return (run_.trace & kTraceSyntax) != 0; }
  void trace(const std::string &line) { run_.step.log.text(LogLevel::kText, "SYN: " + line); }

  ParserRun &run_;
  const GrammarDescriptor &g_;
  TokenRoutine token_;
  SemanticRoutine semantic_;
  size_t pos_ = 0;
  int errors_ = 0;
};

// Tokens that cannot stand for anything are reported at once; parsing goes
// on without semantics, so one fault gives one message.
bool Engine::screen(const ScanToken &t) {
  if (!t.unterminated && t.symbol != kTokBad && !t.invalid) return true;
  const auto [line, column] = run_.position(t.start);
  const std::string where[2] = {std::to_string(line), std::to_string(column)};
  if (t.unterminated) {
    run_.logMessage(kMsgUnterminated, {where[0], where[1], t.text}, kStatusSyntaxError);
    return false;
  }
  if (t.symbol == kTokBad) {
    const std::string written(run_.text.substr(t.start, t.end - t.start));
    run_.logMessage(kMsgBadCharacter, {where[0], where[1], written}, kStatusSyntaxError);
    run_.semanticsOn = false;
    pos_ = t.end;
    return !tooManyErrors();
  }
  if (t.invalid) {
    const std::string written(run_.text.substr(t.start, t.end - t.start));
    const bool literal = t.symbol >= kTokDate && t.symbol <= kTokDatetime;
    run_.logMessage(literal ? kMsgBadLiteral : kMsgNumberRange, {where[0], where[1], written},
                    kStatusSyntaxError);
    run_.semanticsOn = false;
  }
  return true;
}

// The next token that stands for something; false when the statement ends
// here because of a fault.
bool Engine::fetch(ScanToken &t) {
  for (;;) {
    t = next();
    if (!screen(t)) return false;
    if (t.symbol != kTokBad) return true;
  }
}

void Engine::shift(int state, const ScanToken &t) {
  if (tracing()) {
    trace("state " + std::to_string(run_.stack.back()) + ": shift " +
          std::string(run_.symbolName(t.symbol)) + " '" + t.text + "', to state " +
          std::to_string(state));
  }
  run_.stack.push_back(state);
  run_.values.push_back(t);
}

void Engine::runActions(int prod, const ScanToken *rhs, int nrhs) {
  const uint16_t *entry = g_.tables.prdlst + g_.tables.prdndx[prod];
  for (int i = entry[0]; i >= 1; --i) {
    if (entry[i] < vynstmt::kActionBase) continue;
    const int action = 65536 - entry[i];
    const int kind = g_.tables.actmap[action - 1];
    const uint16_t index = g_.tables.argndx[action - 1];
    const uint16_t *args = index == 65535 ? nullptr : g_.tables.argtbl + index + 1;
    const int nargs = index == 65535 ? 0 : g_.tables.argtbl[index];
    semantic_(&run_, kind, args, nargs, rhs, nrhs);
  }
}

void Engine::reduce(int prod) {
  const int n = productionSymbols(g_, prod);
  const size_t base = run_.values.size() - n;
  if (run_.semanticsOn) runActions(prod, run_.values.data() + base, n);
  run_.stack.resize(run_.stack.size() - n);
  run_.values.resize(base);
  const int to = gotoState(g_, run_.stack.back(), prod);
  if (tracing()) {
    trace("reduce by production " + std::to_string(prod) + " (" + std::to_string(n) +
          " symbols), to state " + std::to_string(to));
  }
  run_.stack.push_back(to);
  run_.values.emplace_back();
}

// Terminals that can be shifted: those with an action in the top state
// (the tables list every lookahead) that survive their reductions.
std::vector<int> Engine::expected(const std::vector<int> &states) const {
  std::vector<int> out;
  const uint16_t *list = g_.tables.prslst + g_.tables.prsndx[states.back()];
  for (int i = 0; i < list[0]; ++i) {
    const int t = list[1 + 2 * i];
    if (t < run_.endMarker() && run_.canShiftFrom(states, t)) out.push_back(t);
  }
  return out;
}

void Engine::reportSyntax(const ScanToken &t) {
  const auto [line, column] = run_.position(t.start);
  std::string found = t.symbol == kTokEndStatement
                          ? "the end of the statement"
                          : "\"" + std::string(run_.text.substr(t.start, t.end - t.start)) + "\"";
  std::string list;
  for (int s : expected(run_.stack)) {
    if (isSynonym(run_.symbolName(s))) continue;
    list += (list.empty() ? "" : ", ") + describeTerminal(run_, s);
  }
  run_.logMessage(kMsgSyntax, {std::to_string(line), std::to_string(column), found, list},
                  kStatusSyntaxError);
}

// The least-cost repair at `t`: delete the first d tokens (d up to three),
// then insert the cheapest string after which the next token fits.
bool Engine::recover(const ScanToken &t) {
  reportSyntax(t);
  run_.semanticsOn = false;
  if (tooManyErrors()) return false;
  std::vector<ScanToken> ahead;
  for (size_t p = t.start; ahead.size() < kRepairLookahead;) {
    ScanToken raw;
    token_(&run_, p, &raw, 0);
    ahead.push_back(raw);
    if (raw.symbol == run_.endMarker()) break;
    p = raw.end;
  }
  const std::vector<int> first = expected(run_.stack);
  std::vector<std::vector<int>> afterFirst(first.size());
  for (size_t i = 0; i < first.size(); ++i) {
    std::vector<int> states = run_.stack;
    advance(g_, states, first[i]);
    afterFirst[i] = expected(states);
  }
  int best = g_.max_cost + 1;
  size_t bestDeletions = 0;
  std::vector<int> bestInsert;
  auto consider = [&](int cost, size_t d, std::vector<int> insert) {
    if (cost >= best) return;
    std::vector<int> states = run_.stack;
    for (int s : insert) {
      if (!advance(g_, states, s)) return;
    }
    if (!accepts(states, ahead[d])) return;
    best = cost;
    bestDeletions = d;
    bestInsert = std::move(insert);
  };
  int deleted = 0;
  for (size_t d = 0; d < ahead.size(); ++d) {
    if (d > 0) deleted += deleteCost(ahead[d - 1].symbol);
    if (deleted >= best) break;
    consider(deleted, d, {});
    for (size_t i = 0; i < first.size(); ++i) {
      const int c1 = deleted + g_.tables.inscost[first[i] - 1];
      consider(c1, d, {first[i]});
      for (int s2 : afterFirst[i]) consider(c1 + g_.tables.inscost[s2 - 1], d, {first[i], s2});
    }
    const uint16_t *cand = g_.tables.instbl + g_.tables.insndx[run_.stack.back()];
    for (int c = 0, at = 1; c < cand[0]; ++c, at += 1 + cand[at]) {
      int cost = deleted;
      std::vector<int> insert;
      for (int k = 1; k <= cand[at]; ++k) {
        cost += g_.tables.inscost[cand[at + k] - 1];
        insert.push_back(cand[at + k]);
      }
      consider(cost, d, insert);
    }
  }
  if (best > g_.max_cost) return false;
  for (int s : bestInsert) {
    ScanToken inserted;
    inserted.symbol = s;
    inserted.start = inserted.end = t.start;
    for (int n = 0; n < kMaxReductions; ++n) {
      const uint16_t act = lookupAction(g_, run_.stack.back(), s);
      if (act == vynstmt::kActError || act == vynstmt::kActAccept) break;
      if (act < vynstmt::kActReduceBase) {
        shift(act - vynstmt::kActShiftBase, inserted);
        break;
      }
      reduce(act - vynstmt::kActReduceBase);
    }
  }
  pos_ = ahead[bestDeletions].start;
  if (tracing()) {
    trace("repair: delete " + std::to_string(bestDeletions) + ", insert " +
          std::to_string(bestInsert.size()) + ", cost " + std::to_string(best));
  }
  return true;
}

void Engine::parse(const SourceStatement &statement, bool first) {
  run_.begin(statement);
  run_.stack.assign(1, 0);
  run_.values.assign(1, ScanToken{});
  run_.semanticsOn = true;
  run_.sem = SemanticState{};
  pos_ = 0;
  errors_ = 0;
  if (first) {
    ScanToken word = next(false);
    std::string w = word.text;
    for (char &c : w) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (word.symbol == kTokName && w == "PROC") pos_ = word.end;
  }
  ScanToken t;
  if (!fetch(t)) return;
  for (;;) {
    const uint16_t act = lookupAction(g_, run_.stack.back(), t.symbol);
    if (act == vynstmt::kActAccept) {
      if (tracing()) trace("accept");
      return;
    }
    if (act == vynstmt::kActError) {
      if (!recover(t) || !fetch(t)) return;
    } else if (act < vynstmt::kActReduceBase) {
      shift(act - vynstmt::kActShiftBase, t);
      pos_ = t.end;
      if (!fetch(t)) return;
    } else {
      reduce(act - vynstmt::kActReduceBase);
    }
  }
}

void buildKeywords(ParserRun &run) {
  const GrammarDescriptor &g = run.grammar;
  for (int s = g.nclasses + 1; s < g.nterminals; ++s) {
    std::string_view name = run.symbolName(s);
    if (name.size() == 1 && !std::isalnum(static_cast<unsigned char>(name[0]))) {
      run.punctuation[static_cast<unsigned char>(name[0]) & 127] = s;
      continue;
    }
    while (!name.empty() && name.front() == '$') name.remove_prefix(1);
    while (!name.empty() && name.back() == '$') name.remove_suffix(1);
    run.keywords.emplace(std::string(name), s);
  }
}

}  // namespace

bool ParserRun::canShiftFrom(const std::vector<int> &states, int symbol) const {
  if (symbol <= 0 || symbol > grammar.nterminals) return false;
  if (lookupAction(grammar, states.back(), symbol) == vynstmt::kActError) return false;
  // The states the reductions push sit in `pushed` above the first `kept`
  // states of the stack, so the stack itself is never copied.
  constexpr int kMaxPushed = 64;
  int pushed[kMaxPushed];
  int npushed = 0;
  size_t kept = states.size();
  for (int n = 0; n < kMaxReductions; ++n) {
    const int top = npushed > 0 ? pushed[npushed - 1] : states[kept - 1];
    const uint16_t act = lookupAction(grammar, top, symbol);
    if (act == vynstmt::kActError) return false;
    if (act == vynstmt::kActAccept || act < vynstmt::kActReduceBase) return true;
    const int prod = act - vynstmt::kActReduceBase;
    int pop = productionSymbols(grammar, prod);
    const int fromPushed = std::min(pop, npushed);
    npushed -= fromPushed;
    pop -= fromPushed;
    if (static_cast<size_t>(pop) >= kept || npushed == kMaxPushed) return false;
    kept -= pop;
    const int below = npushed > 0 ? pushed[npushed - 1] : states[kept - 1];
    pushed[npushed++] = gotoState(grammar, below, prod);
  }
  return false;
}

std::string_view ParserRun::symbolName(int symbol) const {
  if (symbol <= 0 || symbol > grammar.nterminals) return "?";
  const uint8_t *entry = grammar.tables.symtbl + grammar.tables.symndx[symbol - 1];
  return {reinterpret_cast<const char *>(entry + 1), entry[0]};
}

void ParserRun::begin(const SourceStatement &st) {
  statement = &st;
  text = st.text;
  lineStarts.clear();
  for (size_t i = text.find('\n'); i != std::string_view::npos; i = text.find('\n', i + 1)) {
    lineStarts.push_back(i + 1);
  }
}

// The lines after the first start in column 1; the first one where the
// statement starts in the program.
std::pair<int, int> ParserRun::position(size_t offset) const {
  offset = std::min(offset, text.size());
  const auto after = std::upper_bound(lineStarts.begin(), lineStarts.end(), offset);
  const auto newlines = static_cast<int>(after - lineStarts.begin());
  if (newlines == 0) return {statement->line, statement->column + static_cast<int>(offset)};
  return {statement->line + newlines, static_cast<int>(offset - *(after - 1)) + 1};
}

const VariableIndex &ParserRun::variablesOf(void *data) {
  const std::vector<VariableRef> &vars = step.parseHost->variables(data);
  if (index == nullptr || indexedData != data || &index->variables() != &vars) {
    index = std::make_unique<VariableIndex>(vars);
    indexedData = data;
  }
  return *index;
}

void ParserRun::logMessage(int number, const std::vector<std::string> &inserts, int code) {
  logHostMessage(step.log, number, inserts);
  raise(code);
}

int runParser(StepContext &step, const GrammarDescriptor &grammar, vynconn::ParseHeader &header,
              int32_t trace) {
  auto &statements = *static_cast<HostStatementBlock *>(header.statement_block);
  statements.clear();
  ParserRun run(step, grammar, statements);
  run.trace = trace;
  if (grammar.token_routine == nullptr || grammar.semantic_routine == nullptr) {
    run.logMessage(kMsgNotConnected, {}, kStatusSyntaxError);
  } else {
    buildKeywords(run);
    Engine engine(run);
    for (size_t i = 0; i < step.statements.size(); ++i) engine.parse(step.statements[i], i == 0);
  }
  header.options = static_cast<uint32_t>(trace);
  header.status = static_cast<uint16_t>(run.status);
  return run.status;
}

}  // namespace vyn

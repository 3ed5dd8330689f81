// The host's statement parser: the LR engine (xsproc) that runs a grammar
// descriptor's tables over each statement of a step, the token routine
// (xttk) and the semantic routine (xsem) it calls through the descriptor.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/vynconn.h"
#include "host/vynstmt.h"
#include "vyn/core/step.h"
#include "vyn/parse/parser.h"
#include "vyn/parse/varlist.h"

namespace vyn {

// Return codes the parse status takes.
inline constexpr int kStatusDataError = 1008;    // data set or variable errors
inline constexpr int kStatusSyntaxError = 3000;  // a statement does not fit

// Token classes of the scanner (symbol numbers of the descriptor).
enum TokenClass : int {
  kTokBad = 0,  // a character no token begins with; never accepted
  kTokEndStatement = 1,
  kTokName,
  kTokString,
  kTokInteger,
  kTokNumber,
  kTokCompound,
  kTokFormat,
  kTokDate,
  kTokTime,
  kTokDatetime,
  kTokMissing,
  kTokNameLiteral,
  kTokCatalogName,
};

// One token of a statement.
struct ScanToken {
  int symbol = kTokBad;       // terminal symbol number
  int keyword = 0;            // the keyword this word spells (0: none)
  std::string text;           // name, string contents or literal as written
  double value = 0;           // numbers, date/time literals
  size_t start = 0;           // offset in the statement text
  size_t end = 0;             // offset just past it
  bool unterminated = false;  // a quoted string without its closing quote
  bool invalid = false;       // a literal that does not stand for a value
  bool nameLiteral = false;   // a name written as 'Sepal.Length'n: a name token whose text is
                              // the header's own name or the variable's name
};

struct ParserRun;

// The token routine: scans the token at `offset`; with `resolve` nonzero a
// keyword the parser cannot accept here is read as a name, and a minus sign
// before a number the parser expects becomes part of the number.
using TokenRoutine = int32_t (*)(ParserRun *run, size_t offset, ScanToken *out, int32_t resolve);

// The semantic routine: performs action `kind` with its arguments; `rhs`
// holds the tokens under the production's right side (empty tokens for
// nonterminals).
using SemanticRoutine = void (*)(ParserRun *run, int32_t kind, const uint16_t *args, int32_t nargs,
                                 const ScanToken *rhs, int32_t nrhs);

int32_t xttk(ParserRun *run, size_t offset, ScanToken *out, int32_t resolve);
void xsem(ParserRun *run, int32_t kind, const uint16_t *args, int32_t nargs, const ScanToken *rhs,
          int32_t nrhs);

// The host's side of a statement block: the record the module reads and the
// arrays its list slots point into. The record comes first, so the parse
// header's pointer leads to both.
struct HostStatementBlock {
  vynstmt::StatementBlock block{};
  vynstmt::StmtSlot slots[vynstmt::kStmtSlots]{};
  std::vector<int32_t> lists[vynstmt::kStmtSlots];

  void clear();
  void append(int slot, int32_t element);
};

// What the semantic routine keeps between actions.
struct SemanticState {
  int listSlot = -1;             // slot receiving variables, -1 none
  int mask = 3;                  // its type mask: 1 numeric, 2 character
  int numberSlot = -1;           // slot receiving the next number, -1 none
  bool plainNumber = false;      // the next number may not be a date or time
  std::vector<ScanToken> names;  // variable names of the current item
  ScanToken dataSetName;         // the DATA= name just read
  size_t optionsFrom = 0;        // its data set options: offsets in the statement text
  size_t optionsTo = 0;
  bool dataSetWritten = false;  // DATA= given, opened or not
  ByRequest by;                 // the BY statement so far
  bool descending = false;      // DESCENDING written before this item
};

// One run of the parser over the statements of a step.
struct ParserRun {
  StepContext &step;
  const vynstmt::GrammarDescriptor &grammar;
  HostStatementBlock &statements;
  int32_t trace = 0;
  int status = 0;  // the worst code so far

  std::unordered_map<std::string, int> keywords;  // written form (upper case) -> symbol
  int punctuation[128] = {};                      // character -> symbol

  const SourceStatement *statement = nullptr;  // the statement being read
  std::string_view text;                       // its text
  std::vector<size_t> lineStarts;              // offsets just past each newline of the text
  std::vector<int> stack;                      // LR states
  std::vector<ScanToken> values;               // the token under each state
  bool semanticsOn = true;                     // off after an error in the statement
  SemanticState sem;
  void *indexedData = nullptr;           // the data set `index` describes
  std::unique_ptr<VariableIndex> index;  // its variables, indexed on first use

  ParserRun(StepContext &s, const vynstmt::GrammarDescriptor &g, HostStatementBlock &b)
      : step(s), grammar(g), statements(b) {}

  int endMarker() const { return grammar.nterminals; }
  // Whether the parser, as it stands, can shift `symbol` (after reductions).
  bool canShift(int symbol) const { return canShiftFrom(stack, symbol); }
  bool canShiftFrom(const std::vector<int> &states, int symbol) const;
  // The written form of a terminal ("VAR", "(", "NAMEX").
  std::string_view symbolName(int symbol) const;
  // Starts reading `st`: its text and where its lines begin.
  void begin(const SourceStatement &st);
  // Line and column in the program of an offset of the statement text.
  std::pair<int, int> position(size_t offset) const;
  // The indexed variables of an open data set (the step's parse host must be set).
  const VariableIndex &variablesOf(void *data);
  void raise(int code) { status = std::max(status, code); }
  void logMessage(int number, const std::vector<std::string> &inserts, int code);
};

// Runs the parser over every statement of the step, filling the statement
// block the parse header points to and its status. Returns the status.
int runParser(StepContext &step, const vynstmt::GrammarDescriptor &grammar,
              vynconn::ParseHeader &header, int32_t trace);

}  // namespace vyn

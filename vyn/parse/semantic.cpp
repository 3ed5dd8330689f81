// The semantic routine: performs the grammar's actions into the statement
// block. Flags and numbers are stored as read; variable-list items are
// expanded against the input data set and checked against their slot's
// type mask at once, so a fault is reported at the item that caused it.
#include <cmath>

#include "vyn/data/where.h"
#include "vyn/parse/engine.h"
#include "vyn/parse/parsemsg.h"
#include "vyn/parse/varlist.h"

namespace vyn {
namespace {

using vynstmt::StmtSlot;

enum ActionKind : int {
  kEndStatement = 1,
  kEndList = 2,
  kNumber = 3,
  kDataSetName = 4,
  kFlag = 5,
  kNumberSlot = 6,
  kList = 8,
  kVariable = 9,
  kItem = 10,
  kDataSetOptions = 15,
  kOpen = 17,
  kOpenDefault = 18,
  kCheck = 20,
  kCode = 22,
  kBy = 29,
};

enum ByStep : int { kByEnd = 0, kByItem = 1, kByDescending = 2, kByNotsorted = 3 };

constexpr int kPairedSlot = 3;
constexpr int kCrossSecondSlot = 14;
constexpr int kMaskNumeric = 1;
constexpr int kMaskCharacter = 2;

// What a list slot is called in messages.
const char *slotStatement(int slot) {
  switch (slot) {
    case 0:
      return "the BY statement";
    case 1:
      return "the VAR statement";
    case 2:
      return "the CLASS statement";
    case 3:
      return "the PAIRED statement";
    case 5:
      return "the FREQ statement";
    case 6:
      return "the WEIGHT statement";
    default:
      return "CROSSOVER=";
  }
}

// What a number slot is called in messages.
const char *numberOption(int slot) {
  switch (slot) {
    case 8:
      return "H0=";
    case 9:
      return "ALPHA=";
    case 16:
      return "SIDES=";
    default:
      return "TOST";
  }
}

// The statements a step takes once; a second PAIRED statement adds its pairs
// and a second VAR statement its variables, so those two may repeat.
bool takenOnce(int slot) {
  return slot == 0 || slot == 2 || slot == 5 || slot == 6 || slot == 13 || slot == 14;
}

const ScanToken &lastToken(const ScanToken *rhs, int nrhs) {
  static const ScanToken kNone;
  for (int i = nrhs - 1; i >= 0; --i) {
    if (rhs[i].symbol != kTokBad) return rhs[i];
  }
  return kNone;
}

// The variable name a name literal stands for; the literal as written when
// no variable has that header name or name.
std::string literalName(const VariableIndex &vars, const ScanToken &t) {
  const int v = vars.findLiteral(t.text);
  return v < 0 ? t.text : vars.variables()[static_cast<size_t>(v)].name;
}

class Semantics {
 public:
  Semantics(ParserRun &run, const ScanToken *rhs, int nrhs)
      : run_(run), sem_(run.sem), rhs_(rhs), nrhs_(nrhs) {}
  void perform(int kind, const uint16_t *args, int nargs);

 private:
  StmtSlot &slot(int k) { return run_.statements.slots[k]; }
  void *dataSet() { return slot(vynstmt::kDataSetSlot).handle; }
  void number();
  void item(int form);
  void appendVariables(const std::vector<int> &numbers);
  void open(int k);
  void applyOptions(void *data);
  void openDefault(int k);
  void by(int step);
  void list(int k, int mask);
  void numberSlot(int k);
  void continuePairs();
  void error(int message, const std::vector<std::string> &inserts, int code) {
    run_.logMessage(message, inserts, code);
  }
  // A statement or option written a second time, refused at `at`.
  void refuseSecond(int message, const ScanToken &at, const char *what) {
    std::vector<std::string> inserts = where(at);
    inserts.push_back(what);
    error(message, inserts, kStatusSyntaxError);
  }
  // The token the parser read last: an action that stands inside a rule
  // sees no right side of its own.
  const ScanToken &lastRead() const {
    const ScanToken &t = lastToken(rhs_, nrhs_);
    if (t.symbol != kTokBad) return t;
    return lastToken(run_.values.data(), static_cast<int>(run_.values.size()));
  }
  std::vector<std::string> where(const ScanToken &t) const {
    const auto [line, column] = run_.position(t.start);
    return {std::to_string(line), std::to_string(column)};
  }

  ParserRun &run_;
  SemanticState &sem_;
  const ScanToken *rhs_;
  int nrhs_;
};

void Semantics::number() {
  const ScanToken &t = lastToken(rhs_, nrhs_);
  const int k = sem_.numberSlot;
  sem_.numberSlot = -1;
  if (sem_.plainNumber && t.symbol != kTokInteger && t.symbol != kTokNumber) {
    std::vector<std::string> inserts = where(t);
    inserts.push_back(std::string(run_.text.substr(t.start, t.end - t.start)));
    error(kMsgPlainNumber, inserts, kStatusSyntaxError);
  }
  sem_.plainNumber = false;
  if (k < 0 || k >= vynstmt::kStmtSlots) return;
  slot(k).present = 1;
  vynstmt::setSlotNumber(slot(k), t.value);
}

void Semantics::appendVariables(const std::vector<int> &numbers) {
  const int k = sem_.listSlot;
  const auto &vars = run_.step.parseHost->variables(dataSet());
  for (int v : numbers) {
    const bool numeric = vars[v].numeric;
    if (sem_.mask == kMaskNumeric && !vars[v].firstText.empty()) {
      std::vector<std::string> inserts{vars[v].name};
      inserts.insert(inserts.end(), vars[v].firstText.begin(), vars[v].firstText.end());
      inserts.push_back(slotStatement(k));
      error(kMsgCharacterCell, inserts, kStatusDataError);
      continue;
    }
    if ((sem_.mask == kMaskNumeric && !numeric) || (sem_.mask == kMaskCharacter && numeric)) {
      error(kMsgWrongType,
            {vars[v].name, numeric ? "numeric" : "character", slotStatement(k),
             sem_.mask == kMaskNumeric ? "numeric" : "character"},
            kStatusDataError);
      continue;
    }
    run_.statements.append(k, v);
    if (k == 0) {
      sem_.by.vars.push_back(v);
      sem_.by.descending.push_back(sem_.descending);
    }
  }
}

// A DATA= that could not be opened leaves no data set: the default one
// would check the names against data the user did not ask for.
void Semantics::openDefault(int k) {
  if (k < 0 || k >= vynstmt::kStmtSlots || slot(k).present || sem_.dataSetWritten ||
      run_.step.parseHost == nullptr) {
    return;
  }
  if (void *data = run_.step.parseHost->defaultDataSet()) {
    slot(k).present = 1;
    slot(k).handle = data;
  }
}

// Without a data set the names cannot be checked; the procedure reports the
// missing data set itself, so nothing is said here.
void Semantics::item(int form) {
  const std::vector<ScanToken> tokens = std::move(sem_.names);
  const ScanToken at = tokens.empty() ? lastToken(rhs_, nrhs_) : tokens.front();
  sem_.names.clear();
  if (sem_.listSlot < 0 || dataSet() == nullptr || run_.step.parseHost == nullptr) return;
  const VariableIndex &vars = run_.variablesOf(dataSet());
  std::vector<std::string> names;
  for (const ScanToken &t : tokens) names.push_back(t.nameLiteral ? literalName(vars, t) : t.text);
  std::vector<int> numbers;
  if (auto fault = expandItem(form, names, vars, numbers)) {
    std::vector<std::string> inserts =
        fault->message == kMsgUnknownAction ? std::vector<std::string>{} : where(at);
    inserts.insert(inserts.end(), fault->inserts.begin(), fault->inserts.end());
    error(fault->message, inserts, kStatusDataError);
    return;
  }
  appendVariables(numbers);
  sem_.descending = false;
}

void Semantics::open(int k) {
  if (k < 0 || k >= vynstmt::kStmtSlots || run_.step.parseHost == nullptr) return;
  const ScanToken &name = sem_.dataSetName;
  if (sem_.dataSetWritten) {
    refuseSecond(kMsgSecondOption, name, "DATA=");
    return;
  }
  sem_.dataSetWritten = true;
  void *data = run_.step.parseHost->openDataSet(name.text, name.symbol == kTokString);
  if (data == nullptr) {
    run_.raise(kStatusDataError);
    return;
  }
  slot(k).present = 1;
  slot(k).handle = data;
  if (sem_.optionsTo > sem_.optionsFrom) applyOptions(data);
}

// The data set options: a WHERE= condition, with its names bound to the
// variables of the data set just opened.
void Semantics::applyOptions(void *data) {
  const VariableIndex &vars = run_.variablesOf(data);
  const data::WhereLookup find = [&vars](std::string_view name, bool literal) {
    const int v = literal ? vars.findLiteral(name) : vars.find(name);
    return data::WhereVariable{v, v < 0 || vars.variables()[static_cast<size_t>(v)].numeric};
  };
  const std::string_view options =
      run_.text.substr(sem_.optionsFrom, sem_.optionsTo - sem_.optionsFrom);
  try {
    if (auto condition = data::Where::fromOptions(options, find))
      run_.step.parseHost->setWhere(data, std::move(condition));
  } catch (const data::WhereFault &fault) {
    ScanToken at;
    at.start = sem_.optionsFrom + fault.offset;
    std::vector<std::string> inserts = where(at);
    inserts.insert(inserts.end(), fault.inserts.begin(), fault.inserts.end());
    error(fault.message, inserts, fault.aboutVariables() ? kStatusDataError : kStatusSyntaxError);
  }
}

// A statement the step takes once is refused the second time; its variables
// go nowhere.
void Semantics::list(int k, int mask) {
  if (k < 0 || k >= vynstmt::kStmtSlots) return;
  if (takenOnce(k) && slot(k).present) {
    if (k == kCrossSecondSlot) return;  // said once, at the first CROSSOVER= variable
    refuseSecond(kMsgSecondStmt, lastRead(), slotStatement(k));
    return;
  }
  if (k == kPairedSlot) continuePairs();
  sem_.listSlot = k;
  sem_.mask = mask;
  slot(k).present = 1;
}

// The pairs of a further PAIRED statement follow those already read: the end
// code of the list so far gives way to them.
void Semantics::continuePairs() {
  std::vector<int32_t> &pairs = run_.statements.lists[kPairedSlot];
  if (pairs.empty() || pairs.back() != -vynstmt::kCodeListEnd) return;
  pairs.pop_back();
  slot(kPairedSlot).count = static_cast<int32_t>(pairs.size());
}

// A number option written twice would keep only one of the two values.
void Semantics::numberSlot(int k) {
  if (k >= 0 && k < vynstmt::kStmtSlots && slot(k).present) {
    refuseSecond(kMsgSecondOption, lastRead(), numberOption(k));
    return;
  }
  sem_.numberSlot = k;
}

void Semantics::by(int step) {
  switch (step) {
    case kByEnd:
      if (sem_.listSlot == 0 && dataSet() != nullptr && run_.step.parseHost != nullptr) {
        run_.step.parseHost->setByRequest(dataSet(), sem_.by);
      }
      break;
    case kByDescending:
      sem_.descending = true;
      break;
    case kByNotsorted:
      sem_.by.notsorted = true;
      break;
    default:  // an item begins; its variables arrive with the item action
      break;
  }
}

void Semantics::perform(int kind, const uint16_t *args, int nargs) {
  const int a0 = nargs > 0 ? args[0] : -1;
  switch (kind) {
    case kEndStatement:
      sem_ = SemanticState{};
      break;
    case kEndList:
      sem_.listSlot = -1;
      break;
    case kNumber:
      number();
      break;
    case kDataSetName:
      sem_.dataSetName = lastToken(rhs_, nrhs_);
      break;
    case kFlag:
      vynstmt::setStmtFlag(run_.statements.block, a0);
      break;
    case kNumberSlot:
      numberSlot(a0);
      break;
    case kList:
      list(a0, nargs > 1 ? args[1] : 3);
      break;
    case kVariable:
      sem_.names.push_back(lastToken(rhs_, nrhs_));
      break;
    case kItem:
      item(a0);
      break;
    case kDataSetOptions:
      sem_.optionsFrom = nrhs_ == 3 ? rhs_[0].end : 0;
      sem_.optionsTo = nrhs_ == 3 ? rhs_[2].start : 0;
      break;
    case kOpen:
      open(a0);
      break;
    case kOpenDefault:
      openDefault(a0);
      break;
    case kCheck:
      sem_.plainNumber = true;
      break;
    case kCode:
      if (sem_.listSlot >= 0) run_.statements.append(sem_.listSlot, -a0);
      break;
    case kBy:
      by(a0);
      break;
    default:
      error(kMsgUnknownAction, {std::to_string(kind)}, kStatusSyntaxError);
      break;
  }
}

std::string describeAction(int kind, const uint16_t *args, int nargs) {
  std::string text = "action kind " + std::to_string(kind);
  for (int i = 0; i < nargs; ++i) text += (i == 0 ? " (" : ", ") + std::to_string(args[i]);
  return nargs > 0 ? text + ")" : text;
}

}  // namespace

void xsem(ParserRun *run, int32_t kind, const uint16_t *args, int32_t nargs, const ScanToken *rhs,
          int32_t nrhs) {
  if (run->trace & kTraceSemantic) {
    const ScanToken &t = lastToken(rhs, nrhs);
    run->step.log.text(LogLevel::kText, "SEM: " + describeAction(kind, args, nargs) +
                                            (t.text.empty() ? "" : " '" + t.text + "'"));
  }
  Semantics(*run, rhs, nrhs).perform(kind, args, nargs);
}

}  // namespace vyn

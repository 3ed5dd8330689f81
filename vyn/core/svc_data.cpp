// Host services of data sets, BY groups and read requests, and the parser's
// view of the data sets of a step.
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "vyn/core/catalog.h"
#include "vyn/core/host.h"
#include "vyn/core/hostmsg.h"
#include "vyn/core/services.h"
#include "vyn/data/cursor.h"
#include "vyn/data/dataset.h"
#include "vyn/data/error.h"
#include "vyn/data/format.h"
#include "vyn/data/missing.h"
#include "vyn/data/progress.h"
#include "vyn/data/sqlite_source.h"
#include "vyn/data/where.h"
#include "vyn/output/session.h"

namespace vyn {
namespace {

// A data set opened during a step, and its BY groups once reading started.
struct OpenData {
  std::shared_ptr<data::DataSet> ds;
  std::vector<VariableRef> vars;                 // the parser's view of its variables
  ByRequest by;                                  // what the BY statement asked for
  std::vector<int> selected;                     // variables the read requests want
  std::unique_ptr<data::Where> where;            // the WHERE= condition, or none
  std::unique_ptr<data::ReadProgress> progress;  // of the reading, when shown
  std::unique_ptr<data::ByGroups> groups;        // created at the first BY group
  std::vector<output::ByValue> byValues;         // of the current BY group
};

// A number and its formatted text.
struct FormattedNumber {
  uint64_t bits = 0;
  bool filled = false;
  std::string text;
};

// Slots of the formatted-number memory of a target.
constexpr size_t kRecentNumbers = 16;

// One variable of a read request: where it lands and how.
struct Target {
  int var;       // variable number
  void *target;  // the module's buffer
  int width;     // its width in bytes
  int mode;      // xvgetd_mode
  bool numeric;  // the variable is numeric
  int fmtWidth;  // the variable's formatted width
  // A character target holds blanks from here to its width: the module only
  // reads its targets, so a value need blank no more than the last one took.
  size_t blankFrom;
  // Numbers formatted lately, by their bits (so missing values count as
  // themselves), with their texts: a class variable repeats few values, so
  // most rows format nothing.
  std::vector<FormattedNumber> recent;
};

// A number target of a numeric variable that holds a whole double: the
// usual target, copied without a test from its slot in the row's numbers
// (known once the reading started).
struct NumberCopy {
  void *target;
  int var;
  size_t slot;
};

// The targets of a request sorted once by what each row does with them.
struct ReadRequest {
  OpenData *data;
  data::ByGroups *groups = nullptr;  // of its data set, once the reading started
  std::vector<Target> targets;
  std::vector<NumberCopy> numbers;  // whole doubles of numeric variables
  std::vector<size_t> others;       // the other number and character targets
  std::vector<size_t> formatted;    // the formatted targets
  std::vector<char> scratch;        // one formatted value, sized once
};

// Everything the data services hold for the step being run.
struct DataState {
  std::vector<std::unique_ptr<OpenData>> open;
  std::vector<std::unique_ptr<ReadRequest>> requests;
};

DataState &state() {
  static DataState s;
  return s;
}

// The data set most recently read, the default input of a later step.
std::string &lastDataPath() {
  return Host::current().lastDataPath();
}

OpenData *openData(void *handle) {
  for (auto &d : state().open) {
    if (d.get() == handle) return d.get();
  }
  return nullptr;
}

// The request found last: each row asks for the same one three times.
ReadRequest *recentRequest = nullptr;

// Looked up when another request is asked for: a call, so the services of
// every row keep only the test of the recent one.
[[gnu::noinline]] ReadRequest *findRequest(void *handle) {
  for (auto &r : state().requests) {
    if (r.get() == handle) return recentRequest = r.get();
  }
  return nullptr;
}

ReadRequest *readRequest(void *handle) {
  if (handle == recentRequest && handle != nullptr) return recentRequest;
  return findRequest(handle);
}

void logDataError(const data::DataError &e) {
  vyn::logDataError(currentStep().log, e);
}

// Remembers the files of a data set as inputs of the run, also when they
// turn out to be unreadable: no output may replace them.
void noteInputs(const std::string &path) {
  std::vector<std::string> &inputs = Host::current().inputFiles();
  for (const std::string &file : {path, data::schemaPathFor(path), data::sqliteDatabaseOf(path)}) {
    if (::access(file.c_str(), F_OK) == 0 &&
        std::find(inputs.begin(), inputs.end(), file) == inputs.end())
      inputs.push_back(file);
  }
}

// Threads that type and parse a data set: VYN_THREADS when it is a number from 1,
// else the processors of the machine (at most 8).
int readThreads() {
  const char *given = std::getenv("VYN_THREADS");
  int n = 0;
  if (given != nullptr) {
    const char *end = given + std::strlen(given);
    auto [at, ec] = std::from_chars(given, end, n);
    if (ec != std::errc() || at != end || n < 1) n = 0;
  }
  if (n == 0) n = static_cast<int>(std::min(8u, std::max(1u, std::thread::hardware_concurrency())));
  return n;
}

// The data set of a file: the one an earlier step opened while the file and
// its sidecar are unchanged, else opened (and typed) now.
std::shared_ptr<data::DataSet> dataSetOf(const std::string &path) {
  auto &opened = Host::current().dataSets();
  const char delimiter = currentStep().delimiter;
  for (auto it = opened.begin(); it != opened.end(); ++it) {
    if ((*it)->path() != path) continue;
    if ((*it)->unchangedSinceOpen() && (*it)->givenDelimiter() == delimiter) return *it;
    opened.erase(it);
    break;
  }
  data::TypingOptions typing{readThreads()};
  std::unique_ptr<data::ReadProgress> progress;
  if (Host::current().showProgress()) {
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(path, ec);
    progress = std::make_unique<data::ReadProgress>(path, ec ? 0 : bytes, STDERR_FILENO);
    typing.progress = progress.get();
  }
  opened.push_back(data::DataSet::open(path, delimiter, typing));
  return opened.back();
}

VariableRef variableRef(const std::string &path, size_t index, const data::Variable &v) {
  VariableRef ref{v.name, v.numeric};
  if (v.header != v.name) ref.header = v.header;
  if (v.firstTextLine != 0)
    ref.firstText = {path, std::to_string(v.firstTextLine), std::to_string(index + 1),
                     data::quoteInsert(v.firstText)};
  return ref;
}

// Notes the header names that were mapped to valid variable names.
void noteMappedNames(const std::string &path, const data::DataSet &ds) {
  std::string mapped;
  for (const data::Variable &v : ds.variables()) {
    if (v.header == v.name) continue;
    mapped += (mapped.empty() ? "" : ", ") + data::quoteInsert(v.header) + " as " + v.name;
  }
  if (!mapped.empty())
    logHostMessage(currentStep().log,
                   ds.sqlite() != nullptr ? kHostMappedColumns : kHostMappedNames, {path, mapped});
}

// Warns of the first cell of a character column with text that is not UTF-8.
void warnBadText(const std::string &path, const data::DataSet &ds) {
  const data::TextPlace &at = ds.badText();
  if (at.line == 0) return;
  logHostMessage(currentStep().log, kHostBadText,
                 {path, std::to_string(at.line), std::to_string(at.column),
                  ds.variable(static_cast<int>(at.column - 1)).name});
}

OpenData *openPath(const std::string &path) {
  noteInputs(path);
  try {
    auto d = std::make_unique<OpenData>();
    d->ds = dataSetOf(path);
    for (const data::Variable &v : d->ds->variables())
      d->vars.push_back(variableRef(path, d->vars.size(), v));
    noteMappedNames(path, *d->ds);
    warnBadText(path, *d->ds);
    lastDataPath() = path;
    state().open.push_back(std::move(d));
    return state().open.back().get();
  } catch (const data::DataError &e) {
    logDataError(e);
    return nullptr;
  }
}

// "lib.name": a CSV file in the folder lib, or a table of the database lib.
bool libraryMember(std::string_view name) {
  return name.find('.') != std::string_view::npos;
}

// The file of a data set exists, or it names a table of a database that does.
bool isReadableTable(const std::string &path) {
  return ::access(path.c_str(), F_OK) == 0 || !data::sqliteDatabaseOf(path).empty();
}

class StepParseHost : public ParseHost {
 public:
  void *openDataSet(std::string_view name, bool quoted) override {
    const std::string path = data::resolveDataSetPath(currentStep().dataDir, name, quoted);
    if (!quoted && libraryMember(name) && !isReadableTable(path)) {
      noteInputs(path);
      const std::string lib = std::filesystem::path(path).parent_path().string();  // dir/lib
      logDataError(data::DataError(data::kMsgNoMember, {std::string(name), path, lib}, path));
      return nullptr;
    }
    return openPath(path);
  }
  void *defaultDataSet() override {
    return lastDataPath().empty() ? nullptr : openPath(lastDataPath());
  }
  const std::vector<VariableRef> &variables(void *handle) override {
    static const std::vector<VariableRef> none;
    OpenData *d = openData(handle);
    return d == nullptr ? none : d->vars;
  }
  void setByRequest(void *handle, const ByRequest &request) override {
    if (OpenData *d = openData(handle)) d->by = request;
  }
  void setWhere(void *handle, std::unique_ptr<data::Where> where) override {
    if (OpenData *d = openData(handle)) d->where = std::move(where);
  }
};

std::vector<data::ByVariable> byVariables(const ByRequest &by) {
  std::vector<data::ByVariable> vars;
  for (size_t i = 0; i < by.vars.size(); ++i) {
    vars.push_back({by.vars[i], i < by.descending.size() && by.descending[i]});
  }
  return vars;
}

// A number in its shortest exact form; a missing value as ".", ".A", ...
void numberTextInto(std::string &text, double value) {
  const char letter = data::missingLetter(value);
  if (letter == '.') {
    text.assign(".");
  } else if (letter != '\0') {
    text.assign({'.', letter});
  } else {
    char buf[32];
    text.assign(shortestNumberText(value, buf));
  }
}

// The BY values of the current group written over those of a group before,
// so that their texts keep their room.
void byValuesInto(const OpenData *d, std::vector<output::ByValue> &values) {
  values.resize(d->groups->byCount());
  for (size_t i = 0; i < values.size(); ++i) {
    const data::Variable &v = d->ds->variable(d->groups->byVariable(i).index);
    output::ByValue &b = values[i];
    if (b.name != v.name) b.name.assign(v.name);
    if (v.numeric) {
      numberTextInto(b.value, d->groups->byNumber(i));
    } else {
      b.value.assign(d->groups->byText(i));
    }
    b.formatted.assign(d->groups->byFormatted(i));
  }
}

// A request reads the BY groups of its data set, its numbers from their slots.
void startReading(ReadRequest &r) {
  r.groups = r.data->groups.get();
  for (NumberCopy &n : r.numbers) n.slot = r.groups->row().slotOf(n.var);
}

int32_t byNext(void *handle) {
  OpenData *d = openData(handle);
  if (d == nullptr) return -1;
  try {
    const bool first = !d->groups;
    if (first) {
      data::ReadOptions options;
      options.threads = readThreads();
      if (Host::current().showProgress() && d->ds->sqlite() == nullptr) {
        d->progress = std::make_unique<data::ReadProgress>(d->ds->path(), d->ds->bytes().size(),
                                                           STDERR_FILENO);
        options.progress = d->progress.get();
      }
      currentStep().input = {d->ds->path(), 0, std::nullopt};
      options.where = d->where.get();
      d->groups = std::make_unique<data::ByGroups>(*d->ds, byVariables(d->by), d->by.notsorted,
                                                   d->selected, options);
      for (auto &r : state().requests)
        if (r->data == d) startReading(*r);
    }
    if (!d->groups->nextGroup()) return 0;
    if (first && d->groups->row().rowNumber() == 0) return 0;  // no observations
  } catch (const data::DataError &e) {
    logDataError(e);
    throw StepExit{1008};
  }
  if (!d->by.vars.empty()) {
    byValuesInto(d, d->byValues);
    output::swapByGroup(d->byValues);
  }
  return 1;
}

int32_t byRewind(void *handle) {
  OpenData *d = openData(handle);
  if (d == nullptr || !d->groups) return -1;
  d->groups->rewindGroup();
  return 0;
}

int32_t observationNumber(void *handle) {
  OpenData *d = openData(handle);
  return d == nullptr || !d->groups ? 0 : static_cast<int32_t>(d->groups->row().rowNumber());
}

int32_t dataInfo(void *handle, int32_t item, void *) {
  OpenData *d = openData(handle);
  if (d == nullptr) return -1;
  return item == kInfoReadable || (item == kInfoObsNumbers && d->groups) ? 1 : 0;
}

int32_t selectVariables(void *handle, int32_t count, const int32_t *numbers) {
  OpenData *d = openData(handle);
  if (d == nullptr) return -1;
  for (int32_t i = 0; i < count && numbers != nullptr; ++i) {
    if (numbers[i] < 0 || numbers[i] >= d->ds->variableCount()) return -1;
    if (std::find(d->selected.begin(), d->selected.end(), numbers[i]) == d->selected.end()) {
      d->selected.push_back(numbers[i]);
    }
  }
  return 0;
}

bool matchesType(const data::Variable &v, int32_t mask) {
  return (v.numeric && (mask & 1) != 0) || (!v.numeric && (mask & 2) != 0);
}

// Variables of a type (1 numeric, 2 character, 3 either): writes up to
// `capacity` numbers and returns how many there are.
int32_t allVariables(void *handle, int32_t mask, int32_t *numbers, int32_t capacity) {
  OpenData *d = openData(handle);
  if (d == nullptr) return 0;
  int32_t n = 0;
  for (int v = 0; v < d->ds->variableCount(); ++v) {
    if (!matchesType(d->ds->variable(v), mask)) continue;
    if (numbers != nullptr && n < capacity) numbers[n] = v;
    ++n;
  }
  return n;
}

// Removes the excluded variables from a list; returns the new count.
int32_t defaultList(void *, int32_t *numbers, int32_t count, const int32_t *exclude,
                    int32_t nexclude) {
  int32_t kept = 0;
  for (int32_t i = 0; i < count; ++i) {
    const bool excluded = std::find(exclude, exclude + nexclude, numbers[i]) != exclude + nexclude;
    if (!excluded) numbers[kept++] = numbers[i];
  }
  return kept;
}

int32_t findVariable(void *handle, const char *name, int32_t length, int32_t *number, int32_t) {
  OpenData *d = openData(handle);
  if (d == nullptr || name == nullptr) return 1;
  std::string_view n(name, length < 0 ? std::strlen(name) : static_cast<size_t>(length));
  while (!n.empty() && n.back() == ' ') n.remove_suffix(1);
  const int v = d->ds->findVariable(n);
  if (v < 0) return 1;
  *number = v;
  return 0;
}

void copyCut(char *out, size_t capacity, const std::string &text, uint16_t *length) {
  const size_t n = std::min(text.size(), capacity - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
  *length = static_cast<uint16_t>(n);
}

int32_t variableInfo(void *handle, int32_t number, xvinfo *out) {
  OpenData *d = openData(handle);
  if (d == nullptr || number < 0 || number >= d->ds->variableCount()) return -1;
  const data::Variable &v = d->ds->variable(number);
  copyCut(out->name, sizeof out->name, v.name, &out->namelen);
  copyCut(out->label, sizeof out->label, v.label, &out->labellen);
  out->type = v.numeric ? 1 : 2;
  out->length = v.length;
  out->fmtw = v.formattedWidth();
  return 0;
}

int32_t useFormats(void *handle, int32_t, const int32_t *, int32_t) {
  return openData(handle) == nullptr ? -1 : 0;
}

int32_t beginRequest(void *handle, int32_t count, void **request) {
  OpenData *d = openData(handle);
  if (d == nullptr || request == nullptr) return -1;
  auto r = std::make_unique<ReadRequest>();
  r->data = d;
  r->targets.reserve(static_cast<size_t>(std::max(count, 0)));
  *request = r.get();
  state().requests.push_back(std::move(r));
  return 0;
}

int32_t requestVariable(void *request, int32_t number, int32_t, void *target, int32_t width,
                        int32_t mode, int32_t, int32_t) {
  ReadRequest *r = readRequest(request);
  if (r == nullptr || target == nullptr || width < 1 || number < 0 ||
      number >= r->data->ds->variableCount()) {
    return -1;
  }
  if (mode != kGetNumber && mode != kGetChars && mode != kGetFormatted) return -1;
  const data::Variable &v = r->data->ds->variable(number);
  const size_t index = r->targets.size();
  r->targets.push_back(
      {number, target, width, mode, v.numeric, v.formattedWidth(), static_cast<size_t>(width), {}});
  if (mode == kGetFormatted) {
    r->targets.back().recent.resize(kRecentNumbers);
    r->formatted.push_back(index);
  } else if (mode == kGetNumber && v.numeric && width >= static_cast<int>(sizeof(double))) {
    r->numbers.push_back({target, number, 0});
  } else {
    r->others.push_back(index);
  }
  if (std::find(r->data->selected.begin(), r->data->selected.end(), number) ==
      r->data->selected.end()) {
    r->data->selected.push_back(number);
  }
  if (r->data->groups) startReading(*r);
  return 0;
}

int32_t endRequestDefinition(void *request) {
  return readRequest(request) == nullptr ? -1 : 0;
}

int32_t endRequest(void *request) {
  return readRequest(request) == nullptr ? -1 : 0;
}

int32_t nextObservation(void *request) {
  ReadRequest *r = readRequest(request);
  if (r == nullptr || r->groups == nullptr) return -1;
  try {
    return r->groups->nextRow() ? 1 : 0;
  } catch (const data::DataError &e) {
    logDataError(e);
    throw StepExit{1008};
  }
}

// Values up to this length are copied a byte at a time: a CLASS value is
// short, and a library call costs more than its bytes.
constexpr size_t kShortValue = 16;

// Characters blank-filled to the target's width: past what the last value
// took, the target still holds its blanks, so only the tail a longer last
// value left behind is blanked.
[[gnu::always_inline]] inline void copyChars(Target &t, std::string_view text) {
  const size_t n = std::min(text.size(), static_cast<size_t>(t.width));
  auto *out = static_cast<char *>(t.target);
  if (n <= kShortValue) {
    for (size_t i = 0; i < n; ++i) out[i] = text[i];
  } else {
    std::memcpy(out, text.data(), n);
  }
  if (t.blankFrom > n) std::memset(out + n, ' ', t.blankFrom - n);
  t.blankFrom = n;
}

// A number target that is narrower than a double or of a character
// variable, or a character target.
inline void fetchOther(Target &t, const data::Cursor &row) {
  if (t.mode == kGetNumber) {
    const double v = t.numeric ? row.number(t.var) : data::missingValue('.');
    std::memcpy(t.target, &v, std::min(sizeof v, static_cast<size_t>(t.width)));
  } else {
    copyChars(t, t.numeric ? std::string_view() : row.text(t.var));
  }
}

// The targets of a request besides its whole doubles.
[[gnu::noinline]] int32_t fetchOthers(ReadRequest &r) {
  const data::Cursor &row = r.groups->row();
  for (size_t i : r.others) fetchOther(r.targets[i], row);
  return 0;
}

// The usual request (whole doubles only) calls nothing, so it saves no registers.
int32_t fetchValues(void *request) {
  ReadRequest *r = readRequest(request);
  if (r == nullptr || r->groups == nullptr) return -1;
  const double *numbers = r->groups->row().numbers();
  for (const NumberCopy &n : r->numbers) std::memcpy(n.target, numbers + n.slot, sizeof(double));
  if (r->others.empty()) return 0;
  return fetchOthers(*r);
}

// A formatted target of a numeric variable: the text of a number formatted lately.
[[gnu::noinline]] void fetchFormattedNumber(Target &t, const data::Cursor &row) {
  uint64_t bits;
  const double value = row.number(t.var);
  std::memcpy(&bits, &value, sizeof bits);
  FormattedNumber &known = t.recent[(bits ^ (bits >> 29) ^ (bits >> 52)) % kRecentNumbers];
  if (!known.filled || known.bits != bits) {
    known.text.resize(static_cast<size_t>(t.fmtWidth));
    row.formatted(t.var, known.text.data());
    known.bits = bits;
    known.filled = true;
  }
  copyChars(t, known.text);
}

// A formatted target of a character value longer than the formatted width.
[[gnu::noinline]] void fetchFormattedLong(ReadRequest &r, Target &t, const data::Cursor &row) {
  const size_t width = static_cast<size_t>(t.fmtWidth);
  if (static_cast<size_t>(t.width) >= width) {  // formatted in place
    auto *out = static_cast<char *>(t.target);
    data::formatChars(row.text(t.var), t.fmtWidth, out);
    if (static_cast<size_t>(t.width) > width)
      std::memset(out + width, ' ', static_cast<size_t>(t.width) - width);
    t.blankFrom = width;
    return;
  }
  if (r.scratch.size() < width) r.scratch.resize(width);
  row.formatted(t.var, r.scratch.data());
  copyChars(t, std::string_view(r.scratch.data(), width));
}

// One formatted target.
inline void fetchFormattedTarget(ReadRequest &r, Target &t, const data::Cursor &row) {
  if (t.numeric) {
    fetchFormattedNumber(t, row);
    return;
  }
  const std::string_view text = row.text(t.var);
  if (text.size() <= static_cast<size_t>(t.fmtWidth)) {  // the usual case: the value itself
    copyChars(t, text);
  } else {
    fetchFormattedLong(r, t, row);
  }
}

// The formatted targets of a request that has some.
[[gnu::noinline]] int32_t fetchAllFormatted(ReadRequest &r) {
  const data::Cursor &row = r.groups->row();
  for (size_t i : r.formatted) fetchFormattedTarget(r, r.targets[i], row);
  return 0;
}

// Called for every row also when nothing is formatted: then a few loads and tests.
int32_t fetchFormatted(void *request) {
  ReadRequest *r = readRequest(request);
  if (r == nullptr || r->groups == nullptr) return -1;
  if (r->formatted.empty()) return 0;
  return fetchAllFormatted(*r);
}

}  // namespace

ParseHost &stepParseHost() {
  static StepParseHost host;
  return host;
}

// The observations the step has read of each open data set, for its closing note.
void noteObservationsRead() {
  for (const auto &d : state().open) {
    if (d->groups == nullptr) continue;
    StepInput &in = currentStep().input;
    in.read = std::max<long long>(in.read, d->groups->row().rowNumber());
    if (d->where) {
      in.read = std::max<long long>(in.read, d->where->tested());
      in.whereKept = d->where->kept();
    }
  }
}

void endStepServices() {
  noteObservationsRead();
  recentRequest = nullptr;
  state().requests.clear();
  state().open.clear();
}

void registerDataServices() {
  registerService(vynsvc::kXbynext, &byNext, "xbynext");
  registerService(vynsvc::kXbyrwnd, &byRewind, "xbyrwnd");
  registerService(vynsvc::kXonote, &observationNumber, "xonote");
  registerService(vynsvc::kXoinfo, &dataInfo, "xoinfo");
  registerService(vynsvc::kXvsele, &selectVariables, "xvsele");
  registerService(vynsvc::kXvallvr, &allVariables, "xvallvr");
  registerService(vynsvc::kXvdflst, &defaultList, "xvdflst");
  registerService(vynsvc::kXvfind, &findVariable, "xvfind");
  registerService(vynsvc::kXvname, &variableInfo, "xvname");
  registerService(vynsvc::kXffile, &useFormats, "xffile");
  registerService(vynsvc::kXvgeti, &beginRequest, "xvgeti");
  registerService(vynsvc::kXvgetd, &requestVariable, "xvgetd");
  registerService(vynsvc::kXvgete, &endRequestDefinition, "xvgete");
  registerService(vynsvc::kXvgett, &endRequest, "xvgett");
  registerService(vynsvc::kXybyget, &nextObservation, "xybyget");
  registerService(vynsvc::kXyvget, &fetchValues, "xyvget");
  registerService(vynsvc::kXofprc, &fetchFormatted, "xofprc");
}

}  // namespace vyn

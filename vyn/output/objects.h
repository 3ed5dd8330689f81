// The host's output objects as the method implementations see them: the
// object root, output manager, output groups, tables, the output objects of
// tables and text objects, and the per-step state that owns them all.
//
// A handle given to the module points at a word holding the object's class
// record, so `wobmth` can dispatch on it: the HostObject part of an object,
// or, for the output objects and groups made again for each use, the face of
// the current use. A released object is marked at once and freed by the
// second sweep after that when no live object points at it (a handle used
// just after its release is still told apart as stale); what remains goes
// with the step. An output object is kept by its table and a released group
// by the step to be made again; the handles of their earlier uses stay
// refused.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "hostcm/wob.h"
#include "vyn/core/copy_short.h"
#include "vyn/core/log.h"
#include "vyn/output/document.h"
#include "vyn/output/handles.h"
#include "vyn/output/sink.h"

namespace vyn::output {

// Failure statuses of the host's methods (bit 31 set).
inline constexpr int32_t kStatusBadHandle = static_cast<int32_t>(0x80008003u);
inline constexpr int32_t kStatusBadProperty = static_cast<int32_t>(0x80008004u);
inline constexpr int32_t kStatusNoOutput = static_cast<int32_t>(0x80008005u);
inline constexpr int32_t kStatusTableEnded = static_cast<int32_t>(0x80008006u);

// Host conditions of group 210 written to the step's log.
enum OutputMessage : int {
  kMsgRowWithoutOutput = 240,  // a row for a table with no open output object
  kMsgStaleHandle = 241,       // a method received a handle that is not a live object
  kMsgColumnAfterEnd = 242,    // a column added to a table whose definition ended
  kMsgBadProperty = 243,       // a required property is missing or of the wrong type
};

enum class ObjKind { kRoot, kManager, kGroup, kTable, kOutput, kText, kData, kPhantom };
inline constexpr size_t kObjKinds = 8;

// A named value or fact of an object (methods 164 and 175).
struct NamedValue {
  std::string name;
  std::unique_ptr<wobprop> value;  // stable address: lookups hand out a reference to it
};

// The part of every object that a handle points at.
struct HostObject {
  wobclass *cls;                  // first word: the class record
  uint32_t control[16];           // control block (ulxggcb); word 9 holds the flag bits
  ObjKind kind;                   // what the object is
  bool released;                  // released through its class; freed by the next sweep
  HostObject *parent;             // the object it was created on, or null
  bool swept = false;             // released and passed over by one sweep: the next one frees it
  bool referenced = false;        // during a sweep: something live still points at it
  const void *handle = nullptr;   // the handle that stands for it now
  std::vector<NamedValue> named;  // its named values and facts, the latest last
};

struct TextObject : HostObject {
  std::string text;
  bool cited = false;  // a call that an output object remembers names it
};

// A column as defined, with the cell it reads.
struct BoundColumn {
  Column column;         // what is emitted
  int32_t ctype = 5;     // 3 integer, 4 code L, 5 double, 6 character
  void *cell = nullptr;  // value cell or character buffer
  int32_t storage = 0;   // character buffer length; negative: at most that, up to a NUL
};

struct OutputObject;

// Where a row reads the cell of a column straight from: the double of a
// numeric column, or the buffer of a character column with its storage.
struct CellSource {
  const void *from;
  size_t column;
  int32_t storage;
};

struct TableObject : HostObject {
  std::string name;
  std::string label;
  Attributes attributes;
  std::vector<BoundColumn> columns;
  size_t width = 0;  // the number of columns, as every row read takes it
  // A row reads the cells of its numeric and character columns from where
  // they are held, without going through the columns' definitions, and those
  // of the other columns through them.
  std::vector<CellSource> numberCells;
  std::vector<CellSource> textCells;
  std::vector<size_t> otherCells;
  bool ended = false;
  OutputObject *open = nullptr;  // output object created from this table and not yet emitted
  OutputObject *kept = nullptr;  // output object made again for each output of this table
  // The table as last emitted under the template of `emittedPath`: its
  // columns (formats from the template) and attributes, with those of the
  // output in `emittedOwn`, serve the next output of the same path, and its
  // rows are written over by the next output's. It is the content of an
  // item of its own, which takes the place in force while the sink reads it.
  // Its shape is 0 when a column, a format or an attribute has changed since.
  std::string emittedPath;
  Attributes emittedOwn;
  const OutputObject *emittedAs = nullptr;  // an output holding those two as they are
  Item emitted;                             // holds a Table
  Table &emittedTable() { return std::get<Table>(emitted.content); }
};

// The handles of an object made again for each use, taken in turn: each is a
// word holding the class record, so that the handle of one of its last uses
// is told apart from the handle of the current one. All of them stay in the
// step's handles, standing for the object, as long as it is not freed.
inline constexpr uint32_t kFaces = 16;
struct Faces {
  uint32_t generation = 0;  // uses so far: which face is the handle
  std::array<wobclass *, kFaces> words{};
  void *current() { return &words[generation % kFaces]; }
  // Moves on to the next face, of class `cls`.
  void *next(wobclass *cls) {
    ++generation;
    words[generation % kFaces] = cls;
    return current();
  }
};

struct OutputObject : HostObject {
  TableObject *table = nullptr;         // the template
  std::string path;                     // template path
  Attributes attributes;                // attributes given when it was created
  std::vector<std::vector<Cell>> rows;  // those from `filled` on are spares to be written over
  size_t filled = 0;                    // rows written
  bool emitted = false;
  Faces faces;  // one for each output made in this object
  // The slots of the call that made it last, which set its path and
  // attributes: a call with the same slots sets them alike as long as no
  // text they name has been released since (`citedGone` of the step is still
  // `citedGoneThen`). Empty when they may have changed since.
  std::vector<wobprop> lastCall;
  uint64_t citedGoneThen = 0;
};

struct GroupObject : HostObject {
  GroupRef ref;  // its name and serial, and the label its first heading gave
  // The label its group call gave, in force until a heading gives one (a
  // group headed by the call that opens it never takes it): kept apart, each
  // is written over the same text of the group made before.
  std::string givenLabel;
  bool titled = false;               // its first heading has given its label
  GroupObject *enclosing = nullptr;  // the group it was opened in, current again when it closes
  int nested = 0;                    // groups opened in it and not yet released
  Faces faces;                       // one for each group made in this object
};

// `text` written over `out`: a text of the length `out` has, as the texts a
// step writes again mostly are (the next variable's name, heading or cell),
// goes over its characters in place, without a call when short.
inline void assignText(std::string &out, std::string_view text) {
  if (out.size() != text.size()) {
    out.assign(text);
  } else if (text.size() <= kShortCopy) {
    copyShort(out.data(), text.data(), text.size());
  } else {
    std::memcpy(out.data(), text.data(), text.size());
  }
}

// A heading in force at one level.
struct Heading {
  int level = 0;
  std::string text;
  char align = 'c';
};

// The headings in force, by level from the outermost. Clearing keeps the
// room of the entries, so that the headings every analysis sets again are
// written over the last ones' characters.
class Headings {
 public:
  // Clears the headings from `level` on.
  void clearFrom(int level) {
    size_t kept = 0;
    while (kept < used_ && entries_[kept].level < level) ++kept;
    used_ = kept;
  }
  // Sets the heading of `level` and clears those after it.
  void set(int level, std::string_view text, char align) {
    clearFrom(level);
    if (used_ == entries_.size()) entries_.emplace_back();
    Heading &heading = entries_[used_++];
    heading.level = level;
    assignText(heading.text, text);
    heading.align = align;
  }
  size_t size() const { return used_; }
  const Heading *begin() const { return entries_.data(); }
  const Heading *end() const { return entries_.data() + used_; }

 private:
  std::vector<Heading> entries_;  // those from `used_` on are spare
  size_t used_ = 0;
};

// The objects of one kind found lately, each in the entry its handle picks:
// 2^Bits entries, a few times as many as a step names objects of the kind.
template <unsigned Bits>
using FoundObjects = std::array<HostObject *, size_t{1} << Bits>;

// Everything of the step being run.
struct StepState {
  std::string proc;
  Log *log = nullptr;
  bool graphics = false;       // the output manager draws graphs
  bool dataSetOutput = false;  // inside a stretch of data-set output
  std::vector<std::shared_ptr<HostObject>>
      objects;  // every object not yet freed, in creation order
  // Freed objects of the recycled kinds, by kind, to be made again.
  std::array<std::vector<std::shared_ptr<HostObject>>, kObjKinds> freed;
  size_t releasedSinceSweep = 0;
  size_t awaitingSweep = 0;             // objects passed over by the last sweep, freed by the next
  std::vector<HostObject *> transient;  // texts and graph data made in the current BY group
  bool byGroupsBegun = false;           // a BY group has started: texts made now are transient
  HandleSet live;                       // the handles of the objects not yet freed
  Headings headings;
  GroupObject *group = nullptr;        // the current output group
  GroupObject *idleGroup = nullptr;    // released, to be made again by the next group opened
  HostObject *managerFound = nullptr;  // the manager a method last found, until it is released
  // The tables methods found lately, each in the entry its handle picks,
  // until it is released.
  FoundObjects<6> tablesFound{};
  // The texts calls named lately, kept alike: the heading and group texts
  // a procedure passes again in every BY group are found without a look-up.
  FoundObjects<8> textsFound{};
  // The output object last made and the handle it was given, until it is
  // emitted or released: the emit that follows finds it without a look-up.
  OutputObject *outputMade = nullptr;
  const void *outputMadeAs = nullptr;
  bool placeChanged = true;  // the headings, the group or the BY group changed since an emit
  bool byChanged = true;     // the BY group changed since an emitted item took its values
  int groupSerial = 0;
  uint64_t citedGone = 0;  // cited texts released so far
  std::vector<ByValue> by;
  ItemSink *sink = nullptr;  // receives each item as it is emitted; null: kept in `items`
  size_t step = 0;           // the step's place in the run
  size_t emitted = 0;        // items emitted so far
  std::vector<Item> items;
  Item emitting;  // the item being emitted: its place is written over the last one's when changed
  ItemPlace tablePlace;  // where a table emitted stands, handed to the sink: it has no graph file
  // The table item the headings and BY values in force are lent to, until
  // the place changes or another item is emitted; null: `emitting` holds them.
  Item *placeLent = nullptr;
};

// The entry of the objects found lately that a handle picks.
template <size_t N>
HostObject *&foundEntry(std::array<HostObject *, N> &found, const void *handle) {
  static_assert(std::has_single_bit(N) && N > 1);
  const auto bits = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(handle));
  return found[(bits * 0x9E3779B97F4A7C15ull) >> (64 - std::countr_zero(N))];
}

// The entry of the tables found lately that the handle of a table picks.
inline HostObject *&tableFound(StepState &state, const void *handle) {
  return foundEntry(state.tablesFound, handle);
}

// The data object behind a data reference that the host handed out when it
// wrapped the object for the graphs; null for anything else.
std::shared_ptr<const DataObject> dataObjectOf(const void *ref);

// The state of the running step, or null between steps: set by the session.
extern StepState *runningStep;
inline StepState *stepState() {
  return runningStep;
}

// Whether freed objects of type T are kept to be made again: the texts,
// outputs and groups that every BY group makes anew.
template <typename T>
constexpr bool kRecycled = std::is_same_v<T, TextObject> || std::is_same_v<T, OutputObject> ||
                           std::is_same_v<T, GroupObject>;

// A freed object made new again: a new T in the storage of the old one.
template <typename T>
void renewObject(T &old) {
  old.~T();
  new (&old) T{};
}

// An output object made new again keeps the room of its path and
// the entries of its attributes, which the next output of a table mostly
// writes again (its creation sets them all anew).
void renewObject(OutputObject &old);
// A group made new again keeps its name and labels, which the group call
// and heading that make it write over.
void renewObject(GroupObject &old);

// A fresh object of type T, made again from a freed one when one is kept,
// in the storage of the old one, which its owner goes on holding.
template <typename T>
std::shared_ptr<HostObject> freshObject(StepState &state, ObjKind kind) {
  if constexpr (kRecycled<T>) {
    auto &kept = state.freed[static_cast<size_t>(kind)];
    if (!kept.empty()) {
      std::shared_ptr<HostObject> object = std::move(kept.back());
      kept.pop_back();
      renewObject(*static_cast<T *>(object.get()));
      return object;
    }
  }
  return std::make_shared<T>();
}

// Creates an object of type T (a HostObject) in the step, not yet known by
// any handle.
template <typename T>
T *addObject(StepState &state, ObjKind kind, wobclass *cls, HostObject *parent) {
  std::shared_ptr<HostObject> object = freshObject<T>(state, kind);
  T *made = static_cast<T *>(object.get());
  made->cls = cls;
  made->kind = kind;
  made->released = false;
  made->parent = parent;
  state.objects.push_back(std::move(object));
  return made;
}

// Creates an object of type T (a HostObject) in the step and registers it
// under its own address.
template <typename T>
T *makeObject(StepState &state, ObjKind kind, wobclass *cls, HostObject *parent) {
  T *made = addObject<T>(state, kind, cls, parent);
  made->handle = made;
  state.live.insert(static_cast<HostObject *>(made));
  return made;
}

// The cell a bound column reads now, and the same written over `out`.
Cell readCell(const BoundColumn &bound);
void readCellInto(const BoundColumn &bound, Cell &out);

// The object a handle stands for now, released or not; null for anything else.
inline HostObject *objectOf(const StepState &state, const void *handle) {
  auto *host = static_cast<HostObject *>(state.live.find(handle));
  return host != nullptr && host->handle == handle ? host : nullptr;
}

// The live object behind a handle, of the given kind; null otherwise.
HostObject *findObject(const void *handle, ObjKind kind);

// The text of a text handle; empty (and false) for anything else.
bool textOf(const void *handle, std::string *out);

// Creates a text object; null between steps. A text is an argument of the
// calls that follow, read when it is passed: it is released when the next
// BY group starts. A text made before the step's first BY group lasts the
// whole step, so that a procedure makes the texts it passes in every BY
// group (template paths, attribute names) once.
TextObject *makeText(std::string text);

// Marks an object released; frees the released objects that nothing live
// points at once as many have been released as there are objects, so that
// the step holds what the procedure still uses, however long it runs.
void releaseHostObject(StepState &state, HostObject &object);

// Releases the texts and graph data objects of the BY group that ended.
void releaseTransient(StepState &state);

// Emits an item under the headings, output group and BY group in force. The
// content comes back once the sink has taken the item, for its parts to be
// used again; without a sink the item is kept and an empty table comes back.
Content emitItem(StepState &state, Content content);
// The same for the table held by `held`, which the sink reads where it is
// (without a sink it is moved to the kept items and an empty table is left).
void emitTable(StepState &state, Item &held);

// Method of the manager that draws a graph from a template (graphobj.cpp).
int32_t managerGraph(void *object, void *data, void *classdata, int32_t count, wobprop *props);

// Writes a host condition to the step's log.
void logCondition(int number, const std::vector<std::string> &inserts);

// The class records.
wobclass *rootClass();
wobclass *managerClass();
wobclass *groupClass();
wobclass *tableClass();
wobclass *outputClass();
wobclass *textClass();
wobclass *dataClass();

}  // namespace vyn::output

// Class records and methods of the host's output objects.
#include "vyn/output/objects.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstring>
#include <limits>
#include <optional>
#include <span>
#include <utility>

#include "hostcm/wobgraph.h"
#include "vyn/core/hostmsg.h"
#include "vyn/data/missing.h"
#include "vyn/output/dataobjects.h"
#include "vyn/output/templates.h"

namespace vyn::output {
namespace {

// ---- reading property lists ------------------------------------------------

// A text not found lately, looked up out of line and remembered in `found`.
[[gnu::noinline]] const TextObject *lookUpText(const void *handle, HostObject *&found) {
  HostObject *text = findObject(handle, ObjKind::kText);
  if (text != nullptr) found = text;
  return static_cast<const TextObject *>(text);
}

// The live text behind a handle, remembered as the tables are, so that the
// texts a procedure names again are found without a look-up.
const TextObject *findText(const void *handle) {
  StepState *state = stepState();
  if (state == nullptr) return nullptr;
  HostObject *&found = foundEntry(state->textsFound, handle);
  if (handle != nullptr && handle == found) return static_cast<const TextObject *>(found);
  return lookUpText(handle, found);
}

// The text of a slot holding a text handle (66) or a counted string (20),
// seen where it is held: it lasts as long as the call.
std::optional<std::string_view> slotText(const wobprop &p) {
  if (p.type == kWobString) {
    if (p.v.p == nullptr) return std::string_view();
    return std::string_view(static_cast<const char *>(p.v.p), p.count);
  }
  if (p.type != kWobText) return std::nullopt;
  const TextObject *text = findText(p.v.p);
  if (text == nullptr) return std::nullopt;
  return std::string_view(text->text);
}

std::optional<AttrValue> slotValue(const wobprop &p) {
  switch (p.type) {
    case kWobZero:
    case kWobInt:
    case kWobIntD:
    case kWobCount:
      return static_cast<long long>(p.v.i);
    case kWobDouble:
      return p.v.d;
    case kWobBool:
      return p.v.b.value != 0;
    default:
      if (auto text = slotText(p)) return std::string(*text);
      return std::nullopt;
  }
}

// The slots of one call, from `first` on.
class Props {
 public:
  Props(int32_t count, wobprop *props, int32_t first = 0)
      : begin_(props == nullptr || count <= first ? nullptr : props + first),
        end_(begin_ == nullptr ? nullptr : props + count) {}

  wobprop *begin() const { return begin_; }
  wobprop *end() const { return end_; }

  wobprop *find(uint16_t key) const {
    for (wobprop *p = begin_; p != end_; ++p) {
      if (p->key == key) return p;
    }
    return nullptr;
  }
  std::optional<std::string_view> text(uint16_t key) const {
    const wobprop *p = find(key);
    return p == nullptr ? std::nullopt : slotText(*p);
  }
  std::optional<int32_t> integer(uint16_t key) const {
    const wobprop *p = find(key);
    if (p == nullptr) return std::nullopt;
    if (p->type == kWobBool) return p->v.b.value;
    return p->v.i;
  }
  // The n-th slot (from 0) holding an object handle under key 0.
  wobprop *object(int n) const {
    for (wobprop *p = begin_; p != end_; ++p) {
      if (p->key == kKeyNone && p->type == kWobObject && n-- == 0) return p;
    }
    return nullptr;
  }
  // Each 311 name followed by its 287 value; the name lasts as long as the call.
  template <typename Fn>
  void eachAttribute(Fn &&fn) const {
    for (wobprop *p = begin_; p != end_ && p + 1 != end_; ++p) {
      if (p->key != kKeyAttribute || p[1].key != kKeyValue) continue;
      auto name = slotText(*p);
      auto value = slotValue(p[1]);
      if (name && value) fn(*name, *value);
    }
  }

 private:
  wobprop *begin_;
  wobprop *end_;
};

int32_t badProperty(const char *method, const char *what) {
  logCondition(kMsgBadProperty, {method, what});
  return kStatusBadProperty;
}

// The live object behind a handle, of any kind; null otherwise.
HostObject *anyObject(void *object) {
  StepState *state = stepState();
  HostObject *host = state == nullptr ? nullptr : objectOf(*state, object);
  return host == nullptr || host->released ? nullptr : host;
}

template <typename T>
T *self(void *object, ObjKind kind) {
  HostObject *found = findObject(object, kind);
  if (found == nullptr) logCondition(kMsgStaleHandle, {"method call"});
  return static_cast<T *>(found);
}

// The manager a method is called on. The step remembers the one it found
// last, until that one is released, so that the many calls a procedure
// makes on its manager find it without a look-up.
HostObject *selfManager(void *object) {
  StepState *state = stepState();
  if (state != nullptr && object != nullptr && object == state->managerFound) {
    return state->managerFound;
  }
  auto *manager = self<HostObject>(object, ObjKind::kManager);
  if (state != nullptr) state->managerFound = manager;
  return manager;
}

// A table not found lately, looked up out of line and remembered in `found`.
[[gnu::noinline]] TableObject *lookUpTable(void *object, HostObject *&found) {
  auto *table = self<TableObject>(object, ObjKind::kTable);
  if (table != nullptr) found = table;
  return table;
}

// The table a method is called on in the step, remembered as the manager is,
// so that the calls on the tables of a step find them without a look-up.
TableObject *stepTable(StepState &state, void *object) {
  HostObject *&found = tableFound(state, object);
  if (object != nullptr && object == found) return static_cast<TableObject *>(found);
  return lookUpTable(object, found);
}

TableObject *selfTable(void *object) {
  StepState *state = stepState();
  if (state == nullptr) return self<TableObject>(object, ObjKind::kTable);
  return stepTable(*state, object);
}

// ---- creating objects --------------------------------------------------------

// Room for the columns of a typical table, taken at once.
constexpr size_t kTypicalColumns = 16;

int32_t createChild(void *object, int32_t count, wobprop *props, bool manager) {
  const Props p(count, props);
  StepState *state = stepState();
  auto *parent = static_cast<HostObject *>(object);
  wobprop *out = p.find(kKeyCreated);
  auto kind = p.text(kKeyKind);
  if (state == nullptr || out == nullptr || !kind) return badProperty("147", "144, 146");
  if (manager && *kind == "manager") {
    out->v.p = static_cast<HostObject *>(
        makeObject<HostObject>(*state, ObjKind::kManager, managerClass(), parent));
    return 0;
  }
  if (manager || *kind != "data") return badProperty("147", "146");
  if (createsDataObject(count, props)) return createDataObject(parent, count, props);
  auto *table = makeObject<TableObject>(*state, ObjKind::kTable, tableClass(), parent);
  table->name = p.text(kKeyName).value_or("");
  table->label = p.text(kKeyLabel).value_or("");
  table->columns.reserve(kTypicalColumns);
  table->numberCells.reserve(kTypicalColumns);
  table->textCells.reserve(kTypicalColumns);
  out->v.p = static_cast<HostObject *>(table);
  return 0;
}

int32_t rootCreate(void *object, void *, void *, int32_t count, wobprop *props) {
  if (self<HostObject>(object, ObjKind::kRoot) == nullptr) return kStatusBadHandle;
  return createChild(object, count, props, true);
}

int32_t managerCreate(void *object, void *, void *, int32_t count, wobprop *props) {
  if (selfManager(object) == nullptr) return kStatusBadHandle;
  return createChild(object, count, props, false);
}

// ---- the manager: groups, headings, notes, output objects ---------------------

// A new object registered in the step; its handles are its faces.
template <typename T>
T *newFacedObject(StepState &state, ObjKind kind, wobclass *cls, HostObject *parent) {
  T *made = addObject<T>(state, kind, cls, parent);
  for (wobclass *&face : made->faces.words) state.live.insert(&face, made);
  return made;
}

// The group a group call opens: the one last released when it waits to be
// made again, else a new one. Its handle is the next of its faces.
GroupObject *openGroup(StepState &state, HostObject *manager) {
  GroupObject *group = std::exchange(state.idleGroup, nullptr);
  if (group != nullptr) {
    renewObject(*group);
  } else {
    group = newFacedObject<GroupObject>(state, ObjKind::kGroup, groupClass(), manager);
  }
  group->parent = manager;
  group->handle = group->faces.next(group->cls);
  return group;
}

// The slots a group call reads: the group comes back in `created`; a slot
// not given is null.
struct GroupSlots {
  wobprop *created = nullptr;
  const wobprop *flag = nullptr;
  const wobprop *name = nullptr;
  const wobprop *label = nullptr;
};

// The slots a heading call reads, the same way.
struct HeadingSlots {
  const wobprop *clear = nullptr;
  const wobprop *level = nullptr;
  const wobprop *text = nullptr;
  const wobprop *align = nullptr;
};

GroupSlots groupSlots(const Props &p) {
  return {p.find(kKeyCreated), p.find(kKeyGroupFlag), p.find(kKeyName), p.find(kKeyLabel)};
}

HeadingSlots headingSlots(const Props &p) {
  return {p.find(kKeyClearLevel), p.find(kKeyHeadingLevel), p.find(kKeyText), p.find(kKeyAlign)};
}

// The text of a slot found, empty when there is none.
std::string_view textOr(const wobprop *p) {
  return p == nullptr ? std::string_view() : slotText(*p).value_or("");
}

std::optional<int32_t> integerOf(const wobprop *p) {
  if (p == nullptr) return std::nullopt;
  if (p->type == kWobBool) return p->v.b.value;
  return p->v.i;
}

// A group call's work on the manager found: the group opened, current, and
// handed back in the created slot. Its label is given apart (giveLabel).
int32_t takeGroupCall(StepState *state, HostObject *manager, const GroupSlots &s) {
  if (manager == nullptr || state == nullptr) return kStatusBadHandle;
  if (s.created == nullptr) return badProperty("300", "144");
  GroupObject *group = openGroup(*state, manager);
  assignText(group->ref.name, textOr(s.name));
  group->ref.serial = ++state->groupSerial;
  if (integerOf(s.flag).value_or(0) != 0 && state->group != nullptr) {
    group->enclosing = state->group;
    ++group->enclosing->nested;
  }
  state->group = group;
  state->placeChanged = true;
  s.created->v.p = group->faces.current();
  return 0;
}

// The label a group call gives the group it opened, in force until a
// heading titles the group.
void giveLabel(GroupObject &group, const wobprop *label) {
  assignText(group.givenLabel, textOr(label));
}

int32_t managerGroup(void *object, void *, void *, int32_t count, wobprop *props) {
  StepState *state = stepState();
  const GroupSlots slots = groupSlots(Props(count, props));
  const int32_t status = takeGroupCall(state, selfManager(object), slots);
  if (status == 0) giveLabel(*state->group, slots.label);
  return status;
}

// A heading call's work: the headings cleared from a level, and one set.
int32_t takeHeadingCall(StepState &state, const HeadingSlots &s) {
  state.placeChanged = true;
  if (auto clear = integerOf(s.clear)) {
    state.headings.clearFrom(*clear);
  }
  auto level = integerOf(s.level);
  if (!level) return 0;
  auto text = s.text == nullptr ? std::nullopt : slotText(*s.text);
  if (!text) return badProperty("439", "577");
  state.headings.set(*level, *text, static_cast<char>(integerOf(s.align).value_or('c')));
  if (state.group != nullptr && !state.group->titled) {
    assignText(state.group->ref.label, *text);
    state.group->titled = true;
  }
  return 0;
}

// The first slot of a heading call is left unfilled by the caller.
int32_t managerHeading(void *object, void *, void *, int32_t count, wobprop *props) {
  StepState *state = stepState();
  if (selfManager(object) == nullptr || state == nullptr) {
    return kStatusBadHandle;
  }
  return takeHeadingCall(*state, headingSlots(Props(count, props, 1)));
}

// Whether a group-and-heading call is laid out as procedures lay it out:
// the group call's four slots, the level cleared from, the heading's level
// and text.
bool laidOutAsUsual(int32_t count, const wobprop *props) {
  return count >= 7 && props[0].key == kKeyCreated && props[1].key == kKeyGroupFlag &&
         props[2].key == kKeyName && props[3].key == kKeyLabel && props[4].key == kKeyClearLevel &&
         props[5].key == kKeyHeadingLevel && props[6].key == kKeyText;
}

// A group call and a heading call in one: the slots before the level the
// headings are cleared from are the group call's, the rest the heading's.
// Laid out as usual, each slot is where a search by key would find it. The
// group call's label is taken only when the heading leaves the group
// untitled: a titled group shows the heading's.
int32_t managerGroupHeading(void *object, void *, void *, int32_t count, wobprop *props) {
  StepState *state = stepState();
  GroupSlots group;
  HeadingSlots heading;
  if (laidOutAsUsual(count, props)) {
    group = {&props[0], &props[1], &props[2], &props[3]};
    heading = {&props[4], &props[5], &props[6], Props(count, props, 7).find(kKeyAlign)};
  } else {
    const wobprop *clear = Props(count, props).find(kKeyClearLevel);
    if (clear == nullptr) return badProperty("301", "442");
    const auto groupSlotCount = static_cast<int32_t>(clear - props);
    group = groupSlots(Props(groupSlotCount, props));
    heading = headingSlots(Props(count, props, groupSlotCount));
  }
  const int32_t status = takeGroupCall(state, selfManager(object), group);
  if (status != 0) return status;
  GroupObject &opened = *state->group;
  const int32_t headed = takeHeadingCall(*state, heading);
  if (!opened.titled) giveLabel(opened, group.label);
  return headed;
}

int32_t managerReady(void *object, void *, void *, int32_t, wobprop *) {
  return selfManager(object) == nullptr ? kStatusBadHandle : 0;
}

int32_t managerNote(void *object, void *, void *, int32_t count, wobprop *props) {
  StepState *state = stepState();
  if (selfManager(object) == nullptr || state == nullptr) {
    return kStatusBadHandle;
  }
  const Props p(count, props);
  auto text = p.text(kKeyText);
  if (!text) return badProperty("358", "577");
  emitItem(*state, Note{std::string(p.text(kKeyName).value_or("")), std::string(*text)});
  return 0;
}

// Whether the attributes of a call are those `held` has: the same names,
// each given once, with the same values.
bool sameAttributes(const Props &p, const Attributes &held) {
  size_t given = 0;
  bool same = true;
  p.eachAttribute([&](std::string_view name, const AttrValue &v) {
    ++given;
    if (!same) return;
    const auto it = held.find(name);
    same = it != held.end() && it->second == v;
  });
  return same && given == held.size();
}

// The attributes of a call written over `out`, left as they are when equal.
void setAttributes(const Props &p, Attributes &out) {
  if (sameAttributes(p, out)) return;
  out.clear();
  p.eachAttribute([&](std::string_view name, const AttrValue &v) { out[std::string(name)] = v; });
}

[[gnu::noinline]] void forgetNamed(HostObject &object) {
  object.named.clear();
}

// The host's part of a kept object made new again, in a few stores: an
// object rarely has named values to let go.
void renewHostPart(HostObject &old) {
  std::fill(std::begin(old.control), std::end(old.control), 0u);
  old.released = false;
  old.swept = false;
  old.referenced = false;
  if (!old.named.empty()) [[unlikely]]
    forgetNamed(old);
}

// The output object of the next output of `table`: the one the table keeps,
// made new again once its last output has been emitted, else a new one (kept
// when the table keeps none). Its handle is the next of its faces.
OutputObject *openOutput(StepState &state, TableObject &table, HostObject *manager) {
  OutputObject *output = table.kept;
  if (output != nullptr && output->emitted) {
    renewHostPart(*output);
    output->filled = 0;
    output->emitted = false;
  } else {
    output = newFacedObject<OutputObject>(state, ObjKind::kOutput, outputClass(), manager);
    if (table.kept == nullptr) table.kept = output;
  }
  output->parent = manager;
  output->handle = output->faces.next(output->cls);
  return output;
}

// An output object emitted is released; the one its table keeps waits to
// be made again, and goes with the table.
void closeOutput(StepState &state, OutputObject &output) {
  if (output.table->kept == &output) {
    output.released = true;
  } else {
    releaseHostObject(state, output);
  }
}

// Whether a slot of a call gives the path and attributes that `held` gave:
// the same key and type, and the same value. Object handles give neither; a
// double is the same only to the bit.
bool sameSlot(const wobprop &given, const wobprop &held) {
  if (given.key != held.key || given.type != held.type) return false;
  switch (given.type) {
    case kWobZero:
    case kWobInt:
    case kWobIntD:
    case kWobCount:
      return given.v.i == held.v.i;
    case kWobDouble:
      return std::bit_cast<uint64_t>(given.v.d) == std::bit_cast<uint64_t>(held.v.d);
    case kWobBool:
      return given.v.b.value == held.v.b.value;
    case kWobObject:
      return true;
    default:
      return given.v.p == held.v.p;
  }
}

// Whether `n` slots hold the same bytes, compared in words without a call:
// a call has a few slots.
bool sameBytes(const wobprop *a, const wobprop *b, size_t n) {
  uint64_t differ = 0;
  for (size_t i = 0; i < n; ++i) {
    uint64_t x[2], y[2];
    std::memcpy(x, &a[i], sizeof x);
    std::memcpy(y, &b[i], sizeof y);
    differ |= (x[0] ^ y[0]) | (x[1] ^ y[1]);
  }
  return differ == 0;
}

// Whether a call sets the path and attributes that `output` has from the
// call it remembers.
bool sameCall(const StepState &state, const OutputObject &output, std::span<const wobprop> call) {
  const std::vector<wobprop> &held = output.lastCall;
  if (held.empty() || state.citedGone != output.citedGoneThen || held.size() != call.size()) {
    return false;
  }
  return sameBytes(held.data(), call.data(), call.size()) ||
         std::equal(call.begin(), call.end(), held.begin(), held.end(), sameSlot);
}

// Remembers a call for `output` when every text it names is live, and none of
// its slots is a counted string, which is read where its caller holds it and
// may have changed by the next call. Its texts are cited, so that releasing
// one forgets the call.
void rememberCall(const StepState &state, OutputObject &output, std::span<const wobprop> call) {
  output.lastCall.clear();
  for (const wobprop &slot : call) {
    if (slot.type == kWobString) return;
    if (slot.type != kWobText) continue;
    auto *text = static_cast<TextObject *>(findObject(slot.v.p, ObjKind::kText));
    if (text == nullptr) return;
    text->cited = true;
  }
  output.lastCall.assign(call.begin(), call.end());
  output.citedGoneThen = state.citedGone;
}

// An output whose path or attributes change no longer stands for those its
// table emitted last.
void forgetEmittedAs(const OutputObject &output) {
  if (output.table->emittedAs == &output) output.table->emittedAs = nullptr;
}

// The path and attributes of an output object, from the call that makes it:
// those it has when the call is the one it remembers.
void takeCall(const StepState &state, OutputObject &output, int32_t count, wobprop *props) {
  const std::span<const wobprop> call(props, static_cast<size_t>(count));
  if (sameCall(state, output, call)) return;
  forgetEmittedAs(output);
  const Props p(count, props);
  output.path = p.text(kKeyPath).value_or("");
  setAttributes(p, output.attributes);
  rememberCall(state, output, call);
}

// The live object an output is made from: a table a method found lately
// without a look-up.
HostObject *templateObject(StepState &state, void *handle) {
  HostObject *&table = tableFound(state, handle);
  if (handle != nullptr && handle == table) return table;
  HostObject *found = anyObject(handle);
  if (found != nullptr && found->kind == ObjKind::kTable) table = found;
  return found;
}

// The live object an emit names: the output object last made when the handle
// is the one it was given, so that the emit that follows each output finds
// it without a look-up.
HostObject *emittedObject(StepState &state, void *handle) {
  if (handle != nullptr && handle == state.outputMadeAs) {
    state.outputMadeAs = nullptr;
    return std::exchange(state.outputMade, nullptr);
  }
  return anyObject(handle);
}

// The next output of `table`, made on `manager` with the path and attributes
// of a call, open for its rows.
OutputObject *makeOutput(StepState &state, TableObject &table, HostObject *manager, int32_t count,
                         wobprop *props) {
  OutputObject *output = openOutput(state, table, manager);
  output->table = &table;
  takeCall(state, *output, count, props);
  output->rows = std::move(table.emittedTable().rows);
  table.open = output;
  return output;
}

int32_t managerOutput(void *object, void *, void *, int32_t count, wobprop *props) {
  StepState *state = stepState();
  auto *manager = selfManager(object);
  if (manager == nullptr || state == nullptr) return kStatusBadHandle;
  const Props p(count, props);
  wobprop *tmpl = p.object(1);
  HostObject *wrapped = tmpl == nullptr ? nullptr : templateObject(*state, tmpl->v.p);
  if (wrapped != nullptr && wrapped->kind == ObjKind::kData) {
    return wrapDataObject(manager, count, props);
  }
  wobprop *out = p.object(0);
  if (out == nullptr || tmpl == nullptr) return badProperty("422", "0, 0");
  auto *table = wrapped != nullptr && wrapped->kind == ObjKind::kTable
                    ? static_cast<TableObject *>(wrapped)
                    : nullptr;
  if (table == nullptr) {
    logCondition(kMsgStaleHandle, {"422"});
    return kStatusBadHandle;
  }
  OutputObject *output = makeOutput(*state, *table, manager, count, props);
  out->v.p = output->faces.current();
  state->outputMade = output;
  state->outputMadeAs = out->v.p;
  return 0;
}

uint64_t newShape() {
  static std::atomic<uint64_t> shapes = 0;
  return ++shapes;
}

// The columns of a table as emitted under the template of `path`.
void emittedColumns(const TableObject &table, const std::string &path, std::vector<Column> &out) {
  const TableTemplate &tmpl = tableTemplate(path);
  out.clear();
  for (const BoundColumn &bound : table.columns) {
    Column c = bound.column;
    c.format = columnFormat(tmpl, c.name, c.format, c.type != ColumnType::kChar);
    out.push_back(std::move(c));
  }
}

// The table of an output object, written over the one its table emitted
// last: its names and columns and its attributes are worked out again only
// when they may differ (a table's name and label never change, the path is
// the one its columns follow, and an output that has kept the path and
// attributes the table emitted last has them still), and the output's rows
// move in.
void prepareEmitted(TableObject &table, OutputObject &output) {
  Table &t = table.emittedTable();
  const bool asBefore = t.shape != 0 && table.emittedAs == &output;
  const bool columnsDue = !asBefore && (t.shape == 0 || table.emittedPath != output.path);
  const bool attributesDue = !asBefore && (t.shape == 0 || table.emittedOwn != output.attributes);
  if (columnsDue) {
    emittedColumns(table, output.path, t.columns);
    table.emittedPath = output.path;
    t.name = table.name;
    t.path = output.path;
    t.label = table.label;
  }
  if (attributesDue) {
    t.attributes = table.attributes;
    for (const auto &[name, value] : output.attributes) t.attributes[name] = value;
    table.emittedOwn = output.attributes;
  }
  if (columnsDue || attributesDue) t.shape = newShape();
  table.emittedAs = &output;
  output.rows.resize(output.filled);
  t.rows = std::move(output.rows);
}

// Emits an open output of a live table; emitted, its rows belong to the
// table.
void emitOutput(StepState &state, OutputObject &output) {
  output.emitted = true;
  TableObject &table = *output.table;
  if (table.open == &output) table.open = nullptr;
  prepareEmitted(table, output);
  emitTable(state, table.emitted);
  closeOutput(state, output);
}

int32_t managerEmit(void *object, void *, void *, int32_t count, wobprop *props) {
  StepState *state = stepState();
  if (selfManager(object) == nullptr || state == nullptr) {
    return kStatusBadHandle;
  }
  wobprop *slot = Props(count, props).object(0);
  HostObject *emitted = slot == nullptr ? nullptr : emittedObject(*state, slot->v.p);
  if (emitted != nullptr && emitted->kind == ObjKind::kPhantom) return releasePhantom(count, props);
  if (slot == nullptr) return badProperty("428", "0");
  auto *output = emitted != nullptr && emitted->kind == ObjKind::kOutput
                     ? static_cast<OutputObject *>(emitted)
                     : nullptr;
  if (output == nullptr || output->emitted || output->table->released) {
    logCondition(kMsgStaleHandle, {"428"});
    return kStatusBadHandle;
  }
  emitOutput(*state, *output);
  return 0;
}

// ---- tables: definition and rows ---------------------------------------------

ColumnType columnTypeOf(int32_t ctype) {
  if (ctype == 6) return ColumnType::kChar;
  return ctype == 3 || ctype == 4 ? ColumnType::kInt : ColumnType::kNum;
}

// "PrintIt" and the "_print..." attributes decide whether a column is shown.
void applyColumnAttribute(Column &column, std::string_view name, const AttrValue &value) {
  column.attributes[std::string(name)] = value;
  const bool printFlag = name == "PrintIt" || name.starts_with("_print");
  if (printFlag && std::holds_alternative<bool>(value)) column.print = std::get<bool>(value);
}

// Where a row reads the cell of the column `bound` about to be added.
void addCellSource(TableObject &table, const BoundColumn &bound) {
  const size_t column = table.columns.size();
  if (bound.cell != nullptr && bound.ctype == 5) {
    table.numberCells.push_back({bound.cell, column, 0});
  } else if (bound.cell != nullptr && bound.ctype == 6) {
    table.textCells.push_back({bound.cell, column, bound.storage});
  } else {
    table.otherCells.push_back(column);
  }
}

int32_t tableColumn(void *object, void *, void *, int32_t count, wobprop *props) {
  auto *table = selfTable(object);
  if (table == nullptr) return kStatusBadHandle;
  if (table->ended) {
    logCondition(kMsgColumnAfterEnd, {table->name});
    return kStatusTableEnded;
  }
  const Props p(count, props);
  auto name = p.text(kKeyName);
  if (!name) return badProperty("338", "138");
  BoundColumn bound;
  bound.ctype = p.integer(kKeyColumnType).value_or(5);
  const wobprop *cell = p.find(kKeyCell);
  bound.cell = cell == nullptr ? nullptr : cell->v.p;
  bound.storage = p.integer(kKeyStorage).value_or(0);
  Column &c = bound.column;
  c.name = *name;
  c.label = p.text(kKeyLabel).value_or("");
  c.type = columnTypeOf(bound.ctype);
  c.format = p.text(kKeyFormat).value_or("");
  c.width = p.integer(kKeyWidth).value_or(0);
  p.eachAttribute([&](std::string_view n, const AttrValue &v) { applyColumnAttribute(c, n, v); });
  addCellSource(*table, bound);
  table->columns.push_back(std::move(bound));
  table->width = table->columns.size();
  table->emittedTable().shape = 0;
  return 0;
}

int32_t tableAttribute(void *object, void *, void *, int32_t count, wobprop *props) {
  auto *table = self<TableObject>(object, ObjKind::kTable);
  if (table == nullptr) return kStatusBadHandle;
  Props(count, props).eachAttribute([&](std::string_view n, const AttrValue &v) {
    table->attributes[std::string(n)] = v;
  });
  table->emittedTable().shape = 0;
  return 0;
}

int32_t tableFormat(void *object, void *, void *, int32_t count, wobprop *props) {
  auto *table = self<TableObject>(object, ObjKind::kTable);
  if (table == nullptr) return kStatusBadHandle;
  const Props p(count, props);
  auto number = p.integer(kKeyColumnNumber);
  auto format = p.text(kKeyFormat);
  if (!number || !format || *number < 1 || *number > static_cast<int32_t>(table->columns.size())) {
    return badProperty("346", "347, 340");
  }
  table->columns[static_cast<size_t>(*number - 1)].column.format = *format;
  table->emittedTable().shape = 0;
  return 0;
}

int32_t tableEnd(void *object, void *, void *, int32_t, wobprop *) {
  auto *table = self<TableObject>(object, ObjKind::kTable);
  if (table == nullptr) return kStatusBadHandle;
  table->ended = true;
  return 0;
}

void putNumber(double v, Cell &out) {
  if (v != v) {
    out = Missing{vyn::data::missingLetter(v)};
  } else if (v == std::numeric_limits<double>::infinity()) {
    out = Missing{'I'};
  } else if (v == -std::numeric_limits<double>::infinity()) {
    out = Missing{'M'};
  } else {
    out = v;
  }
}

// Characters of a bound buffer without trailing blanks: exactly `storage`
// bytes when positive (NUL bytes are characters there), else up to a NUL
// within |storage| (256 when unset).
std::string_view bufferText(const char *buffer, int32_t storage) {
  const size_t limit = storage > 0   ? static_cast<size_t>(storage)
                       : storage < 0 ? static_cast<size_t>(-static_cast<int64_t>(storage))
                                     : 256;
  size_t n = storage > 0 ? limit : strnlen(buffer, limit);
  while (n > 0 && buffer[n - 1] == ' ') --n;
  return {buffer, n};
}

[[gnu::noinline]] void putNewText(std::string_view text, Cell &out) {
  out = std::string(text);
}

// Text into a cell, over the characters it holds when it holds text, as a
// cell written again mostly does.
void putText(std::string_view text, Cell &out) {
  if (auto *held = std::get_if<std::string>(&out)) [[likely]] {
    assignText(*held, text);
  } else {
    putNewText(text, out);
  }
}

}  // namespace

void readCellInto(const BoundColumn &bound, Cell &out) {
  if (bound.cell == nullptr) {
    if (bound.ctype == 6) {
      putText({}, out);
    } else {
      out = Missing{'.'};
    }
    return;
  }
  switch (bound.ctype) {
    case 6:
      return putText(bufferText(static_cast<const char *>(bound.cell), bound.storage), out);
    case 3:
    case 4: {
      int32_t v;
      std::memcpy(&v, bound.cell, sizeof v);
      out = static_cast<long long>(v);
      return;
    }
    default: {
      double v;
      std::memcpy(&v, bound.cell, sizeof v);
      putNumber(v, out);
    }
  }
}

Cell readCell(const BoundColumn &bound) {
  Cell cell;
  readCellInto(bound, cell);
  return cell;
}

namespace {

// The doubles of the numeric columns into their cells: a number (neither
// missing nor infinite) over the number a cell holds, as most cells of a row
// written again are, is stored straight; anything else goes through
// putNumber, out of the walk.
void readNumbers(const TableObject &table, Cell *cells) {
#pragma GCC unroll 4
  for (const CellSource &n : table.numberCells) {
    uint64_t bits;
    std::memcpy(&bits, n.from, sizeof bits);
    Cell &out = cells[n.column];
    if (out.index() == 0 && (bits << 1) < (uint64_t{0x7FF} << 53)) [[likely]] {
      std::memcpy(&std::get<double>(out), &bits, sizeof bits);
    } else {
      putNumber(std::bit_cast<double>(bits), out);
    }
  }
}

// The row of `rows` after the `filled` ones (added when there is none), as
// wide as `table`: a row written again mostly is.
Cell *nextRow(const TableObject &table, std::vector<std::vector<Cell>> &rows, size_t &filled) {
  if (filled == rows.size()) rows.emplace_back();
  std::vector<Cell> &row = rows[filled++];
  if (row.size() != table.width) row.resize(table.width);
  return row.data();
}

// The cells `table` holds now written over `cells`, a row as wide as it.
void readCells(const TableObject &table, Cell *cells) {
  readNumbers(table, cells);
  for (const CellSource &t : table.textCells) {
    putText(bufferText(static_cast<const char *>(t.from), t.storage), cells[t.column]);
  }
  for (size_t k : table.otherCells) readCellInto(table.columns[k], cells[k]);
}

// The row the cells of `table` hold now, written over the row of `rows` after
// the `filled` ones.
void readRow(const TableObject &table, std::vector<std::vector<Cell>> &rows, size_t &filled) {
  readCells(table, nextRow(table, rows, filled));
}

// The one row of a table emitted before, as wide as the table, written over
// with the cells it holds now; a table whose rows were more or fewer, or of
// another width, has its rows made so.
void readOnlyRow(const TableObject &table, std::vector<std::vector<Cell>> &rows) {
  if (rows.size() == 1 && rows.front().size() == table.width) [[likely]] {
    readCells(table, rows.front().data());
    return;
  }
  size_t filled = 0;
  readRow(table, rows, filled);
  rows.resize(filled);
}

int32_t tableRow(void *object, void *, void *, int32_t, wobprop *) {
  auto *table = selfTable(object);
  if (table == nullptr) return kStatusBadHandle;
  if (table->open == nullptr) {
    logCondition(kMsgRowWithoutOutput, {table->name});
    return kStatusNoOutput;
  }
  readRow(*table, table->open->rows, table->open->filled);
  return 0;
}

// The output `table` keeps, emitted last with the path and attributes the
// table emitted and made again by the same call, is made, given the row and
// emitted where the table keeps the rows: nothing else of it changes.
bool emitAsBefore(StepState &state, TableObject &table, HostObject *manager,
                  std::span<const wobprop> call) {
  OutputObject *output = table.kept;
  if (output == nullptr || !output->emitted || table.emittedAs != output || table.open != nullptr) {
    return false;
  }
  Table &t = table.emittedTable();
  if (t.shape == 0 || !sameCall(state, *output, call)) return false;
  renewHostPart(*output);
  output->parent = manager;
  output->handle = output->faces.next(output->cls);
  output->filled = 1;
  readOnlyRow(table, t.rows);
  emitTable(state, table.emitted);
  output->released = true;
  return true;
}

// An output of the table made, given the row its cells hold now and emitted,
// in one call: the path and attributes as an output call gives them, on the
// manager the table was created on.
int32_t tableRowOutput(void *object, void *, void *, int32_t count, wobprop *props) {
  StepState *state = stepState();
  if (state == nullptr) return kStatusBadHandle;
  TableObject *table = stepTable(*state, object);
  if (table == nullptr) return kStatusBadHandle;
  HostObject *manager = table->parent;
  if (manager == nullptr || manager->released) {
    logCondition(kMsgStaleHandle, {"331"});
    return kStatusBadHandle;
  }
  if (emitAsBefore(*state, *table, manager, {props, static_cast<size_t>(count)})) return 0;
  OutputObject *output = makeOutput(*state, *table, manager, count, props);
  readRow(*table, output->rows, output->filled);
  emitOutput(*state, *output);
  return 0;
}

int32_t tableLast(void *object, void *, void *, int32_t, wobprop *) {
  return selfTable(object) == nullptr ? kStatusBadHandle : 0;
}

int32_t outputAttribute(void *object, void *, void *, int32_t count, wobprop *props) {
  auto *output = self<OutputObject>(object, ObjKind::kOutput);
  if (output == nullptr) return kStatusBadHandle;
  Props(count, props).eachAttribute([&](std::string_view n, const AttrValue &v) {
    output->attributes[std::string(n)] = v;
  });
  output->lastCall.clear();
  forgetEmittedAs(*output);
  return 0;
}

// ---- every object: named values, lookups, matrices ----------------------------

// A fact (296 label, 287 value) or a named value (name under key 0, then the
// value slot itself or a reference to it).
int32_t objectFact(void *object, void *, void *, int32_t count, wobprop *props) {
  HostObject *host = anyObject(object);
  if (host == nullptr) return kStatusBadHandle;
  const Props p(count, props);
  std::optional<std::string_view> name = p.text(kKeyLabel);
  const wobprop *value = p.find(kKeyValue);
  if (!name && count >= 2 && props[0].key == kKeyNone) {
    name = slotText(props[0]);
    value = &props[1];
    if (value->type == kWobRef && value->v.p != nullptr) value = static_cast<wobprop *>(value->v.p);
  }
  if (!name || value == nullptr) return badProperty("164", "296, 287");
  host->named.push_back({std::string(*name), std::make_unique<wobprop>(*value)});
  return 0;
}

const wobprop *findNamed(const HostObject *host, std::string_view name) {
  const std::vector<NamedValue> &values = host->named;
  for (auto it = values.rbegin(); it != values.rend(); ++it) {
    if (it->name == name) return it->value.get();
  }
  return nullptr;
}

// Looks up a named value. The result slot (the last of type 28) receives a
// reference to the stored slot; the name "^P_S_T^" asks for the parent
// object, returned as an object handle.
int32_t objectLookup(void *object, void *, void *, int32_t count, wobprop *props) {
  HostObject *host = anyObject(object);
  if (host == nullptr) return kStatusBadHandle;
  if (count < 2) return badProperty("175", "0, 28");
  wobprop &result = props[count - 1];
  auto name = slotText(props[0]);
  if (!name) return badProperty("175", "0");
  if (*name == "^P_S_T^") {
    if (host->parent == nullptr) return kWobNotFound;
    result.type = kWobObject;
    result.v.p = host->parent;
    return 0;
  }
  const wobprop *found = findNamed(host, *name);
  if (found == nullptr) return kWobNotFound;
  result.type = kWobRef;
  result.count = 1;
  result.v.p = const_cast<wobprop *>(found);
  return 0;
}

int32_t objectMatrix(void *object, void *, void *, int32_t, wobprop *) {
  return anyObject(object) == nullptr ? kStatusBadHandle : 0;
}

void swapHeadingsAndBy(Item &a, Item &b) {
  a.titles.swap(b.titles);
  a.by.swap(b.by);
  std::swap(a.place, b.place);
}

// The item holding the headings and BY values in force: the table item they
// were lent to last, else the item being emitted.
Item &placeHolder(StepState &state) {
  return state.placeLent != nullptr ? *state.placeLent : state.emitting;
}

// The headings and BY values lent to a table item taken back by the item
// being emitted.
void takePlaceBack(StepState &state) {
  if (Item *lent = std::exchange(state.placeLent, nullptr))
    swapHeadingsAndBy(state.emitting, *lent);
}

// A table released lets its open output go, and the output it keeps
// with it unless that one is open; the place lent to its item comes back.
void releaseTableParts(StepState &state, TableObject &table) {
  if (state.placeLent == &table.emitted) takePlaceBack(state);
  table.open = nullptr;
  OutputObject *kept = std::exchange(table.kept, nullptr);
  if (kept != nullptr && kept->emitted) releaseHostObject(state, *kept);
}

// A released group's handle is refused from now on. A group that no open
// group was opened in waits to be made again by the next group opened;
// another goes as released objects go.
void releaseGroup(StepState &state, GroupObject &group) {
  if (group.enclosing != nullptr) --group.enclosing->nested;
  if (group.nested == 0 && state.idleGroup == nullptr) {
    group.released = true;
    state.idleGroup = &group;
    return;
  }
  releaseHostObject(state, group);
}

// The live object a release names: the group in force, as a procedure
// releases it before it opens the next, found without a look-up.
HostObject *releasedObject(StepState *state, void *handle) {
  if (state != nullptr && state->group != nullptr && handle == state->group->handle) {
    return state->group;
  }
  return anyObject(handle);
}

// Release through word 10 of the class: the object is marked and its links
// undone; a later sweep frees it. A group opened inside another gives
// the current place back to that one.
int32_t releaseObject(void *object, void *, int32_t, int32_t, int32_t) {
  StepState *state = stepState();
  HostObject *host = releasedObject(state, object);
  if (host == nullptr) return kStatusBadHandle;
  if (host == state->group) {
    GroupObject *enclosing = state->group->enclosing;
    state->group = enclosing != nullptr && !enclosing->released ? enclosing : nullptr;
    state->placeChanged = true;
  }
  if (host->kind == ObjKind::kOutput) {
    auto *output = static_cast<OutputObject *>(host);
    if (output->table->kept == output) output->table->kept = nullptr;
  }
  if (host->kind == ObjKind::kTable) releaseTableParts(*state, *static_cast<TableObject *>(host));
  if (host->kind == ObjKind::kGroup) {
    releaseGroup(*state, *static_cast<GroupObject *>(host));
  } else {
    releaseHostObject(*state, *host);
  }
  return 0;
}

// ---- class records -------------------------------------------------------------

struct MethodDef {
  int32_t method;
  wobfn fn;
};

// Buckets enough that the methods a step calls most each head their own.
constexpr uintptr_t kBucketMask = 63;

// A class record with its buckets, entries and implementations.
class ClassRecord {
 public:
  ClassRecord(const char *name, wobclass *parent, std::vector<MethodDef> methods)
      : impls_(methods.size()), entries_(methods.size()) {
    buckets_.fill(nullptr);
    for (size_t i = 0; i < methods.size(); ++i) {
      impls_[i] = {methods[i].fn, nullptr, nullptr};
      const uintptr_t b = static_cast<uint32_t>(methods[i].method) & kBucketMask;
      entries_[i] = {buckets_[b], nullptr, &impls_[i], methods[i].method};
      buckets_[b] = &entries_[i];
    }
    record_ = {name, parent, buckets_.data(), kBucketMask, {}, &releaseObject, nullptr};
  }
  wobclass *get() { return &record_; }

 private:
  std::vector<wobimpl> impls_;
  std::vector<wobment> entries_;
  std::array<wobment *, kBucketMask + 1> buckets_;
  wobclass record_;
};

wobclass *objectClass() {
  static ClassRecord record(
      "ulx.object", nullptr,
      {{kMthFact, objectFact}, {kMthLookup, objectLookup}, {kMthMatrix, objectMatrix}});
  return record.get();
}

}  // namespace

namespace {

void markReferenced(HostObject *object) {
  if (object != nullptr) object->referenced = true;
}

// What a live object points at: its parent and the objects it works with.
// None of them has been freed: a sweep keeps whatever a live object points
// at, and an object only comes to point at live ones.
void markReferences(const HostObject &object) {
  markReferenced(object.parent);
  switch (object.kind) {
    case ObjKind::kTable:
      markReferenced(static_cast<const TableObject &>(object).open);
      markReferenced(static_cast<const TableObject &>(object).kept);
      break;
    case ObjKind::kOutput:
      markReferenced(static_cast<const OutputObject &>(object).table);
      break;
    case ObjKind::kGroup:
      markReferenced(static_cast<const GroupObject &>(object).enclosing);
      break;
    case ObjKind::kPhantom:
      markReferenced(static_cast<const PhantomObject &>(object).wrapped);
      break;
    default:
      break;
  }
}

// The faces of an object made again for each use; null for other objects.
Faces *facesOf(HostObject &object) {
  if (object.kind == ObjKind::kOutput) return &static_cast<OutputObject &>(object).faces;
  if (object.kind == ObjKind::kGroup) return &static_cast<GroupObject &>(object).faces;
  return nullptr;
}

// Takes the handles of a freed object out of the step's handles.
void forgetHandles(StepState &state, HostObject &object) {
  state.live.erase(&object);
  if (Faces *faces = facesOf(object)) {
    for (wobclass *&face : faces->words) state.live.erase(&face);
  }
}

// Keeps a freed object of a recycled kind, as many as a sweep frees at most.
void keepFreed(StepState &state, std::shared_ptr<HostObject> object) {
  constexpr size_t kMostKept = 256;
  const bool recycled = object->kind == ObjKind::kText || object->kind == ObjKind::kOutput ||
                        object->kind == ObjKind::kGroup;
  auto &kept = state.freed[static_cast<size_t>(object->kind)];
  if (recycled && object.use_count() == 1 && kept.size() < kMostKept)
    kept.push_back(std::move(object));
}

// Every object starts unmarked and a sweep leaves the ones it keeps unmarked,
// so a sweep marks and frees in two passes over the objects.
void sweepReleased(StepState &state) {
  for (HostObject *text : state.transient) markReferenced(text);
  markReferenced(state.group);
  markReferenced(state.idleGroup);
  for (const auto &object : state.objects) {
    if (!object->released) markReferences(*object);
  }
  size_t awaiting = 0;
  std::erase_if(state.objects, [&](std::shared_ptr<HostObject> &object) {
    const bool referenced = object->referenced;
    object->referenced = false;
    if (object->released && !referenced) {
      if (object->swept) {
        forgetHandles(state, *object);
        keepFreed(state, std::move(object));
        return true;
      }
      object->swept = true;
    }
    if (object->swept) ++awaiting;
    return false;
  });
  state.releasedSinceSweep = 0;
  state.awaitingSweep = awaiting;
}

void markReleased(StepState &state, HostObject &object) {
  object.released = true;
  if (&object == state.managerFound) state.managerFound = nullptr;
  if (HostObject *&table = tableFound(state, &object); table == &object) table = nullptr;
  if (HostObject *&text = foundEntry(state.textsFound, &object); text == &object) text = nullptr;
  if (&object == state.outputMade) {
    state.outputMade = nullptr;
    state.outputMadeAs = nullptr;
  }
  ++state.releasedSinceSweep;
  if (object.kind == ObjKind::kText && static_cast<TextObject &>(object).cited) ++state.citedGone;
}

// A sweep is due once half as many objects have been released as there are
// objects besides those awaiting their second sweep: counting those too
// would put every sweep further off than the one before, and the objects
// kept would grow with the run.
void sweepIfDue(StepState &state) {
  const size_t kept = state.objects.size() - state.awaitingSweep;
  if (state.releasedSinceSweep >= std::max<size_t>(kept / 2, 64)) {
    sweepReleased(state);
  }
}

}  // namespace

void releaseHostObject(StepState &state, HostObject &object) {
  markReleased(state, object);
  sweepIfDue(state);
}

void releaseTransient(StepState &state) {
  for (HostObject *text : state.transient) {
    if (!text->released) markReleased(state, *text);
  }
  state.transient.clear();
  sweepIfDue(state);
}

namespace {

// The headings in force, outermost first, written over `titles`.
void placeTitles(const StepState &state, std::vector<std::string> &titles) {
  titles.resize(state.headings.size());
  auto title = titles.begin();
  for (const Heading &heading : state.headings) assignText(*title++, heading.text);
}

// The output group in force written over `group`: groups follow each other
// with names and labels of the same length, such as one variable's after
// another's.
[[gnu::always_inline]] inline void placeGroup(const StepState &state, GroupRef &group) {
  const GroupObject *open = state.group;
  if (open == nullptr) {
    group.name.clear();
    group.label.clear();
    group.serial = 0;
    return;
  }
  assignText(group.name, open->ref.name);
  assignText(group.label, open->titled ? open->ref.label : open->givenLabel);
  group.serial = open->ref.serial;
}

// The BY values in force written over `by`: the values of one BY group
// mostly have the lengths of the last one's.
void placeBy(const std::vector<ByValue> &from, std::vector<ByValue> &by) {
  by.resize(from.size());
  for (size_t i = 0; i < from.size(); ++i) {
    assignText(by[i].name, from[i].name);
    assignText(by[i].value, from[i].value);
    assignText(by[i].formatted, from[i].formatted);
  }
}

uint64_t newPlace() {
  static std::atomic<uint64_t> places = 0;
  return ++places;
}

}  // namespace

void renewObject(OutputObject &old) {
  renewHostPart(old);
  old.table = nullptr;
  old.path.clear();
  old.rows.clear();
  old.filled = 0;
  old.emitted = false;
  old.lastCall.clear();
}

void renewObject(GroupObject &old) {
  renewHostPart(old);
  old.ref.serial = 0;
  old.titled = false;
  old.enclosing = nullptr;
  old.nested = 0;
}

namespace {

// The place in force lent to a table item, which keeps it for the emits of
// the same table under it: the headings and BY values swapped over from the
// item holding them, the short group texts copied from the group in force.
// Lent from one table item to the next, the place costs one swap an emit,
// and none for a table emitted again where it was.
void lendPlace(StepState &state, Item &held) {
  if (state.placeLent == &held) return;
  swapHeadingsAndBy(placeHolder(state), held);
  placeGroup(state, held.group);
  state.placeLent = &held;
}

// Takes the headings and BY group in force as the place of the item being
// emitted; the item that takes the place takes the output group in force.
[[gnu::noinline]] void placeAnew(StepState &state) {
  takePlaceBack(state);
  Item &item = state.emitting;
  placeTitles(state, item.titles);
  if (state.byChanged || item.place == 0) placeBy(state.by, item.by);
  item.place = newPlace();
  state.placeChanged = false;
  state.byChanged = false;
}

// Brings the place of the item being emitted up to the headings, output
// group and BY group in force; most items are emitted where the last was.
void refreshPlace(StepState &state) {
  if (state.placeChanged || placeHolder(state).place == 0) placeAnew(state);
}

// Emits the item being emitted, its content in place, under the headings,
// output group and BY group in force; false when it was kept in `items`.
bool emitHeld(StepState &state) {
  refreshPlace(state);
  takePlaceBack(state);
  Item &item = state.emitting;
  placeGroup(state, item.group);
  const size_t index = state.emitted++;
  if (state.sink == nullptr) {
    state.items.push_back(std::move(item));
    item.place = 0;  // its place went with it
    return false;
  }
  state.sink->item(item, {state.step, index, {}});
  return true;
}

}  // namespace

Content emitItem(StepState &state, Content content) {
  state.emitting.content = std::move(content);
  if (!emitHeld(state)) return Table{};
  return std::move(state.emitting.content);
}

void emitTable(StepState &state, Item &held) {
  if (state.sink == nullptr) {
    state.emitting.content = std::move(held.content);
    emitHeld(state);
    held.content = Table{};
    return;
  }
  refreshPlace(state);
  ItemPlace &place = state.tablePlace;
  place.step = state.step;
  place.index = state.emitted++;
  lendPlace(state, held);
  state.sink->item(held, place);
}

wobclass *rootClass() {
  static ClassRecord record("ulx.root", objectClass(), {{kMthCreate, rootCreate}});
  return record.get();
}

wobclass *managerClass() {
  static ClassRecord record("ulx.manager", objectClass(),
                            {{kMthCreate, managerCreate},
                             {kMthGroup, managerGroup},
                             {kMthGroupHead, managerGroupHeading},
                             {kMthHeading, managerHeading},
                             {kMthReady, managerReady},
                             {kMthNote, managerNote},
                             {kMthOutput, managerOutput},
                             {kMthEmit, managerEmit},
                             {kMthGetProperty, managerProperty},
                             {kMthDataSet, managerDataSet},
                             {kMthGraph, managerGraph}});
  return record.get();
}

wobclass *groupClass() {
  static ClassRecord record("ulx.group", objectClass(), {});
  return record.get();
}

wobclass *tableClass() {
  static ClassRecord record("ulx.table", objectClass(),
                            {{kMthColumn, tableColumn},
                             {kMthAttribute, tableAttribute},
                             {kMthFormat, tableFormat},
                             {kMthEndTable, tableEnd},
                             {kMthRow, tableRow},
                             {kMthRowOutput, tableRowOutput},
                             {kMthLastOut, tableLast}});
  return record.get();
}

wobclass *outputClass() {
  static ClassRecord record("ulx.output", objectClass(), {{kMthAttribute, outputAttribute}});
  return record.get();
}

wobclass *dataClass() {
  static ClassRecord record("ulx.data", objectClass(),
                            {{kMthColumn, dataColumn},
                             {kMthEndTable, dataEnd},
                             {kMthRow, dataRow},
                             {kMthLastOut, dataClose}});
  return record.get();
}

wobclass *textClass() {
  static ClassRecord record("ulx.text", objectClass(), {});
  return record.get();
}

HostObject *findObject(const void *handle, ObjKind kind) {
  StepState *state = stepState();
  HostObject *host = state == nullptr ? nullptr : objectOf(*state, handle);
  return host == nullptr || host->released || host->kind != kind ? nullptr : host;
}

bool textOf(const void *handle, std::string *out) {
  auto *text = static_cast<TextObject *>(findObject(handle, ObjKind::kText));
  if (text == nullptr) return false;
  *out = text->text;
  return true;
}

TextObject *makeText(std::string text) {
  StepState *state = stepState();
  if (state == nullptr) return nullptr;
  auto *made = makeObject<TextObject>(*state, ObjKind::kText, textClass(), nullptr);
  made->text = std::move(text);
  if (state->byGroupsBegun) state->transient.push_back(made);
  return made;
}

void logCondition(int number, const std::vector<std::string> &inserts) {
  StepState *state = stepState();
  if (state != nullptr && state->log != nullptr) logHostMessage(*state->log, number, inserts);
}

}  // namespace vyn::output

// Graph data objects on the host side.
#include "vyn/output/dataobjects.h"

#include <optional>
#include <string>
#include <utility>

#include "vyn/output/session.h"

namespace vyn::output {
namespace {

// Property keys of the data-object calls.
constexpr uint16_t kKeyGraphicsOn = 1334;
constexpr uint16_t kKeyDataSet = 451;
constexpr uint16_t kKeyObservations = 336;
constexpr uint16_t kKeyDataRef = 784;

DataObjectWatcher &watcher() {
  static DataObjectWatcher current;
  return current;
}

const wobprop *findKey(int32_t count, const wobprop *props, uint16_t key) {
  for (int32_t i = 0; props != nullptr && i < count; ++i) {
    if (props[i].key == key) return &props[i];
  }
  return nullptr;
}

// The n-th slot (from 0) holding an object handle under key 0.
const wobprop *objectSlot(int32_t count, const wobprop *props, int n) {
  for (int32_t i = 0; props != nullptr && i < count; ++i) {
    if (props[i].key == kKeyNone && props[i].type == kWobObject && n-- == 0) return &props[i];
  }
  return nullptr;
}

std::optional<std::string> textAt(int32_t count, const wobprop *props, uint16_t key) {
  const wobprop *p = findKey(count, props, key);
  if (p == nullptr) return std::nullopt;
  if (p->type == kWobString) {
    return p->v.p == nullptr ? std::string()
                             : std::string(static_cast<const char *>(p->v.p), p->count);
  }
  std::string text;
  if (p->type == kWobText && textOf(p->v.p, &text)) return text;
  return std::nullopt;
}

std::optional<int32_t> intAt(int32_t count, const wobprop *props, uint16_t key) {
  const wobprop *p = findKey(count, props, key);
  if (p == nullptr) return std::nullopt;
  return p->type == kWobBool ? p->v.b.value : p->v.i;
}

int32_t badProperty(const char *method, const char *what) {
  logCondition(kMsgBadProperty, {method, what});
  return kStatusBadProperty;
}

template <typename T>
T *live(const void *handle, ObjKind kind, const char *method) {
  HostObject *found = findObject(handle, kind);
  if (found == nullptr) logCondition(kMsgStaleHandle, {method});
  return static_cast<T *>(found);
}

DataObjectHost *dataObject(void *object, const char *method) {
  return live<DataObjectHost>(object, ObjKind::kData, method);
}

// Each 311 name followed by its 287 value, as column attributes.
void columnAttributes(Column &column, int32_t count, const wobprop *props) {
  for (int32_t i = 0; i + 1 < count; ++i) {
    if (props[i].key != kKeyAttribute || props[i + 1].key != kKeyValue) continue;
    auto name = textAt(1, &props[i], kKeyAttribute);
    if (name) column.attributes[*name] = static_cast<long long>(props[i + 1].v.i);
  }
}

ColumnType columnTypeOf(int32_t ctype) {
  if (ctype == 6) return ColumnType::kChar;
  return ctype == 3 ? ColumnType::kInt : ColumnType::kNum;
}

}  // namespace

int32_t managerProperty(void *object, void *, void *, int32_t count, wobprop *props) {
  StepState *state = stepState();
  if (findObject(object, ObjKind::kManager) == nullptr || state == nullptr) return kStatusBadHandle;
  for (int32_t i = 0; props != nullptr && i < count; ++i) {
    if (props[i].key != kKeyGraphicsOn) return badProperty("2", "1334");
    props[i].type = kWobBool;
    props[i].v.b.value = state->graphics ? 1 : 0;
  }
  return 0;
}

// With "DS" a stretch of data-set output begins; without properties it ends.
int32_t managerDataSet(void *object, void *, void *, int32_t count, wobprop *props) {
  StepState *state = stepState();
  if (findObject(object, ObjKind::kManager) == nullptr || state == nullptr) return kStatusBadHandle;
  state->dataSetOutput = textAt(count, props, kKeyDataSet) == "DS";
  return 0;
}

bool createsDataObject(int32_t count, const wobprop *props) {
  const StepState *state = stepState();
  return state != nullptr && (state->dataSetOutput || findKey(count, props, kKeyObservations));
}

int32_t createDataObject(HostObject *manager, int32_t count, wobprop *props) {
  StepState *state = stepState();
  const wobprop *out = findKey(count, props, kKeyCreated);
  if (state == nullptr || out == nullptr) return badProperty("147", "144");
  auto *made = makeObject<DataObjectHost>(*state, ObjKind::kData, dataClass(), manager);
  made->data = std::make_shared<DataObject>();
  made->data->name = textAt(count, props, kKeyName).value_or("");
  made->data->label = textAt(count, props, kKeyLabel).value_or("");
  state->transient.push_back(made);  // the graphs of its BY group are drawn from it
  const_cast<wobprop *>(out)->v.p = static_cast<HostObject *>(made);
  return 0;
}

// The phantom goes to the first object slot, the data reference (the data
// object's own handle, which `dataObjectOf` resolves) to slot 784.
int32_t wrapDataObject(HostObject *manager, int32_t count, wobprop *props) {
  StepState *state = stepState();
  auto *out = const_cast<wobprop *>(objectSlot(count, props, 0));
  const wobprop *ref = findKey(count, props, kKeyDataRef);
  if (state == nullptr || out == nullptr) return badProperty("422", "0, 0");
  auto *data =
      static_cast<DataObjectHost *>(findObject(objectSlot(count, props, 1)->v.p, ObjKind::kData));
  auto *phantom = makeObject<PhantomObject>(*state, ObjKind::kPhantom, outputClass(), manager);
  phantom->wrapped = data;
  out->v.p = static_cast<HostObject *>(phantom);
  if (ref != nullptr && ref->v.p != nullptr)
    *static_cast<void **>(ref->v.p) = static_cast<HostObject *>(data);
  if (watcher()) watcher()(data->data);
  return 0;
}

// A phantom is never emitted: releasing it ends its part in the output.
int32_t releasePhantom(int32_t count, wobprop *props) {
  releaseHostObject(*stepState(), *findObject(objectSlot(count, props, 0)->v.p, ObjKind::kPhantom));
  return 0;
}

int32_t dataColumn(void *object, void *, void *, int32_t count, wobprop *props) {
  DataObjectHost *data = dataObject(object, "338");
  if (data == nullptr) return kStatusBadHandle;
  if (data->ended) {
    logCondition(kMsgColumnAfterEnd, {data->data->name});
    return kStatusTableEnded;
  }
  auto name = textAt(count, props, kKeyName);
  if (!name) return badProperty("338", "138");
  BoundColumn bound;
  bound.ctype = intAt(count, props, kKeyColumnType).value_or(5);
  const wobprop *cell = findKey(count, props, kKeyCell);
  bound.cell = cell == nullptr ? nullptr : cell->v.p;
  bound.storage = intAt(count, props, kKeyStorage).value_or(0);
  Column &c = bound.column;
  c.name = *name;
  c.label = textAt(count, props, kKeyLabel).value_or("");
  c.type = columnTypeOf(bound.ctype);
  columnAttributes(c, count, props);
  const size_t rows = data->data->columns.empty() ? 0 : data->data->columns.front().cells.size();
  data->data->columns.push_back(
      {c, textAt(count, props, kKeyPath).value_or(""), std::vector<Cell>(rows, Missing{'.'})});
  data->columns.push_back(std::move(bound));
  return 0;
}

int32_t dataEnd(void *object, void *, void *, int32_t, wobprop *) {
  DataObjectHost *data = dataObject(object, "298");
  if (data == nullptr) return kStatusBadHandle;
  data->ended = true;
  return 0;
}

int32_t dataRow(void *object, void *, void *, int32_t, wobprop *) {
  DataObjectHost *data = dataObject(object, "329");
  if (data == nullptr) return kStatusBadHandle;
  if (data->closed) {
    logCondition(kMsgRowWithoutOutput, {data->data->name});
    return kStatusNoOutput;
  }
  for (size_t i = 0; i < data->columns.size(); ++i) {
    data->data->columns[i].cells.push_back(readCell(data->columns[i]));
  }
  return 0;
}

int32_t dataClose(void *object, void *, void *, int32_t, wobprop *) {
  DataObjectHost *data = dataObject(object, "299");
  if (data == nullptr) return kStatusBadHandle;
  data->closed = true;
  return 0;
}

void watchDataObjects(DataObjectWatcher w) {
  watcher() = std::move(w);
}

std::shared_ptr<const DataObject> dataObjectOf(const void *ref) {
  auto *data = static_cast<DataObjectHost *>(findObject(ref, ObjKind::kData));
  return data == nullptr ? nullptr : data->data;
}

}  // namespace vyn::output

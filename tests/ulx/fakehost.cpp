#include "fakehost.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "host/vynsvc.h"

void **mcn_connection = nullptr;

namespace fakehost {
namespace {

std::deque<std::string> texts;
std::map<int32_t, std::string> messages;

void *fakeUlxtxt(const char *s, int32_t length) {
  texts.emplace_back(s, length < 0 ? std::strlen(s) : static_cast<size_t>(length));
  return &texts.back();
}

void *fakeUlxmsg(int32_t group, int32_t number) {
  texts.push_back(std::to_string(group) + "/" + std::to_string(number));
  return &texts.back();
}

void fakeXprrlog(int32_t, int32_t status) {
  state().errors.push_back(status);
}

void fakeXebug(const char *format, va_list args) {
  char buffer[512];
  std::vsnprintf(buffer, sizeof buffer, format, args);
  state().debug.emplace_back(buffer);
}

// As the host's: copies without padding and answers the full length.
int32_t fakeXpmstr(char *buffer, int32_t length, int32_t, int32_t number) {
  const std::string &t = messages[number];
  if (buffer != nullptr && length > 0) {
    std::memcpy(buffer, t.data(), std::min(t.size(), static_cast<size_t>(length)));
  }
  return static_cast<int32_t>(t.size());
}

void fakeXexit(int32_t code, int32_t) {
  throw Exit{code};
}

void *fakeUlxggcb(void *object) {
  auto *o = static_cast<Object *>(object);
  return o->hasControl ? o->control : nullptr;
}

int32_t record(void *object, void *data, void *, int32_t count, wobprop *props) {
  const auto method = static_cast<int32_t>(reinterpret_cast<intptr_t>(data));
  State &s = state();
  s.calls.push_back({object, method, std::vector<wobprop>(props, props + count)});
  const auto scripted = s.status.find(method);
  if (scripted != s.status.end() && scripted->second != 0) return scripted->second;
  auto *self = static_cast<Object *>(object);
  if (method == kMthCreate) {
    for (int32_t i = 0; i < count; ++i) {
      if (props[i].key == kKeyCreated) props[i].v.p = makeObject(self);
    }
    s.calls.back().props.assign(props, props + count);  // as the caller sees it afterwards
  }
  if (method == kMthLookup) {
    wobprop &result = props[count - 1];
    const std::string name = props[0].type == kWobString
                                 ? std::string(static_cast<char *>(props[0].v.p), props[0].count)
                                 : text(props[0].v.p);
    if (name == "^P_S_T^") {
      if (self->parent == nullptr) return kWobNotFound;
      result.v.p = self->parent;
      return 0;
    }
    auto it = self->named.find(name);
    if (it == self->named.end()) return kWobNotFound;
    result.count = 1;
    result.v.p = &it->second;
  }
  return 0;
}

constexpr int32_t kMethods[] = {kMthCreate, kMthFact,   kMthLookup, kMthEndTable, kMthAttribute,
                                kMthRow,    kMthColumn, kMthFormat, kMthMatrix};

// The recording class: one entry per method, the method number in the
// entry's data word.
struct RecordingClass {
  wobimpl impl{&record, nullptr, nullptr};
  std::array<wobment, std::size(kMethods)> entries{};
  std::array<wobment *, 16> buckets{};
  wobclass cls{"recording", nullptr, buckets.data(), 15, {}, nullptr, nullptr};
  RecordingClass() {
    for (size_t i = 0; i < entries.size(); ++i) {
      const uintptr_t b = static_cast<uint32_t>(kMethods[i]) & 15;
      entries[i] = {buckets[b], reinterpret_cast<void *>(static_cast<intptr_t>(kMethods[i])), &impl,
                    kMethods[i]};
      buckets[b] = &entries[i];
    }
  }
};

RecordingClass &recordingClass() {
  static RecordingClass c;
  return c;
}

// The fake connection: service tables with only the services the helpers
// and the tables call.
struct Connection {
  std::vector<std::vector<void *>> slots{vynconn::kServiceGroups,
                                         std::vector<void *>(vynconn::kServiceSlots, nullptr)};
  std::vector<void **> tables;
  std::vector<uint8_t> status = std::vector<uint8_t>(vynconn::kServiceGroups, 0);
  std::array<void *, vynconn::kConnectionWords> words{};
  Connection() {
    put(vynsvc::kUlxtxt, reinterpret_cast<void *>(&fakeUlxtxt));
    put(vynsvc::kUlxmsg, reinterpret_cast<void *>(&fakeUlxmsg));
    put(vynsvc::kXprrlog, reinterpret_cast<void *>(&fakeXprrlog));
    put(vynsvc::kXebug, reinterpret_cast<void *>(&fakeXebug));
    put(vynsvc::kUlxggcb, reinterpret_cast<void *>(&fakeUlxggcb));
    put(vynsvc::kXpmstr, reinterpret_cast<void *>(&fakeXpmstr));
    put(vynsvc::kXexit, reinterpret_cast<void *>(&fakeXexit));
    for (auto &g : slots) tables.push_back(g.data());
    words[vynconn::kServiceTables] = tables.data();
    words[vynconn::kStatusArray] = status.data();
  }
  void put(xsvcid id, void *fn) { slots[id.group][id.slot] = fn; }
};

}  // namespace

State &state() {
  static State s;
  return s;
}

void reset() {
  state() = State{};
  texts.clear();
  messages.clear();
}

void setMessage(int32_t number, const std::string &text) {
  messages[number] = text;
}

void connect() {
  static Connection connection;
  mcn_connection = connection.words.data();
}

Object *makeObject(Object *parent) {
  Object &o = state().objects.emplace_back();
  o.cls = &recordingClass().cls;
  o.parent = parent;
  return &o;
}

std::string text(const void *handle) {
  return handle == nullptr ? std::string("<null>") : *static_cast<const std::string *>(handle);
}

std::vector<uint16_t> keys(const Call &call) {
  std::vector<uint16_t> out;
  for (const wobprop &p : call.props) out.push_back(p.key);
  return out;
}

const wobprop *find(const Call &call, uint16_t key) {
  for (const wobprop &p : call.props) {
    if (p.key == key) return &p;
  }
  return nullptr;
}

}  // namespace fakehost

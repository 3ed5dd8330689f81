// A stand-in host for the helper layer: a connection whose output services
// make text handles that are plain strings, and a recording object class
// built from the records of hostcm/wob.h that keeps every property list it
// receives and answers with scripted statuses.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "hostcm/wob.h"

namespace fakehost {

// One method call as the object received it.
struct Call {
  void *object;
  int32_t method;
  std::vector<wobprop> props;
};

// A recorded object: the class word first, as every host object.
struct Object {
  wobclass *cls;
  Object *parent = nullptr;
  uint32_t control[10] = {};  // control block; word 9 holds the flags
  bool hasControl = false;
  std::map<std::string, wobprop> named;  // values answered by method 175
};

// Everything the fake host saw; reset before each test.
struct State {
  std::vector<Call> calls;
  std::map<int32_t, int32_t> status;  // scripted status per method (default 0)
  std::vector<int32_t> errors;        // statuses passed to xprrlog
  std::vector<std::string> debug;     // xebug texts
  std::deque<Object> objects;         // objects created by method 147
};

// Thrown by the fake exit service, as the host unwinds a step it ends.
struct Exit {
  int32_t code;
};

State &state();
void reset();

// Connects the module stubs to the fake services.
void connect();

// A new object of the recording class.
Object *makeObject(Object *parent = nullptr);

// Catalogue texts the fake xpmstr knows; any other number has an empty text.
void setMessage(int32_t number, const std::string &text);

// The characters behind a text handle made by the fake ulxtxt or ulxmsg
// (ulxmsg makes "group/number").
std::string text(const void *handle);

// The keys of a property list, in order.
std::vector<uint16_t> keys(const Call &call);
// The slot with key `key` (the first one), or null.
const wobprop *find(const Call &call, uint16_t key);

}  // namespace fakehost

// Host objects and their numbered methods: the records that both the host
// and the module see, and `wobmth`, the one way to call a method.
//
// An object's first word points to its class. A class finds a method by
// number in a small hash of method buckets and falls back on its parent.
// Every call carries a property list: `count` contiguous 16-byte slots of
// property key, value type code and value.
//
// 64-bit adaptation: the host these records come from had 32-bit words.
// Every word that holds an address is 8 bytes here; fields keep their order
// and meaning. A property slot stays 16 bytes: the 8-byte value sits at
// byte 8, so a pointer fits there; the counted string (type 20) and the slot
// reference (type 28), which kept a 16-bit count at byte 10 and their
// pointer at byte 12, now keep the count at byte 4 and the pointer at byte 8.
// The boolean (type 13) stays a 32-bit word at byte 12.
#pragma once

#include <cstddef>
#include <cstdint>

// Value type codes of a property slot.
enum wobtype : uint16_t {
  kWobZero = 1,       // 32-bit integer at byte 8 (a character code or 0)
  kWobInt = 3,        // signed 32-bit integer at byte 8
  kWobIntD = 4,       // 32-bit integer at byte 8 (fact code `d`)
  kWobDouble = 5,     // 64-bit IEEE double at byte 8
  kWobCount = 7,      // 32-bit count at byte 8 (matrix dimensions)
  kWobData = 11,      // pointer to a data block at byte 8
  kWobObject = 12,    // object handle at byte 8; written by the host for keys 144 and 0
  kWobBool = 13,      // 32-bit 0 or 1 at byte 12
  kWobCell = 17,      // address of the value cell or character buffer a column reads
  kWobString = 20,    // counted string: count at byte 4, pointer at byte 8
  kWobRef = 28,       // reference to other slots: count at byte 4, pointer at byte 8
  kWobText = 66,      // text handle at byte 8
  kWobTextArray = 67  // pointer to an array of text handles at byte 8
};

// Property keys.
enum wobkey : uint16_t {
  kKeyNone = 0,            // unnamed: created output object, template, named value
  kKeyColumnType = 103,    // column type: 3 integer, 4 (code L), 5 double, 6 character
  kKeyStorageKind = 105,   // matrix storage kind, "sc"
  kKeyName = 138,          // object name (table, column, note, group)
  kKeyNameSpace = 143,     // name space of a created object, "ulx"
  kKeyCreated = 144,       // handle of the created object
  kKeyKind = 146,          // kind of a created object: "data", "manager"
  kKeyOption = 148,        // created-object option, always -1
  kKeyFormatNumber = 270,  // second format number of a numeric column
  kKeyAlign = 273,         // alignment character of a heading or note: 'c', 'l'
  kKeyWidth = 272,         // display width of a column
  kKeyCell = 285,          // address of a column's value cell or character buffer
  kKeyValue = 287,         // value of the attribute named just before (or of a fact)
  kKeyStorage = 289,       // storage length of a column
  kKeyLast = 291,          // the table's last output of the group
  kKeyLabel = 296,         // label of a table, column, fact or group
  kKeyAttribute = 311,     // name of a dynamic attribute
  kKeyPath = 339,          // template path, or object name of a matrix
  kKeyFormat = 340,        // format name
  kKeyColumnNumber = 347,  // column number, from 1
  kKeyNewBlock = 358,      // heading: starts a new block of headings
  kKeySkip = 371,          // lines to skip before a heading or note
  kKeyGroupFlag = 435,     // output group option
  kKeyHeadingLevel = 440,  // heading level to set
  kKeyClearLevel = 442,    // heading level from which headings are cleared
  kKeyText = 577,          // text of a heading or note
  kKeyHeadingSpan = 619,   // lines the heading block spans
  kKeyProcTitle = 2558     // the heading is the procedure title
};

// Method numbers.
enum wobmethod : int32_t {
  kMthCreate = 147,     // create a child object; its handle comes back in slot 144
  kMthFact = 164,       // add a fact or a named value
  kMthLookup = 175,     // look up a named value
  kMthEndTable = 298,   // end the definition of a table
  kMthLastOut = 299,    // the table's output is complete
  kMthGroup = 300,      // open an output group
  kMthGroupHead = 301,  // open an output group and head it: a group call's slots, then a heading's
  kMthAttribute = 316,  // set a dynamic attribute of a table
  kMthRow = 329,        // emit a row from the bound cells
  kMthRowOutput = 331,  // a table's output of the one row its bound cells hold, emitted at once
  kMthColumn = 338,     // append a column
  kMthFormat = 346,     // set the format of an existing column
  kMthNote = 358,       // write a note
  kMthMatrix = 388,     // add a matrix or vector
  kMthOutput = 422,     // create the output object of a table
  kMthEmit = 428,       // emit an output object
  kMthReady = 435,      // the manager is set up
  kMthHeading = 439     // set or clear headings
};

// Status of a call that no class in the chain answers.
inline constexpr int32_t kWobNoMethod = static_cast<int32_t>(0x80008001u);
// Status of a named value that is not there.
inline constexpr int32_t kWobNotFound = static_cast<int32_t>(0x80008026u);

// One property of a call: 16 bytes.
struct wobprop {
  uint16_t key;    // property key (wobkey)
  uint16_t type;   // value type code (wobtype)
  uint16_t count;  // types 20 and 28: characters or slots; otherwise not set
  uint16_t spare;  // not set
  union {
    int32_t i;  // types 1, 3, 4, 7
    double d;   // type 5
    void *p;    // types 11, 12, 17, 20, 28, 66, 67
    struct {
      int32_t unused;  // not set
      int32_t value;   // type 13: the boolean, 0 or 1
    } b;
  } v;
};
static_assert(sizeof(wobprop) == 16);
static_assert(offsetof(wobprop, count) == 4);
static_assert(offsetof(wobprop, v) == 8);
static_assert(offsetof(wobprop, v.b.value) == 12);

// A method: (object, entry data word, class-data word, count, properties) -> status.
using wobfn = int32_t (*)(void *object, void *data, void *classdata, int32_t count, wobprop *props);

// What a method entry points to.
struct wobimpl {
  wobfn fn;         // word 0: the function
  void *spare;      // word 1: host-private
  void *classdata;  // word 2: class-data word passed to the function
};

// One method of a class: a link in the chain of its bucket.
struct wobment {
  wobment *next;   // next entry of the same bucket, or null
  void *data;      // per-method data word passed to the function
  wobimpl *impl;   // the implementation
  int32_t method;  // the method number
};

// The release entry of a class: (object, class word 11, 4, 0, 0) -> status.
using wobrelfn = int32_t (*)(void *object, void *word11, int32_t code, int32_t zero, int32_t zero2);

// A class record.
struct wobclass {
  const char *name;    // word 0: class name, for diagnostics
  wobclass *parent;    // word 1: parent class, null at the root
  wobment **buckets;   // word 2: method buckets, mask + 1 of them
  uintptr_t mask;      // word 3: bucket mask; bucket = method AND mask
  void *priv[6];       // words 4-9: host-private
  wobrelfn release;    // word 10: releases an object of this class
  void *release_data;  // word 11: passed to the release entry
};
static_assert(offsetof(wobclass, release) == 10 * sizeof(void *));

// A host object: the first word is its class; the rest belongs to the host.
struct wobobj {
  wobclass *cls;  // the object's class
};

// Slot builders: key, type and value visible where a property list is made.
inline wobprop wobp_empty() {
  return wobprop{0, 0, 0, 0, {.p = nullptr}};
}
inline wobprop wobp_int(uint16_t key, int32_t value, uint16_t type = kWobInt) {
  wobprop p = wobp_empty();
  p.key = key;
  p.type = type;
  p.v.i = value;
  return p;
}
inline wobprop wobp_double(uint16_t key, double value) {
  wobprop p = wobp_empty();
  p.key = key;
  p.type = kWobDouble;
  p.v.d = value;
  return p;
}
inline wobprop wobp_bool(uint16_t key, bool value) {
  wobprop p = wobp_empty();
  p.key = key;
  p.type = kWobBool;
  p.v.b.value = value ? 1 : 0;
  return p;
}
inline wobprop wobp_ptr(uint16_t key, uint16_t type, void *value) {
  wobprop p = wobp_empty();
  p.key = key;
  p.type = type;
  p.v.p = value;
  return p;
}
inline wobprop wobp_str(uint16_t key, const char *chars, uint16_t count) {
  wobprop p = wobp_ptr(key, kWobString, const_cast<char *>(chars));
  p.count = count;
  return p;
}

// Calls method `method` of `object`, looking first in `cls` (the object's own
// class when null) and then up its parents. Returns the method's status, or
// kWobNoMethod when no class in the chain has the method.
int32_t wobmth(void *object, wobclass *cls, int32_t method, int32_t count, wobprop *props);

// Releases an object through word 10 of its class; null is ignored.
int32_t wobrelease(void *object);

// Graph registration: a graph is built up on a registration object (name,
// labels, dynamic variables, data objects by position) and handed to the
// output manager, which draws it from a template of the product path.
// One object serves any number of graphs: ZREG_Clear starts the next one.
#pragma once

#include <cstdint>

#include "hostcm/wobgraph.h"

inline constexpr int kZregMaxDynamics = 64;
inline constexpr int kZregProductSize = 64;

// A dynamic variable: its name and a text or a double (host text handles).
struct zregdyn {
  void *name;
  void *text;     // null for a number
  double number;  // the value when `text` is null
};

struct zregobj {
  char product[kZregProductSize];  // product path, such as "Stat.Kravo"
  void *manager;                   // output manager the graphs go to
  void *name;                      // graph name
  void *title;
  void *contents;  // table-of-contents label
  void *label;
  int32_t nopanels;
  int32_t ndyn;
  zregdyn dyn[kZregMaxDynamics];
  void *data[kGraphMaxData];  // data references by position; null: none
  void **group;               // the caller's holder of the group opened here
};

// A registration object for `product` from the work pool; null when the pool
// has no memory or the product path does not fit.
zregobj *ZREG_registerUlxGraph(const char *product);
void ZREG_setClassManager(zregobj *g, void *manager);
// Forgets the name, labels, dynamic variables, data objects and group of the
// previous graph.
void ZREG_Clear(zregobj *g);
void ZREG_setNoPanels(zregobj *g);
void ZREG_setName(zregobj *g, void *text);
void ZREG_setTitle(zregobj *g, void *text);
void ZREG_setContentsLabel(zregobj *g, void *text);
void ZREG_setLabel(zregobj *g, void *text);
// Appends a dynamic variable `name` with a text value (a host text handle).
// 0, or -1 when the graph has no room for another.
int32_t ZREG_setNames(zregobj *g, const char *name, void *text);
// Appends a dynamic variable `name` with a numeric value. 0 or -1.
int32_t ZREG_setNamesDbl(zregobj *g, const char *name, double value);
// Attaches a data object at `position`. 0, or -1 for a position out of range.
int32_t ZREG_setPath(zregobj *g, void *data, int32_t position);
// Opens an output group `name` labelled `label` inside the current one; its
// handle goes to `*holder`. Returns the host's status.
int32_t ZREG_setMyGroupAndLabel(zregobj *g, void **holder, void *name, void *label);
// Closes the group in `*holder` and clears the holder.
void ZREG_exitMyGroup(zregobj *g, void **holder);
// Hands the graph to the output manager to draw from template product "."
// `tmpl`. Returns the host's status (negative: failure).
int32_t ZREG_Renderplot(zregobj *g, const char *tmpl);
// Closes a group still open and frees the object; null is ignored.
void ZREG_exitUlxGraph(zregobj *g);

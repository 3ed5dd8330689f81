// Graph registration on the host's output manager.
#include "zreg/zreg.h"

#include <cstdio>
#include <cstring>

#include "dsup/src/mcnpool.h"
#include "host/vynsvc.h"

namespace {

// Slots of a graph call: six fixed, two per dynamic variable and per data object.
constexpr int kGraphSlots = 6 + 2 * kZregMaxDynamics + 2 * kGraphMaxData;
constexpr int kPathSize = kZregProductSize + 64;

void *text(const char *s) {
  return ulxtxt(s, static_cast<int32_t>(std::strlen(s)));
}

int32_t appendDynamic(zregobj *g, const char *name, void *value, double number) {
  if (g->ndyn >= kZregMaxDynamics) return -1;
  g->dyn[g->ndyn++] = {text(name), value, number};
  return 0;
}

// The property list of the graph; returns its count.
int32_t graphProps(const zregobj *g, void *path, wobprop *props) {
  int32_t n = 0;
  props[n++] = wobp_ptr(kKeyName, kWobText, g->name);
  props[n++] = wobp_ptr(kKeyPath, kWobText, path);
  props[n++] = wobp_ptr(kKeyLabel, kWobText, g->label);
  props[n++] = wobp_ptr(kKeyGraphTitle, kWobText, g->title);
  props[n++] = wobp_ptr(kKeyGraphContents, kWobText, g->contents);
  props[n++] = wobp_bool(kKeyGraphNoPanels, g->nopanels != 0);
  for (int32_t i = 0; i < g->ndyn; ++i) {
    const zregdyn &d = g->dyn[i];
    props[n++] = wobp_ptr(kKeyAttribute, kWobText, d.name);
    props[n++] = d.text != nullptr ? wobp_ptr(kKeyValue, kWobText, d.text)
                                   : wobp_double(kKeyValue, d.number);
  }
  for (int32_t pos = 0; pos < kGraphMaxData; ++pos) {
    if (g->data[pos] == nullptr) continue;
    props[n++] = wobp_int(kKeyGraphPosition, pos);
    props[n++] = wobp_ptr(kKeyGraphData, kWobData, g->data[pos]);
  }
  return n;
}

}  // namespace

zregobj *ZREG_registerUlxGraph(const char *product) {
  const size_t len = std::strlen(product);
  if (len >= kZregProductSize) return nullptr;
  auto *g = static_cast<zregobj *>(mcn_work_alloc(sizeof(zregobj)));
  if (g == nullptr) return nullptr;
  std::memcpy(g->product, product, len + 1);
  return g;
}

void ZREG_setClassManager(zregobj *g, void *manager) {
  g->manager = manager;
}

void ZREG_Clear(zregobj *g) {
  g->name = g->title = g->contents = g->label = nullptr;
  g->nopanels = 0;
  g->ndyn = 0;
  for (void *&data : g->data) data = nullptr;
  g->group = nullptr;
}

void ZREG_setNoPanels(zregobj *g) {
  g->nopanels = 1;
}

void ZREG_setName(zregobj *g, void *name) {
  g->name = name;
}

void ZREG_setTitle(zregobj *g, void *title) {
  g->title = title;
}

void ZREG_setContentsLabel(zregobj *g, void *contents) {
  g->contents = contents;
}

void ZREG_setLabel(zregobj *g, void *label) {
  g->label = label;
}

int32_t ZREG_setNames(zregobj *g, const char *name, void *value) {
  return appendDynamic(g, name, value, 0.0);
}

int32_t ZREG_setNamesDbl(zregobj *g, const char *name, double value) {
  return appendDynamic(g, name, nullptr, value);
}

int32_t ZREG_setPath(zregobj *g, void *data, int32_t position) {
  if (position < 0 || position >= kGraphMaxData) return -1;
  g->data[position] = data;
  return 0;
}

int32_t ZREG_setMyGroupAndLabel(zregobj *g, void **holder, void *name, void *label) {
  wobprop props[4] = {wobp_ptr(kKeyCreated, kWobObject, nullptr), wobp_bool(kKeyGroupFlag, true),
                      wobp_ptr(kKeyName, kWobText, name), wobp_ptr(kKeyLabel, kWobText, label)};
  const int32_t status = wobmth(g->manager, nullptr, kMthGroup, 4, props);
  *holder = status < 0 ? nullptr : props[0].v.p;
  g->group = *holder == nullptr ? nullptr : holder;
  return status;
}

void ZREG_exitMyGroup(zregobj *g, void **holder) {
  wobrelease(*holder);
  *holder = nullptr;
  if (g->group == holder) g->group = nullptr;
}

int32_t ZREG_Renderplot(zregobj *g, const char *tmpl) {
  char path[kPathSize];
  const int n = std::snprintf(path, sizeof path, "%s.%s", g->product, tmpl);
  if (n < 0 || n >= kPathSize) return -1;
  wobprop props[kGraphSlots];
  const int32_t count = graphProps(g, text(path), props);
  return wobmth(g->manager, nullptr, kMthGraph, count, props);
}

void ZREG_exitUlxGraph(zregobj *g) {
  if (g == nullptr) return;
  if (g->group != nullptr) ZREG_exitMyGroup(g, g->group);
  mcn_work_free(g);
}

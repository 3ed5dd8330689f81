// The module's stubs of the host services: each clears the status byte of its
// group and calls the host's entry with its arguments unchanged. A slot the
// host left empty goes to the host's trap at 0/0 with its group and slot.
#include "host/vynsvc.h"

#include <cstdlib>

#include "dsup/src/mcnglob.h"

namespace {

using trap_fn = void (*)(int32_t group, int32_t slot);

template <typename Fn>
Fn entry(xsvcid id) {
  void **conn = mcn_connection;
  static_cast<uint8_t *>(conn[vynconn::kStatusArray])[id.group] = 0;
  void ***tables = static_cast<void ***>(conn[vynconn::kServiceTables]);
  void *fn = tables[id.group][id.slot];
  if (fn == nullptr) {
    reinterpret_cast<trap_fn>(tables[0][0])(id.group, id.slot);
    std::abort();
  }
  return reinterpret_cast<Fn>(fn);
}

uint8_t *statusByte(xsvcid id) {
  return static_cast<uint8_t *>(mcn_connection[vynconn::kStatusArray]) + id.group;
}

xrowsvc::fn resolved(xsvcid id, xrowsvc::fn stub) {
  void ***tables = static_cast<void ***>(mcn_connection[vynconn::kServiceTables]);
  void *fn = tables[id.group][id.slot];
  return fn != nullptr ? reinterpret_cast<xrowsvc::fn>(fn) : stub;
}

#define VYN_CALL(fn, id, ...) entry<decltype(&fn)>(vynsvc::id)(__VA_ARGS__)

}  // namespace

int32_t xbynext(void *data) {
  return VYN_CALL(xbynext, kXbynext, data);
}
int32_t xbyrwnd(void *data) {
  return VYN_CALL(xbyrwnd, kXbyrwnd, data);
}
int32_t xonote(void *data) {
  return VYN_CALL(xonote, kXonote, data);
}
int32_t xoinfo(void *data, int32_t item, void *out) {
  return VYN_CALL(xoinfo, kXoinfo, data, item, out);
}
int32_t xvsele(void *data, int32_t count, const int32_t *numbers) {
  return VYN_CALL(xvsele, kXvsele, data, count, numbers);
}
int32_t xvallvr(void *data, int32_t typemask, int32_t *numbers, int32_t capacity) {
  return VYN_CALL(xvallvr, kXvallvr, data, typemask, numbers, capacity);
}
int32_t xvdflst(void *data, int32_t *numbers, int32_t count, const int32_t *exclude,
                int32_t nexclude) {
  return VYN_CALL(xvdflst, kXvdflst, data, numbers, count, exclude, nexclude);
}
int32_t xvfind(void *data, const char *name, int32_t length, int32_t *number, int32_t zero) {
  return VYN_CALL(xvfind, kXvfind, data, name, length, number, zero);
}
int32_t xvname(void *data, int32_t number, xvinfo *out) {
  return VYN_CALL(xvname, kXvname, data, number, out);
}
int32_t xffile(void *data, int32_t item, const int32_t *numbers, int32_t count) {
  return VYN_CALL(xffile, kXffile, data, item, numbers, count);
}
int32_t xvgeti(void *data, int32_t count, void **request) {
  return VYN_CALL(xvgeti, kXvgeti, data, count, request);
}
int32_t xvgetd(void *request, int32_t number, int32_t zero, void *target, int32_t width,
               int32_t mode, int32_t zero2, int32_t zero3) {
  return VYN_CALL(xvgetd, kXvgetd, request, number, zero, target, width, mode, zero2, zero3);
}
int32_t xvgete(void *request) {
  return VYN_CALL(xvgete, kXvgete, request);
}
int32_t xvgett(void *request) {
  return VYN_CALL(xvgett, kXvgett, request);
}
int32_t xybyget(void *request) {
  return VYN_CALL(xybyget, kXybyget, request);
}
int32_t xyvget(void *request) {
  return VYN_CALL(xyvget, kXyvget, request);
}
int32_t xofprc(void *request) {
  return VYN_CALL(xofprc, kXofprc, request);
}

xrowsvc xrowsvc_resolve() {
  return {resolved(vynsvc::kXybyget, &xybyget), resolved(vynsvc::kXyvget, &xyvget),
          resolved(vynsvc::kXofprc, &xofprc),   statusByte(vynsvc::kXybyget),
          statusByte(vynsvc::kXyvget),          statusByte(vynsvc::kXofprc)};
}

void xpmlog(int32_t group, int32_t number, int32_t count, const xins *inserts) {
  VYN_CALL(xpmlog, kXpmlog, group, number, count, inserts);
}
void xprrlog(int32_t zero, int32_t status) {
  VYN_CALL(xprrlog, kXprrlog, zero, status);
}
void xexit(int32_t code, int32_t zero) {
  VYN_CALL(xexit, kXexit, code, zero);
  std::abort();  // the host's exit unwinds to its step runner and never comes back
}
int32_t xpmstr(char *buffer, int32_t length, int32_t group, int32_t number) {
  return VYN_CALL(xpmstr, kXpmstr, buffer, length, group, number);
}
int32_t xpsstr(char *buffer, int32_t length, const char *format, ...) {
  va_list args;
  va_start(args, format);
  int32_t n = entry<xpsstr_host>(vynsvc::kXpsstr)(buffer, length, format, args);
  va_end(args);
  return n;
}
void xpslog(const char *format, ...) {
  va_list args;
  va_start(args, format);
  entry<xpslog_host>(vynsvc::kXpslog)(format, args);
  va_end(args);
}
void xebug(const char *format, ...) {
  va_list args;
  va_start(args, format);
  entry<xpslog_host>(vynsvc::kXebug)(format, args);
  va_end(args);
}

void *xpalloc(vynconn::Pool *pool, size_t size, uint32_t flags) {
  return pool->allocate(pool, size, flags);
}
void xpfree(vynconn::Pool *pool, void *block) {
  if (block != nullptr) pool->release(pool, block, 0, 4);
}
int32_t xmemdef() {
  return VYN_CALL(xmemdef, kXmemdef);
}
void xmemmsg(int32_t zero) {
  VYN_CALL(xmemmsg, kXmemmsg, zero);
}

int32_t xpopen() {
  return VYN_CALL(xpopen, kXpopen);
}
int32_t xpoutl() {
  return VYN_CALL(xpoutl, kXpoutl);
}
int32_t xpprnl() {
  return VYN_CALL(xpprnl, kXpprnl);
}
int32_t xplogl() {
  return VYN_CALL(xplogl, kXplogl);
}
int32_t xpmsgl() {
  return VYN_CALL(xpmsgl, kXpmsgl);
}
int32_t xpselec() {
  return VYN_CALL(xpselec, kXpselec);
}
int32_t xoptcgt(const char *option, char *out, int32_t capacity) {
  return VYN_CALL(xoptcgt, kXoptcgt, option, out, capacity);
}

int32_t xsproc(void *descriptor, void *process_block, int32_t trace, int32_t options, int32_t zero,
               int32_t zero2) {
  return VYN_CALL(xsproc, kXsproc, descriptor, process_block, trace, options, zero, zero2);
}
void *vir2g(void *module_handle, int32_t group, int32_t slot) {
  return VYN_CALL(vir2g, kVir2g, module_handle, group, slot);
}
void *xtanch() {
  return VYN_CALL(xtanch, kXtanch);
}
int32_t wztxdotr() {
  return VYN_CALL(wztxdotr, kWztxdotr);
}
void xsfixsym(int32_t nclasses, int32_t nsymbols, int32_t symbytes, void **descriptor) {
  VYN_CALL(xsfixsym, kXsfixsym, nclasses, nsymbols, symbytes, descriptor);
}

void xobinit(void **root, int32_t zero) {
  VYN_CALL(xobinit, kXobinit, root, zero);
}
void *ulxmsg(int32_t group, int32_t number) {
  return VYN_CALL(ulxmsg, kUlxmsg, group, number);
}
void *ulxmsgs(int32_t group, int32_t number, int32_t count, const xins *inserts) {
  return VYN_CALL(ulxmsgs, kUlxmsgs, group, number, count, inserts);
}
void *ulxtxt(const char *text, int32_t length) {
  return VYN_CALL(ulxtxt, kUlxtxt, text, length);
}
void *ulxtxts(const char *format, int32_t count, const xins *inserts) {
  return VYN_CALL(ulxtxts, kUlxtxts, format, count, inserts);
}
void *ulxggcb(void *object) {
  return VYN_CALL(ulxggcb, kUlxggcb, object);
}

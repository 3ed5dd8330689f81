// The host services as the module calls them. Each service is a stub that
// clears the status byte of its group and calls entry [slot] of table
// [group] of the connection with its arguments unchanged. The group/slot
// numbers are the binary interface with the host: never renumber them.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "host/vynconn.h"

// Service addresses: group and slot in the host service vector.
struct xsvcid {
  int16_t group;  // table of the connection
  int16_t slot;   // entry within the table
};

namespace vynsvc {
// BY groups and data-set information
inline constexpr xsvcid kXbynext{203, 4}, kXbyrwnd{203, 5}, kXonote{203, 17}, kXvgett{203, 23},
    kXybyget{203, 26}, kXyvget{203, 27}, kXoinfo{203, 50}, kXvallvr{203, 59}, kXvfind{203, 60},
    kXvgetd{203, 61}, kXvgete{203, 62}, kXvgeti{203, 63}, kXvdflst{203, 65}, kXvsele{203, 72};
// variables and formats
inline constexpr xsvcid kXvname{39, 42}, kXofprc{39, 39};
// log, exit, memory, step set-up
inline constexpr xsvcid kXexit{30, 4}, kXffile{30, 3}, kXmemdef{30, 30}, kXmemmsg{30, 38},
    kXoptcgt{30, 41}, kXpmlog{30, 70}, kXpmstr{30, 74}, kXpsstr{30, 79}, kXpslog{30, 89},
    kXebug{30, 91}, kXpselec{30, 108}, kXplogl{30, 116}, kXpmsgl{30, 117}, kXpoutl{30, 118},
    kXpprnl{30, 119}, kXprrlog{30, 130}, kXpopen{30, 132};
// the table-driven statement parser
inline constexpr xsvcid kXttk{31, 121}, kXtanch{31, 137}, kXsem{31, 236}, kXsproc{31, 249},
    kXsfixsym{31, 309}, kVir2g{0, 76}, kWztxdotr{0, 402};
// output objects
inline constexpr xsvcid kUlxmsg{320, 16}, kUlxmsgs{320, 17}, kUlxtxt{320, 18}, kUlxtxts{320, 19},
    kUlxggcb{320, 49}, kXobinit{326, 27};
}  // namespace vynsvc

// One insert of a catalogue message (%1, %2, ... in the text).
struct xins {
  int32_t kind;      // 0 text, 1 number
  int32_t len;       // text length in bytes; -1 means up to the terminating NUL
  const char *text;  // kind 0: the characters
  double value;      // kind 1: the number: whole below 1e15 in full, else shortest exact form
};

// Name, label, type and width of a variable, as xvname returns them.
struct xvinfo {
  char name[33];      // the name, NUL-terminated
  uint16_t namelen;   // its length
  char label[257];    // the label, NUL-terminated; empty when there is none
  uint16_t labellen;  // its length
  uint8_t type;       // 1 number, 2 characters
  int32_t length;     // storage length in bytes (8 for numbers)
  int32_t fmtw;       // width of the formatted value
};

// Modes of xvgetd: what lands in the target.
enum xvgetd_mode : int32_t { kGetNumber = 1, kGetChars = 2, kGetFormatted = 4 };

// Data-set information items of xoinfo.
enum xoinfo_item : int32_t {
  kInfoObsNumbers = 17,  // above 0 when xonote reports observation numbers
  kInfoReadable = 23,    // above 0 when the selected variables can be read
};

// BY groups and data sets
int32_t xbynext(void *data);  // > 0 while another BY group is ready
int32_t xbyrwnd(void *data);  // back to the first observation of the current BY group
int32_t xonote(void *data);   // number (from 1) of the current observation in its file
int32_t xoinfo(void *data, int32_t item, void *out);
int32_t xvsele(void *data, int32_t count, const int32_t *numbers);
int32_t xvallvr(void *data, int32_t typemask, int32_t *numbers, int32_t capacity);
int32_t xvdflst(void *data, int32_t *numbers, int32_t count, const int32_t *exclude,
                int32_t nexclude);
int32_t xvfind(void *data, const char *name, int32_t length, int32_t *number, int32_t zero);
int32_t xvname(void *data, int32_t number, xvinfo *out);
int32_t xffile(void *data, int32_t item, const int32_t *numbers, int32_t count);
// read requests
int32_t xvgeti(void *data, int32_t count, void **request);
int32_t xvgetd(void *request, int32_t number, int32_t zero, void *target, int32_t width,
               int32_t mode, int32_t zero2, int32_t zero3);
int32_t xvgete(void *request);
int32_t xvgett(void *request);
int32_t xybyget(void *request);  // 1 on the next observation of the BY group, 0 at its end
int32_t xyvget(void *request);   // number and character targets of the observation
int32_t xofprc(void *request);   // formatted targets of the observation

// The three services a read calls for every observation, looked up once per
// read: a call clears the status byte of its group, as the stubs do, and is
// one indirect call. A slot the host left empty holds the stub, which traps
// when called.
struct xrowsvc {
  using fn = int32_t (*)(void *request);
  fn next, values, formatted;                               // xybyget, xyvget, xofprc
  uint8_t *next_status, *values_status, *formatted_status;  // their groups' status bytes
};
xrowsvc xrowsvc_resolve();
inline int32_t xrow_next(const xrowsvc &s, void *request) {
  *s.next_status = 0;
  return s.next(request);
}
inline int32_t xrow_values(const xrowsvc &s, void *request) {
  *s.values_status = 0;
  return s.values(request);
}
inline int32_t xrow_formatted(const xrowsvc &s, void *request) {
  *s.formatted_status = 0;
  return s.formatted(request);
}
// log and exit
void xpmlog(int32_t group, int32_t number, int32_t count, const xins *inserts);
void xprrlog(int32_t zero, int32_t status);
[[noreturn]] void xexit(int32_t code, int32_t zero);
int32_t xpmstr(char *buffer, int32_t length, int32_t group, int32_t number);
int32_t xpsstr(char *buffer, int32_t length, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
void xpslog(const char *format, ...) __attribute__((format(printf, 1, 2)));
void xebug(const char *format, ...) __attribute__((format(printf, 1, 2)));
// memory
void *xpalloc(vynconn::Pool *pool, size_t size, uint32_t flags);
void xpfree(vynconn::Pool *pool, void *block);
int32_t xmemdef();
void xmemmsg(int32_t zero);
// step set-up
int32_t xpopen();
int32_t xpoutl();
int32_t xpprnl();
int32_t xplogl();
int32_t xpmsgl();
int32_t xpselec();
int32_t xoptcgt(const char *option, char *out, int32_t capacity);
// the statement parser
int32_t xsproc(void *descriptor, void *process_block, int32_t trace, int32_t options, int32_t zero,
               int32_t zero2);
void *vir2g(void *module_handle, int32_t group, int32_t slot);
void *xtanch();
int32_t wztxdotr();
void xsfixsym(int32_t nclasses, int32_t nsymbols, int32_t symbytes, void **descriptor);
// output objects
void xobinit(void **root, int32_t zero);
void *ulxmsg(int32_t group, int32_t number);
void *ulxmsgs(int32_t group, int32_t number, int32_t count, const xins *inserts);
void *ulxtxt(const char *text, int32_t length);
void *ulxtxts(const char *format, int32_t count, const xins *inserts);
void *ulxggcb(void *object);

// Host side of the variadic services: the stub passes its va_list on.
using xpsstr_host = int32_t (*)(char *, int32_t, const char *, va_list);
using xpslog_host = void (*)(const char *, va_list);

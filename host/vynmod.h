// How the host finds a procedure in a loaded module: the module entry returns
// its descriptor, which leads to the procedure connection list.
//
// 64-bit adaptation: the entry address of a procedure connection record is a
// pointer (8 bytes); the 32-bit fields keep their order around it.
#pragma once

#include <cstdint>

// One procedure of a module.
struct mcn_pcn {
  uint32_t marker;         // 0xFFFF0000
  uint32_t version;        // 1024
  uint32_t level;          // 1024
  char name[8];            // the procedure entry's name, blank-padded, not terminated
  uint32_t zero;           // 0
  void (*entry)();         // the procedure entry
  uint32_t kind;           // 3: a procedure run once per step
  uint32_t host_words[3];  // words only the host interprets
};

// What the module entry returns to the host.
struct mcn_desc {
  char ident[16];              // image identification, NUL-terminated
  const mcn_pcn *const *pcns;  // the procedure connection list, ended by nullptr
};

// The module entry: stores the connection and module handle, returns the descriptor.
using mcn_main_fn = const mcn_desc *(*)(void **connection, void *module_handle);

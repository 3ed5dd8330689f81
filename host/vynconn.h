// The connection between the host and the module: the host service vector
// and the records it leads to. Host and module both include this header; it
// is the binary interface between them, so numbers here are never changed.
//
// 64-bit adaptation: the host these records come from had 32-bit words. Every
// "word" below is one pointer-sized slot (8 bytes); word numbers keep their
// meaning, byte offsets of word-sized fields double.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vynconn {

// Connection words (index into the connection array).
enum ConnectionWord : int {
  kServiceTables = 0,  // void** tables[group] -> void* entry[slot]
  kStatusArray = 1,    // uint8_t status[group]; a stub clears its byte
  kProcessBlock = 4,   // ProcessBlock*: leads to the statement block
  kStepPool = 5,       // Pool* of the current step
  kCharClasses = 8,    // const uint16_t[256] character classes (bit 8: blank)
  kMissingTable = 9,   // const double[256] missing values by letter code
  kWorkPool = 19,      // Pool* for work areas
  kKernelBlock = 82,   // opaque block of the support libraries
  kConnectionWords = 84
};

// Number of service groups and of slots per group the host allocates.
inline constexpr int kServiceGroups = 330;
inline constexpr int kServiceSlots = 410;

// Bit of a character class marking a blank.
inline constexpr uint16_t kClassBlank = 1u << 8;

// Flags of a pool allocation: 0x3006 zero-fills the block.
inline constexpr uint32_t kAllocZeroFill = 0x3006;

struct Pool;
using PoolAllocFn = void *(*)(Pool *pool, size_t size, uint32_t flags);
using PoolFreeFn = void (*)(Pool *pool, void *block, int zero, int code);

// A memory pool: entry 0 allocates, entry 1 frees; the rest is the host's.
struct Pool {
  PoolAllocFn allocate;  // entry 0: (pool, size, flags) -> block or null
  PoolFreeFn release;    // entry 1: (pool, block, 0, 4)
  void *host;            // the host's own pool state
};

// The chain from connection word 4 to the parse header: word 10 of the
// process block, word 12 of that block and word 20 of the next.
inline constexpr int kProcessToStepWord = 10;
inline constexpr int kStepToParseWord = 12;
inline constexpr int kParseToHeaderWord = 20;

// Parse header: its first word points to the statement block; the 16-bit
// parse status sits at byte 12 (in 64-bit words: byte 8 holds the trace
// options, byte 12 the status).
struct ParseHeader {
  void *statement_block;  // the statement block the parser filled
  uint32_t options;       // options given to the parser
  uint16_t status;        // 0 when every statement parsed
  uint16_t spare;         // keeps the record 16 bytes
};
static_assert(offsetof(ParseHeader, status) == 12);

}  // namespace vynconn

// The records of the statement parser shared by host and module: the grammar
// descriptor the module hands to the host's parser, and the statement block
// the host's semantic routine fills.
//
// 64-bit adaptation. These records come from a host with 32-bit words.
// Every field keeps its place in the order and its meaning; fields that hold
// an address grow to 8 bytes and the fields behind them move:
//  - grammar descriptor: the fifteen table addresses, the two routine
//    addresses and the anchor are 8 bytes each, so the 184-byte block is
//    264 bytes here (offsets below);
//  - statement block: the flags still start at byte 36 and the slot array
//    address at byte 72 (already 8-aligned), now 8 bytes wide;
//  - option slots: a slot holding a list needs its array address, so every
//    slot is 24 bytes (slot k at byte 24·k); the present byte, the counts at
//    bytes 4 and 8 and the number at bytes 4..11 keep their places, the
//    array address (or, in the data-set slot, the data set handle) moves
//    from bytes 12..15 to bytes 16..23.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vynstmt {

// ---------------------------------------------------------------------------
// Grammar descriptor

// Action value in prdlst: a right-hand-side entry of kActionBase or more is a
// semantic action, numbered 65536 minus the value (actions count from 1).
inline constexpr uint32_t kActionBase = 32768;

// Entries of prslst. For state s the list at prsndx[s] holds a count n and n
// pairs (symbol, action), sorted by symbol; terminals and nonterminals both
// appear (a nonterminal's action is its goto). Action values:
inline constexpr uint16_t kActError = 0;           // symbol absent: error
inline constexpr uint16_t kActShiftBase = 1;       // 1 + state: shift or goto
inline constexpr uint16_t kActReduceBase = 32768;  // 32768 + production: reduce
inline constexpr uint16_t kActAccept = 65535;      // the statement is complete

// instbl at insndx[s]: a count of candidate strings, then per candidate its
// length and its terminal symbols, cheapest first. These are the strings the
// repair tries to insert in state s: each terminal the state shifts, and the
// cheapest terminal string of each nonterminal the state has a goto on.

// The fifteen tables, in the descriptor's order.
struct GrammarTables {
  const uint16_t *prdlst;  // productions: length, then the right side right to left
  const uint16_t *prdndx;  // start of each production in prdlst
  const uint16_t *lhstbl;  // left side of each production (nonterminal index from 0)
  const uint16_t *prslst;  // LR actions and gotos per state (see above)
  const uint16_t *prsndx;  // start of each state in prslst
  const uint16_t *actmap;  // kind of action n at entry n-1
  const uint16_t *argndx;  // start of action n's arguments in argtbl; 65535 none
  const uint16_t *argtbl;  // argument lists: a count, then the arguments
  const uint8_t *symtbl;   // symbols as length-prefixed strings
  const uint16_t *symndx;  // byte offset of each symbol in symtbl
  const uint16_t *symmap;  // symbol number of each entry (entry i: symbol i+1)
  const uint8_t *delcost;  // cost of deleting each terminal
  const uint8_t *inscost;  // cost of inserting each terminal, then each nonterminal
  const uint16_t *insndx;  // start of each state in instbl
  const uint16_t *instbl;  // insertion candidates per state (see above)
};

// The descriptor itself; offsets in the 32-bit original in brackets.
struct GrammarDescriptor {
  uint16_t version;            // 0 [0]: 1
  uint16_t first_nonterminal;  // 2 [2]: symbol number of the first nonterminal
  uint16_t nterminals;         // 4 [4]: number of terminal symbols (the end marker last)
  uint16_t prslst_length;      // 6 [6]: entries of prslst
  GrammarTables tables;        // 8 [8..67]
  uint16_t max_cost;           // 128 [68]: highest repair cost
  uint16_t reserved63;         // 130 [70]: 63, the host's
  uint16_t instbl_length;      // 132 [72]: entries of instbl
  uint16_t spare0;             // 134
  void *token_routine;         // 136 [76]: the host's token routine (xttk)
  void *semantic_routine;      // 144 [80]: the host's semantic routine (xsem)
  uint8_t spare1[24];          // 152 [84..107]
  int32_t nclasses;            // 176 [108]: number of token classes
  uint8_t spare2[28];          // 180 [112..135]
  void *anchor;                // 208 [136]: the parser anchor (xtanch)
  uint8_t spare3[48];          // 216 [140..183]
};
static_assert(offsetof(GrammarDescriptor, max_cost) == 128);
static_assert(offsetof(GrammarDescriptor, token_routine) == 136);
static_assert(offsetof(GrammarDescriptor, nclasses) == 176);
static_assert(offsetof(GrammarDescriptor, anchor) == 208);
static_assert(sizeof(GrammarDescriptor) == 264);

// ---------------------------------------------------------------------------
// Statement block

// Option slots 0..16 (their meaning belongs to the options record).
inline constexpr int kStmtSlots = 17;
// Slot of the input data set.
inline constexpr int kDataSetSlot = 4;
// Bytes of the flag bit string (flags 0..287).
inline constexpr int kFlagBytes = 36;

// One option slot. A list slot uses present, count, count2 and elements; a
// number slot present and the number at bytes 4..11; the data-set slot
// present and handle.
struct StmtSlot {
  uint8_t present;   // 0: nonzero when the statement or option was written
  uint8_t spare[3];  // 1..3
  int32_t count;     // 4..7: list elements
  int32_t count2;    // 8..11: second count (the module's, after it replaces a list)
  int32_t spare2;    // 12..15: the 32-bit array address in the original
  union {
    int32_t *elements;  // 16..23: the list's 32-bit elements
    void *handle;       // 16..23: the data-set slot's data set
  };
};
static_assert(sizeof(StmtSlot) == 24);
static_assert(offsetof(StmtSlot, count) == 4);
static_assert(offsetof(StmtSlot, elements) == 16);

// The statement block: the flag bit string and the slot array.
struct StatementBlock {
  uint8_t spare[36];          // 0..35: the host's
  uint8_t flags[kFlagBytes];  // 36..71: flag k is bit 7 - k%8 of byte k/8
  StmtSlot *slots;            // 72..79: kStmtSlots slots
};
static_assert(offsetof(StatementBlock, flags) == 36);
static_assert(offsetof(StatementBlock, slots) == 72);

inline bool stmtFlag(const StatementBlock &block, int k) {
  return k >= 0 && k < 8 * kFlagBytes && (block.flags[k / 8] & (0x80u >> (k % 8))) != 0;
}

inline void setStmtFlag(StatementBlock &block, int k) {
  if (k >= 0 && k < 8 * kFlagBytes) block.flags[k / 8] |= static_cast<uint8_t>(0x80u >> (k % 8));
}

// The number of a number slot (bytes 4..11, not 8-aligned).
inline double slotNumber(const StmtSlot &slot) {
  double value;
  std::memcpy(&value, reinterpret_cast<const uint8_t *>(&slot) + 4, sizeof value);
  return value;
}

inline void setSlotNumber(StmtSlot &slot, double value) {
  std::memcpy(reinterpret_cast<uint8_t *>(&slot) + 4, &value, sizeof value);
}

// Codes of the coded lists (appended as their negatives).
inline constexpr int32_t kCodeColon = 1;       // ":" between the sides of a pair group
inline constexpr int32_t kCodeStar = 2;        // "*" between the sides of a pair group
inline constexpr int32_t kCodeGroupStart = 3;  // before the left side of a pair group
inline constexpr int32_t kCodeRightSide = 4;   // before the right side of a pair group
inline constexpr int32_t kCodeListEnd = 5;     // after the last pair group

}  // namespace vynstmt

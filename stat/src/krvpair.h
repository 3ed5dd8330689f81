// Pairs of the PAIRED statement: the coded list of the parser expanded into
// the ordered pairs of the paired analysis.
#pragma once

#include <cstdint>

#include "xob/kravo.h"

// The pairing state; list positions are 16-bit, so a coded list holds at
// most 32767 elements.
struct krvpairing {
  int32_t mapsize;      // largest variable number in the list plus 1
  int32_t npairs;       // number of pairs
  int32_t *map;         // per variable number: 0 when not listed, else its rank from 1
  int32_t left_start;   // list position of the first left variable of the group
  int32_t right_start;  // list position of the first right variable of the group
  int32_t left_cur;     // list position of the current pair's left member
  int32_t right_cur;    // list position of the current pair's right member
  int32_t left_count;   // variables on the left side of the group
  int32_t right_count;  // variables on the right side of the group
  int16_t position;     // list position of the next group's leading code; 32767 at the end
  int16_t one_to_one;   // 1 for a ":" group, 0 for a "*" group
  const int32_t *list;  // the coded list of the PAIRED slot
  int32_t length;       // its number of elements
};

inline constexpr int16_t kPairListEnd = 32767;
inline constexpr int32_t kPairListMax = 32767;

// Counts the pairs, builds the map and replaces the VAR list by the paired
// variables; returns the pair count.
int32_t krvpini(krvopts *opts);
// The first pair of two different variables: 0, or 1 when there is none.
int32_t krvp1st(krvpairing *state, int32_t *first, int32_t *second);
// The next pair of two different variables: 0, or 1 when there is none.
int32_t krvpnxt(krvpairing *state, int32_t *first, int32_t *second);
// Index of a variable among the paired variables, from 0.
int32_t krvpmap(const krvpairing *state, int32_t varnum);

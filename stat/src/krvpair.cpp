// Expansion of the PAIRED coded list: per group -3, the left variables, the
// operator (-2 "*", -1 ":"), -4, the right variables; -5 after the last group.
#include "stat/src/krvpair.h"

#include "core/src/krvstmt.h"
#include "dsup/src/mcnpool.h"
#include "xob/krvmsg.h"

namespace {

constexpr int kVarSlot = 1;
constexpr int kPairedSlot = 3;

int32_t element(const krvpairing *s, int32_t pos) {
  return pos >= 0 && pos < s->length ? s->list[pos] : -vynstmt::kCodeListEnd;
}

// Number of variable elements (>= 0) from `pos` on.
int32_t runLength(const krvpairing *s, int32_t pos) {
  int32_t n = 0;
  while (element(s, pos + n) >= 0) ++n;
  return n;
}

// Loads the group at `position`: 1 when the list is exhausted, else 0.
int32_t krvpair_set(krvpairing *s) {
  if (s->position == kPairListEnd || element(s, s->position) == -vynstmt::kCodeListEnd) {
    s->position = kPairListEnd;
    return 1;
  }
  s->left_start = s->left_cur = s->position + 1;
  s->left_count = runLength(s, s->left_start);
  const int32_t op = s->left_start + s->left_count;
  s->one_to_one = element(s, op) == -vynstmt::kCodeStar ? 0 : 1;
  s->right_start = s->right_cur = op + 2;
  s->right_count = runLength(s, s->right_start);
  int32_t next = s->right_start + s->right_count;
  // a malformed list ends where its codes stop making sense
  const int32_t code = element(s, next);
  if (code != -vynstmt::kCodeGroupStart && code != -vynstmt::kCodeListEnd) next = s->length;
  s->position = static_cast<int16_t>(next >= s->length ? kPairListEnd : next);
  return 0;
}

// Loads groups until one has a pair: 1 when none is left.
int32_t loadNonEmptyGroup(krvpairing *s) {
  while (krvpair_set(s) == 0) {
    if (s->left_count > 0 && s->right_count > 0) return 0;
  }
  return 1;
}

// Advances to the next pair: 1 at the end, else 0.
int32_t krvpair_next(krvpairing *s) {
  const bool leftLast = s->left_cur == s->left_start + s->left_count - 1;
  const bool rightLast = s->right_cur == s->right_start + s->right_count - 1;
  if (leftLast && rightLast) return loadNonEmptyGroup(s);
  if (s->one_to_one) {
    ++s->left_cur;
    ++s->right_cur;
  } else if (rightLast) {
    ++s->left_cur;
    s->right_cur = s->right_start;
  } else {
    ++s->right_cur;
  }
  return 0;
}

void currentPair(const krvpairing *s, int32_t *first, int32_t *second) {
  *first = element(s, s->left_cur);
  *second = element(s, s->right_cur);
}

// Pairs of all groups; a ":" group with sides of different lengths ends the
// step with message 36.
int32_t krvpair_count(krvopts *opts, krvpairing *s) {
  s->position = 0;
  int32_t count = 0;
  while (krvpair_set(s) == 0) {
    const int32_t *left = s->list + s->left_start;
    const int32_t *right = s->list + s->right_start;
    if (s->one_to_one) {
      if (s->left_count != s->right_count) krverror(opts, 36, 3000);
      for (int32_t i = 0; i < s->left_count; ++i) count += left[i] != right[i] ? 1 : 0;
    } else {
      for (int32_t i = 0; i < s->left_count; ++i) {
        for (int32_t j = 0; j < s->right_count; ++j) count += left[i] != right[j] ? 1 : 0;
      }
    }
  }
  s->position = kPairListEnd;
  return count;
}

int32_t krvpair_maxvarnum(const krvpairing *s) {
  int32_t most = -1;
  for (int32_t i = 0; i < s->length; ++i) most = s->list[i] > most ? s->list[i] : most;
  return most;
}

// Replaces the VAR list by the k paired variables in ascending order.
int32_t replaceVarList(krvopts *opts, krvpairing *s, vynstmt::StatementBlock *block) {
  int32_t k = 0;
  for (int32_t v = 0; v < s->mapsize; ++v) {
    if (s->map[v] != 0) s->map[v] = ++k;
  }
  auto *vars = static_cast<int32_t *>(mcn_step_alloc(sizeof(int32_t) * (k > 0 ? k : 1)));
  if (vars == nullptr) {
    krvnomem(opts);
  }
  for (int32_t v = 0, i = 0; v < s->mapsize; ++v) {
    if (s->map[v] != 0) vars[i++] = v;
  }
  vynstmt::StmtSlot &var = block->slots[kVarSlot];
  var.present = block->slots[kPairedSlot].present;
  var.count = k;
  var.count2 = k;
  var.elements = vars;
  return k;
}

}  // namespace

int32_t krvpini(krvopts *opts) {
  krvpairing *s = opts->pairing;
  vynstmt::StatementBlock *block = krvstmt();
  const vynstmt::StmtSlot &paired = block->slots[kPairedSlot];
  if (paired.count > kPairListMax) {
    xins in = krvins_num(paired.count);
    krverror(opts, 900, 3000, 1, &in);
  }
  s->list = paired.elements;
  s->length = paired.elements == nullptr ? 0 : paired.count;
  s->position = kPairListEnd;
  s->npairs = krvpair_count(opts, s);
  s->mapsize = krvpair_maxvarnum(s) + 1;
  s->map =
      static_cast<int32_t *>(mcn_step_alloc(sizeof(int32_t) * (s->mapsize > 0 ? s->mapsize : 1)));
  if (s->map == nullptr) {
    krvnomem(opts);
  }
  for (int32_t i = 0; i < s->length; ++i) {
    if (s->list[i] >= 0) s->map[s->list[i]] = 1;
  }
  opts->nvars = replaceVarList(opts, s, block);
  return s->npairs;
}

int32_t krvp1st(krvpairing *s, int32_t *first, int32_t *second) {
  s->position = 0;
  if (loadNonEmptyGroup(s) != 0) return 1;
  currentPair(s, first, second);
  return *first == *second ? krvpnxt(s, first, second) : 0;
}

int32_t krvpnxt(krvpairing *s, int32_t *first, int32_t *second) {
  do {
    if (krvpair_next(s) != 0) return 1;
    currentPair(s, first, second);
  } while (*first == *second);
  return 0;
}

int32_t krvpmap(const krvpairing *s, int32_t varnum) {
  if (varnum < 0 || varnum >= s->mapsize) return -1;
  return s->map[varnum] - 1;
}

// Remembered quantiles: the central t and chi-square quantiles and the UMPU pair that a
// step asks for again and again (the same degrees of freedom and level for every variable
// of a BY group, and across BY groups of similar size). Each entry is a pure function of
// its arguments, so a remembered result is the one a fresh call returns, bit for bit.
//
// Every kind keeps a small direct-mapped table keyed by the exact bit patterns of both
// arguments; a request that lands on a slot holding other arguments computes afresh and
// takes the slot. The tables are per thread and of fixed size.
#include <bit>
#include <cstdint>

#include "numerics/zdist.h"

namespace {

constexpr unsigned kSlotBits = 8;

struct Slot {
  std::uint64_t a = 0, b = 0;  // bit patterns of the two arguments
  bool used = false;
  int rc = 0;
  double x1 = 0, x2 = 0;  // the results
};

struct Table {
  Slot slots[1u << kSlotBits];

  // The slot of (a, b): its arguments match when `found` is set.
  Slot &find(double a, double b, bool *found) {
    const auto ka = std::bit_cast<std::uint64_t>(a), kb = std::bit_cast<std::uint64_t>(b);
    const std::uint64_t h = ka * 0x9E3779B97F4A7C15ull ^ kb * 0xC2B2AE3D27D4EB4Full;
    Slot &s = slots[(h ^ (h >> 29)) >> (64 - kSlotBits)];
    *found = s.used && s.a == ka && s.b == kb;
    if (!*found) s = {ka, kb, true, 0, 0, 0};
    return s;
  }
};

thread_local Table tTable, cTable, umpuTable;

// A central quantile of the entry `solve` (zlogtnc or zlogcnc), remembered in `table`.
template <typename Request>
int rememberedQuantile(Table &table, int (*solve)(Request *), double p, double df, double *x) {
  bool found;
  Slot &s = table.find(p, df, &found);
  if (!found) {
    Request r{};
    r.mode = ZMODE_QUANTILE;
    r.p = p;
    r.df = df;
    s.rc = solve(&r);
    s.x1 = r.x;
  }
  *x = s.x1;
  return s.rc;
}

}  // namespace

int zmemotq(double p, double df, double *x) {
  return rememberedQuantile(tTable, zlogtnc, p, df, x);
}

int zmemocq(double p, double df, double *x) {
  return rememberedQuantile(cTable, zlogcnc, p, df, x);
}

int zmemocnf1c(double alpha, double nu, double *c1, double *c2) {
  bool found;
  Slot &s = umpuTable.find(alpha, nu, &found);
  if (!found) s.rc = zcnf1c(alpha, nu, &s.x1, &s.x2);
  if (s.rc != 0) return s.rc;  // a failure leaves the caller's values as they were
  *c1 = s.x1;
  *c2 = s.x2;
  return 0;
}

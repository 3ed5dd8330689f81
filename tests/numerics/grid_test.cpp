// Scores the distribution functions on the committed mpmath reference grid
// (tests/numerics/grid.csv, grid_nc.csv and grid_edge.csv, made by gen_grid.py) against
// these goals:
//   log tails: err = |L - L_ref| / max(1, |L_ref|) in units of eps = 2^-53; central t, F
//              and chi-square, both tails: <= 8 eps on 99% of the grid, <= 64 eps
//              everywhere, no failure (NaN, -inf or result 1 where the reference is finite);
//   quantiles: relative error of x <= 1e-12 wherever the bracket reaches the root;
//   UMPU pair: relative error <= 1e-7 and both conditions met, for alpha up to 0.99;
//   noncentral tails and densities: <= 4 eps, down to noncentralities of 1e-300.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "numerics/zdist.h"

namespace {

using ld = long double;
constexpr ld EPS = 1.1102230246251565e-16L;

struct Row {
  std::string kind;
  std::vector<double> in;
  std::vector<ld> ref;
};

std::vector<Row> load(const std::string &name, size_t nin) {
  std::vector<Row> rows;
  std::ifstream f(std::string(ZGRID_DIR) + "/" + name);
  std::string line;
  while (std::getline(f, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::stringstream ss(line);
    std::string tok;
    Row r;
    std::getline(ss, r.kind, ',');
    size_t n = nin;
    if (r.kind == "f" || r.kind == "qf" || r.kind == "nt" || r.kind == "nc") n = 3;
    if (r.kind == "t" || r.kind == "c" || r.kind == "qt" || r.kind == "qc" || r.kind == "u") n = 2;
    if (r.kind == "nf") n = 4;
    for (size_t i = 0; std::getline(ss, tok, ','); ++i) {
      if (i < n)
        r.in.push_back(std::strtod(tok.c_str(), nullptr));
      else
        r.ref.push_back(std::strtold(tok.c_str(), nullptr));
    }
    rows.push_back(r);
  }
  return rows;
}

// error of a log value in eps units; infinity marks a failure
ld logerr(double got, ld ref) {
  if (std::isinf(ref)) return (std::isinf(got) && (got < 0) == (ref < 0)) ? 0 : INFINITY;
  if (!std::isfinite(got)) return INFINITY;
  return std::fabs((ld)got - ref) / std::max((ld)1, std::fabs(ref)) / EPS;
}

struct Stat {
  std::vector<ld> e;
  int fails = 0;
  std::string worst;
  ld worstv = -1;
  void add(ld v, const std::string &where) {
    if (std::isinf(v)) {
      ++fails;
      if (fails <= 3) std::printf("  failure: %s\n", where.c_str());
    } else {
      e.push_back(v);
    }
    if (v > worstv) {
      worstv = v;
      worst = where;
    }
  }
  ld pct(double q) const {
    if (e.empty()) return 0;
    std::vector<ld> s = e;
    std::sort(s.begin(), s.end());
    size_t i = static_cast<size_t>(std::ceil(q * s.size())) - 1;
    return s[std::min(i, s.size() - 1)];
  }
  ld max() const { return e.empty() ? 0 : *std::max_element(e.begin(), e.end()); }
};

void print(const char *name, const Stat &s, const char *unit) {
  std::printf("%-22s n=%5zu  p99=%10.3Lg  max=%10.3Lg %s  failures=%d   worst: %s\n", name,
              s.e.size() + s.fails, s.pct(0.99), s.max(), unit, s.fails, s.worst.c_str());
}

std::string where(const Row &r) {
  std::ostringstream o;
  o.precision(17);
  o << r.kind;
  for (double v : r.in) o << " " << v;
  return o.str();
}

const std::vector<Row> &grid() {
  static const std::vector<Row> g = load("grid.csv", 2);
  return g;
}
const std::vector<Row> &gridnc() {
  static const std::vector<Row> g = load("grid_nc.csv", 3);
  return g;
}
const std::vector<Row> &gridedge() {
  static const std::vector<Row> g = load("grid_edge.csv", 3);
  return g;
}

// The rows of a grid file and the edge rows of the same kinds.
std::vector<Row> withEdge(const std::vector<Row> &rows) {
  std::vector<Row> all = rows;
  all.insert(all.end(), gridedge().begin(), gridedge().end());
  return all;
}

TEST(Grid, Loaded) {
  EXPECT_GT(grid().size(), 2000u);
  EXPECT_GT(gridnc().size(), 200u);
  EXPECT_GT(gridedge().size(), 200u);
}

// Central tails and densities.
TEST(Grid, CentralTails) {
  std::map<std::string, Stat> st;
  for (const Row &r : grid()) {
    double lo = NAN, up = NAN, dn = NAN;
    int rc = 1;
    if (r.kind == "t") {
      ztreq q{};
      q.mode = ZMODE_PROB | ZMODE_DENSITY;
      q.x = r.in[0];
      q.df = r.in[1];
      rc = zlogtnc(&q);
      lo = q.lnlower, up = q.lnupper, dn = q.lndens;
    } else if (r.kind == "f") {
      zfreq q{};
      q.mode = ZMODE_PROB | ZMODE_DENSITY;
      q.x = r.in[0];
      q.df1 = r.in[1];
      q.df2 = r.in[2];
      rc = zlogfnc(&q);
      lo = q.lnlower, up = q.lnupper, dn = q.lndens;
    } else if (r.kind == "c") {
      zcreq q{};
      q.mode = ZMODE_PROB | ZMODE_DENSITY;
      q.x = r.in[0];
      q.df = r.in[1];
      rc = zlogcnc(&q);
      lo = q.lnlower, up = q.lnupper, dn = q.lndens;
    } else {
      continue;
    }
    const std::string w = where(r);
    if (rc != 0) lo = up = dn = NAN;
    st[r.kind + " lower"].add(logerr(lo, r.ref[0]), w + " lower");
    st[r.kind + " upper"].add(logerr(up, r.ref[1]), w + " upper");
    st[r.kind + " density"].add(logerr(dn, r.ref[2]), w + " density");
  }
  std::printf(
      "central log tails and log densities, error in eps = 2^-53 (relative to "
      "max(1,|L|))\n");
  for (const auto &kv : st) print(kv.first.c_str(), kv.second, "eps");
  for (const char *k : {"t lower", "t upper", "f lower", "f upper", "c lower", "c upper"}) {
    const Stat &s = st[k];
    EXPECT_EQ(s.fails, 0) << k;
    EXPECT_LE(s.pct(0.99), 8) << k;
    EXPECT_LE(s.max(), 64) << k << " worst " << s.worst;
  }
  for (const char *k : {"t density", "f density", "c density"}) {
    const Stat &s = st[k];
    EXPECT_EQ(s.fails, 0) << k;
    EXPECT_LE(s.max(), 64) << k << " worst " << s.worst;
  }
}

double quantile(const Row &r, double p) {
  int rc = 1;
  double x = NAN;
  if (r.kind == "qt") {
    ztreq q{};
    q.mode = ZMODE_QUANTILE;
    q.p = p;
    q.df = r.in[1];
    rc = zlogtnc(&q);
    x = q.x;
  } else if (r.kind == "qf") {
    zfreq q{};
    q.mode = ZMODE_QUANTILE;
    q.p = p;
    q.df1 = r.in[1];
    q.df2 = r.in[2];
    rc = zlogfnc(&q);
    x = q.x;
  } else {
    zcreq q{};
    q.mode = ZMODE_QUANTILE;
    q.p = p;
    q.df = r.in[1];
    rc = zlogcnc(&q);
    x = q.x;
  }
  return rc == 0 ? x : INFINITY;
}

// Quantiles: 1e-12 relative wherever the root is a double the bracket reaches.
TEST(Grid, Quantiles) {
  std::map<std::string, Stat> st;
  int beyond = 0, beyond_rc1 = 0;
  for (const Row &r : grid()) {
    double x = NAN;
    int rc = 1;
    if (r.kind == "qt") {
      ztreq q{};
      q.mode = ZMODE_QUANTILE;
      q.p = r.in[0];
      q.df = r.in[1];
      rc = zlogtnc(&q);
      x = q.x;
    } else if (r.kind == "qf") {
      zfreq q{};
      q.mode = ZMODE_QUANTILE;
      q.p = r.in[0];
      q.df1 = r.in[1];
      q.df2 = r.in[2];
      rc = zlogfnc(&q);
      x = q.x;
    } else if (r.kind == "qc") {
      zcreq q{};
      q.mode = ZMODE_QUANTILE;
      q.p = r.in[0];
      q.df = r.in[1];
      rc = zlogcnc(&q);
      x = q.x;
    } else {
      continue;
    }
    const ld ref = r.ref[0];
    if (r.kind == "qt" && r.in[0] == 0.5) {  // the exact root 0 of the symmetric case
      st[r.kind].add(rc == 0 && x == 0 ? 0 : INFINITY, where(r));
      continue;
    }
    // The bracket moves the guess by at most 1.5^50 (6.4e8) or 0.7^50 (1.8e-8):
    // a root far outside the bulk of the distribution (here: more than 1e8 times, or less
    // than 1e-7 times, the 0.75 quantile) or outside the doubles may not be reached, and
    // result 1 is then the specified answer.
    const double scale = std::fabs(quantile(r, 0.75));
    const bool reachable = std::isfinite(ref) && ref != 0 && std::isfinite(scale) &&
                           std::fabs(ref) <= 1e8 * scale && std::fabs(ref) >= 1e-7 * scale;
    if (!reachable) {
      ++beyond;
      if (rc != 0) {
        ++beyond_rc1;
        continue;
      }
      if (std::isinf(ref) || ref == 0) continue;
    }
    ld e = INFINITY;
    if (rc == 0 && std::isfinite(x)) e = std::fabs((ld)x - ref) / std::fabs(ref);
    st[r.kind].add(e, where(r));
  }
  std::printf(
      "quantiles, relative error of x (%d grid roots beyond the reach of the "
      "bracket or the doubles, %d of them answered with result 1)\n",
      beyond, beyond_rc1);
  for (const auto &kv : st) print(kv.first.c_str(), kv.second, "rel");
  for (const auto &kv : st) {
    EXPECT_EQ(kv.second.fails, 0) << kv.first;
    EXPECT_LE(kv.second.max(), 1e-12) << kv.first << " worst " << kv.second.worst;
  }
}

TEST(Grid, UmpuPair) {
  Stat s1, s2, cond;
  for (const Row &r : withEdge(grid())) {
    if (r.kind != "u") continue;
    const double alpha = r.in[0], nu = r.in[1];
    double c1 = NAN, c2 = NAN;
    const int rc = zcnf1c(alpha, nu, &c1, &c2);
    const std::string w = where(r);
    if (rc != 0) {
      s1.add(INFINITY, w);
      continue;
    }
    s1.add(std::fabs((ld)c1 - r.ref[0]) / r.ref[0], w + " c1");
    s2.add(std::fabs((ld)c2 - r.ref[1]) / r.ref[1], w + " c2");
    EXPECT_LT(c1, c2) << w;
    // both conditions, evaluated with the module's own functions
    double l1, u1, l2, u2;
    ASSERT_EQ(zplbcnc(c1, nu, 0, &l1, &u1), 0);
    ASSERT_EQ(zplbcnc(c2, nu, 0, &l2, &u2), 0);
    // each condition's residual as the relative change of c2 (first) or c1 (second) that
    // would remove it, comparable with the 1e-7 of the stopping rules
    double d2;
    ASSERT_EQ(zldncnc(c2, nu, 0, &d2), 0);
    const ld cover = std::exp((ld)l2) - std::exp((ld)l1);
    const ld e1 = std::fabs(cover - (1 - (ld)alpha)) / (std::exp((ld)d2) * c2);
    const ld h1 = nu * std::log((ld)c1) - c1, h2 = nu * std::log((ld)c2) - c2;
    const ld e2 = std::fabs(h1 - h2) / std::fabs(nu - (ld)c1);
    cond.add(std::max(e1, e2), w);
  }
  print("u c1", s1, "rel");
  print("u c2", s2, "rel");
  print("u conditions", cond, "rel (as shifts of c2, c1)");
  EXPECT_EQ(s1.fails, 0);
  EXPECT_LE(s1.max(), 1e-7) << s1.worst;
  EXPECT_LE(s2.max(), 1e-7) << s2.worst;
  EXPECT_LE(cond.max(), 1e-7) << cond.worst;
}

TEST(Grid, Noncentral) {
  std::map<std::string, Stat> st;
  for (const Row &r : withEdge(gridnc())) {
    double lo = NAN, up = NAN, dn = NAN;
    int rc = 1;
    if (r.kind == "nt") {
      ztreq q{};
      q.mode = ZMODE_PROB | ZMODE_DENSITY;
      q.x = r.in[0];
      q.df = r.in[1];
      q.delta = r.in[2];
      rc = zlogtnc(&q);
      lo = q.lnlower, up = q.lnupper, dn = q.lndens;
    } else if (r.kind == "nf") {
      zfreq q{};
      q.mode = ZMODE_PROB | ZMODE_DENSITY;
      q.x = r.in[0];
      q.df1 = r.in[1];
      q.df2 = r.in[2];
      q.ncp = r.in[3];
      rc = zlogfnc(&q);
      lo = q.lnlower, up = q.lnupper, dn = q.lndens;
    } else if (r.kind == "nc") {
      zcreq q{};
      q.mode = ZMODE_PROB | ZMODE_DENSITY;
      q.x = r.in[0];
      q.df = r.in[1];
      q.ncp = r.in[2];
      rc = zlogcnc(&q);
      lo = q.lnlower, up = q.lnupper, dn = q.lndens;
    } else {
      continue;
    }
    if (rc != 0) lo = up = dn = NAN;
    const std::string w = where(r);
    st[r.kind + " lower"].add(logerr(lo, r.ref[0]), w + " lower");
    st[r.kind + " upper"].add(logerr(up, r.ref[1]), w + " upper");
    st[r.kind + " density"].add(logerr(dn, r.ref[2]), w + " density");
  }
  std::printf("noncentral log tails and densities, error in eps\n");
  for (const auto &kv : st) print(kv.first.c_str(), kv.second, "eps");
  for (const auto &kv : st) {
    EXPECT_EQ(kv.second.fails, 0) << kv.first;
    EXPECT_LE(kv.second.max(), 4) << kv.first << " worst " << kv.second.worst;
  }
}

}  // namespace

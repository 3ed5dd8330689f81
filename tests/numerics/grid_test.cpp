// Scores the distribution functions on the committed mpmath reference grid
// (tests/numerics/grid.csv, grid_nc.csv and grid_edge.csv, made by gen_grid.py) against
// these goals:
//   log tails: err = |L - L_ref| / max(1, |L_ref|) in units of eps = 2^-53; central t, F
//              and chi-square, both tails: <= 8 eps on 99% of the grid, <= 64 eps
//              everywhere, no failure (NaN, -inf or result 1 where the reference is finite);
//   quantiles: relative error of x <= 3e-16 (about two roundings) wherever the root is
//              a double;
//   UMPU pair: relative error <= 1e-15 and both conditions met to 4e-15, for alpha up to 0.99;
//   noncentral tails and densities: <= 4 eps, down to noncentralities of 1e-300.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
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

size_t inputsOf(const std::string &kind) {
  if (kind == "nf") return 4;
  return kind == "f" || kind == "qf" || kind == "nt" || kind == "nc" ? 3 : 2;
}

std::vector<Row> load(const std::string &name) {
  std::vector<Row> rows;
  std::ifstream f(std::string(ZGRID_DIR) + "/" + name);
  std::string line, tok;
  while (std::getline(f, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::stringstream ss(line);
    Row r;
    std::getline(ss, r.kind, ',');
    for (size_t i = 0; std::getline(ss, tok, ','); ++i) {
      if (i < inputsOf(r.kind))
        r.in.push_back(std::strtod(tok.c_str(), nullptr));
      else
        r.ref.push_back(std::strtold(tok.c_str(), nullptr));
    }
    rows.push_back(r);
  }
  return rows;
}

const std::vector<Row> &grid() {
  static const std::vector<Row> g = load("grid.csv");
  return g;
}

// The rows of a grid file and the edge rows.
std::vector<Row> withEdge(std::vector<Row> rows) {
  static const std::vector<Row> edge = load("grid_edge.csv");
  rows.insert(rows.end(), edge.begin(), edge.end());
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
    fails += std::isinf(v);
    if (!std::isinf(v)) e.push_back(v);
    if (v > worstv) {
      worstv = v;
      worst = where;
    }
  }
  ld pct(double q) const {
    if (e.empty()) return 0;
    std::vector<ld> s = e;
    std::sort(s.begin(), s.end());
    return s[std::min(static_cast<size_t>(std::ceil(q * s.size())) - 1, s.size() - 1)];
  }
  ld max() const { return e.empty() ? 0 : *std::max_element(e.begin(), e.end()); }
};

std::string where(const Row &r) {
  std::ostringstream o;
  o.precision(17);
  o << r.kind;
  for (double v : r.in) o << " " << v;
  return o.str();
}

// Both log tails and the log density of a request, NaN on result 1.
template <typename Req>
std::vector<double> tailsOf(Req q, int (*entry)(Req *)) {
  q.mode = ZMODE_PROB | ZMODE_DENSITY;
  if (entry(&q) != 0) return {NAN, NAN, NAN};
  return {q.lnlower, q.lnupper, q.lndens};
}

// The log tails and density at a row of kind t, f, c, nt, nf or nc; empty for other kinds.
std::vector<double> tails(const Row &r) {
  const std::string &k = r.kind;
  const bool nc = k[0] == 'n';
  if (k == "t" || k == "nt") {
    ztreq q{};
    q.x = r.in[0], q.df = r.in[1], q.delta = nc ? r.in[2] : 0;
    return tailsOf(q, zlogtnc);
  }
  if (k == "f" || k == "nf") {
    zfreq q{};
    q.x = r.in[0], q.df1 = r.in[1], q.df2 = r.in[2], q.ncp = nc ? r.in[3] : 0;
    return tailsOf(q, zlogfnc);
  }
  if (k == "c" || k == "nc") {
    zcreq q{};
    q.x = r.in[0], q.df = r.in[1], q.ncp = nc ? r.in[2] : 0;
    return tailsOf(q, zlogcnc);
  }
  return {};
}

// Scores lower tail, upper tail and density of every row with tails, by kind.
std::map<std::string, Stat> scoreTails(const std::vector<Row> &rows) {
  std::map<std::string, Stat> st;
  for (const Row &r : rows) {
    const std::vector<double> got = tails(r);
    if (got.empty()) continue;
    const char *part[] = {" lower", " upper", " density"};
    for (int i = 0; i < 3; ++i)
      st[r.kind + part[i]].add(logerr(got[i], r.ref[i]), where(r) + part[i]);
  }
  return st;
}

TEST(Grid, CentralTails) {
  std::map<std::string, Stat> st = scoreTails(grid());
  for (const char *k : {"t lower", "t upper", "f lower", "f upper", "c lower", "c upper"})
    EXPECT_LE(st[k].pct(0.99), 8) << k;
  EXPECT_EQ(st.size(), 9u);
  for (const auto &[k, s] : st) {
    EXPECT_EQ(s.fails, 0) << k;
    EXPECT_LE(s.max(), 64) << k << " worst " << s.worst;
  }
}

TEST(Grid, Noncentral) {
  const std::map<std::string, Stat> st = scoreTails(withEdge(load("grid_nc.csv")));
  EXPECT_EQ(st.size(), 9u);
  for (const auto &[k, s] : st) {
    EXPECT_EQ(s.fails, 0) << k;
    EXPECT_LE(s.max(), 4) << k << " worst " << s.worst;
  }
}

// The quantile at p of a request; infinity on result 1.
template <typename Req>
double quantileOf(Req q, int (*entry)(Req *), double p) {
  q.mode = ZMODE_QUANTILE, q.p = p;
  return entry(&q) == 0 ? q.x : INFINITY;
}

// The quantile at p of a row of kind qt, qf or qc.
double quantile(const Row &r, double p) {
  ztreq t{};
  zfreq f{};
  zcreq c{};
  t.df = f.df1 = c.df = r.in[1];
  if (r.kind == "qt") return quantileOf(t, zlogtnc, p);
  if (r.kind == "qc") return quantileOf(c, zlogcnc, p);
  f.df2 = r.in[2];
  return quantileOf(f, zlogfnc, p);
}

// Quantiles: 3e-16 relative wherever the root is a double the bracket reaches, and wherever
// a root beyond the bracket is returned.
TEST(Grid, Quantiles) {
  std::map<std::string, Stat> st;
  for (const Row &r : grid()) {
    if (r.kind != "qt" && r.kind != "qf" && r.kind != "qc") continue;
    const double x = quantile(r, r.in[0]);
    const ld ref = r.ref[0];
    if (r.kind == "qt" && r.in[0] == 0.5) {  // the exact root 0 of the symmetric case
      st[r.kind].add(x == 0 ? 0 : INFINITY, where(r));
      continue;
    }
    // The bracket moves the guess by at most 1.5^50 (6.4e8) or 0.7^50 (1.8e-8):
    // a root far outside the bulk of the distribution (here: more than 1e8 times, or less
    // than 1e-7 times, the 0.75 quantile) or outside the doubles may not be reached, and
    // result 1 (no answer) is then the right result.
    const double scale = std::fabs(quantile(r, 0.75));
    const bool reachable = std::isfinite(ref) && ref != 0 && std::isfinite(scale) &&
                           std::fabs(ref) <= 1e8 * scale && std::fabs(ref) >= 1e-7 * scale;
    if (!reachable && (!std::isfinite(x) || std::isinf(ref) || ref == 0)) continue;
    st[r.kind].add(std::isfinite(x) ? std::fabs((ld)x - ref) / std::fabs(ref) : INFINITY, where(r));
  }
  EXPECT_EQ(st.size(), 3u);
  for (const auto &[k, s] : st) {
    EXPECT_EQ(s.fails, 0) << k;
    EXPECT_LE(s.max(), 3e-16) << k << " worst " << s.worst;
  }
}

TEST(Grid, UmpuPair) {
  std::map<std::string, Stat> st;
  for (const Row &r : withEdge(grid())) {
    if (r.kind != "u") continue;
    const double alpha = r.in[0], nu = r.in[1];
    double c1 = NAN, c2 = NAN, l1, u1, l2, u2, d2;
    const std::string w = where(r);
    if (zcnf1c(alpha, nu, &c1, &c2) != 0) {
      st["u c1"].add(INFINITY, w);
      continue;
    }
    st["u c1"].add(std::fabs((ld)c1 - r.ref[0]) / r.ref[0], w + " c1");
    st["u c2"].add(std::fabs((ld)c2 - r.ref[1]) / r.ref[1], w + " c2");
    EXPECT_LT(c1, c2) << w;
    // each condition's residual, evaluated with the module's own functions, as the relative
    // change of c2 (first) or c1 (second) that would remove it
    ASSERT_EQ(zplbcnc(c1, nu, 0, &l1, &u1), 0);
    ASSERT_EQ(zplbcnc(c2, nu, 0, &l2, &u2), 0);
    ASSERT_EQ(zldncnc(c2, nu, 0, &d2), 0);
    const ld cover = std::exp((ld)l2) - std::exp((ld)l1);
    const ld e1 = std::fabs(cover - (1 - (ld)alpha)) / (std::exp((ld)d2) * c2);
    const ld h1 = nu * std::log((ld)c1) - c1, h2 = nu * std::log((ld)c2) - c2;
    st["u conditions"].add(std::max(e1, std::fabs(h1 - h2) / std::fabs(nu - (ld)c1)), w);
  }
  EXPECT_EQ(st["u c1"].fails, 0);
  for (const auto &[k, s] : st)
    EXPECT_LE(s.max(), k == "u conditions" ? 4e-15 : 1e-15) << k << " worst " << s.worst;
}

}  // namespace

// Noncentral t quantiles (the bracket, secant and Newton path) at the lower
// tails of the noncentral grid: back to the grid's x.
TEST(Grid, NoncentralQuantilesInvertTheTails) {
  int checked = 0;
  for (const Row &r : load("grid_nc.csv")) {
    const double p = static_cast<double>(std::exp(r.ref[0]));
    if (r.kind != "nt" || !(p > 1e-12 && p < 0.9)) continue;
    ztreq q{};
    q.mode = ZMODE_QUANTILE, q.p = p, q.df = r.in[1], q.delta = r.in[2];
    ASSERT_EQ(zlogtnc(&q), 0) << where(r);
    EXPECT_NEAR(q.x, r.in[0], 1e-12 * std::max(1.0, std::fabs(r.in[0]))) << where(r);
    ++checked;
  }
  EXPECT_GE(checked, 40);
}

// Entry tests of the distribution functions: argument checks and result 1, the edge cases,
// the noncentral round trips, the moments and the record floors. The
// accuracy of tails, densities, quantiles and the UMPU pair is scored on the reference grid.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <span>
#include <utility>

#include "numerics/zdist.h"

namespace {

constexpr double EPS = ZEPS;
constexpr double PMAX = 1.0 - 1.053671212772351e-08;  // the largest accepted p
constexpr std::uint32_t P = ZMODE_PROB, D = ZMODE_DENSITY, Q = ZMODE_QUANTILE;

// Requests: `xp` is the point, or p for a quantile.
ztreq T(std::uint32_t mode, double xp, double df, double delta = 0) {
  ztreq r{};
  r.mode = mode, r.df = df, r.delta = delta;
  (mode == Q ? r.p : r.x) = xp;
  return r;
}
zfreq F(std::uint32_t mode, double xp, double d1, double d2, double ncp = 0) {
  zfreq r{};
  r.mode = mode, r.df1 = d1, r.df2 = d2, r.ncp = ncp;
  (mode == Q ? r.p : r.x) = xp;
  return r;
}
zcreq C(std::uint32_t mode, double xp, double df, double ncp = 0) {
  zcreq r{};
  r.mode = mode, r.df = df, r.ncp = ncp;
  (mode == Q ? r.p : r.x) = xp;
  return r;
}
// The result of a request.
const struct {
  int operator()(ztreq r) const { return zlogtnc(&r); }
  int operator()(zfreq r) const { return zlogfnc(&r); }
  int operator()(zcreq r) const { return zlogcnc(&r); }
} rc{};

TEST(Entries, ArgumentChecks) {
  double a, b;
  const double nan = NAN, fmin = 0.0009765625;
  const int badT[] = {rc(T(0, 1, 5)),   rc(T(8, 1, 5)),           rc(T(9, 1, 5)),
                      rc(T(16, 1, 5)),  rc(T(0x80000001u, 1, 5)), rc(T(P, 1, 2147483647.0)),
                      rc(T(P, 1, 0)),   rc(T(P, 1, -1)),          rc(T(P, 1, nan)),
                      rc(T(P, nan, 3)), rc(T(P, 1, 0.49, 1)),     rc(T(Q, 0.5, 0.5 * ZSQRTEPS))};
  const int badF[] = {rc(F(0, 1, 2, 3)),    rc(F(8, 1, 2, 3)), rc(F(P, 1, fmin, 3)),
                      rc(F(P, 1, 3, fmin)), rc(F(P, 1, 0, 3)), rc(F(P, 1, 3, -1))};
  const int badF2[] = {rc(F(P, 1, 2147483648.0, 3)), rc(F(P, 1, 3, nan)), rc(F(P, -1e-300, 2, 3)),
                       rc(F(P, 1, 2, 3, -0.1)),      rc(F(Q, 1, 2, 3)),   rc(F(Q, 0, 2, 3))};
  const int badC[] = {rc(C(0, 1, 2)),  rc(C(8, 1, 2)),       rc(C(P, 0, 2)),
                      rc(C(P, -1, 2)), rc(C(P, 1, 0.99e-8)), rc(C(P, 1, 2, -1))};
  const int badOther[] = {zqc(0.0, 9, 0, &a), zplbcnc(0, 9, 0, &a, &b), zcnf1c(0.05, 2.999, &a, &b),
                          zlogbet(1.5, 2, 1, &a, &b), zlogbet(0.5, 0, 1, &a, &b)};
  // noncentral t needs df >= 0.5
  const int good[] = {rc(T(1, 1, 5)),      rc(T(2, 1, 5)),
                      rc(T(3, 1, 5)),      rc(T(P, 1, 2147483646.5)),
                      rc(T(P, 1, 0.5, 1)), rc(T(Q, PMAX, 5))};
  const int good2[] = {rc(F(P, 1, std::nextafter(fmin, 1.0), 2147483647.0)), rc(C(P, 1, 1e-8))};
  const std::pair<std::span<const int>, int> lists[] = {
      {badT, 1}, {badF, 1}, {badF2, 1}, {badC, 1}, {badOther, 1}, {good, 0}, {good2, 0}};
  for (const auto &[got, want] : lists) {
    for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], want) << i;
  }
  // a rejected request leaves its outputs, and a bad mode word even the floors, untouched
  ztreq m = T(8, 1, 5);
  m.lnlower = 123;
  EXPECT_EQ(zlogtnc(&m), 1);
  EXPECT_EQ(m.lnlower, 123);
  EXPECT_EQ(m.tol, 0);
  for (double p : {0.0, -0.1, 1.0, 1.5, std::nextafter(PMAX, 1.0), nan}) {
    ztreq q = T(Q, p, 5);
    q.x = 77;
    EXPECT_EQ(zlogtnc(&q), 1) << p;
    EXPECT_EQ(q.x, 77);
  }
  double c1 = 5, c2 = 6;
  EXPECT_EQ(zcnf1c(0.05, 2, &c1, &c2), 1);
  EXPECT_EQ(c1, 5);
  EXPECT_EQ(c2, 6);
}

// The tails at 0: t halves, noncentral t the normal tails at -delta, F 0 and 1.
TEST(Entries, EdgeValues) {
  for (double df : {1e-3, 0.5, 1.0, 3.0, 1e6, 2147483646.0}) {
    ztreq r = T(P | D, 0, df);
    ASSERT_EQ(zlogtnc(&r), 0);
    EXPECT_EQ(r.lnlower, std::log(0.5));
    EXPECT_EQ(r.lnupper, std::log(0.5));
    EXPECT_TRUE(std::isfinite(r.lndens));
  }
  double lo, up;
  ztreq n = T(P, 0, 7, 1.5);
  ASSERT_EQ(zlogtnc(&n), 0);
  zlognrm(-1.5, &lo, &up);
  EXPECT_EQ(n.lnlower, lo);
  EXPECT_EQ(n.lnupper, up);
  // the central chi-square's log density is the same with its tails or alone
  for (double x : {1e-3, 7.0, 300.0}) {
    zcreq both = C(P | D, x, 9.0), alone = C(D, x, 9.0);
    ASSERT_EQ(zlogcnc(&both) + zlogcnc(&alone), 0);
    EXPECT_EQ(both.lndens, alone.lndens);
  }
  zfreq f = F(P, 0, 2, 3);
  ASSERT_EQ(zlogfnc(&f), 0);
  EXPECT_EQ(f.lnlower, -INFINITY);
  EXPECT_EQ(f.lnupper, 0);
}

TEST(Entries, NoncentralRoundTripsAndTMoments) {
  ztreq q = T(Q, 0.9, 10, 2.0);
  ASSERT_EQ(zlogtnc(&q), 0);
  ztreq r = T(P, q.x, 10, 2.0);
  ASSERT_EQ(zlogtnc(&r), 0);
  EXPECT_NEAR(std::exp(r.lnlower), 0.9, 1e-13);
  EXPECT_EQ(q.wmsok, 1);
  // mean delta sqrt(df/2) Gamma((df-1)/2) / Gamma(df/2)
  const double mean = 2.0 * std::sqrt(5.0) * std::exp(std::lgamma(4.5) - std::lgamma(5.0));
  EXPECT_NEAR(q.wmean, mean, 1e-14);
  EXPECT_NEAR(q.wsd, std::sqrt(10.0 / 8 * 5 - mean * mean), 1e-13);
  EXPECT_EQ(q.wrefl, 0);
  ztreq n = T(Q, 0.2, 10, -2.0), m = T(Q, 0.8, 10, 2.0);
  ASSERT_EQ(zlogtnc(&n) + zlogtnc(&m), 0);
  EXPECT_EQ(n.wrefl, 1);
  EXPECT_NEAR(n.x, -m.x, 1e-12 * std::fabs(m.x));
  // central: sd = sqrt(df/(df-2)); undefined for df <= 2
  ztreq c = T(Q, 0.3, 6), d = T(Q, 0.3, 2);
  ASSERT_EQ(zlogtnc(&c) + zlogtnc(&d), 0);
  EXPECT_EQ(c.wmean, 0);
  EXPECT_DOUBLE_EQ(c.wsd, std::sqrt(1.5));
  EXPECT_TRUE(std::isnan(d.wmean) && std::isnan(d.wsd));
  // noncentral chi-square: the tails add up to 1 and the quantile returns the point
  zcreq x = C(P | D, 7.0, 3.0, 4.0);
  ASSERT_EQ(zlogcnc(&x), 0);
  EXPECT_NEAR(std::exp(x.lnlower) + std::exp(x.lnupper), 1.0, 4 * EPS);
  zcreq cq = C(Q, std::exp(x.lnlower), 3.0, 4.0);
  ASSERT_EQ(zlogcnc(&cq), 0);
  EXPECT_NEAR(cq.x, 7.0, 1e-12);
}

// Floors are raised to their least values and kept above them; F sets tol2 on every call.
TEST(Entries, RecordFloors) {
  ztreq t = T(P, 1, 5), s = T(P, 1, 5);
  s.tol = 1e-6, s.xfloor = 1e-3, s.steptol = 1e-4;
  zfreq f = F(Q, 0.3, 4, 9);
  f.tol2 = 0.5;
  zcreq c = C(P, 3, 4);
  ASSERT_EQ(zlogtnc(&t) + zlogtnc(&s) + zlogfnc(&f) + zlogcnc(&c), 0);
  const double got[] = {t.tol, t.xfloor, t.steptol, s.tol, s.xfloor, s.steptol,
                        f.tol, f.tol2,   f.steptol, c.tol, c.xfloor};
  const double want[] = {8 * EPS,  ZSQRTEPS, ZSQRTEPS,           1e-6, 1e-3, 1e-4, 8 * EPS, EPS,
                         ZSQRTEPS, 8 * EPS,  ZDBLMIN / (8 * EPS)};
  for (size_t i = 0; i < std::size(got); ++i) EXPECT_EQ(got[i], want[i]) << i;
}

// Remembered quantiles: the bits and result of a fresh call, first time and after, for a
// grid of (df, p) asked in turn, other levels of the same df in between.
TEST(Entries, RememberedQuantilesAreFreshCalls) {
  const auto same = [](double a, double b) {
    return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
  };
  for (int pass = 0; pass < 2; ++pass) {
    for (double df : {0.5, 1.0, 3.0, 4.25, 9.0, 97.0, 98.0, 1e4}) {
      for (double p : {0.005, 0.025, 0.05, 0.5, 0.975, 1.0, -0.1}) {
        ztreq t = T(Q, p, df);
        zcreq c = C(Q, p, df);
        double tx, cx, a1 = -1, a2 = -1, m1 = -1, m2 = -1;
        EXPECT_TRUE(zmemotq(p, df, &tx) == zlogtnc(&t) && same(tx, t.x)) << df << " " << p;
        EXPECT_TRUE(zmemocq(p, df, &cx) == zlogcnc(&c) && same(cx, c.x)) << df << " " << p;
        EXPECT_EQ(zmemocnf1c(p, df, &m1, &m2), zcnf1c(p, df, &a1, &a2)) << df << " " << p;
        EXPECT_TRUE(same(m1, a1) && same(m2, a2)) << df << " " << p;
      }
    }
  }
}

// The central F's upper log tail by arguments is the request's, bits and result, also where
// the request fails (df at or beyond its bounds, x negative or not a number).
TEST(Entries, UpperFTailByArgumentsIsTheRequests) {
  const double fmin = 0.0009765625;
  const double cases[][3] = {{0.0, 1, 9},          {0.3, 1, 97},    {4.2, 1, 97},     {1e6, 1, 3},
                             {2.5, 4, 1e6},        {1e-300, 7, 2},  {INFINITY, 1, 9}, {1, fmin, 3},
                             {1, 3, 2147483648.0}, {-1e-300, 1, 9}, {NAN, 1, 9},      {1, 1, NAN}};
  for (const auto &[x, d1, d2] : cases) {
    zfreq r = F(P, x, d1, d2);
    double lnupper = -7.0;
    const int got = zlfcup(x, d1, d2, &lnupper);
    ASSERT_EQ(got, zlogfnc(&r)) << x << " " << d1 << " " << d2;
    const double want = got == 0 ? r.lnupper : -7.0;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(lnupper), std::bit_cast<std::uint64_t>(want)) << x;
  }
}

}  // namespace

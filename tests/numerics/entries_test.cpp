// Entry tests of the distribution functions: argument checks and result 1, the edge cases,
// identities in log scale, quantile round trips, the moments and the record floors. The
// accuracy of tails, densities, quantiles and the UMPU pair is scored on the reference grid.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "numerics/zdist.h"

namespace {

constexpr double EPS = ZEPS;
constexpr double PMAX = 1.0 - 1.053671212772351e-08;  // the largest accepted p
constexpr std::uint32_t P = ZMODE_PROB, D = ZMODE_DENSITY, Q = ZMODE_QUANTILE;
const double NINF = -std::numeric_limits<double>::infinity();

// |a - b| / max(1, |b|) in eps units
double lerr(double a, double b) {
  return a == b ? 0 : std::fabs(a - b) / std::fmax(1.0, std::fabs(b)) / EPS;
}

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
int rc(ztreq r) {
  return zlogtnc(&r);
}
int rc(zfreq r) {
  return zlogfnc(&r);
}
int rc(zcreq r) {
  return zlogcnc(&r);
}

TEST(Entries, ArgumentChecks) {
  double a, b;
  const double nan = NAN, fmin = 0.0009765625;
  const struct {
    int got, want;
  } cases[] = {
      {rc(T(0, 1, 5)), 1},
      {rc(T(8, 1, 5)), 1},
      {rc(T(9, 1, 5)), 1},
      {rc(T(16, 1, 5)), 1},
      {rc(T(0x80000001u, 1, 5)), 1},
      {rc(T(1, 1, 5)), 0},
      {rc(T(2, 1, 5)), 0},
      {rc(T(3, 1, 5)), 0},
      {rc(T(P, 1, 2147483647.0)), 1},
      {rc(T(P, 1, 2147483646.5)), 0},
      {rc(T(P, 1, 0)), 1},
      {rc(T(P, 1, -1)), 1},
      {rc(T(P, 1, nan)), 1},
      {rc(T(P, nan, 3)), 1},
      {rc(T(P, 1, 0.49, 1)), 1},
      {rc(T(P, 1, 0.5, 1)), 0},  // noncentral needs df >= 0.5
      {rc(T(Q, 0.5, 0.5 * ZSQRTEPS)), 1},
      {rc(T(Q, PMAX, 5)), 0},
      {rc(F(0, 1, 2, 3)), 1},
      {rc(F(8, 1, 2, 3)), 1},
      {rc(F(P, 1, fmin, 3)), 1},
      {rc(F(P, 1, 3, fmin)), 1},
      {rc(F(P, 1, 0, 3)), 1},
      {rc(F(P, 1, 3, -1)), 1},
      {rc(F(P, 1, 2147483648.0, 3)), 1},
      {rc(F(P, 1, 3, nan)), 1},
      {rc(F(P, 1, std::nextafter(fmin, 1.0), 2147483647.0)), 0},
      {rc(F(P, -1e-300, 2, 3)), 1},
      {rc(F(P, 1, 2, 3, -0.1)), 1},
      {rc(F(Q, 1, 2, 3)), 1},
      {rc(F(Q, 0, 2, 3)), 1},
      {rc(C(0, 1, 2)), 1},
      {rc(C(8, 1, 2)), 1},
      {rc(C(P, 0, 2)), 1},
      {rc(C(P, -1, 2)), 1},
      {rc(C(P, 1, 0.99e-8)), 1},
      {rc(C(P, 1, 1e-8)), 0},
      {rc(C(P, 1, 2, -1)), 1},
      {zqc(0.0, 9, 0, &a), 1},
      {zplbcnc(0, 9, 0, &a, &b), 1},
      {zcnf1c(0.05, 2.999, &a, &b), 1},
      {zlogbet(1.5, 2, 1, &a, &b), 1},
      {zlogbet(0.5, 0, 1, &a, &b), 1},
  };
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].got, cases[i].want) << i;
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

// The tails at 0 (t: halves; noncentral: the normal tails at -delta; F: 0 and 1), the
// Cauchy density, and the far tails where only the log survives.
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
  zfreq f = F(P, 0, 2, 3);
  ASSERT_EQ(zlogfnc(&f), 0);
  EXPECT_EQ(f.lnlower, NINF);
  EXPECT_EQ(f.lnupper, 0);
  ztreq d = T(D, 1, 1);
  d.lnlower = 5;
  ASSERT_EQ(zlogtnc(&d), 0);
  EXPECT_NEAR(d.lndens, -std::log(2 * M_PI), 1e-15);  // Cauchy at 1: 1/(2 pi)
  EXPECT_EQ(d.lnlower, 5);
  ztreq far = T(P, 1e4, 2147483646.0);
  ASSERT_EQ(zlogtnc(&far), 0);
  EXPECT_LT(far.lnupper, -1e7);  // about -x^2/2
  EXPECT_EQ(far.lnlower, -0.0);
  far = T(P, -1e300, 3.5);
  ASSERT_EQ(zlogtnc(&far), 0);
  EXPECT_TRUE(std::isfinite(far.lnlower));
  EXPECT_LT(far.lnlower, -2000);
}

TEST(Entries, TSymmetryAndComplement) {
  for (double df : {0.01, 1.0, 2.5, 30.0, 1e7}) {
    for (double x : {1e-8, 0.3, 2.0, 17.0, 1e3, 1e100}) {
      ztreq a = T(P | D, x, df), b = T(P | D, -x, df);
      ASSERT_EQ(zlogtnc(&a) + zlogtnc(&b), 0);
      EXPECT_EQ(a.lnupper, b.lnlower);
      EXPECT_EQ(a.lnlower, b.lnupper);
      EXPECT_EQ(a.lndens, b.lndens);
      // complement in log scale: ln(1 - e^upper) == lower
      const double u = a.lnupper;
      const double c = u > -ZLN2 ? std::log(-std::expm1(u)) : zln1px(-std::exp(u));
      EXPECT_LE(lerr(c, a.lnlower), 4) << df << " " << x;
    }
  }
}

TEST(Entries, TQuantileMonotoneAndRoundTrip) {
  for (double df : {0.3, 1.0, 2.0, 7.5, 1e3, 2147483646.0}) {
    double prev = -INFINITY;
    for (double p : {1e-30, 1e-8, 0.001, 0.05, 0.3, 0.5, 0.6, 0.9, 0.999, 1 - 1e-6, PMAX}) {
      ztreq q = T(Q, p, df);
      if (zlogtnc(&q) != 0) continue;  // root beyond the bracket (small df, extreme p)
      EXPECT_GT(q.x, prev) << df << " " << p;
      prev = q.x;
      ztreq r = T(P, q.x, df);
      ASSERT_EQ(zlogtnc(&r), 0);
      if (p <= 0.5)
        EXPECT_NEAR(r.lnlower, std::log(p), 1e-12 * std::fabs(std::log(p)) + 1e-13);
      else
        EXPECT_NEAR(r.lnupper, std::log1p(-p), 1e-12 * std::fabs(std::log1p(-p)));
    }
  }
  ztreq q = T(Q, 0.975, 10);
  ASSERT_EQ(zlogtnc(&q), 0);
  EXPECT_NEAR(q.x, 2.2281388519862747, 4e-16 * 2.23);  // R: qt(0.975, 10)
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
TEST(Entries, RecordFloorsAndByArgumentForms) {
  ztreq t = T(P, 1, 5), s = T(P, 1, 5);
  s.tol = 1e-6, s.xfloor = 1e-3, s.steptol = 1e-4;
  zfreq f = F(Q, 0.3, 4, 9);
  f.tol2 = 0.5;
  zcreq c = C(P, 3, 4);
  ASSERT_EQ(zlogtnc(&t) + zlogtnc(&s) + zlogfnc(&f) + zlogcnc(&c), 0);
  EXPECT_EQ(t.tol, 8 * EPS);
  EXPECT_EQ(t.xfloor, ZSQRTEPS);
  EXPECT_EQ(t.steptol, ZSQRTEPS);
  EXPECT_EQ(s.tol, 1e-6);
  EXPECT_EQ(s.xfloor, 1e-3);
  EXPECT_EQ(s.steptol, 1e-4);
  EXPECT_EQ(f.tol, 8 * EPS);
  EXPECT_EQ(f.tol2, EPS);
  EXPECT_EQ(f.steptol, ZSQRTEPS);
  EXPECT_EQ(c.tol, 8 * EPS);
  EXPECT_EQ(c.xfloor, ZDBLMIN / (8 * EPS));
  double lo, up, dn, x;
  ASSERT_EQ(zplbcnc(3, 4, 0, &lo, &up) + zldncnc(3, 4, 0, &dn), 0);
  EXPECT_EQ(lo, c.lnlower);
  EXPECT_EQ(up, c.lnupper);
  zcreq d = C(D, 3, 4);
  ASSERT_EQ(zlogcnc(&d), 0);
  EXPECT_EQ(dn, d.lndens);
  ASSERT_EQ(zqc(0.975, 9, 0, &x), 0);
  EXPECT_NEAR(x, 19.022767798641633, 4e-16 * 19.03);  // R: qchisq(0.975, 9)
}

TEST(Entries, NormalAndBetaTails) {
  double lo, up, a, b;
  zlognrm(0, &lo, &up);
  EXPECT_EQ(lo, std::log(0.5));
  EXPECT_EQ(up, std::log(0.5));
  zlognrm(-40, &lo, &up);
  EXPECT_LE(lerr(lo, -804.60844201375379), 2);
  EXPECT_EQ(up, -0.0);
  zlognrm(1e10, &lo, &up);
  EXPECT_LE(lerr(up, -5e19 - 0.91893853320467274 - std::log(1e10)), 2);
  ASSERT_EQ(zlogbet(0.3, 1, 1, &a, &b), 0);  // uniform
  EXPECT_LE(lerr(a, std::log(0.3)), 2);
  EXPECT_LE(lerr(b, std::log(0.7)), 2);
  ASSERT_EQ(zlogbet(0.25, 2, 1, &a, &b), 0);  // I_x(2,1) = x^2
  EXPECT_LE(lerr(a, 2 * std::log(0.25)), 2);
}

}  // namespace

// Entry tests of the distribution functions, grouped by entry: argument checks
// and result 1, the edge cases of the Part, identities in log scale, quantile monotonicity
// and the record floors.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "numerics/zdist.h"

namespace {

constexpr double EPS = ZEPS;
constexpr double PMAX = 1.0 - 1.053671212772351e-08;  // the largest accepted p
const double NINF = -std::numeric_limits<double>::infinity();

// |a - b| / max(1, |b|) in eps units
double lerr(double a, double b) {
  if (a == b) return 0;
  return std::fabs(a - b) / std::fmax(1.0, std::fabs(b)) / EPS;
}

ztreq treq(std::uint32_t mode, double x, double df, double delta = 0) {
  ztreq r{};
  r.mode = mode;
  r.x = x;
  r.df = df;
  r.delta = delta;
  return r;
}

ztreq tq(double p, double df, double delta = 0) {
  ztreq r{};
  r.mode = ZMODE_QUANTILE;
  r.p = p;
  r.df = df;
  r.delta = delta;
  return r;
}

// ---- zlogtnc -------------------------------------------------------------------------------

TEST(Zlogtnc, ModeWordChecks) {
  for (std::uint32_t m : {0u, 8u, 9u, 16u, 0x80000001u}) {
    ztreq r = treq(m, 1.0, 5);
    r.lnlower = 123;
    EXPECT_EQ(zlogtnc(&r), 1) << m;
    EXPECT_EQ(r.lnlower, 123) << "outputs untouched";
    EXPECT_EQ(r.tol, 0) << "rejected before anything else";
  }
  for (std::uint32_t m : {1u, 2u, 3u}) {
    ztreq r = treq(m, 1.0, 5);
    EXPECT_EQ(zlogtnc(&r), 0) << m;
  }
}

TEST(Zlogtnc, ArgumentChecks) {
  ztreq r = treq(ZMODE_PROB, 1.0, 2147483647.0);
  EXPECT_EQ(zlogtnc(&r), 1);
  r = treq(ZMODE_PROB, 1.0, 2147483646.5);
  EXPECT_EQ(zlogtnc(&r), 0);
  r = treq(ZMODE_PROB, 1.0, 0.0);
  EXPECT_EQ(zlogtnc(&r), 1);
  r = treq(ZMODE_PROB, 1.0, -1.0);
  EXPECT_EQ(zlogtnc(&r), 1);
  r = treq(ZMODE_PROB, 1.0, NAN);
  EXPECT_EQ(zlogtnc(&r), 1);
  r = treq(ZMODE_PROB, NAN, 3);
  EXPECT_EQ(zlogtnc(&r), 1);
  // noncentral needs df >= 0.5
  r = treq(ZMODE_PROB, 1.0, 0.49, 1.0);
  EXPECT_EQ(zlogtnc(&r), 1);
  r = treq(ZMODE_PROB, 1.0, 0.5, 1.0);
  EXPECT_EQ(zlogtnc(&r), 0);
  // quantile: df >= sqrt(eps), 0 < p <= 1 - sqrt(eps)
  ztreq q = tq(0.5, 0.5 * ZSQRTEPS);
  EXPECT_EQ(zlogtnc(&q), 1);
  for (double p : {0.0, -0.1, 1.0, 1.5, std::nextafter(PMAX, 1.0), (double)NAN}) {
    q = tq(p, 5);
    q.x = 77;
    EXPECT_EQ(zlogtnc(&q), 1) << p;
    EXPECT_EQ(q.x, 77);
  }
}

TEST(Zlogtnc, PAtTheAcceptedLimit) {
  ztreq q = tq(PMAX, 5);
  ASSERT_EQ(zlogtnc(&q), 0);
  ztreq r = treq(ZMODE_PROB, q.x, 5);
  ASSERT_EQ(zlogtnc(&r), 0);
  // the upper tail at the root is 1 - p
  EXPECT_NEAR(std::exp(r.lnupper) / (1 - PMAX), 1.0, 1e-12);
  ztreq q2 = tq(PMAX, ZSQRTEPS * 1e4);  // smallest-df region: root may lie beyond reach
  const int rc = zlogtnc(&q2);
  EXPECT_TRUE(rc == 0 || rc == 1);
}

TEST(Zlogtnc, AtZero) {
  for (double df : {1e-3, 0.5, 1.0, 3.0, 1e6, 2147483646.0}) {
    ztreq r = treq(ZMODE_PROB | ZMODE_DENSITY, 0.0, df);
    ASSERT_EQ(zlogtnc(&r), 0);
    EXPECT_EQ(r.lnlower, std::log(0.5));
    EXPECT_EQ(r.lnupper, std::log(0.5));
    EXPECT_TRUE(std::isfinite(r.lndens));
  }
  // noncentral: the tails of the standard normal at -delta
  ztreq r = treq(ZMODE_PROB, 0.0, 7.0, 1.5);
  ASSERT_EQ(zlogtnc(&r), 0);
  double lo, up;
  zlognrm(-1.5, &lo, &up);
  EXPECT_EQ(r.lnlower, lo);
  EXPECT_EQ(r.lnupper, up);
}

TEST(Zlogtnc, SymmetryAndComplement) {
  for (double df : {0.01, 1.0, 2.5, 30.0, 1e7}) {
    for (double x : {1e-8, 0.3, 2.0, 17.0, 1e3, 1e100}) {
      ztreq a = treq(ZMODE_PROB | ZMODE_DENSITY, x, df),
            b = treq(ZMODE_PROB | ZMODE_DENSITY, -x, df);
      ASSERT_EQ(zlogtnc(&a), 0);
      ASSERT_EQ(zlogtnc(&b), 0);
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

TEST(Zlogtnc, FarTailOnlyTheLogSurvives) {
  ztreq r = treq(ZMODE_PROB, 1e4, 2147483646.0);
  ASSERT_EQ(zlogtnc(&r), 0);
  EXPECT_TRUE(std::isfinite(r.lnupper));
  EXPECT_LT(r.lnupper, -1e7);  // about -x^2/2
  EXPECT_EQ(r.lnlower, -0.0);
  r = treq(ZMODE_PROB, -1e300, 3.5);
  ASSERT_EQ(zlogtnc(&r), 0);
  EXPECT_TRUE(std::isfinite(r.lnlower));
  EXPECT_LT(r.lnlower, -2000);
}

TEST(Zlogtnc, QuantileMonotoneAndRoundTrip) {
  for (double df : {0.3, 1.0, 2.0, 7.5, 1e3, 2147483646.0}) {
    double prev = -INFINITY;
    for (double p : {1e-30, 1e-8, 0.001, 0.05, 0.3, 0.5, 0.6, 0.9, 0.999, 1 - 1e-6, PMAX}) {
      ztreq q = tq(p, df);
      const int rc = zlogtnc(&q);
      if (rc != 0) continue;  // root beyond the bracket (small df, extreme p)
      EXPECT_GT(q.x, prev) << df << " " << p;
      prev = q.x;
      ztreq r = treq(ZMODE_PROB, q.x, df);
      ASSERT_EQ(zlogtnc(&r), 0);
      if (p <= 0.5)
        EXPECT_NEAR(r.lnlower, std::log(p), 1e-12 * std::fabs(std::log(p)) + 1e-13);
      else
        EXPECT_NEAR(r.lnupper, std::log1p(-p), 1e-12 * std::fabs(std::log1p(-p)));
    }
  }
  ztreq q = tq(0.975, 10);
  ASSERT_EQ(zlogtnc(&q), 0);
  EXPECT_NEAR(q.x, 2.2281388519862747, 4e-16 * 2.23);
}

TEST(Zlogtnc, NoncentralQuantileAndMoments) {
  ztreq q = tq(0.9, 10, 2.0);
  ASSERT_EQ(zlogtnc(&q), 0);
  ztreq r = treq(ZMODE_PROB, q.x, 10, 2.0);
  ASSERT_EQ(zlogtnc(&r), 0);
  EXPECT_NEAR(std::exp(r.lnlower), 0.9, 1e-13);
  EXPECT_EQ(q.wmsok, 1);
  // mean delta sqrt(df/2) Gamma((df-1)/2) / Gamma(df/2)
  const double mean = 2.0 * std::sqrt(5.0) * std::exp(std::lgamma(4.5) - std::lgamma(5.0));
  EXPECT_NEAR(q.wmean, mean, 1e-14);
  EXPECT_NEAR(q.wsd, std::sqrt(10.0 / 8 * 5 - mean * mean), 1e-13);
  EXPECT_EQ(q.wrefl, 0);
  ztreq n = tq(0.2, 10, -2.0);
  ASSERT_EQ(zlogtnc(&n), 0);
  EXPECT_EQ(n.wrefl, 1);
  ztreq m = tq(0.8, 10, 2.0);
  ASSERT_EQ(zlogtnc(&m), 0);
  EXPECT_NEAR(n.x, -m.x, 1e-12 * std::fabs(m.x));
  // central: sd = sqrt(df/(df-2)); undefined for df <= 2
  ztreq c = tq(0.3, 6);
  ASSERT_EQ(zlogtnc(&c), 0);
  EXPECT_EQ(c.wmean, 0);
  EXPECT_DOUBLE_EQ(c.wsd, std::sqrt(1.5));
  ztreq d = tq(0.3, 2);
  ASSERT_EQ(zlogtnc(&d), 0);
  EXPECT_TRUE(std::isnan(d.wmean) && std::isnan(d.wsd));
}

TEST(Zlogtnc, RecordFloors) {
  ztreq r = treq(ZMODE_PROB, 1.0, 5);
  ASSERT_EQ(zlogtnc(&r), 0);
  EXPECT_EQ(r.tol, 8 * EPS);
  EXPECT_EQ(r.xfloor, ZSQRTEPS);
  EXPECT_EQ(r.steptol, ZSQRTEPS);
  ztreq s = treq(ZMODE_PROB, 1.0, 5);
  s.tol = 1e-6;
  s.xfloor = 1e-3;
  s.steptol = 1e-4;
  ASSERT_EQ(zlogtnc(&s), 0);
  EXPECT_EQ(s.tol, 1e-6);
  EXPECT_EQ(s.xfloor, 1e-3);
  EXPECT_EQ(s.steptol, 1e-4);
}

TEST(Zlogtnc, DensityModeAlone) {
  ztreq r = treq(ZMODE_DENSITY, 1.0, 1.0);
  r.lnlower = 5;
  ASSERT_EQ(zlogtnc(&r), 0);
  EXPECT_NEAR(r.lndens, -std::log(2 * M_PI), 1e-15);  // Cauchy at 1: 1/(2 pi)
  EXPECT_EQ(r.lnlower, 5);
}

// ---- zlogfnc -------------------------------------------------------------------------------

zfreq freq(std::uint32_t mode, double x, double d1, double d2, double ncp = 0) {
  zfreq r{};
  r.mode = mode;
  r.x = x;
  r.df1 = d1;
  r.df2 = d2;
  r.ncp = ncp;
  return r;
}

TEST(Zlogfnc, ArgumentChecks) {
  zfreq r = freq(0, 1, 2, 3);
  EXPECT_EQ(zlogfnc(&r), 1);
  r = freq(8, 1, 2, 3);
  EXPECT_EQ(zlogfnc(&r), 1);
  for (double d : {0.0009765625, 0.0, -1.0, 2147483648.0, (double)NAN}) {
    r = freq(ZMODE_PROB, 1, d, 3);
    EXPECT_EQ(zlogfnc(&r), 1) << d;
    r = freq(ZMODE_PROB, 1, 3, d);
    EXPECT_EQ(zlogfnc(&r), 1) << d;
  }
  r = freq(ZMODE_PROB, 1, std::nextafter(0.0009765625, 1.0), 2147483647.0);
  EXPECT_EQ(zlogfnc(&r), 0);
  r = freq(ZMODE_PROB, -1e-300, 2, 3);
  EXPECT_EQ(zlogfnc(&r), 1);
  r = freq(ZMODE_PROB, 1, 2, 3, -0.1);
  EXPECT_EQ(zlogfnc(&r), 1);
  r = freq(ZMODE_PROB, 0, 2, 3);
  ASSERT_EQ(zlogfnc(&r), 0);
  EXPECT_EQ(r.lnlower, NINF);
  EXPECT_EQ(r.lnupper, 0);
  zfreq q = freq(ZMODE_QUANTILE, 0, 2, 3);
  q.p = 1.0;
  EXPECT_EQ(zlogfnc(&q), 1);
  q.p = 0.0;
  EXPECT_EQ(zlogfnc(&q), 1);
}

TEST(Zlogfnc, FOneDfIsTwoSidedT) {
  for (double df : {0.5, 1.0, 3.0, 12.5, 1e4, 2147483646.0}) {
    for (double t : {1e-5, 0.4, 1.0, 2.2, 9.0, 150.0}) {
      ztreq a = treq(ZMODE_PROB, t, df);
      ASSERT_EQ(zlogtnc(&a), 0);
      zfreq f = freq(ZMODE_PROB, t * t, 1, df);
      ASSERT_EQ(zlogfnc(&f), 0);
      // two-sided p = 2 P(T > |t|)
      EXPECT_LE(lerr(f.lnupper, a.lnupper + ZLN2), 8) << df << " " << t;
    }
  }
}

TEST(Zlogfnc, ReciprocalSymmetry) {
  // P(F(d1,d2) <= x) = P(F(d2,d1) >= 1/x)
  for (double x : {0.01, 0.7, 1.0, 3.0, 1e6}) {
    zfreq a = freq(ZMODE_PROB, x, 3, 8), b = freq(ZMODE_PROB, 1 / x, 8, 3);
    ASSERT_EQ(zlogfnc(&a), 0);
    ASSERT_EQ(zlogfnc(&b), 0);
    EXPECT_LE(lerr(a.lnlower, b.lnupper), 4);
    EXPECT_LE(lerr(a.lnupper, b.lnlower), 4);
  }
}

TEST(Zlogfnc, QuantileMonotoneAndFloors) {
  double prev = 0;
  for (double p : {1e-12, 1e-5, 0.1, 0.5, 0.95, 1 - 1e-9}) {
    zfreq q = freq(ZMODE_QUANTILE, 0, 4, 9);
    q.p = p;
    ASSERT_EQ(zlogfnc(&q), 0) << p;
    EXPECT_GT(q.x, prev);
    prev = q.x;
    EXPECT_EQ(q.tol, 8 * EPS);
    EXPECT_EQ(q.tol2, EPS);
    EXPECT_EQ(q.steptol, ZSQRTEPS);
  }
  zfreq r = freq(ZMODE_PROB, 1, 2, 3);
  r.tol2 = 0.5;
  ASSERT_EQ(zlogfnc(&r), 0);
  EXPECT_EQ(r.tol2, EPS);  // set on every call
}

// ---- zlogcnc -------------------------------------------------------------------------------

zcreq creq(std::uint32_t mode, double x, double df, double ncp = 0) {
  zcreq r{};
  r.mode = mode;
  r.x = x;
  r.df = df;
  r.ncp = ncp;
  return r;
}

TEST(Zlogcnc, ArgumentChecks) {
  zcreq r = creq(0, 1, 2);
  EXPECT_EQ(zlogcnc(&r), 1);
  r = creq(8, 1, 2);
  EXPECT_EQ(zlogcnc(&r), 1);
  r = creq(ZMODE_PROB, 0, 2);
  EXPECT_EQ(zlogcnc(&r), 1);
  r = creq(ZMODE_PROB, -1, 2);
  EXPECT_EQ(zlogcnc(&r), 1);
  r = creq(ZMODE_PROB, 1, 0.99e-8);
  EXPECT_EQ(zlogcnc(&r), 1);
  r = creq(ZMODE_PROB, 1, 1e-8);
  EXPECT_EQ(zlogcnc(&r), 0);
  r = creq(ZMODE_PROB, 1, 2, -1);
  EXPECT_EQ(zlogcnc(&r), 1);
}

TEST(Zlogcnc, KnownValuesAndComplement) {
  // chi-square with 2 df: P(X > x) = exp(-x/2)
  for (double x : {1e-10, 0.5, 3.0, 100.0, 1e5}) {
    zcreq r = creq(ZMODE_PROB | ZMODE_DENSITY, x, 2);
    ASSERT_EQ(zlogcnc(&r), 0);
    EXPECT_LE(lerr(r.lnupper, -x / 2), 2) << x;
    EXPECT_LE(lerr(r.lnlower, std::log(-std::expm1(-x / 2))), 2) << x;
    EXPECT_LE(lerr(r.lndens, -x / 2 - ZLN2), 2) << x;
  }
}

TEST(Zlogcnc, RecordFloorsAndByArguments) {
  zcreq r = creq(ZMODE_PROB, 3, 4);
  ASSERT_EQ(zlogcnc(&r), 0);
  EXPECT_EQ(r.tol, 8 * EPS);
  EXPECT_EQ(r.xfloor, ZDBLMIN / (8 * EPS));
  double lo, up, dn, x;
  ASSERT_EQ(zplbcnc(3, 4, 0, &lo, &up), 0);
  EXPECT_EQ(lo, r.lnlower);
  EXPECT_EQ(up, r.lnupper);
  ASSERT_EQ(zldncnc(3, 4, 0, &dn), 0);
  zcreq d = creq(ZMODE_DENSITY, 3, 4);
  ASSERT_EQ(zlogcnc(&d), 0);
  EXPECT_EQ(dn, d.lndens);
  ASSERT_EQ(zqc(0.975, 9, 0, &x), 0);
  EXPECT_NEAR(x, 19.022767798641633, 4e-16 * 19.03);
  EXPECT_EQ(zqc(0.0, 9, 0, &x), 1);
  EXPECT_EQ(zplbcnc(0, 9, 0, &lo, &up), 1);
}

// Roots below the smallest double are answered with result 1 and skipped here.
TEST(Zlogcnc, QuantileMonotone) {
  for (double df : {1e-3, 0.5, 3.0, 50.0, 1e6}) {
    double prev = 0;
    for (double p : {1e-200, 1e-10, 0.01, 0.5, 0.99, 1 - 1e-12}) {
      zcreq q = creq(ZMODE_QUANTILE, 0, df);
      q.p = p;
      if (zlogcnc(&q) != 0) continue;  // root below the smallest double
      EXPECT_GT(q.x, prev) << df << " " << p;
      prev = q.x;
    }
  }
}

TEST(Zlogcnc, Noncentral) {
  // noncentral chi-square with 2 df at lambda: the lower tail is 1 - Marcum Q; check the
  // mixture identity P(X <= x) + P(X > x) = 1 and quantile round trip
  zcreq r = creq(ZMODE_PROB | ZMODE_DENSITY, 7.0, 3.0, 4.0);
  ASSERT_EQ(zlogcnc(&r), 0);
  EXPECT_NEAR(std::exp(r.lnlower) + std::exp(r.lnupper), 1.0, 4 * EPS);
  zcreq q = creq(ZMODE_QUANTILE, 0, 3.0, 4.0);
  q.p = std::exp(r.lnlower);
  ASSERT_EQ(zlogcnc(&q), 0);
  EXPECT_NEAR(q.x, 7.0, 1e-12);
}

// ---- zcnf1c --------------------------------------------------------------------------------

TEST(Zcnf1c, NuTwoIsRejected) {
  double c1 = 5, c2 = 6;
  EXPECT_EQ(zcnf1c(0.05, 2, &c1, &c2), 1);
  EXPECT_EQ(c1, 5);
  EXPECT_EQ(c2, 6);
  EXPECT_EQ(zcnf1c(0.05, 2.999, &c1, &c2), 1);
}

TEST(Zcnf1c, NuThreeMeetsBothConditions) {
  for (double alpha : {0.001, 0.05, 0.5}) {
    double c1, c2;
    ASSERT_EQ(zcnf1c(alpha, 3, &c1, &c2), 0);
    EXPECT_LT(c1, c2);
    double l1, u1, l2, u2;
    ASSERT_EQ(zplbcnc(c1, 3, 0, &l1, &u1), 0);
    ASSERT_EQ(zplbcnc(c2, 3, 0, &l2, &u2), 0);
    EXPECT_NEAR(std::exp(l2) - std::exp(l1), 1 - alpha, 1e-8);
    EXPECT_NEAR(3 * std::log(c1) - c1, 3 * std::log(c2) - c2, 1e-8);
  }
}

// ---- supporting routines -------------------------------------------------------------------

TEST(Support, Zlognrm) {
  double lo, up;
  zlognrm(0, &lo, &up);
  EXPECT_EQ(lo, std::log(0.5));
  EXPECT_EQ(up, std::log(0.5));
  zlognrm(-40, &lo, &up);
  EXPECT_LE(lerr(lo, -804.60844201375379), 2);
  EXPECT_EQ(up, -0.0);
  zlognrm(1e10, &lo, &up);
  EXPECT_LE(lerr(up, -5e19 - 0.91893853320467274 - std::log(1e10)), 2);
}

TEST(Support, ZlogbetZlgammaZln1px) {
  double a, b;
  ASSERT_EQ(zlogbet(0.3, 1, 1, &a, &b), 0);  // uniform
  EXPECT_LE(lerr(a, std::log(0.3)), 2);
  EXPECT_LE(lerr(b, std::log(0.7)), 2);
  ASSERT_EQ(zlogbet(0.25, 2, 1, &a, &b), 0);  // I_x(2,1) = x^2
  EXPECT_LE(lerr(a, 2 * std::log(0.25)), 2);
  EXPECT_EQ(zlogbet(1.5, 2, 1, &a, &b), 1);
  EXPECT_EQ(zlogbet(0.5, 0, 1, &a, &b), 1);
  EXPECT_NEAR(zlgamma(5), std::log(24.0), 4e-16 * std::log(24.0));
  EXPECT_NEAR(zlgamma(0.5), 0.5 * std::log(M_PI), 1e-16);
  EXPECT_EQ(zln1px(1e-20), 1e-20);
  EXPECT_NEAR(zln1px(1.0), std::log(2.0), 1e-16);
}

}  // namespace

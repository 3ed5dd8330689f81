// The limits of a finished record. Their t and chi-square points are remembered by degrees of
// freedom and alpha, so records of other keys in turn must each get their own points; the
// expected limits come from mpmath (quantiles and the UMPU pair solved at 40 digits), and over
// more keys than the points have room for, from fresh calls of the distribution entries.
#include <gtest/gtest.h>

#include <cmath>

#include "numerics/zdist.h"
#include "stat/src/krvread.h"
#include "tests/stat/fakehost.h"

namespace {

// A record of N values with mean 5 and variance 1, its sums held about the mean.
krvstat unitRecord(double n) {
  krvstat r{};
  r.n = r.w = n;
  r.shift = 5.0;
  r.ss = n - 1.0;
  r.xunit = 1.0;
  return r;
}

struct LimitsCase {
  double n, alpha;
  int32_t sides;
  double lclm, uclm, lclstd, uclstd, lclumpu, uclumpu;
};

// Each key differs from the one before in one part: alpha, the degrees of freedom, the side of
// the mean's limits; the last repeats the first.
constexpr LimitsCase kCases[] = {
    {10, 0.05, 0, 4.2846430940293351, 5.7153569059706649, 0.68783520674899963, 1.825610182519574,
     0.66576402705371005, 1.7457166169342891},
    {10, 0.10, 0, 4.4203187924495438, 5.5796812075504562, 0.72934699331278495, 1.6451975743942215,
     0.70539568372457864, 1.5751149941517064},
    {11, 0.05, 0, 4.3281908588316637, 5.6718091411683363, 0.69871704416342439, 1.7549335474133559,
     0.67839267766336, 1.6864200235722038},
    {10, 0.05, 1, NAN, 5.5796812075504562, 0.68783520674899963, 1.825610182519574,
     0.66576402705371005, 1.7457166169342891},
    {10, 0.05, 0, 4.2846430940293351, 5.7153569059706649, 0.68783520674899963, 1.825610182519574,
     0.66576402705371005, 1.7457166169342891},
};

TEST(Limits, EachKeyOfDegreesOfFreedomAlphaAndSideGetsItsOwnPoints) {
  FakeHost host;
  Step step(kKindOneSample, 1, 1);
  for (const LimitsCase &c : kCases) {
    step->alpha = c.alpha;
    step->sides = c.sides;
    krvstat r = unitRecord(c.n);
    ASSERT_EQ(krvstat_finish(step.opts(), &r, kSetMain), 0);
    const double got[] = {r.uclm, r.lclstd, r.uclstd, r.lclstd_umpu, r.uclstd_umpu};
    const double want[] = {c.uclm, c.lclstd, c.uclstd, c.lclumpu, c.uclumpu};
    for (size_t k = 0; k < std::size(got); ++k) {
      EXPECT_NEAR(got[k], want[k], 1e-13 * want[k]) << c.n << " " << c.alpha << " " << k;
    }
    if (c.sides == 0) {
      EXPECT_NEAR(r.lclm, c.lclm, 1e-13 * c.lclm) << c.n << " " << c.alpha;
    } else {
      EXPECT_TRUE(isHostMissing(r.lclm, 'M'));
    }
  }
}

// The quantile at p of a distribution with df degrees of freedom, by its request record.
template <typename Request>
double quantile(int (*solve)(Request *), double p, double df) {
  Request r{};
  r.mode = ZMODE_QUANTILE;
  r.p = p;
  r.df = df;
  EXPECT_EQ(solve(&r), 0);
  return r.x;
}

double tQuantile(double p, double df) {
  return quantile(zlogtnc, p, df);
}
double chiQuantile(double p, double df) {
  return quantile(zlogcnc, p, df);
}

// Eight alphas for each of 100 degrees of freedom, twice: keys that share a place in the table
// take it from each other, and each record still gets the points of its own key.
TEST(Limits, KeysThatTakeEachOthersPlaceGetTheirOwnPoints) {
  FakeHost host;
  Step step(kKindOneSample, 1, 1);
  for (int pass = 0; pass < 2; ++pass) {
    for (double n = 4; n < 104; ++n) {
      for (double alpha : {0.01, 0.02, 0.05, 0.1, 0.15, 0.2, 0.25, 0.3}) {
        step->alpha = alpha;
        krvstat r = unitRecord(n);
        ASSERT_EQ(krvstat_finish(step.opts(), &r, kSetMain), 0);
        const double df = n - 1.0;
        double c1 = 0.0, c2 = 0.0;
        ASSERT_EQ(zcnf1c(alpha, df, &c1, &c2), 0);
        const double got[] = {r.uclm, r.lclstd, r.uclstd, r.lclstd_umpu, r.uclstd_umpu};
        const double want[] = {5.0 + tQuantile(1.0 - alpha / 2.0, df) * std::sqrt(1.0 / n),
                               std::sqrt(df / chiQuantile(1.0 - alpha / 2.0, df)),
                               std::sqrt(df / chiQuantile(alpha / 2.0, df)), std::sqrt(df / c2),
                               std::sqrt(df / c1)};
        for (size_t k = 0; k < std::size(got); ++k) {
          EXPECT_DOUBLE_EQ(got[k], want[k]) << n << " " << alpha << " " << k;
        }
      }
    }
  }
}

}  // namespace

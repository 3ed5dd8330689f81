// The two-group analyses against R on PlantGrowth, ToothGrowth and mtcars, read
// through the procedure's own reading of a BY group; then the guards on records
// made by hand: the UMPU cut, the Cochran-Cox rules, the folded-F note.
#include <gtest/gtest.h>

#include <cmath>
#include <span>

#include "tests/stat/fakehost.h"
#include "xob/krvanal.h"
#include "xob/krvprocs.h"

#define EXPECT_REL(actual, expected, rel) EXPECT_NEAR(actual, expected, (rel)*std::fabs(expected))
#define EXPECT_MISSING(actual, letter) EXPECT_TRUE(isHostMissing(actual, letter)) << (actual)

namespace {

#include "tests/twosample/golden_two.inc"

constexpr double kRel = 1e-10;

// The rows of a BY group: `x` at CLASS value 1, `y` at CLASS value 2.
void twoLevels(FakeHost &host, std::span<const double> x, std::span<const double> y) {
  host.rows.clear();
  for (double v : x) host.rows.push_back({{v}, 1.0, 1.0, 1.0, "1"});
  for (double v : y) host.rows.push_back({{v}, 1.0, 1.0, 2.0, "2"});
}

// A finished group record of N values with this mean and variance.
krvstat groupRecord(double n, double mean, double variance) {
  krvstat r{};
  r.n = r.w = n;
  r.mean = mean;
  r.css = variance * (n - 1.0);
  return r;
}

// One data set's expected values.
struct Golden {
  const double *x, *y;
  size_t nx, ny;
  double h0, diff, sd, se;
  double pooled_t, pooled_df;
  const double *pooled_p, *pooled_clm, *clsd, *umpusd;
  double welch_t, welch_df;
  const double *welch_p, *welch_clm;
  double f, f_p, f_second, cochran_p;
};

#define GOLDEN(P, h0)                                                                             \
  Golden {                                                                                        \
    k##P##X, k##P##Y, std::size(k##P##X), std::size(k##P##Y), h0, k##P##Diff, k##P##Sd, k##P##Se, \
        k##P##Pooled_t, k##P##Pooled_df, k##P##Pooled_p, k##P##Pooled_clm, k##P##Clsd,            \
        k##P##Umpusd, k##P##Welch_t, k##P##Welch_df, k##P##Welch_p, k##P##Welch_clm, k##P##F,     \
        k##P##F_p, k##P##F_second, k##P##Cochran_p                                                \
  }

const Golden kSets[] = {GOLDEN(Plant, 0.1), GOLDEN(Tooth, 0.0), GOLDEN(Cars, -5.0)};

// A two-sample step of one analysis whose CLASS variable is numeric.
struct TwoTest : ::testing::Test {
  FakeHost host;
  Step step{kKindTwoSample, 1, 1};
  void SetUp() override { step.classVariable(1, 1); }
  int notes(int32_t number) const {
    int count = 0;
    for (const Logged &l : host.log) count += l.number == number;
    return count;
  }
};

// Limits by SIDES: both, the upper of SIDES=L, the lower of SIDES=U.
void expectLimits(double lcl, double ucl, const double *cl, int32_t sides) {
  if (sides == 1) {
    EXPECT_MISSING(lcl, 'M');
  } else {
    EXPECT_REL(lcl, cl[sides == 0 ? 0 : 3], kRel);
  }
  if (sides == 2) {
    EXPECT_MISSING(ucl, 'I');
  } else {
    EXPECT_REL(ucl, cl[sides == 0 ? 1 : 2], kRel);
  }
}

TEST_F(TwoTest, PooledWelchAndFoldedFMatchRForEverySides) {
  for (const Golden &g : kSets) {
    for (int32_t sides = 0; sides < 3; ++sides) {
      SCOPED_TRACE(testing::Message() << "h0 " << g.h0 << " sides " << sides);
      step->h0 = g.h0;
      step->sides = sides;
      twoLevels(host, {g.x, g.nx}, {g.y, g.ny});
      ASSERT_EQ(krvproc(step.opts()), 0);
      const krvstat &d = step.rec(kSetDiff);
      EXPECT_MISSING(d.n, '_');
      EXPECT_MISSING(d.min, '_');
      const krvttest &t = step.result().test;
      EXPECT_EQ(t.df, g.pooled_df);
      expectLimits(d.lclm, d.uclm, g.pooled_clm, sides);
      EXPECT_REL(d.lclstd_umpu, g.umpusd[0], 1e-8);
      EXPECT_REL(d.uclstd_umpu, g.umpusd[1], 1e-8);
      const krvuneqtest &u = step.result().uneq;
      EXPECT_EQ(u.cochran_p, kNotComputed);
      expectLimits(d.lclm_u, d.uclm_u, g.welch_clm, sides);
      const krvfoldf &f = step.result().foldf;
      const double got[] = {d.mean,   d.std, d.stderr_mean, t.t, t.p, d.lclstd,
                            d.uclstd, u.t,   u.df,          u.p, f.f};
      const double want[] = {g.diff,    g.sd,      g.se,      g.pooled_t, g.pooled_p[sides],
                             g.clsd[0], g.clsd[1], g.welch_t, g.welch_df, g.welch_p[sides],
                             g.f};
      for (size_t i = 0; i < std::size(got); ++i) EXPECT_REL(got[i], want[i], kRel) << i;
      EXPECT_REL(f.p, g.f_p, 1e-9);
      EXPECT_EQ(f.second_larger, g.f_second);
      EXPECT_EQ(f.numdf, f.second_larger ? g.ny - 1.0 : g.nx - 1.0);
      EXPECT_EQ(f.dendf, f.second_larger ? g.nx - 1.0 : g.ny - 1.0);
      EXPECT_EQ(step.result().foldf_xo.f, kNotComputed);
    }
  }
}

TEST_F(TwoTest, CochranCoxMatchesRootOfItsDefinition) {
  step->cochran = 1;
  for (const Golden &g : kSets) {
    step->h0 = g.h0;
    twoLevels(host, {g.x, g.nx}, {g.y, g.ny});
    ASSERT_EQ(krvproc(step.opts()), 0);
    const krvuneqtest &u = step.result().uneq;
    if (g.nx == g.ny) {
      EXPECT_EQ(u.cochran_df, g.nx - 1.0);
      EXPECT_REL(u.cochran_p, g.cochran_p, kRel);
    } else {
      EXPECT_MISSING(u.cochran_df, '.');
      EXPECT_NEAR(u.cochran_p, g.cochran_p, 1e-7);
    }
  }
}

// Manual (am 1) over automatic (am 0): the first level holds am 1.
TEST_F(TwoTest, RatioModelUsesFiellerLimits) {
  step.testKind(2);
  step->h0 = 1.2;
  for (int32_t sides = 0; sides < 3; ++sides) {
    step->sides = sides;
    twoLevels(host, kCarsY, kCarsX);
    ASSERT_EQ(krvproc(step.opts()), 0);
    const krvstat &d = step.rec(kSetDiff);
    EXPECT_REL(d.mean, kRatio, kRel);
    EXPECT_REL(step.result().test.t, kRatioPooled_t, kRel);
    EXPECT_REL(step.result().test.p, kRatioPooled_p[sides], kRel);
    const double *cl = sides == 0 ? kRatioFieller2 : kRatioFieller1;
    if (sides != 1) {
      EXPECT_REL(d.lclm, cl[0], kRel);
    }
    if (sides != 2) {
      EXPECT_REL(d.uclm, cl[1], kRel);
    }
    EXPECT_EQ(d.lclstd, kNotComputed);
    EXPECT_REL(step.result().uneq.t, kRatioWelch_t, kRel);
    EXPECT_REL(step.result().uneq.df, kRatioWelch_df, kRel);
    if (sides == 0) {
      EXPECT_REL(d.lclm_u, kRatioFiellerU2[0], kRel);
      EXPECT_REL(d.uclm_u, kRatioFiellerU2[1], kRel);
    }
  }
}

TEST_F(TwoTest, RatioTostHasADfAndAFiellerLimitPerBound) {
  step.testKind(5);
  step->tost_lower = 1.1;
  step->tost_upper = 1.6;
  twoLevels(host, kCarsY, kCarsX);
  ASSERT_EQ(krvproc(step.opts()), 0);
  const krvequiv &e = step.result().equiv;
  const krvuneqequiv &u = step.result().uneq_equiv;
  const double got[] = {e.t_lower, e.p_lower,  e.t_upper,  e.p_upper, e.lcl,
                        e.ucl,     u.t_lower,  u.df_lower, u.p_lower, u.ucl,
                        u.t_upper, u.df_upper, u.p_upper,  u.lcl};
  const double want[] = {kRatioTostLower[0], kRatioTostLower[1], kRatioTostUpper[0],
                         kRatioTostUpper[1], kRatioFieller1[0],  kRatioFieller1[1],
                         kRatioTostLower[2], kRatioTostLower[3], kRatioTostLower[4],
                         kRatioTostLower[5], kRatioTostUpper[2], kRatioTostUpper[3],
                         kRatioTostUpper[4], kRatioTostUpper[5]};
  for (size_t i = 0; i < std::size(got); ++i) EXPECT_REL(got[i], want[i], kRel) << i;
  EXPECT_EQ(e.equivalent, 0);
  EXPECT_EQ(e.lower_inside, 1);
  EXPECT_EQ(e.upper_inside, 0);
}

// Pooled df 4 uses the UMPU solver; with df 3 the equal-tailed limits stand in.
TEST_F(TwoTest, UmpuSdLimitsFromFourPooledDf) {
  twoLevels(host, kDf4X, kDf4Y);
  ASSERT_EQ(krvproc(step.opts()), 0);
  EXPECT_REL(step.rec(kSetDiff).lclstd_umpu, kDf4Umpusd[0], 1e-8);
  EXPECT_REL(step.rec(kSetDiff).uclstd_umpu, kDf4Umpusd[1], 1e-8);
  EXPECT_NE(step.rec(kSetDiff).uclstd_umpu, step.rec(kSetDiff).uclstd);
  const double x[] = {1.0, 2.0}, y[] = {2.0, 3.0, 7.0};
  twoLevels(host, x, y);
  ASSERT_EQ(krvproc(step.opts()), 0);
  const krvstat &d = step.rec(kSetDiff);
  EXPECT_NE(d.lclstd, kNotComputed);
  EXPECT_EQ(d.lclstd_umpu, d.lclstd);
  EXPECT_EQ(d.uclstd_umpu, d.uclstd);
}

TEST_F(TwoTest, CochranNeedsNoWeightAndStopsAtItsSearchLimit) {
  step->cochran = 1;
  krvstat a = groupRecord(3.0, 1e4, 0.01), b = groupRecord(2.0, 0.0, 0.01);
  krvresult &r = step.result();
  krvresult_clear(&r);
  krvuneq(step.opts(), &a, &b, &step.rec(kSetDiff), &r, 0);
  EXPECT_MISSING(r.uneq.cochran_df, '.');
  EXPECT_EQ(r.uneq.cochran_p, 0.0001);
  krvresult_clear(&r);
  step->weight_var = 0;
  krvuneq(step.opts(), &a, &b, &step.rec(kSetDiff), &r, 0);
  EXPECT_GT(r.uneq.t, 100.0);
  EXPECT_EQ(r.uneq.cochran_df, kNotComputed);
  EXPECT_EQ(r.uneq.cochran_p, kNotComputed);
}

TEST_F(TwoTest, FoldedFNoteOncePerByGroupOverManyVariables) {
  Step three(kKindTwoSample, 3, 3);
  three.classVariable(1, 1);
  host.rows = {{{1.0, 5.0, 7.0}, 1.0, 1.0, 1.0, "1"},
               {{2.0, 6.0, 9.0}, 1.0, 1.0, 1.0, "1"},
               {{4.0, 4.0, 4.0}, 1.0, 1.0, 2.0, "2"},
               {{4.0, 4.0, 4.0}, 1.0, 1.0, 2.0, "2"}};
  ASSERT_EQ(krvproc(three.opts()), 0);
  EXPECT_EQ(notes(21), 1);
  for (int32_t i = 0; i < 3; ++i) {
    EXPECT_MISSING(three.result(i).foldf.f, 'I');
    EXPECT_EQ(three.result(i).foldf.p, 0.0);
    EXPECT_EQ(three.result(i).foldf.second_larger, 0);
  }
  ASSERT_EQ(krvproc(three.opts()), 0);
  EXPECT_EQ(notes(21), 2);
}

TEST_F(TwoTest, FoldedFOfEqualAndOfLargeRatios) {
  krvstat a = groupRecord(5.0, 0.0, 2.0), b = groupRecord(5.0, 1.0, 2.0);
  krvqvar(step.opts(), &a, &b, &step.result(), 0);
  EXPECT_EQ(step.result().foldf.f, 1.0);
  EXPECT_EQ(step.result().foldf.second_larger, 0);
  EXPECT_EQ(step.result().foldf.p, 1.0);
  // A large F keeps its true p-value: 2 P(F(1, 1) > 12000).
  a = groupRecord(2.0, 0.0, 1.0);
  b = groupRecord(2.0, 0.0, 12000.0);
  krvqvar(step.opts(), &a, &b, &step.result(), 0);
  EXPECT_EQ(step.result().foldf.second_larger, 1);
  EXPECT_REL(step.result().foldf.p, kF12000_p, 1e-10);
}

}  // namespace

// The two-group analyses against R on PlantGrowth (ctrl, trt1), ToothGrowth
// (len by supp) and mtcars (mpg by am), read through the procedure's own
// reading of a BY group.
#include "tests/twosample/twocase.h"

namespace {

#include "tests/twosample/golden_two.inc"

constexpr double kRel = 1e-10;

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

class TwoTest : public ::testing::Test {
 protected:
  FakeHost host;
  void load(const Golden &g) { twoLevels(host, {g.x, g.nx}, {g.y, g.ny}); }
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
      Step step(kKindTwoSample, 1, 1);
      step.classVariable(1, 1);
      step->h0 = g.h0;
      step->sides = sides;
      load(g);
      ASSERT_EQ(krvproc(step.opts()), 0);
      const krvstat &d = step.rec(kSetDiff);
      EXPECT_MISSING(d.n, '_');
      EXPECT_MISSING(d.min, '_');
      EXPECT_REL(d.mean, g.diff, kRel);
      EXPECT_REL(d.std, g.sd, kRel);
      EXPECT_REL(d.stderr_mean, g.se, kRel);
      const krvttest &t = step.result().test;
      EXPECT_REL(t.t, g.pooled_t, kRel);
      EXPECT_EQ(t.df, g.pooled_df);
      EXPECT_REL(t.p, g.pooled_p[sides], kRel);
      expectLimits(d.lclm, d.uclm, g.pooled_clm, sides);
      EXPECT_REL(d.lclstd, g.clsd[0], kRel);
      EXPECT_REL(d.uclstd, g.clsd[1], kRel);
      EXPECT_REL(d.lclstd_umpu, g.umpusd[0], 1e-8);
      EXPECT_REL(d.uclstd_umpu, g.umpusd[1], 1e-8);
      const krvuneqtest &u = step.result().uneq;
      EXPECT_REL(u.t, g.welch_t, kRel);
      EXPECT_REL(u.df, g.welch_df, kRel);
      EXPECT_REL(u.p, g.welch_p[sides], kRel);
      EXPECT_EQ(u.cochran_p, kNotComputed);
      expectLimits(d.lclm_u, d.uclm_u, g.welch_clm, sides);
      const krvfoldf &f = step.result().foldf;
      EXPECT_REL(f.f, g.f, kRel);
      EXPECT_REL(f.p, g.f_p, 1e-9);
      EXPECT_EQ(f.second_larger, g.f_second);
      EXPECT_EQ(f.numdf, f.second_larger ? g.ny - 1.0 : g.nx - 1.0);
      EXPECT_EQ(f.dendf, f.second_larger ? g.nx - 1.0 : g.ny - 1.0);
      EXPECT_EQ(step.result().foldf_xo.f, kNotComputed);
    }
  }
}

TEST_F(TwoTest, CochranCoxMatchesRootOfItsDefinition) {
  for (const Golden &g : kSets) {
    Step step(kKindTwoSample, 1, 1);
    step.classVariable(1, 1);
    step->h0 = g.h0;
    step->cochran = 1;
    load(g);
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
  for (int32_t sides = 0; sides < 3; ++sides) {
    Step step(kKindTwoSample, 1, 1);
    step.classVariable(1, 1);
    step.testKind(2);
    step->h0 = 1.2;
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
  Step step(kKindTwoSample, 1, 1);
  step.classVariable(1, 1);
  step.testKind(5);
  step->tost_lower = 1.1;
  step->tost_upper = 1.6;
  twoLevels(host, kCarsY, kCarsX);
  ASSERT_EQ(krvproc(step.opts()), 0);
  const krvequiv &e = step.result().equiv;
  EXPECT_REL(e.t_lower, kRatioTostLower[0], kRel);
  EXPECT_REL(e.p_lower, kRatioTostLower[1], kRel);
  EXPECT_REL(e.t_upper, kRatioTostUpper[0], kRel);
  EXPECT_REL(e.p_upper, kRatioTostUpper[1], kRel);
  EXPECT_REL(e.lcl, kRatioFieller1[0], kRel);
  EXPECT_REL(e.ucl, kRatioFieller1[1], kRel);
  EXPECT_EQ(e.equivalent, 0);
  EXPECT_EQ(e.lower_inside, 1);
  EXPECT_EQ(e.upper_inside, 0);
  const krvuneqequiv &u = step.result().uneq_equiv;
  EXPECT_REL(u.t_lower, kRatioTostLower[2], kRel);
  EXPECT_REL(u.df_lower, kRatioTostLower[3], kRel);
  EXPECT_REL(u.p_lower, kRatioTostLower[4], kRel);
  EXPECT_REL(u.ucl, kRatioTostLower[5], kRel);
  EXPECT_REL(u.t_upper, kRatioTostUpper[2], kRel);
  EXPECT_REL(u.df_upper, kRatioTostUpper[3], kRel);
  EXPECT_REL(u.p_upper, kRatioTostUpper[4], kRel);
  EXPECT_REL(u.lcl, kRatioTostUpper[5], kRel);
}

TEST_F(TwoTest, PooledDfFourUsesTheUmpuSolver) {
  Step step(kKindTwoSample, 1, 1);
  step.classVariable(1, 1);
  twoLevels(host, kDf4X, kDf4Y);
  ASSERT_EQ(krvproc(step.opts()), 0);
  EXPECT_REL(step.rec(kSetDiff).lclstd_umpu, kDf4Umpusd[0], 1e-8);
  EXPECT_REL(step.rec(kSetDiff).uclstd_umpu, kDf4Umpusd[1], 1e-8);
  EXPECT_NE(step.rec(kSetDiff).uclstd_umpu, step.rec(kSetDiff).uclstd);
}

}  // namespace

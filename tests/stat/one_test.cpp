// The t test of one mean and the two one-sided tests of equivalence: against
// R on the women and sleep data, and on records made by hand for the cases
// that have no distribution to ask.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/stat/fakehost.h"
#include "xob/krvanal.h"
#include "xob/krvprocs.h"

namespace {

#include "tests/stat/golden_r.inc"

constexpr double kRel = 1e-10;
constexpr double kQt95df1 = 6.3137515146750376;  // R: qt(0.95, 1)

#define EXPECT_REL(actual, expected) EXPECT_NEAR(actual, expected, kRel *std::fabs(expected))

class OneTest : public ::testing::Test {
 protected:
  FakeHost host;
  void oneSample(const double (&xs)[15]) {
    host.rows.clear();
    for (double x : xs) host.rows.push_back({{x}});
  }
  template <size_t N>
  void pairs(const double (&a)[N], const double (&b)[N]) {
    host.rows.clear();
    for (size_t i = 0; i < N; ++i) host.rows.push_back({{a[i], b[i]}});
  }
  // A record of N values with this mean and standard deviation.
  static krvstat record(double n, double mean, double sd) {
    krvstat r{};
    r.n = r.w = n;
    r.mean = mean;
    r.css = sd * sd * (n - 1.0);
    r.stderr_mean = sd / std::sqrt(n);
    return r;
  }
};

TEST_F(OneTest, TestsOfAllThreeSidesMatchR) {
  for (int32_t sides = 0; sides < 3; ++sides) {
    Step step(kKindOneSample, 1, 1);
    step->h0 = 130.0;
    step->sides = sides;
    oneSample(kWomenWeight);
    ASSERT_EQ(krvproc(step.opts()), 0);
    const krvttest &t = step.result().test;
    EXPECT_REL(t.t, kOne_t);
    EXPECT_EQ(t.df, kOne_df);
    EXPECT_REL(t.p, kOne_p[sides]) << "sides " << sides;
    EXPECT_EQ(step.result().equiv.ucl, kNotComputed);
  }
}

TEST_F(OneTest, LognormalTestsTheMeanOfTheLogarithms) {
  Step step(kKindOneSample, 1, 1);
  step.testKind(1);
  step->h0 = 130.0;
  step->sides = 2;
  oneSample(kWomenWeight);
  ASSERT_EQ(krvproc(step.opts()), 0);
  EXPECT_REL(step.result().test.t, kLog_t);
  EXPECT_REL(step.result().test.p, kLog_p[2]);
}

TEST_F(OneTest, PairedTestMatchesR) {
  for (int32_t sides = 0; sides < 3; ++sides) {
    Step step(kKindPaired, 1, 2);
    step.pair(0, 0, 1);
    step->sides = sides;
    pairs(kSleep1, kSleep2);
    ASSERT_EQ(krvproc(step.opts()), 0);
    EXPECT_REL(step.rec(kSetMain).mean, kPairMean);
    EXPECT_REL(step.result().test.t, kPair_t);
    EXPECT_EQ(step.result().test.df, kPair_df);
    EXPECT_REL(step.result().test.p, kPair_p[sides]);
  }
}

TEST_F(OneTest, EquivalenceOnTheDifferenceScaleMatchesR) {
  Step step(kKindPaired, 1, 2);
  step.testKind(3);
  step.pair(0, 0, 1);
  step->tost_lower = -2.5;
  step->tost_upper = 0.5;
  pairs(kSleep1, kSleep2);
  ASSERT_EQ(krvproc(step.opts()), 0);
  const krvequiv &e = step.result().equiv;
  EXPECT_REL(e.t_lower, kPair_tost_t[0]);
  EXPECT_REL(e.t_upper, kPair_tost_t[1]);
  EXPECT_REL(e.p_lower, kPair_tost_p[0]);
  EXPECT_REL(e.p_upper, kPair_tost_p[1]);
  EXPECT_EQ(e.df, kPair_df);
  EXPECT_REL(e.lcl, kPair_clm1[0]);
  EXPECT_REL(e.ucl, kPair_clm1[1]);
  EXPECT_EQ(e.lower_inside, 1);
  EXPECT_EQ(e.upper_inside, 1);
  EXPECT_EQ(e.equivalent, 1);
  EXPECT_EQ(step.result().test.t, kNotComputed);

  Step one(kKindOneSample, 1, 1);
  one.testKind(3);
  one->tost_lower = 125.0;
  one->tost_upper = 145.0;
  oneSample(kWomenWeight);
  ASSERT_EQ(krvproc(one.opts()), 0);
  const krvequiv &w = one.result().equiv;
  EXPECT_REL(w.p_lower, kOne_tost_p[0]);
  EXPECT_REL(w.p_upper, kOne_tost_p[1]);
  EXPECT_EQ(w.lower_inside, 1);
  EXPECT_EQ(w.upper_inside, 1);
}

TEST_F(OneTest, EquivalenceOnTheRatioScaleMatchesR) {
  Step step(kKindPaired, 1, 2);
  step.testKind(4);
  step.pair(0, 0, 1);
  step->tost_lower = 2.0;
  step->tost_upper = 2.5;
  pairs(kWomenWeight, kWomenHeight);
  ASSERT_EQ(krvproc(step.opts()), 0);
  const krvequiv &e = step.result().equiv;
  EXPECT_REL(e.t_lower, kLogRatio_tost_t[0]);
  EXPECT_REL(e.p_upper, kLogRatio_tost_p[1]);
  EXPECT_REL(e.lcl, kLogRatio_tostcl[0]);
  EXPECT_REL(e.ucl, kLogRatio_tostcl[1]);
  EXPECT_EQ(e.equivalent, 1);
}

TEST_F(OneTest, NormalRatioModelTestsTheLinearContrasts) {
  Step test(kKindPaired, 1, 2);
  test.testKind(2);
  test->h0 = 2.2;
  test.pair(0, 0, 1);
  pairs(kWomenWeight, kWomenHeight);
  ASSERT_EQ(krvproc(test.opts()), 0);
  EXPECT_REL(test.result().test.t, kNormRatio_t);
  EXPECT_REL(test.result().test.p, kNormRatio_p[0]);

  Step tost(kKindPaired, 1, 2);
  tost.testKind(5);
  tost->tost_lower = 2.0;
  tost->tost_upper = 2.5;
  tost.pair(0, 0, 1);
  ASSERT_EQ(krvproc(tost.opts()), 0);
  const krvequiv &e = tost.result().equiv;
  EXPECT_REL(e.t_lower, kNormRatio_tost_t[0]);
  EXPECT_REL(e.t_upper, kNormRatio_tost_t[1]);
  EXPECT_REL(e.p_lower, kNormRatio_tost_p[0]);
  EXPECT_REL(e.p_upper, kNormRatio_tost_p[1]);
  // the contrasts give no interval for the ratio itself
  EXPECT_TRUE(isHostMissing(e.lcl, '.'));
  EXPECT_TRUE(isHostMissing(e.ucl, '.'));
  EXPECT_EQ(e.equivalent, -1);
}

TEST_F(OneTest, SingleValueHasNoTestAndNoEquivalence) {
  Step step(kKindOneSample, 1, 1);
  step.testKind(3);
  step->tost_lower = -1.0;
  step->tost_upper = 1.0;
  krvstat r = record(1.0, 0.5, 0.0);
  krvone(step.opts(), &r, &r, &step.result(), 0);
  const krvequiv &e = step.result().equiv;
  EXPECT_EQ(e.df, 0.0);
  EXPECT_TRUE(isHostMissing(e.t_lower, '.'));
  EXPECT_TRUE(isHostMissing(e.p_upper, '.'));
  EXPECT_TRUE(isHostMissing(e.lcl, '.'));
  EXPECT_EQ(e.lower_inside, -1);
  EXPECT_EQ(e.upper_inside, -1);
  EXPECT_EQ(e.equivalent, -1);
}

TEST_F(OneTest, ZeroVarianceDecidesBySign) {
  Step step(kKindOneSample, 1, 1);
  step->h0 = 2.0;
  krvstat at = record(4.0, 2.0, 0.0);
  krvone(step.opts(), &at, &at, &step.result(), 0);
  EXPECT_TRUE(isHostMissing(step.result().test.t, '.'));
  EXPECT_TRUE(isHostMissing(step.result().test.p, '.'));

  krvstat above = record(4.0, 3.0, 0.0);
  const double expected[3] = {0.0, 1.0, 0.0};
  for (int32_t sides = 0; sides < 3; ++sides) {
    step->sides = sides;
    krvone(step.opts(), &above, &above, &step.result(), 0);
    EXPECT_TRUE(isHostMissing(step.result().test.t, 'I'));
    EXPECT_EQ(step.result().test.p, expected[sides]);
    EXPECT_EQ(step.result().test.df, 3.0);
  }
}

TEST_F(OneTest, TBeyondTheGuardsNeedsNoDistribution) {
  Step step(kKindOneSample, 1, 1);
  krvstat huge = record(3.0, 1e200, 1e-10);
  const double expected[3] = {0.0, 1.0, 0.0};
  for (int32_t sides = 0; sides < 3; ++sides) {
    step->sides = sides;
    krvone(step.opts(), &huge, &huge, &step.result(), 0);
    EXPECT_GT(step.result().test.t, 1.3407807929943e154);
    EXPECT_EQ(step.result().test.p, expected[sides]);
  }
  krvstat tiny = record(3.0, -1e200, 1e-10);
  step->sides = 2;
  krvone(step.opts(), &tiny, &tiny, &step.result(), 0);
  EXPECT_EQ(step.result().test.p, 1.0);
}

// Two values, sd 1: the upper TOST limit is qt(0.95, 1) / sqrt(2).
TEST_F(OneTest, TostLimitTouchingABoundWithinTheToleranceIsInside) {
  Step step(kKindOneSample, 1, 1);
  step.testKind(3);
  step->tost_lower = -100.0;
  krvstat r = record(2.0, 0.0, 1.0);
  const double limit = kQt95df1 / std::sqrt(2.0);
  step->tost_upper = limit * (1.0 - 5e-14);
  krvone(step.opts(), &r, &r, &step.result(), 0);
  EXPECT_EQ(step.result().equiv.upper_inside, 1);
  EXPECT_EQ(step.result().equiv.equivalent, 1);
  step->tost_upper = limit * (1.0 - 5e-13);
  krvone(step.opts(), &r, &r, &step.result(), 0);
  EXPECT_EQ(step.result().equiv.upper_inside, 0);
  EXPECT_EQ(step.result().equiv.lower_inside, 1);
  EXPECT_EQ(step.result().equiv.equivalent, 0);
}

TEST_F(OneTest, CrossoverResultsGoToTheCrossoverCopies) {
  Step step(kKindCrossover, 1, 2);
  step->ignore_period = 1;
  krvresult_clear(&step.result());
  krvstat r = record(5.0, 1.0, 1.0);
  krvone(step.opts(), &r, &r, &step.result(), 0);
  EXPECT_EQ(step.result().test.t, kNotComputed);
  EXPECT_NEAR(step.result().test_xo1.t, std::sqrt(5.0), 1e-12);
  step.testKind(3);
  step->tost_lower = -1.0;
  step->tost_upper = 3.0;
  krvone(step.opts(), &r, &r, &step.result(), 0);
  EXPECT_EQ(step.result().equiv.t_lower, kNotComputed);
  EXPECT_NEAR(step.result().equiv_xo1.t_lower, 2.0 * std::sqrt(5.0), 1e-12);
}

}  // namespace

// Statistics and limits of a finished record against R, and the records that
// are too small or too flat for some of them.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "stat/src/krvread.h"
#include "tests/stat/fakehost.h"

namespace {

#include "tests/stat/golden_r.inc"

constexpr double kRel = 1e-10;

#define EXPECT_REL(actual, expected) EXPECT_NEAR(actual, expected, kRel *std::fabs(expected))

class StatsTest : public ::testing::Test {
 protected:
  FakeHost host;
  void values(const std::vector<double> &xs) {
    host.rows.clear();
    for (double x : xs) host.rows.push_back({{x}});
  }
  template <size_t N>
  void values(const double (&xs)[N]) {
    values(std::vector<double>(xs, xs + N));
  }
};

TEST_F(StatsTest, MeanAndStandardDeviationLimitsMatchR) {
  Step step(kKindOneSample, 1, 1);
  values(kWomenWeight);
  ASSERT_EQ(krvread(step.opts()), 0);
  const krvstat &r = step.rec(kSetMain);
  EXPECT_REL(r.mean, kOneMean);
  EXPECT_REL(r.std, kOneSd);
  EXPECT_REL(r.stderr_mean, kOneSe);
  EXPECT_REL(r.lclm, kOne_clm2[0]);
  EXPECT_REL(r.uclm, kOne_clm2[1]);
  EXPECT_REL(r.lclstd, kOne_clsd[0]);
  EXPECT_REL(r.uclstd, kOne_clsd[1]);
  EXPECT_REL(r.lclstd_umpu, kOne_umpusd[0]);
  EXPECT_REL(r.uclstd_umpu, kOne_umpusd[1]);
  EXPECT_EQ(r.gmean, kNotComputed);
  EXPECT_EQ(r.lclcv, kNotComputed);
}

TEST_F(StatsTest, OneSidedLimitsLeaveTheOpenSideInfinite) {
  Step lower(kKindPaired, 1, 2);
  lower->sides = 1;
  lower.pair(0, 0, 1);
  host.rows.clear();
  for (int i = 0; i < 10; ++i) host.rows.push_back({{kSleep1[i], kSleep2[i]}});
  ASSERT_EQ(krvread(lower.opts()), 0);
  EXPECT_TRUE(isHostMissing(lower.rec(kSetMain).lclm, 'M'));
  EXPECT_REL(lower.rec(kSetMain).uclm, kPair_clm1[1]);
  EXPECT_REL(lower.rec(kSetMain).lclstd, kPair_clsd[0]);  // standard deviation stays two-sided

  Step upper(kKindOneSample, 1, 1);
  upper->sides = 2;
  values(kWomenWeight);
  ASSERT_EQ(krvread(upper.opts()), 0);
  EXPECT_REL(upper.rec(kSetMain).lclm, kOne_clm1[0]);
  EXPECT_TRUE(isHostMissing(upper.rec(kSetMain).uclm, 'I'));
}

TEST_F(StatsTest, TwoSampleLevelsKeepTwoSidedLimits) {
  Step two(kKindTwoSample, 1, 1);
  two->sides = 1;
  two.classVariable(1, 1);
  host.rows.clear();
  for (double x : kWomenWeight) host.rows.push_back({{x}, 1.0, 1.0, 1.0, "1"});
  host.rows.push_back({{1.0}, 1.0, 1.0, 2.0, "2"});
  ASSERT_EQ(krvread(two.opts()), 0);
  EXPECT_REL(two.rec(kSetMain).lclm, kOne_clm2[0]);
  EXPECT_REL(two.rec(kSetMain).uclm, kOne_clm2[1]);
}

TEST_F(StatsTest, LognormalCompanionsMatchR) {
  Step step(kKindOneSample, 1, 1);
  step.testKind(1);
  values(kWomenWeight);
  ASSERT_EQ(krvread(step.opts()), 0);
  const krvstat &r = step.rec(kSetMain);
  EXPECT_REL(r.gmean, kLogGmean);
  EXPECT_REL(r.cv, kLogCv);
  EXPECT_REL(r.lclgm, kLog_clgm[0]);
  EXPECT_REL(r.uclgm, kLog_clgm[1]);
  EXPECT_REL(r.lclcv, kLog_clcv[0]);
  EXPECT_REL(r.uclcv, kLog_clcv[1]);
  EXPECT_REL(r.lclcv_umpu, kLog_umpucv[0]);
  EXPECT_REL(r.uclcv_umpu, kLog_umpucv[1]);
  EXPECT_REL(r.lclstd_umpu, kLog_umpusd[0]);
  EXPECT_EQ(r.cv4, kNotComputed);

  Step lower(kKindOneSample, 1, 1);
  lower.testKind(1);
  lower->sides = 1;
  ASSERT_EQ(krvread(lower.opts()), 0);
  EXPECT_EQ(lower.rec(kSetMain).lclgm, 0.0);
  EXPECT_REL(lower.rec(kSetMain).uclgm, std::exp(kLog_clm1[1]));
}

TEST_F(StatsTest, SingleValueHasNoSpreadAndNoLimits) {
  Step step(kKindOneSample, 1, 1);
  values({4.5});
  ASSERT_EQ(krvread(step.opts()), 0);
  const krvstat &r = step.rec(kSetMain);
  EXPECT_EQ(r.mean, 4.5);
  EXPECT_EQ(r.min, 4.5);
  EXPECT_EQ(r.max, 4.5);
  EXPECT_EQ(r.css, 0.0);
  for (double field : {r.std, r.stderr_mean, r.lclm, r.uclm, r.lclstd, r.uclstd_umpu}) {
    EXPECT_EQ(field, kNotComputed);
  }
}

TEST_F(StatsTest, EqualValuesGiveTheMeanAsLimitsAndNoDeviationLimits) {
  Step step(kKindOneSample, 1, 1);
  values({3.25, 3.25, 3.25, 3.25, 3.25});
  ASSERT_EQ(krvread(step.opts()), 0);
  const krvstat &r = step.rec(kSetMain);
  EXPECT_EQ(r.std, 0.0);
  EXPECT_EQ(r.stderr_mean, 0.0);
  EXPECT_EQ(r.lclm, 3.25);
  EXPECT_EQ(r.uclm, 3.25);
  for (double field : {r.lclstd, r.uclstd, r.lclstd_umpu, r.uclstd_umpu}) {
    EXPECT_EQ(field, kNotComputed);
  }
}

TEST_F(StatsTest, UmpuLimitsNeedFourValues) {
  Step three(kKindOneSample, 1, 1);
  values({1.0, 2.0, 4.0});
  ASSERT_EQ(krvread(three.opts()), 0);
  EXPECT_EQ(three.rec(kSetMain).lclstd_umpu, three.rec(kSetMain).lclstd);
  EXPECT_EQ(three.rec(kSetMain).uclstd_umpu, three.rec(kSetMain).uclstd);

  Step four(kKindOneSample, 1, 1);
  values({1.0, 2.0, 4.0, 8.0});
  ASSERT_EQ(krvread(four.opts()), 0);
  EXPECT_NE(four.rec(kSetMain).uclstd_umpu, four.rec(kSetMain).uclstd);
  EXPECT_NE(four.rec(kSetMain).uclstd_umpu, kNotComputed);
}

TEST_F(StatsTest, NormalRatioModelComputesNoLimits) {
  Step step(kKindPaired, 1, 2);
  step.testKind(2);
  step->h0 = 2.2;
  step.pair(0, 0, 1);
  host.rows.clear();
  for (int i = 0; i < 15; ++i) host.rows.push_back({{kWomenWeight[i], kWomenHeight[i]}});
  ASSERT_EQ(krvread(step.opts()), 0);
  const krvstat &r = step.rec(kSetRatioH0);
  EXPECT_NE(r.stderr_mean, kNotComputed);
  EXPECT_EQ(r.lclm, kNotComputed);
  EXPECT_EQ(r.lclstd, kNotComputed);
  EXPECT_EQ(step.rec(kSetMain).lclm, kNotComputed);
}

}  // namespace

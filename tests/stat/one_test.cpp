// The dispatch of one BY group and the t test of one mean on records made by
// hand: the edges that the whole-program tables against R do not reach.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "tests/stat/fakehost.h"
#include "xob/krvanal.h"
#include "xob/krvprocs.h"

namespace {

constexpr double kQt95df1 = 6.3137515146750376;  // R: qt(0.95, 1)

// A record of N values with this mean and standard deviation.
krvstat record(double n, double mean, double sd) {
  krvstat r{};
  r.n = r.w = n;
  r.mean = mean;
  r.css = sd * sd * (n - 1.0);
  r.stderr_mean = sd / std::sqrt(n);
  return r;
}

TEST(Dispatch, OnlyTheFirstAnalysisReadsAndAReadingErrorIsLogged) {
  FakeHost host;
  Step step(kKindOneSample, 3, 3);
  host.rows = {{{1.0, 10.0, 100.0}}, {{2.0, 20.0, 300.0}}, {{4.0, 30.0, 200.0}}};
  step->cur = 1;
  EXPECT_EQ(krvproc(step.opts()), 0);
  EXPECT_EQ(step.rec(kSetMain, 0).n, 0.0);
  step->cur = 0;
  EXPECT_EQ(krvproc(step.opts()), 0);
  for (int32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(step.rec(kSetMain, i).n, 3.0);
    EXPECT_EQ(step.result(i).test.df, 2.0) << i;
  }
  EXPECT_DOUBLE_EQ(step.result(2).test.t, 200.0 / (100.0 / std::sqrt(3.0)));
  host.rows.clear();
  EXPECT_EQ(krvproc(step.opts()), -9);  // no observation
  ASSERT_EQ(host.log.size(), 1u);
  EXPECT_EQ(host.log[0].group, 181);
  EXPECT_EQ(host.log[0].number, 9);
  EXPECT_EQ(step->rc, 0);
}

TEST(OneSample, TBeyondTheGuardsNeedsNoDistribution) {
  FakeHost host;
  Step step(kKindOneSample, 1, 1);
  for (const auto &[mean, sides, p] :
       {std::tuple{1e200, 0, 0.0}, {1e200, 1, 1.0}, {1e200, 2, 0.0}, {-1e200, 2, 1.0}}) {
    krvstat r = record(3.0, mean, 1e-10);
    step->sides = sides;
    krvone(step.opts(), &r, &r, &step.result(), 0);
    EXPECT_GT(std::fabs(step.result().test.t), 1.3407807929943e154);
    EXPECT_EQ(step.result().test.p, p) << mean << " sides " << sides;
  }
}

// Mean 1e308 against -1e308, the standard error 1e10: the difference is beyond the doubles,
// t = 2e298 is not.
TEST(OneSample, TOfADifferenceBeyondTheDoubles) {
  FakeHost host;
  Step step(kKindOneSample, 1, 1);
  step->h0 = -1e308;
  krvstat r = record(4.0, 1e308, 2e10);
  krvone(step.opts(), &r, &r, &step.result(), 0);
  EXPECT_DOUBLE_EQ(step.result().test.t, 2e298);
  EXPECT_EQ(step.result().test.p, 0.0);
}

// Two values, sd 1: the upper TOST limit is qt(0.95, 1) / sqrt(2); within
// the relative tolerance of 1000 epsilon it still counts as inside.
TEST(OneSample, TostLimitTouchingABoundWithinTheToleranceIsInside) {
  FakeHost host;
  Step step(kKindOneSample, 1, 1);
  step.testKind(3);
  step->tost_lower = -100.0;
  krvstat r = record(2.0, 0.0, 1.0);
  for (const auto &[below, inside] : {std::pair{5e-14, 1}, std::pair{5e-13, 0}}) {
    step->tost_upper = kQt95df1 / std::sqrt(2.0) * (1.0 - below);
    krvone(step.opts(), &r, &r, &step.result(), 0);
    EXPECT_EQ(step.result().equiv.upper_inside, inside) << below;
    EXPECT_EQ(step.result().equiv.lower_inside, 1);
    EXPECT_EQ(step.result().equiv.equivalent, inside);
  }
}

}  // namespace

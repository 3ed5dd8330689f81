// The t test of one mean and the two one-sided tests of equivalence on
// records made by hand: a t beyond the overflow guards, a limit touching its
// bound within the tolerance, and the crossover copies of the results. The
// tables of whole programs check the rest against R.
#include <gtest/gtest.h>

#include <cmath>

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

class OneTest : public ::testing::Test {
 protected:
  FakeHost host;
};

TEST_F(OneTest, TBeyondTheGuardsNeedsNoDistribution) {
  Step step(kKindOneSample, 1, 1);
  const struct {
    double mean;
    int32_t sides;
    double p;
  } cases[] = {{1e200, 0, 0.0}, {1e200, 1, 1.0}, {1e200, 2, 0.0}, {-1e200, 2, 1.0}};
  for (const auto &c : cases) {
    krvstat r = record(3.0, c.mean, 1e-10);
    step->sides = c.sides;
    krvone(step.opts(), &r, &r, &step.result(), 0);
    EXPECT_GT(std::fabs(step.result().test.t), 1.3407807929943e154);
    EXPECT_EQ(step.result().test.p, c.p) << c.mean << " sides " << c.sides;
  }
}

// Two values, sd 1: the upper TOST limit is qt(0.95, 1) / sqrt(2); within
// the relative tolerance of 1000 epsilon it still counts as inside.
TEST_F(OneTest, TostLimitTouchingABoundWithinTheToleranceIsInside) {
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

// One BY group through the dispatch: reading only at the first analysis, the
// reading error logged, the level texts trimmed and every analysis run.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/stat/fakehost.h"
#include "xob/krvprocs.h"

namespace {

class ProcTest : public ::testing::Test {
 protected:
  FakeHost host;
};

TEST_F(ProcTest, OnlyTheFirstAnalysisReadsAndAnalysesTheGroup) {
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
}

TEST_F(ProcTest, AReadingErrorIsLoggedAndReturned) {
  Step step(kKindOneSample, 1, 1);
  EXPECT_EQ(krvproc(step.opts()), -9);
  ASSERT_EQ(host.log.size(), 1u);
  EXPECT_EQ(host.log[0].group, 181);
  EXPECT_EQ(host.log[0].number, 9);
  EXPECT_EQ(step->rc, 0);
}

// Level texts lose only the blanks they share, so aligned numbers stay
// aligned.
TEST_F(ProcTest, LevelTextsLoseTheBlanksTheyShare) {
  Step step(kKindTwoSample, 1, 1);
  step.classVariable(2, 4);
  step->order = 39;
  host.rows = {{{1.0}, 1.0, 1.0, 0.0, "  A "}, {{2.0}, 1.0, 1.0, 0.0, " BC "}};
  ASSERT_EQ(krvproc(step.opts()), 0);
  EXPECT_EQ(step->level_trimw, 2);
  EXPECT_STREQ(step->level_trim[0], " A");
  EXPECT_STREQ(step->level_trim[1], "BC");
}

}  // namespace

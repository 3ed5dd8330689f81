// The cases with guards to hold, on records made by hand: the UMPU cut of the
// pooled deviation, the Cochran-Cox rules, the folded-F note and the
// crossover copies. Whole programs check the other edge cases.
#include "tests/twosample/twocase.h"

namespace {

#include "tests/twosample/golden_two.inc"

class EdgeTest : public ::testing::Test {
 protected:
  FakeHost host;
  int notes(int32_t number) const {
    int count = 0;
    for (const Logged &l : host.log) count += l.number == number;
    return count;
  }
};

TEST_F(EdgeTest, PooledDfThreeCopiesTheEqualTailedSdLimits) {
  Step step(kKindTwoSample, 1, 1);
  step.classVariable(1, 1);
  const double x[] = {1.0, 2.0}, y[] = {2.0, 3.0, 7.0};
  twoLevels(host, x, y);
  ASSERT_EQ(krvproc(step.opts()), 0);
  const krvstat &d = step.rec(kSetDiff);
  EXPECT_NE(d.lclstd, kNotComputed);
  EXPECT_EQ(d.lclstd_umpu, d.lclstd);
  EXPECT_EQ(d.uclstd_umpu, d.uclstd);
}

TEST_F(EdgeTest, CochranNeedsNoWeightAndStopsAtItsSearchLimit) {
  Step step(kKindTwoSample, 1, 1);
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

TEST_F(EdgeTest, FoldedFNoteOncePerByGroupOverManyVariables) {
  Step step(kKindTwoSample, 3, 3);
  step.classVariable(1, 1);
  host.rows = {{{1.0, 5.0, 7.0}, 1.0, 1.0, 1.0, "1"},
               {{2.0, 6.0, 9.0}, 1.0, 1.0, 1.0, "1"},
               {{4.0, 4.0, 4.0}, 1.0, 1.0, 2.0, "2"},
               {{4.0, 4.0, 4.0}, 1.0, 1.0, 2.0, "2"}};
  ASSERT_EQ(krvproc(step.opts()), 0);
  EXPECT_EQ(notes(21), 1);
  for (int32_t i = 0; i < 3; ++i) {
    EXPECT_MISSING(step.result(i).foldf.f, 'I');
    EXPECT_EQ(step.result(i).foldf.p, 0.0);
    EXPECT_EQ(step.result(i).foldf.second_larger, 0);
  }
  host.rewind();
  ASSERT_EQ(krvproc(step.opts()), 0);
  EXPECT_EQ(notes(21), 2);
}

TEST_F(EdgeTest, FoldedFOfEqualAndOfLargeRatios) {
  Step step(kKindTwoSample, 1, 1);
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
  EXPECT_NEAR(step.result().foldf.p, kF12000_p, 1e-10 * kF12000_p);
}

// Both crossover comparisons of hand-made records: means 3 and 1, variances
// 2, four subjects each: t = 2 on 6 df, pooled and Satterthwaite alike.
TEST_F(EdgeTest, CrossoverComparisonsWriteTheirOwnCopies) {
  Step step(kKindCrossover, 1, 2);
  krvresult &r = step.result();
  krvresult_clear(&r);
  for (int set : {kSetHalfPrd1, kSetHalfTrt1}) step.rec(set) = groupRecord(4.0, 3.0, 2.0);
  for (int set : {kSetHalfPrd2, kSetHalfTrt2}) step.rec(set) = groupRecord(4.0, 1.0, 2.0);
  const auto compare = [&](int first, int second, int out) {
    krvqual(step.opts(), &step.rec(first), &step.rec(second), &step.rec(out), &r, 0);
    krvuneq(step.opts(), &step.rec(first), &step.rec(second), &step.rec(out), &r, 0);
  };
  compare(kSetHalfPrd1, kSetHalfPrd2, kSetTrtCmp);
  krvqvar(step.opts(), &step.rec(kSetHalfPrd1), &step.rec(kSetHalfPrd2), &r, 0);
  compare(kSetHalfTrt1, kSetHalfTrt2, kSetPrdCmp);
  for (int k : {kXoTreatment, kXoPeriod}) {
    EXPECT_EQ(r.test_xo[k].t, 2.0);
    EXPECT_EQ(r.test_xo[k].df, 6.0);
    EXPECT_NEAR(r.test_xo[k].p, kT2df6_p, 1e-12);
    EXPECT_EQ(r.uneq_xo.test[k].t, 2.0);
    EXPECT_DOUBLE_EQ(r.uneq_xo.test[k].df, 6.0);
  }
  EXPECT_EQ(step.rec(kSetPrdCmp).mean, 2.0);
  EXPECT_EQ(r.foldf_xo.f, 1.0);
  EXPECT_EQ(r.test.t, kNotComputed);
  EXPECT_EQ(r.uneq.t, kNotComputed);
  EXPECT_EQ(r.foldf.f, kNotComputed);
  step->tost = 1;
  step->tost_lower = -1.0;
  step->tost_upper = 1.0;
  compare(kSetHalfTrt1, kSetHalfTrt2, kSetPrdCmp);
  EXPECT_EQ(r.equiv_xo[kXoPeriod].t_lower, 3.0);
  EXPECT_EQ(r.uneq_equiv_xo[kXoPeriod].t_upper, 1.0);
  EXPECT_EQ(r.equiv_xo[kXoPeriod].equivalent, 0);
  EXPECT_EQ(r.equiv.t_lower, kNotComputed);
}

}  // namespace

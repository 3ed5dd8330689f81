// The cases with no distribution to ask or with guards to hold: single
// observations, constant groups, a ratio denominator near 0, the UMPU cut,
// the Cochran-Cox rules, the folded-F note and the crossover copies.
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/twosample/twocase.h"

namespace {

#include "tests/twosample/golden_two.inc"

std::vector<std::string> slog;

void captureSlog(const char *format, va_list args) {
  char line[256];
  std::vsnprintf(line, sizeof line, format, args);
  slog.emplace_back(line);
}

class EdgeTest : public ::testing::Test {
 protected:
  FakeHost host;
  void SetUp() override {
    host.provide(vynsvc::kXpslog, &captureSlog);
    slog.clear();
  }
  int notes(int32_t number) const {
    int count = 0;
    for (const Logged &l : host.log) count += l.number == number;
    return count;
  }
};

TEST_F(EdgeTest, OneObservationAgainstTwoTestsOnOnePooledDf) {
  Step step(kKindTwoSample, 1, 1);
  step.classVariable(1, 1);
  step->cochran = 1;
  const double x[] = {5.0}, y[] = {1.0, 3.0};
  twoLevels(host, x, y);
  ASSERT_EQ(krvproc(step.opts()), 0);
  // d = 3, s^2 = 2, SE = sqrt(3), t = sqrt(3); Cauchy: p = 1 - (2/pi) atan(sqrt(3)) = 1/3.
  const krvttest &t = step.result().test;
  EXPECT_DOUBLE_EQ(t.t, std::sqrt(3.0));
  EXPECT_EQ(t.df, 1.0);
  EXPECT_NEAR(t.p, 1.0 / 3.0, 1e-12);
  const krvuneqtest &u = step.result().uneq;
  EXPECT_MISSING(u.t, '.');
  EXPECT_EQ(u.df, 0.0);
  EXPECT_MISSING(u.p, '.');
  EXPECT_EQ(u.cochran_df, 0.0);
  EXPECT_MISSING(u.cochran_p, '.');
  const krvfoldf &f = step.result().foldf;
  EXPECT_MISSING(f.f, '.');
  EXPECT_MISSING(f.p, '.');
  EXPECT_EQ(f.numdf, 1.0);
  EXPECT_EQ(f.dendf, 0.0);
}

TEST_F(EdgeTest, ConstantGroupsGiveMissingOrInfiniteT) {
  const double same[] = {2.0, 2.0}, high[] = {3.0, 3.0};
  Step equal(kKindTwoSample, 1, 1);
  equal.classVariable(1, 1);
  twoLevels(host, same, same);
  ASSERT_EQ(krvproc(equal.opts()), 0);
  EXPECT_MISSING(equal.result().test.t, '.');
  EXPECT_MISSING(equal.result().test.p, '.');
  EXPECT_MISSING(equal.result().uneq.t, '.');
  EXPECT_MISSING(equal.result().foldf.f, '.');
  for (int32_t sides = 0; sides < 3; ++sides) {
    Step step(kKindTwoSample, 1, 1);
    step.classVariable(1, 1);
    step->sides = sides;
    twoLevels(host, high, same);
    ASSERT_EQ(krvproc(step.opts()), 0);
    const double p = sides == 1 ? 1.0 : 0.0;
    EXPECT_MISSING(step.result().test.t, 'I');
    EXPECT_EQ(step.result().test.p, p);
    EXPECT_MISSING(step.result().uneq.t, 'I');
    EXPECT_EQ(step.result().uneq.df, 2.0);
    EXPECT_EQ(step.result().uneq.p, p);
  }
}

TEST_F(EdgeTest, RatioWithSecondMeanNearZeroIsUnbounded) {
  const double pos[] = {2.0, 4.0}, neg[] = {-2.0, -4.0}, zero[] = {-1.0, 1.0};
  for (const auto *first : {&pos, &neg}) {
    Step step(kKindTwoSample, 1, 1);
    step.classVariable(1, 1);
    step.testKind(2);
    twoLevels(host, *first, zero);
    ASSERT_EQ(krvproc(step.opts()), 0);
    const krvstat &d = step.rec(kSetDiff);
    EXPECT_MISSING(d.mean, first == &pos ? 'I' : 'M');
    EXPECT_MISSING(d.lclm, 'M');
    EXPECT_MISSING(d.uclm, 'I');
  }
  Step tost(kKindTwoSample, 1, 1);
  tost.classVariable(1, 1);
  tost.testKind(5);
  tost->tost_lower = 0.8;
  tost->tost_upper = 1.25;
  twoLevels(host, pos, zero);
  ASSERT_EQ(krvproc(tost.opts()), 0);
  const krvequiv &e = tost.result().equiv;
  EXPECT_MISSING(e.ucl, 'I');
  EXPECT_MISSING(e.lcl, 'M');
  EXPECT_EQ(e.upper_inside, 0);
  EXPECT_EQ(e.lower_inside, 0);
  EXPECT_EQ(e.equivalent, 0);
}

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
  krvqual(step.opts(), &step.rec(kSetHalfPrd1), &step.rec(kSetHalfPrd2), &step.rec(kSetTrtCmp), &r,
          0);
  krvuneq(step.opts(), &step.rec(kSetHalfPrd1), &step.rec(kSetHalfPrd2), &step.rec(kSetTrtCmp), &r,
          0);
  krvqvar(step.opts(), &step.rec(kSetHalfPrd1), &step.rec(kSetHalfPrd2), &r, 0);
  krvqual(step.opts(), &step.rec(kSetHalfTrt1), &step.rec(kSetHalfTrt2), &step.rec(kSetPrdCmp), &r,
          0);
  krvuneq(step.opts(), &step.rec(kSetHalfTrt1), &step.rec(kSetHalfTrt2), &step.rec(kSetPrdCmp), &r,
          0);
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
  krvqual(step.opts(), &step.rec(kSetHalfTrt1), &step.rec(kSetHalfTrt2), &step.rec(kSetPrdCmp), &r,
          0);
  krvuneq(step.opts(), &step.rec(kSetHalfTrt1), &step.rec(kSetHalfTrt2), &step.rec(kSetPrdCmp), &r,
          0);
  EXPECT_EQ(r.equiv_xo[kXoPeriod].t_lower, 3.0);
  EXPECT_EQ(r.uneq_equiv_xo[kXoPeriod].t_upper, 1.0);
  EXPECT_EQ(r.equiv_xo[kXoPeriod].equivalent, 0);
  EXPECT_EQ(r.equiv.t_lower, kNotComputed);
}

TEST_F(EdgeTest, DevtestPrintsTheRatioIntervalTerms) {
  Step step(kKindTwoSample, 1, 1);
  step.testKind(2);
  step->devtest = 1;
  krvstat a = groupRecord(4.0, 3.0, 2.0), b = groupRecord(4.0, 1.0, 2.0);
  krvqual(step.opts(), &a, &b, &step.rec(kSetDiff), &step.result(), 0);
  krvuneq(step.opts(), &a, &b, &step.rec(kSetDiff), &step.result(), 0);
  ASSERT_EQ(slog.size(), 6u);
  EXPECT_EQ(slog[0], "----- BEGIN DEVEST INFO -----");
  EXPECT_EQ(slog[2], "b_u = 3");
  // w1 = 0.5, w2 = 9 * 0.5: df_u = 25 / (0.25/3 + 20.25/3) = 75/20.5.
  EXPECT_EQ(slog[4], "df_u = 3.65854");
  EXPECT_EQ(slog[5], "------ END DEVEST INFO ------");
}

}  // namespace

// Reading a BY group: frequencies and weights, exclusions and their notes,
// CLASS levels and their order, the group errors, the overflow guards and the
// precision of the shifted sums and their range.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "stat/src/krvread.h"
#include "tests/stat/fakehost.h"

namespace {

#include "tests/stat/golden_accum_range.inc"
#include "tests/stat/golden_numacc.inc"
#include "tests/stat/golden_r.inc"

constexpr double kRel = 1e-12;

struct ReadTest : ::testing::Test {
  FakeHost host;
  void add(double x, double freq = 1.0, double weight = 1.0) {
    host.rows.push_back({{x}, freq, weight, 0.0, ""});
  }
  void addLevel(const std::string &level, double x, double num = 0.0) {
    host.rows.push_back({{x}, 1.0, 1.0, num, level});
  }
};

TEST_F(ReadTest, FrequencyIsTruncatedAndWeightMultipliesIt) {
  Step step(kKindOneSample, 1, 1);
  step->freq_var = 1;
  step->weight_var = 2;
  for (int i = 0; i < 5; ++i) add(kFwX[i], kFwF[i], kFwW[i]);
  add(50.0, 0.5);                    // frequency below 1
  add(50.0, hostMissing('.'));       // missing frequency
  add(50.0, 1.0, 0.0);               // weight zero
  add(50.0, 1.0, -2.0);              // negative weight
  add(50.0, 1.0, hostMissing('.'));  // missing weight
  ASSERT_EQ(krvread(step.opts()), 0);
  const krvstat &r = step.rec(kSetMain);
  EXPECT_EQ(r.n, kFwN);
  EXPECT_DOUBLE_EQ(r.w, kFwSumW);
  const double got[] = {r.mean, r.std, r.stderr_mean, r.lclm, r.uclstd_umpu};
  const double want[] = {kFwMean, kFwSd, kFwSe, kFw_clm2[0], kFw_umpusd[1]};
  for (size_t i = 0; i < std::size(got); ++i) EXPECT_NEAR(got[i], want[i], kRel * want[i]) << i;
  EXPECT_EQ(r.nobs, 5u);
  EXPECT_EQ(step->graphics.used[0], 5);
  EXPECT_EQ(r.max, 9.4);
}

// Deviations 0, -1 and 1 from the first value sum to 0 but not their squares, which
// must shrink with the sum when 90 raises the unit: mean 130/4, CSS 22.5^2 + 23.5^2 +
// 21.5^2 + 67.5^2.
TEST_F(ReadTest, CancellingDeviationsKeepTheirSquaresWhenTheUnitRises) {
  Step step(kKindOneSample, 1, 1);
  for (double x : {10.0, 9.0, 11.0, 100.0}) add(x);
  ASSERT_EQ(krvread(step.opts()), 0);
  EXPECT_EQ(step.rec(kSetMain).mean, 32.5);
  EXPECT_EQ(step.rec(kSetMain).css, 6077.0);
}

TEST_F(ReadTest, LognormalDropsValuesNotAboveTheZeroBoundAndNotesThem) {
  Step step(kKindOneSample, 1, 1);
  step.testKind(1);
  for (double x : kWomenWeight) add(x);
  for (double x : {0.0, -3.0, 1e-14, hostMissing('.')}) add(x);
  ASSERT_EQ(krvread(step.opts()), 0);
  ASSERT_EQ(host.log.size(), 1u);
  EXPECT_EQ(host.log[0].number, 116);
  EXPECT_EQ(host.log[0].insert, 3.0);
  EXPECT_EQ(step->rc, 4);
  const krvstat &r = step.rec(kSetMain);
  EXPECT_EQ(r.n, 15.0);
  EXPECT_NEAR(r.min, 115.0, 1e-12);
  EXPECT_NEAR(r.max, 164.0, 1e-12);
  EXPECT_NEAR(r.gmean, kLogGmean, kRel * kLogGmean);
}

TEST_F(ReadTest, PairedRatioDropsZeroDenominatorsAndKeepsOnlyCountsOfTheRatios) {
  Step step(kKindPaired, 1, 2);
  step.testKind(2);
  step->h0 = 2.0;
  step.pair(0, 0, 1);
  host.rows = {{{6.0, 2.0}}, {{9.0, 3.0}}, {{4.0, 0.0}}, {{4.0, 5e-14}}};
  ASSERT_EQ(krvread(step.opts()), 0);
  ASSERT_EQ(host.log.size(), 1u);
  EXPECT_EQ(host.log[0].number, 117);
  EXPECT_EQ(host.log[0].insert, 2.0);
  EXPECT_EQ(step.rec(kSetRatioH0).mean, 2.5);  // 6 - 2*2 and 9 - 2*3
  const krvstat &ratio = step.rec(kSetRatio);
  EXPECT_EQ(ratio.n, 2.0);
  EXPECT_EQ(ratio.min, 3.0);
  EXPECT_EQ(ratio.max, 3.0);
  EXPECT_EQ(ratio.s, 0.0);
  EXPECT_EQ(ratio.mean, kNotComputed);
  EXPECT_EQ(step.rec(kSetFirst).mean, 7.5);
  EXPECT_EQ(step.rec(kSetSecond).mean, 2.5);
}

TEST_F(ReadTest, PairedRatioTostFinishesTheSetOfEachBound) {
  Step step(kKindPaired, 1, 2);
  step.testKind(5);
  step->tost_lower = 1.5;
  step->tost_upper = 2.5;
  step.pair(0, 0, 1);
  host.rows = {{{6.0, 2.0}}, {{9.0, 3.0}}};
  ASSERT_EQ(krvread(step.opts()), 0);
  EXPECT_EQ(step.rec(kSetRatioUpper).mean, 1.25);  // 6 - 2.5*2 and 9 - 2.5*3
  EXPECT_EQ(step.rec(kSetRatioLower).mean, 3.75);  // 6 - 1.5*2 and 9 - 1.5*3
  EXPECT_EQ(step.rec(kSetRatio).n, 2.0);
}

TEST_F(ReadTest, LevelsComeFirstEvenFromUnusableObservations) {
  Step step(kKindTwoSample, 1, 1);
  step.classVariable(2, 4);
  addLevel("A", 1.0);
  addLevel("    ", 7.0);  // blank: skipped silently
  addLevel("B", hostMissing('.'));
  addLevel("A", 3.0);
  ASSERT_EQ(krvread(step.opts()), 0);
  EXPECT_STREQ(step->level_fmt[0], "A");
  EXPECT_STREQ(step->level_fmt[1], "B");
  EXPECT_EQ(step.rec(kSetMain).n, 2.0);
  EXPECT_EQ(step.rec(kSetLevel2).n, 0.0);
  EXPECT_EQ(step.rec(kSetLevel2).min, kNotComputed);

  host.rows.push_back({{hostMissing('.')}, 0.0, 1.0, 0.0, "C"});
  step->freq_var = 1;
  EXPECT_EQ(krvread(step.opts()), -kErrThirdLevel);
}

// A few values from every part of a results record, one of each kind of part.
std::vector<double> resultValues(const krvresult &r) {
  return {r.test.t,
          r.uneq.cochran_p,
          r.foldf.f,
          r.foldf_xo.p,
          r.equiv.ucl,
          r.uneq_equiv.df_upper,
          r.test_xo[1].p,
          r.test_xo1.df,
          r.uneq_xo.test[1].t,
          r.uneq_xo.cochran[0].df,
          r.equiv_xo[0].lcl,
          r.equiv_xo1.p_lower,
          r.uneq_equiv_xo[1].t_upper};
}

// Every value of a results record is not computed when the step makes it. A
// group clears what its analyses write before it reads its observations: the
// test and TOST of a one-sample or paired analysis, every part for the others.
TEST_F(ReadTest, ResultsAreNotComputedUntilTheGroupWritesThem) {
  for (int32_t kind : {kKindOneSample, kKindPaired, kKindTwoSample, kKindCrossover}) {
    SCOPED_TRACE(kind);
    Step step(kind, 2, 2);
    for (int32_t i = 0; i < 2; ++i) {
      for (double v : resultValues(step.result(i))) EXPECT_EQ(v, kNotComputed);
      krvresult &r = step.result(i);
      r.test = {1.0, 2.0, 0.5};
      r.equiv.ucl = r.uneq.cochran_p = r.equiv_xo1.p_lower = 3.0;
    }
    krvread_initstat(step.opts());
    const bool oneRecord = kind == kKindOneSample || kind == kKindPaired;
    for (int32_t i = 0; i < 2; ++i) {
      const krvresult &r = step.result(i);
      EXPECT_EQ(r.test.p, kNotComputed);
      EXPECT_EQ(r.equiv.ucl, kNotComputed);
      if (oneRecord) continue;
      EXPECT_EQ(r.uneq.cochran_p, kNotComputed);
      EXPECT_EQ(r.equiv_xo1.p_lower, kNotComputed);
    }
  }
}

TEST_F(ReadTest, GroupErrorsSayWhatWasMissing) {
  Step one(kKindOneSample, 1, 1);
  EXPECT_EQ(krvread(one.opts()), -kErrNoObservation);
  add(hostMissing('.'));
  EXPECT_EQ(krvread(one.opts()), -kErrNoneUsed);
  one->freq_var = 1;
  EXPECT_EQ(krvread(one.opts()), -kErrNoneUsedFreqWeight);

  Step two(kKindTwoSample, 1, 1);
  two.classVariable(1, 3);
  host.rows.clear();
  addLevel("1", 4.0, 1.0);
  addLevel("1", 5.0, 1.0);
  EXPECT_EQ(krvread(two.opts()), -kErrOneLevel);
}

// A CLASS value met again takes its level without its formatted text; any
// other value is matched on its text, which values that differ can share.
// Each row's x is the level it belongs to in the order of the data (9: the
// row is skipped), so a level's records hold that x alone.
struct ClassRow {
  std::string value, text;  // character value and formatted text
  double num;               // numeric value
  double x;
};
struct ClassRowCase {
  const char *what;
  uint8_t type;
  std::vector<std::vector<ClassRow>> groups;
};

TEST_F(ReadTest, ClassValuesMetAgainKeepTheLevelsOfTheirTexts) {
  const double dot = hostMissing('.'), a = hostMissing('A');
  const ClassRowCase cases[] = {
      {"blank and back",
       2,
       {{{"A", "A", 0, 1},
         {"", "", 0, 9},
         {"A", "A", 0, 1},
         {"B", "B", 0, 2},
         {"", "", 0, 9},
         {"B", "B", 0, 2}}}},
      {"shared texts",
       2,
       {{{"abX", "ab", 0, 1},
         {"cd", "cd", 0, 2},
         {"abY", "ab", 0, 1},
         {"cdZ", "cd", 0, 2},
         {"abY", "ab", 0, 1}}}},
      {"common first byte", 2, {{{"a1", "a1", 0, 1}, {"a2", "a2", 0, 2}, {"a1", "a1", 0, 1}}}},
      {"next group",
       2,
       {{{"A", "A", 0, 1}, {"B", "B", 0, 2}},
        {{"B", "B", 0, 1}, {"A", "A", 0, 2}, {"B", "B", 0, 1}}}},
      {"numeric missing and back",
       1,
       {{{"", "1", 1.0, 1},
         {"", ".", dot, 9},
         {"", "1", 1.0, 1},
         {"", "2", 2.0, 2},
         {"", "A", a, 9},
         {"", "2", 2.0, 2}}}},
      {"numeric shared texts",
       1,
       {{{"", "1", 1.0, 1},
         {"", "2", 2.0, 2},
         {"", "1", 1.2, 1},
         {"", "2", 2.2, 2},
         {"", "1", 1.2, 1}}}},
  };
  for (const ClassRowCase &c : cases) {
    Step step(kKindTwoSample, 1, 1);
    step.classVariable(c.type, 2);
    step->order = 39;  // DATA
    for (const std::vector<ClassRow> &group : c.groups) {
      host.rows.clear();
      for (const ClassRow &r : group)
        host.rows.push_back({{r.x}, 1.0, 1.0, r.num, r.text, {}, r.value});
      ASSERT_EQ(krvread(step.opts()), 0) << c.what;
      EXPECT_STREQ(step->level_fmt[0], group[0].text.c_str()) << c.what;
      for (const int level : {1, 2}) {
        const krvstat &rec = step.rec(level == 1 ? kSetMain : kSetLevel2);
        const auto n = std::count_if(group.begin(), group.end(),
                                     [&](const ClassRow &r) { return r.x == level; });
        EXPECT_EQ(rec.n, static_cast<double>(n)) << c.what << " level " << level;
        EXPECT_EQ(rec.min, level) << c.what;
        EXPECT_EQ(rec.max, level) << c.what;
      }
    }
  }
}

// Levels of a numeric CLASS variable whose formatted texts sort against
// their values: "b" is 1, "a" is 2; level 2 is the more frequent one.
struct OrderTest : ReadTest {
  int32_t firstLevelAfter(int32_t order, int32_t seconds = 2) {
    Step step(kKindTwoSample, 1, 1);
    step.classVariable(1, 2);
    step->order = order;
    host.rows.clear();
    addLevel("b", 10.0, 1.0);
    for (int i = 0; i < seconds; ++i) addLevel("a", 20.0, 2.0);
    EXPECT_EQ(krvread(step.opts()), 0);
    EXPECT_EQ(step.rec(kSetMain).mean == 10.0, step->level_num[0] == 1.0);
    return static_cast<int32_t>(step->level_num[0]);
  }
};

TEST_F(OrderTest, EachOrderPutsItsFirstLevelFirst) {
  EXPECT_EQ(firstLevelAfter(38), 2);     // FORMATTED: "a" before "b"
  EXPECT_EQ(firstLevelAfter(39), 1);     // DATA
  EXPECT_EQ(firstLevelAfter(40), 2);     // FREQ: two "a" against one "b"
  EXPECT_EQ(firstLevelAfter(40, 1), 1);  // FREQ tie, numeric: internal order
  EXPECT_EQ(firstLevelAfter(41), 1);     // INTERNAL
  EXPECT_EQ(firstLevelAfter(42), 1);     // MIXED, numeric: internal order
}

TEST_F(OrderTest, CharacterLevelsTieOnTheFormattedTextAndCountersFollow) {
  Step step(kKindTwoSample, 1, 1);
  step.classVariable(2, 2);
  step->order = 40;
  step->freq_var = 1;
  host.rows.push_back({{1.0}, 2.0, 1.0, 0.0, "y"});
  addLevel("x", 2.0);
  addLevel("x", 2.0);
  ASSERT_EQ(krvread(step.opts()), 0);
  EXPECT_STREQ(step->level_fmt[0], "x");
  EXPECT_EQ(std::strncmp(step->level_char[0], "x ", 2), 0);
  EXPECT_EQ(step.rec(kSetMain).mean, 2.0);
  EXPECT_EQ(step.rec(kSetMain).varnum[0], 0);
  EXPECT_EQ(step->graphics.used[1], 2);
  EXPECT_EQ(step->graphics.used[2], 1);
}

// With a WEIGHT variable and without one (every frequency and weight 1).
TEST_F(ReadTest, OverflowGuardsEndTheGroup) {
  const double inf = std::numeric_limits<double>::infinity();
  for (const bool weighted : {true, false}) {
    const auto read = [&](std::initializer_list<Row> rows, int32_t testkind = 0,
                          int32_t kind = kKindOneSample) {
      Step step(kind, 1, 2);
      step.testKind(testkind);
      step->weight_var = weighted ? 2 : -1;
      if (kind == kKindPaired) step.pair(0, 0, 1);
      host.rows = rows;
      host.rewind();
      return krvread(step.opts());
    };
    SCOPED_TRACE(weighted);
    EXPECT_EQ(read({{{0.0}}, {{1e155}}}), -kErrOverflow);  // deviation from the shift
    EXPECT_EQ(read({{{0.0}}, {{0x1p512}}, {{0x1.8p512}}}), -kErrOverflow);  // below the unit 2^513
    EXPECT_EQ(read({{{-1.7e308}}, {{1.7e308}}}), -kErrOverflow);            // deviation infinite
    EXPECT_EQ(read({{{1.0}}, {{inf}}}), -kErrOverflow);                     // an infinite value
    EXPECT_EQ(read({{{hostMissing('.')}}, {{-inf}}}), -kErrOverflow);       // after a missing one
    EXPECT_EQ(read({{{1e300, 1e-10}}}, 1, kKindPaired), -kErrOverflow);     // exp of a log ratio
    EXPECT_EQ(read({{{1.7e308, -1.7e308}}}, 0, kKindPaired), -kErrOverflow);  // a - b infinite
    EXPECT_EQ(read({{{1e154}}, {{0.0}}, {{1e154}}}), 0);
    EXPECT_EQ(read({{{1.7e308}}, {{1.7e308}}, {{hostMissing('.')}}}), 0);
  }
}

// A naive one-pass sum of squares loses every digit on these sets; the sums
// about the first value keep mean and standard deviation exact.
TEST_F(ReadTest, ShiftedSumsMatchTheExactStatisticsOfNumAcc) {
  for (const NumAccSet &set : kNumAcc) {
    Step step(kKindOneSample, 1, 1);
    host.rows.clear();
    add(std::strtod(set.first, nullptr));
    for (int i = 0; i < set.pairs; ++i) {
      add(std::strtod(set.second, nullptr));
      add(std::strtod(set.third, nullptr));
    }
    ASSERT_EQ(krvread(step.opts()), 0);
    const krvstat &r = step.rec(kSetMain);
    EXPECT_NEAR(r.mean, set.mean, 1e-12 * set.mean) << set.first;
    EXPECT_NEAR(r.std, set.sd, 1e-12 * set.sd) << set.first;
  }
}

// Values and weights across most of the exponent range, met in rising,
// falling and mixed order: the units of the sums rise at many points and
// the mean and the corrected sum of squares (beyond the doubles) stay exact.
TEST_F(ReadTest, ScaledSumsFollowValuesAndWeightsAcrossTheExponentRange) {
  for (const AccumSet &set : kAccumSets) {
    Step step(kKindOneSample, 1, 2);
    step->weight_var = 2;
    host.rows.clear();
    for (const AccumRow &row : set.rows) add(row.x, 1.0, row.weight);
    ASSERT_EQ(krvread(step.opts()), 0) << set.name;
    const krvstat &r = step.rec(kSetMain);
    EXPECT_NEAR(r.mean, set.mean, 1e-13 * set.mean) << set.name;
    const krvwide css = krvcss(&r);
    EXPECT_NEAR(std::ldexp(css.m, css.e - set.cssExponent), set.cssMantissa, 1e-12) << set.name;
  }
}

// Every weight 1 and no WEIGHT variable: the sets of unit weights above, and
// by hand zero deviations, subnormal values (mean 2^-1073, CSS 2^-2145), a
// subnormal deviation below a normal unit (mean (2^-1000 + 2^-1074)/3, CSS
// 2/3 * 2^-2000 to 17 digits) and deviations at the overflow guard (mean
// 2^511, CSS 2^1023).
TEST_F(ReadTest, UnitWeightSumsFollowValuesAcrossTheExponentRange) {
  std::vector<AccumSet> sets = {
      {"repeated first value", {{5, 1}, {5, 1}, {5, 1}, {7, 1}}, 5.5, 0.75, 2},
      {"subnormal",
       {{0.0, 1}, {0x1p-1073, 1}, {0x1p-1072, 1}, {hostMissing('.'), 1}},
       0x1p-1073,
       0.5,
       -2144},
      {"subnormal in a unit",
       {{0.0, 1}, {0x1p-1000, 1}, {0x1p-1074, 1}},
       0x1.5555555555555p-1002,
       2.0 / 3.0,
       -2000},
      {"at the guard", {{0.0, 1}, {0x1p512, 1}, {0x1p511, 1}}, 0x1p511, 0.5, 1024}};
  for (const AccumSet &set : kAccumSets) {
    bool unit = true;
    for (const AccumRow &row : set.rows) unit = unit && row.weight == 1.0;
    if (unit) sets.push_back(set);
  }
  ASSERT_EQ(sets.size(), 6u);
  for (const AccumSet &set : sets) {
    Step step(kKindOneSample, 1, 1);
    host.rows.clear();
    host.rewind();
    for (const AccumRow &row : set.rows) add(row.x);
    ASSERT_EQ(krvread(step.opts()), 0) << set.name;
    const krvstat &r = step.rec(kSetMain);
    const double count = static_cast<double>(r.nobs);
    EXPECT_EQ(r.n, count) << set.name;
    EXPECT_EQ(r.w, count) << set.name;
    EXPECT_NEAR(r.mean, set.mean, 1e-13 * set.mean) << set.name;
    const krvwide css = krvcss(&r);
    EXPECT_NEAR(std::ldexp(css.m, css.e - set.cssExponent), set.cssMantissa, 1e-12) << set.name;
  }
}

}  // namespace

// Reading crossover subjects: the sets of each scale against crossover.R, the
// same sets whichever treatment the first subject starts with, the order of
// the treatments, and the errors and notes of the reading.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "stat/src/krvread.h"
#include "tests/stat/fakehost.h"
#include "xob/krvprocs.h"

namespace {

struct XoSubject {
  const char *t1, *t2;
  double y1, y2;
};
struct XoConfig {
  int32_t testkind, ignore_period, sides;
  double h0, lower, upper;
  int32_t note, excluded, used1, used2;
};
// n, mean, std, min, max, lclm, uclm, gmean, lclgm, uclgm, cv, cv4.
struct XoGolden {
  int config, set;
  double v[12];
};
// A test of the analyses: which result group (see testOf) and its t, df, p
// (folded F: F, numerator df, p, denominator df).
struct XoTest {
  int config, which;
  double v[4];
};
constexpr double kNa = std::numeric_limits<double>::quiet_NaN();
constexpr double kOpen = std::numeric_limits<double>::infinity();  // limit of an open side

#include "tests/stat/golden_crossover.inc"

constexpr int kXoSets[] = {3, 4, 5, 6, 7, 8, 9, 11, 12, 16, 17, 18, 19};

std::vector<double> fieldsOf(const krvstat &r) {
  return {r.n,      r.mean,        r.std,        r.min,    r.max,         r.lclm,
          r.uclm,   r.gmean,       r.lclgm,      r.uclgm,  r.cv,          r.cv4,
          r.lclstd, r.uclstd_umpu, r.lclcv_umpu, r.uclcv4, r.stderr_mean, double(r.nobs)};
}

struct CrossoverReadTest : ::testing::Test {
  FakeHost host;
  Step step{kKindCrossover, 1, 2};

  void configure(const XoConfig &c) {
    step.crossoverVariables(2, 1);
    step->ignore_period = static_cast<int16_t>(c.ignore_period);
    step.testKind(c.testkind);
    step->sides = c.sides;
    step->h0 = c.h0;
    step->tost_lower = c.lower;
    step->tost_upper = c.upper;
  }
  void subject(const std::string &t1, const std::string &t2, double y1, double y2,
               double freq = 1.0) {
    Row row{{y1, y2}, freq};
    row.treatments[0] = t1;
    row.treatments[1] = t2;
    host.rows.push_back(row);
  }
  // The subjects from `first` on, then those before it, read alone or with
  // the analyses of the group.
  int32_t read(size_t first, bool analyse = false) {
    host.rows.clear();
    host.log.clear();
    const size_t n = std::size(kXoSubjects);
    for (size_t i = 0; i < n; ++i) {
      const XoSubject &s = kXoSubjects[(first + i) % n];
      subject(s.t1, s.t2, s.y1, s.y2);
    }
    return analyse ? krvproc(step.opts()) : krvread(step.opts());
  }
};

void expectValue(double got, double want, const std::string &where) {
  if (std::isnan(want)) return;
  if (std::isinf(want)) {
    EXPECT_TRUE(isHostMissing(got, want < 0 ? 'M' : 'I')) << where << " " << got;
  } else {
    EXPECT_NEAR(got, want, 1e-12 * (1.0 + std::fabs(want))) << where;
  }
}

// The first subject (T, R) makes T the period-1 treatment of sequence 1 as
// read; the formatted order puts R first.
TEST_F(CrossoverReadTest, SetsMatchTheirDefinitionsOnEveryScale) {
  for (size_t c = 0; c < std::size(kXoConfigs); ++c) {
    const XoConfig &cfg = kXoConfigs[c];
    configure(cfg);
    ASSERT_EQ(read(0), 0) << c;
    EXPECT_STREQ(step->trt_fmt[0], "R");
    EXPECT_STREQ(step->trt_fmt[1], "T");
    EXPECT_EQ(step->graphics.used[1], cfg.used1) << c;
    EXPECT_EQ(step->graphics.used[2], cfg.used2) << c;
    ASSERT_EQ(host.log.size(), cfg.note != 0 ? 1u : 0u) << c;
    if (cfg.note != 0) {
      EXPECT_EQ(host.log[0].number, cfg.note);
      EXPECT_EQ(host.log[0].insert, cfg.excluded);
      EXPECT_EQ(step->rc, 4);
    }
    step->rc = 0;
    for (const XoGolden &g : kXoGoldens) {
      if (g.config != static_cast<int>(c)) continue;
      const std::vector<double> got = fieldsOf(step.rec(g.set));
      for (int f = 0; f < 12; ++f) {
        expectValue(got[f], g.v[f],
                    "config " + std::to_string(c) + " set " + std::to_string(g.set) + " field " +
                        std::to_string(f));
      }
    }
  }
}

// Whichever treatment the first subject starts with, every set, counter and
// note describes the treatments by name alike.
TEST_F(CrossoverReadTest, TheFirstSubjectsSequenceChangesNothing) {
  for (const XoConfig &cfg : kXoConfigs) {
    configure(cfg);
    ASSERT_EQ(read(0), 0);
    std::vector<std::vector<double>> before;
    for (int set : kXoSets) {
      if (krvset(step.opts(), set) != nullptr) before.push_back(fieldsOf(step.rec(set)));
    }
    const int32_t used[3] = {step->graphics.used[0], step->graphics.used[1],
                             step->graphics.used[2]};
    const std::vector<Logged> log = host.log;
    ASSERT_EQ(read(1), 0);
    EXPECT_STREQ(step->trt_fmt[0], "R");
    size_t i = 0;
    for (int set : kXoSets) {
      if (krvset(step.opts(), set) == nullptr) continue;
      const std::vector<double> after = fieldsOf(step.rec(set));
      for (size_t f = 0; f < after.size(); ++f) {
        const double b = before[i][f], a = after[f];
        if (std::isnan(b) || b == kNotComputed) {
          EXPECT_EQ(std::bit_cast<uint64_t>(a), std::bit_cast<uint64_t>(b)) << set << " " << f;
        } else {
          EXPECT_NEAR(a, b, 1e-12 * (1.0 + std::fabs(b))) << "set " << set << " field " << f;
        }
      }
      ++i;
    }
    for (int k = 0; k < 3; ++k) EXPECT_EQ(step->graphics.used[k], used[k]);
    ASSERT_EQ(host.log.size(), log.size());
    for (size_t k = 0; k < log.size(); ++k) EXPECT_EQ(host.log[k].insert, log[k].insert);
  }
}

std::vector<double> testOf(const krvresult &r, int which) {
  switch (which) {
    case 0:
    case 1:
      return {r.test_xo[which].t, r.test_xo[which].df, r.test_xo[which].p};
    case 2:
    case 3: {
      const krvttest &t = r.uneq_xo.test[which - 2];
      return {t.t, t.df, t.p};
    }
    case 4:
      return {r.foldf_xo.f, r.foldf_xo.numdf, r.foldf_xo.p, r.foldf_xo.dendf};
    case 5:
      return {r.test_xo1.t, r.test_xo1.df, r.test_xo1.p};
    case 6:
      return {r.equiv_xo1.t_lower, r.equiv_xo1.df, r.equiv_xo1.p_lower};
    default:
      return {r.equiv_xo1.t_upper, r.equiv_xo1.df, r.equiv_xo1.p_upper};
  }
}

// The group read from its second subject on, (R, T), so no treatment moves.
TEST_F(CrossoverReadTest, AnalysesCompareTheSequencesOrTestTheDifferences) {
  for (size_t c = 0; c < std::size(kXoConfigs); ++c) {
    configure(kXoConfigs[c]);
    ASSERT_EQ(read(1, true), 0) << c;
    for (const XoTest &t : kXoTests) {
      if (t.config != static_cast<int>(c)) continue;
      const std::vector<double> got = testOf(step.result(), t.which);
      for (size_t f = 0; f < got.size(); ++f) {
        expectValue(got[f], t.v[f],
                    "config " + std::to_string(c) + " test " + std::to_string(t.which) + " field " +
                        std::to_string(f));
      }
    }
  }
}

// Numeric treatments whose formatted texts sort against their values: 1 is
// "b", 2 is "a"; the first subject is (1, 2).
TEST_F(CrossoverReadTest, EachOrderNamesItsFirstTreatmentA) {
  const struct {
    int32_t order;
    double first;
  } cases[] = {{38, 2.0}, {39, 1.0}, {40, 1.0}, {41, 1.0}, {42, 1.0}};
  step.crossoverVariables(1, 1);
  for (const auto &c : cases) {
    step->order = c.order;
    host.rows.clear();
    for (const double y1 : {5.0, 7.0}) {
      Row row{{y1, 1.0}};
      row.treatments[0] = "b";
      row.treatments[1] = "a";
      row.treatmentNums[0] = 1.0;
      row.treatmentNums[1] = 2.0;
      host.rows.push_back(row);
    }
    ASSERT_EQ(krvread(step.opts()), 0);
    EXPECT_EQ(step->trt_num[0], c.first) << c.order;
    const int a1 = c.first == 1.0 ? kSetA1 : kSetB1;
    EXPECT_EQ(step.rec(a1).mean, 6.0) << c.order;
    EXPECT_EQ(step.rec(kSetTrtDiff).mean, c.first == 1.0 ? 5.0 : -5.0) << c.order;
    EXPECT_EQ(step->graphics.used[c.first == 1.0 ? 1 : 2], 2) << c.order;
  }
}

TEST_F(CrossoverReadTest, ReadingErrorsNameTheirCause) {
  const double na = hostMissing('.');
  const struct {
    std::vector<XoSubject> subjects;
    bool freq;
    int32_t want;
  } cases[] = {
      {{{" ", "R", 1, 2}, {"R", "R", 1, 2}}, false, -kErrXoSameTreatment},
      {{{"R", "T", 1, 2}, {"T", "T", 1, 2}}, false, -kErrXoOtherPair},
      {{{"R", "T", 1, 2}, {"R", "X", na, 2}}, false, -kErrXoOtherPair},
      {{{"R", "T", na, 2}, {"T", "R", 1, na}}, false, -kErrXoNoneUsed},
      {{{"R", "T", 1, 2}, {"T", "R", 3, 4}}, true, -kErrXoNoneUsedFreqWeight},
      {{{"R", "T", 1.7e308, -1.7e308}}, false, -kErrOverflow},
      {{}, false, -kErrNoObservation},
  };
  step.crossoverVariables(2, 1);
  for (const auto &c : cases) {
    host.rows.clear();
    host.rewind();
    for (const XoSubject &s : c.subjects) subject(s.t1, s.t2, s.y1, s.y2, 0.5);
    step->freq_var = c.freq ? 2 : -1;
    EXPECT_EQ(krvread(step.opts()), c.want);
  }
}

}  // namespace

// Reading crossover subjects and their analyses against crossover.R, the same
// sets whichever treatment the first subject starts with, and the errors.
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
// Set: n, mean, std, min, max, lclm, uclm, gmean, lclgm, uclgm, cv, cv4.
// Test (see testsOf): t, df, p.
struct XoGolden {
  int config, which;
  double v[12];
};
// A small group, its ORDER= and FREQ use, the result of reading it and the
// treatment A it names.
struct XoCase {
  int32_t order;
  bool freq;
  std::vector<XoSubject> subjects;
  int32_t want;
  const char *first;
};
constexpr double kNa = std::numeric_limits<double>::quiet_NaN();
constexpr double kOpen = std::numeric_limits<double>::infinity();  // limit of an open side
#include "tests/stat/crossover_cases.inc"
#include "tests/stat/golden_crossover.inc"

std::vector<double> fieldsOf(const krvstat &r) {
  return {r.n, r.mean, r.std, r.min, r.max, r.lclm, r.uclm, r.gmean, r.lclgm, r.uclgm, r.cv, r.cv4};
}

krvttest lowerOf(const krvequiv &e) {
  return {e.t_lower, e.df, e.p_lower};
}
krvttest upperOf(const krvequiv &e) {
  return {e.t_upper, e.df, e.p_upper};
}
krvttest lowerOf(const krvuneqequiv &e) {
  return {e.t_lower, e.df_lower, e.p_lower};
}
krvttest upperOf(const krvuneqequiv &e) {
  return {e.t_upper, e.df_upper, e.p_upper};
}

// The crossover tests: pooled and Welch treatment and period tests, folded F,
// the tests of the treatment differences, then the pooled and Welch TOST of
// the two comparisons.
std::vector<krvttest> testsOf(const krvresult &r) {
  const krvfoldf &f = r.foldf_xo;
  const krvequiv *e = r.equiv_xo;
  const krvuneqequiv *u = r.uneq_equiv_xo;
  return {r.test_xo[0],        r.test_xo[1],  r.uneq_xo.test[0],    r.uneq_xo.test[1],
          {f.f, f.numdf, f.p}, r.test_xo1,    lowerOf(r.equiv_xo1), upperOf(r.equiv_xo1),
          lowerOf(e[0]),       upperOf(e[0]), lowerOf(e[1]),        upperOf(e[1]),
          lowerOf(u[0]),       upperOf(u[0]), lowerOf(u[1]),        upperOf(u[1])};
}

// NaN: not checked; infinite: the open side's host missing value.
void expectValue(double got, double want, const std::string &where) {
  if (std::isinf(want)) {
    EXPECT_TRUE(isHostMissing(got, want < 0 ? 'M' : 'I')) << where;
  } else if (!std::isnan(want)) {
    EXPECT_NEAR(got, want, 1e-12 * (1.0 + std::fabs(want))) << where;
  }
}

struct CrossoverReadTest : ::testing::Test {
  FakeHost host;
  Step step{kKindCrossover, 1, 2};
  // The subjects from `first` on, then those before it.
  int32_t read(const std::vector<XoSubject> &subjects, size_t first, bool analyse = false) {
    host.rows.clear();
    host.log.clear();
    host.rewind();
    for (size_t i = 0; i < subjects.size(); ++i) {
      const XoSubject &s = subjects[(first + i) % subjects.size()];
      host.rows.push_back({{s.y1, s.y2}, 0.5, 1.0, 0.0, "", {s.t1, s.t2}});
    }
    return analyse ? krvproc(step.opts()) : krvread(step.opts());
  }
};

// The first subject is (T, R): read as given the treatments must be put in
// order, and from the second subject on they come in order. Both readings
// must give the same sets, counters and notes, and those of crossover.R.
TEST_F(CrossoverReadTest, EveryScaleMatchesRWhicheverTreatmentComesFirst) {
  const std::vector<XoSubject> subjects(std::begin(kXoSubjects), std::end(kXoSubjects));
  step.crossoverVariables(1);
  for (int c = 0; c < int(std::size(kXoConfigs)); ++c) {
    const XoConfig &cfg = kXoConfigs[c];
    step->ignore_period = static_cast<int16_t>(cfg.ignore_period);
    step.testKind(cfg.testkind);
    step->sides = cfg.sides;
    step->h0 = cfg.h0;
    step->tost_lower = cfg.lower;
    step->tost_upper = cfg.upper;
    std::vector<std::vector<double>> sets[2];
    for (size_t first : {0, 1}) {
      step->rc = 0;
      ASSERT_EQ(read(subjects, first, true), 0) << c;
      EXPECT_STREQ(step->trt_fmt[0], "R");
      EXPECT_EQ(step->graphics.used[1], cfg.used1) << c;
      EXPECT_EQ(step->graphics.used[2], cfg.used2) << c;
      EXPECT_EQ(step->rc, cfg.note != 0 ? 4 : 0);
      for (int n = 3; n < kKrvSets; ++n) {
        if (krvset(step.opts(), n) != nullptr) sets[first].push_back(fieldsOf(step.rec(n)));
      }
      ASSERT_EQ(host.log.size(), cfg.note != 0 ? 1u : 0u) << c;
      for (const Logged &l : host.log)
        EXPECT_EQ(l.number * 1000 + l.insert, cfg.note * 1000 + cfg.excluded);
    }
    for (size_t i = 0; i < sets[0].size(); ++i) {
      for (size_t f = 0; f < sets[0][i].size(); ++f) {
        const double a = sets[0][i][f], b = sets[1][i][f];
        if (std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b)) continue;
        EXPECT_NEAR(a, b, 1e-12 * (1.0 + std::fabs(a))) << c << " set " << i + 3 << " " << f;
      }
    }
    const krvresult &r = step.result();
    for (double v : {r.test.t, r.uneq.t, r.foldf.f, r.equiv.t_lower, r.uneq_equiv.t_lower}) {
      EXPECT_EQ(v, kNotComputed);
    }
    for (const XoGolden &g : kXoGoldens) {
      if (g.config != c) continue;
      const krvttest t = g.which < 0 ? krvttest{} : testsOf(r)[g.which];
      const std::vector<double> got =
          g.which < 0 ? fieldsOf(step.rec(-g.which)) : std::vector<double>{t.t, t.df, t.p};
      for (size_t f = 0; f < got.size(); ++f) {
        expectValue(got[f], g.v[f],
                    std::to_string(c) + "/" + std::to_string(g.which) + "/" + std::to_string(f));
      }
    }
  }
}

// ORDER=DATA keeps the first subject's period-1 treatment as A; every other
// order puts R first. Then the errors of the reading.
TEST_F(CrossoverReadTest, OrdersAndReadingErrors) {
  step.crossoverVariables(1);
  for (const XoCase &c : kXoCases) {
    step->order = c.order;
    step->freq_var = c.freq ? 2 : -1;
    EXPECT_EQ(read(c.subjects, 0), c.want) << c.order;
    EXPECT_STREQ(c.want == 0 ? step->trt_fmt[0] : "", c.first) << c.order;
  }
}

}  // namespace

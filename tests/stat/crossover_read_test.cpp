// Reading crossover subjects and their analyses against crossover.R, the same
// sets whichever treatment the first subject starts with, and the errors.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <vector>

#include "stat/src/krvread.h"
#include "tests/stat/fakehost.h"
#include "xob/krvprocs.h"

namespace {

struct XoSubject {
  const char *t1, *t2;
  double y1, y2;
};
// TEST= code, IGNOREPERIOD, SIDES, H0 and the TOST bounds; the note, the
// count it tells and the subjects used in sequence 1 and 2.
struct XoConfig {
  int32_t testkind, ignore_period, sides;
  double h0, lower, upper;
  int32_t note, excluded, used1, used2;
};
// Set -which: n, mean, std, min, max, lclm, uclm, gmean, lclgm, uclgm, cv,
// cv4. Test `which` of testsOf: t, df, p.
struct XoGolden {
  int config, which;
  double v[12];
};
// ORDER=, FREQ in use, the group, its result and the treatment A it names.
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

// Pooled and Welch tests of the treatment and period comparisons, folded F,
// test and TOST of the treatment differences, pooled and Welch TOST of the
// two comparisons.
std::vector<krvttest> testsOf(const krvresult &r) {
  const auto lo = [](const auto &e, double df) { return krvttest{e.t_lower, df, e.p_lower}; };
  const auto up = [](const auto &e, double df) { return krvttest{e.t_upper, df, e.p_upper}; };
  const krvequiv &x = r.equiv_xo1;
  const krvfoldf &f = r.foldf_xo;
  std::vector<krvttest> t{r.test_xo[0], r.test_xo[1], r.uneq_xo.test[0], r.uneq_xo.test[1]};
  t.insert(t.end(), {{f.f, f.numdf, f.p}, r.test_xo1, lo(x, x.df), up(x, x.df)});
  for (const krvequiv &q : r.equiv_xo) t.insert(t.end(), {lo(q, q.df), up(q, q.df)});
  for (const krvuneqequiv &q : r.uneq_equiv_xo) {
    t.insert(t.end(), {lo(q, q.df_lower), up(q, q.df_upper)});
  }
  return t;
}

// The same bits (missing values, the marker), or the same to 1e-12.
bool same(double a, double b) {
  return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b) ||
         std::fabs(a - b) <= 1e-12 * (1.0 + std::fabs(b));
}

// A NaN golden is not checked; an infinite one is the open side's missing value.
bool matches(double got, double want) {
  if (std::isinf(want)) return isHostMissing(got, want < 0 ? 'M' : 'I');
  return std::isnan(want) || same(got, want);
}

struct CrossoverReadTest : ::testing::Test {
  FakeHost host;
  Step step{kKindCrossover, 1, 2};
  // Reads and analyses the subjects from `first` on, then those before it.
  int32_t read(const std::vector<XoSubject> &subjects, size_t first) {
    host.rows.clear();
    host.log.clear();
    host.rewind();
    for (size_t i = 0; i < subjects.size(); ++i) {
      const XoSubject &s = subjects[(first + i) % subjects.size()];
      host.rows.push_back({{s.y1, s.y2}, 0.5, 1.0, 0.0, "", {s.t1, s.t2}});
    }
    return krvproc(step.opts());
  }
};

// The first subject is (T, R): read as given the treatments must be put in
// order, and from the second subject on they come in order. Both readings
// must give the same sets, counters, notes and tests, and those of R.
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
      ASSERT_EQ(read(subjects, first), 0) << c;
      EXPECT_EQ(step->rc, cfg.note != 0 ? 4 : 0);
      EXPECT_EQ(step->graphics.used[1] * 100 + step->graphics.used[2], cfg.used1 * 100 + cfg.used2);
      ASSERT_EQ(host.log.size(), cfg.note != 0 ? 1u : 0u) << c;
      for (const Logged &l : host.log)
        EXPECT_EQ(l.number * 100 + l.insert, cfg.note * 100 + cfg.excluded);
      EXPECT_STREQ(step->trt_fmt[0], "R");
      for (int n = 3; n < kKrvSets; ++n) {
        if (krvset(step.opts(), n) != nullptr) sets[first].push_back(fieldsOf(step.rec(n)));
      }
    }
    for (size_t i = 0; i < sets[0].size(); ++i) {
      for (size_t f = 0; f < sets[0][i].size(); ++f) {
        EXPECT_TRUE(same(sets[0][i][f], sets[1][i][f])) << c << " record " << i << " field " << f;
      }
    }
    const krvresult &r = step.result();
    for (double v : {r.test.t, r.uneq.t, r.foldf.f, r.equiv.t_lower, r.uneq_equiv.t_lower}) {
      EXPECT_EQ(v, kNotComputed);
    }
    for (const XoGolden &g : kXoGoldens) {
      const krvttest t = g.which < 0 || g.config != c ? krvttest{} : testsOf(r)[g.which];
      const std::vector<double> got =
          g.which < 0 ? fieldsOf(step.rec(-g.which)) : std::vector<double>{t.t, t.df, t.p};
      for (size_t f = 0; f < got.size() && g.config == c; ++f) {
        EXPECT_TRUE(matches(got[f], g.v[f])) << c << " " << g.which << " " << f << " " << got[f];
      }
    }
  }
}

// ORDER=DATA keeps the first subject's period-1 treatment as A; every other
// order puts R first. Then the errors of the reading and their messages.
TEST_F(CrossoverReadTest, OrdersAndReadingErrors) {
  step.crossoverVariables(1);
  for (const XoCase &c : kXoCases) {
    step->order = c.order;
    step->freq_var = c.freq ? 2 : -1;
    EXPECT_EQ(read(c.subjects, 0), c.want) << c.order;
    EXPECT_EQ(host.log.empty() ? 0 : -host.log.back().number, c.want);
    EXPECT_STREQ(c.want == 0 ? step->trt_fmt[0] : "", c.first) << c.order;
  }
}

}  // namespace

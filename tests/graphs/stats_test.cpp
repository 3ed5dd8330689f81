// The drawing layer's numbers against R (gen_stats.R, gen_pretty.R).
#include "vyn/graphs/stats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace vyn::graphs {
namespace {

struct RSample {
  const char *name;
  std::vector<double> x;
  double bw;
  std::vector<double> densityX, densityY, breaks, counts, five, outliers, scores;
};
const RSample kSamples[] = {
#include "stats_golden.inc"
};

struct RPretty {
  double lo, hi;
  int n, minN;
  std::vector<double> breaks;
};
const RPretty kPretty[] = {
#include "pretty_golden.inc"
};

void expectClose(const std::vector<double> &got, const std::vector<double> &want, double tol,
                 const char *what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  double scale = 0;
  for (double w : want) scale = std::max(scale, std::fabs(w));
  for (size_t i = 0; i < want.size(); ++i)
    EXPECT_NEAR(got[i], want[i], tol * scale + 1e-300) << what << " [" << i << "]";
}

TEST(GraphStats, PrettyBreaksMatchR) {
  for (const RPretty &c : kPretty) {
    SCOPED_TRACE(std::to_string(c.lo) + " " + std::to_string(c.hi) + " n=" + std::to_string(c.n));
    expectClose(prettyBreaks(c.lo, c.hi, c.n, c.minN), c.breaks, 1e-13, "breaks");
  }
}

TEST(GraphStats, DensityHistogramBoxAndScoresMatchR) {
  for (const RSample &r : kSamples) {
    SCOPED_TRACE(r.name);
    const Sample s = makeSample(r.x);
    EXPECT_NEAR(bandwidthNrd0(s), r.bw, 1e-14 * r.bw);
    const Curve d = kernelDensity(s, r.bw);
    ASSERT_EQ(d.x.size(), 512u);
    const size_t at[] = {0, 1, 99, 199, 255, 299, 449, 511};
    std::vector<double> x, y;
    for (size_t i : at) x.push_back(d.x[i]), y.push_back(d.y[i]);
    expectClose(x, r.densityX, 1e-13, "density x");
    expectClose(y, r.densityY, 1e-10, "density y");
    const Histogram h = sturgesHistogram(s);
    expectClose(h.breaks, r.breaks, 1e-13, "breaks");
    expectClose(h.counts, r.counts, 0, "counts");
    const BoxStats b = boxStats(s);
    expectClose({b.lowWhisker, b.lowHinge, b.median, b.highHinge, b.highWhisker}, r.five, 1e-15,
                "five numbers");
    std::vector<double> out = r.outliers;
    std::ranges::sort(out);
    expectClose(b.outliers, out, 0, "outliers");
    expectClose(normalScores(s.sorted.size()), r.scores, 1e-14, "normal scores");
  }
}

}  // namespace
}  // namespace vyn::graphs

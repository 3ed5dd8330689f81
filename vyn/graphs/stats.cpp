// Numbers behind the graphs, computed the way R's graphics functions compute
// them (pretty, bw.nrd0, density, hist, boxplot.stats, qqnorm).
#include "vyn/graphs/stats.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numbers>

namespace vyn::graphs {
namespace {

// Bias towards the larger unit (h) and towards 5 over 2 (h5), as R's defaults.
constexpr double kHighBias = 1.5;
constexpr double kU5Bias = 0.5 + 1.5 * kHighBias;
constexpr double kShrinkSmall = 0.75;
constexpr double kRoundingEps = 1e-10;
constexpr int kDensityPoints = 512;

// Whether [lo, hi] is too narrow to be divided: then a unit is made from
// the magnitude of the values instead of their range.
bool tooNarrow(double lo, double hi, int n) {
  const double dx = hi - lo;
  if (dx == 0 && hi == 0) return true;
  const double cell = std::max(std::fabs(lo), std::fabs(hi));
  double u = 1 + ((kU5Bias >= 1.5 * kHighBias + .5) ? 1 / (1 + kHighBias) : 1.5 / (1 + kU5Bias));
  u *= std::max(1, n) * DBL_EPSILON;
  return dx < cell * u * 3;
}

double prettyCell(double lo, double hi, int n, int minN) {
  if (!tooNarrow(lo, hi, n)) return (hi - lo) / std::max(1, n);
  double cell = (hi - lo == 0 && hi == 0) ? 1 : std::max(std::fabs(lo), std::fabs(hi));
  if (cell > 10) cell = 9 + cell / 10;
  cell *= kShrinkSmall;
  if (minN > 1) cell /= minN;
  return std::clamp(cell, std::ldexp(DBL_MIN, -20), DBL_MAX / 10);
}

// 1, 2, 5 or 10 times the power of ten below cell, whichever is nearest
// with the bias above.
double prettyUnit(double cell) {
  const double base = std::pow(10.0, std::floor(std::log10(cell)));
  double unit = base;
  if (2 * base - cell < kHighBias * (cell - unit)) {
    unit = 2 * base;
    if (5 * base - cell < kU5Bias * (cell - unit)) {
      unit = 5 * base;
      if (10 * base - cell < kHighBias * (cell - unit)) unit = 10 * base;
    }
  }
  return unit;
}

double normalDensityAt(double x, double mean, double sd) {
  const double z = (x - mean) / sd;
  return std::exp(-0.5 * z * z) / (sd * std::sqrt(2 * std::numbers::pi));
}

// Lower tail of the standard normal, accurate far into the lower tail.
double normalLowerTail(double x) {
  return 0.5 * std::erfc(-x / std::numbers::sqrt2);
}

// Each value's mass split between its two neighbouring grid points
// (R's linear binning); values outside the grid's cells are dropped.
std::vector<double> linearBins(const Sample &s, double lo, double hi, int n) {
  std::vector<double> y(n, 0.0);
  const double delta = (hi - lo) / (n - 1), w = 1.0 / s.sorted.size();
  for (double v : s.sorted) {
    const double pos = (v - lo) / delta;
    const double ix = std::floor(pos), fx = pos - ix;
    if (ix >= 0 && ix <= n - 2) {
      y[int(ix)] += w * (1 - fx);
      y[int(ix) + 1] += w * fx;
    } else if (ix == -1) {
      y[0] += w * fx;
    } else if (ix == n - 1) {
      y[n - 1] += w * (1 - fx);
    }
  }
  return y;
}

// Linear interpolation of (xs, ys), xs increasing, at x.
double interpolate(const std::vector<double> &xs, const std::vector<double> &ys, double x) {
  const auto it = std::upper_bound(xs.begin(), xs.end(), x);
  if (it == xs.begin()) return ys.front();
  if (it == xs.end()) return ys.back();
  const size_t i = size_t(it - xs.begin()) - 1;
  return ys[i] + (ys[i + 1] - ys[i]) * (x - xs[i]) / (xs[i + 1] - xs[i]);
}

// Hist's bin of v among right-closed bins, or -1 outside them.
int binOf(const std::vector<double> &fuzzy, double v) {
  if (v < fuzzy.front() || v > fuzzy.back()) return -1;
  const auto it = std::lower_bound(fuzzy.begin() + 1, fuzzy.end(), v);
  return int(it - fuzzy.begin()) - 1;
}

// The small shift of the breaks that keeps values sitting on a break,
// give or take rounding, in the bin to its left.
double histDiddle(const std::vector<double> &breaks, const Sample &s) {
  std::vector<double> widths;
  for (size_t i = 1; i < breaks.size(); ++i) widths.push_back(breaks[i] - breaks[i - 1]);
  std::ranges::sort(widths);
  if (breaks.size() > 5) return 1e-7 * quantile7(widths, 0.5);
  if (breaks.size() <= 3) return 1e-7 * (s.sorted.back() - s.sorted.front());
  double smallest = INFINITY;
  for (double w : widths)
    if (w > 0) smallest = std::min(smallest, w);
  return 1e-7 * smallest;
}

}  // namespace

std::vector<double> prettyBreaks(double lo, double hi, int n, int minN) {
  if (!std::isfinite(hi - lo)) return {lo, hi};
  const double unit = prettyUnit(prettyCell(lo, hi, n, minN));
  double ns = std::floor(lo / unit + kRoundingEps), nu = std::ceil(hi / unit - kRoundingEps);
  while (ns * unit > lo + kRoundingEps * unit) --ns;
  while (nu * unit < hi - kRoundingEps * unit) ++nu;
  int k = int(0.5 + nu - ns);
  if (k < minN) {
    k = minN - k;
    if (ns >= 0) {
      nu += k / 2;
      ns -= k / 2 + k % 2;
    } else {
      ns -= k / 2;
      nu += k / 2 + k % 2;
    }
    k = minN;
  }
  const double first = std::min(lo, ns * unit), last = std::max(hi, nu * unit);
  std::vector<double> out(size_t(k) + 1);
  for (int i = 0; i <= k; ++i) {
    out[i] = k == 0 ? first : first + i * ((last - first) / k);
    if (k > 0 && std::fabs(out[i]) < 1e-14 * (last - first) / k) out[i] = 0;
  }
  return out;
}

Sample makeSample(std::vector<double> values) {
  Sample s;
  std::erase_if(values, [](double v) { return !std::isfinite(v); });
  std::ranges::sort(values);
  s.sorted = std::move(values);
  const size_t n = s.sorted.size();
  if (n == 0) return s;
  double sum = 0;
  for (double v : s.sorted) sum += v;
  s.mean = sum / n;
  double ss = 0;
  for (double v : s.sorted) ss += (v - s.mean) * (v - s.mean);
  s.sd = n > 1 ? std::sqrt(ss / (n - 1)) : 0;
  // Values whose spread overflows a double cannot be scaled onto an axis.
  if (!std::isfinite(s.mean) || !std::isfinite(s.sd)) return Sample{};
  return s;
}

double quantile7(std::span<const double> sorted, double p) {
  const double index = (sorted.size() - 1) * p;
  const size_t lo = size_t(std::floor(index)), hi = size_t(std::ceil(index));
  const double h = index - lo;
  return h > 0 && sorted[hi] != sorted[lo] ? (1 - h) * sorted[lo] + h * sorted[hi] : sorted[lo];
}

double bandwidthNrd0(const Sample &s) {
  const double iqr = quantile7(s.sorted, 0.75) - quantile7(s.sorted, 0.25);
  double lo = std::min(s.sd, iqr / 1.34);
  if (lo == 0) lo = s.sd;
  if (lo == 0) lo = std::fabs(s.sorted.front());
  if (lo == 0) lo = 1;
  return 0.9 * lo * std::pow(double(s.sorted.size()), -0.2);
}

Curve kernelDensity(const Sample &s, double bw) {
  const int n = kDensityPoints;
  const double from = s.sorted.front() - 3 * bw, to = s.sorted.back() + 3 * bw;
  const double lo = from - 4 * bw, hi = to + 4 * bw;
  const std::vector<double> mass = linearBins(s, lo, hi, n);
  // The kernel is sampled on the doubled grid of the transform R convolves with.
  const double kdelta = 2 * (hi - lo) / (2 * n - 1);
  std::vector<double> kernel(n);
  for (int t = 0; t < n; ++t) kernel[t] = normalDensityAt(t * kdelta, 0, bw);
  std::vector<double> gridX(n), gridY(n);
  for (int m = 0; m < n; ++m) {
    double sum = 0;
    for (int j = 0; j < n; ++j) sum += mass[j] * kernel[std::abs(j - m)];
    gridX[m] = lo + m * ((hi - lo) / (n - 1));
    gridY[m] = std::max(0.0, sum);
  }
  Curve c;
  for (int i = 0; i < n; ++i) {
    c.x.push_back(from + i * ((to - from) / (n - 1)));
    c.y.push_back(interpolate(gridX, gridY, c.x.back()));
  }
  return c;
}

Curve normalDensity(const Sample &s, double lo, double hi, int n) {
  Curve c;
  for (int i = 0; i < n; ++i) {
    c.x.push_back(lo + i * ((hi - lo) / (n - 1)));
    c.y.push_back(normalDensityAt(c.x.back(), s.mean, s.sd));
  }
  return c;
}

Histogram sturgesHistogram(const Sample &s) {
  Histogram h;
  const int classes = int(std::ceil(std::log2(double(s.sorted.size())) + 1));
  h.breaks = prettyBreaks(s.sorted.front(), s.sorted.back(), classes, 1);
  const double diddle = histDiddle(h.breaks, s);
  std::vector<double> fuzzy = h.breaks;
  fuzzy.front() -= diddle;
  for (size_t i = 1; i < fuzzy.size(); ++i) fuzzy[i] += diddle;
  h.counts.assign(h.breaks.size() - 1, 0.0);
  for (double v : s.sorted)
    if (int b = binOf(fuzzy, v); b >= 0) h.counts[b] += 1;
  for (size_t i = 0; i < h.counts.size(); ++i)
    h.density.push_back(h.counts[i] / (s.sorted.size() * (h.breaks[i + 1] - h.breaks[i])));
  return h;
}

BoxStats boxStats(const Sample &s) {
  const auto &x = s.sorted;
  const double n = double(x.size());
  const double n4 = std::floor((n + 3) / 2) / 2;
  auto at = [&](double d) {
    return 0.5 * (x[size_t(std::floor(d)) - 1] + x[size_t(std::ceil(d)) - 1]);
  };
  BoxStats b;
  b.lowHinge = at(n4);
  b.median = at((n + 1) / 2);
  b.highHinge = at(n + 1 - n4);
  const double reach = 1.5 * (b.highHinge - b.lowHinge);
  b.lowWhisker = b.highHinge;
  b.highWhisker = b.lowHinge;
  for (double v : x) {
    if (v < b.lowHinge - reach || v > b.highHinge + reach) {
      b.outliers.push_back(v);
    } else {
      b.lowWhisker = std::min(b.lowWhisker, v);
      b.highWhisker = std::max(b.highWhisker, v);
    }
  }
  return b;
}

double normalQuantile(double p) {
  if (p <= 0) return -INFINITY;
  if (p >= 1) return INFINITY;
  const double q = std::min(p, 1 - p);
  // Abramowitz and Stegun 26.2.23 to start, then Halley steps on the lower tail.
  const double t = std::sqrt(-2 * std::log(q));
  double x = -(t - (2.515517 + 0.802853 * t + 0.010328 * t * t) /
                       (1 + 1.432788 * t + 0.189269 * t * t + 0.001308 * t * t * t));
  for (int i = 0; i < 4; ++i) {
    const double u =
        (normalLowerTail(x) - q) * std::sqrt(2 * std::numbers::pi) * std::exp(x * x / 2);
    x -= u / (1 + x * u / 2);
  }
  return p > 0.5 ? -x : x;
}

std::vector<double> normalScores(size_t n) {
  const double a = n <= 10 ? 3.0 / 8 : 0.5;
  std::vector<double> z(n);
  for (size_t i = 0; i < n; ++i) z[i] = normalQuantile((i + 1 - a) / (n + 1 - 2 * a));
  return z;
}

}  // namespace vyn::graphs

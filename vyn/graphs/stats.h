// The numeric work behind the graphs: tick and bin breaks, kernel and normal
// densities, box statistics and normal scores, each following the
// conventions of R's graphics functions so that a graph reads like theirs.
#pragma once

#include <span>
#include <vector>

namespace vyn::graphs {

// Equally spaced "round" values (1, 2 or 5 times a power of ten) covering
// [lo, hi] in about n intervals and at least minN, as R's pretty().
std::vector<double> prettyBreaks(double lo, double hi, int n, int minN);

// The finite values of a sample, sorted, with their mean and standard
// deviation; empty when those overflow a double.
struct Sample {
  std::vector<double> sorted;
  double mean = 0;
  double sd = 0;  // 0 for fewer than two values
};
Sample makeSample(std::vector<double> values);

// The p-quantile of sorted values by linear interpolation (R's type 7).
double quantile7(std::span<const double> sorted, double p);

// Silverman's rule of thumb with its fall-backs (R's bw.nrd0).
double bandwidthNrd0(const Sample &s);

struct Curve {
  std::vector<double> x;
  std::vector<double> y;
};

// Gaussian kernel density on 512 points from min - 3bw to max + 3bw, by
// linear binning and a discrete convolution as R's density() does it.
Curve kernelDensity(const Sample &s, double bw);

// The normal density with the sample's mean and sd at n points over [lo, hi].
Curve normalDensity(const Sample &s, double lo, double hi, int n);

// Histogram with Sturges' number of classes on pretty breaks; right-closed
// bins, the first one closed on both sides (R's hist()).
struct Histogram {
  std::vector<double> breaks;
  std::vector<double> counts;
  std::vector<double> density;  // counts / (n * bin width)
};
Histogram sturgesHistogram(const Sample &s);

// Tukey's five numbers with 1.5 IQR whiskers and the values beyond them
// (R's boxplot.stats), and the mean for the marker.
struct BoxStats {
  double lowWhisker = 0, lowHinge = 0, median = 0, highHinge = 0, highWhisker = 0;
  std::vector<double> outliers;
};
BoxStats boxStats(const Sample &s);

// The standard normal quantile function.
double normalQuantile(double p);

// Normal scores of n ordered values: qnorm(ppoints(n)) as R's qqnorm.
std::vector<double> normalScores(size_t n);

}  // namespace vyn::graphs

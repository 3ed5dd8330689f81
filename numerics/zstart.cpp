// Starting values of the quantile solver: cheap, to a few digits, never the answer itself.
#include <cmath>

#include "numerics/zdist_impl.h"

namespace zdi {

namespace {

// z >= 0 with ln Q(z) = lt for the upper normal tail Q, lt <= ln 1/2.
double normalTail(double lt) {
  const double t = std::sqrt(-2 * lt);
  double z = std::fmax(0, t - (2.30753 + 0.27061 * t) / (1 + (0.99229 + 0.04481 * t) * t));
  // one Halley step on Q(z) = e^lt, while the tail is a normal double
  if (lt > -700) {
    const double d = (0.5 * std::erfc(z * static_cast<double>(SQRT1_2)) - std::exp(lt)) /
                     std::exp(-0.5 * z * z - static_cast<double>(LNSQRT2PI));
    z += d / (1 - 0.5 * z * d);
  }
  return z;
}

// y with I_y(a, b) = e^lt for a small y, from the series of the incomplete beta ratio
// I_y(a, b) = y^a (1 - y)^b / (a B(a, b)) (1 + (a + b)/(a + 1) y (1 + (a + b + 1)/(a + 2) y + ...))
// by fixed-point steps, lB = ln B(a, b); 0 where y is too large for the series.
double betaTail(double lt, double a, double b, double lB) {
  const double c1 = (a + b) / (a + 1), c2 = (a + b + 1) / (a + 2);
  const double lc = lt + std::log(a) + lB;
  double y = std::exp(lc / a);
  for (int it = 0; it < 4 && c1 * y < 0.2; ++it)
    y = std::exp((lc - b * std::log1p(-y) - std::log(1 + c1 * y * (1 + c2 * y))) / a);
  return c1 * y < 0.2 && y > 0 ? y : 0;
}

double lnBeta(double a, double b) {
  return std::lgamma(a) + std::lgamma(b) - std::lgamma(a + b);
}

}  // namespace

ld normal_start(ld lp, ld lq) {
  if (lp == lq) return 0;
  return lp < lq ? -normalTail(static_cast<double>(lp)) : normalTail(static_cast<double>(lq));
}

// Hill's (1970) approximation of |x| for the two-sided tail probability 2 e^lt of the
// t with df degrees of freedom: the normal deviate corrected by an expansion in 1/df
// in the body, the leading terms of the tail series beyond it.
ld t_start(ld lp, ld lq, ld df) {
  const bool lower = lp <= lq;
  const double lt = static_cast<double>(lower ? lp : lq), n = static_cast<double>(df);
  const double a = 1 / (n - 0.5), b = 48 / (a * a);
  double c = ((20700 * a / b - 98) * a - 16) * a + 96.36;
  const double d = ((94.5 / (b + c) - 3) / b + 1) * std::sqrt(a * static_cast<double>(PI) / 2) * n;
  double y = std::exp(2 / n * (std::log(d) + static_cast<double>(LN2) + lt));
  if (y > 0.05 + a) {
    const double x = -normalTail(lt);
    y = x * x;
    if (n < 5) c += 0.3 * (n - 4.5) * (x + 0.6);
    c += (((0.05 * d * x - 5) * x - 7) * x - 2) * x + b;
    y = (((((0.4 * y + 6.3) * y + 36) * y + 94.5) / c - y - 3) / b + 1) * x;
    y = std::expm1(a * y * y);
  } else {
    y = ((1 / (((n + 6) / (n * y) - 0.089 * d - 0.822) * (n + 2) * 3) + 0.5 / (n + 4)) * y - 1) *
            (n + 1) / (n + 2) +
        1 / y;
  }
  const double q = std::sqrt(n * y);
  return lower ? -q : q;
}

// The chi-square: with 1 degree of freedom the square of the normal deviate of the two
// tails; in the lower tail while x/2 is small against df/2 + 1 the series
// P(a, g) = g^a e^-g / Gamma(a + 1) (1 + g/(a + 1) + g^2/((a + 1)(a + 2)) + ...) solved for
// g = x/2 by a few fixed-point steps; elsewhere Wilson and Hilferty's cube root.
ld chisq_start(ld lp, ld lq, ld df) {
  const double a = static_cast<double>(df) / 2, l = static_cast<double>(lp);
  if (df == 1 && lp > lq) {
    const double z = normalTail(static_cast<double>(lq - LN2));
    return z * z;
  }
  if (lp < lq) {
    const double lc = l + std::lgamma(a + 1);
    double g = std::exp(lc / a);
    if (g < 0.2 * (a + 1)) {
      for (int it = 0; it < 3 && g > 1e-12 * (a + 1); ++it) {
        const double s = 1 + g / (a + 1) * (1 + g / (a + 2) * (1 + g / (a + 3)));
        g = std::exp((lc + g - std::log(s)) / a);
      }
      return 2 * g;
    }
  }
  const double z = static_cast<double>(normal_start(lp, lq)), v = 1 / (9 * a);
  const double c = 1 - v + z * std::sqrt(v);
  return c > 0 ? 2 * a * c * c * c : 2 * std::exp((l + std::lgamma(a + 1)) / a);
}

ld f_tail_start(ld lp, ld lq, ld df1, ld df2) {
  // the lower tail is I_y(df1/2, df2/2) at y = df1 x/(df1 x + df2), the upper I_(1-y)(df2/2,
  // df1/2); the smaller tail first, then the other (a small df1 puts even the median near 0)
  const double r = static_cast<double>(df2 / df1);
  const double a = static_cast<double>(df1) / 2, b = static_cast<double>(df2) / 2,
               lB = lnBeta(a, b);
  const double pl = static_cast<double>(lp), ql = static_cast<double>(lq);
  for (int side = 0; side < 2; ++side) {
    const bool lower = (pl <= ql) == (side == 0);
    const double y = lower ? betaTail(pl, a, b, lB) : betaTail(ql, b, a, lB);
    if (y > 0) return lower ? r * y / (1 - y) : r * (1 - y) / y;
  }
  return 0;
}

ld t_tail_start(ld lp, ld lq, ld df) {
  // P(|T| > |x|) = I_y(df/2, 1/2) at y = df/(df + x^2)
  const bool lower = lp < lq;
  const double y =
      betaTail(static_cast<double>((lower ? lp : lq) + LN2), static_cast<double>(df) / 2, 0.5,
               lnBeta(static_cast<double>(df) / 2, 0.5));
  if (y == 0) return 0;
  const double x = std::sqrt(static_cast<double>(df) * (1 - y) / y);
  return lower ? -x : x;
}

}  // namespace zdi

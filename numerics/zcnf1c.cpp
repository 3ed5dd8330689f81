// zcnf1c: the chi-square pair c1 < c2 of the unbiased (UMPU) confidence interval for a
// variance:  F(c2) - F(c1) = 1 - alpha  and  nu ln c1 - c1 = nu ln c2 - c2.
//
// Newton's method on both equations at once, the first written with the smaller tails as
// P(c1) + Q(c2) = alpha, from the pair that Wilson and Hilferty's approximation gives.  Each
// tail is evaluated there and carried by the series of the density while the steps stay
// near, so a close start costs two tail evaluations.
#include <cmath>

#include "numerics/zdist.h"
#include "numerics/zdist_impl.h"

namespace {

using zdi::ld;

constexpr int MAXEVALS = 16;
constexpr int MAXSTEPS = 60;
// A step this small (relative to c and to the width of the interval) leaves an error far
// below the rounding of the tails: done.
constexpr ld STEP_DONE = 1e-10L;

// One end of the pair: the lower tail at c1 or the upper tail at c2.
struct End {
  ld nu;
  bool lower;
  zdi::tailanchor anchor;
  bool anchored = false;
  int *evals;
  ld tail0 = 0;  // the tail at the anchor

  // The tail at x and the density there; nonzero when the tails cannot be had.
  int at(ld x, ld *tail, ld *dens) {
    ld rel, h;
    if (anchored && zdi::tail_carry(anchor, x, &rel, &h)) {
      *tail = tail0 * (1 + rel);
    } else {
      if (++*evals > MAXEVALS) return 1;
      const zdi::ltails t = zdi::ccentral(x, nu);
      if (t.fail || std::isnan(t.lo) || std::isnan(t.up) || !std::isfinite(t.lpf)) return 1;
      const ld lt = lower ? t.lo : t.up;
      anchored = zdi::tail_anchor(zdi::chisq_series, &nu, x, lt, t.lpf, lower, &anchor);
      h = anchored ? anchor.scale : (lower ? 1 : -1) * std::exp(t.lpf - lt);
      *tail = tail0 = std::exp(lt);
    }
    *dens = std::fabs(h) * *tail;
    return std::isfinite(*dens) ? 0 : 1;
  }
};

// Newton's step in (ln c1, ln c2) on the two conditions, e1 = ln((P(c1) + Q(c2)) / alpha)
// and e2 = nu ln(c1/c2) - (c1 - c2), given the derivatives d1 = c1 P'(c1) / (P + Q) and
// d2 = -c2 Q'(c2) / (P + Q) of the first; in logarithms both stay nearly linear far into the
// tails.  A step changes c by at most a factor e, c1 stays below nu and c2 above (a step
// across goes half way instead).  False when the system is singular; *step is the largest
// change of c1 and c2 relative to themselves and to the width of the interval, which is
// what the coverage follows when alpha is near 1.
template <typename T>
bool newtonStep(T nu, T e1, T d1, T d2, T *c1, T *c2, T *step) {
  const T e2 = nu * std::log(*c1 / *c2) - (*c1 - *c2);
  const T j21 = nu - *c1, j22 = *c2 - nu, det = d1 * j22 + d2 * j21;
  if (!(det != 0) || !std::isfinite(det) || !std::isfinite(e1)) return false;
  const T s1 = std::fmax(T(-1), std::fmin(T(1), (e1 * j22 + e2 * d2) / det));
  const T s2 = std::fmax(T(-1), std::fmin(T(1), (e2 * d1 - e1 * j21) / det));
  T n1 = *c1 * std::exp(-s1), n2 = *c2 * std::exp(-s2);
  if (!(n1 < nu)) n1 = (*c1 + nu) / 2;
  if (!(n2 > nu)) n2 = (*c2 + nu) / 2;
  const T moved = std::fmax(std::fabs(n1 - *c1), std::fabs(n2 - *c2)) / (n2 - n1);
  *step = std::fmax(moved, std::fmax(std::fabs(s1), std::fabs(s2)));
  *c1 = n1;
  *c2 = n2;
  return std::isfinite(n1) && std::isfinite(n2) && n1 > 0;
}

// The pair under Wilson and Hilferty's normal law of the cube root, (x/nu)^(1/3) ~
// N(1 - v, v) with v = 2/(9 nu): a start within about a part in a thousand.
void wilsonHilferty(double alpha, double nu, double *c1, double *c2) {
  const double v = 2 / (9 * nu), sv = std::sqrt(v), z = std::sqrt(2 * std::log(2 / alpha));
  *c1 = nu * std::pow(std::fmax(1 - v - z * sv, 0.1), 3);
  *c2 = nu * std::pow(1 - v + z * sv, 3);
  for (int it = 0; it < 8; ++it) {
    const double r1 = std::cbrt(*c1 / nu), r2 = std::cbrt(*c2 / nu);
    const double w1 = (r1 - 1 + v) / sv, w2 = (r2 - 1 + v) / sv;
    const double both = 0.5 * (std::erfc(-w1 * M_SQRT1_2) + std::erfc(w2 * M_SQRT1_2));
    const double g = 1 / std::sqrt(2 * M_PI) / (3 * sv) / both;
    const double d1 = g * std::exp(-0.5 * w1 * w1) / r1, d2 = g * std::exp(-0.5 * w2 * w2) / r2;
    double step;
    if (!newtonStep(nu, std::log(both / alpha), d1, d2, c1, c2, &step) || step <= 1e-6) break;
  }
}

}  // namespace

int zcnf1c(double alpha, double nu, double *c1out, double *c2out) {
  if (!(nu >= 3) || std::isinf(nu) || !(alpha > 0) || !(alpha < 1)) return 1;
  double s1, s2;
  wilsonHilferty(alpha, nu, &s1, &s2);
  const ld a = alpha, n = nu;
  ld c1 = s1 > 0 && s1 < nu ? s1 : 0.5L * n, c2 = s2 > nu ? s2 : n + std::sqrt(2 * n);
  int evals = 0;
  End lo{n, true, {}, false, &evals}, up{n, false, {}, false, &evals};
  for (int it = 0; it < MAXSTEPS; ++it) {
    ld p1, f1, q2, f2, step;
    if (lo.at(c1, &p1, &f1) || up.at(c2, &q2, &f2)) return 1;
    const ld both = p1 + q2;
    if (!newtonStep(n, std::log(both / a), c1 * f1 / both, c2 * f2 / both, &c1, &c2, &step))
      return 1;
    if (step <= STEP_DONE) {
      *c1out = static_cast<double>(c1);
      *c2out = static_cast<double>(c2);
      return 0;
    }
  }
  return 1;
}

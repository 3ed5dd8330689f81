// zcnf1c: the chi-square pair c1 < c2 of the unbiased (UMPU) confidence interval for a
// variance:  F(c2) - F(c1) = 1 - alpha  and  nu ln c1 - c1 = nu ln c2 - c2.
//
// Newton's method on both equations at once, the first written with the smaller tails as
// P(c1) + Q(c2) = alpha.  Each tail is evaluated once near its root and carried from there
// by the series of the density, so the steps after the first cost no tail evaluation.
#include <cmath>

#include "numerics/zdist.h"
#include "numerics/zdist_impl.h"

namespace {

using zdi::ld;

constexpr int MAXEVALS = 16;
constexpr int MAXSTEPS = 60;
// A relative step this small leaves an error far below the rounding of the tails: done.
constexpr ld STEP_DONE = 1e-10L;

// One end of the pair: the lower tail at c1 or the upper tail at c2.
struct End {
  ld nu;
  bool lower;
  zdi::tailanchor anchor;
  bool anchored = false;
  int *evals;

  // The tail at x and the density there; nonzero when the tails cannot be had.
  int at(ld x, ld *tail, ld *dens) {
    ld lt, h;
    if (!anchored || !zdi::tail_carry(anchor, x, &lt, &h)) {
      if (++*evals > MAXEVALS) return 1;
      const zdi::ltails t = zdi::ccentral(x, nu);
      if (t.fail || std::isnan(t.lo) || std::isnan(t.up) || !std::isfinite(t.lpf)) return 1;
      lt = lower ? t.lo : t.up;
      anchored = zdi::tail_anchor(zdi::chisq_series, &nu, x, lt, t.lpf, lower, &anchor);
      h = (lower ? 1 : -1) * std::exp(t.lpf - lt);
    }
    *tail = std::exp(lt);
    *dens = std::fabs(h) * *tail;
    return std::isfinite(*dens) ? 0 : 1;
  }
};

// The Wilson-Hilferty quantile of the chi-square at ln p, ln(1 - p): the start.
ld wilsonHilferty(ld lp, ld lq, ld nu) {
  const ld z = zdi::normal_start(lp, lq), v = 2 / (9 * nu);
  const ld c = 1 - v + z * std::sqrt(v);
  return nu * c * c * c;
}

}  // namespace

int zcnf1c(double alpha, double nu, double *c1out, double *c2out) {
  if (!(nu >= 3) || std::isinf(nu) || !(alpha > 0) || !(alpha < 1)) return 1;
  const ld a = alpha, n = nu, la = std::log(0.5L * a), lb = std::log1p(-0.5L * a);
  // c1 below nu and c2 above, where nu ln c - c has its maximum; the equal tails start them
  ld c1 = std::fmin(wilsonHilferty(la, lb, n), 0.9L * n), c2 = wilsonHilferty(lb, la, n);
  if (!(c1 > 0)) c1 = 0.5L * n;
  if (!(c2 > n)) c2 = n + std::sqrt(2 * n);
  int evals = 0;
  End lo{n, true, {}, false, &evals}, up{n, false, {}, false, &evals};
  for (int it = 0; it < MAXSTEPS; ++it) {
    ld p1, f1, q2, f2;
    if (lo.at(c1, &p1, &f1) || up.at(c2, &q2, &f2)) return 1;
    // e1 = P(c1) + Q(c2) - alpha, e2 = nu ln(c1/c2) - (c1 - c2), and their Jacobian
    const ld e1 = p1 + q2 - a, e2 = n * std::log(c1 / c2) - (c1 - c2);
    const ld j11 = f1, j12 = -f2, j21 = n / c1 - 1, j22 = 1 - n / c2;
    const ld det = j11 * j22 - j12 * j21;
    if (!(det != 0) || !std::isfinite(det)) return 1;
    const ld d1 = (e1 * j22 - e2 * j12) / det, d2 = (e2 * j11 - e1 * j21) / det;
    ld n1 = c1 - d1, n2 = c2 - d2;
    // keep c1 in (0, nu) and c2 above nu: a step across goes half way instead
    if (!(n1 > 0)) n1 = 0.5L * c1;
    if (!(n1 < n)) n1 = 0.5L * (c1 + n);
    if (!(n2 > n)) n2 = 0.5L * (c2 + n);
    if (!std::isfinite(n2)) return 1;
    const bool done = std::fabs(n1 - c1) <= STEP_DONE * c1 && std::fabs(n2 - c2) <= STEP_DONE * c2;
    c1 = n1;
    c2 = n2;
    if (done) {
      *c1out = static_cast<double>(c1);
      *c2out = static_cast<double>(c2);
      return 0;
    }
  }
  return 1;
}

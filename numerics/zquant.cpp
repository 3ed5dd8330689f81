// Quantile solver shared by the t, F and chi-square entries (Part 7.1): expand a bracket
// from the initial guess (at most 50 factor steps), run the secant iteration on the log
// lower tail (at most 70 iterations, stopping on the log-tail change or the step test),
// then refine the converged root by Newton steps on the log of the smaller tail, which
// takes x to the accuracy of the tail evaluation itself.
#include <cmath>

#include "numerics/zdist_impl.h"

namespace zdi {

namespace {
constexpr int MAXBRACKET = 50;
constexpr int MAXSECANT = 70;
constexpr int MAXNEWTON = 12;
}  // namespace

int qsolve_run(const qsolve *q, double *xout) {
  const ld p = q->p;
  const ld lp = std::log(p), lq = std::log1p(-p);
  const ld target = lp;
  const ld tolL = std::fabs(lp - lq) * q->tol;
  ld lo, up, dn;

  ld xa = q->x0;
  if (q->eval(q->ctx, xa, &lo, &up, &dn)) return 1;
  ld La = lo;
  if (La == target) {
    *xout = static_cast<double>(xa);
    return 0;
  }
  // 1. bracket: move x by the factor of its side while it stays on that side
  const bool below = La < target;
  const ld fac = below ? q->faclo : q->fachi;
  ld xb = xa, Lb = La;
  for (int k = 0; k < MAXBRACKET; ++k) {
    xa = xb;
    La = Lb;
    xb = xa * fac;
    if (q->eval(q->ctx, xb, &lo, &up, &dn)) return 1;
    Lb = lo;
    if ((Lb < target) != below) break;
  }
  // 2. secant on the log lower tail between the last two points
  bool converged = false;
  for (int it = 0; it < MAXSECANT; ++it) {
    if (Lb == target) {
      converged = true;
      break;
    }
    if (Lb == La) break;
    ld xn = xb - (Lb - target) * (xb - xa) / (Lb - La);
    if (!std::isfinite(xn)) break;
    if (q->positive && xn <= 0) xn = 0.5L * xb;
    if (q->eval(q->ctx, xn, &lo, &up, &dn)) return 1;
    const ld Ln = lo;
    const bool small = std::fabs(Ln - Lb) < tolL ||
                       std::fabs(xn - xb) < std::fmax(std::fabs(xn), (ld)q->xfloor) * q->steptol;
    xa = xb;
    La = Lb;
    xb = xn;
    Lb = Ln;
    if (small) {
      converged = true;
      break;
    }
  }
  if (!converged) {
    *xout = static_cast<double>(xb);
    return 1;
  }
  // 3. Newton refinement on the smaller tail: ln P(x) = ln p or ln Q(x) = ln(1 - p)
  const bool uselo = p <= 0.5L;
  const ld tg = uselo ? lp : lq;
  ld x = xb;
  if (q->eval(q->ctx, x, &lo, &up, &dn)) return 1;
  ld res = (uselo ? lo : up) - tg;
  for (int it = 0; it < MAXNEWTON && res != 0; ++it) {
    const ld lt = uselo ? lo : up;
    const ld deriv = (uselo ? 1 : -1) * std::exp(dn - lt);  // d(ln tail)/dx
    if (!(deriv != 0) || !std::isfinite(deriv)) break;
    ld xn = x - res / deriv;
    if (q->positive && xn <= 0) xn = 0.5L * x;
    if (!std::isfinite(xn)) break;
    ld lo2, up2, dn2;
    if (q->eval(q->ctx, xn, &lo2, &up2, &dn2)) break;
    const ld res2 = (uselo ? lo2 : up2) - tg;
    if (!(std::fabs(res2) < std::fabs(res))) {
      // no further progress: keep the better of the two
      break;
    }
    const ld step = std::fabs(xn - x);
    x = xn;
    lo = lo2;
    up = up2;
    dn = dn2;
    res = res2;
    if (step <= 1e-19L * std::fabs(x)) break;
  }
  *xout = static_cast<double>(x);
  return 0;
}

}  // namespace zdi

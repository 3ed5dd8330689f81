// Quantile solver shared by the t, F and chi-square entries.  When the slope of the log
// density is known, Halley steps on the log of the smaller tail in u = ln|x| start from the
// guess; the tails are evaluated once near the root and carried by the series of the
// density from there, so a good guess costs one tail evaluation; when they do not settle, the
// general scheme runs from the guess: expand a bracket
// from the initial guess (at most 50 factor steps, sides judged on the log lower tail), run
// the secant iteration on the log of the smaller tail (the lower one for p <= 1/2; at most
// 70 iterations, stopping on the log-tail change or the step test; in ln x on a positive
// support), then refine the converged root by Newton steps on the log of the smaller tail, which
// takes x to the accuracy of the tail evaluation itself.
#include <cmath>

#include "numerics/zdist_impl.h"

namespace zdi {

namespace {
// How far (as a fraction of the radius of convergence of the log density) a tail is carried.
constexpr ld CARRY_REACH = 0.1L;
// A term this small (relative to the tail) ends the series.
constexpr ld SERIES_DONE = 1e-22L;
}  // namespace

bool tail_anchor(lnseriesfn series, void *ctx, ld x0, ld lt0, ld dn0, bool lower, tailanchor *a) {
  if (series == nullptr || !std::isfinite(lt0) || !std::isfinite(dn0)) return false;
  a->series = series;
  a->ctx = ctx;
  a->x0 = x0;
  a->lt0 = lt0;
  a->scale = (lower ? 1 : -1) * std::exp(dn0 - lt0);
  a->n = 0;
  return std::isfinite(a->scale);
}

namespace {

// The Taylor coefficients of the density ratio up to s^k; the slope's polynomials are
// formed at the first carry.
void extend(tailanchor &a, int k) {
  const ld *c = a.coef;
  if (a.n == 0) {
    a.radius = a.series(a.ctx, a.x0, a.coef);
    a.e[0] = a.bound[0] = 1;
    a.e[1] = c[3] / c[0];
    a.bound[1] = std::fabs(a.e[1]);
    a.eint[1] = a.e[1] / 2;
    a.bint[1] = a.bound[1] / 2;
    a.n = 2;
  }
  // E(s) = f(x0 + s)/f(x0) solves (c0 + c1 s + c2 s^2) E' = (c3 + c4 s) E:
  // c0 (j + 1) e_(j+1) = (c3 - c1 j) e_j + (c4 - c2 (j - 1)) e_(j-1); the same recurrence in
  // absolute values bounds the rounding that the coefficients carry
  for (; a.n <= k; ++a.n) {
    const int j = a.n - 1;
    const ld u = c[3] - c[1] * j, v = c[4] - c[2] * (j - 1), w = c[0] * a.n;
    a.e[a.n] = (u * a.e[j] + v * a.e[j - 1]) / w;
    a.bound[a.n] = (std::fabs(u) * a.bound[j] + std::fabs(v) * a.bound[j - 1]) / std::fabs(w);
    a.eint[a.n] = a.e[a.n] / (a.n + 1);
    a.bint[a.n] = a.bound[a.n] / (a.n + 1);
  }
}

}  // namespace

bool tail_carry(tailanchor &a, ld x, ld *rel, ld *h) {
  const ld s = x - a.x0;
  if (s == 0) {
    *rel = 0;
    *h = a.scale;
    return true;
  }
  extend(a, 0);
  if (!(std::fabs(s) <= CARRY_REACH * a.radius)) return false;
  // the integral is sum e_k s^(k+1) / (k+1), the density ratio sum e_k s^k
  const ld as = std::fabs(s), done = SERIES_DONE / std::fabs(a.scale * s);
  ld integral = 1, magnitude = 1, density = 1, sk = 1, ask = 1;
  int small = 0;
  for (int k = 1; k < NSERIES; ++k) {
    extend(a, k);
    sk *= s;
    ask *= as;
    const ld term = a.eint[k] * sk;
    integral += term;
    magnitude += a.bint[k] * ask;
    density += a.e[k] * sk;
    small =
        std::fabs(term) <= done && std::fabs(a.e[k] * sk) <= SERIES_DONE * density ? small + 1 : 0;
    if (small == 2) {
      // terms that cancel (a steep density) would leave their rounding in the sum
      *rel = integral * s * a.scale;
      if (!(std::fabs(*rel) <= 0.5L) || magnitude > 4 * std::fabs(integral)) return false;
      *h = a.scale * density / (1 + *rel);
      return true;
    }
  }
  return false;
}

ld carried_log(const tailanchor &a, ld rel) {
  return a.lt0 + (rel - rlog1(rel));
}

namespace {
constexpr int MAXBRACKET = 50;
constexpr int MAXSECANT = 70;
constexpr int MAXNEWTON = 12;
// Tail evaluations and steps of the Halley iteration before the general scheme takes over.
constexpr int MAXHALLEY = 16;
constexpr int MAXHALLEYSTEPS = 40;
// A Halley step this small leaves an error far below the rounding of the tails: done.
constexpr ld HALLEY_DONE = 1e-9L;
// Largest change of ln|x| in one step, so that a poor guess cannot throw x out of range.
constexpr ld HALLEY_MAXSTEP = 2;
// x e^-step: the series while the step is small (its first omitted term below 1e-24).
ld scaled(ld x, ld step) {
  if (std::fabs(step) > 1e-3L) return x * std::exp(-step);
  const ld m = -step;
  return x * (1 + m * (1 + m / 2 * (1 + m / 3 * (1 + m / 4 * (1 + m / 5 * (1 + m / 6))))));
}

// Halley iteration on g(u) = ln T(x) - ln t with x = s e^u, T the smaller tail, t its
// target.  With h = d ln T/dx (f/T for the lower tail, -f/T for the upper) and l the slope
// of ln f: g' = x h and g'' = x h + x^2 (h l - h^2).  The tails are evaluated at the guess
// and carried from there while the steps stay near it.  Result 0 and the root, or 1 when
// the steps did not settle and the general scheme has to take over.
int halley(const qsolve *q, bool uselo, ld vt, ld *xout) {
  ld x = q->x0;
  tailanchor a;
  bool anchored = false;
  int evals = 0;
  for (int it = 0; it < MAXHALLEYSTEPS; ++it) {
    ld lt, h, rel;
    if (anchored && tail_carry(a, x, &rel, &h)) {
      lt = carried_log(a, rel);
    } else {
      ld lo, up, dn;
      if (++evals > MAXHALLEY || q->eval(q->ctx, x, &lo, &up, &dn)) return 1;
      lt = uselo ? lo : up;
      anchored = tail_anchor(q->series, q->ctx, x, lt, dn, uselo, &a);
      h = anchored ? a.scale : (uselo ? 1 : -1) * std::exp(dn - lt);
    }
    const ld g = lt - vt;
    if (g == 0) {
      *xout = x;
      return 0;
    }
    const ld g1 = x * h;
    const ld g2 = g1 + x * x * (h * q->slope(q->ctx, x) - h * h);
    if (!(g1 != 0) || !std::isfinite(g1) || !std::isfinite(g)) return 1;
    const ld newton = g / g1;
    const ld bend = 1 - newton * g2 / (2 * g1);
    ld step = (std::isfinite(bend) && bend > 0.5L && bend < 2) ? newton / bend : newton;
    step = std::fmax(-HALLEY_MAXSTEP, std::fmin(HALLEY_MAXSTEP, step));
    x = scaled(x, step);
    if (std::fabs(step) <= HALLEY_DONE) {
      *xout = x;
      return 0;
    }
  }
  return 1;
}
}  // namespace

int qsolve_run(const qsolve *q, double *xout) {
  const ld p = q->p, lp = q->lp, lq = q->lq;
  const ld target = lp;
  const ld tolL = std::fabs(lp - lq) * q->tol;
  // the secant follows the log of the smaller tail: for p > 1/2 the log lower tail is
  // -Q(x) to first order, and a secant on it stalls (e.g. F(10,100) at p = 1 - 1e-6)
  const bool uselo = p <= 0.5L;
  const ld vt = uselo ? lp : lq;
  ld root;
  if (q->slope != nullptr && q->x0 != 0 && halley(q, uselo, vt, &root) == 0) {
    *xout = static_cast<double>(root);
    if (std::isfinite(*xout) && (!q->positive || *xout > 0)) return 0;
  }
  ld lo, up, dn;

  ld xa = q->x0;
  if (q->eval(q->ctx, xa, &lo, &up, &dn)) return 1;
  ld La = lo, Va = uselo ? lo : up;
  if (La == target) {
    *xout = static_cast<double>(xa);
    return 0;
  }
  // 1. bracket: move x by the factor of its side while it stays on that side
  const bool below = La < target;
  const ld fac = below ? q->faclo : q->fachi;
  ld xb = xa, Lb = La, Vb = Va;
  for (int k = 0; k < MAXBRACKET; ++k) {
    xa = xb;
    La = Lb;
    Va = Vb;
    xb = xa * fac;
    if (q->eval(q->ctx, xb, &lo, &up, &dn)) return 1;
    Lb = lo;
    Vb = uselo ? lo : up;
    if ((Lb < target) != below) break;
  }
  // 2. secant on the log tail between the last two points
  bool converged = false;
  for (int it = 0; it < MAXSECANT; ++it) {
    if (Vb == vt) {
      converged = true;
      break;
    }
    if (Vb == Va) break;
    ld xn;
    if (q->positive) {
      // on a positive support the secant runs in ln x: the log tails of F and chi-square
      // are close to linear in ln x in both tails (power laws and their exponents)
      const ld ua = std::log(xa), ub = std::log(xb);
      xn = std::exp(ub - (Vb - vt) * (ub - ua) / (Vb - Va));
    } else {
      xn = xb - (Vb - vt) * (xb - xa) / (Vb - Va);
    }
    if (!std::isfinite(xn) || !(xn != 0 || !q->positive)) break;
    if (q->eval(q->ctx, xn, &lo, &up, &dn)) return 1;
    const ld Vn = uselo ? lo : up;
    const bool small = std::fabs(Vn - Vb) < tolL ||
                       std::fabs(xn - xb) < std::fmax(std::fabs(xn), (ld)q->xfloor) * q->steptol;
    xa = xb;
    Va = Vb;
    xb = xn;
    Vb = Vn;
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
  const ld tg = vt;
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
  // a root beyond the doubles (overflow, or underflow to 0 on a positive support) is no answer
  if (!std::isfinite(*xout) || (q->positive && !(*xout > 0))) return 1;
  return 0;
}

}  // namespace zdi

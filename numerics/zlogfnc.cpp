// zlogfnc: the F distribution, central and noncentral.
#include <cmath>
#include <limits>

#include "numerics/zdist.h"
#include "numerics/zdist_impl.h"

namespace zdi {

namespace {
constexpr ld NINF = -std::numeric_limits<ld>::infinity();
constexpr ld PINF = std::numeric_limits<ld>::infinity();

// Central F: the incomplete beta ratio at df1 x / (df1 x + df2) with (df1/2, df2/2); lpf is
// the beta's prefactor x^a y^b / B(a,b), which the tails alone do not need turned into the
// density. Without lower_too, as lbeta has it. Inlined into its callers: the upper tail of
// a t test's F costs no call of its own.
[[gnu::always_inline]] inline ltails fcentral_tails(ld x, ld df1, ld df2, bool lower_too = true) {
  if (x == 0) return {NINF, 0, 0, 0};
  if (std::isinf(x)) return {0, NINF, NINF, 0};
  const ld u = df1 * x, s = u + df2;
  const ld d = df1 * df2 * (x - 1) / (s * (df1 + df2));  // xb - df1/(df1+df2)
  return lbeta(0.5L * df1, 0.5L * df2, u / s, df2 / s, d, lower_too);
}

}  // namespace

ltails fcentral(ld x, ld df1, ld df2) {
  const ltails b = fcentral_tails(x, df1, df2);
  ltails r = b;
  if (x == 0) {
    r.lpf = df1 > 2 ? NINF : (df1 == 2 ? 0 : PINF);
  } else if (!std::isinf(x)) {
    r.lpf = b.lpf - std::log(x);  // f(x) = x^a y^b / B(a,b) / x
  }
  return r;
}

}  // namespace zdi

namespace {

using zdi::ld;

struct fctx {
  ld df1, df2, ncp, tol;
};

// Slope of the log density of the central F.
ld fslope(void *c, ld x) {
  const fctx *f = static_cast<const fctx *>(c);
  return (0.5L * f->df1 - 1) / x - 0.5L * (f->df1 + f->df2) * f->df1 / (f->df2 + f->df1 * x);
}

// The slope of the central F's log density about x0: (a - 1)/(x0 + s) - A df1/(u + df1 s) with
// a = df1/2, A = (df1 + df2)/2, u = df2 + df1 x0, over the common denominator.  For a large
// df1 the two terms of the slope at x0 nearly cancel; as -(B + 1)/x0 + A (w - v), w = 1/x0,
// v = df1/u, B = df2/2, with w - v = df2 / (x0 u), it is exact.  The numerator's s term is
// (a - 1 - A) df1 = -(B + 1) df1.
ld fseries(void *ctx, ld x0, ld *c) {
  const fctx *f = static_cast<const fctx *>(ctx);
  const ld A = 0.5L * (f->df1 + f->df2), B1 = 0.5L * f->df2 + 1, u = f->df2 + f->df1 * x0;
  const ld slope = -B1 / x0 + A * f->df2 / (x0 * u);
  c[0] = x0 * u;
  c[1] = x0 * f->df1 + u;
  c[2] = f->df1;
  c[3] = c[0] * slope;
  c[4] = -B1 * f->df1;
  return x0;
}

int feval(void *c, ld x, ld *lo, ld *up, ld *dn) {
  const fctx *f = static_cast<const fctx *>(c);
  if (x < 0) return 1;
  zdi::ltails r;
  if (f->ncp == 0) {
    r = zdi::fcentral(x, f->df1, f->df2);
    *dn = r.lpf;
  } else {
    r = zdi::fnoncentral(x, f->df1, f->df2, f->ncp, f->tol, 1, dn);
  }
  if (r.fail || std::isnan(r.lo) || std::isnan(r.up)) return 1;
  *lo = r.lo;
  *up = r.up;
  return 0;
}

int fquantile(zfreq *r) {
  const double df1 = r->df1, df2 = r->df2, lam = r->ncp, p = r->p;
  r->wfaclo = 1.5;
  r->wfachi = 0.7;
  // Paulson's cube-root normal approximation with the noncentral moments; the central F in
  // its far tails from the series of the incomplete beta
  const ld lp = std::log((ld)p), lq = std::log1p(-(ld)p);
  const ld z = zdi::normal_start(lp, lq), z2 = z * z;
  const ld a1 = (2.0L / 9) / df2;
  const ld a2 = (2.0L / 9) * (df1 + 2 * lam) / (((ld)df1 + lam) * (df1 + lam));
  const ld b = (1 - a2) / (1 - a1), c = z2 * a1 / ((1 - a1) * (1 - a1));
  const ld B = 2 * b + c, C = b * b - z2 * a2 / (1 - a1);
  const ld disc = B * B - 4 * C;
  ld x0 = 1;
  if (disc >= 0 && a1 < 1) {
    const ld sq = std::sqrt(disc);
    const ld small = 0.5L * (B - sq), large = 0.5L * (B + sq);
    const ld u = (p <= 0.5 && small > 0) ? small : large;
    x0 = u * u * u * (df1 + lam) / df1;
  }
  if (lam == 0) {
    const ld tail = zdi::f_tail_start(lp, lq, df1, df2);
    if (tail > 0) x0 = tail;
  }
  if (!(x0 > 0) || !std::isfinite(x0)) x0 = 1;
  fctx ctx{df1, df2, lam, r->tol};
  zdi::qsolve q{feval,
                &ctx,
                p,
                static_cast<double>(x0),
                r->wfaclo,
                r->wfachi,
                r->tol,
                ZDBLMIN,
                r->steptol,
                1,
                lam == 0 ? fslope : nullptr,
                lam == 0 ? fseries : nullptr,
                lp,
                lq};
  double x;
  const int rc = zdi::qsolve_run(&q, &x);
  r->x = x;
  return rc;
}

// Both degrees of freedom within the range the F routines take (false for NaN).
bool degreesInRange(double df1, double df2) {
  return df1 > ZFDFMIN && df1 <= ZFDFMAX && df2 > ZFDFMIN && df2 <= ZFDFMAX;
}

// Tails that could not be worked out.
bool tailsFailed(const zdi::ltails &t) {
  return t.fail || std::isnan(t.lo) || std::isnan(t.up);
}

// tailsFailed for tails whose lower one may have been left out: one follows from the other
// as ln(1 - e^up), which is NaN exactly where up is NaN or above 0.
bool upperFailed(const zdi::ltails &t) {
  return t.fail || !(t.up <= 0);
}

}  // namespace

int zlogfnc(zfreq *r) {
  if (r->mode == 0 || (r->mode & ~ZMODE_ALL)) return 1;
  if (!(r->tol >= ZTOLFLOOR)) r->tol = ZTOLFLOOR;
  r->tol2 = ZEPS;
  if (!(r->steptol >= ZSQRTEPS)) r->steptol = ZSQRTEPS;
  const double df1 = r->df1, df2 = r->df2, ncp = r->ncp;
  if (!degreesInRange(df1, df2)) return 1;
  if (!(ncp >= 0) || std::isinf(ncp)) return 1;
  r->whdf1 = 0.5 * df1;
  r->whdf2 = 0.5 * df2;
  if (r->mode & ZMODE_QUANTILE) {
    if (!(r->p > 0) || !(r->p < 1)) return 1;
    return fquantile(r);
  }
  if (!(r->x >= 0)) return 1;
  const ld x = r->x;
  if (r->mode & ZMODE_PROB) {
    zdi::ltails t;
    ld dn = 0;
    if (ncp == 0) {
      t = zdi::fcentral_tails(x, df1, df2);
    } else {
      t = zdi::fnoncentral(x, df1, df2, ncp, r->tol, 0, &dn);
    }
    if (tailsFailed(t)) return 1;
    r->lnlower = static_cast<double>(t.lo);
    r->lnupper = static_cast<double>(t.up);
  }
  if (r->mode & ZMODE_DENSITY) {
    ld dn;
    if (ncp == 0) {
      dn = zdi::fcentral(x, df1, df2).lpf;
    } else {
      const zdi::ltails t = zdi::fnoncentral(x, df1, df2, ncp, r->tol, 2, &dn);
      if (t.fail) return 1;
    }
    if (std::isnan(dn)) return 1;
    r->lndens = static_cast<double>(dn);
  }
  return 0;
}

int zlfcup(double x, double df1, double df2, double *lnupper) {
  if (!degreesInRange(df1, df2) || !(x >= 0)) return 1;
  const zdi::ltails t = zdi::fcentral_tails(x, df1, df2, false);
  if (upperFailed(t)) return 1;
  *lnupper = static_cast<double>(t.up);
  return 0;
}

// zlogtnc: Student's t, central and noncentral.
#include <cmath>
#include <limits>

#include "numerics/zdist.h"
#include "numerics/zdist_impl.h"

namespace zdi {

namespace {
constexpr ld NINF = -std::numeric_limits<ld>::infinity();
}

ld tdens(ld x, ld df) {
  if (std::isinf(x)) return NINF;
  return lgratio_half(0.5L * df) - LNSQRT2PI - 0.5L * (df + 1) * std::log1p(x * x / df);
}

// Central t: P(|T| > |x|) = I_{df/(df+x^2)}(df/2, 1/2), taken as ln I at y = 1/(1+r) with
// (df/2, 1/2) when r = x^2/df > 1, and as ln(1 - I) at r/(1+r) with (1/2, df/2) otherwise.
ltails tcentral(ld x, ld df) {
  ltails r{0, 0, 0, 0};
  if (x == 0) {
    r.lo = r.up = -LN2;
    r.lpf = tdens(0, df);
    return r;
  }
  if (std::isinf(x)) {
    r.lo = x > 0 ? 0 : NINF;
    r.up = x > 0 ? NINF : 0;
    r.lpf = NINF;
    return r;
  }
  const ld ax = std::fabs(x), xx = ax * ax, s = df + xx;
  // d = df/s - df/(df+1), free of cancellation
  const ld d = df * ((1 - ax) * (1 + ax)) / (s * (df + 1));
  ld lt2;
  if (xx > df) {
    const ltails b = lbeta(0.5L * df, 0.5L, df / s, xx / s, d);
    r.fail = b.fail;
    lt2 = b.lo;
  } else {
    const ltails b = lbeta(0.5L, 0.5L * df, xx / s, df / s, -d);
    r.fail = b.fail;
    lt2 = b.up;
  }
  const ld upper = lt2 - LN2;  // ln P(T > |x|)
  const ld lower = log1mexp(upper);
  r.up = x > 0 ? upper : lower;
  r.lo = x > 0 ? lower : upper;
  r.lpf = tdens(x, df);
  return r;
}

}  // namespace zdi

namespace {

using zdi::ld;

struct tctx {
  ld df, delta, tol;
};

int teval(void *c, ld x, ld *lo, ld *up, ld *dn) {
  const tctx *t = static_cast<const tctx *>(c);
  zdi::ltails r;
  if (t->delta == 0) {
    r = zdi::tcentral(x, t->df);
    *dn = r.lpf;
  } else {
    r = zdi::tnoncentral(x, t->df, t->delta, t->tol, 1, dn);
  }
  if (r.fail || std::isnan(r.lo) || std::isnan(r.up)) return 1;
  *lo = r.lo;
  *up = r.up;
  return 0;
}

// Slope of the log density of the central t.
ld tslope(void *c, ld x) {
  const ld df = static_cast<const tctx *>(c)->df;
  return -(df + 1) * x / (df + x * x);
}

// The slope of the central t's log density about x0: -(df + 1)(x0 + s) / (df + (x0 + s)^2),
// singular at x = +-i sqrt(df).
ld tseries(void *ctx, ld x0, ld *c) {
  const ld df = static_cast<const tctx *>(ctx)->df;
  c[0] = df + x0 * x0;
  c[1] = 2 * x0;
  c[2] = 1;
  c[3] = -(df + 1) * x0;
  c[4] = -(df + 1);
  return std::sqrt(c[0]);
}

// Mean and standard deviation of the t distribution, once per request.
void tmoments(ztreq *r) {
  if (r->wmsok) return;
  r->wmsok = 1;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double df = r->df, delta = r->delta;
  r->wmean = nan;
  r->wsd = nan;
  if (!(df > 2 + ZSQRTEPS)) return;
  if (delta == 0) {
    r->wmean = 0;
    r->wsd = std::sqrt(df / (df - 2));
    return;
  }
  const ld z = 0.5L * (df - 1);
  // Gamma((df-1)/2) / Gamma(df/2) = exp(-(ln Gamma(z+1/2) - ln Gamma(z)))
  const ld ratio = std::exp(-zdi::lgratio_half(z)) / std::sqrt(z);
  const ld mean = delta * std::sqrt(0.5L * df) * ratio;
  const ld var = (ld)df / (df - 2) * (1 + (ld)delta * delta) - mean * mean;
  if (!(var >= ZEPS)) return;
  r->wmean = static_cast<double>(mean);
  r->wsd = static_cast<double>(std::sqrt(var));
}

// Cornish-Fisher expansion of the quantile for ln p and ln(1 - p), to 1/df^2.
ld cornishFisher(ld lp, ld lq, ld v, ld d) {
  const ld z = zdi::qnorm(lp, lq), z2 = z * z, d2 = d * d;
  return z + d + ((2 * z2 + 1) * d + (1 + z2) * z + z * d2) / (4 * v) +
         ((12 * z2 * z2 + 36 * z2 + 3) * d + (5 * z2 * z2 + 16 * z2 + 3) * z +
          (6 * z2 + 24) * z * d2 - 4 * (z2 - 1) * d2 * d - 3 * z * d2 * d2) /
             (96 * v * v);
}

// The central t quantile with 1 degree of freedom, tan(pi (p - 1/2)), or 2,
// (2p - 1) / sqrt(2 p (1 - p)), in long double; 1 - p is exact for p >= 1/2, and the tangent
// is taken of the smaller tail.  Result 1 when the root is beyond the doubles.
int closedForm(double p, double df, double *x) {
  const ld q = 1 - (ld)p;
  ld root;
  if (df == 2) {
    root = ((ld)p - q) / std::sqrt(2 * p * q);
  } else if (p >= 0.25 && p <= 0.75) {
    root = std::tan(zdi::PI * ((ld)p - 0.5L));
  } else {
    root = p < 0.5 ? -1 / std::tan(zdi::PI * (ld)p) : 1 / std::tan(zdi::PI * q);
  }
  *x = static_cast<double>(root);
  return std::isfinite(*x) ? 0 : 1;
}

int tquantile(ztreq *r) {
  const double df = r->df, delta = r->delta, p = r->p;
  r->whdf = 0.5 * df;
  r->whdfm1 = 0.5 * df - 1;
  r->wrefl = delta < 0;
  if (delta == 0 && p == 0.5) {  // the exact root of the symmetric case
    tmoments(r);
    r->x = 0;
    return 0;
  }
  const ld lp = std::log((ld)p), lq = std::log1p(-(ld)p);
  // the central t: Hill's start, and below 1 degree of freedom the tail series where it
  // holds (nearly everywhere for so heavy a tail), else Cornish-Fisher's
  const bool central = delta == 0;
  ld x0 = central && df >= 1 ? zdi::t_start(lp, lq, df) : 0;
  if (central && df < 1) x0 = zdi::t_tail_start(lp, lq, df);
  if (x0 == 0) x0 = cornishFisher(lp, lq, df, delta);
  bool negative = p < 0.5;
  if (!central) {
    ld nlo, nup;
    zdi::lnorm(-delta, &nlo, &nup);  // ln Phi(-delta)
    negative = nlo > lp;
  }
  if (negative) {
    r->wfaclo = 0.7;
    r->wfachi = 1.5;
    if (!(x0 < 0)) x0 = -1;
  } else {
    r->wfaclo = 1.5;
    r->wfachi = 0.7;
    if (!(x0 > 0)) x0 = 1;
  }
  if (central && (df == 1 || df == 2)) {
    tmoments(r);
    return closedForm(p, df, &r->x);
  }
  if (!std::isfinite(x0)) x0 = negative ? -1 : 1;
  tmoments(r);
  tctx c{df, delta, r->tol};
  zdi::qsolve q{teval,
                &c,
                p,
                static_cast<double>(x0),
                r->wfaclo,
                r->wfachi,
                r->tol,
                r->xfloor,
                r->steptol,
                0,
                delta == 0 ? tslope : nullptr,
                delta == 0 ? tseries : nullptr,
                lp,
                lq};
  double x;
  const int rc = zdi::qsolve_run(&q, &x);
  r->x = x;
  return rc;
}

}  // namespace

int zlogtnc(ztreq *r) {
  if (r->mode == 0 || (r->mode & ~ZMODE_ALL)) return 1;
  if (!(r->tol >= ZTOLFLOOR)) r->tol = ZTOLFLOOR;
  if (!(r->xfloor >= ZSQRTEPS)) r->xfloor = ZSQRTEPS;
  if (!(r->steptol >= ZSQRTEPS)) r->steptol = ZSQRTEPS;
  const double df = r->df, delta = r->delta;
  if (std::isnan(delta) || std::isinf(delta) || !(df < ZTDFMAX)) return 1;
  if (delta != 0 && !(df >= 0.5)) return 1;
  if (r->mode & ZMODE_QUANTILE) {
    const double p = r->p;
    if (!(df >= ZSQRTEPS) || !(p > 0) || !(p <= 1.0 - ZSQRTEPS)) return 1;
    return tquantile(r);
  }
  if (!(df > 0) || std::isnan(r->x)) return 1;
  const ld x = r->x;
  if (r->mode & ZMODE_PROB) {
    zdi::ltails t;
    ld dn = 0;
    if (delta == 0) {
      t = zdi::tcentral(x, df);
    } else {
      t = zdi::tnoncentral(x, df, delta, r->tol, 0, &dn);
    }
    if (t.fail || std::isnan(t.lo) || std::isnan(t.up)) return 1;
    r->lnlower = static_cast<double>(t.lo);
    r->lnupper = static_cast<double>(t.up);
  }
  if (r->mode & ZMODE_DENSITY) {
    ld dn;
    if (delta == 0) {
      dn = zdi::tdens(x, df);
    } else {
      const zdi::ltails t = zdi::tnoncentral(x, df, delta, r->tol, 2, &dn);
      if (t.fail) return 1;
    }
    if (std::isnan(dn)) return 1;
    r->lndens = static_cast<double>(dn);
  }
  return 0;
}

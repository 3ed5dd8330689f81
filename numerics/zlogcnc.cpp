// zlogcnc: the chi-square distribution, central and noncentral, and its
// by-arguments forms zqc, zplbcnc and zldncnc.
#include <cmath>
#include <limits>

#include "numerics/zdist.h"
#include "numerics/zdist_impl.h"

namespace zdi {

namespace {
constexpr ld NINF = -std::numeric_limits<ld>::infinity();
}

// Central chi-square: P(df/2, x/2) and Q(df/2, x/2); lpf = ln density.
ltails ccentral(ld x, ld df) {
  const ld a = 0.5L * df, g = 0.5L * x;
  ltails r = lgam(a, g);
  if (!(x > 0) || std::isinf(x)) {
    r.lpf = NINF;
    return r;
  }
  // f(x) = D(a, g) a / g / 2 with D = g^a e^-g / Gamma(a+1)
  r.lpf = r.lpf + std::log(a) - std::log(g) - LN2;
  return r;
}

// ((df/2 - 1) - (x0 + s)/2) / (x0 + s).
ld chisq_series(void *df, ld x0, ld *c) {
  const ld am1 = 0.5L * *static_cast<const ld *>(df) - 1;
  c[0] = x0;
  c[1] = 1;
  c[2] = 0;
  c[3] = am1 - 0.5L * x0;
  c[4] = -0.5L;
  return x0;
}

}  // namespace zdi

namespace {

using zdi::ld;

struct cctx {
  ld df, ncp, tol;
};

// Slope of the log density of the central chi-square.
ld cslope(void *c, ld x) {
  return (0.5L * static_cast<const cctx *>(c)->df - 1) / x - 0.5L;
}

ld cseries(void *ctx, ld x0, ld *c) {
  ld df = static_cast<const cctx *>(ctx)->df;
  return zdi::chisq_series(&df, x0, c);
}

int ceval(void *c, ld x, ld *lo, ld *up, ld *dn) {
  const cctx *k = static_cast<const cctx *>(c);
  if (!(x > 0)) return 1;
  zdi::ltails r;
  if (k->ncp == 0) {
    r = zdi::ccentral(x, k->df);
    *dn = r.lpf;
  } else {
    r = zdi::cnoncentral(x, k->df, k->ncp, k->tol, 1, dn);
  }
  if (r.fail || std::isnan(r.lo) || std::isnan(r.up)) return 1;
  *lo = r.lo;
  *up = r.up;
  return 0;
}

int cquantile(zcreq *r);

int csolve(double p, double df, double ncp, double tol, double xfloor, double *x) {
  const ld lp = std::log((ld)p), lq = std::log1p(-(ld)p);
  if (ncp == 0 && df == 2) {  // the exponential law: -2 ln(1 - p), in long double
    *x = static_cast<double>(-2 * lq);
    return *x > 0 && std::isfinite(*x) ? 0 : 1;
  }
  double x0;
  if (ncp == 0) {
    x0 = static_cast<double>(zdi::chisq_start(lp, lq, df));
  } else {
    const double dfs = (df + ncp) * (df + ncp) / (df + 2 * ncp);
    const double c = (df + 2 * ncp) / (df + ncp);
    double xc;
    if (csolve(p, dfs, 0, tol, xfloor, &xc) == 0 && xc > 0) {
      x0 = c * xc;
    } else {
      x0 = c * static_cast<double>(zdi::chisq_start(lp, lq, dfs));
    }
  }
  if (!(x0 > 0) || !std::isfinite(x0)) x0 = df > 0 ? df : 1;
  cctx ctx{df, ncp, tol};
  zdi::qsolve q{ceval,
                &ctx,
                p,
                x0,
                1.5,
                0.7,
                tol,
                xfloor,
                ZSQRTEPS,
                1,
                ncp == 0 ? cslope : nullptr,
                ncp == 0 ? cseries : nullptr,
                lp,
                lq};
  return zdi::qsolve_run(&q, x);
}

int cquantile(zcreq *r) {
  r->wfaclo = 1.5;
  r->wfachi = 0.7;
  double x;
  const int rc = csolve(r->p, r->df, r->ncp, r->tol, r->xfloor, &x);
  r->x = x;
  return rc;
}

}  // namespace

int zlogcnc(zcreq *r) {
  if (r->mode == 0 || (r->mode & ~ZMODE_ALL)) return 1;
  if (!(r->tol >= ZTOLFLOOR)) r->tol = ZTOLFLOOR;
  if (!(r->xfloor >= ZDBLMIN / r->tol)) r->xfloor = ZDBLMIN / r->tol;
  const double df = r->df, ncp = r->ncp;
  if (!(df >= ZCDFMIN) || std::isinf(df) || !(ncp >= 0) || std::isinf(ncp)) return 1;
  r->whdf = 0.5 * df;
  const ld tol = std::fmax(r->tol, 5 * ZEPS);
  if (r->mode & ZMODE_QUANTILE) {
    if (!(r->p > 0) || !(r->p < 1)) return 1;
    return cquantile(r);
  }
  if (!(r->x > 0)) return 1;
  const ld x = r->x;
  // the central tails carry the log density: one evaluation serves both modes
  ld centraldn = NAN;
  if (r->mode & ZMODE_PROB) {
    zdi::ltails t;
    ld dn = 0;
    if (ncp == 0) {
      t = zdi::ccentral(x, df);
      centraldn = t.lpf;
    } else {
      t = zdi::cnoncentral(x, df, ncp, tol, 0, &dn);
    }
    if (t.fail || std::isnan(t.lo) || std::isnan(t.up)) return 1;
    r->lnlower = static_cast<double>(t.lo);
    r->lnupper = static_cast<double>(t.up);
  }
  if (r->mode & ZMODE_DENSITY) {
    ld dn;
    if (ncp == 0) {
      dn = (r->mode & ZMODE_PROB) ? centraldn : zdi::ccentral(x, df).lpf;
    } else {
      const zdi::ltails t = zdi::cnoncentral(x, df, ncp, tol, 2, &dn);
      if (t.fail) return 1;
    }
    if (std::isnan(dn)) return 1;
    r->lndens = static_cast<double>(dn);
  }
  return 0;
}

int zqc(double p, double df, double ncp, double *x) {
  zcreq r{};
  r.mode = ZMODE_QUANTILE;
  r.p = p;
  r.df = df;
  r.ncp = ncp;
  const int rc = zlogcnc(&r);
  if (rc == 0) *x = r.x;
  return rc;
}

int zplbcnc(double x, double df, double ncp, double *lnlower, double *lnupper) {
  zcreq r{};
  r.mode = ZMODE_PROB;
  r.x = x;
  r.df = df;
  r.ncp = ncp;
  const int rc = zlogcnc(&r);
  if (rc == 0) {
    *lnlower = r.lnlower;
    *lnupper = r.lnupper;
  }
  return rc;
}

int zldncnc(double x, double df, double ncp, double *lndens) {
  zcreq r{};
  r.mode = ZMODE_DENSITY;
  r.x = x;
  r.df = df;
  r.ncp = ncp;
  const int rc = zlogcnc(&r);
  if (rc == 0) *lndens = r.lndens;
  return rc;
}

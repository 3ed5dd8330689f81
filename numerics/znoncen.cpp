// Noncentral t, F and chi-square.
//
// t: both tails and the density as integrals over the scale S = sqrt(V/df) of the
//    chi distribution, P(T <= x) = E Phi(x S - delta), P(T > x) = E Phi(delta - x S),
//    f(x) = E S phi(x S - delta), each integrand positive, integrated in w = ln S with
//    adaptive Gauss-Legendre between the points where the log integrand has fallen 60
//    below its maximum.
// F and chi-square: Poisson mixtures of central terms, summed in log space.  The lower
//    tail terms are generated downward and the upper tail terms upward, the directions in
//    which the recurrences only add, so both tails are sums of positive terms.
#include <cmath>
#include <limits>

#include "numerics/zdist_impl.h"

namespace zdi {

namespace {

constexpr ld NINF = -std::numeric_limits<ld>::infinity();

const glrule &gl() {
  static const glrule g = make_gl();
  return g;
}

// e^v - 1 - v
ld em1mx(ld v) {
  if (std::fabs(v) < 0.5L) {
    ld t = v * v / 2, s = t;
    for (int k = 3; k < 40; ++k) {
      t *= v / k;
      s += t;
      if (std::fabs(t) <= 1e-22L * std::fabs(s)) break;
    }
    return s;
  }
  return std::expm1(v) - v;
}

// ---- noncentral t integrand -----------------------------------------------------------------

struct tint {
  ld x, delta, z;  // z = df/2
  int kind;        // 0 lower tail, 1 upper tail, 2 density
};

ld tG(const tint &t, ld w) {
  const ld s = std::exp(w), h = t.x * s - t.delta;
  ld part;
  if (t.kind == 2) {
    part = lnormdens(h) + w;
  } else {
    ld lo, up;
    lnorm(h, &lo, &up);
    part = t.kind == 0 ? lo : up;
  }
  return part - t.z * em1mx(2 * w);
}

ld tGd(const tint &t, ld w) {
  const ld s = std::exp(w), h = t.x * s - t.delta, hp = t.x * s;
  ld part;
  if (t.kind == 2) {
    part = -h * hp + 1;
  } else {
    ld lo, up;
    lnorm(h, &lo, &up);
    const ld ld0 = lnormdens(h);
    part = t.kind == 0 ? std::exp(ld0 - lo) * hp : -std::exp(ld0 - up) * hp;
  }
  return part - 2 * t.z * std::expm1(2 * w);
}

ld glpanel(const tint &t, ld a, ld b, ld shift) {
  const glrule &g = gl();
  const ld half = 0.5L * (b - a), mid = 0.5L * (a + b);
  ld s = 0;
  for (int i = 0; i < NGL; ++i) s += g.w[i] * std::exp(tG(t, mid + half * g.x[i]) - shift);
  return s * half;
}

ld adapt(const tint &t, ld a, ld b, ld whole, ld shift, ld tolabs, int depth, int *budget,
         int *fail) {
  const ld m = 0.5L * (a + b);
  const ld l = glpanel(t, a, m, shift), r = glpanel(t, m, b, shift);
  if (std::fabs(l + r - whole) <= tolabs) return l + r;
  if (depth >= 30 || --*budget <= 0) {
    *fail = 1;
    return l + r;
  }
  return adapt(t, a, m, l, shift, tolabs, depth + 1, budget, fail) +
         adapt(t, m, b, r, shift, tolabs, depth + 1, budget, fail);
}

// ln of the integral of exp(tG) over the real line (without the constant K).
ld tintegral(const tint &t, ld tol, int *fail) {
  // maximum of the log integrand: root of the derivative by bisection
  ld wl = 0, wr = 0;
  if (tGd(t, 0) > 0) {
    ld st = 0.125L;
    do {
      wl = wr;
      wr += st;
      st *= 2;
      if (wr > 12000) {
        *fail = 1;
        return NINF;
      }
    } while (tGd(t, wr) > 0);
  } else {
    ld st = 0.125L;
    do {
      wr = wl;
      wl -= st;
      st *= 2;
      if (wl < -1e6L) {
        *fail = 1;
        return NINF;
      }
    } while (!(tGd(t, wl) > 0));
  }
  for (int it = 0; it < 200 && wr - wl > 1e-9L * (1 + std::fabs(wl)); ++it) {
    const ld m = 0.5L * (wl + wr);
    if (tGd(t, m) > 0)
      wl = m;
    else
      wr = m;
  }
  const ld ws = 0.5L * (wl + wr);
  const ld gs = tG(t, ws);
  if (!std::isfinite(gs)) {
    *fail = 1;
    return NINF;
  }
  // integration limits: where the log integrand is 60 below the maximum
  const ld drop = gs - 60;
  ld a = ws, b = ws;
  for (ld st = 1e-7L * (1 + std::fabs(ws));; st *= 2) {
    a = ws - st;
    if (!(tG(t, a) > drop) || st > 1e7L) break;
  }
  for (ld st = 1e-7L * (1 + std::fabs(ws));; st *= 2) {
    b = ws + st;
    if (!(tG(t, b) > drop) || b > 12000) break;
  }
  // first pass on 8 panels, then adaptive refinement of each
  const int np = 8;
  ld pieces[np], total = 0;
  for (int i = 0; i < np; ++i) {
    pieces[i] = glpanel(t, a + (b - a) * i / np, a + (b - a) * (i + 1) / np, gs);
    total += pieces[i];
  }
  const ld tolabs = std::fmax(std::fmin(tol * 1e-3L, (ld)1e-19L), (ld)2e-19L) * total;
  ld sum = 0;
  int budget = 4000;
  for (int i = 0; i < np; ++i)
    sum += adapt(t, a + (b - a) * i / np, a + (b - a) * (i + 1) / np, pieces[i], gs, tolabs, 0,
                 &budget, fail);
  return gs + std::log(sum);
}

// ---- Poisson mixtures ---------------------------------------------------------------------

// ln(mu^j e^-mu / j!) = -j rlog1(u) - ln sqrt(2 pi j) - omega(j) with u = mu/j - 1; far
// below j the logarithm in rlog1 is taken of mu/j itself, which keeps it exact however
// small mu is.
ld lnpois(ld j, ld mu) {
  if (j == 0) return -mu;
  const ld u = (mu - j) / j;
  const ld r = u < -0.5L ? u - std::log(mu / j) : rlog1(u);
  return -j * r - 0.5L * std::log(2 * 3.14159265358979323846264338L * j) - omega(j);
}

struct mixfam {
  int beta;          // 0: chi-square (gamma terms), 1: F (beta terms)
  ld a, b;           // gamma shape or beta parameters
  ld g;              // chi-square: x/2
  ld x, y, X;        // F: beta argument, complement, F argument
  ld df1, df2, xm1;  // F: degrees of freedom and X - 1
};

// Central term j: both log tails and ln T_j (the step between consecutive tails).
ltails mixcore(const mixfam &f, long j, ld *lnT) {
  if (!f.beta) {
    const ltails r = lgam(f.a + j, f.g);
    *lnT = r.lpf;  // D(a+j, g)
    return r;
  }
  const ld aj = f.a + j;
  const ld d =
      f.df2 * (f.df1 * f.xm1 - 2.0L * j) / ((f.df1 * f.X + f.df2) * (f.df1 + f.df2 + 2.0L * j));
  const ltails r = lbeta(aj, f.b, f.x, f.y, d);
  *lnT = r.lpf - std::log(aj);
  return r;
}

// ln(T_{j+1} / T_j)
ld mixstep(const mixfam &f, long j) {
  if (!f.beta) return std::log(f.g) - std::log(f.a + j + 1);
  return std::log(f.x) + std::log(f.a + f.b + j) - std::log(f.a + j + 1);
}

// ln density of central term j and ln(f_{j+1}/f_j)
ld mixdens(const mixfam &f, long j, int *fail) {
  ld lnT;
  const ltails r = mixcore(f, j, &lnT);
  if (r.fail) *fail = 1;
  if (!f.beta) return r.lpf + std::log(f.a + j) - std::log(f.g) - LN2;
  return r.lpf - std::log(f.X);
}
ld mixdstep(const mixfam &f, long j) {
  if (!f.beta) return std::log(f.g) - std::log(f.a + j);
  return std::log(f.x) + std::log(f.a + f.b + j) - std::log(f.a + j);
}

constexpr long MAXTERMS = 50000000;

ltails mixture(const mixfam &f, ld ncp, int want, ld *lndens) {
  ltails res{0, 0, 0, 0};
  if (!(ncp <= 4e9L)) {  // the series would need more terms than is sensible
    res.fail = 1;
    return res;
  }
  const ld mu = 0.5L * ncp, lmu = std::log(mu);
  const long jm = static_cast<long>(std::floor(mu));
  const long K = static_cast<long>(std::ceil(12 * std::sqrt(mu) + 60));
  const ld cut = 55;
  if (want != 2) {
    // lower tail: from jm + K downward, or from where the Poisson weights have fallen
    // beyond e^-80 of the weight at the mode (the shorter recursion adds fewer roundings)
    {
      long jhi = jm + K;
      const ld lwm = lnpois(jm, mu);
      while (jhi > jm && lnpois(jhi, mu) < lwm - 80) --jhi;
      ld lnT;
      const ltails c = mixcore(f, jhi, &lnT);
      if (c.fail) res.fail = 1;
      ld lnL = c.lo, lw = lnpois(jhi, mu);
      ld S = lw + lnL, prev = S;
      for (long j = jhi - 1; j >= 0; --j) {
        lnT -= mixstep(f, j);
        lnL = logaddexp(lnL, lnT);
        lw += std::log((ld)(j + 1)) - lmu;
        const ld term = lw + lnL;
        S = logaddexp(S, term);
        if (j < jm && term < prev) {
          const ld rho = std::exp(term - prev);
          if (term + std::log(rho / (1 - rho)) < S - cut) break;
        }
        prev = term;
      }
      res.lo = S;
    }
    // upper tail: from jm - K upward
    {
      const long jlo = jm - K > 0 ? jm - K : 0;
      ld lnT;
      const ltails c = mixcore(f, jlo, &lnT);
      if (c.fail) res.fail = 1;
      ld lnU = c.up, lw = lnpois(jlo, mu);
      ld S = lw + lnU, prev = S;
      long j = jlo + 1;
      for (; j < jlo + MAXTERMS; ++j) {
        lnU = logaddexp(lnU, lnT);
        lnT += mixstep(f, j - 1);
        lw += lmu - std::log((ld)j);
        const ld term = lw + lnU;
        S = logaddexp(S, term);
        if (j > jm && term < prev) {
          const ld rho = std::exp(term - prev);
          if (term + std::log(rho / (1 - rho)) < S - cut) break;
        }
        prev = term;
      }
      if (j >= jlo + MAXTERMS) res.fail = 1;
      res.up = S;
    }
    // the smaller tail is summed with full relative accuracy; derive the larger one from it
    // when it is close to 1 (its own sum is then equally accurate in absolute terms)
  }
  if (want != 0) {
    // density: log-concave terms w_j f_j, summed both ways from the largest
    ld A, B, C;
    if (!f.beta) {
      A = 1;
      B = f.a + 1;
      C = f.a - mu * f.g;
    } else {
      A = 1;
      B = f.a + 1 - mu * f.x;
      C = f.a - mu * f.x * (f.a + f.b);
    }
    const ld disc = B * B - 4 * A * C;
    ld jr = disc > 0 ? (-B + std::sqrt(disc)) / (2 * A) : 0;
    if (!(jr > 0)) jr = 0;
    const long j0 = static_cast<long>(std::floor(jr));
    int fail = 0;
    const ld f0 = mixdens(f, j0, &fail), w0 = lnpois(j0, mu);
    if (fail) res.fail = 1;
    ld S = w0 + f0;
    ld lf = f0, lw = w0, prev = S;
    for (long j = j0 + 1; j < j0 + MAXTERMS; ++j) {
      lf += mixdstep(f, j - 1);
      lw += lmu - std::log((ld)j);
      const ld term = lw + lf;
      S = logaddexp(S, term);
      if (term < prev) {
        const ld rho = std::exp(term - prev);
        if (term + std::log(rho / (1 - rho)) < S - cut) break;
      }
      prev = term;
    }
    lf = f0;
    lw = w0;
    prev = w0 + f0;
    for (long j = j0 - 1; j >= 0; --j) {
      lf -= mixdstep(f, j);
      lw += std::log((ld)(j + 1)) - lmu;
      const ld term = lw + lf;
      S = logaddexp(S, term);
      if (term < prev) {
        const ld rho = std::exp(term - prev);
        if (term + std::log(rho / (1 - rho)) < S - cut) break;
      }
      prev = term;
    }
    *lndens = S;
  }
  return res;
}

}  // namespace

ltails tnoncentral(ld x, ld df, ld delta, ld tol, int want, ld *lndens) {
  ltails r{0, 0, 0, 0};
  bool refl = false;
  if (delta < 0) {
    refl = true;
    x = -x;
    delta = -delta;
  }
  const ld z = 0.5L * df;
  const ld K = LN2 + 0.5L * std::log(z) - LNSQRT2PI - omega(z);
  if (x == 0) {
    lnorm(-delta, &r.lo, &r.up);
    if (want != 0) *lndens = lnormdens(delta) + lgratio_half(z);
  } else if (std::isinf(x)) {
    r.lo = x > 0 ? 0 : NINF;
    r.up = x > 0 ? NINF : 0;
    if (want != 0) *lndens = NINF;
  } else {
    if (want != 2) {
      tint lo{x, delta, z, 0}, up{x, delta, z, 1};
      r.lo = K + tintegral(lo, tol, &r.fail);
      r.up = K + tintegral(up, tol, &r.fail);
      if (r.lo > 0) r.lo = 0;
      if (r.up > 0) r.up = 0;
      // the larger tail is better taken as the complement of the smaller one
      if (r.lo < r.up) {
        if (r.up > -LN2) r.up = log1mexp(r.lo);
      } else {
        if (r.lo > -LN2) r.lo = log1mexp(r.up);
      }
    }
    if (want != 0) {
      tint dn{x, delta, z, 2};
      *lndens = K + tintegral(dn, tol, &r.fail);
    }
  }
  if (refl) {
    const ld t = r.lo;
    r.lo = r.up;
    r.up = t;
  }
  return r;
}

ltails fnoncentral(ld x, ld df1, ld df2, ld ncp, ld tol, int want, ld *lndens) {
  (void)tol;
  ltails r{0, 0, 0, 0};
  if (x == 0) {
    r.lo = NINF;
    r.up = 0;
    if (want != 0) *lndens = df1 > 2 ? NINF : (df1 == 2 ? -0.5L * ncp : -NINF);
    return r;
  }
  if (std::isinf(x)) {
    r.lo = 0;
    r.up = NINF;
    if (want != 0) *lndens = NINF;
    return r;
  }
  const ld u = df1 * x, s = u + df2;
  mixfam f{1, 0.5L * df1, 0.5L * df2, 0, u / s, df2 / s, x, df1, df2, x - 1};
  r = mixture(f, ncp, want, lndens);
  if (want != 2) {
    if (r.lo < r.up) {
      if (r.up > -LN2) r.up = log1mexp(r.lo);
    } else {
      if (r.lo > -LN2) r.lo = log1mexp(r.up);
    }
  }
  return r;
}

ltails cnoncentral(ld x, ld df, ld ncp, ld tol, int want, ld *lndens) {
  (void)tol;
  ltails r{0, 0, 0, 0};
  if (std::isinf(x)) {
    r.lo = 0;
    r.up = NINF;
    if (want != 0) *lndens = NINF;
    return r;
  }
  mixfam f{0, 0.5L * df, 0, 0.5L * x, 0, 0, 0, 0, 0, 0};
  r = mixture(f, ncp, want, lndens);
  if (want != 2) {
    if (r.lo < r.up) {
      if (r.up > -LN2) r.up = log1mexp(r.lo);
    } else {
      if (r.lo > -LN2) r.lo = log1mexp(r.up);
    }
  }
  return r;
}

}  // namespace zdi

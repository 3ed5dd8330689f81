// Internal routines of the distribution functions, shared by the files of
// numerics/.  Everything here works in long double (64-bit significand on x86-64), so
// that results rounded to double carry about one rounding error.
#ifndef KRAVO_NUMERICS_ZDIST_IMPL_H
#define KRAVO_NUMERICS_ZDIST_IMPL_H

#include <cstdint>

namespace zdi {

using ld = long double;

// The 20-point Gauss-Legendre rule on [-1, 1], shared by the quadratures.
constexpr int NGL = 20;
struct glrule {
  ld x[NGL];
  ld w[NGL];
};
glrule make_gl();

inline constexpr ld LNSQRT2PI = 0.9189385332046727417803297L;  // ln sqrt(2 pi)
inline constexpr ld LN2 = 0.6931471805599453094172321L;
inline constexpr ld EULER = 0.5772156649015328606065121L;
inline constexpr ld SQRT1_2 = 0.7071067811865475244008444L;
inline constexpr ld LNPI = 1.144729885849400174143427L;
inline constexpr ld PI = 3.141592653589793238462643L;

// Result of a tail evaluation: both log tails and the log of the prefactor (the
// density-like factor the tails are built from: see lbeta and lgam below).
struct ltails {
  ld lo;     // ln lower tail
  ld up;     // ln upper tail
  ld lpf;    // ln prefactor
  int fail;  // nonzero when a series or fraction did not converge
};

ld omega(ld z);     // Stirling remainder: ln Gamma(z) - ((z - 1/2) ln z - z + ln sqrt(2 pi))
ld lgam1p(ld a);    // ln Gamma(1 + a), accurate relative to the result for small |a|
ld rlog1(ld u);     // u - ln(1 + u) (>= 0), u > -1
ld log1mexp(ld l);  // ln(1 - e^l) for l <= 0
ld logaddexp(ld a, ld b);
ld lgratio_half(ld z);  // ln Gamma(z + 1/2) - ln Gamma(z) - (1/2) ln z

// Standard normal: both log tails at x, the log density, and the quantile given ln p
// (lp) and ln(1 - p) (lq).
void lnorm(ld x, ld *lo, ld *up);
inline ld lnormdens(ld x) {
  return -0.5L * x * x - LNSQRT2PI;
}
ld qnorm(ld lp, ld lq);
// Starting values of the quantile solver, from ln p and ln(1 - p): the standard normal
// quantile to about eight digits, and the central t and chi-square quantiles with df degrees
// of freedom.
ld normal_start(ld lp, ld lq);
ld t_start(ld lp, ld lq, ld df);
ld chisq_start(ld lp, ld lq, ld df);
// The central F and t quantiles in their far tails, 0 elsewhere.
ld f_tail_start(ld lp, ld lq, ld df1, ld df2);
ld t_tail_start(ld lp, ld lq, ld df);

// Regularized incomplete beta I_x(a, b) in log form.  x and y = 1 - x must both be
// accurate, and d = x - a/(a+b) accurate relative to itself (callers form it from their
// own arguments).  lpf = ln(x^a y^b / B(a, b)).  Without lower_too, a lower tail that would
// only follow from the upper one is left out (lo is then 0); lo is NaN exactly where the
// upper tail is NaN or above 0, so a caller of the upper tail alone tests that instead.
ltails lbeta(ld a, ld b, ld x, ld y, ld d, bool lower_too = true);
// Regularized incomplete gamma P(a, x), Q(a, x) in log form; lpf = ln(x^a e^-x / Gamma(a+1)).
ltails lgam(ld a, ld x);

// Central distributions (internal long double versions).
ltails tcentral(ld x, ld df);           // lpf = ln density
ld tdens(ld x, ld df);                  // ln density of the central t
ltails fcentral(ld x, ld df1, ld df2);  // lpf = ln density
ltails ccentral(ld x, ld df);           // lpf = ln density

// Noncentral distributions: tails and log density.  tol is the relative accuracy.
ltails tnoncentral(ld x, ld df, ld delta, ld tol, int wantdens, ld *lndens);
ltails fnoncentral(ld x, ld df1, ld df2, ld ncp, ld tol, int wantdens, ld *lndens);
ltails cnoncentral(ld x, ld df, ld ncp, ld tol, int wantdens, ld *lndens);

// Quantile solver: Halley steps from the guess when the density slope is known; failing
// that, bracket, then secant on the log lower tail, followed by a Newton refinement on the log of
// the smaller tail.  eval fills both log tails and the log density at x and returns nonzero on
// failure.
typedef int (*tailfn)(void *ctx, ld x, ld *lo, ld *up, ld *ldens);
// d ln f / dx of the density at x, for the Halley steps that start the solver.
typedef ld (*slopefn)(void *ctx, ld x);
// The log density's slope about x0 as a ratio of polynomials: d/ds ln f(x0 + s) =
// (c[3] + c[4] s) / (c[0] + c[1] s + c[2] s^2), with c[3] = c[0] times the slope at x0 formed
// without cancellation.  Returns the distance from x0 to the nearest singularity of ln f.
typedef ld (*lnseriesfn)(void *ctx, ld x0, ld *c);
struct qsolve {
  tailfn eval;
  void *ctx;
  double p;           // target lower-tail probability
  double x0;          // initial guess (sign already forced)
  double faclo;       // factor applied while x is below the root
  double fachi;       // factor applied while x is above the root
  double tol;         // log-tail change tolerance (times |log-odds|)
  double xfloor;      // floor of |x| in the step test
  double steptol;     // relative step tolerance
  int positive;       // 1: the support is x >= 0 (F, chi-square)
  slopefn slope;      // null: no Halley start, the bracket and secant from the guess
  lnseriesfn series;  // null: every Halley step evaluates the tails afresh
  ld lp, lq;          // ln p and ln(1 - p)
};
int qsolve_run(const qsolve *q, double *x);

// A log tail evaluated at x0, carried to nearby points by the integral of the density:
// T(x0 + s) = T(x0) +- f(x0) int_0^s e^phi(r) dr, phi(r) = ln f(x0 + r) - ln f(x0) from its
// Taylor series.  A carried tail costs some dozens of multiplications and no evaluation; the
// series is formed at the first carry, and its terms as far as a carry needs them.
constexpr int NSERIES = 24;
struct tailanchor {
  lnseriesfn series;
  void *ctx;
  ld x0, lt0;
  ld scale;                         // d ln T/dx at x0: f(x0) / T(x0), negative for the upper tail
  int n;                            // terms of e and bound formed so far
  ld radius;                        // of the Taylor series of ln f about x0
  ld coef[5];                       // of the slope of ln f, from series
  ld e[NSERIES];                    // Taylor coefficients of f(x0 + s) / f(x0)
  ld bound[NSERIES];                // the same from the absolute values in their recurrence
  ld eint[NSERIES], bint[NSERIES];  // e_k / (k + 1) and bound_k / (k + 1): the integral's
};
// Anchors the lower (or upper) log tail lt0 with log density dn0 at x0; false without a
// series or with a tail or density that is not finite.
bool tail_anchor(lnseriesfn series, void *ctx, ld x0, ld lt0, ld dn0, bool lower, tailanchor *a);
// The tail at x as rel = T(x)/T(x0) - 1, and h = d ln T/dx there; false when x is too far
// from x0 for the series to keep the accuracy of the tail evaluation.
bool tail_carry(tailanchor &a, ld x, ld *rel, ld *h);
// ln T(x) from the rel of a carry.
ld carried_log(const tailanchor &a, ld rel);
// The slope of the central chi-square's log density (a lnseriesfn whose context is the
// degrees of freedom as an ld).
ld chisq_series(void *df, ld x0, ld *c);

}  // namespace zdi

#endif

// Distribution functions: Student's t, F and chi-square (central and
// noncentral) in log scale, their quantiles, and the UMPU chi-square pair.
//
// Plain procedures over plain request records.  A caller clears the whole record to
// zero, fills the inputs, sets the mode word and calls the entry; every entry returns
// 0 on success and 1 on failure, writes nothing anywhere else and leaves outputs that
// were not computed untouched.  Probabilities come back as natural logarithms of both
// tails, so a tail far below the smallest double still keeps its full relative accuracy.
#ifndef KRAVO_NUMERICS_ZDIST_H
#define KRAVO_NUMERICS_ZDIST_H

#include <cstdint>

// ---- mode word bits ------------------------------------------------------------------
// 1 and 2 may be combined (probability first, then density).  When ZMODE_QUANTILE is
// set only the quantile is computed.  A mode of 0 or any bit outside the low three gives
// result 1 before anything else.
inline constexpr std::uint32_t ZMODE_PROB = 1u;      // both log tails at x
inline constexpr std::uint32_t ZMODE_DENSITY = 2u;   // log density at x
inline constexpr std::uint32_t ZMODE_QUANTILE = 4u;  // x for the lower-tail probability p
inline constexpr std::uint32_t ZMODE_ALL = 7u;       // the bits an entry accepts

// ---- constants -------------------------------------------------------------
inline constexpr double ZEPS = 1.1102230246251565e-16;     // epsilon = 2^-53
inline constexpr double ZSQRTEPS = 1.053671212772351e-08;  // sqrt(epsilon)
inline constexpr double ZTOLFLOOR = 8.0 * ZEPS;            // floor of every tolerance
inline constexpr double ZTDFMAX = 2147483647.0;            // t: df must be below this
inline constexpr double ZFDFMIN = 0.0009765625;            // F: df must exceed 2^-10
inline constexpr double ZFDFMAX = 2147483647.0;            // F: df at most this
inline constexpr double ZCDFMIN = 1e-8;                    // chi-square: df at least this
inline constexpr double ZLN2 = 0.6931471805599453;         // ln 2
inline constexpr double ZEXPMAX = 709.782712893384;        // largest exponent of a double
inline constexpr double ZDBLMIN = 2.225073858507202e-308;  // smallest normal double

// ---- t request (zlogtnc) ----------------------------------------------------------------
struct ztreq {
  std::uint32_t mode;  // mode word (ZMODE_*)
  double x;            // the point: input of probability/density, output of a quantile
  double df;           // degrees of freedom (> 0, below 2147483647; >= 0.5 if delta != 0)
  double delta;        // noncentrality (0 for the central t)
  double lnlower;      // output: ln P(T <= x)
  double lnupper;      // output: ln P(T > x)
  double lndens;       // output: ln f(x)
  double p;            // quantile input: the lower-tail probability
  double tol;          // relative accuracy of series and integrals; raised to >= 8 eps
  // working fields (solver state)
  double whdf;         // df / 2
  double whdfm1;       // df / 2 - 1
  std::int32_t wrefl;  // 1 when the noncentral problem was reflected (delta < 0)
  double wfaclo;       // bracket expansion factor used while x is below the root
  double wfachi;       // bracket expansion factor used while x is above the root
  std::int32_t wmsok;  // 1 once wmean and wsd have been computed for this request
  double wmean;        // mean of the distribution (NaN when it does not exist)
  double wsd;          // standard deviation of the distribution (NaN when undefined)
  double xfloor;       // smallest |x| of the quantile step test; raised to >= sqrt(eps)
  double steptol;      // relative step tolerance of the quantile solver; >= sqrt(eps)
};

// ---- F request (zlogfnc) ----------------------------------------------------------------
struct zfreq {
  double x;            // the point (>= 0): input of probability/density, quantile output
  double df1;          // numerator degrees of freedom, in (2^-10, 2147483647]
  double df2;          // denominator degrees of freedom, in (2^-10, 2147483647]
  double ncp;          // noncentrality (>= 0; 0 for the central F)
  double lnlower;      // output: ln P(F <= x)
  double lnupper;      // output: ln P(F > x)
  double lndens;       // output: ln f(x)
  double tol;          // relative accuracy of series and integrals; raised to >= 8 eps
  std::uint32_t mode;  // mode word (ZMODE_*)
  // working fields (solver state)
  double whdf1;    // df1 / 2
  double whdf2;    // df2 / 2
  double wfaclo;   // bracket expansion factor used while x is below the root
  double wfachi;   // bracket expansion factor used while x is above the root
  double tol2;     // set to eps on every call: relative truncation of the mixture series
  double steptol;  // relative step tolerance of the quantile solver; >= sqrt(eps)
  double p;        // quantile input: the lower-tail probability
};

// ---- chi-square request (zlogcnc) -------------------------------------------------------
struct zcreq {
  double p;            // quantile input: the lower-tail probability
  double x;            // the point (> 0): input of probability/density, quantile output
  double df;           // degrees of freedom (>= 1e-8)
  double ncp;          // noncentrality (>= 0; 0 for the central chi-square)
  double lnlower;      // output: ln P(X <= x)
  double lnupper;      // output: ln P(X > x)
  double lndens;       // output: ln f(x)
  double tol;          // relative accuracy of series and integrals; raised to >= 8 eps
  std::uint32_t mode;  // mode word (ZMODE_*)
  // working fields (solver state)
  double whdf;    // df / 2 (the gamma shape)
  double wfaclo;  // bracket expansion factor used while x is below the root
  double wfachi;  // bracket expansion factor used while x is above the root
  double xfloor;  // smallest x of the quantile step test; >= 2.225073858507202e-308/tol
};

// ---- entries ----------------------------------------------------------------------------
int zlogtnc(ztreq *r);  // t: probability, density, quantile
int zlogfnc(zfreq *r);  // F: probability, density, quantile
int zlogcnc(zcreq *r);  // chi-square: probability, density, quantile
// UMPU chi-square pair for level alpha and nu degrees of freedom (nu >= 3): c1 < c2 with
// F(c2) - F(c1) = 1 - alpha and nu ln c1 - c1 = nu ln c2 - c2.
int zcnf1c(double alpha, double nu, double *c1, double *c2);

// The same three results remembered: the central t quantile, the central chi-square
// quantile (each for lower-tail probability p and df, as a fresh quantile request of the
// entry gives x and the result) and the UMPU pair. A remembered result is bit for bit the
// one a fresh call returns; arguments that recur cost one table look-up.
int zmemotq(double p, double df, double *x);
int zmemocq(double p, double df, double *x);
int zmemocnf1c(double alpha, double nu, double *c1, double *c2);

// ---- supporting routines ----------------------------------------------------------------
// Both standard normal log tails at x: ln Phi(x) and ln(1 - Phi(x)).
void zlognrm(double x, double *lnlower, double *lnupper);
// Log incomplete beta ratio: ln I_x(a, b) and ln(1 - I_x(a, b)); a, b > 0, 0 <= x <= 1.
int zlogbet(double x, double a, double b, double *lni, double *ln1mi);
// ln Gamma(x) for x > 0 (ln |Gamma(x)| elsewhere, +inf at the poles).
double zlgamma(double x);
// ln(1 + x), accurate near 0.
double zln1px(double x);
// Chi-square quantile by arguments: x with P(X <= x) = p (0 < p < 1, df >= 1e-8, ncp >= 0).
int zqc(double p, double df, double ncp, double *x);
// Chi-square log probabilities by arguments (x > 0): ln P(X <= x) and ln P(X > x).
int zplbcnc(double x, double df, double ncp, double *lnlower, double *lnupper);
// The central F's upper log tail by arguments: ln P(F > x), as zlogfnc gives it.
int zlfcup(double x, double df1, double df2, double *lnupper);
// Chi-square log density by arguments (x > 0).
int zldncnc(double x, double df, double ncp, double *lndens);

#endif

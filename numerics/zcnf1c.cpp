// zcnf1c: the chi-square pair c1 < c2 of the unbiased (UMPU) confidence interval for a
// variance:  F(c2) - F(c1) = 1 - alpha  and  nu ln c1 - c1 = nu ln c2 - c2.
#include <cmath>

#include "numerics/zdist.h"
#include "numerics/zdist_impl.h"

namespace {

// Given c2, c1 < nu from Newton on y = ln c1 for nu y - e^y = nu ln c2 - c2.
int inner(double nu, double c2, double *c1) {
  const zdi::ld k = nu * std::log((zdi::ld)c2) - c2;
  zdi::ld y = std::log(0.25L * nu);
  for (int it = 0; it < 30; ++it) {
    const zdi::ld ey = std::exp(y);
    const zdi::ld step = (nu * y - ey - k) / (nu - ey);
    y -= step;
    if (!std::isfinite(y)) return 1;
    if (std::fabs(step) <= 1e-7L * std::fabs(y)) {
      *c1 = static_cast<double>(std::exp(y));
      return 0;
    }
  }
  return 1;
}

// ln F(x) and ln f(x) of the chi-square with nu degrees of freedom, from one evaluation.
int lowerAndDensity(double x, double nu, double *lnlower, double *lndens) {
  zcreq r{};
  r.mode = ZMODE_PROB | ZMODE_DENSITY;
  r.x = x;
  r.df = nu;
  if (zlogcnc(&r)) return 1;
  *lnlower = r.lnlower;
  *lndens = r.lndens;
  return 0;
}

}  // namespace

int zcnf1c(double alpha, double nu, double *c1out, double *c2out) {
  if (!(nu >= 3) || std::isinf(nu) || !(alpha > 0) || !(alpha < 1)) return 1;
  // c2 lies above nu, where nu ln c - c has its maximum; the equal-tailed point is below
  // nu for alpha near 1, and one standard deviation above nu then starts the iteration.
  double c2;
  if (zqc(1 - alpha / 2, nu, 0, &c2)) return 1;
  if (!(c2 > nu)) c2 = nu + std::sqrt(2 * nu);
  double c1 = 0;
  bool converged = false;
  for (int it = 0; it < 30; ++it) {
    if (inner(nu, c2, &c1)) return 1;
    double l1, l2, d1, d2;
    if (lowerAndDensity(c1, nu, &l1, &d1) || lowerAndDensity(c2, nu, &l2, &d2)) return 1;
    if (d1 > ZEXPMAX || d2 > ZEXPMAX) return 1;
    const zdi::ld f1 = std::exp((zdi::ld)l1);
    const zdi::ld rhs = f1 + (1 - (zdi::ld)alpha);
    const zdi::ld resid = l2 - std::log(rhs);  // ln F(c2) - ln(F(c1) + 1 - alpha)
    const zdi::ld dc1 = (1 - nu / (zdi::ld)c2) / (1 - nu / (zdi::ld)c1);
    const zdi::ld deriv = std::exp(d2 - (zdi::ld)l2) - std::exp((zdi::ld)d1) * dc1 / rhs;
    if (!(deriv != 0) || !std::isfinite(deriv)) return 1;
    const zdi::ld step = resid / deriv;
    const zdi::ld c2n = c2 - step;
    if (!std::isfinite(c2n)) return 1;
    if (!(c2n > nu)) {  // a step across nu: halve the distance to nu instead
      c2 = static_cast<double>((c2 + (zdi::ld)nu) / 2);
      continue;
    }
    c2 = static_cast<double>(c2n);
    if (std::fabs(step) <= 1e-5L * std::fabs(c2n)) {
      converged = true;
      break;
    }
  }
  if (!converged) return 1;
  if (inner(nu, c2, &c1)) return 1;
  *c1out = c1;
  *c2out = c2;
  return 0;
}
